// Bad files and bad input: a damaged, truncated, locked or unreadable ledger is refused (or
// opened) without harm; a full disk costs nothing; hostile text is stored exactly or refused.
#include "entrytesting.h"
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "widgets/guard.h"
#include "app/mainwindow.h"
#include "ledger/backup.h"
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

// SQL another tool may leave in a ledger: a row that sums nothing up.
const char *const kEndless = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c)";

QStringList copiesOfKind(const char *kind)
{
    return QDir(backup::Folder::standardPath()).entryList({QStringLiteral("*-%1.tor*").arg(QLatin1String(kind))}, QDir::Files);
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

        // Through the main window: the connection message, or an opened ledger, never more. A
        // flipped byte in the text of a trigger or view is set right, and said so.
        MessageLog log;
        Program program;
        const QString setRight = "В базе данных «" + path + "» найдены объекты SQL не из программы velTor:\n";
        for (int i = 0; i < damaged.size(); i += 10) {
            replaceFile(path, damaged[i].second);
            log.clear();
            ui::guard(&program.window(), [&] { program.window().LoadDB(path); }); // as a slot runs it
            bool onlySetRight = !log.texts().isEmpty();
            for (const QString &text : log.texts()) {
                onlySetRight = onlySetRight && text.startsWith(setRight);
                QVERIFY2(text.startsWith("Программе не удалось подключиться к базе данных:\n" + path + "\n")
                             || text.startsWith(setRight) || log.seen().first().icon == QMessageBox::Critical,
                         qPrintable(damaged[i].first + ": " + text));
            }
            QCOMPARE(program.window().session().isOpen(), log.texts().isEmpty() || onlySetRight);
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

    void plantedSqlIsFoundAndSetRightBeforeAnythingRuns_data()
    {
        QTest::addColumn<QStringList>("plant");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QStringList>("missing");
        const QString endless = QLatin1String(kEndless);
        QTest::newRow("a trigger on List wiping the other rows")
            << QStringList{"CREATE TRIGGER wipe AFTER INSERT ON List BEGIN DELETE FROM List WHERE id <> NEW.id; END"}
            << QStringList{"wipe"} << QStringList() << QStringList();
        QTest::newRow("a trigger on the rates wiping the journal")
            << QStringList{"CREATE TRIGGER rates AFTER INSERT ON Valuta BEGIN DELETE FROM Rashod; DELETE FROM List; END"}
            << QStringList{"rates"} << QStringList() << QStringList();
        QTest::newRow("a false journal view")
            << QStringList{"DROP VIEW ListZ", "CREATE VIEW ListZ AS SELECT id, names, suma, dates, times AS ti, comments"
                                              " FROM List WHERE id < 0"}
            << QStringList() << QStringList{"ListZ"} << QStringList();
        QTest::newRow("an endless journal view")
            << QStringList{"DROP VIEW ListZ", "CREATE VIEW ListZ AS " + endless
                                                  + " SELECT x AS id, '' AS names, 0 AS suma, '' AS dates, '' AS ti, '' AS comments FROM c"}
            << QStringList() << QStringList{"ListZ"} << QStringList();
        QTest::newRow("a program's trigger made to wipe, one missing, a view of its own")
            << QStringList{"DROP TRIGGER List_total_insert",
                           "CREATE TRIGGER List_total_insert AFTER INSERT ON List BEGIN DELETE FROM List WHERE id <> NEW.id; END",
                           "DROP TRIGGER Rashod_day_insert", "CREATE VIEW Mine AS SELECT * FROM List"}
            << QStringList{"Mine"} << QStringList{"List_total_insert"} << QStringList{"Rashod_day_insert"};
        QTest::newRow("a journal view under a table's name")
            << QStringList{"DROP VIEW ListZ", "CREATE TABLE ListZ (id, names, suma, dates, ti, comments)"}
            << QStringList() << QStringList{"ListZ"} << QStringList();
        QTest::newRow("a wiping trigger in a ledger of the version before")
            << QStringList{"DROP TRIGGER Rashod_day_insert", "DROP TRIGGER Rashod_day_delete", "DROP TRIGGER Rashod_day_update",
                           "DROP TABLE GrafDay", "PRAGMA user_version = 4",
                           "CREATE TRIGGER wipe AFTER INSERT ON List BEGIN DELETE FROM List WHERE id <> NEW.id; END"}
            << QStringList{"wipe"} << QStringList() << QStringList();
        // Nothing to set right: an index runs nothing, and the program's own text laid out
        // by another tool is still the program's.
        QTest::newRow("an index of its own") << QStringList{"CREATE INDEX mine ON List(comments)"} << QStringList()
                                             << QStringList() << QStringList();
        QTest::newRow("the program's view in another layout") << QStringList{"RELAYOUT ListZ"} << QStringList()
                                                              << QStringList() << QStringList();
        QTest::newRow("a sound ledger") << QStringList() << QStringList() << QStringList() << QStringList();
    }

    void plantedSqlIsFoundAndSetRightBeforeAnythingRuns()
    {
        QFETCH(QStringList, plant);
        QFETCH(QStringList, extra);
        QFETCH(QStringList, changed);
        QFETCH(QStringList, missing);
        Workspace ws;
        const QString path = filledLedger(ws);
        const QString objects = "SELECT type, name, sql FROM sqlite_master WHERE type IN ('trigger', 'view') ORDER BY name";
        const QStringList own = RawFile(path).rows(objects);
        {
            RawFile raw(path);
            for (const QString &statement : plant) {
                if (statement.startsWith("RELAYOUT ")) {
                    const QString view = statement.mid(9);
                    QString sql = raw.value("SELECT sql FROM sqlite_master WHERE name = '" + view + "'").toString();
                    sql.replace("CREATE VIEW", "create  view").replace(", ", " ,\n\t").replace(" List.", " \"list\".");
                    raw.exec("DROP VIEW " + view);
                    raw.exec(sql);
                } else {
                    raw.exec(statement);
                }
            }
        }
        const qint64 rows = RawFile(path).value("SELECT count(*) FROM List").toLongLong();
        const bool clean = extra.isEmpty() && changed.isEmpty() && missing.isEmpty();

        // What the restore asks of a copy: found without changing the file.
        const QByteArray digest = fileDigest(path);
        const SchemaFindings found = Connection::inspect(path);
        QCOMPARE(fileDigest(path), digest);
        QCOMPARE(found.extra, extra);
        QCOMPARE(found.changed, changed);
        QCOMPARE(found.missing, missing);
        QCOMPARE(found.isClean(), clean);

        auto connection = Connection::open(path);
        QCOMPARE(connection->repaired().extra, extra);
        QCOMPARE(connection->repaired().changed, changed);
        QCOMPARE(connection->repaired().missing, missing);
        const bool upgraded = plant.contains("PRAGMA user_version = 4");
        QCOMPARE(copiesOfKind("before-repair").size(), clean || upgraded ? 0 : 1);
        if (!clean) {
            QVERIFY(QFileInfo(connection->repairCopy()).isFile());
            // The copy is the ledger as it was, with what was found.
            const QString unpacked = QFileInfo(path).absolutePath() + QStringLiteral("/repair-copy.tor");
            QFile::remove(unpacked);
            backup::unpackCopy(connection->repairCopy(), unpacked);
            QCOMPARE(Connection::inspect(unpacked).extra, extra);
        }
        // The program's own objects only, and the ledger's rows all there through every write.
        QVERIFY(Connection::inspect(path).isClean());
        if (!clean)
            QCOMPARE(RawFile(path).rows(objects), own);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM sqlite_master WHERE name = 'mine'").toInt(),
                 plant.contains("CREATE INDEX mine ON List(comments)") ? 1 : 0);
        storeRates(*connection, rub(90), rub(100), rub(110));
        recordIncome(*connection, "Зарплата", rub(5), "", false);
        recordExpenseBatch(*connection, {{"хлеб", rub(1), rub(1), "", QDate::currentDate()}});
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM List").toLongLong(), rows + 2);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM ListZ").toLongLong(), rows + 2);
        // A second opening finds nothing more to set right.
        connection.reset();
        QVERIFY(Connection::open(path)->repaired().isClean());
    }

    void aFileThatRunsWhatTheProgramCannotIsRefusedUnchanged()
    {
        // A table of the program's replaced by a view that never ends: nothing to set right,
        // and reading it would never end.
        Workspace ws;
        const QString path = ws.newLedger();
        {
            RawFile raw(path);
            raw.exec("DROP TABLE Itog");
            raw.exec(QStringLiteral("CREATE VIEW Itog AS %1 SELECT 'R' AS kind, '' AS month, x AS suma, 1 AS n FROM c")
                         .arg(QLatin1String(kEndless)));
        }
        const QByteArray digest = fileDigest(path);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                if (attempt == 0)
                    Connection::open(path);
                else
                    Connection::inspect(path);
                QFAIL("opened");
            } catch (const ConnectionError &e) {
                QCOMPARE(e.reason(), ConnectionError::Reason::Unsafe);
                QVERIFY2(e.text().contains(path) && e.text().contains("Itog"), qPrintable(e.text()));
            }
        }
        QCOMPARE(fileDigest(path), digest);
        QVERIFY(copiesOfKind("before-repair").isEmpty());
    }

    void aReadThatNeverEndsGivesUpNamingTheFile()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        const QString endless = QLatin1String(kEndless) + QStringLiteral(" SELECT count(*) FROM c");
        for (int way = 0; way < 2; ++way) {
            ReadDeadline deadline(*connection, 200);
            try {
                if (way == 0)
                    connection->scalar(endless);
                else
                    connection->forEachRow(endless, {}, [](const StoredRow &) { return true; });
                QFAIL("the read ended");
            } catch (const DatabaseError &e) {
                QVERIFY2(e.text().contains(path) && e.text().contains("не закончилось"), qPrintable(e.text()));
            }
        }
        // Without the deadline, reads go on as before.
        QCOMPARE(connection->scalar("SELECT count(*) FROM List").toInt(), 0);
    }

    void anIncomeTypeIsCountedAsTyped_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("stored");
        QTest::newRow("as long as the journal row leaves room") << QString(92, QChar(0x0416)) << true;
        QTest::newRow("one character more") << QString(93, QChar(0x0416)) << false;
        QTest::newRow("95 emoji") << QString::fromUtf8("\U0001F600").repeated(95) << false;
    }

    void anIncomeTypeIsCountedAsTyped()
    {
        QFETCH(QString, type);
        QFETCH(bool, stored);
        Workspace ws;
        auto connection = Connection::open(ws.newLedger());
        try {
            recordIncome(*connection, type, rub(1), "", true);
            QVERIFY(stored);
        } catch (const DatabaseError &e) {
            QVERIFY2(!stored, qPrintable(e.text()));
            const int typed = type.size() - type.count(QChar(0xD83D));
            QCOMPARE(e.text(), QStringLiteral("Текст поля «описание дохода» слишком длинный: %1 символов, "
                                              "допускается не более 92.").arg(typed));
        }
    }

    void aForeignAmountOutOfRangeShowsAsAnError_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1e300") << "1e300" << "#ОШИБКА";
        QTest::newRow("-1e300") << "-1e300" << "#ОШИБКА";
        QTest::newRow("just beyond the range") << "9223372036854775808.0" << "#ОШИБКА";
        QTest::newRow("part of a ten-thousandth") << "0.5" << "#ОШИБКА";
        QTest::newRow("a whole number of ten-thousandths") << "12345.0" << "1,2345";
    }

    void aForeignAmountOutOfRangeShowsAsAnError()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        Workspace ws;
        const QString path = ws.newLedger();
        {
            // Written as another tool may write it, past the checks and the kept totals.
            RawFile raw(path);
            const QString trigger = raw.value("SELECT sql FROM sqlite_master WHERE name = 'List_total_insert'").toString();
            raw.exec("DROP TRIGGER List_total_insert");
            raw.exec("PRAGMA ignore_check_constraints = ON");
            raw.exec("INSERT INTO List (names, suma, dates) VALUES ('Доход - Зарплата', " + stored + ", '2024-01-01')");
            raw.exec(trigger);
        }
        auto connection = Connection::open(path);
        QVERIFY(connection->repaired().isClean());
        for (const char *view : {"ListZ", "ListDohodAll"}) {
            Dataset dataset;
            dataset.setConnection(connection.get());
            dataset.setSource(QLatin1String(view));
            dataset.open();
            QCOMPARE(dataset.data(dataset.index(0, dataset.columnIndex("suma"))).toString(), shown);
        }
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
