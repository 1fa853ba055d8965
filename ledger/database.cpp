#include "database.h"

#include "backup.h"
#include "error.h"
#include "money.h"
#include "regional.h"
#include "schema.h"
#include "schemacheck.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <QUrl>
#include <QtEndian>

#include <sqlite3.h>

#include <cmath>

namespace ledger {

namespace {

QAtomicInt g_connectionCounter;

QString newConnectionName()
{
    return QStringLiteral("veltor-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1));
}

QString engineText(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("Ошибка базы данных") : text;
}

QString sqliteUri(const QString &path, const char *mode)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
           + QStringLiteral("?mode=") + QLatin1String(mode);
}

void removeConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// What the first 100 bytes of a file say about it, read without opening it as a database.
struct Header
{
    bool sqlite = false;
    quint32 applicationId = 0;
    qint32 userVersion = 0;
};

Header readHeader(QFile &file)
{
    Header header;
    const QByteArray bytes = file.read(100);
    if (bytes.size() < 100 || !bytes.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return header;
    header.sqlite = true;
    header.userVersion = qFromBigEndian<qint32>(bytes.constData() + 60);
    header.applicationId = qFromBigEndian<quint32>(bytes.constData() + 68);
    return header;
}

sqlite3 *engineHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DatabaseError(QStringLiteral("База данных не открыта"));
    return *static_cast<sqlite3 *const *>(handle.data());
}

// How long the opening's reads may take: far beyond what reading the catalog of a sound file
// takes, short enough that a file that never ends is soon refused.
constexpr int kOpeningReadsMs = 5000;

QString deadlineText(const QString &path, qint64 milliseconds)
{
    return QStringLiteral("Чтение базы данных «%1» прервано: оно не закончилось за %2 с. "
                          "Файл содержит запрос, который не заканчивается.")
        .arg(path)
        .arg(qMax<qint64>(1, milliseconds / 1000));
}

} // namespace

// The clock of a deadline, asked by the engine every few thousand steps of a statement.
struct ReadClock
{
    QElapsedTimer started;
    qint64 limit = 0;
    mutable bool passed = false;

    static int tick(void *clock)
    {
        auto *self = static_cast<ReadClock *>(clock);
        if (self->started.elapsed() > self->limit)
            self->passed = true;
        return self->passed ? 1 : 0;
    }
};

namespace {

constexpr int kStepsPerTick = 10000;

// The opening's reads, with the engine alone, under a deadline of their own.
class OpeningClock
{
public:
    explicit OpeningClock(sqlite3 *db)
        : m_db(db)
    {
        m_clock.limit = kOpeningReadsMs;
        m_clock.started.start();
        sqlite3_progress_handler(m_db, kStepsPerTick, &ReadClock::tick, &m_clock);
    }
    ~OpeningClock() { sqlite3_progress_handler(m_db, 0, nullptr, nullptr); }
    bool passed() const { return m_clock.passed; }

private:
    sqlite3 *m_db;
    ReadClock m_clock;
};

} // namespace

void hardenEngine(sqlite3 *db)
{
    int on = -1;
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &on) != SQLITE_OK || on != 1
        || sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &on) != SQLITE_OK || on != 0
        || sqlite3_exec(db, "PRAGMA trusted_schema = OFF", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DatabaseError(QStringLiteral("Не удалось включить защищённый режим базы данных: %1")
                                .arg(QString::fromUtf8(sqlite3_errmsg(db))));
}

QString SchemaFindings::text() const
{
    QStringList lines;
    if (!extra.isEmpty())
        lines << QStringLiteral("чужие триггеры и представления: %1").arg(extra.join(QStringLiteral(", ")));
    if (!changed.isEmpty())
        lines << QStringLiteral("изменённые объекты программы: %1").arg(changed.join(QStringLiteral(", ")));
    if (!missing.isEmpty())
        lines << QStringLiteral("недостающие объекты программы: %1").arg(missing.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char('\n'));
}

Connection::Connection(QString path, QString connectionName)
    : m_path(std::move(path))
    , m_name(std::move(connectionName))
{
}

