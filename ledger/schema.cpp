#include "schema.h"

#include "columns.h"
#include "journalrow.h"

#include <QHash>
#include <QVector>

namespace ledger::schema {

namespace {

// Current month: the same month number as today's, in any year.
QString monthIs(const QString &dateColumn)
{
    return QStringLiteral("substr(%1, 6, 2) = strftime('%m', 'now', 'localtime')").arg(dateColumn);
}

// The long time text H:mm:ss of a stored HH:MM:SS.
QString timeText(const QString &timesColumn)
{
    return QStringLiteral("(CAST(substr(%1, 1, 2) AS INTEGER) || substr(%1, 3))").arg(timesColumn);
}

const QString kDateCheck = QStringLiteral(
    "(%1 IS NULL OR %1 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]'"
    " OR %1 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')");

QString dateCheck(const QString &column)
{
    return kDateCheck.arg(column);
}

QString timeCheck(const QString &column)
{
    return QStringLiteral("%1 IS NULL OR %1 GLOB '[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'").arg(column);
}

QString moneyCheck(const QString &column)
{
    return QStringLiteral("typeof(%1) IN ('integer', 'null')").arg(column);
}

QString textCheck(const QString &column, int size)
{
    return QStringLiteral("length(%1) <= %2").arg(column).arg(size);
}

using columns::Column;
using columns::Type;

// The column of this table, both named without regard to letter case; null when none.
const Column *findColumn(const QString &table, const QString &column)
{
    for (const columns::Table &candidate : columns::kTables) {
        if (table.compare(QLatin1String(candidate.name), Qt::CaseInsensitive) != 0)
            continue;
        for (const Column &each : candidate) {
            if (column.compare(QLatin1String(each.name), Qt::CaseInsensitive) == 0)
                return &each;
        }
    }
    return nullptr;
}

// A column's part of its CREATE TABLE statement: type, default and check.
QString columnDefinition(const Column &column)
{
    const QString name = QLatin1String(column.name);
    switch (column.type) {
    case Type::Key:
        return name + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    case Type::JournalRow:
        return name + QStringLiteral(" INTEGER DEFAULT 0 REFERENCES List(id) ON DELETE CASCADE");
    case Type::Money:
        return QStringLiteral("%1 INTEGER DEFAULT 0 CHECK(%2)").arg(name, moneyCheck(name));
    case Type::Date:
        return QStringLiteral("%1 TEXT%2 CHECK(%3)")
            .arg(name, column.stampedNow ? QStringLiteral(" DEFAULT (date('now', 'localtime'))") : QString(),
                 dateCheck(name));
    case Type::Time:
        return QStringLiteral("%1 TEXT%2 CHECK(%3)")
            .arg(name, column.stampedNow ? QStringLiteral(" DEFAULT (time('now', 'localtime'))") : QString(),
                 timeCheck(name));
    case Type::Text:
        return QStringLiteral("%1 TEXT CHECK(%2)").arg(name, textCheck(name, column.limit));
    }
    return name;
}

QStringList tableStatements()
{
    QStringList statements;
    for (const columns::Table &table : columns::kTables) {
        QStringList definitions;
        for (const Column &column : table)
            definitions << columnDefinition(column);
        statements << QStringLiteral("CREATE TABLE %1 ( %2)")
                          .arg(QLatin1String(table.name), definitions.join(QStringLiteral(", ")));
        // A journal row's lines are found by it (and deleted with it).
        for (const Column &column : table) {
            if (column.type == Type::JournalRow)
                statements << QStringLiteral("CREATE INDEX %1 ON %2(%1)")
                                  .arg(QLatin1String(column.name), QLatin1String(table.name));
        }
    }
    return statements;
}

// A view: its select (columns, tables and conditions) and its order. Counting its rows
// needs the select alone, which lets the engine count through an index.
struct ViewDefinition
{
    QString name;
    QString select;
    QString order;
};

// What the views share: the journal's time text and order, a line's amount, the
// conditions they filter by.
QString journalTime()
{
    return timeText(QStringLiteral("List.times"));
}

QString journalOrder()
{
    return QStringLiteral("List.dates DESC, %1 DESC, List.id DESC").arg(journalTime());
}

QString lineAmount()
{
    return amountExpression(QStringLiteral("Rashod.price"), QStringLiteral("Rashod.counts"));
}

QString journalIncome()
{
    return incomeCondition(QStringLiteral("List.names"));
}

QString where(const QString &select, const QStringList &conditions)
{
    return select + QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

// The journal, the expense lines, the incomes and the item names the expense dialog offers.
QVector<ViewDefinition> listViews()
{
    const QString ti = journalTime();
    const QString order = journalOrder();
    const QString journal = QStringLiteral(
        "SELECT List.id AS id, List.names AS names, List.suma AS suma, List.dates AS dates, %1 AS ti,"
        " List.comments AS comments FROM List").arg(ti);
    const QString lines = QStringLiteral(
        "SELECT List.dates AS dates, %1 AS ti, Rashod.names AS names, Rashod.price AS price,"
        " Rashod.counts AS counts, %2 AS suma FROM List INNER JOIN Rashod ON List.id = Rashod.kod").arg(ti, lineAmount());
    const QString lineOrder = order + QStringLiteral(", Rashod.id");
    const QString incomes = QStringLiteral(
        "SELECT List.dates AS dates, %1 AS ti, List.suma AS suma, List.comments AS comments,"
        " %2 AS nam FROM List").arg(ti, incomeTypeExpression(QStringLiteral("List.names")));
    const QString month = monthIs(QStringLiteral("List.dates"));
    return {
        {"ListZ", journal, order},
        {"ListM", where(journal, {month}), order},
        {"ListRashod", where(lines, {month}), lineOrder},
        {"ListRashodAll", lines, lineOrder},
        {"ListDohod", where(incomes, {journalIncome(), month}), order},
        {"ListDohodAll", where(incomes, {journalIncome()}), order},
        {"ListR", QStringLiteral("SELECT DISTINCT Rashod.names AS names, Rashod.id AS id FROM Rashod"),
         QStringLiteral("Rashod.id DESC")},
    };
}

// The information panel's four totals, kept by triggers (see totalStatements); a total over
// nothing is NULL.
QVector<ViewDefinition> totalViews()
{
    const auto total = [](const char *column, const char *kind, const QString &month) {
        return QStringLiteral("SELECT (SELECT CASE WHEN n > 0 THEN suma END FROM Itog WHERE kind = '%1' AND month = %2)"
                              " AS %3")
            .arg(QLatin1String(kind), month, QLatin1String(column));
    };
    const QString wholePeriod = QStringLiteral("''");
    const QString thisMonth = QStringLiteral("strftime('%m', 'now', 'localtime')");
    return {
        {"ItogRashod", total("ItogR", "R", wholePeriod), QString()},
        {"ItogDohod", total("ItogD", "D", wholePeriod), QString()},
        {"Rashods", total("RashodM", "L", thisMonth), QString()},
        {"Dohods", total("DohodM", "D", thisMonth), QString()},
    };
}

// The income and expense chart and the largest expenses.
QVector<ViewDefinition> chartViews()
{
    const QString amount = lineAmount();
    const QString lines = QStringLiteral("SELECT %1 AS suma, Rashod.dates AS dates FROM Rashod").arg(amount);
    const QString incomes = QStringLiteral("SELECT List.dates AS dates, List.suma AS suma FROM List");
    const QString top = QStringLiteral("SELECT %1 AS Suma, Rashod.names AS names FROM Rashod").arg(amount);
    const QString lineMonth = monthIs(QStringLiteral("Rashod.dates"));
    const QString incomeOrder = QStringLiteral("List.dates, List.id");
    return {
        {"GrafRashod", where(lines, {lineMonth}), QStringLiteral("Rashod.dates")},
        {"GrafRashodAll", lines, QStringLiteral("Rashod.dates")},
        {"GrafDohod", where(incomes, {journalIncome(), monthIs(QStringLiteral("List.dates"))}), incomeOrder},
        {"GrafDohodAll", where(incomes, {journalIncome()}), incomeOrder},
        {"TopRashod", where(top, {lineMonth}), amount + QStringLiteral(" DESC")},
        {"TopRashodAll", top, amount + QStringLiteral(" DESC")},
    };
}

// The exchange rates: their chart and this month's rate rows.
QVector<ViewDefinition> rateViews()
{
    const QString rates = QStringLiteral("SELECT Valuta.dates AS dates, Valuta.kurs1 AS kurs1, Valuta.kurs2 AS kurs2,"
                                         " Valuta.kurs3 AS kurs3 FROM Valuta");
    const QString month = monthIs(QStringLiteral("Valuta.dates"));
    const QString order = QStringLiteral("Valuta.dates, Valuta.id");
    const QString rows = QStringLiteral("SELECT Valuta.id AS id, Valuta.dates AS dates, Valuta.valuta1 AS valuta1,"
                                        " Valuta.kurs1 AS kurs1, Valuta.valuta2 AS valuta2, Valuta.kurs2 AS kurs2,"
                                        " Valuta.valuta3 AS valuta3, Valuta.kurs3 AS kurs3 FROM Valuta");
    return {
        {"GrafikValuta", where(rates, {month}), order},
        {"GrafikValutaAll", rates, order},
        {"Kurs", where(rows, {month}), QStringLiteral("Valuta.id DESC")},
    };
}

const QVector<ViewDefinition> &viewDefinitions()
{
    static const QVector<ViewDefinition> definitions = listViews() + totalViews() + chartViews() + rateViews();
    return definitions;
}

QStringList viewStatements()
{
    QStringList statements;
    for (const ViewDefinition &view : viewDefinitions()) {
        statements << QStringLiteral("CREATE VIEW %1 AS %2%3")
                          .arg(view.name, view.select,
                               view.order.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + view.order);
    }
    return statements;
}

// The indexes over a line's amount (they must spell it as the views do to be used).
QStringList amountIndexStatements()
{
    const QString amount = amountExpression(QStringLiteral("price"), QStringLiteral("counts"));
    return {
        QStringLiteral("CREATE INDEX Rashod_amount ON Rashod(%1)").arg(amount),
        QStringLiteral("CREATE INDEX Rashod_chart ON Rashod(dates, %1)").arg(amount),
    };
}

// Indexes that let the views find their rows and keep their order without sorting.
QStringList indexStatements()
{
    const QString ti = timeText(QStringLiteral("times"));
    return QStringList{
               QStringLiteral("CREATE INDEX List_order ON List(dates, %1)").arg(ti),
               QStringLiteral("CREATE INDEX List_month ON List(substr(dates, 6, 2), dates, %1)").arg(ti),
               QStringLiteral("CREATE INDEX List_income ON List(dates, %1) WHERE %2").arg(ti, incomeCondition(QStringLiteral("names"))),
               QStringLiteral("CREATE INDEX Rashod_month ON Rashod(substr(dates, 6, 2), dates)"),
               QStringLiteral("CREATE INDEX Valuta_month ON Valuta(substr(dates, 6, 2))"),
           }
           + amountIndexStatements();
}

// Adds (sign 1) or takes away (sign -1) one contribution to a total; an overflowing total
// refuses the write, as a sum over the rows would refuse to be taken.
QString totalChange(const QString &kind, const QString &month, const QString &value, const QString &condition, int sign)
{
    const QString op = sign > 0 ? QStringLiteral("+") : QStringLiteral("-");
    return QStringLiteral(
               "SELECT RAISE(ABORT, 'integer overflow') WHERE (%4) AND"
               " (SELECT typeof(suma %5 (%3)) FROM Itog WHERE kind = %1 AND month = %2) = 'real';"
               " INSERT INTO Itog (kind, month, suma, n) SELECT %1, %2, %5(%3), %5 1 WHERE (%4)"
               " ON CONFLICT (kind, month) DO UPDATE SET suma = suma + excluded.suma, n = n + excluded.n;")
        .arg(kind, month, value, condition, op);
}

// The total L (expense line amounts per month number of the line's own date): what the
// file holds, and the triggers that keep it.
QStringList lineTotalStatements()
{
    const QString amount = amountExpression(QStringLiteral("%1.price"), QStringLiteral("%1.counts"));
    const auto lineChanges = [&](const QString &row, int sign) {
        return totalChange(QStringLiteral("'L'"), QStringLiteral("substr(%1.dates, 6, 2)").arg(row), amount.arg(row),
                           QStringLiteral("(%1) IS NOT NULL AND %2.dates IS NOT NULL").arg(amount.arg(row), row), sign);
    };
    const QString amountOf = amountExpression(QStringLiteral("price"), QStringLiteral("counts"));
    return {
        QStringLiteral("INSERT INTO Itog (kind, month, suma, n) SELECT 'L', substr(dates, 6, 2), sum(%1), count(%1)"
                       " FROM Rashod WHERE dates IS NOT NULL GROUP BY substr(dates, 6, 2)")
            .arg(amountOf),
        QStringLiteral("CREATE TRIGGER Rashod_total_insert AFTER INSERT ON Rashod BEGIN %1 END").arg(lineChanges("NEW", 1)),
        QStringLiteral("CREATE TRIGGER Rashod_total_delete AFTER DELETE ON Rashod BEGIN %1 END").arg(lineChanges("OLD", -1)),
        QStringLiteral("CREATE TRIGGER Rashod_total_update AFTER UPDATE OF price, counts, dates ON Rashod BEGIN %1%2 END")
            .arg(lineChanges("OLD", -1), lineChanges("NEW", 1)),
    };
}

// Version 3: the charts read their rows off indexes alone, without a look into the table
// for every row (an index that holds a line's amount also gives it, not worked out anew;
// price and counts make the engine see that the index covers the view), and TopRashod reads the month's largest lines straight off an index rather
// than sorting every line of that month number in twenty years. Where a view's order leaves
// rows of one date to the engine, the indexes keep the order they gave before (by amount in
// the whole period's chart, by id in the month's).
QStringList version3Statements()
{
    const QString amount = amountExpression(QStringLiteral("price"), QStringLiteral("counts"));
    const QString income = incomeCondition(QStringLiteral("names"));
    return {
        QStringLiteral("DROP INDEX Rashod_chart"),
        QStringLiteral("CREATE INDEX Rashod_chart ON Rashod(dates, %1, price, counts)").arg(amount),
        QStringLiteral("DROP INDEX Rashod_month"),
        QStringLiteral("CREATE INDEX Rashod_month ON Rashod(substr(dates, 6, 2), dates, id, %1, price, counts)").arg(amount),
        QStringLiteral("CREATE INDEX Rashod_month_amount ON Rashod(substr(dates, 6, 2), %1)").arg(amount),
        QStringLiteral("CREATE INDEX List_income_chart ON List(dates, id, suma, names) WHERE %1").arg(income),
        QStringLiteral("CREATE INDEX List_income_month ON List(substr(dates, 6, 2), dates, id, suma, names) WHERE %1")
            .arg(income),
    };
}

// The version that brings the index of the price history: one item's purchases found by
// its name, in date order and within a day in the order they were entered, with the price
// at hand, so that an item bought a hundred thousand times is read from the index alone.
constexpr int kItemIndexVersion = 4;

QStringList itemIndexStatements()
{
    return {QStringLiteral("CREATE INDEX Rashod_item ON Rashod(names, dates, id, price)")};
}

// The version that keeps, per date of the expense lines, how many lines it has, how many
// of them have no amount, and its lowest and highest amount. The chart of the whole period
// stands a pixel column for thousands of lines; with these it finds each column's points
// in a few steps through the index rather than reading twenty years of lines.
constexpr int kLineDaysVersion = 5;

// One line's contribution to its date's row, added (NEW) or taken away (OLD). The lowest
// and highest stay right on the way in; on the way out they are looked up again in the
// index, and only when the line that goes held one of them.
QString lineDayChange(const QString &row)
{
    const QString amount = amountExpression(row + QStringLiteral(".price"), row + QStringLiteral(".counts"));
    const QString day = row + QStringLiteral(".dates");
    if (row == QLatin1String("NEW")) {
        return QStringLiteral(
                   "INSERT INTO GrafDay (day, n, nulls) SELECT %2, 0, 0 WHERE NOT EXISTS"
                   " (SELECT 1 FROM GrafDay WHERE day IS %2);"
                   " UPDATE GrafDay SET n = n + 1, nulls = nulls + (%1 IS NULL),"
                   " low = CASE WHEN %1 IS NULL OR (low IS NOT NULL AND low <= %1) THEN low ELSE %1 END,"
                   " high = CASE WHEN %1 IS NULL OR (high IS NOT NULL AND high >= %1) THEN high ELSE %1 END"
                   " WHERE day IS %2;")
            .arg(amount, day);
    }
    return QStringLiteral(
               "UPDATE GrafDay SET n = n - 1, nulls = nulls - (%1 IS NULL),"
               " low = CASE WHEN %1 IS NOT NULL AND %1 <= low THEN (SELECT min(%3) FROM Rashod WHERE dates IS %2) ELSE low END,"
               " high = CASE WHEN %1 IS NOT NULL AND %1 >= high THEN (SELECT max(%3) FROM Rashod WHERE dates IS %2) ELSE high END"
               " WHERE day IS %2;"
               " DELETE FROM GrafDay WHERE day IS %2 AND n <= 0;")
        .arg(amount, day, amountExpression(QStringLiteral("price"), QStringLiteral("counts")));
}

QStringList lineDayStatements()
{
    const QString amountOf = amountExpression(QStringLiteral("price"), QStringLiteral("counts"));
    return {
        QStringLiteral("CREATE TABLE GrafDay (day TEXT, n INTEGER NOT NULL, nulls INTEGER NOT NULL,"
                       " low INTEGER, high INTEGER)"),
        QStringLiteral("CREATE UNIQUE INDEX GrafDay_day ON GrafDay(day)"),
        // What the file already holds.
        QStringLiteral("INSERT INTO GrafDay (day, n, nulls, low, high) SELECT dates, count(*), count(*) - count(%1),"
                       " min(%1), max(%1) FROM Rashod GROUP BY dates")
            .arg(amountOf),
        QStringLiteral("CREATE TRIGGER Rashod_day_insert AFTER INSERT ON Rashod BEGIN %1 END").arg(lineDayChange("NEW")),
        QStringLiteral("CREATE TRIGGER Rashod_day_delete AFTER DELETE ON Rashod BEGIN %1 END").arg(lineDayChange("OLD")),
        QStringLiteral("CREATE TRIGGER Rashod_day_update AFTER UPDATE OF price, counts, dates ON Rashod BEGIN %1 %2 END")
            .arg(lineDayChange("OLD"), lineDayChange("NEW")),
    };
}

// ---- Version 6: the keys of imported receipts and statement operations ----
// Each receipt (fiscal drive, document number, sign) or bank operation (its FITID or its
// row) taken in keeps its key here with the journal row it became. A key outlives its
// entry: what the user deleted after an import is not imported again. The described
// tables and views are left as they were.
constexpr int kImportKeysVersion = 6;

QStringList importKeyStatements()
{
    // A file marked as an earlier version by another tool may still hold the keys: they stay.
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS Imported (key TEXT NOT NULL PRIMARY KEY, kod INTEGER,"
                       " dates TEXT DEFAULT (datetime('now', 'localtime')))"),
        // The typed entries are told from the imported ones by this.
        QStringLiteral("CREATE INDEX IF NOT EXISTS Imported_kod ON Imported(kod)"),
    };
}
// ---- end of version 6 ----

// The four totals of the information panel, kept current by triggers in the file itself so
// that they stay right whoever writes it: kind R (expense rows), D (income rows) over the
// whole period (month '') and D per month number, L (expense line amounts) per month number
// of the line's own date. `n` counts the values summed: a total of none is NULL.
QStringList totalStatements()
{
    const QString listKind = QStringLiteral("CASE WHEN %1 THEN 'D' WHEN %2 THEN 'R' END")
                                 .arg(incomeCondition(QStringLiteral("%1.names")), expenseCondition(QStringLiteral("%1.names")));
    const auto listChanges = [&](const QString &row, int sign) {
        const QString kind = listKind.arg(row);
        const QString notNull = QStringLiteral("%1.suma IS NOT NULL AND (%2) IS NOT NULL").arg(row, kind);
        return totalChange(kind, QStringLiteral("''"), row + QStringLiteral(".suma"), notNull, sign)
               + totalChange(QStringLiteral("'D'"), QStringLiteral("substr(%1.dates, 6, 2)").arg(row),
                             row + QStringLiteral(".suma"),
                             QStringLiteral("%1.suma IS NOT NULL AND %2 AND %1.dates IS NOT NULL")
                                 .arg(row, incomeCondition(row + QStringLiteral(".names"))),
                             sign);
    };
    return QStringList{
               QStringLiteral("CREATE TABLE Itog (kind TEXT NOT NULL, month TEXT NOT NULL, suma INTEGER NOT NULL,"
                              " n INTEGER NOT NULL, PRIMARY KEY (kind, month)) WITHOUT ROWID"),
               // What the file already holds.
               QStringLiteral("INSERT INTO Itog (kind, month, suma, n) SELECT k, '', sum(suma), count(suma) FROM"
                              " (SELECT %1 AS k, suma FROM List) WHERE k IS NOT NULL GROUP BY k")
                   .arg(listKind.arg(QStringLiteral("List"))),
               QStringLiteral("INSERT INTO Itog (kind, month, suma, n) SELECT 'D', substr(dates, 6, 2), sum(suma), count(suma)"
                              " FROM List WHERE %1 AND dates IS NOT NULL GROUP BY substr(dates, 6, 2)")
                   .arg(incomeCondition(QStringLiteral("names"))),
               QStringLiteral("CREATE TRIGGER List_total_insert AFTER INSERT ON List BEGIN %1 END").arg(listChanges("NEW", 1)),
               QStringLiteral("CREATE TRIGGER List_total_delete AFTER DELETE ON List BEGIN %1 END").arg(listChanges("OLD", -1)),
               QStringLiteral("CREATE TRIGGER List_total_update AFTER UPDATE OF names, suma, dates ON List BEGIN %1%2 END")
                   .arg(listChanges("OLD", -1), listChanges("NEW", 1)),
           }
           + lineTotalStatements();
}

QStringList templateStatements()
{
    QStringList statements = {
        QStringLiteral("INSERT INTO Dohod (id, names) VALUES (1, 'Зарплата'), (2, 'Премия'), (3, 'Гонорар'),"
                       " (4, 'Выигрыш'), (6, 'Вернули долг'), (7, 'Проценты банка')"),
        QStringLiteral("INSERT INTO VelTor (id, names, pas) VALUES (1, '', '')"),
    };
    struct Rate
    {
        int id;
        const char *date;
        qint64 usd, eur, gbp; // ten-thousandths
    };
    static const Rate rates[] = {
        {27, "2008-07-17", 231638, 368559, 465407}, {28, "2008-07-16", 231255, 368759, 462718},
        {29, "2008-07-01", 234068, 369710, 466615}, {60, "2008-07-18", 232250, 368093, 464779},
        {61, "2008-07-19", 231937, 367991, 462158}, {62, "2008-07-22", 232120, 368142, 462499},
        {63, "2008-07-24", 233220, 367695, 464481}, {64, "2008-08-03", 234697, 365353, 463738},
        {65, "2008-09-14", 257013, 360821, 454425}, {66, "2009-03-16", 348316, 449258, 486423},
        {67, "2009-06-15", 309124, 433546, 506098}, {68, "2009-07-06", 312481, 437942, 512719},
        {69, "2009-07-09", 317819, 441387, 512642}, {70, "2009-08-18", 322874, 456350, 528383},
        {71, "2009-08-28", 316405, 450782, 512956}, {72, "2009-09-17", 306067, 449612, 504674},
        {73, "2009-09-29", 301985, 441291, 478978}, {74, "2009-12-16", 300678, 439441, 488872},
        {75, "2010-03-16", 293353, 403272, 443931},
    };
    for (const Rate &r : rates) {
        statements << QStringLiteral("INSERT INTO Valuta (id, dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3,"
                                     " valuta4, kurs4, valuta5, kurs5) VALUES (%1, '%2', 'Доллар США', %3, 'Евро', %4,"
                                     " 'Фунт', %5, NULL, 0, NULL, 0)")
                          .arg(r.id)
                          .arg(QLatin1String(r.date))
                          .arg(r.usd)
                          .arg(r.eur)
                          .arg(r.gbp);
    }
    // The counters of the template: the next income type gets 9, the next rate row 76.
    statements << QStringLiteral("UPDATE sqlite_sequence SET seq = 8 WHERE name = 'Dohod'")
               << QStringLiteral("UPDATE sqlite_sequence SET seq = 75 WHERE name = 'Valuta'");
    return statements;
}

} // namespace

int currentVersion()
{
    return kImportKeysVersion;
}

QString currentMonthCondition(const QString &dateColumn)
{
    return monthIs(dateColumn);
}

ColumnKind columnKind(const QString &column)
{
    static const QHash<QString, ColumnKind> kinds = [] {
        QHash<QString, ColumnKind> kinds;
        for (const columns::Table &table : columns::kTables) {
            for (const Column &each : table) {
                if (each.type == Type::Money)
                    kinds.insert(QLatin1String(each.name), ColumnKind::Money);
                else if (each.type == Type::Date)
                    kinds.insert(QLatin1String(each.name), ColumnKind::Date);
                else if (each.type == Type::Time)
                    kinds.insert(QLatin1String(each.name), ColumnKind::Time);
            }
        }
        // The panel's totals, as their views name them.
        for (const char *total : {"itogr", "itogd", "rashodm", "dohodm"})
            kinds.insert(QLatin1String(total), ColumnKind::Money);
        return kinds;
    }();
    return kinds.value(column.toLower(), ColumnKind::Plain);
}

const QStringList &tables()
{
    static const QStringList names = [] {
        QStringList names;
        for (const columns::Table &table : columns::kTables)
            names << QLatin1String(table.name);
        return names;
    }();
    return names;
}

const QStringList &views()
{
    static const QStringList names = [] {
        QStringList names;
        for (const ViewDefinition &view : viewDefinitions())
            names << view.name;
        return names;
    }();
    return names;
}

bool isKnownSource(const QString &name)
{
    return tables().contains(name) || views().contains(name);
}

bool isKnownColumn(const QString &table, const QString &column)
{
    return findColumn(table, column) != nullptr;
}

int textLimit(const QString &table, const QString &column)
{
    const Column *found = findColumn(table, column);
    return found && found->type == Type::Text ? found->limit : 0;
}

QString columnCaption(const QString &table, const QString &column)
{
    const Column *found = findColumn(table, column);
    return found && found->caption ? QString::fromUtf8(found->caption) : column;
}

QString amountExpression(const QString &price, const QString &counts)
{
    // price x counts / 10000 in exact integers. Price and quantity are each split into
    // whole units and ten-thousandths; the four partial products then all carry the sign
    // of the result and none is larger than it, so none leaves 64 bits unless the amount
    // itself would (the program refuses such a line when it is added). Only the product
    // of the two fractions has a remainder, which decides the rounding, ties to even.
    const QString priceWhole = QStringLiteral("(%1 / 10000)").arg(price);
    const QString pricePart = QStringLiteral("(%1 % 10000)").arg(price);
    const QString countsWhole = QStringLiteral("(%1 / 10000)").arg(counts);
    const QString countsPart = QStringLiteral("(%1 % 10000)").arg(counts);
    const QString parts = QStringLiteral("(%1 * %2)").arg(pricePart, countsPart);
    const QString base = QStringLiteral("(%1 * %2 * 10000 + %1 * %3 + %4 * %2 + %5 / 10000)")
                             .arg(priceWhole, countsWhole, countsPart, pricePart, parts);
    const QString rest = QStringLiteral("(%1 % 10000 * 2)").arg(parts);
    return QStringLiteral("(%1 + CASE WHEN %2 > 10000 OR (%2 = 10000 AND %1 % 2 <> 0) THEN 1"
                          " WHEN %2 < -10000 OR (%2 = -10000 AND %1 % 2 <> 0) THEN -1 ELSE 0 END)")
        .arg(base, rest);
}

QStringList createStatements()
{
    // A new ledger is built as a version-2 one brought to version 3 is, so that both have the
    // same indexes.
    return tableStatements() + indexStatements() + version3Statements() + itemIndexStatements() + totalStatements()
           + lineDayStatements() + importKeyStatements() + viewStatements() + templateStatements()
           + QStringList{QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId),
                         QStringLiteral("PRAGMA user_version = %1").arg(currentVersion())};
}

