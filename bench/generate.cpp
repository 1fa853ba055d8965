#include "generate.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/schema.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>

namespace bench {

using ledger::Money;

void generateLedger(const QString &path, int journalRows)
{
    ledger::Connection::create(path);
    auto connection = ledger::Connection::open(path);
    QRandomGenerator random(20261209);
    const QDate today = QDate::currentDate();
    const QDate first = today.addDays(-7300);
    static const QStringList goods = {"хлеб", "молоко", "сыр", "бензин", "кредит", "квартплата", "телефон",
                                      "обувь", "лекарства", "книги", "билет", "подарок", "овощи", "мясо"};
    static const QStringList incomes = {"Зарплата", "Премия", "Гонорар", "Проценты банка"};

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

} // namespace bench

namespace bench {

void writeLedgerDirectly(const QString &path, int journalRows)
{
    ledger::Connection::create(path);
    auto connection = ledger::Connection::open(path);
    connection->run(QStringLiteral("PRAGMA cache_size = -1000000"));
    connection->run(QStringLiteral("PRAGMA temp_store = FILE"));
    const qint64 rows = qMax(1, journalRows);
    // As in generateLedger: every fifth row an income, the batches b = 0, 1, ... at the
    // other rows, 3 * rows lines spread evenly over them, each dated like its batch.
    const qint64 batches = rows - rows / 5;
    const QString first = QDate::currentDate().addDays(-7300).toString(Qt::ISODate);
    const auto sql = [&](QString text) {
        // The journal row of batch b, and the day of journal row x (of batch b's row).
        text.replace(QLatin1String("{day_of_row}"), QLatin1String("date('{first}', '+' || ({row} * 7300 / {rows}) || ' days')"));
        text.replace(QLatin1String("{day}"), QLatin1String("date('{first}', '+' || (x * 7300 / {rows}) || ' days')"));
        text.replace(QLatin1String("{row}"), QLatin1String("((b / 4) * 5 + b % 4)"));
        text.replace(QLatin1String("{amount}"),
                     ledger::schema::amountExpression(QStringLiteral("price"), QStringLiteral("counts")));
        text.replace(QLatin1String("{first}"), first);
        text.replace(QLatin1String("{rows}"), QString::number(rows));
        text.replace(QLatin1String("{batches}"), QString::number(batches));
        text.replace(QLatin1String("{lines}"), QString::number(3 * rows));
        return text;
    };

    ledger::Transaction transaction(*connection);
    const QStringList statements = {
        QStringLiteral("CREATE TEMP TABLE gen_goods (g INTEGER PRIMARY KEY, name TEXT)"),
        QStringLiteral("INSERT INTO gen_goods (g, name) VALUES (0, 'хлеб'), (1, 'молоко'), (2, 'сыр'), (3, 'бензин'),"
                       " (4, 'кредит'), (5, 'квартплата'), (6, 'телефон'), (7, 'обувь'), (8, 'лекарства'),"
                       " (9, 'книги'), (10, 'билет'), (11, 'подарок'), (12, 'овощи'), (13, 'мясо')"),
        sql(QStringLiteral("CREATE TEMP TABLE gen_lines AS WITH RECURSIVE k(x) AS (SELECT 0 UNION ALL"
                           " SELECT x + 1 FROM k WHERE x + 1 < {lines})"
                           " SELECT line AS k, {row} + 1 AS kod, abs(random()) % 14 AS g,"
                           " (abs(random()) % 499900 + 100) * 100 AS price, (abs(random()) % 4 + 1) * 10000 AS counts,"
                           " {day_of_row} AS dates FROM (SELECT x AS line, x * {batches} / {lines} AS b FROM k)")),
        QStringLiteral("CREATE TEMP TABLE gen_sums (kod INTEGER PRIMARY KEY, suma INTEGER)"),
        sql(QStringLiteral("INSERT INTO gen_sums SELECT kod, sum({amount}) FROM gen_lines GROUP BY kod")),
        sql(QStringLiteral("INSERT INTO List (id, names, suma, dates, times, comments)"
                           " WITH RECURSIVE i(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM i WHERE x + 1 < {rows})"
                           " SELECT x + 1, CASE WHEN x % 5 = 4 THEN 'Доход - ' || CASE abs(random()) % 4"
                           " WHEN 0 THEN 'Зарплата' WHEN 1 THEN 'Премия' WHEN 2 THEN 'Гонорар' ELSE 'Проценты банка' END"
                           " ELSE 'Расход' END,"
                           " CASE WHEN x % 5 = 4 THEN (abs(random()) % 99000 + 1000) * 10000"
                           " ELSE (SELECT suma FROM gen_sums WHERE kod = x + 1) END, {day},"
                           " printf('%02d:%02d:%02d', abs(random()) % 24, abs(random()) % 60, abs(random()) % 60),"
                           " CASE WHEN x % 5 = 4 THEN '' END FROM i")),
        QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, doc, dates) SELECT kod, name, price, counts,"
                       " 'чек', dates FROM gen_lines JOIN gen_goods USING (g) ORDER BY k"),
        sql(QStringLiteral("INSERT INTO Valuta (dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3)"
                           " WITH RECURSIVE d(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM d WHERE x + 1 < 7300)"
                           " SELECT date('{first}', '+' || (x + 1) || ' days'), 'Доллар США',"
                           " 300000 + 600000 * x / 7300 + abs(random()) % 10000, 'Евро',"
                           " 330000 + 660000 * x / 7300 + abs(random()) % 10000, 'Фунт',"
                           " 390000 + 780000 * x / 7300 + abs(random()) % 10000 FROM d")),
        QStringLiteral("DROP TABLE gen_goods"),
        QStringLiteral("DROP TABLE gen_lines"),
        QStringLiteral("DROP TABLE gen_sums"),
    };
    for (const QString &statement : statements)
        connection->run(statement);
    transaction.commit();
}

} // namespace bench
