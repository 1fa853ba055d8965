// A crash never costs an entry: a writer is killed at random moments, again and again, and
// after every kill the ledger is whole and holds everything it reported as committed.
#include "support/testsupport.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/money.h"

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
        int kills = 0;
        int killedMidWrite = 0;

        for (int round = 0; round < 60; ++round) {
            QProcess process;
            process.start(writer, {path, QString::number(round + 1)});
            QVERIFY2(process.waitForStarted(5000), qPrintable(process.errorString()));
            QTest::qWait(random.bounded(20, 160));
            process.kill(); // SIGKILL: no chance to finish anything
            QVERIFY(process.waitForFinished(5000));
            QCOMPARE(process.exitStatus(), QProcess::CrashExit);
            ++kills;
            const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
            for (const QByteArray &line : lines) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() == 4 && f[0] == "B")
                    committedBatches.insert(f[1].toLongLong(), {f[2].toInt(), f[3].toLongLong()});
                else if (f.size() == 3 && f[0] == "I")
                    committedIncomes.insert(f[1].toLongLong(), f[2].toLongLong());
            }
            if (QFile::exists(path + "-journal"))
                ++killedMidWrite;

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
        QVERIFY(kills >= 50);
        QVERIFY2(committedBatches.size() > 100, "the writer hardly wrote anything");
        qInfo("kills survived: %d (%d in the middle of a write), batches committed: %lld, incomes: %lld", kills,
              killedMidWrite, qint64(committedBatches.size()), qint64(committedIncomes.size()));
    }
};

QTEST_GUILESS_MAIN(CrashTest)
#include "test_crash.moc"