Connection::~Connection()
{
    removeConnection(m_name);
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

void Connection::configure(QSqlDatabase &db)
{
    QSqlQuery q(db);
    // A rollback journal keeps each ledger one self-contained file; FULL makes every commit
    // reach the disk before it is reported.
    const char *const pragmas[] = {"PRAGMA foreign_keys = ON", "PRAGMA synchronous = FULL",
                                   "PRAGMA journal_mode = DELETE"};
    for (const char *pragma : pragmas) {
        if (!q.exec(QLatin1String(pragma)))
            throw DatabaseError(engineText(q.lastError()));
    }
}

namespace {

using Reason = ConnectionError::Reason;

// Refuses a file that is missing, not a ledger, too new or (when it is to be written) not
// writable, from its first bytes, before the engine opens it.
Header checkedHeader(const QString &path, bool forWriting = true)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw ConnectionError(Reason::Missing, path, QStringLiteral("Файл «%1» не найден.").arg(path));
    if (!info.isFile())
        throw ConnectionError(Reason::NotLedger, path, QStringLiteral("«%1» не является файлом.").arg(path));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ConnectionError(Reason::NoPermission, path,
                              QStringLiteral("Нет доступа на чтение файла «%1».").arg(path));
    const Header header = readHeader(file);
    file.close();
    if (!header.sqlite || header.applicationId != quint32(schema::kApplicationId))
        throw ConnectionError(Reason::NotLedger, path,
                              QStringLiteral("Файл «%1» не является базой данных velTor.").arg(path));
    if (header.userVersion > schema::currentVersion())
        throw ConnectionError(Reason::TooNew, path,
                              QStringLiteral("Файл «%1» создан более новой версией velTor.").arg(path));
    if (forWriting && !info.isWritable())
        throw ConnectionError(Reason::NoPermission, path,
                              QStringLiteral("Нет доступа на запись в файл «%1».").arg(path));
    return header;
}

sqlite3 *engineOf(const QSqlDatabase &db, const QString &path)
{
    try {
        sqlite3 *engine = engineHandle(db);
        hardenEngine(engine);
        return engine;
    } catch (const DatabaseError &error) {
        throw ConnectionError(Reason::Damaged, path, error.text());
    }
}

// Reading the catalog makes the engine look at the whole header: a damaged or truncated
// file fails here, before anything is written. A ledger has every table of its version, and
// its triggers and views are compared with the program's own.
schemacheck::Plan checkCatalog(sqlite3 *db, const QString &path, int userVersion)
{
    OpeningClock clock(db);
    try {
        return schemacheck::plan(db, path, userVersion);
    } catch (const DatabaseError &error) {
        if (clock.passed())
            throw ConnectionError(Reason::Unsafe, path, deadlineText(path, kOpeningReadsMs));
        const int code = sqlite3_errcode(db) & 0xff;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw ConnectionError(Reason::Locked, path, QStringLiteral("Файл «%1» занят другой программой.").arg(path));
        throw ConnectionError(Reason::Damaged, path, error.text());
    }
}

// An upgrade rewrites much of the file, and a repair replaces what the file runs: the ledger
// as it was is kept first, and without that copy it is not changed. Returns the copy's path.
QString keepBefore(backup::Kind kind, const QString &path)
{
    try {
        return backup::Folder(backup::Folder::standardPath()).takeBefore(kind, path);
    } catch (const backup::BackupError &error) {
        const QString change = kind == backup::Kind::BeforeUpgrade ? QStringLiteral("обновлением")
                                                                   : QStringLiteral("исправлением");
        throw ConnectionError(Reason::NoBackup, path,
                              QStringLiteral("Перед %1 базы данных не удалось сохранить её копию. %2").arg(change, error.text()));
    }
}

// Sets the program's own triggers and views back and brings the ledger up to the current
// version, one version at a time, in one transaction: what the file ran of its own goes
// before anything else is written, so that none of it runs on the upgrade's writes.
void setRight(const Connection &connection, const schemacheck::Plan &plan, bool upgrade)
{
    Transaction transaction(connection);
    for (const schemacheck::StoredObject &object : plan.drops)
        connection.run(schemacheck::dropStatement(object));
    if (upgrade) {
        for (int version = plan.version; version < schema::currentVersion(); ++version) {
            for (const QString &statement : schema::upgradeStatements(version))
                connection.run(statement);
        }
    }
    for (const QString &statement : plan.creates)
        connection.run(statement);
    if (upgrade)
        connection.run(QStringLiteral("PRAGMA user_version = %1").arg(schema::currentVersion()));
    transaction.commit();
}

} // namespace

