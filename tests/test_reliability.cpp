// Bad files and bad input: a damaged, truncated, locked or unreadable ledger is refused (or
// opened) without harm; a full disk costs nothing; hostile text is stored exactly or refused.
#include "entrytesting.h"
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "widgets/guard.h"
#include "app/mainwindow.h"
#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/dataset.h"
#include "ledger/error.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <unistd.h>

using namespace testing;
using namespace ledger;

namespace {

Money rub(qint64 units) { return Money::fromUnits(units); }

// A ledger with a few hundred entries, so that it spans many pages.
QString filledLedger(const Workspace &ws)
{
    const QString path = ws.newLedger("source.tor");
    auto connection = Connection::open(path);
    Transaction transaction(*connection);
    for (int i = 0; i < 300; ++i) {
        if (i % 4 == 0) {
            recordIncome(*connection, "Зарплата", rub(1000 + i), "комментарий", false);
        } else {
            recordExpenseBatch(*connection, {{QStringLiteral("товар %1").arg(i), rub(i), rub(2), "чек", QDate::currentDate()},
                                             {"хлеб", rub(1), rub(1), "чек", QDate::currentDate().addDays(-i)}});
        }
    }
    transaction.commit();
    return path;
}

// The file written anew: removed first, so that nothing of the one before stays.
void replaceFile(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path);
    if (!writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
}

// What the program does with a file: open it and read through it, or refuse it.
enum class Outcome { Opened, Refused };
Outcome tryOpen(const QString &path)
{
    std::unique_ptr<Connection> connection;
    try {
        connection = Connection::open(path);
    } catch (const ConnectionError &) {
        return Outcome::Refused;
    }
    // An accepted file may still be damaged further in: reading it may fail, never crash.
    try {
        readTotals(*connection);
        readHeader(*connection);
        for (const char *view : {"ListZ", "ListRashodAll", "TopRashodAll", "GrafRashodAll", "Kurs", "ListR"}) {
            Dataset dataset;
            dataset.setConnection(connection.get());
            dataset.setSource(QLatin1String(view));
            dataset.open();
            for (int r = 0; r < dataset.rowCount(); ++r)
                dataset.valueAt(r, 0);
        }
    } catch (const Error &) {
    }
    return Outcome::Opened;
}

// With `ownerOnly` the probe first gives up the superuser's power to read and write any file,
// so that only the file's permissions decide. It stays the same user, so it needs no way
// through folders it does not own (the build folder and the test's world may be anywhere, in
// folders nobody else may enter).
QString probe(const QString &path, bool ownerOnly = false)
{
    QProcess process;
    QStringList arguments;
    if (ownerOnly)
        arguments << QStringLiteral("--owner-only");
    process.start(QCoreApplication::applicationDirPath() + "/ledgerprobe", arguments << path);
    if (!process.waitForStarted(kEventBound))
        return QStringLiteral("did not start: ") + process.errorString();
    // A bound only for a probe that never ends; a passing probe ends in well under a second.
    if (!process.waitForFinished(kEventBound))
        return QStringLiteral("hung");
    const QString output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("failed (%1): %2 %3").arg(process.exitCode()).arg(output, QString::fromUtf8(process.readAllStandardError()));
    return output;
}

} // namespace

class ReliabilityTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void damagedFilesAreRefusedUnchangedOrOpened()
    {
        Workspace ws;
        const QByteArray good = fileBytes(filledLedger(ws));
        QVERIFY(good.size() > 40 * 4096);
        QRandomGenerator random(7);
        QList<QPair<QString, QByteArray>> damaged;
        for (int i = 0; i < 80; ++i) {
            // Truncations: inside the header, at and around page edges, anywhere.
            const int at = i < 20 ? random.bounded(100) : i < 50 ? 4096 * random.bounded(1, good.size() / 4096) + random.bounded(-2, 3)
                                                                 : random.bounded(good.size());
            damaged.append({QStringLiteral("cut at %1").arg(at), good.left(at)});
        }
        for (int i = 0; i < 80; ++i) {
            QByteArray bytes = good;
            const int at = random.bounded(100);
            bytes[at] = char(bytes[at] ^ (1 << random.bounded(8)));
            damaged.append({QStringLiteral("header flip at %1").arg(at), bytes});
        }
        for (int i = 0; i < 160; ++i) {
            QByteArray bytes = good;
            for (int k = 0; k < 1 + i % 8; ++k) {
                const int at = random.bounded(100, good.size());
                bytes[at] = char(random.bounded(256));
            }
            damaged.append({QStringLiteral("data bytes %1").arg(i), bytes});
        }
        damaged.append({"zero length", QByteArray()});
        damaged.append({"garbage", QByteArray(8192, '\xff')});

        int opened = 0, refused = 0;
        const QString path = ws.path("damaged.tor");
        for (const auto &[what, bytes] : damaged) {
            replaceFile(path, bytes);
            QFile::remove(path + "-journal");
            const QByteArray digest = fileDigest(path);
            if (tryOpen(path) == Outcome::Refused) {
                ++refused;
                QVERIFY2(fileDigest(path) == digest, qPrintable(what + " changed a refused file"));
                QVERIFY2(!QFile::exists(path + "-journal"), qPrintable(what));
            } else {
                ++opened;
            }
        }
        qInfo("files mutated: %lld, refused: %d, opened: %d", qint64(damaged.size()), refused, opened);
        QVERIFY(refused > 50);

        // Through the main window: the connection message, or an opened ledger, never more.
        MessageLog log;
        Program program;
        for (int i = 0; i < damaged.size(); i += 10) {
            replaceFile(path, damaged[i].second);
            log.clear();
            ui::guard(&program.window(), [&] { program.window().LoadDB(path); }); // as a slot runs it
            for (const QString &text : log.texts())
                QVERIFY2(text.startsWith("Программе не удалось подключиться к базе данных:\n" + path + "\n")
                             || log.seen().first().icon == QMessageBox::Critical,
                         qPrintable(damaged[i].first + ": " + text));
            QCOMPARE(program.window().session().isOpen(), log.texts().isEmpty());
        }
    }

    void foldersLocksAndPermissionsGetClearAnswers()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        // A folder named like a ledger.
        QVERIFY(QDir().mkpath(ws.path("folder.tor")));
        QVERIFY(probe(ws.path("folder.tor")).startsWith("refused"));

        // A ledger another process holds locked: refused as locked, after a short wait.
        QProcess holder;
        holder.start("sqlite3", {path});
        QVERIFY(holder.waitForStarted(kEventBound));
        holder.write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
        QVERIFY(holder.waitForReadyRead(kEventBound));
        const QByteArray digest = fileDigest(path);
        QCOMPARE(probe(path).section(' ', 0, 1), QStringLiteral("refused %1").arg(int(ConnectionError::Reason::Locked)));
        holder.write("ROLLBACK;\n.quit\n");
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(kEventBound));
        QCOMPARE(fileDigest(path), digest);
        QCOMPARE(probe(path), QStringLiteral("opened"));

        // A file its user may not read or write. The superuser may read and write anything,
        // so the probe then gives that power up first.
        const QString closed = ws.newLedger("closed.tor");
        QVERIFY(QFile::setPermissions(closed, QFileDevice::Permissions()));
        const bool root = geteuid() == 0;
        QCOMPARE(probe(closed, root).section(' ', 0, 1),
                 QStringLiteral("refused %1").arg(int(ConnectionError::Reason::NoPermission)));
        QVERIFY(QFile::setPermissions(closed, QFileDevice::ReadOwner));
        QCOMPARE(probe(closed, root).section(' ', 0, 1),
                 QStringLiteral("refused %1").arg(int(ConnectionError::Reason::NoPermission)));

        // The main window gives its own clear message for the lock and the permissions.
        MessageLog log;
        Program program;
        QVERIFY(QFile::setPermissions(closed, QFileDevice::Permissions()));
        if (!root) {
            program.window().LoadDB(closed);
            QCOMPARE(log.texts().size(), 1);
            QVERIFY(log.texts().first().contains("Нет прав на чтение и запись файла базы данных."));
        }
    }

    void aFullDiskCostsNothing()
    {
        Workspace ws;
        const QString path = filledLedger(ws);
        auto connection = Connection::open(path);
        const QStringList before = RawFile(path).rows("SELECT id || names || suma FROM List UNION ALL SELECT id || names FROM Rashod");
        // No page more may be added: the disk is full.
        connection->run(QStringLiteral("PRAGMA max_page_count = %1").arg(connection->scalar("PRAGMA page_count").toInt()));
        QVector<ExpenseLine> big;
        for (int i = 0; i < 400; ++i)
            big.append({QStringLiteral("длинное наименование товара %1").arg(i).repeated(4), rub(1), rub(1), "чек", QDate::currentDate()});
        try {
            recordExpenseBatch(*connection, big);
            QFAIL("a full disk took the batch");
        } catch (const DatabaseError &e) {
            QVERIFY2(e.text().contains("full"), qPrintable(e.text()));
        }
        QCOMPARE(RawFile(path).rows("SELECT id || names || suma FROM List UNION ALL SELECT id || names FROM Rashod"), before);
        QCOMPARE(connection->scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        // Room again: the program goes on working.
        connection->run("PRAGMA max_page_count = 1073741823");
        recordExpenseBatch(*connection, big);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM Rashod").toInt(), before.size() - 300 + 400);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM List").toInt(), 301);
    }

    void aFullDiskFailsTheExpenseDialogsBatchAndTheProgramGoesOn()
    {
        MessageLog log;
        LedgerProgram program;
        const QString everything = "SELECT id || names || suma || dates FROM List UNION ALL SELECT id || kod || names FROM Rashod";
        const QStringList before = program.raw().rows(everything);
        const Connection &connection = program.session().connection();
        connection.run(QStringLiteral("PRAGMA max_page_count = %1").arg(connection.scalar("PRAGMA page_count").toInt()));
        bool stayedOpen = false;
        int listed = 0;
        QStringList afterFailure;
        QVERIFY(driveExpenseDialog([&] { find<QToolButton>(&program.window(), "ToolButton4")->click(); },
                                   [&](ExpenseForm &f) {
                                       for (int i = 0; i < 30; ++i)
                                           f.addLine(QStringLiteral("%1 ").arg(i) + QString(200, QChar(0x0436)), "10", "1");
                                       listed = f.list->topLevelItemCount();
                                       f.ok->click();
                                       stayedOpen = f.dialog->isVisible();
                                       afterFailure = program.raw().rows(everything);
                                       // Room on the disk again: the same OK now stores the batch.
                                       connection.run("PRAGMA max_page_count = 1073741823");
                                       f.ok->click();
                                   }));
        QCOMPARE(listed, 30);
        QVERIFY(stayedOpen);
        QCOMPARE(afterFailure, before);
        QCOMPARE(log.seen().size(), 1);
        QCOMPARE(log.seen().first().icon, QMessageBox::Critical);
        QVERIFY2(log.texts().first().contains("full"), qPrintable(log.texts().first()));
        const QStringList after = program.raw().rows(everything);
        QCOMPARE(after.size(), before.size() + 31);
        QCOMPARE(program.raw().value("SELECT suma FROM List ORDER BY id DESC LIMIT 1").toLongLong(), 30 * 100000LL);
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 300,00 руб."));
    }

    void hostileTextIsStoredExactlyOrRefused()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        const QStringList exact = {
            "'", "\"", "'); DROP TABLE List; --", "\"); DROP TABLE List; --", "Robert'); DELETE FROM Rashod;--",
            QString::fromUtf8("\u200Fשלום\u200E مرحبا"), QString::fromUtf8("\U0001F600\U0001F4B8 деньги"), "%s %n %1",
            "\\ \\\\ \t", QString(255, QChar(0x0416)),
        };
        for (const QString &text : exact) {
            const QString doc = text.left(50);
            const qint64 id = recordExpenseBatch(*connection, {{text, rub(1), rub(1), doc, QDate::currentDate()}});
            const qint64 income = recordIncome(*connection, text.left(92), rub(1), text, !text.isEmpty());
            RawFile raw(path);
            QCOMPARE(raw.value(QStringLiteral("SELECT names FROM Rashod WHERE kod = %1").arg(id)).toString(), text);
            QCOMPARE(raw.value(QStringLiteral("SELECT doc FROM Rashod WHERE kod = %1").arg(id)).toString(), doc);
            QCOMPARE(raw.value(QStringLiteral("SELECT names FROM List WHERE id = %1").arg(income)).toString(),
                     "Доход - " + text.left(92));
            QCOMPARE(raw.value(QStringLiteral("SELECT comments FROM List WHERE id = %1").arg(income)).toString(), text);
        }
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM sqlite_master WHERE name IN ('List', 'Rashod')").toInt(), 2);

        // Refused with a clear message: a NUL character, broken UTF-16, and texts too long.
        const QList<QPair<QString, QString>> refused = {
            {QString("a") + QChar(0) + "b", "NUL"},
            {QString(QChar(0xD800)) + "x", "недопустимые символы"},
            {QString(10000, 'x'), "слишком длинный"},
            {QString::fromUtf8("\U0001F600").repeated(256), "слишком длинный"},
        };
        const QByteArray digest = fileDigest(path);
        for (const auto &[text, why] : refused) {
            for (int field = 0; field < 4; ++field) {
                try {
                    if (field == 0)
                        recordExpenseBatch(*connection, {{text, rub(1), rub(1), "", QDate::currentDate()}});
                    else if (field == 1)
                        recordExpenseBatch(*connection, {{"x", rub(1), rub(1), text, QDate::currentDate()}});
                    else if (field == 2)
                        recordIncome(*connection, text, rub(1), "", true);
                    else
                        recordIncome(*connection, "x", rub(1), text, true);
                    QFAIL(qPrintable(QStringLiteral("stored %1 in field %2").arg(why).arg(field)));
                } catch (const DatabaseError &e) {
                    QVERIFY2(e.text().contains(why), qPrintable(e.text()));
                }
            }
        }
        QCOMPARE(fileDigest(path), digest);
    }
};

QTEST_MAIN(ReliabilityTest)
#include "test_reliability.moc"
