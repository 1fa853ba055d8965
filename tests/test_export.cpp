// "Экспорт в CSV…": the file a spreadsheet reads, read back here by a reader of the test's own,
// gives the ledger's values exactly, hostile texts included; the journal's, the report's and the
// database menu's commands write what their window shows; a cancelled export leaves no file.
#include "entrytesting.h"

#include "widgets/dialogs.h"
#include "ledger/bookkeeping.h"
#include "ledger/csvexport.h"
#include "ledger/xlsxexport.h"
#include "ledger/money.h"
#include "ledger/regional.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QMenu>
#include <QProgressDialog>

using namespace testing;
using ledger::Money;

namespace {

// RFC 4180 with ";" between fields, read byte by byte: a quoted field runs to the quote that
// is not doubled; an unquoted field may hold no quote, ";", CR or LF. Fails the test (and
// returns what it has) on anything else.
struct CsvFile
{
    bool bom = false;
    QList<QStringList> records;
    QString error;
};

CsvFile readCsv(const QByteArray &bytes)
{
    CsvFile file;
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.bom = true;
        i = 3;
    }
    QStringList record;
    QByteArray field;
    while (i < bytes.size()) {
        if (bytes[i] == '"') {
            ++i;
            for (;;) {
                if (i >= bytes.size()) {
                    file.error = "unterminated quote";
                    return file;
                }
                if (bytes[i] == '"') {
                    if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += bytes[i++];
            }
        } else {
            while (i < bytes.size() && bytes[i] != ';' && bytes[i] != '\r' && bytes[i] != '\n') {
                if (bytes[i] == '"') {
                    file.error = "quote inside an unquoted field";
                    return file;
                }
                field += bytes[i++];
            }
        }
        record << QString::fromUtf8(field);
        field.clear();
        if (i >= bytes.size()) {
            file.error = "last record without CR LF";
            return file;
        }
        if (bytes[i] == ';') {
            ++i;
            continue;
        }
        if (bytes[i] != '\r' || i + 1 >= bytes.size() || bytes[i + 1] != '\n') {
            file.error = QStringLiteral("bare line break at %1").arg(i);
            return file;
        }
        i += 2;
        file.records << record;
        record.clear();
    }
    return file;
}

CsvFile readCsvFile(const QString &path)
{
    const CsvFile file = readCsv(fileBytes(path));
    if (!file.error.isEmpty())
        qWarning("%s: %s", qPrintable(path), qPrintable(file.error));
    return file;
}

// "12,5" and "-0,3333" as ten-thousandths, read independently of the program's own reader.
qint64 ticksOf(const QString &text)
{
    const bool negative = text.startsWith('-');
    const QString digits = negative ? text.mid(1) : text;
    const QString whole = digits.section(',', 0, 0);
    const QString fraction = (digits.section(',', 1, 1) + "0000").left(4);
    if (whole.isEmpty() || digits.count(',') > 1)
        return std::numeric_limits<qint64>::min();
    const qint64 value = whole.toLongLong() * 10000 + fraction.toLongLong();
    return negative ? -value : value;
}

// "09.12.2026" as "2026-12-09".
QString isoOf(const QString &shortDate)
{
    const QStringList parts = shortDate.split('.');
    if (parts.size() != 3 || parts[0].size() != 2 || parts[1].size() != 2 || parts[2].size() != 4)
        return "bad date " + shortDate;
    return parts[2] + '-' + parts[1] + '-' + parts[0];
}

// What a spreadsheet shows for a field: a formula ="…"&CHAR(10)&"…" gives its text (a
// formula of any other form is a fault here), any other field is the field.
QString shownText(const QString &field)
{
    if (!field.startsWith('='))
        return field;
    QString text;
    int i = 1;
    while (i < field.size()) {
        if (field.mid(i, 5) == "CHAR(") {
            const int close = field.indexOf(')', i);
            text += QChar(field.mid(i + 5, close - i - 5).toInt());
            i = close + 1;
        } else if (field[i] == '"') {
            for (++i; i < field.size(); ++i) {
                if (field[i] == '"' && field.mid(i, 2) != "\"\"")
                    break;
                if (field[i] == '"')
                    ++i;
                text += field[i];
            }
            ++i;
        } else {
            return "formula " + field;
        }
        if (i < field.size() && field[i++] != '&')
            return "formula " + field;
    }
    return text;
}

const QStringList kHostile = {
    "хлеб; молоко",
    "\"Ёлка\" в кавычках",
    "две\nстроки",
    "с возвратом\r\nкаретки",
    "\"",
    ";",
    "\"\";\"\"",
    "  пробелы по краям  ",
    "=СУММ(A1:A9)",
    "'); DROP TABLE List; --",
    QString::fromUtf8("\u200Fשלום\u200E \U0001F600 деньги"),
    "табуляция\tвнутри",
    "\r",
    "конец\n",
};

void fillHostileLedger(const ledger::Connection &c)
{
    int n = 0;
    for (const QString &text : kHostile) {
        ++n;
        ledger::recordExpenseBatch(c, {{text, Money::fromTicks(n * 3333), Money::fromTicks(25000), text.left(50),
                                        QDate::currentDate()},
                                       {"обычный", Money::fromUnits(n), Money::fromUnits(1), "чек", QDate::currentDate()}});
        ledger::recordIncome(c, text.left(92), Money::fromTicks(-n * 10001 + 123456789), text, true);
    }
    // Some on other days, one with a time of day in its date.
    const qint64 old = ledger::recordIncome(c, "Премия", Money::fromUnits(5), QString(), false);
    c.run("UPDATE List SET dates = '2009-03-15 09:05:03', times = '09:05:03' WHERE id = ?", {old});
    // Negative sums, the smallest and a very large one.
    const qint64 tiny = ledger::recordIncome(c, "Вернули долг", Money::fromUnits(1), QString(), false);
    c.run("UPDATE List SET suma = -1 WHERE id = ?", {tiny});
    const qint64 huge = ledger::recordIncome(c, "Выигрыш", Money::fromUnits(1), QString(), false);
    c.run("UPDATE List SET suma = -92233720368547758 WHERE id = ?", {huge});
}

QString exportTo(const ledger::Connection &c, const QString &view, const QList<ledger::csv::Column> &columns,
                 const QString &path)
{
    if (!ledger::csv::exportView(c, view, columns, path))
        return "cancelled";
    return path;
}

// The sheets of a workbook as openpyxl (a reader apart from the writing library) reads them:
// each cell as "n:<number>|<format>", "s:<text>", "d:<ISO date or time>|<format>" or "-".
QList<QList<QStringList>> readXlsx(const QString &path)
{
    static const char *script = R"(
import json, sys, datetime, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
out = []
for sheet in book.worksheets:
    rows = []
    for row in sheet.iter_rows():
        cells = []
        for c in row:
            v = c.value
            if v is None: cells.append('-')
            elif isinstance(v, str): cells.append('s:' + v)
            elif isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
                cells.append('d:' + v.isoformat() + '|' + c.number_format)
            else: cells.append('n:' + repr(float(v)) + '|' + c.number_format)
        rows.append(cells)
    out.append({'name': sheet.title, 'rows': rows})
print(json.dumps(out))
)";
    QProcess python;
    // Debian's interpreter, which has the package's openpyxl, before any other on the path.
    QString interpreter = QStandardPaths::findExecutable("python3", {"/usr/bin"});
    if (interpreter.isEmpty())
        interpreter = "python3";
    python.start(interpreter, {"-c", script, path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        qWarning("openpyxl: %s", python.readAllStandardError().constData());
        return {};
    }
    QList<QList<QStringList>> sheets;
    for (const QJsonValue &sheet : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QList<QStringList> rows;
        for (const QJsonValue &row : sheet["rows"].toArray()) {
            QStringList cells;
            for (const QJsonValue &cell : row.toArray())
                cells << cell.toString();
            while (!cells.isEmpty() && cells.last() == "-")
                cells.removeLast();
            rows << cells;
        }
        rows.prepend({"sheet " + sheet["name"].toString()});
        sheets << rows;
    }
    return sheets;
}

// The file the file dialog would give, answered through the program's seam.
struct ChosenFile
{
    explicit ChosenFile(QString path)
        : path(std::move(path))
    {
        ui::setFileHandler([this](const ui::FileRequest &request) {
            requests << request;
            return this->path;
        });
    }
    ~ChosenFile() { ui::setFileHandler({}); }
    QString path;
    QList<ui::FileRequest> requests;
};

QAction *exportAction(QWidget *window)
{
    return window->findChild<QAction *>("ExportCsv");
}

} // namespace

