// The ledger's copies: consistent while the ledger is written, never a partial copy under a
// copy's name, a full disk told once without touching the ledger, the rotation over months,
// the copies before an upgrade and a conversion, and restoring a copy (and undoing that).
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "app/backupcommands.h"
#include "app/mainwindow.h"
#include "app/restoredialog.h"
#include "ledger/backup.h"
#include "ledger/bookkeeping.h"
#include "ledger/error.h"
#include "ledger/regional.h"
#include "ledger/schema.h"

#include <QAction>
#include <QLabel>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <csignal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace testing;
using namespace ledger::backup;
using ledger::Money;

namespace {

const QString kBatch = QStringLiteral("Расход");

// Copies a ledger's rows into itself until it spans many backup steps.
void fatten(const QString &path, int batches)
{
    RawFile raw(path);
    raw.exec("BEGIN");
    raw.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                            "INSERT INTO List (names, suma, dates) SELECT 'Расход', 3000000, date('now') FROM n")
                 .arg(batches));
    raw.exec("INSERT INTO Rashod (kod, names, price, counts, doc, dates) SELECT List.id, 'товар ' || k.k || "
             "' с длинным названием, чтобы страниц было больше', 1000000, 10000, '3', List.dates FROM List, "
             "(SELECT 1 AS k UNION ALL SELECT 2 UNION ALL SELECT 3) AS k");
    raw.exec("COMMIT");
}

// The ledger a copy holds, unpacked beside it when the copy is compressed.
QString plain(const QString &copy)
{
    if (!copy.endsWith(".zst"))
        return copy;
    static QTemporaryDir unpacked;
    const QString target = unpacked.filePath(QFileInfo(copy).fileName() + ".plain");
    QFile::remove(target);
    unpackCopy(copy, target);
    return target;
}

// What a copy must be: a sound ledger whose every batch has exactly the lines it was written
// with (each line carries its batch's line count as its document), and whose kept totals
// agree with its rows.
void verifySound(const QString &packed)
{
    const QString copy = plain(packed);
    RawFile raw(copy);
    QCOMPARE(raw.value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    QCOMPARE(raw.value("PRAGMA application_id").toLongLong(), qint64(ledger::schema::kApplicationId));
    QCOMPARE(raw.value("SELECT count(*) FROM pragma_foreign_key_check").toInt(), 0);
    const QStringList broken = raw.rows(
        "SELECT List.id FROM List LEFT JOIN Rashod ON Rashod.kod = List.id WHERE List.names = 'Расход' "
        "GROUP BY List.id HAVING count(Rashod.id) = 0 OR min(CAST(Rashod.doc AS INTEGER)) <> count(Rashod.id) "
        "OR max(CAST(Rashod.doc AS INTEGER)) <> count(Rashod.id)");
    QVERIFY2(broken.isEmpty(), qPrintable("partial batches: " + broken.join(',')));
    QCOMPARE(raw.value("SELECT ItogR FROM ItogRashod").toLongLong(),
             raw.value("SELECT sum(suma) FROM List WHERE names = 'Расход'").toLongLong());
}

QStringList copiesIn(const QString &folder, const QString &pattern = QStringLiteral("*"))
{
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
}

// Lines of a child's output as they come; waits for the output itself, never for a time.
QByteArray nextLine(QProcess &process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(20000))
            return {};
    }
    return process.readLine().trimmed();
}

#ifdef Q_OS_UNIX
// A file may grow no further than this while it lives: writes beyond fail as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved {};
};
#endif

QSet<QDate> dailyDaysIn(const QString &folder)
{
    QSet<QDate> days;
    for (const QString &name : copiesIn(folder, "vel-*-[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9].tor.zst"))
        days.insert(QDate::fromString(name.right(18).left(10), Qt::ISODate));
    return days;
}

// Answers the restore dialog when it shows: its rows ("date|entries|size") go to `listed`,
// whether its button was disabled before a choice to `disabled`; the copy of `row` is restored.
void pickCopy(int row, QStringList *listed, bool *disabled = nullptr)
{
    whenShown("RestoreDialog", [=](QWidget *dialog) {
        auto *list = dialog->findChild<QTreeWidget *>("BackupList");
        auto *button = dialog->findChild<QPushButton *>("RestoreButton");
        listed->clear();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            listed->append(QStringList({list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1),
                                        list->topLevelItem(i)->text(2)}).join('|'));
        if (disabled)
            *disabled = !button->isEnabled();
        list->setCurrentItem(list->topLevelItem(row));
        button->click();
    });
}

