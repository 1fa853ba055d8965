#include "generate.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/schema.h"

#include <QDate>
#include <QRandomGenerator>

namespace bench {

using ledger::Money;

const QStringList &goodsNames()
{
    static const QStringList names = {"хлеб", "молоко", "сыр", "бензин", "кредит", "квартплата", "телефон",
                                      "обувь", "лекарства", "книги", "билет", "подарок", "овощи", "мясо"};
    return names;
}

const QStringList &incomeNames()
{
    static const QStringList names = {"Зарплата", "Премия", "Гонорар", "Проценты банка"};
    return names;
}

void generateLedger(const QString &path, int journalRows)
{
    ledger::Connection::create(path);
    auto connection = ledger::Connection::open(path);
    QRandomGenerator random(20261209);
    const QDate today = QDate::currentDate();
    const QDate first = today.addDays(-7300);
    const QStringList &goods = goodsNames();
    const QStringList &incomes = incomeNames();

    // Batches commit in groups: one durable commit per entry would make a million rows an
    // afternoon's work. Each entry still goes through the write path (as a savepoint).
    const int group = 5000;
    int linesLeft = 3 * journalRows;
    int batchesLeft = journalRows - journalRows / 5;
    for (int start = 0; start < journalRows; start += group) {
        ledger::Transaction transaction(*connection);
        for (int i = start; i < qMin(journalRows, start + group); ++i) {
            const QDate day = first.addDays(qint64(i) * 7300 / qMax(1, journalRows));
            const QDateTime at(day, QTime(random.bounded(24), random.bounded(60), random.bounded(60)));
            const bool income = batchesLeft == 0 || (i % 5 == 4 && journalRows - i > batchesLeft);
            if (income) {
                ledger::recordIncome(*connection, incomes[random.bounded(incomes.size())],
                                     Money::fromTicks(random.bounded(1000, 100000) * 10000), QString(), false, at);
                continue;
            }
            // Spread the lines evenly over the batches that remain.
            const int count = qMax(1, (linesLeft + batchesLeft - 1) / batchesLeft);
            QVector<ledger::ExpenseLine> lines;
            for (int k = 0; k < count; ++k) {
                lines.append({goods[random.bounded(goods.size())], Money::fromTicks(random.bounded(100, 500000) * 100),
                              Money::fromTicks(random.bounded(1, 5) * 10000), QStringLiteral("чек"), day});
            }
            linesLeft -= count;
            --batchesLeft;
            ledger::recordExpenseBatch(*connection, lines, at);
        }
        transaction.commit();
    }
    ledger::Transaction rates(*connection);
    for (int d = 0; d < 7300; ++d) {
        const double drift = 30 + 60.0 * d / 7300;
        ledger::storeRates(*connection, Money::fromDouble(drift + random.generateDouble()),
                           Money::fromDouble(drift * 1.1 + random.generateDouble()),
                           Money::fromDouble(drift * 1.3 + random.generateDouble()), first.addDays(d + 1));
    }
    rates.commit();
}

namespace {

// "CASE index WHEN 0 THEN 'first name' ... END": a name of the list chosen in SQL.
QString nameAt(const QStringList &names, const QString &index)
{
    QString text = QStringLiteral("CASE %1").arg(index);
    for (int n = 0; n < names.size(); ++n)
        text += QStringLiteral(" WHEN %1 THEN '%2'").arg(n).arg(names[n]);
    return text + QStringLiteral(" END");
}

// Fills in the pieces the set-wise statements share. Journal row i (from 1) is an income at
// every fifth row; a batch has three lines where i % 4 = 0 and four elsewhere, 3.75 a batch
// and so 3 a journal row. Line k (1 to 4) of row i has a price in whole kopecks and a whole
// quantity, scattered by the row and line numbers alone, so that a batch's total is the
// plain sum of its lines and is known before they are written.
QString setWise(QString text, int journalRows)
{
    const QString price = QStringLiteral("((((i * 7919 + k * 104729) % 499900) + 100) * 100)");
    const QString counts = QStringLiteral("((((i * 31 + k) % 4) + 1) * 10000)");
    const auto put = [&text](const char *name, const QString &value) { text.replace(QLatin1String(name), value); };
    put("{amount}", ledger::schema::amountExpression(price, counts));
    put("{price}", price);
    put("{counts}", counts);
    put("{income}", QStringLiteral("(i % 5 = 4)"));
    put("{lineCount}", QStringLiteral("(CASE WHEN i % 4 = 0 THEN 3 ELSE 4 END)"));
    put("{goods}", nameAt(goodsNames(), QStringLiteral("((i * 3 + k * 5) % %1)").arg(goodsNames().size())));
    put("{incomes}", nameAt(incomeNames(), QStringLiteral("(i % %1)").arg(incomeNames().size())));
    put("{first}", QDate::currentDate().addDays(-7300).toString(Qt::ISODate));
    put("{rows}", QString::number(qMax(1, journalRows)));
    return text;
}

} // namespace

void writeLedgerSetWise(const QString &path, int journalRows)
{
    ledger::Connection::create(path);
    auto connection = ledger::Connection::open(path);
    const QStringList statements = {
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {rows}),"
            " line(k) AS (VALUES (1), (2), (3), (4))"
            " INSERT INTO List (id, names, suma, dates, times, comments) SELECT i,"
            " CASE WHEN {income} THEN 'Доход - ' || {incomes} ELSE 'Расход' END,"
            " CASE WHEN {income} THEN ((i * 7919) % 99000 + 1000) * 10000"
            " ELSE (SELECT sum({amount}) FROM line WHERE k <= {lineCount}) END,"
            " date('{first}', '+' || (i * 7300 / {rows}) || ' days'), time((i * 7919) % 86400, 'unixepoch'),"
            " CASE WHEN {income} THEN '' END FROM n"),
        QStringLiteral(
            "WITH line(k) AS (VALUES (1), (2), (3), (4))"
            " INSERT INTO Rashod (kod, names, price, counts, doc, dates) SELECT i, {goods}, {price}, {counts}, 'чек', dates"
            " FROM (SELECT id AS i, dates FROM List WHERE names = 'Расход') AS n, line WHERE k <= {lineCount}"
            " ORDER BY i, k"),
        // A rate row a day, drifting upwards over the twenty years.
        QStringLiteral(
            "WITH RECURSIVE d(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM d WHERE x + 1 < 7300)"
            " INSERT INTO Valuta (dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3)"
            " SELECT date('{first}', '+' || (x + 1) || ' days'), 'Доллар США', 300000 + 600000 * x / 7300 + (x * 7919) % 10000,"
            " 'Евро', 330000 + 660000 * x / 7300 + (x * 104729) % 10000,"
            " 'Фунт', 390000 + 780000 * x / 7300 + (x * 31) % 10000 FROM d"),
    };
    ledger::Transaction transaction(*connection);
    for (const QString &statement : statements)
        connection->run(setWise(statement, journalRows));
    transaction.commit();
}

} // namespace bench
