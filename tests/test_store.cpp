// The ledger file: the template, the twenty views, the engine's rules, transactions, and
// files that must be refused without being touched.
#include "support/testsupport.h"

#include "ledger/backup.h"
#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/dataset.h"
#include "ledger/error.h"
#include "ledger/money.h"
#include "ledger/schema.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

using namespace ledger;
using testing::RawFile;
using testing::Workspace;

namespace {

// The chart's figures per date as the file keeps them, and as they follow from the lines.
QStringList keptPerDate(const RawFile &raw)
{
    return raw.rows("SELECT day, n, nulls, low, high FROM GrafDay ORDER BY day");
}

QStringList countedPerDate(const RawFile &raw)
{
    const QString amount = schema::amountExpression("price", "counts");
    return raw.rows(QStringLiteral("SELECT dates, count(*), count(*) - count(%1), min(%1), max(%1) FROM Rashod"
                                   " GROUP BY dates ORDER BY dates")
                        .arg(amount));
}

} // namespace

namespace {

Money rub(qint64 units) { return Money::fromUnits(units); }

// A journal row written behind the program's back, with a date and a time of its own.
qint64 journalRow(const RawFile &raw, const QString &names, qint64 suma, const QString &date,
                  const QString &time = QStringLiteral("12:00:00"))
{
    raw.exec(QStringLiteral("INSERT INTO List (names, suma, dates, times) VALUES ('%1', %2, '%3', '%4')")
                 .arg(names).arg(suma).arg(date, time));
    return raw.value(QStringLiteral("SELECT max(id) FROM List")).toLongLong();
}

void line(const RawFile &raw, qint64 kod, const QString &name, qint64 price, qint64 counts, const QString &date)
{
    raw.exec(QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, doc, dates) VALUES (%1, '%2', %3, %4, 'чек', '%5')")
                 .arg(kod).arg(name).arg(price).arg(counts).arg(date));
}

QStringList columnsOf(const RawFile &raw, const QString &view)
{
    QStringList names;
    for (const QString &row : raw.rows(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(view)))
        names << row;
    return names;
}

} // namespace