// A valid SQLite file with the program's header that is no whole ledger: only `List`.
void writeCrafted(const QString &path)
{
    RawFile raw(path);
    raw.exec(QStringLiteral("PRAGMA application_id = %1").arg(ledger::schema::kApplicationId));
    raw.exec(QStringLiteral("PRAGMA user_version = %1").arg(ledger::schema::currentVersion()));
    raw.exec("CREATE TABLE List (id INTEGER PRIMARY KEY, names TEXT, suma INTEGER, dates TEXT)");
}

// Holds the day's copy at its first step until let go.
struct HeldCopy
{
    explicit HeldCopy(app::BackupCommands &backups)
    {
        backups.setStepHook([this](int, int) {
            if (!held.testAndSetRelaxed(0, 1))
                return;
            atStep.release();
            goOn.acquire();
        });
    }
    QAtomicInt held;
    QSemaphore atStep;
    QSemaphore goOn;
};

} // namespace

class BackupTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void aCopyOfALedgerBeingWrittenHoldsWholeBatches()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        fatten(path, 2000);
        QProcess writer;
        writer.start(QCoreApplication::applicationDirPath() + "/crashwriter", {path, "7"});
        QVERIFY2(writer.waitForStarted(5000), qPrintable(writer.errorString()));
        QSet<qint64> committed;
        const auto readCommits = [&](int atLeast) {
            for (int seen = 0; seen < atLeast;) {
                const QList<QByteArray> f = nextLine(writer).split(' ');
                QVERIFY2(!f.isEmpty() && !f[0].isEmpty(), "the writer stopped writing");
                if (f[0] == "B" && f.size() == 4) {
                    committed.insert(f[1].toLongLong());
                    ++seen;
                }
            }
        };
        for (int i = 0; i < 5; ++i) {
            readCommits(3);
            const QSet<qint64> before = committed;
            const QString copy = ws.path(QStringLiteral("copy-%1.tor").arg(i));
            writeCopy(path, copy);
            verifySound(copy);
            // Whatever the writer had committed when the copy began is in it.
            RawFile raw(copy);
            for (const qint64 id : before)
                QCOMPARE(raw.value(QStringLiteral("SELECT count(*) FROM Rashod WHERE kod = %1").arg(id)).toInt() > 0, true);
        }
        writer.kill();
        writer.waitForFinished(5000);
    }

    void aKillDuringTheCopyLeavesNoCopyUnderAFinalName()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        fatten(path, 12000);
        const QString folder = ws.path("backups");
        const QString finalName = Folder::dailyName(path, QDate::currentDate());
        int totalPages = 0;
        // Stopped at the first step, half-way, and with every page copied but not yet named.
        for (const QString &pause : {QStringLiteral("1"), QStringLiteral("half"), QStringLiteral("last")}) {
            QProcess child;
            child.start(QCoreApplication::applicationDirPath() + "/backupchild", {path, folder, pause});
            QVERIFY2(child.waitForStarted(5000), qPrintable(child.errorString()));
            QByteArray line;
            do {
                line = nextLine(child);
                QVERIFY2(!line.isEmpty(), "the child stopped before its pause");
            } while (!line.startsWith("paused"));
            const QList<QByteArray> f = line.split(' ');
            totalPages = f.value(2).toInt();
            QVERIFY(totalPages > 3 * 256);
            child.kill();
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QVERIFY2(!QFile::exists(QDir(folder).filePath(finalName)), qPrintable(pause));
            QCOMPARE(copiesIn(folder, "*.tor") + copiesIn(folder, "*.zst"), QStringList());
            QCOMPARE(copiesIn(folder, "*.part").size(), 1);
            // The next run writes the copy whole and clears what the killed one left.
            QCOMPARE(Folder(folder).takeDaily(path), QDir(folder).filePath(finalName));
            QCOMPARE(copiesIn(folder), QStringList({finalName}));
            verifySound(QDir(folder).filePath(finalName));
            QCOMPARE(RawFile(plain(QDir(folder).filePath(finalName))).value("SELECT count(*) FROM List").toInt(), 12000);
            QFile::remove(QDir(folder).filePath(finalName));
        }
        // The ledger was only read.
        auto connection = ledger::Connection::open(path);
        QCOMPARE(connection->scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }

    void aFullDiskLeavesTheLedgerAsItWasAndIsToldOnce()
    {
#ifndef Q_OS_UNIX
        QSKIP("the disk is filled with a file size limit, which this system lacks");
#else
        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        fatten(path, 1500);
        const QByteArray before = fileDigest(path);
        QVERIFY(QFileInfo(path).size() > 256 * 1024);
        const QString folder = Folder::standardPath();
        MessageLog log;
        {
            FileSizeLimit full(64 * 1024);
            Program program;
            QVERIFY(program.window().session().isOpen());
            program.window().backups().finishCopies();
            QCOMPARE(log.seen().size(), 1);
            QCOMPARE(log.seen().first().icon, QMessageBox::Warning);
            QVERIFY2(log.texts().first().contains("резервная копия"), qPrintable(log.texts().first()));
            QVERIFY2(log.texts().first().contains("нет места") || log.texts().first().contains("disk"),
                     qPrintable(log.texts().first()));
            // Opened again the same day: nothing more is said.
            program.window().LoadDB(path);
            QVERIFY(program.window().session().isOpen());
            program.window().backups().finishCopies();
            QCOMPARE(log.seen().size(), 1);
            QCOMPARE(copiesIn(folder), QStringList());
            program.window().session().detach();
        }
        QCOMPARE(fileDigest(path), before);
        // With room again the copy is written.
        QVERIFY(!Folder(folder).takeDaily(path).isEmpty());
        verifySound(QDir(folder).filePath(Folder::dailyName(path, QDate::currentDate())));
#endif
    }

    void theRotationKeepsExactlyTheRightCopiesOverNinetyDays_data()
    {
        QTest::addColumn<int>("skipEvery");
        QTest::newRow("opened every day") << 0;
        QTest::newRow("two days in three") << 3;
        QTest::newRow("one day in five") << -5;
    }

    void theRotationKeepsExactlyTheRightCopiesOverNinetyDays()
    {
        QFETCH(int, skipEvery);
        Workspace ws;
        const QString path = ws.newLedger();
        QDate day(2026, 1, 1);
        Folder folder(ws.path("backups"), [&day] { return day; });
        QList<QDate> opened;
        for (int i = 0; i < 90; ++i, day = day.addDays(1)) {
            const bool open = skipEvery == 0 || (skipEvery > 0 ? i % skipEvery != 1 : i % -skipEvery == 0);
            if (!open)
                continue;
            QVERIFY(!folder.takeDaily(path).isEmpty());
            QCOMPARE(folder.takeDaily(path), QString()); // once a day
            opened.prepend(day);
            // Kept: the seven newest copies, and the newest copy of each of the eight weeks
            // before the week of the seventh newest.
            QSet<QDate> expected;
            const QDate seventh = opened.value(qMin(6, int(opened.size()) - 1));
            const QDate itsMonday = seventh.addDays(1 - seventh.dayOfWeek());
            for (int k = 0; k < opened.size(); ++k) {
                const QDate d = opened[k];
                const QDate monday = d.addDays(1 - d.dayOfWeek());
                const qint64 weeks = monday.daysTo(itsMonday) / 7;
                const bool newestOfItsWeek = k == 0 || opened[k - 1].addDays(1 - opened[k - 1].dayOfWeek()) != monday;
                if (k < 7 || (weeks >= 1 && weeks <= 8 && newestOfItsWeek))
                    expected.insert(d);
            }
            QCOMPARE(dailyDaysIn(folder.path()), expected);
        }
        const QSet<QDate> last = dailyDaysIn(folder.path());
        QVERIFY(last.size() <= 15);
        if (skipEvery == 0) {
            // 90 days from Thursday 1 January: 25 to 31 March, then the Sundays of the eight
            // weeks before the week of 25 March, 1 February to 22 March.
            QCOMPARE(last.size(), 15);
            for (int k = 0; k < 7; ++k)
                QVERIFY(last.contains(QDate(2026, 3, 31).addDays(-k)));
            for (int w = 1; w <= 8; ++w)
                QVERIFY(last.contains(QDate(2026, 3, 22).addDays(-7 * (w - 1))));
        }
        // The copies of another ledger beside them are left alone, and so are those of the
        // earlier naming, which may be another ledger's of this name.
        for (const char *other : {"vel-2-2020-01-01.tor", "vel-2020-01-01.tor"})
            QFile::copy(path, QDir(folder.path()).filePath(other));
        folder.rotate(path);
        for (const char *other : {"vel-2-2020-01-01.tor", "vel-2020-01-01.tor"})
            QVERIFY(QFile::exists(QDir(folder.path()).filePath(other)));
    }

    void copiesBeforeARestoreAreKeptFiveAtATime()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        Folder folder(ws.path("backups"));
        for (int i = 0; i < 7; ++i)
            folder.takeBefore(Kind::BeforeRestore, path);
        const QList<Copy> copies = folder.list(path);
        QCOMPARE(copies.size(), 5);
        for (const Copy &copy : copies) {
            QCOMPARE(copy.kind, Kind::BeforeRestore);
            QCOMPARE(copy.entries, 0);
        }
    }

    void aLedgerIsCopiedBeforeItsSchemaIsUpgraded()
    {
        Workspace ws;
        const QString path = ws.path("old.tor");
        QVERIFY(copyTestData("ledger-v1.tor", path));
        const QStringList rows = RawFile(path).rows("SELECT * FROM List ORDER BY id");

        // Without a place for the copy the ledger is not upgraded, and says why.
        const QString folder = Folder::standardPath();
        QDir(folder).removeRecursively();
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        const QByteArray original = fileDigest(path);
        try {
            ledger::Connection::open(path);
            QFAIL("upgraded without a copy");
        } catch (const ledger::ConnectionError &e) {
            QCOMPARE(e.reason(), ledger::ConnectionError::Reason::NoBackup);
        }
        QCOMPARE(fileDigest(path), original);
        QFile::remove(folder);

        auto connection = ledger::Connection::open(path);
        QCOMPARE(connection->scalar("PRAGMA user_version").toInt(), ledger::schema::currentVersion());
        const QList<Copy> copies = Folder(folder).list(path);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(copies.first().kind, Kind::BeforeUpgrade);
        RawFile copy(plain(copies.first().path));
        QCOMPARE(copy.value("PRAGMA user_version").toInt(), 1);
        QCOMPARE(copy.rows("SELECT * FROM List ORDER BY id"), rows);
    }

    void anEarlierFormatFileIsKeptBeforeItIsConverted()
    {
        const QString path = appFolder() + "vel.tor";
        QVERIFY(copyTestData("jet/jet-family.tor", path));
        const QByteArray original = fileBytes(path);
        MessageLog log;
        Program program;
        QVERIFY(program.window().session().isOpen());
        program.window().backups().finishCopies();
        const QStringList kept = copiesIn(Folder::standardPath(), "vel-*-before-conversion.jet");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(QDir(Folder::standardPath()).filePath(kept.first())), original);
        // And the converted ledger has its daily copy.
        QVERIFY(QFile::exists(QDir(Folder::standardPath()).filePath(Folder::dailyName(path, QDate::currentDate()))));
    }

    void aRestoreBringsTheCopyBackAndCanBeUndone()
    {
        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        {
            auto connection = ledger::Connection::open(path);
            ledger::recordIncome(*connection, "Зарплата", Money::fromUnits(1000), "первый", false);
            ledger::recordExpenseBatch(*connection, {{"хлеб", Money::fromUnits(50), Money::fromUnits(2), "чек",
                                                      QDate::currentDate()}});
        }
        MessageLog log;
        Program program;
        app::MainWindow &w = program.window();
        w.backups().finishCopies();
        QCOMPARE(w.session().journal().count(), 2);
        ledger::recordIncome(w.session().connection(), "Премия", Money::fromUnits(77), "после копии", false);
        w.session().entriesChanged();
        QCOMPARE(w.session().journal().count(), 3);

        auto *restore = w.findChild<QAction *>("RestoreBackup");
        QVERIFY(restore && restore->isEnabled());
        QCOMPARE(restore->text(), QStringLiteral("Восстановить из копии…"));
        QStringList listed;
        bool disabledWithoutChoice = false;
        const auto pick = [&listed, &disabledWithoutChoice](int row) { pickCopy(row, &listed, &disabledWithoutChoice); };
        pick(0);
        restore->trigger();
        QVERIFY(!missedDialog());
        QVERIFY(disabledWithoutChoice);
        const QString size = app::RestoreDialog::sizeText(QFileInfo(QDir(Folder::standardPath()).filePath(
                                                              Folder::dailyName(path, QDate::currentDate())))
                                                              .size());
        QCOMPARE(listed, QStringList({regional::shortDate(QDate::currentDate()) + "|2|" + size}));
        QCOMPARE(log.seen().size(), 1);
        QCOMPARE(log.seen().first().icon, QMessageBox::Question);
        QVERIFY2(log.texts().first().contains(regional::shortDate(QDate::currentDate())), qPrintable(log.texts().first()));
        QVERIFY(w.session().isOpen());
        QCOMPARE(w.session().journal().count(), 2);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM List WHERE comments = 'после копии'").toInt(), 0);
        QCOMPARE(RawFile(path).value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));

        // The state before the restore was kept: it is the newest copy now, and restoring it
        // undoes the restore.
        pick(0);
        restore->trigger();
        QVERIFY(!missedDialog());
        QCOMPARE(listed.size(), 2);
        QVERIFY2(listed.first().section('|', 1, 1) == "3", qPrintable(listed.join(", ")));
        QCOMPARE(w.session().journal().count(), 3);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM List WHERE comments = 'после копии'").toInt(), 1);
        QCOMPARE(ledger::readTotals(w.session().connection()).income, Money::fromUnits(1077));

        // Answering No changes nothing.
        log.answer(QMessageBox::No);
        pick(1);
        restore->trigger();
        QCOMPARE(w.session().journal().count(), 3);
    }

    void twoLedgersOfOneNameNeverShareCopies()
    {
        Workspace ws;
        QDir(ws.path(".")).mkpath("one");
        QDir(ws.path(".")).mkpath("two");
        const QString one = ws.newLedger("one/vel.tor");
        const QString two = ws.newLedger("two/vel.tor");
        ledger::recordIncome(*ledger::Connection::open(one), "Зарплата", Money::fromUnits(10), "", false);
        Folder folder(ws.path("backups"));
        QVERIFY(!folder.takeDaily(one).isEmpty());
        QVERIFY(!folder.takeDaily(two).isEmpty());
        // A copy of the earlier naming is shown to a ledger of its name, as of unknown owner;
        // a link is shown and never offered.
        QFile::copy(one, QDir(folder.path()).filePath("vel-2026-01-01.tor"));
        QVERIFY(QFile::link(one, QDir(folder.path()).filePath("vel-2026-01-02.tor")));
        for (const auto &[ledgerPath, entries] : {std::pair {one, 1}, std::pair {two, 0}}) {
            const QList<Copy> copies = folder.list(ledgerPath);
            QCOMPARE(copies.size(), 3);
            QCOMPARE(copies[0].owner, Owner::This);
            QCOMPARE(copies[0].entries, qint64(entries));
            QCOMPARE(copies[1].entries, -1);
            QCOMPARE(copies[2].owner, Owner::SameName);
            QCOMPARE(copies[2].entries, 1);
        }
    }

    void aRestoreRefusesWhatAnOpeningWouldRefuse_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("only List") << "crafted";
        QTest::newRow("newer version") << "newer";
        QTest::newRow("compressed, cut short") << "cut";
        QTest::newRow("a link to the ledger") << "link";
    }

    void aRestoreRefusesWhatAnOpeningWouldRefuse()
    {
        QFETCH(QString, kind);
        Workspace ws;
        const QString path = ws.newLedger();
        Folder folder(ws.path("backups"));
        const QString sound = folder.takeDaily(path);
        QString copy = ws.path("candidate.tor");
        if (kind == "crafted") {
            writeCrafted(copy);
        } else if (kind == "newer") {
            QFile::copy(path, copy);
            RawFile(copy).exec(QStringLiteral("PRAGMA user_version = %1").arg(ledger::schema::currentVersion() + 1));
        } else if (kind == "cut") {
            copy += ".zst";
            QVERIFY(writeFile(copy, fileBytes(sound).left(int(QFileInfo(sound).size()) - 64)));
        } else {
            QVERIFY(QFile::link(path, copy));
        }
        const QByteArray before = fileDigest(path);
        QVERIFY_THROWS_EXCEPTION(BackupError, restore(copy, path));
        QCOMPARE(fileDigest(path), before);
    }

    void theRestoreIsReachableAfterAFailedOpening()
    {
        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        ledger::recordIncome(*ledger::Connection::open(path), "Зарплата", Money::fromUnits(5), "", false);
        {
            Program first;
            first.window().backups().finishCopies();
        }
        // The ledger is replaced by a file that opening refuses.
        QFile::remove(path);
        writeCrafted(path);
        MessageLog log;
        Program program;
        app::MainWindow &w = program.window();
        QVERIFY(!w.session().isOpen());
        auto *restore = w.findChild<QAction *>("RestoreBackup");
        QVERIFY(restore->isEnabled());
        QStringList listed;
        pickCopy(0, &listed);
        restore->trigger();
        QVERIFY(!missedDialog());
        QCOMPARE(listed.value(0).section('|', 1, 1), QStringLiteral("1"));
        QVERIFY(w.session().isOpen());
        QCOMPARE(w.session().journal().count(), 1);
    }

    void anEntryRecordedDuringTheCopyWaitsForOneStepOnly_data()
    {
        QTest::addColumn<bool>("closeMeanwhile");
        QTest::newRow("an entry recorded") << false;
        QTest::newRow("the program closed") << true;
    }

    void anEntryRecordedDuringTheCopyWaitsForOneStepOnly()
    {
        QFETCH(bool, closeMeanwhile);
        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        fatten(path, 6000);
        const QString copy = QDir(Folder::standardPath()).filePath(Folder::dailyName(path, QDate::currentDate()));
        {
            auto program = std::make_unique<Program>();
            app::MainWindow &w = program->window();
            w.backups().finishCopies();
            QVERIFY(QFile::remove(copy));
            HeldCopy held(w.backups());
            w.backups().takeDaily(path);
            QVERIFY(held.atStep.tryAcquire(1, 20000));
            auto *status = w.findChild<QLabel *>("BackupStatus");
            QVERIFY(status && status->isVisible());
            QCOMPARE(status->text(), QStringLiteral("Резервное копирование базы данных..."));
            if (closeMeanwhile) {
                // The window goes at once; the copy is finished before the program ends.
                w.close();
                QVERIFY(!w.isVisible());
                held.goOn.release();
                program.reset();
                verifySound(copy);
                return;
            }
            // The copy holds no lock between its steps: the entry goes in at once.
            ledger::recordIncome(w.session().connection(), "Зарплата", Money::fromUnits(1), "во время копии", false);
            held.goOn.release();
            w.backups().finishCopies();
            QCOMPARE(status->text(), QStringLiteral("Резервная копия базы данных сохранена"));
        }
        verifySound(copy);
        QCOMPARE(RawFile(plain(copy)).value("SELECT count(*) FROM List WHERE comments = 'во время копии'").toInt(), 1);
    }

    void aCopyThatIsNoLedgerIsNotRestored()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        const QByteArray before = fileDigest(path);
        QVERIFY(writeFile(ws.path("vel-2026-01-01.tor"), QByteArray(8192, 'x')));
        QVERIFY_THROWS_EXCEPTION(BackupError, restore(ws.path("vel-2026-01-01.tor"), path));
        QCOMPARE(fileDigest(path), before);
        // Listed, but as unreadable.
        const QList<Copy> copies = Folder(ws.path(".")).list(path);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(copies.first().entries, -1);
    }
};

QTEST_MAIN(BackupTest)
#include "test_backup.moc"
