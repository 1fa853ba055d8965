// The imports against the open ledger: what it holds already, and writing what was ticked.
#include "importplan.h"

#include "ledger/bookkeeping.h"

#include "ledger/database.h"
#include "ledger/error.h"
#include "ledger/journalrow.h"
#include "ledger/regional.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace imports {

void markKnown(const ledger::Connection &connection, QVector<Candidate> &candidates)
{
    // Imported keys: one step into the key's index each.
    ledger::PreparedRead imported(connection, QStringLiteral("SELECT 1 FROM Imported WHERE key = ?"));
    QSet<QString> seen;
    QMap<QDate, QVector<int>> byDay;
    for (int i = 0; i < candidates.size(); ++i) {
        Candidate &candidate = candidates[i];
        // The same receipt twice in one go is written once.
        bool found = !candidate.key.isEmpty() && seen.contains(candidate.key);
        if (!found && !candidate.key.isEmpty()) {
            imported.forEachRow({candidate.key}, [&](const ledger::StoredRow &) {
                found = true;
                return false;
            });
        }
        seen.insert(candidate.key);
        candidate.alreadyImported = found;
        candidate.similarTo.clear();
        if (found)
            candidate.ticked = false;
        else if (candidate.moment.isValid())
            byDay[candidate.moment.date()] << i;
    }

    // Typed entries of a candidate's day and amount, a day at a time through the journal's
    // date index; an imported row is no typed entry.
    ledger::PreparedRead typed(
        connection, QStringLiteral("SELECT suma, %1 FROM List WHERE dates >= ? AND dates < ? AND suma IS NOT NULL"
                                   " AND NOT EXISTS (SELECT 1 FROM Imported WHERE kod = List.id)")
                        .arg(ledger::incomeCondition(QStringLiteral("names"))));
    for (auto day = byDay.cbegin(); day != byDay.cend(); ++day) {
        QSet<qint64> expenses, incomes;
        typed.forEachRow({day.key().toString(Qt::ISODate), day.key().addDays(1).toString(Qt::ISODate)},
                         [&](const ledger::StoredRow &row) {
                             (row.integer(1) ? incomes : expenses).insert(row.integer(0));
                             return true;
                         });
        if (expenses.isEmpty() && incomes.isEmpty())
            continue;
        for (const int i : day.value()) {
            Candidate &candidate = candidates[i];
            const QSet<qint64> &same = candidate.direction == Direction::Income ? incomes : expenses;
            if (same.contains(candidate.amount.ticks()))
                candidate.similarTo = QStringLiteral("похоже на запись от %1").arg(regional::shortDate(day.key()));
        }
    }
}

int writeTicked(const ledger::Connection &connection, const QVector<Candidate> &candidates)
{
    ledger::Transaction transaction(connection);
    ledger::EntryWriter writer(connection);
    QSet<QString> types;
    connection.forEachRow(QStringLiteral("SELECT names FROM Dohod"), {}, [&](const ledger::StoredRow &row) {
        types.insert(QString::fromUtf8(row.text(0).data(), row.text(0).size()));
        return true;
    });
    // The ledger is asked again: another window may have imported since the preview.
    ledger::PreparedRead imported(connection, QStringLiteral("SELECT 1 FROM Imported WHERE key = ?"));
    QSqlQuery keep(connection.database());
    keep.prepare(QStringLiteral("INSERT INTO Imported (key, kod) VALUES (?, ?)"));
    QSet<QString> written;
    int count = 0;
    for (const Candidate &candidate : candidates) {
        if (!candidate.ticked || candidate.alreadyImported || written.contains(candidate.key))
            continue;
        bool known = false;
        imported.forEachRow({candidate.key}, [&](const ledger::StoredRow &) {
            known = true;
            return false;
        });
        if (known)
            continue;
        try {
            if (candidate.amount < ledger::Money())
                throw ledger::DatabaseError(QStringLiteral("Сумма отрицательна."));
            qint64 id = 0;
            if (candidate.direction == Direction::Expense) {
                if (candidate.lines.isEmpty())
                    throw ledger::DatabaseError(QStringLiteral("В расходе нет ни одной строки."));
                id = writer.expenseBatch(candidate.lines, candidate.moment, candidate.amount);
            } else {
                const QString type = candidate.incomeType.trimmed();
                if (type.isEmpty())
                    throw ledger::DatabaseError(QStringLiteral("Не указан вид дохода."));
                id = writer.income(type, candidate.amount, candidate.comment, !types.contains(type), candidate.moment);
                types.insert(type);
            }
            keep.bindValue(0, candidate.key);
            keep.bindValue(1, id);
            if (!candidate.key.isEmpty() && !keep.exec())
                throw ledger::DatabaseError(keep.lastError().text());
        } catch (const ledger::Error &error) {
            // Nothing is written: the message says which one stopped it.
            throw ledger::DatabaseError(QStringLiteral("%1: %2").arg(candidate.origin, error.text()));
        }
        written.insert(candidate.key);
        ++count;
    }
    transaction.commit();
    return count;
}

} // namespace imports
