// Writing the rows read from a Jet file into a new ledger of ours.

#include "detail.h"

#include "ledger/database.h"
#include "ledger/error.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace jet::detail {

namespace {

const Table &tableNamed(const Tables &tables, const QString &name)
{
    for (const Table &table : tables) {
        if (table.name == name)
            return table;
    }
    throw ledger::DatabaseError(QStringLiteral("Нет таблицы %1").arg(name));
}

QString engineText(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

} // namespace

Written writeLedger(const Tables &tables, const QString &target, const QString &source, Meter &meter)
{
    ledger::Connection::create(target);
    const std::unique_ptr<ledger::Connection> connection = ledger::Connection::open(target);
    Written written;
    ledger::Transaction transaction(*connection);

    const Table &header = tableNamed(tables, QStringLiteral("VelTor"));
    // The template's rows make way for the file's. The program needs a header row, so a file
    // without one keeps the template's (empty description, no password).
    for (const char *name : {"Rashod", "List", "Dohod", "Valuta"})
        connection->run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(name)));
    if (!header.rows.isEmpty())
        connection->run(QStringLiteral("DELETE FROM VelTor"));

    QSet<qint64> journalIds;
    // Journal rows go first: the expense lines refer to them.
    for (const char *name : {"List", "Rashod", "Dohod", "VelTor", "Valuta"}) {
        const Table &table = tableNamed(tables, QLatin1String(name));
        const bool lines = table.name == QLatin1String("Rashod");
        const int kod = int(table.columns.indexOf(QStringLiteral("kod")));

        QStringList marks;
        for (qsizetype i = 0; i < table.columns.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery insert(connection->database());
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table.name, table.columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))))
            throw ledger::DatabaseError(engineText(insert));

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
            if (lines && !row.at(kod).isNull() && !journalIds.contains(row.at(kod).toLongLong())) {
                ++written.droppedLines;
                continue;
            }
            for (qsizetype c = 0; c < row.size(); ++c) {
                const QVariant &value = row.at(c);
                if (value.typeId() == QMetaType::QString) {
                    try {
                        ledger::Connection::checkText(table.name, table.columns.at(c), value.toString());
                    } catch (const ledger::Error &error) {
                        throw JetError(source, QStringLiteral("Запись %2 таблицы %3 файла «%1» не переносится: %4")
                                                   .arg(source)
                                                   .arg(id)
                                                   .arg(table.name, error.text()));
                    }
                }
                insert.addBindValue(ledger::toStored(value));
            }
            if (!insert.exec())
                throw JetError(source, QStringLiteral("Запись %2 таблицы %3 файла «%1» не переносится: %4")
                                           .arg(source)
                                           .arg(id)
                                           .arg(table.name, engineText(insert)));
            ++stored;
        }
        insert.finish();
        if (table.name == QLatin1String("List"))
            journalIds = ids;
        written.rows.insert(table.name, stored);

        // The next id is one after the largest there is now, exactly as the engine would go on.
        connection->run(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"), {table.name});
        connection->run(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) "
                                       "SELECT ?, coalesce(max(id), 0) FROM %1")
                            .arg(table.name),
                        {table.name});
    }
    transaction.commit();
    return written;
}

} // namespace jet::detail