QStringList upgradeStatements(int fromVersion)
{
    QStringList statements;
    if (fromVersion == 1) {
        // Version 2 adds the indexes and the totals kept by triggers; the views are made anew
        // (same names, columns, order and meaning) to read those totals.
        for (const ViewDefinition &view : viewDefinitions())
            statements << QStringLiteral("DROP VIEW IF EXISTS %1").arg(view.name);
        statements << indexStatements() << totalStatements() << viewStatements();
    } else if (fromVersion == 2) {
        // Version 3 computes a line's amount without leaving 64 bits on the way (version 2
        // could give a floating-point amount for prices near 92 billion roubles): whatever
        // computes one is made anew, and the lines' month totals are summed again. It also
        // gives the charts and this month's largest lines indexes they read alone.
        for (const ViewDefinition &view : viewDefinitions())
            statements << QStringLiteral("DROP VIEW IF EXISTS %1").arg(view.name);
        statements << QStringLiteral("DROP INDEX IF EXISTS Rashod_amount") << QStringLiteral("DROP INDEX IF EXISTS Rashod_chart");
        for (const char *trigger : {"Rashod_total_insert", "Rashod_total_delete", "Rashod_total_update"})
            statements << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(trigger));
        statements << QStringLiteral("DELETE FROM Itog WHERE kind = 'L'") << amountIndexStatements()
                   << version3Statements() << lineTotalStatements() << viewStatements();
    }
    if (fromVersion + 1 == kItemIndexVersion)
        statements << itemIndexStatements();
    if (fromVersion + 1 == kLineDaysVersion)
        statements << lineDayStatements();
    if (fromVersion + 1 == kImportKeysVersion)
        statements << importKeyStatements();
    return statements;
}

QString countStatement(const QString &source)
{
    for (const ViewDefinition &view : viewDefinitions()) {
        if (view.name == source)
            return QStringLiteral("SELECT count(*) FROM (%1)").arg(view.select);
    }
    if (tables().contains(source))
        return QStringLiteral("SELECT count(*) FROM %1").arg(source);
    return {};
}

} // namespace ledger::schema
