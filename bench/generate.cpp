#include "generate.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"

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
