#pragma once

#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>

struct sqlite3;

namespace ledger {

class StoredRow;
struct ReadClock;

// Column name and value, in the order the caller gives them.
using Row = QList<QPair<QString, QVariant>>;

// What a file holds against the program's own triggers and views, by name. Extra tables and
// indexes are no finding: they run nothing.
struct SchemaFindings
{
    // Triggers and views the program has none of.
    QStringList extra;
    // The program's names holding another definition (or another kind of object).
    QStringList changed;
    // The program's triggers and views that are not there.
    QStringList missing;

    bool isClean() const { return extra.isEmpty() && changed.isEmpty() && missing.isEmpty(); }
    // The findings for the user, a line for each kind found.
    QString text() const;
};

// Sets up an engine connection so that no SQL stored in a file can call a function with side
// effects (trusted_schema off) or write the catalog behind the program's back (defensive
// mode). Every connection to a ledger or a copy of one runs this first. Raises DatabaseError.
void hardenEngine(sqlite3 *db);

// The one connection to an open ledger file. Every statement binds its values; no SQL text
// is ever built from what a user typed.
class Connection
{
public:
    // Opens an existing ledger. Refuses (ConnectionError) a missing, damaged, foreign, locked,
    // unreadable or too new file without changing it. Brings a ledger of an older schema
    // version up to date. Before anything else is written, a ledger whose triggers and views
    // are not the program's own gets them back (after a copy, in one transaction): see
    // repaired(). The opening's reads give up after a few seconds.
    static std::unique_ptr<Connection> open(const QString &path);
    // Checks the ledger file at `path` as opening does (header, version this program can
    // open, catalog, its triggers and views against the program's own), read-only and
    // without upgrading or repairing anything. Raises ConnectionError as open() does for a
    // file it cannot open. For a file of an older version the objects its upgrade makes anew
    // are no finding (the upgrade replaces them before anything runs them): only the
    // others must read as the program's, and only those the upgrade does not bring may be
    // missing.
    static SchemaFindings inspect(const QString &path);
    // Writes a new ledger from the template at `path`. The file is built beside its target
    // and moved into place only when complete; an existing file is never replaced.
    static void create(const QString &path);

    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    const QString &path() const { return m_path; }
    QSqlDatabase database() const;

    // What opening found and set back to the program's own (clean when nothing), and the
    // copy of the ledger taken before.
    const SchemaFindings &repaired() const { return m_repaired; }
    const QString &repairCopy() const { return m_repairCopy; }

    // Prepares and runs a statement with positional parameters (?).
    QSqlQuery run(const QString &sql, const QVariantList &params = {}) const;
    // First column of the first row, or a null QVariant when there is no row.
    QVariant scalar(const QString &sql, const QVariantList &params = {}) const;

    // Runs a query and hands each row to `visit`, which returns false to stop. For reading
    // many rows at once (a chart's hundreds of thousands): no value is copied on the way.
    void forEachRow(const QString &sql, const QVariantList &params,
                    const std::function<bool(const StoredRow &)> &visit) const;

    // Inserts a row into a table; columns not given take their defaults. Returns the new id.
    qint64 insert(const QString &table, const Row &values) const;
    // Sets columns of the row with this id.
    void update(const QString &table, qint64 id, const Row &values) const;
    // Deletes the row with this id; rows that refer to it go with it.
    void remove(const QString &table, qint64 id) const;

    // Raises DatabaseError when a text does not fit its column (too long, a NUL character,
    // broken UTF-16); used before writing so that a batch is refused before it starts.
    static void checkText(const QString &table, const QString &column, const QString &text);
    // As above, for a text the user typed that is stored within a longer one: at most
    // `limit` characters, named `caption` in the message.
    static void checkTypedText(const QString &caption, int limit, const QString &text);

private:
    friend class Transaction;
    friend class ReadDeadline;
    Connection(QString path, QString connectionName);
    static void configure(QSqlDatabase &db);
    // The text of a failed statement: the deadline's when it stopped the statement.
    QString failure(const QString &engineText) const;

    QString m_path;
    QString m_name;
    int m_transactionDepth = 0;
    SchemaFindings m_repaired;
    QString m_repairCopy;
    const ReadClock *m_deadline = nullptr;
};

// Stops every statement of a connection that is still running `milliseconds` after it was
// set up, with a message naming the file: a read of a file that never ends (a view of
// another tool's making) must not hang the program.
class ReadDeadline
{
public:
    ReadDeadline(const Connection &connection, int milliseconds);
    ~ReadDeadline();
    ReadDeadline(const ReadDeadline &) = delete;
    ReadDeadline &operator=(const ReadDeadline &) = delete;

private:
    Connection &m_connection;
    std::unique_ptr<ReadClock> m_clock;
};

// One row of forEachRow: read straight from the engine, with no copies of its own.
class StoredRow
{
public:
    bool isNull(int column) const;
    // The value as an integer; `null` (when given) tells whether it was NULL.
    qint64 integer(int column, bool *null = nullptr) const;
    double real(int column, bool *null = nullptr) const;
    // The text of a column, valid until the next row; a NULL has no data().
    QByteArrayView text(int column) const;

private:
    friend class Connection;
    friend class PreparedRead;
    explicit StoredRow(void *statement) : m_statement(statement) {}
    void *m_statement;
};

// A read prepared once and run many times with new parameters, for a window that looks up
// many single rows at a time. It must not outlive its connection.
class PreparedRead
{
public:
    PreparedRead(const Connection &connection, const QString &sql);
    ~PreparedRead();
    PreparedRead(const PreparedRead &) = delete;
    PreparedRead &operator=(const PreparedRead &) = delete;

    // As Connection::forEachRow.
    void forEachRow(const QVariantList &params, const std::function<bool(const StoredRow &)> &visit);

private:
    void *m_db;
    void *m_statement;
};

// Writes that belong together: commit() makes them durable, leaving the scope without it
// undoes every one of them. Nests (as savepoints) inside an outer transaction.
class Transaction
{
public:
    explicit Transaction(const Connection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Connection &m_connection;
    int m_level;
    bool m_done = false;
};

// Turns a program value into what the file stores (Money to ten-thousandths, dates to ISO).
QVariant toStored(const QVariant &value);
// Turns a stored value of the named column into a program value (Money, QDate, QDateTime,
// QTime, QString, qint64); NULL stays a null QVariant.
QVariant fromStored(const QString &column, const QVariant &stored);

} // namespace ledger