// Cancels the export's progress dialog as soon as it shows.
class CancelOnShow : public QObject
{
public:
    bool shown = false;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && object->objectName() == QLatin1String("ExportProgress")) {
            if (auto *progress = qobject_cast<QProgressDialog *>(object)) {
                shown = true;
                progress->cancel();
            }
        }
        return false;
    }
};

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void theFileGivesBackTheLedgersValuesExactly()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = ledger::Connection::open(path);
        fillHostileLedger(*connection);
        RawFile raw(path);

        // The report's expense lines.
        const QString lines = exportTo(*connection, "ListRashodAll",
                                       {{"names", " Наименование"}, {"price", "Цена"}, {"counts", "Кол-во"},
                                        {"suma", "Сумма"}, {"dates", "Дата"}},
                                       ws.path("lines.csv"));
        CsvFile file = readCsvFile(lines);
        QVERIFY(file.error.isEmpty());
        QVERIFY(file.bom);
        QCOMPARE(file.records.value(0), QStringList({"Наименование", "Цена", "Кол-во", "Сумма", "Дата"}));
        QStringList stored = raw.rows("SELECT names, price, counts, suma, dates FROM ListRashodAll");
        QCOMPARE(file.records.size() - 1, stored.size());
        for (int r = 0; r < stored.size(); ++r) {
            const QStringList f = file.records[r + 1];
            QCOMPARE(f.size(), 5);
            const QString back = QStringList({shownText(f[0]), QString::number(ticksOf(f[1])), QString::number(ticksOf(f[2])),
                                              QString::number(ticksOf(f[3])), isoOf(f[4])})
                                     .join('|');
            QCOMPARE(back, stored[r]);
        }
        int hostileSeen = 0;
        for (const QStringList &f : file.records)
            hostileSeen += kHostile.contains(shownText(f[0]));
        QCOMPARE(hostileSeen, kHostile.size());

        // The journal: names, sums, dates (the day only) and the time text of the view.
        file = readCsvFile(exportTo(*connection, "ListZ",
                                    {{"names", " Тип записи"}, {"suma", "Сумма"}, {"dates", "Дата"}, {"ti", "Время"}},
                                    ws.path("journal.csv")));
        QVERIFY(file.error.isEmpty());
        QCOMPARE(file.records.value(0), QStringList({"Тип записи", "Сумма", "Дата", "Время"}));
        stored = raw.rows("SELECT names, suma, substr(dates, 1, 10), ti FROM ListZ");
        QCOMPARE(file.records.size() - 1, stored.size());
        for (int r = 0; r < stored.size(); ++r) {
            const QStringList f = file.records[r + 1];
            QCOMPARE(QStringList({shownText(f[0]), QString::number(ticksOf(f[1])), isoOf(f[2]), f[3]}).join('|'), stored[r]);
        }
        QVERIFY(file.records.contains(QStringList({"Доход - Премия", "5", "15.03.2009", "9:05:03"})));
        QVERIFY(std::any_of(file.records.cbegin(), file.records.cend(),
                            [](const QStringList &f) { return f.value(1) == "-0,0001"; }));
        QVERIFY(std::any_of(file.records.cbegin(), file.records.cend(),
                            [](const QStringList &f) { return f.value(1) == "-9223372036854,7758"; }));

        // The incomes with their comments, empty ones included.
        file = readCsvFile(exportTo(*connection, "ListDohodAll",
                                    {{"nam", "Наименование"}, {"suma", "Сумма"}, {"comments", "Примечание"}},
                                    ws.path("incomes.csv")));
        QVERIFY(file.error.isEmpty());
        stored = raw.rows("SELECT nam, suma, coalesce(comments, '') FROM ListDohodAll");
        QCOMPARE(file.records.size() - 1, stored.size());
        for (int r = 0; r < stored.size(); ++r) {
            const QStringList f = file.records[r + 1];
            QCOMPARE(QStringList({shownText(f[0]), QString::number(ticksOf(f[1])), shownText(f[2])}).join('|'), stored[r]);
        }
    }

    void textsArriveAsTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asFormula");
        // What a spreadsheet would run or read as a value.
        QTest::newRow("sum") << "=1+2" << true;
        QTest::newRow("link") << "=HYPERLINK(\"http://x\";\"y\")" << true;
        QTest::newRow("plus") << "+7 999 123" << true;
        QTest::newRow("minus") << "-2+3" << true;
        QTest::newRow("at") << "@SUM(A1)" << true;
        QTest::newRow("tab") << "\t=1+2" << true;
        QTest::newRow("cr") << "\r=1+2" << true;
        QTest::newRow("lf inside") << "=a\nb\r\nc" << true;
        QTest::newRow("leading zeros") << "00123" << true;
        QTest::newRow("spaced number") << "  12,5" << true;
        QTest::newRow("date") << "12.05.2026" << true;
        QTest::newRow("percent") << "15%" << true;
        QTest::newRow("fraction") << ",5" << true;
        QTest::newRow("bracketed") << "(123)" << true;
        QTest::newRow("rouble") << "₽ 100" << true;
        QTest::newRow("truth") << "ИСТИНА" << true;
        QTest::newRow("error value") << "#N/A" << true;
        QTest::newRow("apostrophe") << "'); DROP TABLE List; --" << true;
        QTest::newRow("quotes") << "=\"a\";\"\"" << true;
        QTest::newRow("long") << "=" + QString(150, QChar(0x0416)) + QString::fromUtf8("\U0001F600").repeated(60) << true;
        // Texts a spreadsheet keeps as they are stay untouched.
        QTest::newRow("word") << "Молоко" << false;
        QTest::newRow("inner sign") << "чай = 2 пачки" << false;
        QTest::newRow("quoted") << "\"Ёлка\"" << false;
        QTest::newRow("trailing space") << "Молоко " << false;
    }

    void textsArriveAsTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, asFormula);
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = ledger::Connection::open(path);
        ledger::recordExpenseBatch(*connection, {{text.left(255), Money::fromUnits(1), Money::fromUnits(1), text.left(50),
                                                  QDate::currentDate()}});
        ledger::recordIncome(*connection, text.left(92), Money::fromUnits(1), text, true);
        // Every kind of text column: item names, document numbers, income types, comments.
        const QStringList fields = {readCsvFile(exportTo(*connection, "Rashod", {{"names", "Н"}, {"doc", "Д"}},
                                                         ws.path("lines.csv"))).records.value(1)
                                    + readCsvFile(exportTo(*connection, "ListDohodAll", {{"nam", "Н"}, {"comments", "П"}},
                                                           ws.path("incomes.csv"))).records.value(1)};
        QCOMPARE(fields.size(), 4);
        const QStringList stored = {text.left(255), text.left(50), text.left(92), text};
        for (int f = 0; f < 4; ++f) {
            QCOMPARE(fields[f] != stored[f], asFormula);
            QCOMPARE(shownText(fields[f]), stored[f]);
        }
        // scripts/check-export-in-calc.sh opens these files in LibreOffice Calc.
        const QString calcFolder = qEnvironmentVariable("VELTOR_CALC_DIR");
        if (!calcFolder.isEmpty()) {
            const QString name = calcFolder + '/' + QString(QTest::currentDataTag()).replace(' ', '-');
            QFile::copy(ws.path("lines.csv"), name + "-lines.csv");
            QFile::copy(ws.path("incomes.csv"), name + "-incomes.csv");
            QFile expected(name + ".json");
            QVERIFY(expected.open(QIODevice::WriteOnly));
            expected.write(QJsonDocument(QJsonArray::fromStringList(stored)).toJson());
        }
        // Excel takes at most 255 characters in a formula's text constant.
        for (const QString &piece : fields[3].split('"'))
            QVERIFY(piece.size() <= 255);
    }

    void theWorkbookHoldsTypedCells_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("row");
        const QString today = "d:" + QDate::currentDate().toString(Qt::ISODate) + "T00:00:00|dd.mm.yyyy";
        // Amounts as numbers, dates as dates, the time of day as a time, texts as strings,
        // even those a spreadsheet would run: a workbook holds no formulas.
        QTest::newRow("expense line") << "ListRashodAll" << QStringList{"names", "price", "counts", "suma", "dates"}
                                      << QStringList{"s:=1+2", "n:0.3333|#,##0.00", "n:3.0|#,##0.00",
                                                     "n:0.9999|#,##0.00", today};
        QTest::newRow("document number") << "Rashod" << QStringList{"doc", "names"} << QStringList{"s:00123", "s:=1+2"};
        QTest::newRow("journal") << "ListZ" << QStringList{"names", "suma", "dates", "ti"}
                                 << QStringList{"s:Доход - +7 999 123", "n:-1234567.8901|#,##0.00", "d:2009-03-15T00:00:00|dd.mm.yyyy",
                                                "d:09:05:03|h:mm:ss"};
        QTest::newRow("income") << "ListDohodAll" << QStringList{"nam", "comments"} << QStringList{"s:+7 999 123", "s:@SUM(A1)"};
    }

    void theWorkbookHoldsTypedCells()
    {
        QFETCH(QString, view);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, row);
        Workspace ws;
        auto connection = ledger::Connection::open(ws.newLedger());
        ledger::recordExpenseBatch(*connection, {{"=1+2", Money::fromTicks(3333), Money::fromUnits(3), "00123",
                                                  QDate::currentDate()}});
        const qint64 income = ledger::recordIncome(*connection, "+7 999 123", Money::fromUnits(1), "@SUM(A1)", true);
        connection->run("UPDATE List SET dates = '2009-03-15 09:05:03', times = '09:05:03', suma = -12345678901 WHERE id = ?",
                        {income});
        QList<ledger::exporting::Column> columns;
        for (const QString &field : fields)
            columns.append({field, " " + field});
        const QString path = ws.path("книга.xlsx");
        QCOMPARE(ledger::xlsx::exportView(*connection, view, columns, path), qint64(connection->scalar("SELECT count(*) FROM " + view).toLongLong()));
        const auto sheets = readXlsx(path);
        QCOMPARE(sheets.size(), 1);
        QStringList titles;
        for (const QString &field : fields)
            titles << "s:" + field;
        QCOMPARE(sheets[0].value(1), titles);
        QVERIFY2(sheets[0].contains(row), qPrintable(QStringList(sheets[0].value(2)).join(" ¦ ")));
    }

    void theWorkbookGoesOnToTheNextSheet_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("perSheet");
        QTest::newRow("one short") << 4 << QList<int>{4};
        QTest::newRow("exactly full") << 5 << QList<int>{5};
        QTest::newRow("one over") << 6 << QList<int>{5, 1};
        QTest::newRow("three sheets") << 12 << QList<int>{5, 5, 2};
    }

    void theWorkbookGoesOnToTheNextSheet()
    {
        QFETCH(int, rows);
        QFETCH(QList<int>, perSheet);
        // A sheet takes 1,048,576 rows, the header's among them.
        QCOMPARE(ledger::xlsx::kRowsPerSheet + 1, qint64(1048576));
        Workspace ws;
        const QString ledgerPath = ws.newLedger();
        RawFile(ledgerPath).exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                         "INSERT INTO List (names, suma, dates, times) SELECT 'Расход ' || i, i * 10000, "
                                         "'2020-01-01', '10:00:00' FROM n").arg(rows));
        auto connection = ledger::Connection::open(ledgerPath);
        const QString path = ws.path("journal.xlsx");
        QCOMPARE(ledger::xlsx::exportView(*connection, "ListZ", {{"names", "Тип"}, {"suma", "Сумма"}}, path, {}, 5), qint64(rows));
        const auto sheets = readXlsx(path);
        QCOMPARE(sheets.size(), perSheet.size());
        QStringList names;
        for (int s = 0; s < sheets.size(); ++s) {
            QCOMPARE(sheets[s].value(0), QStringList{QString("sheet Лист%1").arg(s + 1)});
            QCOMPARE(sheets[s].value(1), QStringList({"s:Тип", "s:Сумма"}));
            QCOMPARE(sheets[s].size() - 2, perSheet[s]);
            for (int r = 2; r < sheets[s].size(); ++r)
                names << sheets[s][r].value(0);
        }
        // Every row once, in the journal's order.
        QCOMPARE(names, RawFile(ledgerPath).rows("SELECT 's:' || names FROM ListZ"));
    }

    void fieldsAreQuotedOnlyWhereTheyMustBe()
    {
        QCOMPARE(ledger::csv::quoted("хлеб"), QByteArray("хлеб"));
        QCOMPARE(ledger::csv::quoted("a;b"), QByteArray("\"a;b\""));
        QCOMPARE(ledger::csv::quoted("say \"hi\""), QByteArray("\"say \"\"hi\"\"\""));
        QCOMPARE(ledger::csv::quoted("a\nb"), QByteArray("\"a\nb\""));
        QCOMPARE(ledger::csv::quoted("a\rb"), QByteArray("\"a\rb\""));
        QCOMPARE(ledger::csv::quoted(""), QByteArray(""));
    }

    void aCancelledExportLeavesNoFile()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile(path).exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                           "INSERT INTO List (names, suma, dates, times) SELECT 'Расход', i, '2020-01-01', '10:00:00' FROM n");
        auto connection = ledger::Connection::open(path);
        const QString target = ws.path("journal.csv");
        qint64 reports = 0;
        const bool written = ledger::csv::exportView(*connection, "ListZ", {{"names", "Тип"}, {"suma", "Сумма"}}, target,
                                                     [&](qint64 done, qint64 total) {
                                                         [&] { QCOMPARE(total, qint64(20000)); }();
                                                         return ++reports < 3 && done < total;
                                                     });
        QVERIFY(!written);
        QCOMPARE(reports, qint64(3));
        QCOMPARE(QDir(ws.path(".")).entryList({"journal*"}, QDir::Files | QDir::Hidden), QStringList());
        // An earlier file of that name stays as it was.
        QVERIFY(ledger::csv::exportView(*connection, "ListZ", {{"names", "Тип"}}, target));
        const QByteArray first = fileBytes(target);
        QVERIFY(!ledger::csv::exportView(*connection, "ListZ", {{"suma", "Сумма"}}, target,
                                         [](qint64 done, qint64) { return done == 0; }));
        QCOMPARE(fileBytes(target), first);
        QCOMPARE(QDir(ws.path(".")).entryList({"journal*"}, QDir::Files | QDir::Hidden), QStringList({"journal.csv"}));
    }

    void theJournalExportsTheRowsOfItsPeriod()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordIncome(c, "Зарплата", Money::fromUnits(1000), "в этом месяце", false);
            const qint64 old = ledger::recordIncome(c, "Премия", Money::fromTicks(12345), "давно", false);
            c.run("UPDATE List SET dates = ? WHERE id = ?", {otherMonth(3), old});
            ledger::recordExpenseBatch(c, {{"хлеб; белый", Money::fromUnits(350), Money::fromUnits(2), "чек",
                                            QDate::currentDate()}});
        });
        ChosenFile chosen(program.workspace().path("журнал.csv"));
        ui::ChildWindow *journal = program.journalWindow();
        QAction *action = exportAction(journal);
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("Экспорт в CSV…"));
        // The grid offers it as its context menu.
        QTableView *grid = program.journalGrid();
        QCOMPARE(grid->contextMenuPolicy(), Qt::CustomContextMenu);
        auto *menu = grid->findChild<QMenu *>("GridMenu");
        QVERIFY(menu && menu->actions().contains(action));

        action->trigger();
        QCOMPARE(chosen.requests.size(), 1);
        QVERIFY(chosen.requests.first().save);
        QCOMPARE(chosen.requests.first().filter, QStringLiteral("Файлы CSV (*.csv)"));
        CsvFile file = readCsvFile(chosen.path);
        QVERIFY(file.error.isEmpty());
        QCOMPARE(file.records.size(), 4);
        QCOMPARE(file.records[0], QStringList({"Тип записи", "Сумма", "Дата", "Время"}));
        QVERIFY(file.records.contains(QStringList({"Расход", "700", regional::shortDate(QDate::currentDate()),
                                                   program.raw().value("SELECT ti FROM ListZ WHERE names = 'Расход'").toString()})));
        QVERIFY(log.seen().isEmpty());

        // The current month only, after asking whether to replace the file.
        find<QComboBox>(journal, "ComboBox1")->setCurrentIndex(0);
        action->trigger();
        QCOMPARE(log.seen().size(), 1);
        QVERIFY(log.texts().first().contains("уже существует"));
        file = readCsvFile(chosen.path);
        QCOMPARE(file.records.size(), 3);
        for (int r = 1; r < file.records.size(); ++r)
            QVERIFY(file.records[r][0] != "Доход - Премия");

        // Answering No leaves the file alone.
        const QByteArray before = fileBytes(chosen.path);
        find<QComboBox>(journal, "ComboBox1")->setCurrentIndex(1);
        log.answer(QMessageBox::No);
        action->trigger();
        QCOMPARE(fileBytes(chosen.path), before);
    }

    void theReportAndTheDatabaseMenuExportWhatTheReportShows()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordIncome(c, "Гонорар", Money::fromTicks(5000001), "за \"статью\"", false);
            ledger::recordExpenseBatch(c, {{"сыр", Money::fromTicks(3333), Money::fromTicks(30000), "", QDate::currentDate()},
                                           {"чай\nзелёный", Money::fromUnits(99), Money::fromUnits(1), "",
                                            QDate::currentDate()}});
        });
        ui::ChildWindow *report = program.openReport();
        QVERIFY(report);
        ChosenFile chosen(program.workspace().path("отчёт.csv"));
        exportAction(report)->trigger();
        CsvFile file = readCsvFile(chosen.path);
        QVERIFY(file.error.isEmpty());
        const QString today = regional::shortDate(QDate::currentDate());
        QCOMPARE(file.records.size(), 3);
        QCOMPARE(file.records[0], QStringList({"Наименование", "Цена", "Кол-во", "Сумма", "Дата"}));
        QVERIFY(file.records.contains(QStringList({"сыр", "0,3333", "3", "0,9999", today})));
        QVERIFY(file.records.contains(QStringList({"чай\nзелёный", "99", "1", "99", today})));

        // Incomes: the columns the grid shows, no more. Exported from the database button's
        // menu, with the report as the current window.
        find<QComboBox>(report, "ComboBox2")->setCurrentIndex(1);
        program.window().mdiArea()->setActiveSubWindow(report);
        QFile::remove(chosen.path);
        auto *databaseMenu = program.window().findChild<QMenu *>("PopupMenu1");
        QAction *menuExport = databaseMenu->findChild<QAction *>("ExportCsv", Qt::FindDirectChildrenOnly);
        QVERIFY(menuExport && databaseMenu->actions().contains(menuExport));
        QCOMPARE(menuExport->text(), QStringLiteral("Экспорт в CSV…"));
        menuExport->trigger();
        file = readCsvFile(chosen.path);
        QCOMPARE(file.records, QList<QStringList>({{"Наименование", "Сумма", "Дата"}, {"Гонорар", "500,0001", today}}));

        // With the journal current, the menu exports the journal.
        program.window().mdiArea()->setActiveSubWindow(program.journalWindow());
        QFile::remove(chosen.path);
        menuExport->trigger();
        QCOMPARE(readCsvFile(chosen.path).records.value(0), QStringList({"Тип записи", "Сумма", "Дата", "Время"}));
        // "Экспорт в Excel…" beside it writes the same rows as a workbook.
        QAction *menuExcel = databaseMenu->findChild<QAction *>("ExportXlsx", Qt::FindDirectChildrenOnly);
        QVERIFY(menuExcel && databaseMenu->actions().indexOf(menuExcel) == databaseMenu->actions().indexOf(menuExport) + 1);
        QCOMPARE(menuExcel->text(), QStringLiteral("Экспорт в Excel…"));
        ChosenFile workbook(program.workspace().path("журнал.xlsx"));
        menuExcel->trigger();
        const auto sheets = readXlsx(workbook.path);
        QCOMPARE(sheets.value(0).value(1), QStringList({"s:Тип записи", "s:Сумма", "s:Дата", "s:Время"}));
        QCOMPARE(sheets.value(0).size(), 2 + 2);
        QVERIFY(log.seen().isEmpty());
    }

    void theProgressDialogCancelsTheExport_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::newRow("csv") << "ExportCsv" << "большой.csv";
        QTest::newRow("excel") << "ExportXlsx" << "большой.xlsx";
    }

    void theProgressDialogCancelsTheExport()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            c.run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                  "INSERT INTO List (names, suma, dates, times) SELECT 'Расход', i * 100, date('now', '-' || (i % 900) || ' days'), "
                  "'12:00:00' FROM n");
        });
        ChosenFile chosen(program.workspace().path(file));
        // The progress dialog runs no loop of its own (the export drives it), so it is
        // cancelled the moment it shows, as a click on "Отмена" would.
        CancelOnShow cancelling;
        qApp->installEventFilter(&cancelling);
        program.journalWindow()->findChild<QAction *>(command)->trigger();
        qApp->removeEventFilter(&cancelling);
        QVERIFY(cancelling.shown);
        QVERIFY(!QFile::exists(chosen.path));
        QCOMPARE(QDir(program.workspace().path(".")).entryList({"большой*"}, QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(log.seen().isEmpty());
        // Not cancelled, it writes every row.
        program.journalWindow()->findChild<QAction *>(command)->trigger();
        if (command == "ExportCsv")
            QCOMPARE(readCsvFile(chosen.path).records.size(), 100001);
        else
            QCOMPARE(readXlsx(chosen.path).value(0).size(), 100002); // the sheet's name, the header, the rows
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
