#include "fastgenerate.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"

#include <QDate>

namespace bench {

namespace {

// Line k (1..4) of journal row i: a price in whole kopecks and a whole quantity, so that
// the amount needs no rounding and the batch total is a plain sum.
const char *const kPrice = "(((%1 * 7919 + %2 * 104729) % 500000) + 100) * 100";
const char *const kCounts = "(((%1 + %2) % 4) + 1) * 10000";

QString expression(const char *pattern, const QString &i, const QString &k)
{
    return QString::fromLatin1(pattern).arg(i, k);
}

} // namespace

void generateLedgerFast(const QString &path, int journalRows)
{
    ledger::Connection::create(path);
    auto connection = ledger::Connection::open(path);
    const QString first = QDate::currentDate().addDays(-7300).toString(Qt::ISODate);
    const QString lines = QStringLiteral("(SELECT 1 AS k UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4)");
    // Rows with i % 4 = 0 have three lines, the others four: 3.75 a batch, 3 a journal row.
    const QString lineCount = QStringLiteral("(CASE WHEN %1 % 4 = 0 THEN 3 ELSE 4 END)");
    const QString amount = expression(kPrice, "n.i", "l.k") + " * " + expression(kCounts, "n.i", "l.k") + " / 10000";

    ledger::Transaction transaction(*connection);
    connection->run(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO List (id, names, suma, dates, times) SELECT n.i, "
        "CASE WHEN n.i % 5 = 4 THEN 'Доход - ' || CASE n.i % 3 WHEN 0 THEN 'Зарплата' WHEN 1 THEN 'Премия' ELSE 'Гонорар' END "
        "ELSE 'Расход' END, "
        "CASE WHEN n.i % 5 = 4 THEN ((n.i % 99000) + 1000) * 10000 "
        "ELSE (SELECT sum(%2) FROM %3 AS l WHERE l.k <= %4) END, "
        "date('%5', '+' || (n.i * 7300 / %1) || ' days'), "
        "time((n.i * 7919) % 86400, 'unixepoch') FROM n")
                        .arg(journalRows)
                        .arg(amount, lines, lineCount.arg("n.i"), first));
    connection->run(QStringLiteral(
        "INSERT INTO Rashod (kod, names, price, counts, doc, dates) SELECT n.i, "
        "CASE (n.i + l.k) % 7 WHEN 0 THEN 'хлеб' WHEN 1 THEN 'молоко' WHEN 2 THEN 'бензин' WHEN 3 THEN 'квартплата' "
        "WHEN 4 THEN 'лекарства' WHEN 5 THEN 'книги' ELSE 'овощи' END, %1, %2, 'чек', n.dates "
        "FROM (SELECT id AS i, dates FROM List WHERE names = 'Расход') AS n, %3 AS l WHERE l.k <= %4")
                        .arg(expression(kPrice, "n.i", "l.k"), expression(kCounts, "n.i", "l.k"), lines,
                             lineCount.arg("n.i")));
    transaction.commit();

    ledger::Transaction rates(*connection);
    for (int d = 0; d < 7300; ++d) {
        const qint64 drift = 300000 + 600000LL * d / 7300;
        ledger::storeRates(*connection, ledger::Money::fromTicks(drift), ledger::Money::fromTicks(drift * 11 / 10),
                           ledger::Money::fromTicks(drift * 13 / 10), QDate::currentDate().addDays(-7300 + d + 1));
    }
    rates.commit();
}

} // namespace bench
