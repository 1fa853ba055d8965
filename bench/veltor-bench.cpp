// Generates a large ledger and times the program's own code paths on it. Prints one line
// per figure, "name value unit", each the median of several runs.
#include "generate.h"
#include "imports.h"
#include "windows.h"

#include "charts/chartdata.h"
#include "ledger/backup.h"
#include "ledger/bookkeeping.h"
#include "ledger/csvexport.h"
#include "ledger/xlsxexport.h"
#include "ledger/database.h"
#include "ledger/dataset.h"
#include "ledger/schema.h"

#include <QCommandLineParser>
#include <QDate>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Opens a view as the windows do and reads its first screen of rows.
void firstRows(const ledger::Connection &connection, const QString &view, int rows = 100)
{
    ledger::Dataset dataset;
    dataset.setConnection(&connection);
    dataset.setSource(view);
    dataset.open();
    for (int r = 0; r < qMin(rows, dataset.rowCount()); ++r)
        dataset.valueAt(r, 0);
}

// Takes a ledger back to an earlier version, with the engine alone, as a file that an
// earlier program wrote (or another tool wrote into) would be: version 1 has no kept totals
// and no index beyond kod, version 2 has the indexes of that version, version 4 everything
// but the kept figures per date of the lines.
void takeBack(const QString &path, int version)
{
    const QString name = QStringLiteral("bench-earlier");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("%s: %s", qPrintable(path), qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        QStringList statements;
        const auto runAll = [&q, &statements] {
            for (const QString &statement : statements) {
                if (!q.exec(statement))
                    qFatal("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
            }
            statements.clear();
        };
        for (const char *trigger : {"Rashod_day_insert", "Rashod_day_delete", "Rashod_day_update"})
            statements << QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(trigger));
        statements << QStringLiteral("DROP TABLE GrafDay");
        runAll();
        if (version == 1) {
            q.exec(QStringLiteral("SELECT type, name FROM sqlite_master WHERE type = 'trigger'"
                                  " OR (type = 'index' AND sql IS NOT NULL AND name <> 'kod')"));
            while (q.next())
                statements << QStringLiteral("DROP %1 %2").arg(q.value(0).toString(), q.value(1).toString());
            statements << QStringLiteral("DROP TABLE Itog");
        } else if (version == 2) {
            // The indexes as version 2 had them: none of version 3's, nor the item index
            // that came after.
            const QString amount = ledger::schema::amountExpression(QStringLiteral("price"), QStringLiteral("counts"));
            statements << QStringLiteral("DROP INDEX Rashod_item") << QStringLiteral("DROP INDEX Rashod_month_amount")
                       << QStringLiteral("DROP INDEX List_income_chart") << QStringLiteral("DROP INDEX List_income_month") << QStringLiteral("DROP INDEX Rashod_chart")
                       << QStringLiteral("CREATE INDEX Rashod_chart ON Rashod(dates, %1)").arg(amount)
                       << QStringLiteral("DROP INDEX Rashod_month")
                       << QStringLiteral("CREATE INDEX Rashod_month ON Rashod(substr(dates, 6, 2), dates)");
        }
        statements << QStringLiteral("PRAGMA user_version = %1").arg(version);
        runAll();
    }
    QSqlDatabase::removeDatabase(name);
}

// Opening a copy of an earlier ledger, upgrade included; the copying is not timed.
double upgradeMs(const QTemporaryDir &scratch, const QString &path, int version, int runs)
{
    const QString earlier = scratch.filePath(QStringLiteral("earlier.tor"));
    const QString copy = scratch.filePath(QStringLiteral("opened.tor"));
    QFile::remove(earlier);
    QFile::copy(path, earlier);
    takeBack(earlier, version);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(copy);
        QFile::copy(earlier, copy);
        QElapsedTimer clock;
        clock.start();
        ledger::Connection::open(copy);
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    QFile::remove(copy);
    QFile::remove(earlier);
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The windows run headless, and in a world of their own: no real settings or ledgers are
// touched, and no rate is fetched.
void enterWorldOfItsOwn(const QTemporaryDir &world)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", world.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", world.filePath("data").toLocal8Bit());
    QDir().mkpath(world.filePath("runtime"));
    QFile::setPermissions(world.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", world.filePath("runtime").toLocal8Bit());
    qputenv("VELTOR_RATES_URL", "http://127.0.0.1:9");
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("velTor benchmark"));
    parser.addHelpOption();
    parser.addOption({{"n", "rows"}, "Journal rows to generate (lines: three times as many).", "N", "100000"});
    parser.addOption({"runs", "Runs per figure; the median is printed.", "K", "5"});
    parser.addOption({"ledger", "Use (or keep) the generated ledger at this path.", "path"});
    parser.addOption({"store-only", "Time the store alone, without the windows."});
    parser.addOption({"imports-only", "Time the imports alone (into a copy of the ledger)."});
    parser.addOption({"direct", "Write a new ledger with straight SQL in one transaction, as another tool would,"
                                " rather than through the write path."});
    parser.addOption({"fast-generate", "Generate the ledger with set-wise SQL instead of the write path."});
}

