// A crash never costs an entry: a writer is killed in the middle of a write, at a different
// write each time, again and again, and after every kill the ledger is whole and holds
// everything it reported as committed.
#include "support/testsupport.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/money.h"

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

using namespace testing;
using ledger::Money;

class CrashTest : public QObject
{
    Q_OBJECT

private slots:
    void killedWritersLoseNothing()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        const QString writer = QCoreApplication::applicationDirPath() + "/crashwriter";
        QRandomGenerator random(20261209);
        QMap<qint64, QPair<int, qint64>> committedBatches; // id -> lines, total
        QMap<qint64, qint64> committedIncomes;
        const int rounds = 60;
        int killedMidWrite = 0;
        QMap<QByteArray, int> killedIn; // the file whose write was cut: db or journal
        int hotJournals = 0;

        for (int round = 0; round < rounds; ++round) {
            // The writer halts inside its n-th file write (a few transactions in) and says so;
            // only then is it killed, so that the kill lands in the middle of a write.
            const int stopAt = random.bounded(1, 400);
            QProcess process;
            process.start(writer, {path, QString::number(round + 1), QString::number(stopAt)});
            QVERIFY2(process.waitForStarted(kEventBound), qPrintable(process.errorString()));
            QByteArray output;
            QByteArray stop;
            while (stop.isEmpty() && process.state() == QProcess::Running) {
                if (!process.waitForReadyRead(kEventBound))
                    break;
                output += process.readAllStandardOutput();
                for (const QByteArray &line : output.split('\n')) {
                    if (line.startsWith("W "))
                        stop = line;
                }
            }
            QVERIFY2(!stop.isEmpty(), qPrintable("the writer never halted inside a write: " + process.readAllStandardError()));
            process.kill(); // SIGKILL: no chance to finish anything
            QVERIFY(process.waitForFinished(kEventBound));
            QCOMPARE(process.exitStatus(), QProcess::CrashExit);
            output += process.readAllStandardOutput();
            const QList<QByteArray> halt = stop.split(' ');
            QCOMPARE(halt.value(2).toInt(), stopAt);
            ++killedMidWrite;
            ++killedIn[halt.value(1)];
            for (const QByteArray &line : output.split('\n')) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() == 4 && f[0] == "B")
                    committedBatches.insert(f[1].toLongLong(), {f[2].toInt(), f[3].toLongLong()});
                else if (f.size() == 3 && f[0] == "I")
                    committedIncomes.insert(f[1].toLongLong(), f[2].toLongLong());
            }
            // A journal with content left behind: the ledger must be rolled back to its
            // last commit.
            if (QFileInfo(path + "-journal").size() > 0)
                ++hotJournals;

            // The program opens the ledger again: an interrupted write is rolled back.
            auto connection = ledger::Connection::open(path);
            QCOMPARE(connection->scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
            QCOMPARE(connection->scalar("SELECT count(*) FROM pragma_foreign_key_check").toInt(), 0);
            QCOMPARE(connection->scalar("SELECT count(*) FROM Rashod WHERE kod NOT IN (SELECT id FROM List)").toInt(), 0);

            // Every batch has exactly the lines it was written with, and its total is theirs.
            QSqlQuery batches = connection->run(
                "SELECT List.id, List.suma, count(Rashod.id), min(Rashod.doc), max(Rashod.doc) FROM List"
                " LEFT JOIN Rashod ON Rashod.kod = List.id WHERE List.names = 'Расход' GROUP BY List.id");
            while (batches.next()) {
                const qint64 id = batches.value(0).toLongLong();
                const int count = batches.value(2).toInt();
                QVERIFY2(count > 0 && batches.value(3).toInt() == count && batches.value(4).toInt() == count,
                         qPrintable(QStringLiteral("batch %1 has %2 lines").arg(id).arg(count)));
                Money sum;
                QSqlQuery amounts = connection->run("SELECT price, counts FROM Rashod WHERE kod = ?", {id});
                while (amounts.next())
                    sum += Money::fromTicks(amounts.value(0).toLongLong()).times(Money::fromTicks(amounts.value(1).toLongLong()));
                QCOMPARE(batches.value(1).toLongLong(), sum.ticks());
            }
            // Everything reported as committed is there.
            for (auto it = committedBatches.cbegin(); it != committedBatches.cend(); ++it) {
                QCOMPARE(connection->scalar("SELECT suma FROM List WHERE id = ? AND names = 'Расход'", {it.key()}).toLongLong(),
                         it.value().second);
                QCOMPARE(connection->scalar("SELECT count(*) FROM Rashod WHERE kod = ?", {it.key()}).toInt(), it.value().first);
            }
            for (auto it = committedIncomes.cbegin(); it != committedIncomes.cend(); ++it)
                QCOMPARE(connection->scalar("SELECT suma FROM List WHERE id = ? AND names = 'Доход - Зарплата'", {it.key()}).toLongLong(),
                         it.value());
            // The totals kept in the file agree with the rows.
            QCOMPARE(connection->scalar("SELECT ItogR FROM ItogRashod").toLongLong(),
                     connection->scalar("SELECT sum(suma) FROM List WHERE names = 'Расход'").toLongLong());
            QCOMPARE(connection->scalar("SELECT ItogD FROM ItogDohod").toLongLong(),
                     connection->scalar("SELECT sum(suma) FROM List WHERE names <> 'Расход'").toLongLong());
        }
        qInfo("kills: %d, each in the middle of a write (%d in the ledger, %d in its journal); hot journals rolled"
              " back: %d; batches committed: %lld, incomes: %lld",
              killedMidWrite, killedIn.value("db"), killedIn.value("journal"), hotJournals,
              qint64(committedBatches.size()), qint64(committedIncomes.size()));
        QCOMPARE(killedMidWrite, rounds);
        // The kills cut writes into both files, and many left a journal to roll back.
        QVERIFY(killedIn.value("db") >= 5);
        QVERIFY(killedIn.value("journal") >= 5);
        QVERIFY(hotJournals >= 5);
        QVERIFY2(committedBatches.size() > 100, "the writer hardly wrote anything");
    }
};

QTEST_GUILESS_MAIN(CrashTest)
#include "test_crash.moc"
