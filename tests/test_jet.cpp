// Bringing a Jet 4.0 ledger of the Windows program over: every value of the three sample
// files, the backups, and files that must be refused without anything created or renamed.
#include "support/testsupport.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/jet/jet.h"
#include "ledger/jet/oledate.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <limits>

using testing::RawFile;
using testing::Workspace;

namespace {

const QStringList kTables = {"List", "Rashod", "Dohod", "VelTor", "Valuta"};
constexpr int kPage = 4096;

QString sample(const QString &name)
{
    return QStringLiteral(VELTOR_TEST_DATA "/jet/") + name;
}

// A copy of a sample, writable, under a name of the test's choosing.
QString copySample(const Workspace &ws, const QString &fixture, const QString &name = QStringLiteral("vel.tor"))
{
    const QString target = ws.path(name);
    QFile::remove(target);
    if (!QFile::copy(sample(fixture + ".tor"), target))
        qFatal("cannot copy %s", qPrintable(fixture));
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList folderOf(const QString &path)
{
    return QDir(QFileInfo(path).absolutePath())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QJsonObject expected(const QString &fixture)
{
    QFile file(sample(fixture + ".expected.json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no expected rows for %s", qPrintable(fixture));
    return QJsonDocument::fromJson(file.readAll()).object();
}

// A JSON value as SQLite's quote() writes a stored one, so that a NULL, an integer and a
// text never pass for one another. Integers go through qint64 (toInteger), never a double.
QString quoted(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("NULL");
    case QJsonValue::String:
        return QLatin1Char('\'') + value.toString().replace("'", "''") + QLatin1Char('\'');
    case QJsonValue::Double:
        // Two defaults tell a whole number held exactly from one that is not.
        if (value.toInteger(0) != value.toInteger(1))
            qFatal("not an exact integer in the expected rows");
        return QString::number(value.toInteger());
    default:
        qFatal("unexpected JSON value");
    }
}

// Every row of a table, every column quoted, in id order: what the stock sqlite3 would show.
QList<QMap<QString, QString>> storedRows(const QString &path, const QString &table)
{
    QList<QMap<QString, QString>> rows;
    const QString name = QStringLiteral("jet-check");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        QStringList columns;
        QSqlQuery info(db);
        info.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table));
        while (info.next())
            columns << info.value(0).toString();
        QStringList selected;
        for (const QString &column : columns)
            selected << QStringLiteral("quote(%1)").arg(column);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY id").arg(selected.join(", "), table)))
            qFatal("cannot read %s", qPrintable(table));
        while (q.next()) {
            QMap<QString, QString> row;
            for (int i = 0; i < columns.size(); ++i)
                row.insert(columns.at(i), q.value(i).toString());
            rows << row;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

void compareWithExpected(const QString &ledger, const QString &fixture)
{
    const QJsonObject want = expected(fixture);
    for (const QString &table : kTables) {
        const QJsonArray wantRows = want.value(table).toArray();
        const auto haveRows = storedRows(ledger, table);
        QCOMPARE(haveRows.size(), wantRows.size());
        for (int r = 0; r < wantRows.size(); ++r) {
            const QJsonObject wantRow = wantRows.at(r).toObject();
            const auto &haveRow = haveRows.at(r);
            QCOMPARE(QStringList(haveRow.keys()), QStringList(wantRow.keys()));
            for (const QString &column : wantRow.keys()) {
                const QString where = QStringLiteral("%1 %2.%3 row %4").arg(fixture, table, column).arg(r);
                QVERIFY2(haveRow.value(column) == quoted(wantRow.value(column)),
                         qPrintable(where + ": " + haveRow.value(column) + " != " + quoted(wantRow.value(column))));
            }
        }
    }
}

// Tries a conversion that must be refused and returns its message, which must name the file;
// the folder must be exactly as before, the file's bytes included.
QString refusal(const QString &path)
{
    const QStringList before = folderOf(path);
    const QByteArray bytes = testing::fileBytes(path);
    QString text;
    try {
        jet::convert(path);
    } catch (const jet::JetError &error) {
        text = error.text();
        if (error.path() != path)
            text.clear();
    }
    if (folderOf(path) != before || testing::fileBytes(path) != bytes)
        return QStringLiteral("(the folder changed)");
    return text.contains(path) ? text : QString();
}

#define EXPECT_REFUSED(path, what)                                                                 \
    do {                                                                                           \
        const QString text = refusal(path);                                                        \
        QVERIFY2(!text.isEmpty() && !text.startsWith('('), qPrintable(QString(what) + ": " + text)); \
    } while (false)

// The one place in a sample where `bytes` occur; fails the test when they are not unique.
qsizetype uniqueOffset(const QByteArray &data, const QByteArray &bytes)
{
    const qsizetype at = data.indexOf(bytes);
    if (at < 0 || data.indexOf(bytes, at + 1) >= 0)
        qFatal("pattern not unique in the sample");
    return at;
}

QByteArray le32(qint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le64(qint64 v)
{
    QByteArray b(8, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace

class JetTest : public QObject
{
    Q_OBJECT

private slots:
    void recognisesJet4Only()
    {
        Workspace ws;
        for (const char *name : {"jet-family", "jet-locked", "jet-extremes"}) {
            const QString path = copySample(ws, name);
            const QByteArray before = testing::fileDigest(path);
            QVERIFY(jet::isJetFile(path));
            QCOMPARE(testing::fileDigest(path), before);
        }
        const QByteArray jet4 = testing::fileBytes(sample("jet-family.tor"));
        QByteArray jet3 = jet4;
        jet3[0x14] = 0;
        writeBytes(ws.path("jet3.mdb"), jet3);
        QVERIFY(!jet::isJetFile(ws.path("jet3.mdb")));
        QByteArray ace = jet4;
        ace[0x14] = 2;
        writeBytes(ws.path("ace.accdb"), ace);
        QVERIFY(!jet::isJetFile(ws.path("ace.accdb")));
        writeBytes(ws.path("short.tor"), jet4.left(0x14));
        QVERIFY(!jet::isJetFile(ws.path("short.tor")));
        QVERIFY(!jet::isJetFile(ws.newLedger("ours.tor")));
        QVERIFY(!jet::isJetFile(ws.path("missing.tor")));
    }

    void oleDatesBecomeIsoText()
    {
        QCOMPARE(jet::oleDateText(2.0), QStringLiteral("1900-01-01"));
        QCOMPARE(jet::oleDateText(40968.0), QStringLiteral("2012-02-29"));
        QCOMPARE(jet::oleDateText(39888.739583333336), QStringLiteral("2009-03-16 17:45:00"));
        // A hair short of midnight stays on its day; seconds round to the nearest.
        QCOMPARE(jet::oleDateText(40968.0 + 86399.9999 / 86400.0), QStringLiteral("2012-02-29 23:59:59"));
        QCOMPARE(jet::oleTimeText(86399.9999 / 86400.0), QStringLiteral("23:59:59"));
        QCOMPARE(jet::oleTimeText(1.4 / 86400.0), QStringLiteral("00:00:01"));
        QCOMPARE(jet::oleTimeText(1.6 / 86400.0), QStringLiteral("00:00:02"));
        QCOMPARE(jet::oleTimeText(0.378506944444), QStringLiteral("09:05:03"));
        QCOMPARE(jet::oleTimeText(0.0), QStringLiteral("00:00:00"));
        // Before 1899-12-30 the day counts back while the time still runs forward.
        QCOMPARE(jet::oleDateText(-1.25), QStringLiteral("1899-12-29 06:00:00"));
        QCOMPARE(jet::oleDateText(-0.5), QStringLiteral("1899-12-30 12:00:00"));
        // The Jet range, with four-digit years at its start.
        QCOMPARE(jet::oleDateText(-657434.0), QStringLiteral("0100-01-01"));
        QCOMPARE(jet::oleDateText(2958465.99999999), QStringLiteral("9999-12-31 23:59:59"));
        QVERIFY(jet::oleDateText(-657435.0).isNull());
        QVERIFY(jet::oleDateText(2958466.0).isNull());
        QVERIFY(jet::oleDateText(std::nan("")).isNull());
        QVERIFY(jet::oleTimeText(std::numeric_limits<double>::infinity()).isNull());
    }

    void convertsEveryValueOfTheSamples_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("family") << "jet-family";
        QTest::newRow("locked") << "jet-locked";
        QTest::newRow("extremes") << "jet-extremes";
    }

    void convertsEveryValueOfTheSamples()
    {
        QFETCH(QString, fixture);
        Workspace ws;
        const QString path = copySample(ws, fixture);
        const QByteArray original = testing::fileDigest(path);
        QCOMPARE(jet::backupPath(path), ws.path("vel.jet"));

        const jet::ConversionResult result = jet::convert(path);
        QCOMPARE(result.ledgerPath, path);
        QCOMPARE(result.backupPath, ws.path("vel.jet"));
        QCOMPARE(result.droppedLines, 0);
        const QJsonObject want = expected(fixture);
        for (const QString &table : kTables)
            QCOMPARE(result.rows.value(table, -1), int(want.value(table).toArray().size()));

        compareWithExpected(path, fixture);
        // The original lives on untouched, and nothing else is left in the folder.
        QCOMPARE(testing::fileDigest(result.backupPath), original);
        QCOMPARE(folderOf(path), QStringList({"vel.jet", "vel.tor"}));
        QVERIFY(!jet::isJetFile(path));
    }

    void convertedLedgerIsOneOfOurs()
    {
        Workspace ws;
        const QString family = copySample(ws, "jet-family");
        jet::convert(family);
        {
            auto connection = ledger::Connection::open(family);
            const ledger::Totals totals = ledger::readTotals(*connection);
            QCOMPARE(totals.expenses.ticks(), qint64(1760000 + 9999 + 0 - 800000));
            QCOMPARE(totals.income.ticks(), qint64(300000000 + 12345678));
            QCOMPARE(connection->scalar("SELECT count(*) FROM ListRashodAll").toInt(), 4);
            QCOMPARE(connection->scalar("SELECT nam FROM ListDohodAll WHERE suma = 12345678").toString(),
                     QStringLiteral("Подработка «вечер»"));
            QCOMPARE(connection->scalar("SELECT names FROM VelTor").toString(), QStringLiteral("Семья Ивановых"));
            // Counters go on after the largest id of each table.
            QCOMPARE(connection->insert("List", {{"names", "Расход"}}), qint64(8));
            QCOMPARE(connection->insert("Rashod", {{"kod", 8}}), qint64(6));
            QCOMPARE(connection->insert("Dohod", {{"names", "Новый"}}), qint64(10));
            QCOMPARE(connection->insert("Valuta", {{"valuta1", "Доллар США"}}), qint64(81));
            // The relationship holds: deleting a batch takes its lines along.
            connection->remove("List", 1);
            QCOMPARE(connection->scalar("SELECT count(*) FROM Rashod WHERE kod = 1").toInt(), 0);
        }

        // Exactly after the largest: not the template's counters (Dohod 8, Valuta 75).
        const QString extremes = copySample(ws, "jet-extremes", "max.tor");
        jet::convert(extremes);
        {
            auto connection = ledger::Connection::open(extremes);
            QCOMPARE(connection->insert("Dohod", {{"names", "Новый"}}), qint64(8));
            QCOMPARE(connection->insert("Valuta", {{"valuta1", "Доллар США"}}), qint64(61));
            QCOMPARE(connection->insert("List", {{"names", "Расход"}}), qint64(3));
        }

        const QString locked = copySample(ws, "jet-locked", "locked.tor");
        jet::convert(locked);
        auto connection = ledger::Connection::open(locked);
        QCOMPARE(connection->scalar("SELECT pas FROM VelTor").toString(), QStringLiteral("Пароль1"));
        QCOMPARE(connection->scalar("SELECT count(*) FROM Rashod").toInt(), 0);
        QCOMPARE(connection->insert("Rashod", {{"kod", 1}}), qint64(1));
    }

    void backupsAreNeverReplaced()
    {
        Workspace ws;
        const QString path = ws.path("vel.tor");
        const QStringList fixtures = {"jet-family", "jet-locked", "jet-extremes"};
        const QStringList backups = {"vel.jet", "vel.1.jet", "vel.2.jet"};
        for (int i = 0; i < fixtures.size(); ++i) {
            copySample(ws, fixtures.at(i));
            QCOMPARE(jet::backupPath(path), ws.path(backups.at(i)));
            QCOMPARE(jet::convert(path).backupPath, ws.path(backups.at(i)));
        }
        for (int i = 0; i < fixtures.size(); ++i)
            QCOMPARE(testing::fileDigest(ws.path(backups.at(i))), testing::fileDigest(sample(fixtures.at(i) + ".tor")));
        QCOMPARE(folderOf(path), QStringList({"vel.1.jet", "vel.2.jet", "vel.jet", "vel.tor"}));
        compareWithExpected(path, "jet-extremes");

        // Another extension keeps its name and gets ".jet" after it; ".TOR" counts as ".tor".
        QCOMPARE(jet::convert(copySample(ws, "jet-locked", "old.mdb")).backupPath, ws.path("old.mdb.jet"));
        QCOMPARE(jet::convert(copySample(ws, "jet-locked", "BIG.TOR")).backupPath, ws.path("BIG.jet"));
    }

    void cutFilesAreRefused()
    {
        Workspace ws;
        const QByteArray whole = testing::fileBytes(sample("jet-family.tor"));
        // Inside the header, at and past the catalog, inside and at the ends of the pages of
        // the table definitions (3..7) and of their rows (9..13).
        const qsizetype cuts[] = {0,        100,       kPage,         kPage + 1,     3 * kPage,     3 * kPage + 77,
                                  5 * kPage, 8 * kPage, 8 * kPage + 2048, 9 * kPage,   10 * kPage,    11 * kPage - 1,
                                  12 * kPage, 13 * kPage, 13 * kPage + 4000, whole.size() - 1};
        const QString path = ws.path("vel.tor");
        for (qsizetype cut : cuts) {
            writeBytes(path, whole.left(cut));
            EXPECT_REFUSED(path, QStringLiteral("cut at %1").arg(cut));
        }
    }

    void damagedFilesAreRefused()
    {
        Workspace ws;
        const QByteArray whole = testing::fileBytes(sample("jet-family.tor"));
        const QString path = ws.path("vel.tor");

        QByteArray zeroed = whole;
        zeroed.replace(10 * kPage, kPage, QByteArray(kPage, '\0')); // the page of Rashod's rows
        writeBytes(path, zeroed);
        EXPECT_REFUSED(path, "zeroed page");

        QByteArray scrambled = whole;
        for (int i = 0; i < kPage; ++i)
            scrambled[4 * kPage + i] = char((i * 131 + 7) & 0xff); // Rashod's definition
        writeBytes(path, scrambled);
        EXPECT_REFUSED(path, "scrambled definition");

        // One byte of List's column count: a reader that took libmdb's word for the table
        // definition would run far out of its buffers here.
        QByteArray crashing = whole;
        crashing[3 * kPage + 0x2e] = char(124);
        writeBytes(path, crashing);
        EXPECT_REFUSED(path, "column count");

        // A table of the ledger that is not there.
        QByteArray renamed = whole;
        renamed.replace(uniqueOffset(whole, "Valuta"), 6, "Valutx");
        writeBytes(path, renamed);
        const QString missing = refusal(path);
        QVERIFY2(missing.contains("таблицы Valuta"), qPrintable(missing));

        writeBytes(path, "Standard Jet DB? no, a text file\n");
        EXPECT_REFUSED(path, "text file");
        const QString ours = ws.newLedger("ours.tor");
        EXPECT_REFUSED(ours, "a ledger of ours");
        QVERIFY_THROWS_EXCEPTION(jet::JetError, jet::convert(ws.path("missing.tor")));
    }

    void progressIsReportedAndCancelLeavesAllAsItWas()
    {
        Workspace ws;
        const QString path = copySample(ws, "jet-family");
        const QStringList before = folderOf(path);
        const QByteArray bytes = testing::fileDigest(path);

        // Stop at the first report, then half-way through (while the new ledger is written).
        for (int stopAt : {0, 1}) {
            int calls = 0;
            const auto stop = [&](int done, int total) {
                ++calls;
                return !(stopAt == 0 || (total > 0 && done * 2 > total));
            };
            QVERIFY_THROWS_EXCEPTION(jet::Cancelled, jet::convert(path, stop));
            QVERIFY(calls > 0);
            QCOMPARE(folderOf(path), before);
            QCOMPARE(testing::fileDigest(path), bytes);
        }

        QList<QPair<int, int>> reports;
        jet::convert(path, [&](int done, int total) {
            reports << qMakePair(done, total);
            return true;
        });
        QVERIFY(reports.size() >= 2);
        // Two steps a row, read and written: 6 + 4 + 7 + 1 + 6 rows.
        QCOMPARE(reports.last(), qMakePair(48, 48));
        for (int i = 1; i < reports.size(); ++i) {
            QVERIFY(reports.at(i).first >= reports.at(i - 1).first);
            QVERIFY(reports.at(i).first <= reports.at(i).second || reports.at(i).second == 0);
        }
        compareWithExpected(path, "jet-family");
    }

    void linesOfAMissingJournalRowAreLeftOut()
    {
        Workspace ws;
        const QString path = ws.path("vel.tor");
        // Line 5 belongs to journal row 7; point it at 3, an id no journal row has.
        QByteArray data = testing::fileBytes(sample("jet-family.tor"));
        const qsizetype line = uniqueOffset(data, le32(5) + le32(7) + le64(-800000));
        data.replace(line + 4, 4, le32(3));
        writeBytes(path, data);

        const jet::ConversionResult result = jet::convert(path);
        QCOMPARE(result.droppedLines, 1);
        QCOMPARE(result.rows.value("Rashod"), 3);
        QCOMPARE(result.rows.value("List"), 6);
        RawFile raw(path);
        QCOMPARE(raw.rows("SELECT id, kod FROM Rashod ORDER BY id"), QStringList({"1|1", "2|1", "3|4"}));
        QCOMPARE(raw.value("SELECT count(*) FROM List").toInt(), 6);
        QCOMPARE(raw.rows("PRAGMA foreign_key_check"), QStringList());
    }
};

QTEST_GUILESS_MAIN(JetTest)
#include "test_jet.moc"