// Writes the ledger through the write path, or set-wise with straight SQL when either flag
// asks for it (the two flags write the same ledger; each keeps the figure name it prints).
void generate(const QCommandLineParser &parser, const QString &path, int rows)
{
    QElapsedTimer clock;
    clock.start();
    if (parser.isSet("direct") || parser.isSet("fast-generate"))
        bench::writeLedgerSetWise(path, rows);
    else
        bench::generateLedger(path, rows);
    print(parser.isSet("direct") ? "generate_direct" : "generate", clock.elapsed() / 1000.0, "s");
}

// The panel's totals and the first screen of every view, of the whole period and the month.
void timeViews(const ledger::Connection &connection, int runs)
{
    print("totals", medianMs(runs, [&] { ledger::readTotals(connection); }), "ms");
    for (const char *view : {"ListZ", "ListRashodAll", "TopRashodAll", "ListDohodAll", "GrafRashodAll",
                             "GrafDohodAll", "GrafikValutaAll", "ListR"})
        print(qPrintable(QStringLiteral("first100_%1").arg(QLatin1String(view))),
              medianMs(runs, [&] { firstRows(connection, QLatin1String(view)); }), "ms");
    for (const char *view : {"ListM", "ListRashod", "ListDohod", "GrafRashod", "GrafDohod", "TopRashod",
                             "GrafikValuta", "Kurs"})
        print(qPrintable(QStringLiteral("month_%1").arg(QLatin1String(view))),
              medianMs(runs, [&] { firstRows(connection, QLatin1String(view)); }), "ms");
}

// One item's price history, for the item bought most often (the worst case), and the item
// names the history window offers.
void timePriceHistory(const ledger::Connection &connection, int runs)
{
    const QString item =
        connection.scalar("SELECT names FROM Rashod GROUP BY names ORDER BY count(*) DESC LIMIT 1").toString();
    print("price_history_purchases", double(charts::readPriceHistory(connection, item, true).size()), "rows");
    print("price_history_all", medianMs(runs, [&] { charts::readPriceHistory(connection, item, true); }), "ms");
    print("price_history_month", medianMs(runs, [&] { charts::readPriceHistory(connection, item, false); }), "ms");
    print("price_history_names", medianMs(runs, [&] { charts::readItemNames(connection); }), "ms");
}

// The day's copy of the ledger, as the worker writes it after the first opening of a day
// (in steps, compressed); then the copies kept after 15 openings a week apart (all 15 are
// kept), over the ledger's own size.
void timeBackupCopy(const QTemporaryDir &scratch, const QString &path, int runs)
{
    const QString copy = scratch.filePath("copy.tor.zst");
    print("backup_copy", medianMs(qMin(runs, 3), [&] {
              QFile::remove(copy);
              ledger::backup::writeCopy(path, copy);
          }), "ms");
    print("backup_copy_size", QFileInfo(copy).size() / 1e6, "MB");
    QFile::remove(copy);

    QDate day(2026, 1, 1);
    const QString folderPath = scratch.filePath("days");
    ledger::backup::Folder folder(folderPath, [&day] { return day; });
    for (int i = 0; i < 15; ++i, day = day.addDays(7))
        folder.takeDaily(path);
    qint64 kept = 0;
    for (const ledger::backup::Copy &c : folder.list(path))
        kept += c.size;
    print("backups_size_ratio", double(kept) / double(QFileInfo(path).size()), "x");
    QDir(folderPath).removeRecursively();
}