class StoreTest : public QObject
{
    Q_OBJECT

private slots:
    void templateHasTheDescribedRows()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile raw(path);
        QCOMPARE(raw.value("SELECT count(*) FROM List").toInt(), 0);
        QCOMPARE(raw.value("SELECT count(*) FROM Rashod").toInt(), 0);
        QCOMPARE(raw.rows("SELECT id, names FROM Dohod ORDER BY id"),
                 QStringList({"1|Зарплата", "2|Премия", "3|Гонорар", "4|Выигрыш", "6|Вернули долг",
                              "7|Проценты банка"}));
        QCOMPARE(raw.rows("SELECT id, names IS NULL, names, pas IS NULL, pas FROM VelTor"),
                 QStringList({"1|0||0|"}));
        QCOMPARE(raw.value("SELECT count(*) FROM Valuta").toInt(), 19);
        QCOMPARE(raw.rows("SELECT id FROM Valuta ORDER BY id").join(','),
                 QStringLiteral("27,28,29,60,61,62,63,64,65,66,67,68,69,70,71,72,73,74,75"));
        QCOMPARE(raw.rows("SELECT * FROM Valuta WHERE id = 75"),
                 QStringList({"75|2010-03-16|Доллар США|293353|Евро|403272|Фунт|443931|NULL|0|NULL|0"}));
        QCOMPARE(raw.rows("SELECT * FROM Valuta WHERE id = 29"),
                 QStringList({"29|2008-07-01|Доллар США|234068|Евро|369710|Фунт|466615|NULL|0|NULL|0"}));
        QCOMPARE(raw.value("PRAGMA application_id").toInt(), schema::kApplicationId);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), schema::currentVersion());

        // Counters: the next type gets 9, the next rate row 76, the first journal row 1.
        raw.exec("INSERT INTO Dohod (names) VALUES ('x')");
        raw.exec("INSERT INTO Valuta (valuta1) VALUES ('x')");
        raw.exec("INSERT INTO List (names) VALUES ('Расход')");
        QCOMPARE(raw.value("SELECT max(id) FROM Dohod").toInt(), 9);
        QCOMPARE(raw.value("SELECT max(id) FROM Valuta").toInt(), 76);
        QCOMPARE(raw.rows("SELECT id, suma, dates = date('now','localtime'), length(times), dohod, comments FROM List"),
                 QStringList({"1|0|1|8|NULL|NULL"}));
        QCOMPARE(raw.value("SELECT dates FROM Valuta WHERE id = 76").toString(), testing::todayIso());
    }

    void everyViewHasItsColumns()
    {
        Workspace ws;
        RawFile raw(ws.newLedger());
        const QHash<QString, QStringList> expected = {
            {"ListZ", {"id", "names", "suma", "dates", "ti", "comments"}},
            {"ListM", {"id", "names", "suma", "dates", "ti", "comments"}},
            {"ListRashod", {"dates", "ti", "names", "price", "counts", "suma"}},
            {"ListRashodAll", {"dates", "ti", "names", "price", "counts", "suma"}},
            {"ListDohod", {"dates", "ti", "suma", "comments", "nam"}},
            {"ListDohodAll", {"dates", "ti", "suma", "comments", "nam"}},
            {"ListR", {"names", "id"}},
            {"ItogRashod", {"ItogR"}},
            {"ItogDohod", {"ItogD"}},
            {"Rashods", {"RashodM"}},
            {"Dohods", {"DohodM"}},
            {"GrafRashod", {"suma", "dates"}},
            {"GrafRashodAll", {"suma", "dates"}},
            {"GrafDohod", {"dates", "suma"}},
            {"GrafDohodAll", {"dates", "suma"}},
            {"TopRashod", {"Suma", "names"}},
            {"TopRashodAll", {"Suma", "names"}},
            {"GrafikValuta", {"dates", "kurs1", "kurs2", "kurs3"}},
            {"GrafikValutaAll", {"dates", "kurs1", "kurs2", "kurs3"}},
            {"Kurs", {"id", "dates", "valuta1", "kurs1", "valuta2", "kurs2", "valuta3", "kurs3"}},
        };
        QCOMPARE(expected.size(), 20);
        QCOMPARE(schema::views().size(), 20);
        for (const QString &view : schema::views()) {
            QVERIFY2(expected.contains(view), qPrintable(view));
            QCOMPARE(columnsOf(raw, view), expected.value(view));
            raw.rows(QStringLiteral("SELECT * FROM %1").arg(view)); // runs with the stock engine
        }
    }

    void totalsAreNullOverNothing()
    {
        Workspace ws;
        RawFile raw(ws.newLedger());
        for (const char *view : {"ItogRashod", "ItogDohod", "Rashods", "Dohods"})
            QCOMPARE(raw.rows(QStringLiteral("SELECT * FROM %1").arg(view)), QStringList({"NULL"}));
    }

    void monthViewsTakeTheMonthNumberOfAnyYear()
    {
        Workspace ws;
        RawFile raw(ws.newLedger());
        const QString today = testing::todayIso();
        const QString yearsAgo = testing::thisMonthYearsAgo(3);
        const QString other = testing::otherMonth();
        const qint64 a = journalRow(raw, "Расход", 250000, today);
        const qint64 b = journalRow(raw, "Расход", 100000, yearsAgo);
        const qint64 c = journalRow(raw, "Расход", 70000, other);
        journalRow(raw, "Доход - Премия", 5000000, yearsAgo);
        journalRow(raw, "Доход - Зарплата", 1000000, other);
        line(raw, a, "хлеб", 25000, 100000, today);   // 2,5 x 10 = 25
        line(raw, b, "сыр", 100000, 10000, yearsAgo);
        line(raw, c, "чай", 70000, 10000, today); // a line of this month in a batch of another

        QCOMPARE(raw.value("SELECT count(*) FROM ListM").toInt(), 3);
        QCOMPARE(raw.value("SELECT count(*) FROM ListZ").toInt(), 5);
        QCOMPARE(raw.rows("SELECT names, suma FROM ListRashod"), QStringList({"хлеб|250000", "сыр|100000"}));
        QCOMPARE(raw.value("SELECT count(*) FROM ListRashodAll").toInt(), 3);
        QCOMPARE(raw.rows("SELECT nam, suma FROM ListDohod"), QStringList({"Премия|5000000"}));
        QCOMPARE(raw.rows("SELECT nam FROM ListDohodAll"), QStringList({"Зарплата", "Премия"}));
        // Month expenses count the lines by their own dates; the totals take every row.
        QCOMPARE(raw.value("SELECT RashodM FROM Rashods").toLongLong(), 250000 + 100000 + 70000);
        QCOMPARE(raw.value("SELECT DohodM FROM Dohods").toLongLong(), 5000000);
        QCOMPARE(raw.value("SELECT ItogR FROM ItogRashod").toLongLong(), 250000 + 100000 + 70000);
        QCOMPARE(raw.value("SELECT ItogD FROM ItogDohod").toLongLong(), 6000000);
        QCOMPARE(raw.rows("SELECT suma FROM GrafRashod"), QStringList({"100000", "250000", "70000"}));
        QCOMPARE(raw.rows("SELECT Suma, names FROM TopRashod"), QStringList({"250000|хлеб", "100000|сыр", "70000|чай"}));
        QCOMPARE(raw.rows("SELECT suma FROM GrafDohod"), QStringList({"5000000"}));
        QCOMPARE(raw.value("SELECT count(*) FROM GrafDohodAll").toInt(), 2);

        const Totals totals = readTotals(*Connection::open(ws.path("vel.tor")));
        QCOMPARE(totals.balance(), rub(600 - 42));
        QCOMPARE(totals.monthExpenses, rub(42));
        QCOMPARE(totals.monthIncome, rub(500));
    }

    void journalSortsTimeTextDescendingWithinADay()
    {
        Workspace ws;
        RawFile raw(ws.newLedger());
        const QString day = testing::todayIso();
        journalRow(raw, "Расход", 1, day, "10:00:00");
        journalRow(raw, "Расход", 2, day, "09:05:03");
        journalRow(raw, "Расход", 3, testing::thisMonthYearsAgo(1), "23:00:00");
        journalRow(raw, "Доход - Премия", 4, day, "08:00:00");
        QCOMPARE(raw.rows("SELECT suma, ti FROM ListZ"),
                 QStringList({"2|9:05:03", "4|8:00:00", "1|10:00:00", "3|23:00:00"}));
        QCOMPARE(raw.rows("SELECT ti FROM ListDohod"), QStringList({"8:00:00"}));
    }

    void amountsAreExactAndRoundedToEven()
    {
        Workspace ws;
        RawFile raw(ws.newLedger());
        const QString day = testing::todayIso();
        const qint64 id = journalRow(raw, "Расход", 0, day);
        line(raw, id, "a", 3333, 30000, day);                           // 0,3333 x 3 = 0,9999
        line(raw, id, "b", 3333, 5000, day);                            // 0,16665 -> 0,1666
        line(raw, id, "c", 3335, 5000, day);                            // 0,16675 -> 0,1668
        line(raw, id, "d", -3335, 5000, day);                           // -0,16675 -> -0,1668
        // The largest amount, alone in its month so that no total overflows.
        line(raw, id, "e", std::numeric_limits<qint64>::max(), 10000, testing::otherMonth());
        QCOMPARE(raw.rows("SELECT suma FROM GrafRashodAll ORDER BY suma"),
                 QStringList({"-1668", "1666", "1668", "9999", "9223372036854775807"}));
        QCOMPARE(raw.rows("SELECT names FROM TopRashodAll"), QStringList({"e", "a", "c", "b", "d"}));
        // The view and the program's own arithmetic agree, pair by pair.
        const qint64 prices[] = {1, 3333, 12345, -98765, 10001, 5000, 123456789};
        const qint64 counts[] = {1, 5000, 15000, 33333, -25000, 9999, 10000};
        for (qint64 p : prices) {
            for (qint64 c : counts) {
                const QVariant sql = raw.value(QStringLiteral("SELECT %1").arg(schema::amountExpression(QString::number(p), QString::number(c))));
                QCOMPARE(sql.toLongLong(), Money::fromTicks(p).times(Money::fromTicks(c)).ticks());
            }
        }
        // Prices near 92 billion roubles and beyond, with a fractional quantity: the price
        // times the quantity's fraction leaves 64 bits even where the amount does not.
        const qint64 bigPrices[] = {922500000012345, -922500000012345, 922337203685477, 999999999999999, 4611686018427387,
                                    12345678901234567};
        const qint64 fractions[] = {9999, 19999, -15001, 5000, 10001, 123457};
        int checked = 0;
        for (qint64 p : bigPrices) {
            for (qint64 c : fractions) {
                Money expected;
                try {
                    expected = Money::fromTicks(p).times(Money::fromTicks(c));
                } catch (const ArithmeticError &) {
                    continue; // beyond the money range: refused when the line is added
                }
                ++checked;
                const QString expression = schema::amountExpression(QString::number(p), QString::number(c));
                QCOMPARE(raw.rows(QStringLiteral("SELECT typeof(%1), %1").arg(expression)),
                         QStringList({QStringLiteral("integer|%1").arg(expected.ticks())}));
            }
        }
        QVERIFY(checked >= 20);
        // The views and the month's total agree with the money code on such a line.
        // In a month of its own, away from the largest amount's.
        const QString month = QDate::currentDate().addMonths(-2).toString(Qt::ISODate);
        line(raw, id, "f", 922500000012345, 9999, month);
        const QString amount = QString::number(Money::fromTicks(922500000012345).times(Money::fromTicks(9999)).ticks());
        QCOMPARE(raw.rows("SELECT typeof(suma), suma FROM ListRashodAll WHERE names = 'f'"), QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT typeof(Suma), Suma FROM TopRashodAll WHERE names = 'f'"), QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows(QStringLiteral("SELECT typeof(suma), suma FROM GrafRashodAll WHERE dates = '%1'").arg(month)),
                 QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows(QStringLiteral("SELECT typeof(suma), suma FROM Itog WHERE kind = 'L' AND month = '%1'")
                              .arg(month.mid(5, 2))),
                 QStringList({"integer|" + amount}));
    }

    void itemNamesAndRatesKeepTheirOrder()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        recordExpenseBatch(*connection, {{"кредит", rub(1), rub(1), "", QDate::currentDate()},
                                         {"кредит", rub(2), rub(1), "", QDate::currentDate()},
                                         {"хлеб", rub(3), rub(1), "", QDate::currentDate()}});
        RawFile raw(path);
        QCOMPARE(raw.rows("SELECT names, id FROM ListR"), QStringList({"хлеб|3", "кредит|2", "кредит|1"}));

        // A row of this month from an earlier year, then one of today: today's comes first.
        raw.exec(QStringLiteral("INSERT INTO Valuta (dates, kurs1) VALUES ('%1', 1)").arg(testing::thisMonthYearsAgo(5)));
        storeRates(*connection, rub(90), rub(100), rub(110));
        QCOMPARE(raw.rows("SELECT id, dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3 FROM Kurs").first(),
                 QStringLiteral("77|%1|Доллар США|900000|Евро|1000000|Фунт|1100000").arg(testing::todayIso()));
    }

    void deletingABatchCascadesToItsLines()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        const qint64 keep = recordExpenseBatch(*connection, {{"чай", rub(1), rub(1), "", QDate::currentDate()}});
        const qint64 gone = recordExpenseBatch(*connection, {{"хлеб", rub(1), rub(2), "", QDate::currentDate()},
                                                             {"сыр", rub(3), rub(1), "", QDate::currentDate()}});
        deleteEntry(*connection, gone);
        RawFile raw(path);
        QCOMPARE(raw.rows("SELECT kod, names FROM Rashod"), QStringList({QStringLiteral("%1|чай").arg(keep)}));
        QCOMPARE(raw.value("SELECT count(*) FROM List").toInt(), 1);
    }

    void engineRefusesWhatDoesNotFit()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile raw(path);
        auto connection = Connection::open(path);
        // The engine itself refuses, whoever writes.
        QSqlQuery q(QSqlDatabase::database());
        const auto refused = [&](const QString &sql) {
            try {
                connection->run(sql);
                return false;
            } catch (const DatabaseError &) {
                return true;
            }
        };
        QVERIFY(refused(QStringLiteral("INSERT INTO List (names) VALUES ('%1')").arg(QString(101, 'x'))));
        QVERIFY(!refused(QStringLiteral("INSERT INTO List (names) VALUES ('%1')").arg(QString(100, 'x'))));
        QVERIFY(refused(QStringLiteral("INSERT INTO Rashod (kod, names) VALUES (999, 'сирота')")));
        QVERIFY(refused(QStringLiteral("INSERT INTO Rashod (names) VALUES ('без журнала')")));
        QVERIFY(refused(QStringLiteral("INSERT INTO Rashod (kod, doc) VALUES (1, '%1')").arg(QString(51, 'x'))));
        QVERIFY(refused(QStringLiteral("INSERT INTO VelTor (pas) VALUES ('%1')").arg(QString(31, 'x'))));
        QVERIFY(refused(QStringLiteral("INSERT INTO List (suma) VALUES (12.5)")));
        QVERIFY(refused(QStringLiteral("INSERT INTO List (dates) VALUES ('16.03.2010')")));
        QCOMPARE(raw.value("SELECT count(*) FROM Rashod").toInt(), 0);

        // The program's own check counts characters as the engine does, and refuses NUL.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        Connection::checkText("Rashod", "doc", emoji.repeated(50));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Connection::checkText("Rashod", "doc", emoji.repeated(51)));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Connection::checkText("Rashod", "doc", QString("a") + QChar(0) + "b"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, recordExpenseBatch(*connection, {{QString(256, 'x'), rub(1), rub(1), "", QDate::currentDate()}}));
        QCOMPARE(raw.value("SELECT count(*) FROM List").toInt(), 1);
    }

    void theProgramsTextCheckAndTheEngineAgreeOnEveryColumn()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile raw(path);
        auto connection = Connection::open(path);
        const qint64 journal = recordExpenseBatch(*connection, {});
        const auto engineTakes = [&](const QString &table, const QString &column, const QString &text) {
            // A line needs its journal row; every other table takes the text alone.
            const bool lines = table == QLatin1String("Rashod");
            try {
                connection->run(QStringLiteral("INSERT INTO %1 (%2%3) VALUES (?%4)")
                                    .arg(table, lines ? QStringLiteral("kod, ") : QString(), column,
                                         lines ? QStringLiteral(", ?") : QString()),
                                lines ? QVariantList{journal, text} : QVariantList{text});
                return true;
            } catch (const DatabaseError &) {
                return false;
            }
        };
        const auto checkTakes = [](const QString &table, const QString &column, const QString &text) {
            try {
                Connection::checkText(table, column, text);
                return true;
            } catch (const DatabaseError &) {
                return false;
            }
        };
        int textColumns = 0;
        for (const QString &table : schema::tables()) {
            for (const QString &column : columnsOf(raw, table)) {
                const int limit = schema::textLimit(table, column);
                QVERIFY2(schema::isKnownColumn(table, column), qPrintable(table + '.' + column));
                if (limit == 0)
                    continue;
                ++textColumns;
                const QString where = table + '.' + column;
                QVERIFY2(checkTakes(table, column, QString(limit, QChar(u'ж'))), qPrintable(where));
                QVERIFY2(engineTakes(table, column, QString(limit, QChar(u'ж'))), qPrintable(where));
                QVERIFY2(!checkTakes(table, column, QString(limit + 1, QChar(u'ж'))), qPrintable(where));
                QVERIFY2(!engineTakes(table, column, QString(limit + 1, QChar(u'ж'))), qPrintable(where));
                QVERIFY2(schema::columnCaption(table, column) != column, qPrintable(where));
            }
        }
        QCOMPARE(textColumns, 14);
        // Any letter case of a table or column name, as the engine takes them.
        QCOMPARE(schema::textLimit("LIST", "Names"), 100);
        QCOMPARE(schema::textLimit("List", "suma"), 0);
        QCOMPARE(schema::columnCaption("List", "suma"), QStringLiteral("suma"));
    }

    void incomeRowsAreToldApartAlikeByTheViewsAndTheWindows()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile raw(path);
        auto connection = Connection::open(path);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        recordIncome(*connection, "Премия", rub(5), "", false);
        recordIncome(*connection, "Доход с вклада", rub(7), "", false);
        recordExpenseBatch(*connection, {{"хлеб", rub(3), rub(1), "", QDate::currentDate()}});
        // The views take the word in any letter case; the program never writes it so.
        journalRow(raw, "ДОХОД - наличные", 110000, today);
        journalRow(raw, "доход - карта", 130000, today);
        journalRow(raw, "Расход и доход", 170000, today);

        QCOMPARE(raw.rows("SELECT nam FROM ListDohodAll ORDER BY nam"),
                 QStringList({"Доход с вклада", "Премия", "карта", "наличные"}));
        QCOMPARE(raw.rows("SELECT suma FROM GrafDohodAll ORDER BY suma"),
                 QStringList({"50000", "70000", "110000", "130000"}));
        QCOMPARE(readTotals(*connection).income, rub(5 + 7 + 11 + 13));
        QCOMPARE(readTotals(*connection).expenses, rub(3 + 17));
        // On the rows the program writes, the windows' test says the same.
        QVERIFY(isIncomeName(kIncomePrefix + "Премия"));
        QVERIFY(isIncomeName(kIncomePrefix + "Доход с вклада"));
        QVERIFY(!isIncomeName(kExpenseName));
        QVERIFY(!isIncomeName(QString()));
    }

    void aTransactionFailingHalfWayLeavesNothing()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        recordExpenseBatch(*connection, {{"первая", rub(5), rub(1), "", QDate::currentDate()}});
        const QByteArray before = RawFile(path).rows("SELECT id || names || suma || dates || times FROM List UNION ALL SELECT id || kod || names FROM Rashod").join('\n').toUtf8();

        // The second line of a batch is refused by the engine.
        connection->run("CREATE TEMP TRIGGER fail_second BEFORE INSERT ON main.Rashod"
                        " WHEN (SELECT count(*) FROM Rashod WHERE kod = NEW.kod) >= 1"
                        " BEGIN SELECT RAISE(ABORT, 'вторая строка отвергнута'); END");
        const QVector<ExpenseLine> batch = {{"a", rub(1), rub(1), "", QDate::currentDate()},
                                            {"b", rub(2), rub(1), "", QDate::currentDate()}};
        QVERIFY_THROWS_EXCEPTION(DatabaseError, recordExpenseBatch(*connection, batch));
        const qint64 first = RawFile(path).value("SELECT id FROM List").toLongLong();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, replaceExpenseBatch(*connection, first, batch));
        QCOMPARE(RawFile(path).rows("SELECT id || names || suma || dates || times FROM List UNION ALL SELECT id || kod || names FROM Rashod").join('\n').toUtf8(), before);

        // Nested: an inner scope undone, the outer one kept.
        connection->run("DROP TRIGGER fail_second");
        {
            Transaction outer(*connection);
            connection->insert("Dohod", {{"names", "внешний"}});
            {
                Transaction inner(*connection);
                connection->insert("Dohod", {{"names", "внутренний"}});
            }
            outer.commit();
        }
        QCOMPARE(RawFile(path).rows("SELECT names FROM Dohod WHERE id > 7"), QStringList({"внешний"}));
    }

    void replacingABatchKeepsItsDate()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile raw(path);
        const qint64 old = journalRow(raw, "Расход", 10000, "2009-03-15", "09:05:03");
        line(raw, old, "старое", 10000, 10000, "2009-03-15");
        auto connection = Connection::open(path);
        const qint64 id = replaceExpenseBatch(*connection, old, {{"новое", rub(2), rub(3), "чек", QDate(2009, 3, 14)}});
        QVERIFY(id != old);
        QCOMPARE(raw.rows("SELECT names, suma, dates FROM List"), QStringList({"Расход|60000|2009-03-15"}));
        QCOMPARE(raw.rows("SELECT kod, names, price, counts, doc, dates FROM Rashod"),
                 QStringList({QStringLiteral("%1|новое|20000|30000|чек|2009-03-14").arg(id)}));
    }

    void datasetReadsByNameWithExactCountAndFilter()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        QVector<ExpenseLine> many;
        for (int i = 0; i < 600; ++i)
            many.append({QStringLiteral("товар %1").arg(i), rub(i), rub(1), "", QDate::currentDate()});
        const qint64 big = recordExpenseBatch(*connection, many);
        recordExpenseBatch(*connection, {{"отдельно", rub(7), rub(1), "", QDate::currentDate()}});

        Dataset lines;
        lines.setConnection(connection.get());
        lines.setSource("Rashod");
        lines.setFilter("kod", big);
        lines.open();
        QCOMPARE(lines.count(), 600);
        QCOMPARE(lines.current(), 0);
        lines.moveTo(599);
        QCOMPARE(lines.value("NAMES").toString(), QStringLiteral("товар 599"));
        QCOMPARE(lines.value("price").value<Money>(), rub(599));
        QCOMPARE(lines.value("dates").toDate(), QDate::currentDate());
        QVERIFY(lines.value("comments").isNull());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, lines.value("nosuchcolumn"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, lines.moveTo(600));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, lines.setSource("List"));
        lines.close();
        lines.clearFilter();
        lines.open();
        QCOMPARE(lines.count(), 601);

        Dataset totals;
        totals.setConnection(connection.get());
        totals.setSource("ItogRashod");
        totals.open();
        QCOMPARE(totals.count(), 1);
        QCOMPARE(totals.value("itogR").value<Money>(), rub(599 * 600 / 2 + 7));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, totals.setSource("'; DROP TABLE List; --"));

        Dataset journal;
        journal.setConnection(connection.get());
        journal.setSource("ListZ");
        journal.open();
        QCOMPARE(journal.rowCount(), 2);
        QCOMPARE(journal.data(journal.index(0, journal.columnIndex("suma"))).toString(), QStringLiteral("7"));
        QCOMPARE(journal.data(journal.index(1, journal.columnIndex("dates"))).toString(),
                 QDate::currentDate().toString("dd.MM.yyyy"));
    }

    void refusedFilesStayByteForByte_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("Это не база данных\n");
        QTest::newRow("jet header") << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4000, '\0');
        QTest::newRow("sqlite header only") << QByteArray("SQLite format 3\0", 16) + QByteArray(200, '\x7f');
    }
    void refusedFilesStayByteForByte()
    {
        QFETCH(QByteArray, content);
        Workspace ws;
        const QString path = ws.path("bad.tor");
        QVERIFY(testing::writeFile(path, content));
        const QByteArray digest = testing::fileDigest(path);
        try {
            Connection::open(path);
            QFAIL("opened");
        } catch (const ConnectionError &e) {
            QCOMPARE(e.path(), path);
        }
        QCOMPARE(testing::fileDigest(path), digest);
        QCOMPARE(QDir(ws.path("")).entryList(QDir::Files), QStringList({"bad.tor"}));
    }

    void foreignAndDamagedLedgersAreRefused()
    {
        Workspace ws;
        // Another program's SQLite database.
        const QString foreign = ws.path("foreign.tor");
        {
            RawFile raw(foreign);
            raw.exec("CREATE TABLE List (id INTEGER PRIMARY KEY, names TEXT)");
        }
        const QByteArray foreignDigest = testing::fileDigest(foreign);
        QVERIFY_THROWS_EXCEPTION(ConnectionError, Connection::open(foreign));
        QCOMPARE(testing::fileDigest(foreign), foreignDigest);

        // A ledger cut short.
        const QString ledgerPath = ws.newLedger("cut.tor");
        QByteArray bytes = testing::fileBytes(ledgerPath);
        QVERIFY(testing::writeFile(ledgerPath, bytes.left(4096 + 100)));
        const QByteArray cutDigest = testing::fileDigest(ledgerPath);
        QVERIFY_THROWS_EXCEPTION(ConnectionError, Connection::open(ledgerPath));
        QCOMPARE(testing::fileDigest(ledgerPath), cutDigest);

        // Missing, a folder, and a ledger of a newer program.
        try {
            Connection::open(ws.path("nothing.tor"));
            QFAIL("opened");
        } catch (const ConnectionError &e) {
            QCOMPARE(e.reason(), ConnectionError::Reason::Missing);
        }
        QVERIFY(!QFileInfo::exists(ws.path("nothing.tor")));
        QDir(ws.path("")).mkdir("folder.tor");
        QVERIFY_THROWS_EXCEPTION(ConnectionError, Connection::open(ws.path("folder.tor")));
        const QString newer = ws.newLedger("newer.tor");
        RawFile(newer).exec(QStringLiteral("PRAGMA user_version = %1").arg(schema::currentVersion() + 1));
        const QByteArray newerDigest = testing::fileDigest(newer);
        try {
            Connection::open(newer);
            QFAIL("opened");
        } catch (const ConnectionError &e) {
            QCOMPARE(e.reason(), ConnectionError::Reason::TooNew);
        }
        QCOMPARE(testing::fileDigest(newer), newerDigest);
    }

    void creatingNeverReplacesAFile()
    {
        Workspace ws;
        const QString path = ws.path("vel.tor");
        QVERIFY(testing::writeFile(path, "мои данные"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Connection::create(path));
        QCOMPARE(testing::fileBytes(path), QByteArray("мои данные"));
        QCOMPARE(QDir(ws.path("")).entryList(QDir::Files), QStringList({"vel.tor"}));
        // A name with characters that mean something in a URI.
        const QString odd = ws.path("дом #1 ?50%.tor");
        Connection::create(odd);
        QVERIFY(Connection::open(odd));
        QCOMPARE(QDir(ws.path("")).entryList(QDir::Files).size(), 2);
    }

    void totalsKeptInTheFileMatchTheRowsWhoeverWrites()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        RawFile raw(path);
        const QDate today = QDate::currentDate();
        const QDate yearsAgo = QDate::fromString(testing::thisMonthYearsAgo(2, 3), Qt::ISODate);
        const QDate other = QDate::fromString(testing::otherMonth(), Qt::ISODate);

        // The four figures worked out from the rows themselves, as the panel means them.
        const auto expected = [&] {
            Totals t;
            for (const QString &row : raw.rows("SELECT names, suma, dates FROM List WHERE suma IS NOT NULL")) {
                const QStringList f = row.split('|');
                const Money suma = Money::fromTicks(f[1].toLongLong());
                const bool income = f[0].left(5).compare(QStringLiteral("Доход"), Qt::CaseInsensitive) == 0;
                if (f[0] == "NULL")
                    continue;
                (income ? t.income : t.expenses) += suma;
                if (income && f[2].mid(5, 2).toInt() == today.month())
                    t.monthIncome += suma;
            }
            for (const QString &row : raw.rows("SELECT price, counts, dates FROM Rashod")) {
                const QStringList f = row.split('|');
                if (f[2].mid(5, 2).toInt() == today.month())
                    t.monthExpenses += Money::fromTicks(f[0].toLongLong()).times(Money::fromTicks(f[1].toLongLong()));
            }
            return t;
        };
        const auto agree = [&](const char *step) {
            const Totals stored = readTotals(*connection);
            const Totals counted = expected();
            QVERIFY2(stored.expenses == counted.expenses, step);
            QVERIFY2(stored.income == counted.income, step);
            QVERIFY2(stored.monthExpenses == counted.monthExpenses, step);
            QVERIFY2(stored.monthIncome == counted.monthIncome, step);
        };

        const qint64 a = recordExpenseBatch(*connection, {{"хлеб", rub(3), Money::fromTicks(3333), "", today},
                                                          {"сыр", rub(5), rub(2), "", yearsAgo}});
        const qint64 b = recordExpenseBatch(*connection, {{"чай", rub(7), rub(1), "", other}});
        recordIncome(*connection, "Премия", rub(500), "", false);
        const qint64 old = recordIncome(*connection, "Зарплата", rub(900), "", false,
                                        QDateTime(yearsAgo, QTime(8, 0)));
        recordIncome(*connection, "Гонорар", rub(40), "", false, QDateTime(other, QTime(8, 0)));
        agree("inserts");

        replaceExpenseBatch(*connection, a, {{"хлеб", rub(4), rub(1), "", other}});
        connection->run("UPDATE List SET suma = suma * 2, dates = ? WHERE id = ?", {other, old});
        connection->run("UPDATE Rashod SET dates = ?, price = 123456 WHERE kod = ?", {today, b});
        connection->run("UPDATE List SET names = 'Доход - был расход' WHERE id = ?", {b});
        agree("edits");

        deleteEntry(*connection, b); // its line goes with it
        QCOMPARE(raw.value(QStringLiteral("SELECT count(*) FROM Rashod WHERE kod = %1").arg(b)).toInt(), 0);
        agree("deletes");

        // The stock command-line tool writes without the program, foreign keys off.
        QProcess tool;
        tool.start("sqlite3", {path, "INSERT INTO List (names, suma) VALUES ('Доход - наличные', 70000);"
                                     " INSERT INTO List (names, suma) VALUES ('Расход', 20000);"
                                     " INSERT INTO Rashod (kod, price, counts, dates) VALUES (last_insert_rowid(), 20000, 10000, date('now', 'localtime'));"
                                     " INSERT INTO List (names, suma) VALUES (NULL, 99990000);"
                                     " DELETE FROM List WHERE names = 'Доход - Премия';"});
        QVERIFY(tool.waitForFinished(testing::kEventBound));
        QCOMPARE(tool.exitCode(), 0);
        agree("the stock tool");

        // A total that would leave the money range refuses the write and changes nothing.
        const QByteArray before = testing::fileDigest(path);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, recordIncome(*connection, "x", Money::max(), "", false));
        QCOMPARE(testing::fileDigest(path), before);
        agree("refused");
    }

    void figuresKeptPerDateMatchTheLinesWhateverIsWritten()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = Connection::open(path);
        RawFile raw(path);
        const QDate today = QDate::currentDate();
        recordExpenseBatch(*connection, {{"хлеб", rub(3), Money::fromTicks(3333), "", today},
                                         {"сыр", rub(5), rub(2), "", today}, {"чай", rub(5), rub(2), "", today.addDays(-3)}});
        QCOMPARE(keptPerDate(raw), countedPerDate(raw));
        QCOMPARE(keptPerDate(raw).size(), 2);

        // Straight SQL, as another tool writes: lines with and without a date or an amount,
        // equal amounts, a day's lowest and highest going and coming back, whole batches gone.
        const QStringList days = {"NULL", "'2020-01-05'", "'2020-01-05 10:00:00'", "'2020-01-06'", "'2021-12-31'"};
        QRandomGenerator random(20261209);
        for (int step = 0; step < 400; ++step) {
            const QString day = days.at(random.bounded(days.size()));
            const QString price = random.bounded(8) == 0 ? QStringLiteral("NULL") : QString::number(random.bounded(6) * 10000);
            const int kind = random.bounded(10);
            if (kind < 5) {
                connection->run(QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES"
                                               " ((SELECT max(id) FROM List), 'x', %1, %2, %3)")
                                    .arg(price, random.bounded(2) ? "10000" : "20000", day));
            } else if (kind < 7) {
                connection->run(QStringLiteral("UPDATE Rashod SET price = %1 WHERE id = (SELECT id FROM Rashod"
                                               " ORDER BY (id * 7919 + %2) % 101 LIMIT 1)")
                                    .arg(price)
                                    .arg(step));
            } else if (kind < 8) {
                connection->run(QStringLiteral("UPDATE Rashod SET dates = %1 WHERE id = (SELECT id FROM Rashod"
                                               " ORDER BY (id * 7919 + %2) % 101 LIMIT 1)")
                                    .arg(day)
                                    .arg(step));
            } else if (kind < 9) {
                connection->run(QStringLiteral("DELETE FROM Rashod WHERE id = (SELECT id FROM Rashod"
                                               " ORDER BY (id * 7919 + %1) % 101 LIMIT 1)")
                                    .arg(step));
            } else {
                recordExpenseBatch(*connection, {{"батон", rub(random.bounded(5)), rub(1), "", today.addDays(-random.bounded(3))}});
            }
            if (step % 20 == 0)
                QCOMPARE(keptPerDate(raw), countedPerDate(raw));
        }
        QCOMPARE(keptPerDate(raw), countedPerDate(raw));
        // A batch deleted from the journal takes its lines' figures with it.
        for (const QString &id : raw.rows("SELECT id FROM List"))
            deleteEntry(*connection, id.toLongLong());
        QCOMPARE(keptPerDate(raw), QStringList());
    }

    void aLedgerWithoutFiguresPerDateGetsThemWhenOpened()
    {
        // Version 4, as the program before wrote it, with lines another tool added since.
        Workspace ws;
        const QString path = ws.newLedger();
        {
            RawFile raw(path);
            for (const char *trigger : {"Rashod_day_insert", "Rashod_day_delete", "Rashod_day_update"})
                raw.exec(QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(trigger)));
            raw.exec("DROP TABLE GrafDay");
            raw.exec("PRAGMA user_version = 4");
            raw.exec("INSERT INTO List (names, suma, dates) VALUES ('Расход', 0, '2022-05-06')");
            raw.exec("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES (1, 'a', 500000, 10000, '2022-05-06'),"
                     " (1, 'b', NULL, 10000, '2022-05-06'), (1, 'c', 20000, 30000, NULL), (1, 'd', 70000, 10000, '2022-05-06')");
        }
        auto connection = Connection::open(path);
        RawFile raw(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), schema::currentVersion());
        QCOMPARE(keptPerDate(raw), QStringList({"NULL|1|0|60000|60000", "2022-05-06|3|1|70000|500000"}));
        // And keeps them from then on.
        raw.exec("DELETE FROM Rashod WHERE names = 'a'");
        QCOMPARE(keptPerDate(raw), QStringList({"NULL|1|0|60000|60000", "2022-05-06|2|1|70000|70000"}));
    }

    void aLedgerOfAnEarlierVersionIsUpgradedWithoutLoss_data()
    {
        testing::addEarlierLedgerRows();
    }

    void aLedgerOfAnEarlierVersionIsUpgradedWithoutLoss()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        Workspace ws;
        const QString path = ws.path("old.tor");
        QVERIFY(testing::copyTestData(file, path));
        QCOMPARE(RawFile(path).value("PRAGMA user_version").toInt(), version);
        // Every view and table as the stock engine shows it, before and after.
        const QMap<QString, QStringList> before = testing::ledgerContents(path);
        if (version == 2) // lines in every month: this month's top is never empty
            QVERIFY(!before.value("TopRashod").isEmpty());
        auto connection = Connection::open(path);
        RawFile raw(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), schema::currentVersion());
        const QMap<QString, QStringList> after = testing::ledgerContents(path);
        for (const QString &name : before.keys())
            QCOMPARE(after.value(name), before.value(name));
        // The month's largest lines still come largest first, now read off an index.
        const QStringList top = raw.rows("SELECT Suma FROM TopRashod");
        for (int i = 1; i < top.size(); ++i)
            QVERIFY2(top[i - 1].toLongLong() >= top[i].toLongLong(), qPrintable(top.mid(i - 1, 2).join(" < ")));
        const QString plan = raw.rows("EXPLAIN QUERY PLAN SELECT * FROM TopRashod LIMIT 100").join('\n');
        QVERIFY2(!plan.contains("TEMP B-TREE"), qPrintable(plan));
        // The charts read an index alone, in the views' order.
        for (const char *view : {"GrafRashodAll", "GrafRashod", "GrafDohodAll", "GrafDohod"}) {
            const QString chart = raw.rows(QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM %1").arg(view)).join('\n');
            QVERIFY2(chart.contains("COVERING INDEX") && !chart.contains("TEMP B-TREE"), qPrintable(chart));
        }
        // The upgraded file has what a new ledger has: indexes, triggers and views alike.
        const QString objects = QStringLiteral("SELECT type, name, sql FROM sqlite_master"
                                               " WHERE type IN ('index', 'trigger', 'view') ORDER BY name");
        QCOMPARE(raw.rows(objects), RawFile(ws.newLedger()).rows(objects));
        QCOMPARE(keptPerDate(raw), countedPerDate(raw));
        QVERIFY(!keptPerDate(raw).isEmpty());
        // And the upgraded file goes on keeping its totals.
        const Totals was = readTotals(*connection);
        recordIncome(*connection, "Премия", rub(10), "", false);
        QCOMPARE(readTotals(*connection).income, was.income + rub(10));
        QCOMPARE(raw.value("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'").toInt(), 9);
    }

    void amountsTheEarlierViewsGotWrongAreExactAfterTheUpgrade()
    {
        // A ledger of version 2 holding a line of 92250000001,2345 x 0,9999, dated
        // 10.02.2024, whose amount the views of that version computed as a floating-point
        // number (922407750012345.0 where it is 922407750012344), the month's total too.
        Workspace ws;
        const QString path = ws.path("v2.tor");
        QVERIFY(testing::copyTestData("ledger-v2-amounts.tor", path));
        QCOMPARE(RawFile(path).value("PRAGMA user_version").toInt(), 2);
        auto connection = Connection::open(path);
        RawFile raw(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), schema::currentVersion());
        const QString amount = "922407750012344";
        QCOMPARE(raw.rows("SELECT typeof(suma), suma FROM ListRashodAll WHERE names = 'дом'"), QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT typeof(Suma), Suma FROM TopRashodAll LIMIT 1"), QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT typeof(suma), suma FROM GrafRashodAll WHERE dates = '2024-02-10'"),
                 QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT kind, month, typeof(suma), suma, n FROM Itog ORDER BY kind, month"),
                 QStringList({"D||integer|10000000|1", "D|02|integer|10000000|1", "L|01|integer|500000|1",
                              "L|02|integer|" + amount + "|1", "R||integer|922407750512344|1"}));
        // The month goes on taking lines.
        recordExpenseBatch(*connection, {{"свет", rub(10), rub(1), "", QDate(2024, 2, 20)}});
        QCOMPARE(raw.rows("SELECT suma FROM Itog WHERE kind = 'L' AND month = '02'"), QStringList({"922407750112344"}));
        QCOMPARE(raw.value("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'").toInt(), 9);
    }

    void aLedgerThatLostItsVersionIsUpgradedOnceAfterOneCopy_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("version");
        QTest::newRow("a new ledger at 0") << QString() << 0;
        QTest::newRow("a new ledger at -5") << QString() << -5;
        QTest::newRow("a ledger of version 1 at 0") << QStringLiteral("ledger-v1.tor") << 0;
    }

    void aLedgerThatLostItsVersionIsUpgradedOnceAfterOneCopy()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        Workspace ws;
        QString path = ws.path("lost.tor");
        if (file.isEmpty())
            path = ws.newLedger("lost.tor");
        else
            QVERIFY(testing::copyTestData(file, path));
        RawFile(path).exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
        const QMap<QString, QStringList> before = testing::ledgerContents(path);
        const QDir folder(backup::Folder::standardPath());
        const QStringList earlier = folder.entryList({"lost-*.tor*"}, QDir::Files);
        for (int opening = 0; opening < 3; ++opening)
            QVERIFY(Connection::open(path)->repaired().isClean());
        QStringList copies = folder.entryList({"lost-*.tor*"}, QDir::Files);
        for (const QString &copy : earlier)
            copies.removeOne(copy);
        QCOMPARE(copies.size(), 1);
        QVERIFY(copies.first().contains("-before-upgrade"));
        RawFile raw(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), schema::currentVersion());
        const QString objects = QStringLiteral("SELECT type, name, sql FROM sqlite_master"
                                               " WHERE type IN ('index', 'trigger', 'view') ORDER BY name");
        QCOMPARE(raw.rows(objects), RawFile(ws.newLedger()).rows(objects));
        QCOMPARE(testing::ledgerContents(path), before);
    }

    void connectionRunsWithForeignKeysAndDurableJournal()
    {
        Workspace ws;
        auto connection = Connection::open(ws.newLedger());
        QCOMPARE(connection->scalar("PRAGMA foreign_keys").toInt(), 1);
        QCOMPARE(connection->scalar("PRAGMA synchronous").toInt(), 2);
        QCOMPARE(connection->scalar("PRAGMA journal_mode").toString(), QStringLiteral("delete"));
        // SQL stored in the file calls no function with side effects, and nothing writes the
        // catalog behind the program's back.
        QCOMPARE(connection->scalar("PRAGMA trusted_schema").toInt(), 0);
        connection->run("PRAGMA writable_schema = ON");
        QVERIFY_THROWS_EXCEPTION(DatabaseError, connection->run("UPDATE sqlite_master SET sql = 'x' WHERE name = 'ListZ'"));
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "test_store.moc"
