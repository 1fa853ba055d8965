// Writing the rows read from a Jet file into a new ledger of ours.

#include "detail.h"

#include "ledger/database.h"
#include "ledger/error.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace jet::detail {

namespace {

QString engineText(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QSqlQuery prepareInsert(const ledger::Connection &connection, const Table &table)
{
    QStringList marks;
    for (qsizetype i = 0; i < table.columns.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery insert(connection.database());
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(table.name, table.columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
        throw ledger::DatabaseError(engineText(insert));
    return insert;
}

JetError notCarried(const QString &source, qint64 id, const QString &table, const QString &why)
{
    return JetError(source, QStringLiteral("Запись %2 таблицы %3 файла «%1» не переносится: %4")
                                .arg(source)
                                .arg(id)
                                .arg(table, why));
}

// Binds one row's values, each text checked against its column first.
void bindRow(QSqlQuery &insert, const Table &table, const QVariantList &row, const QString &source)
{
    for (qsizetype c = 0; c < row.size(); ++c) {
        const QVariant &value = row.at(c);
        if (value.typeId() == QMetaType::QString) {
            try {
                ledger::Connection::checkText(table.name, table.columns.at(c), value.toString());
            } catch (const ledger::Error &error) {
                throw notCarried(source, row.at(0).toLongLong(), table.name, error.text());
            }
        }
        insert.addBindValue(ledger::toStored(value));
    }
}

// Writes one table's rows; returns their ids. Expense lines whose journal row is not among
// `journalIds` are left out and counted in `written`.
QSet<qint64> writeTable(const ledger::Connection &connection, const Table &table, const QSet<qint64> &journalIds,
                        const QString &source, Meter &meter, Written &written)
{
    // Only the expense lines have a kod, the journal row they belong to.
    const int kod = int(table.columns.indexOf(QStringLiteral("kod")));
    QSqlQuery insert = prepareInsert(connection, table);
    QSet<qint64> ids;
    int stored = 0;
    for (const QVariantList &row : table.rows) {
        meter.advance();
        const qint64 id = row.at(0).toLongLong();
        if (ids.contains(id))
            throw damaged(source, QStringLiteral("в таблице %1 дважды встречается запись %2").arg(table.name).arg(id));
        ids.insert(id);
        // A line whose journal row is gone cannot live under the relationship. A line
        // with no kod at all breaks no relationship and is kept.
        if (kod >= 0 && !row.at(kod).isNull() && !journalIds.contains(row.at(kod).toLongLong())) {
            ++written.droppedLines;
            continue;
        }
        bindRow(insert, table, row, source);
        if (!insert.exec())
            throw notCarried(source, id, table.name, engineText(insert));
        ++stored;
    }
    insert.finish();
    written.rows.insert(table.name, stored);
    return ids;
}

// The next id is one after the largest there is now, exactly as the engine would go on.
void continueCounter(const ledger::Connection &connection, const QString &table)
{
    connection.run(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"), {table});
    connection.run(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?, coalesce(max(id), 0) FROM %1").arg(table),
                   {table});
}

// The template's rows make way for the file's. The program needs a header row, so a file
// without one keeps the template's (empty description, no password).
void clearTemplate(const ledger::Connection &connection, const Tables &tables)
{
    const QString header = QLatin1String(kTables[ledger::columns::kHeaderTable].name);
    // Last table first: the expense lines go before the journal rows they refer to.
    for (auto table = tables.crbegin(); table != tables.crend(); ++table) {
        if (table->name != header || !table->rows.isEmpty())
            connection.run(QStringLiteral("DELETE FROM %1").arg(table->name));
    }
}

} // namespace

Written writeLedger(const Tables &tables, const QString &target, const QString &source, Meter &meter)
{
    ledger::Connection::create(target);
    const std::unique_ptr<ledger::Connection> connection = ledger::Connection::open(target);
    Written written;
    ledger::Transaction transaction(*connection);
    clearTemplate(*connection, tables);
    // The tables come in the ledger's order, the journal before the lines that refer to it.
    QSet<qint64> journalIds;
    for (const Table &table : tables) {
        const QSet<qint64> ids = writeTable(*connection, table, journalIds, source, meter, written);
        if (table.name == QLatin1String("List"))
            journalIds = ids;
        continueCounter(*connection, table.name);
    }
    transaction.commit();
    return written;
}

} // namespace jet::detail
