#include "schema.h"

#include <QHash>

namespace ledger::schema {

namespace {

// Conditions shared by the views.
// Current month: the same month number as today's, in any year.
QString monthIs(const QString &dateColumn)
{
    return QStringLiteral("substr(%1, 6, 2) = strftime('%m', 'now', 'localtime')").arg(dateColumn);
}

// The first five characters are "Доход", letter case aside. SQLite folds only ASCII case,
// so the three capitals that can occur in the word are folded by hand.
QString incomeTest(const QString &namesColumn)
{
    return QStringLiteral("replace(replace(replace(substr(%1, 1, 5), 'Д', 'д'), 'О', 'о'), 'Х', 'х') = 'доход'")
        .arg(namesColumn);
}

QString expenseTest(const QString &namesColumn)
{
    return QStringLiteral("NOT (%1)").arg(incomeTest(namesColumn));
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

QString moneyCheck(const QString &column)
{
    return QStringLiteral("typeof(%1) IN ('integer', 'null')").arg(column);
}

QString textCheck(const QString &column, int size)
{
    return QStringLiteral("length(%1) <= %2").arg(column).arg(size);
}

struct TextColumn
{
    int limit;
    const char *caption;
};

const QHash<QString, TextColumn> &textColumns()
{
    static const QHash<QString, TextColumn> columns = {
        {QStringLiteral("list.names"), {100, "запись журнала"}},
        {QStringLiteral("list.dohod"), {255, "доход"}},
        {QStringLiteral("list.comments"), {255, "коментарии"}},
        {QStringLiteral("rashod.names"), {255, "товар/услуга"}},
        {QStringLiteral("rashod.doc"), {50, "документ №"}},
        {QStringLiteral("rashod.comments"), {255, "коментарии"}},
        {QStringLiteral("dohod.names"), {255, "описание дохода"}},
        {QStringLiteral("veltor.names"), {255, "описание"}},
        {QStringLiteral("veltor.pas"), {30, "пароль"}},
        {QStringLiteral("valuta.valuta1"), {50, "валюта"}},
        {QStringLiteral("valuta.valuta2"), {50, "валюта"}},
        {QStringLiteral("valuta.valuta3"), {50, "валюта"}},
        {QStringLiteral("valuta.valuta4"), {50, "валюта"}},
        {QStringLiteral("valuta.valuta5"), {50, "валюта"}},
    };
    return columns;
}

const QHash<QString, QStringList> &tableColumns()
{
    static const QHash<QString, QStringList> columns = {
        {QStringLiteral("list"), {"id", "names", "suma", "dates", "times", "dohod", "comments"}},
        {QStringLiteral("rashod"), {"id", "kod", "names", "price", "counts", "doc", "dates", "comments"}},
        {QStringLiteral("dohod"), {"id", "names"}},
        {QStringLiteral("veltor"), {"id", "names", "pas"}},
        {QStringLiteral("valuta"),
         {"id", "dates", "valuta1", "kurs1", "valuta2", "kurs2", "valuta3", "kurs3", "valuta4", "kurs4",
          "valuta5", "kurs5"}},
    };
    return columns;
}

QStringList tableStatements()
{
    const QString text = QStringLiteral("TEXT CHECK(%1)");
    return {
        QStringLiteral("CREATE TABLE List ("
                       " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       " names %1,"
                       " suma INTEGER DEFAULT 0 CHECK(%2),"
                       " dates TEXT DEFAULT (date('now', 'localtime')) CHECK(%3),"
                       " times TEXT DEFAULT (time('now', 'localtime'))"
                       "  CHECK(times IS NULL OR times GLOB '[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'),"
                       " dohod %4,"
                       " comments %5)")
            .arg(text.arg(textCheck("names", 100)), moneyCheck("suma"), dateCheck("dates"),
                 text.arg(textCheck("dohod", 255)), text.arg(textCheck("comments", 255))),
        QStringLiteral("CREATE TABLE Rashod ("
                       " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       " kod INTEGER DEFAULT 0 REFERENCES List(id) ON DELETE CASCADE,"
                       " names %1,"
                       " price INTEGER DEFAULT 0 CHECK(%2),"
                       " counts INTEGER DEFAULT 0 CHECK(%3),"
                       " doc %4,"
                       " dates TEXT CHECK(%5),"
                       " comments %6)")
            .arg(text.arg(textCheck("names", 255)), moneyCheck("price"), moneyCheck("counts"),
                 text.arg(textCheck("doc", 50)), dateCheck("dates"), text.arg(textCheck("comments", 255))),
        QStringLiteral("CREATE INDEX kod ON Rashod(kod)"),
        QStringLiteral("CREATE TABLE Dohod ( id INTEGER PRIMARY KEY AUTOINCREMENT, names %1)")
            .arg(text.arg(textCheck("names", 255))),
        QStringLiteral("CREATE TABLE VelTor ( id INTEGER PRIMARY KEY AUTOINCREMENT, names %1, pas %2)")
            .arg(text.arg(textCheck("names", 255)), text.arg(textCheck("pas", 30))),
        QStringLiteral("CREATE TABLE Valuta ("
                       " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       " dates TEXT DEFAULT (date('now', 'localtime')) CHECK(%1),"
                       " valuta1 %2, kurs1 INTEGER DEFAULT 0 CHECK(%3),"
                       " valuta2 %4, kurs2 INTEGER DEFAULT 0 CHECK(%5),"
                       " valuta3 %6, kurs3 INTEGER DEFAULT 0 CHECK(%7),"
                       " valuta4 %8, kurs4 INTEGER DEFAULT 0 CHECK(%9),"
                       " valuta5 %10, kurs5 INTEGER DEFAULT 0 CHECK(%11))")
            .arg(dateCheck("dates"), text.arg(textCheck("valuta1", 50)), moneyCheck("kurs1"),
                 text.arg(textCheck("valuta2", 50)), moneyCheck("kurs2"), text.arg(textCheck("valuta3", 50)),
                 moneyCheck("kurs3"), text.arg(textCheck("valuta4", 50)), moneyCheck("kurs4"))
            .arg(text.arg(textCheck("valuta5", 50)), moneyCheck("kurs5")),
    };
}

QStringList viewStatements()
{
    const QString amount = amountExpression(QStringLiteral("Rashod.price"), QStringLiteral("Rashod.counts"));
    const QString ti = timeText(QStringLiteral("List.times"));
    const QString journalOrder = QStringLiteral(" ORDER BY List.dates DESC, %1 DESC, List.id DESC").arg(ti);
    const QString journalColumns = QStringLiteral(
        "SELECT List.id AS id, List.names AS names, List.suma AS suma, List.dates AS dates, %1 AS ti,"
        " List.comments AS comments FROM List").arg(ti);
    const QString lineColumns = QStringLiteral(
        "SELECT List.dates AS dates, %1 AS ti, Rashod.names AS names, Rashod.price AS price,"
        " Rashod.counts AS counts, %2 AS suma FROM List INNER JOIN Rashod ON List.id = Rashod.kod").arg(ti, amount);
    const QString lineOrder = journalOrder + QStringLiteral(", Rashod.id");
    const QString incomeColumns = QStringLiteral(
        "SELECT List.dates AS dates, %1 AS ti, List.suma AS suma, List.comments AS comments,"
        " substr(List.names, 9) AS nam FROM List").arg(ti);
    const QString chartLines = QStringLiteral("SELECT %1 AS suma, Rashod.dates AS dates FROM Rashod").arg(amount);
    const QString chartIncomes = QStringLiteral("SELECT List.dates AS dates, List.suma AS suma FROM List");
    const QString topLines = QStringLiteral("SELECT %1 AS Suma, Rashod.names AS names FROM Rashod").arg(amount);
    const QString rates = QStringLiteral(
        "SELECT Valuta.dates AS dates, Valuta.kurs1 AS kurs1, Valuta.kurs2 AS kurs2, Valuta.kurs3 AS kurs3 FROM Valuta");

    const QString listMonth = monthIs(QStringLiteral("List.dates"));
    const QString lineMonth = monthIs(QStringLiteral("Rashod.dates"));
    const QString income = incomeTest(QStringLiteral("List.names"));

    const auto view = [](const char *name, const QString &select) {
        return QStringLiteral("CREATE VIEW %1 AS %2").arg(QLatin1String(name), select);
    };
    return {
        view("ListZ", journalColumns + journalOrder),
        view("ListM", journalColumns + " WHERE " + listMonth + journalOrder),
        view("ListRashod", lineColumns + " WHERE " + listMonth + lineOrder),
        view("ListRashodAll", lineColumns + lineOrder),
        view("ListDohod", incomeColumns + " WHERE " + income + " AND " + listMonth + journalOrder),
        view("ListDohodAll", incomeColumns + " WHERE " + income + journalOrder),
        view("ListR", QStringLiteral("SELECT DISTINCT Rashod.names AS names, Rashod.id AS id FROM Rashod"
                                     " ORDER BY Rashod.id DESC")),
        view("ItogRashod", QStringLiteral("SELECT sum(List.suma) AS ItogR FROM List WHERE ")
                               + expenseTest(QStringLiteral("List.names"))),
        view("ItogDohod", QStringLiteral("SELECT sum(List.suma) AS ItogD FROM List WHERE ") + income),
        view("Rashods", QStringLiteral("SELECT sum(%1) AS RashodM FROM Rashod WHERE %2").arg(amount, lineMonth)),
        view("Dohods", QStringLiteral("SELECT sum(List.suma) AS DohodM FROM List WHERE %1 AND %2").arg(income, listMonth)),
        view("GrafRashod", chartLines + " WHERE " + lineMonth + " ORDER BY Rashod.dates, Rashod.id"),
        view("GrafRashodAll", chartLines + " ORDER BY Rashod.dates, Rashod.id"),
        view("GrafDohod", chartIncomes + " WHERE " + income + " AND " + listMonth + " ORDER BY List.dates, List.id"),
        view("GrafDohodAll", chartIncomes + " WHERE " + income + " ORDER BY List.dates, List.id"),
        view("TopRashod", topLines + " WHERE " + lineMonth + QStringLiteral(" ORDER BY %1 DESC").arg(amount)),
        view("TopRashodAll", topLines + QStringLiteral(" ORDER BY %1 DESC").arg(amount)),
        view("GrafikValuta", rates + " WHERE " + monthIs(QStringLiteral("Valuta.dates"))
                                 + " ORDER BY Valuta.dates, Valuta.id"),
        view("GrafikValutaAll", rates + " ORDER BY Valuta.dates, Valuta.id"),
        view("Kurs", QStringLiteral("SELECT Valuta.id AS id, Valuta.dates AS dates, Valuta.valuta1 AS valuta1,"
                                    " Valuta.kurs1 AS kurs1, Valuta.valuta2 AS valuta2, Valuta.kurs2 AS kurs2,"
                                    " Valuta.valuta3 AS valuta3, Valuta.kurs3 AS kurs3 FROM Valuta WHERE ")
                         + monthIs(QStringLiteral("Valuta.dates")) + " ORDER BY Valuta.id DESC"),
    };
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
    return 1;
}

ColumnKind columnKind(const QString &column)
{
    static const QHash<QString, ColumnKind> kinds = {
        {QStringLiteral("suma"), ColumnKind::Money},    {QStringLiteral("price"), ColumnKind::Money},
        {QStringLiteral("counts"), ColumnKind::Money},  {QStringLiteral("itogr"), ColumnKind::Money},
        {QStringLiteral("itogd"), ColumnKind::Money},   {QStringLiteral("rashodm"), ColumnKind::Money},
        {QStringLiteral("dohodm"), ColumnKind::Money},  {QStringLiteral("kurs1"), ColumnKind::Money},
        {QStringLiteral("kurs2"), ColumnKind::Money},   {QStringLiteral("kurs3"), ColumnKind::Money},
        {QStringLiteral("kurs4"), ColumnKind::Money},   {QStringLiteral("kurs5"), ColumnKind::Money},
        {QStringLiteral("dates"), ColumnKind::Date},    {QStringLiteral("times"), ColumnKind::Time},
    };
    return kinds.value(column.toLower(), ColumnKind::Plain);
}

const QStringList &tables()
{
    static const QStringList names = {"List", "Rashod", "Dohod", "VelTor", "Valuta"};
    return names;
}

const QStringList &views()
{
    static const QStringList names = {
        "ListZ",      "ListM",         "ListRashod", "ListRashodAll", "ListDohod", "ListDohodAll",   "ListR",
        "ItogRashod", "ItogDohod",     "Rashods",    "Dohods",        "GrafRashod", "GrafRashodAll", "GrafDohod",
        "GrafDohodAll", "TopRashod",   "TopRashodAll", "GrafikValuta", "GrafikValutaAll", "Kurs"};
    return names;
}

bool isKnownSource(const QString &name)
{
    return tables().contains(name) || views().contains(name);
}

bool isKnownColumn(const QString &table, const QString &column)
{
    return tableColumns().value(table.toLower()).contains(column.toLower());
}

int textLimit(const QString &table, const QString &column)
{
    return textColumns().value(table.toLower() + QLatin1Char('.') + column.toLower(), {0, ""}).limit;
}

QString columnCaption(const QString &table, const QString &column)
{
    const auto it = textColumns().constFind(table.toLower() + QLatin1Char('.') + column.toLower());
    return it == textColumns().constEnd() ? column : QString::fromUtf8(it->caption);
}

QString amountExpression(const QString &price, const QString &counts)
{
    // price x counts / 10000 in exact integers: split counts into whole units and a
    // remainder so that no intermediate product leaves 64 bits before the result would.
    const QString whole = QStringLiteral("(%1 * (%2 / 10000))").arg(price, counts);
    const QString part = QStringLiteral("(%1 * (%2 % 10000))").arg(price, counts);
    const QString base = QStringLiteral("(%1 + %2 / 10000)").arg(whole, part);
    const QString rest = QStringLiteral("(%1 % 10000 * 2)").arg(part);
    return QStringLiteral("(%1 + CASE WHEN %2 > 10000 OR (%2 = 10000 AND %1 % 2 <> 0) THEN 1"
                          " WHEN %2 < -10000 OR (%2 = -10000 AND %1 % 2 <> 0) THEN -1 ELSE 0 END)")
        .arg(base, rest);
}

QStringList createStatements()
{
    return tableStatements() + viewStatements() + templateStatements()
           + QStringList{QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId),
                         QStringLiteral("PRAGMA user_version = %1").arg(currentVersion())};
}

QStringList upgradeStatements(int fromVersion)
{
    Q_UNUSED(fromVersion);
    return {};
}

} // namespace ledger::schema