std::unique_ptr<Connection> Connection::open(const QString &path)
{
    const Header header = checkedHeader(path);
    const QString name = newConnectionName();
    std::unique_ptr<Connection> connection(new Connection(path, name));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(sqliteUri(path, "rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.open())
        throw ConnectionError(Reason::Damaged, path, engineText(db.lastError()));
    sqlite3 *engine = engineOf(db, path);
    const schemacheck::Plan plan = checkCatalog(engine, path, header.userVersion);

    const bool older = header.userVersion < schema::currentVersion();
    const bool repair = !plan.findings.isClean();
    QString copy;
    if (older)
        copy = keepBefore(backup::Kind::BeforeUpgrade, path);
    else if (repair)
        copy = keepBefore(backup::Kind::BeforeRepair, path);
    try {
        configure(db);
        if (older || repair) {
            setRight(*connection, plan, older);
            // What is set right reads as the program's own.
            if (!checkCatalog(engine, path, schema::currentVersion()).findings.isClean())
                throw DatabaseError(QStringLiteral("Не удалось восстановить объекты базы данных «%1».").arg(path));
        }
    } catch (const DatabaseError &error) {
        throw ConnectionError(Reason::Damaged, path, error.text());
    }
    if (repair) {
        connection->m_repaired = plan.findings;
        connection->m_repairCopy = copy;
    }
    return connection;
}

SchemaFindings Connection::inspect(const QString &path)
{
    const Header header = checkedHeader(path, false);
    const QString name = newConnectionName();
    const Connection holder(path, name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(sqliteUri(path, "ro"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.open())
        throw ConnectionError(Reason::Damaged, path, engineText(db.lastError()));
    return checkCatalog(engineOf(db, path), path, header.userVersion).findings;
}

void Connection::create(const QString &path)
{
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink())
        throw DatabaseError(QStringLiteral("Файл «%1» уже существует.").arg(path));
    const QDir folder = target.absoluteDir();
    if (!folder.exists())
        throw DatabaseError(QStringLiteral("Папка «%1» не существует.").arg(QDir::toNativeSeparators(folder.path())));

    // Built in a temporary file beside the target, so that the final move stays on one file
    // system and a half-written ledger never carries the target's name.
    QTemporaryFile temp(folder.filePath(QStringLiteral("_vel-XXXXXX.tor")));
    if (!temp.open())
        throw DatabaseError(QStringLiteral("Не удалось создать файл в папке «%1»: %2")
                                .arg(QDir::toNativeSeparators(folder.path()), temp.errorString()));
    const QString tempPath = temp.fileName();
    temp.close();

    {
        const QString name = newConnectionName();
        Connection connection(tempPath, name);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(sqliteUri(tempPath, "rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!db.open())
            throw DatabaseError(engineText(db.lastError()));
        hardenEngine(engineHandle(db));
        configure(db);
        Transaction build(connection);
        for (const QString &statement : schema::createStatements())
            connection.run(statement);
        build.commit();
    }

    // QFile::rename never replaces an existing file.
    if (!QFile::rename(tempPath, path)) {
        if (QFileInfo::exists(path))
            throw DatabaseError(QStringLiteral("Файл «%1» уже существует.").arg(path));
        throw DatabaseError(QStringLiteral("Не удалось создать файл «%1».").arg(path));
    }
    temp.setAutoRemove(false);
}

QSqlQuery Connection::run(const QString &sql, const QVariantList &params) const
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw DatabaseError(engineText(q.lastError()));
    for (const QVariant &param : params)
        q.addBindValue(toStored(param));
    if (!q.exec())
        throw DatabaseError(failure(engineText(q.lastError())));
    return q;
}

QString Connection::failure(const QString &engineText) const
{
    return m_deadline && m_deadline->passed ? deadlineText(m_path, m_deadline->limit) : engineText;
}

ReadDeadline::ReadDeadline(const Connection &connection, int milliseconds)
    : m_connection(const_cast<Connection &>(connection))
    , m_clock(std::make_unique<ReadClock>())
{
    m_clock->limit = milliseconds;
    m_clock->started.start();
    sqlite3_progress_handler(engineHandle(m_connection.database()), kStepsPerTick, &ReadClock::tick, m_clock.get());
    m_connection.m_deadline = m_clock.get();
}

ReadDeadline::~ReadDeadline()
{
    sqlite3_progress_handler(engineHandle(m_connection.database()), 0, nullptr, nullptr);
    m_connection.m_deadline = nullptr;
}


// Each sqlite3_column_* call takes the connection's lock; one call per value, and the
// value functions after it, keep a long read cheap.
static sqlite3_value *columnValue(void *statement, int column)
{
    return sqlite3_column_value(static_cast<sqlite3_stmt *>(statement), column);
}

bool StoredRow::isNull(int column) const
{
    return sqlite3_value_type(columnValue(m_statement, column)) == SQLITE_NULL;
}

qint64 StoredRow::integer(int column, bool *null) const
{
    sqlite3_value *value = columnValue(m_statement, column);
    if (null)
        *null = sqlite3_value_type(value) == SQLITE_NULL;
    return sqlite3_value_int64(value);
}

double StoredRow::real(int column, bool *null) const
{
    sqlite3_value *value = columnValue(m_statement, column);
    if (null)
        *null = sqlite3_value_type(value) == SQLITE_NULL;
    return sqlite3_value_double(value);
}

QByteArrayView StoredRow::text(int column) const
{
    sqlite3_value *value = columnValue(m_statement, column);
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(value));
    return QByteArrayView(bytes, bytes ? sqlite3_value_bytes(value) : 0);
}

namespace {

void bindAll(sqlite3 *db, sqlite3_stmt *statement, const QVariantList &params)
{
    for (int i = 0; i < params.size(); ++i) {
        const QVariant value = toStored(params[i]);
        int rc = SQLITE_OK;
        if (!value.isValid()) {
            rc = sqlite3_bind_null(statement, i + 1);
        } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
            rc = sqlite3_bind_int64(statement, i + 1, value.toLongLong());
        } else {
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text(statement, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
}

void stepAll(sqlite3 *db, sqlite3_stmt *statement, const std::function<bool(const StoredRow &)> &visit,
             const StoredRow &row)
{
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE)
            return;
        if (rc != SQLITE_ROW)
            throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
        if (!visit(row))
            return;
    }
}

sqlite3_stmt *prepared(sqlite3 *db, const QString &sql, unsigned flags)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v3(db, text.constData(), int(text.size()), flags, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    return statement;
}

} // namespace

void Connection::forEachRow(const QString &sql, const QVariantList &params,
                            const std::function<bool(const StoredRow &)> &visit) const
{
    sqlite3 *db = engineHandle(database());
    sqlite3_stmt *statement = prepared(db, sql, 0);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(statement, sqlite3_finalize);
    bindAll(db, statement, params);
    try {
        stepAll(db, statement, visit, StoredRow(statement));
    } catch (const DatabaseError &error) {
        throw DatabaseError(failure(error.text()));
    }
}

PreparedRead::PreparedRead(const Connection &connection, const QString &sql)
    : m_db(engineHandle(connection.database()))
    , m_statement(prepared(static_cast<sqlite3 *>(m_db), sql, SQLITE_PREPARE_PERSISTENT))
{
}

PreparedRead::~PreparedRead()
{
    sqlite3_finalize(static_cast<sqlite3_stmt *>(m_statement));
}

void PreparedRead::forEachRow(const QVariantList &params, const std::function<bool(const StoredRow &)> &visit)
{
    auto *db = static_cast<sqlite3 *>(m_db);
    auto *statement = static_cast<sqlite3_stmt *>(m_statement);
    // Reset however the run ends, so that the next one starts afresh and no read stays open.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> reset(statement, sqlite3_reset);
    sqlite3_clear_bindings(statement);
    bindAll(db, statement, params);
    stepAll(db, statement, visit, StoredRow(statement));
}

QVariant Connection::scalar(const QString &sql, const QVariantList &params) const
{
    QSqlQuery q = run(sql, params);
    QVariant value;
    if (q.next())
        value = q.value(0);
    else if (q.lastError().isValid())
        throw DatabaseError(failure(engineText(q.lastError())));
    q.finish();
    return value;
}

void Connection::checkText(const QString &table, const QString &column, const QString &text)
{
    const int limit = schema::textLimit(table, column);
    if (limit == 0)
        return;
    checkTypedText(schema::columnCaption(table, column), limit, text);
}

void Connection::checkTypedText(const QString &caption, int limit, const QString &text)
{
    if (text.contains(QChar(0)))
        throw DatabaseError(QStringLiteral("Поле «%1» содержит недопустимый символ (NUL).").arg(caption));
    if (!QStringView(text).isValidUtf16())
        throw DatabaseError(QStringLiteral("Поле «%1» содержит недопустимые символы.").arg(caption));
    // The engine counts characters, not UTF-16 units: an emoji is one character.
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate())
            ++characters;
    }
    if (characters > limit)
        throw DatabaseError(QStringLiteral("Текст поля «%1» слишком длинный: %2 символов, допускается не более %3.")
                                .arg(caption)
                                .arg(characters)
                                .arg(limit));
}

namespace {

void checkColumns(const QString &table, const Row &values)
{
    if (!schema::tables().contains(table))
        throw DatabaseError(QStringLiteral("Нет таблицы %1").arg(table));
    for (const auto &value : values) {
        if (!schema::isKnownColumn(table, value.first))
            throw DatabaseError(QStringLiteral("Нет поля %1.%2").arg(table, value.first));
        if (value.second.typeId() == QMetaType::QString)
            Connection::checkText(table, value.first, value.second.toString());
    }
}

} // namespace

qint64 Connection::insert(const QString &table, const Row &values) const
{
    checkColumns(table, values);
    QString sql;
    QVariantList params;
    if (values.isEmpty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        QStringList columns, marks;
        for (const auto &value : values) {
            columns << value.first;
            marks << QStringLiteral("?");
            params << value.second;
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns.join(", "), marks.join(", "));
    }
    QSqlQuery q = run(sql, params);
    const QVariant id = q.lastInsertId();
    q.finish();
    return id.toLongLong();
}

void Connection::update(const QString &table, qint64 id, const Row &values) const
{
    checkColumns(table, values);
    if (values.isEmpty())
        return;
    QStringList sets;
    QVariantList params;
    for (const auto &value : values) {
        sets << value.first + QStringLiteral(" = ?");
        params << value.second;
    }
    params << id;
    run(QStringLiteral("UPDATE %1 SET %2 WHERE id = ?").arg(table, sets.join(", ")), params);
}

void Connection::remove(const QString &table, qint64 id) const
{
    checkColumns(table, {});
    run(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(table), {id});
}

Transaction::Transaction(const Connection &connection)
    : m_connection(const_cast<Connection &>(connection))
    , m_level(m_connection.m_transactionDepth)
{
    m_connection.run(m_level == 0 ? QStringLiteral("BEGIN IMMEDIATE")
                                  : QStringLiteral("SAVEPOINT level%1").arg(m_level));
    ++m_connection.m_transactionDepth;
}

void Transaction::commit()
{
    Q_ASSERT(!m_done);
    m_connection.run(m_level == 0 ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE level%1").arg(m_level));
    m_done = true;
    --m_connection.m_transactionDepth;
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    --m_connection.m_transactionDepth;
    try {
        if (m_level == 0) {
            m_connection.run(QStringLiteral("ROLLBACK"));
        } else {
            m_connection.run(QStringLiteral("ROLLBACK TO level%1").arg(m_level));
            m_connection.run(QStringLiteral("RELEASE level%1").arg(m_level));
        }
    } catch (const Error &) {
        // The engine may already have rolled back on its own (a full disk, for one).
    }
}

QVariant toStored(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(Qt::ISODate);
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QString: {
        // An empty text stays an empty text; only an invalid QVariant stands for NULL.
        const QString text = value.toString();
        return text.isNull() ? QVariant(QString::fromUtf16(u"", 0)) : value;
    }
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<Money>())
        return qlonglong(value.value<Money>().ticks());
    return value;
}

QVariant fromStored(const QString &column, const QVariant &stored)
{
    if (stored.isNull())
        return {};
    switch (schema::columnKind(column)) {
    case schema::ColumnKind::Money: {
        if (stored.typeId() != QMetaType::Double)
            return QVariant::fromValue(Money::fromTicks(stored.toLongLong()));
        // A floating-point value of another tool's: a whole number of ten-thousandths within
        // the range is that amount; any other shows as what it is, an error.
        const double ticks = stored.toDouble();
        if (std::isfinite(ticks) && std::trunc(ticks) == ticks && ticks >= -9223372036854775808.0
            && ticks < 9223372036854775808.0)
            return QVariant::fromValue(Money::fromTicks(qint64(ticks)));
        return regional::kOutOfRangeMark;
    }
    case schema::ColumnKind::Date: {
        const QString text = stored.toString();
        if (text.size() > 10) {
            const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (dt.isValid())
                return dt;
        }
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case schema::ColumnKind::Time: {
        const QTime time = QTime::fromString(stored.toString(), QStringLiteral("HH:mm:ss"));
        return time.isValid() ? QVariant(time) : QVariant();
    }
    case schema::ColumnKind::Plain:
        break;
    }
    if (stored.typeId() == QMetaType::LongLong || stored.typeId() == QMetaType::Int)
        return stored.toLongLong();
    return stored;
}

} // namespace ledger