// The CSV and Excel exports of the whole journal and of every expense line, as the windows'
// commands write them (the progress callback included, never cancelling).
void timeCsvExport(const QTemporaryDir &scratch, const ledger::Connection &connection, int runs)
{
    const QString csv = scratch.filePath("export.csv");
    const auto exportFigure = [&](const char *name, const QString &view, const QList<ledger::csv::Column> &columns) {
        print(name, medianMs(qMin(runs, 3), [&] {
                  ledger::csv::exportView(connection, view, columns, csv, [](qint64, qint64) { return true; });
              }), "ms");
        print(qPrintable(QStringLiteral("%1_size").arg(QLatin1String(name))), QFileInfo(csv).size() / 1e6, "MB");
    };
    exportFigure("export_csv_journal", "ListZ",
                 {{"names", " Тип записи"}, {"suma", "Сумма"}, {"dates", "Дата"}, {"ti", "Время"}});
    exportFigure("export_csv_expense_lines", "ListRashodAll",
                 {{"names", " Наименование"}, {"price", "Цена"}, {"counts", "Кол-во"}, {"suma", "Сумма"}, {"dates", "Дата"}});
    const QString xlsx = scratch.filePath("export.xlsx");
    const auto workbookFigure = [&](const char *name, const QString &view, const QList<ledger::csv::Column> &columns) {
        print(name, medianMs(qMin(runs, 3), [&] {
                  ledger::xlsx::exportView(connection, view, columns, xlsx, [](qint64, qint64) { return true; });
              }), "ms");
        print(qPrintable(QStringLiteral("%1_size").arg(QLatin1String(name))), QFileInfo(xlsx).size() / 1e6, "MB");
    };
    workbookFigure("export_xlsx_journal", "ListZ",
                   {{"names", "Тип записи"}, {"suma", "Сумма"}, {"dates", "Дата"}, {"ti", "Время"}});
    workbookFigure("export_xlsx_expense_lines", "ListRashodAll",
                   {{"names", "Наименование"}, {"price", "Цена"}, {"counts", "Кол-во"}, {"suma", "Сумма"}, {"dates", "Дата"}});
}

// Everything timed on the store alone, through one connection.
void timeStore(const QTemporaryDir &scratch, const QString &path, int runs)
{
    auto connection = ledger::Connection::open(path);
    print("journal_rows", connection->scalar("SELECT count(*) FROM List").toDouble(), "rows");
    print("expense_lines", connection->scalar("SELECT count(*) FROM Rashod").toDouble(), "rows");
    timeViews(*connection, runs);
    timePriceHistory(*connection, runs);
    timeBackupCopy(scratch, path, runs);
    timeCsvExport(scratch, *connection, runs);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir world;
    enterWorldOfItsOwn(world);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tovrak"));
    QApplication::setApplicationName(QStringLiteral("velTor"));
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(application);

    const int rows = parser.value("rows").toInt();
    const int runs = qMax(1, parser.value("runs").toInt());
    QTemporaryDir scratch;
    QString path = parser.value("ledger");
    if (path.isEmpty())
        path = scratch.filePath("bench.tor");
    // The windows take it from the settings, where a relative path means the application folder.
    path = QFileInfo(path).absoluteFilePath();

    print("create_ledger", medianMs(runs, [&] {
              const QString file = scratch.filePath("empty.tor");
              QFile::remove(file);
              ledger::Connection::create(file);
          }), "ms");
    if (!QFile::exists(path))
        generate(parser, path, rows);
    if (parser.isSet("imports-only")) {
        bench::timeImports(path, scratch.path(), runs, print);
        return 0;
    }
    timeStore(scratch, path, runs);
    if (!parser.isSet("store-only"))
        bench::timeWindows(path, runs, print);
    bench::timeImports(path, scratch.path(), runs, print);
    // A run copies the whole file and builds its indexes anew: one run each.
    for (const int version : {1, 2, 4})
        print(qPrintable(QStringLiteral("open_upgrade_v%1").arg(version)), upgradeMs(scratch, path, version, 1), "ms");
    return 0;
}
