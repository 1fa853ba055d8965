// Records expense batches and incomes into a ledger through the program's write path, as
// fast as it can, until it is killed. After each commit it prints what it committed:
//   B <journal id> <lines> <total in ten-thousandths>
//   I <journal id> <sum in ten-thousandths>
// Every line of a batch carries the batch's line count as its document, so that a checker can
// tell a whole batch from a part of one.
#include "ledger/bookkeeping.h"
#include "ledger/database.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: crashwriter <ledger> <seed>\n");
        return 2;
    }
    auto connection = ledger::Connection::open(QString::fromLocal8Bit(argv[1]));
    QRandomGenerator random(quint32(QByteArray(argv[2]).toUInt()));
    for (;;) {
        if (random.bounded(4) == 0) {
            const ledger::Money sum = ledger::Money::fromTicks(random.bounded(1, 10000000));
            const qint64 id = ledger::recordIncome(*connection, QStringLiteral("Зарплата"), sum, QStringLiteral("ok"), false);
            std::printf("I %lld %lld\n", static_cast<long long>(id), static_cast<long long>(sum.ticks()));
        } else {
            const int count = random.bounded(1, 7);
            QVector<ledger::ExpenseLine> lines;
            for (int i = 0; i < count; ++i) {
                lines.append({QStringLiteral("товар %1").arg(i), ledger::Money::fromTicks(random.bounded(1, 5000000)),
                              ledger::Money::fromTicks(random.bounded(1, 50000)), QString::number(count),
                              QDate::currentDate().addDays(-random.bounded(400))});
            }
            const qint64 id = ledger::recordExpenseBatch(*connection, lines);
            std::printf("B %lld %d %lld\n", static_cast<long long>(id), count,
                        static_cast<long long>(ledger::batchTotal(lines).ticks()));
        }
        std::fflush(stdout);
    }
}
