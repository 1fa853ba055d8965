// The price history of an item: the purchases read for an exact name and a period, the
// five figures, the time axis and its reduced line, the window with its item box, and the
// ledger upgrade that brings the index the history is read through.
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "charts/chartdata.h"
#include "charts/plot.h"
#include "charts/pricehistorychart.h"
#include "ledger/database.h"
#include "ledger/reads.h"
#include "ledger/regional.h"
#include "ledger/schema.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <cmath>

using namespace testing;
using charts::PricePoint;
using ledger::Money;

namespace {

Money rub(double roubles)
{
    return Money::fromDouble(roubles);
}

// A ledger in the application folder, opened by the program at start-up, with purchases
// written behind the program's back so that their dates are ours to choose. Each purchase
// is a batch of its own; lines of one day are entered in the order given.
struct Ledger : AppLedger
{
    void buy(const QString &item, double price, const QString &date, double count = 1)
    {
        const qint64 priceTicks = std::llround(price * 10000);
        const qint64 countTicks = std::llround(count * 10000);
        raw.exec(QStringLiteral("INSERT INTO List (names, suma, dates, times) VALUES ('Расход', %1, '%2', '12:00:00')")
                     .arg(priceTicks * countTicks / 10000)
                     .arg(date.left(10)));
        raw.exec(QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, doc, dates)"
                                " VALUES ((SELECT max(id) FROM List), '%1', %2, %3, 'чек', '%4')")
                     .arg(item)
                     .arg(priceTicks)
                     .arg(countTicks)
                     .arg(date));
    }
};

qint64 dayKey(const QString &isoDate, int seconds = 0)
{
    return QDate::fromString(isoDate, Qt::ISODate).toJulianDay() * 86400 + seconds;
}

PricePoint point(const QString &isoDate, double price)
{
    return {dayKey(isoDate), rub(price)};
}

// The purchases of the main example: one item at known prices, two of them on one day, a
// twin whose name differs in letter case only, one spelt with a trailing space, and an item
// bought once.
void buyMilkAndMore(Ledger &data)
{
    data.buy("Молоко", 60, "2023-01-10", 2);
    data.buy("молоко", 1000, "2023-02-01");
    data.buy("Молоко", 65, "2023-03-05");
    data.buy("Молоко", 58, "2023-03-05", 3); // the same day, entered after
    data.buy("Молоко ", 500, "2023-04-01");
    data.buy("Молоко", 80, "2024-06-01");
    data.buy("Сыр", 400, "2024-07-07");
    data.buy("Молоко", 71.5, "2024-09-15 18:30:00");
}

const QVector<PricePoint> kMilk = {point("2023-01-10", 60), point("2023-03-05", 65), point("2023-03-05", 58),
                                   point("2024-06-01", 80), {dayKey("2024-09-15", 18 * 3600 + 30 * 60), rub(71.5)}};

template<typename T>
T *open(Program &program)
{
    QAction *command = program.window().findChild<QAction *>(QStringLiteral("N11"));
    if (!command)
        return nullptr;
    command->trigger();
    auto *window = qobject_cast<T *>(program.window().findChildWindow(app::ChildKind::PriceHistory));
    if (window && !QTest::qWaitFor([window] { return window->isStarted(); }, 15000))
        qWarning("the price history did not start");
    return window;
}

QList<QPointF> drawn(charts::PriceHistoryChart *window)
{
    QList<QPointF> points;
    for (QLineSeries *series : window->plot().lineSeries(window->priceLine()))
        points += series->points();
    return points;
}

QString figure(QWidget *window, const char *name)
{
    auto *label = find<QLabel>(window, QLatin1String(name));
    return label ? label->text() : QStringLiteral("(no %1)").arg(QLatin1String(name));
}

QStringList figures(QWidget *window)
{
    return {figure(window, "FirstPrice"), figure(window, "LowestPrice"), figure(window, "HighestPrice"),
            figure(window, "LastPrice"), figure(window, "PriceChange"), figure(window, "PurchaseCount")};
}

// Every table and view of a ledger as the stock engine shows it.
QStringList itemIndexColumns(const QString &path)
{
    return RawFile(path).rows(QStringLiteral("SELECT name FROM pragma_index_info('Rashod_item') ORDER BY seqno"));
}

} // namespace

class PriceHistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    // What is read from the ledger, and the figures.

    void purchasesOfTheExactNameInDateAndEntryOrder()
    {
        Ledger data;
        buyMilkAndMore(data);
        auto connection = ledger::Connection::open(data.path);
        QCOMPARE(charts::readPriceHistory(*connection, "Молоко", true), kMilk);
        // Letter case, and a trailing space, make other items.
        QCOMPARE(charts::readPriceHistory(*connection, "молоко", true), QVector<PricePoint>({point("2023-02-01", 1000)}));
        QCOMPARE(charts::readPriceHistory(*connection, "Молоко ", true), QVector<PricePoint>({point("2023-04-01", 500)}));
        QCOMPARE(charts::readPriceHistory(*connection, "МОЛОКО", true), QVector<PricePoint>());
        QCOMPARE(charts::readPriceHistory(*connection, "Сыр", true), QVector<PricePoint>({point("2024-07-07", 400)}));
        QCOMPARE(charts::readPriceHistory(*connection, "", true), QVector<PricePoint>());
        // A name with a quote is a name like any other.
        data.raw.exec("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES ((SELECT max(id) FROM List),"
                      " 'Сок \"Д''обрый\"', 1234500, 10000, '2024-01-02')");
        QCOMPARE(charts::readPriceHistory(*connection, "Сок \"Д'обрый\"", true),
                 QVector<PricePoint>({point("2024-01-02", 123.45)}));
        QCOMPARE(charts::newestItemName(*connection), QStringLiteral("Сок \"Д'обрый\""));
        // A line without a date cannot stand on the time axis; one without a price has none.
        data.raw.exec("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES ((SELECT max(id) FROM List),"
                      " 'Сыр', 390000, 10000, NULL)");
        data.raw.exec("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES ((SELECT max(id) FROM List),"
                      " 'Сыр', NULL, 10000, '2024-08-01')");
        QCOMPARE(charts::readPriceHistory(*connection, "Сыр", true), QVector<PricePoint>({point("2024-07-07", 400)}));

        QCOMPARE(charts::readItemNames(*connection),
                 QStringList({"молоко", "Молоко", "Молоко ", "Сок \"Д'обрый\"", "Сыр"}));
        QCOMPARE(charts::newestItemName(*connection), QStringLiteral("Сыр"));
    }

    void theCurrentMonthInEveryYear()
    {
        Ledger data;
        data.buy("Хлеб", 30, thisMonthYearsAgo(2, 3));
        data.buy("Хлеб", 35, otherMonth(4));
        data.buy("Хлеб", 40, thisMonthYearsAgo(1, 20));
        data.buy("Хлеб", 45, thisMonthYearsAgo(0, 1));
        data.buy("хлеб", 99, thisMonthYearsAgo(0, 2));
        auto connection = ledger::Connection::open(data.path);
        QCOMPARE(charts::readPriceHistory(*connection, "Хлеб", false),
                 QVector<PricePoint>({point(thisMonthYearsAgo(2, 3), 30), point(thisMonthYearsAgo(1, 20), 40),
                                      point(thisMonthYearsAgo(0, 1), 45)}));
        QCOMPARE(charts::readPriceHistory(*connection, "Хлеб", true).size(), 4);
    }

    void theFiveFigures()
    {
        charts::PriceFigures milk = charts::priceFigures(kMilk);
        QCOMPARE(milk.purchases, 5);
        QCOMPARE(milk.first, rub(60));
        QCOMPARE(milk.lowest, rub(58));
        QCOMPARE(milk.highest, rub(80));
        QCOMPARE(milk.last, rub(71.5));
        QVERIFY(milk.change.has_value());
        QCOMPARE(*milk.change, rub(19.17)); // 11,5 / 60 = 19,1666...
        QCOMPARE(charts::percentText(*milk.change), QStringLiteral("+19,17\u00a0%"));

        // Bought once: every price is that one, and nothing changed.
        const charts::PriceFigures once = charts::priceFigures({point("2024-07-07", 400)});
        QCOMPARE(once.first, rub(400));
        QCOMPARE(once.lowest, rub(400));
        QCOMPARE(once.highest, rub(400));
        QCOMPARE(once.last, rub(400));
        QCOMPARE(charts::percentText(*once.change), QStringLiteral("0,00\u00a0%"));

        const charts::PriceFigures fall = charts::priceFigures({point("2024-01-01", 50), point("2024-02-01", 45)});
        QCOMPARE(charts::percentText(*fall.change), QStringLiteral("-10,00\u00a0%"));
        // Ties go to the even hundredth: 1/8 of a per cent up is 0,125 %.
        const charts::PriceFigures tie = charts::priceFigures({point("2024-01-01", 800), point("2024-02-01", 801)});
        QCOMPARE(*tie.change, rub(0.12));
        // From a price of nothing there is no per cent.
        QVERIFY(!charts::priceFigures({point("2024-01-01", 0), point("2024-02-01", 5)}).change.has_value());
        QCOMPARE(charts::priceFigures({}).purchases, 0);
    }

    // The time axis and the line drawn for a long history.

    void dateLabelsStepByDaysMonthsAndYears()
    {
        const qint64 base = QDate(2023, 1, 1).toJulianDay();
        const auto dates = [](const QVector<QPair<double, QString>> &ticks) {
            QStringList texts;
            for (const auto &tick : ticks)
                texts << tick.second;
            return texts;
        };
        // Room for every day.
        QCOMPARE(dates(charts::dateTicks(base, 0, 3, 100, 80)),
                 QStringList({"01.01.2023", "02.01.2023", "03.01.2023", "04.01.2023"}));
        // Every first of a month over a year at 3 pixels a day.
        const auto months = charts::dateTicks(base, 0, 364, 3, 80);
        QCOMPARE(months.size(), 12);
        QCOMPARE(months.first(), qMakePair(0.0, QStringLiteral("01.01.2023")));
        QCOMPARE(months.at(1), qMakePair(31.0, QStringLiteral("01.02.2023")));
        QCOMPARE(months.last().second, QStringLiteral("01.12.2023"));
        // Twenty years on 500 pixels: every other New Year.
        const auto years = charts::dateTicks(base, -3000, 4300, 500.0 / 7300, 40);
        QVERIFY(!years.isEmpty());
        for (const auto &[position, text] : years) {
            const QDate date = QDate::fromJulianDay(base + qint64(position));
            QCOMPARE(text, regional::shortDate(date));
            QCOMPARE(date.dayOfYear(), 1);
            QCOMPARE(date.year() % 2, 0);
        }
        for (int i = 1; i < years.size(); ++i)
            QVERIFY((years[i].first - years[i - 1].first) * 500.0 / 7300 >= 40);
        QVERIFY(charts::dateTicks(base, 5, 1, 3, 80).isEmpty());
    }

    void aLongHistoryIsDrawnFromFewPointsKeepingItsHighsAndLows()
    {
        // Few points: all of them, and the neighbours just outside the range.
        const QVector<QPointF> few = {{0, 1}, {1, 2}, {1, 5}, {2, 3}, {3, 4}};
        QCOMPARE(charts::visibleTrace(few, 0, 3, 100), few);
        QCOMPARE(charts::visibleTrace(few, 1.5, 2.5, 100), QVector<QPointF>({{1, 5}, {2, 3}, {3, 4}}));
        QVERIFY(charts::visibleTrace({}, 0, 1, 10).isEmpty());

        // 100,000 purchases over 100 columns: at most four points a column, the extremes kept.
        QVector<QPointF> many;
        for (int i = 0; i < 100000; ++i)
            many.append(QPointF(i / 10.0, 100 + (i % 97) - (i == 54321 ? 500 : 0) + (i == 777 ? 900 : 0)));
        const QVector<QPointF> trace = charts::visibleTrace(many, 0, 9999.9, 100);
        QVERIFY(trace.size() <= 400);
        QVERIFY(trace.size() >= 100);
        QVERIFY(trace.contains(many[54321]));
        QVERIFY(trace.contains(many[777]));
        QCOMPARE(trace.first(), many.first());
        QCOMPARE(trace.last(), many.last());
        for (int i = 1; i < trace.size(); ++i)
            QVERIFY(trace[i].x() >= trace[i - 1].x());
    }

    // The window.

    void openedFromTheChartMenuOnceAndOnlyWithALedger()
    {
        MessageLog log;
        {
            Program program; // no ledger: the create-ledger dialog is cancelled
            QAction *command = program.window().findChild<QAction *>(QStringLiteral("N11"));
            QVERIFY(command);
            QCOMPARE(command->text(), QStringLiteral("История цен"));
            QCOMPARE(command->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
            QVERIFY(!command->isEnabled());
            QTest::keyClick(&program.window(), Qt::Key_H, Qt::ControlModifier);
            QVERIFY(program.window().mdiArea()->subWindowList().isEmpty());
            auto *menu = program.window().findChild<QMenu *>(QStringLiteral("PopupMenu3"));
            QVERIFY(menu && menu->actions().contains(command));
            // No other command answers the same key.
            for (QAction *other : program.window().findChildren<QAction *>()) {
                if (other != command)
                    QVERIFY2(other->shortcut() != command->shortcut(), qPrintable(other->objectName()));
            }
        }
        QCOMPARE(log.texts(), QStringList());

        Ledger data;
        buyMilkAndMore(data);
        Program program;
        QAction *command = program.window().findChild<QAction *>(QStringLiteral("N11"));
        QVERIFY(command->isEnabled());
        QTest::keyClick(&program.window(), Qt::Key_H, Qt::ControlModifier);
        auto *window = qobject_cast<charts::PriceHistoryChart *>(
            program.window().findChildWindow(app::ChildKind::PriceHistory));
        QVERIFY(window);
        QVERIFY(QTest::qWaitFor([window] { return window->isStarted(); }, 15000));
        QCOMPARE(window->objectName(), QStringLiteral("TForm14"));
        QCOMPARE(window->pos(), QPoint(120, 30));
        QCOMPARE(window->periodBox()->currentIndex(), 1);
        // Asked again: still that one window.
        command->trigger();
        QTest::keyClick(&program.window(), Qt::Key_H, Qt::ControlModifier);
        int histories = 0;
        for (QMdiSubWindow *sub : program.window().mdiArea()->subWindowList())
            histories += sub->windowTitle() == QStringLiteral("История цен") ? 1 : 0;
        QCOMPARE(histories, 1);

        // It opens on the item bought last, with the names of the lines to pick from.
        QCOMPARE(window->itemBox()->currentText(), QStringLiteral("Молоко"));
        QCOMPARE(window->itemBox()->count(), 4);
        QCOMPARE(window->points(), kMilk);
        QCOMPARE(figures(window), QStringList({"60,00 руб.", "58,00 руб.", "80,00 руб.", "71,50 руб.",
                                               "+19,17\u00a0%", "5"}));
        // Opening another ledger closes it.
        program.window().LoadDB(data.path);
        QVERIFY(!program.window().findChildWindow(app::ChildKind::PriceHistory));
        QCOMPARE(log.texts(), QStringList());
    }

    void aTypedNameIsShownExactlyAsTyped()
    {
        MessageLog log;
        Ledger data;
        buyMilkAndMore(data);
        Program program;
        auto *window = open<charts::PriceHistoryChart>(program);
        QVERIFY(window);
        QComboBox *box = window->itemBox();

        // The lower-case twin, typed: its own single purchase, and the box keeps what was typed.
        box->lineEdit()->selectAll();
        type(box->lineEdit(), QStringLiteral("молоко"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QCOMPARE(window->shownItem(), QStringLiteral("молоко"));
        QCOMPARE(box->currentText(), QStringLiteral("молоко"));
        QCOMPARE(window->points(), QVector<PricePoint>({point("2023-02-01", 1000)}));
        QCOMPARE(figures(window), QStringList({"1000,00 руб.", "1000,00 руб.", "1000,00 руб.", "1000,00 руб.",
                                               "0,00\u00a0%", "1"}));
        // One purchase is a dot.
        QCOMPARE(drawn(window).size(), 1);
        QVERIFY(window->plot().lineSeries(window->priceLine()).first()->pointsVisible());

        // A name that no line carries in this letter case: nothing, and no message.
        box->lineEdit()->selectAll();
        type(box->lineEdit(), QStringLiteral("МОЛОКО"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QCOMPARE(window->shownItem(), QStringLiteral("МОЛОКО"));
        QCOMPARE(box->currentText(), QStringLiteral("МОЛОКО"));
        QVERIFY(window->points().isEmpty());
        QVERIFY(drawn(window).isEmpty());
        QVERIFY(window->plot().horizontalLabels().isEmpty());
        QCOMPARE(figures(window), QStringList({"—", "—", "—", "—", "—", "0"}));

        // With the trailing space typed, the item spelt so.
        box->lineEdit()->selectAll();
        type(box->lineEdit(), QStringLiteral("Молоко "));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QCOMPARE(window->points(), QVector<PricePoint>({point("2023-04-01", 500)}));

        // Picked from the list: the item of that name exactly.
        const int milk = box->findText(QStringLiteral("Молоко"), Qt::MatchFixedString | Qt::MatchCaseSensitive);
        QVERIFY(milk >= 0);
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        box->view()->setCurrentIndex(box->model()->index(milk, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
        QCOMPARE(window->shownItem(), QStringLiteral("Молоко"));
        QCOMPARE(window->points(), kMilk);
        QCOMPARE(log.texts(), QStringList());
    }

    void thePointsStandOnTheirDates()
    {
        Ledger data;
        buyMilkAndMore(data);
        Program program;
        auto *window = open<charts::PriceHistoryChart>(program);
        QVERIFY(window);
        QCOMPARE(window->shownItem(), QStringLiteral("Молоко"));
        const QList<QPointF> points = drawn(window);
        QCOMPARE(points.size(), kMilk.size());
        for (int i = 0; i < points.size(); ++i) {
            QCOMPARE(points[i].x() + double(window->baseDay()), kMilk[i].day());
            QCOMPARE(points[i].y(), kMilk[i].price.toDouble());
        }
        // Few purchases carry markers; two on one day stand one above the other.
        QVERIFY(window->plot().lineSeries(window->priceLine()).first()->pointsVisible());
        QCOMPARE(points[1].x(), points[2].x());
        // The gap of more than a year is a gap on the axis too.
        QVERIFY(points[3].x() - points[2].x() > 400);
        // The vertical axis covers every price.
        QVERIFY(window->plot().verticalAxis()->min() <= 58);
        QVERIFY(window->plot().verticalAxis()->max() >= 80);

        // The labels under the chart are dates, each under its own day, none overlapping.
        const QVector<charts::AxisLabel> labels = window->plot().horizontalLabels();
        QVERIFY(labels.size() >= 2);
        for (int i = 0; i < labels.size(); ++i) {
            const QDate date = QDate::fromJulianDay(window->baseDay() + qint64(labels[i].position));
            QCOMPARE(labels[i].text, regional::shortDate(date));
            QVERIFY(std::abs(labels[i].rect.center().x() - window->plot().toPixel(labels[i].position, 0).x()) < 0.5);
            if (i > 0)
                QVERIFY(labels[i].rect.left() > labels[i - 1].rect.right());
        }
    }

    void aLongHistoryIsDrawnThinFromAFewPointsAColumn()
    {
        Ledger data;
        data.buy("Бензин", 50, "2010-01-01");
        // 20,000 purchases, one every few hours over nine years, at prices that swing.
        data.raw.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)"
                      " INSERT INTO Rashod (kod, names, price, counts, doc, dates)"
                      " SELECT 1, 'Бензин', 400000 + (i * 7919) % 300000, 10000, 'чек',"
                      " datetime('2010-01-02', '+' || (i * 4) || ' hours') FROM n");
        Program program;
        auto *window = open<charts::PriceHistoryChart>(program);
        QVERIFY(window);
        QCOMPARE(window->points().size(), 20001);
        const int columns = int(window->plot().chart()->plotArea().width());
        QVERIFY(columns > 100);
        const QList<QPointF> points = drawn(window);
        QVERIFY(points.size() <= 4 * columns + 2);
        QVERIFY(points.size() > columns);
        QLineSeries *line = window->plot().lineSeries(window->priceLine()).first();
        QVERIFY(!line->pointsVisible());
        QCOMPARE(line->pen().width(), 1);
        QCOMPARE(figure(window, "PurchaseCount"), QStringLiteral("20001"));
        QCOMPARE(figure(window, "FirstPrice"), QStringLiteral("50,00 руб."));

        // Zoomed in on a few days, the points are few again: the line is drawn whole, wide,
        // with a marker at every purchase.
        const double day = window->points().at(5000).day() - double(window->baseDay());
        window->plot().horizontalAxis()->setRange(day, day + 2);
        QTRY_COMPARE(line->pen().width(), 2);
        QVERIFY(line->pointsVisible());
        QVERIFY(drawn(window).size() <= 16);
    }

    void switchingThePeriodKeepsTheItem()
    {
        MessageLog log;
        Ledger data;
        data.buy("Хлеб", 30, thisMonthYearsAgo(2, 3));
        data.buy("Хлеб", 35, otherMonth(4));
        data.buy("Хлеб", 45, thisMonthYearsAgo(0, 1));
        Program program;
        auto *window = open<charts::PriceHistoryChart>(program);
        QVERIFY(window);
        QCOMPARE(window->points().size(), 3);
        QCOMPARE(figure(window, "LastPrice"), QStringLiteral("45,00 руб."));

        window->periodBox()->setCurrentIndex(0);
        emit window->periodBox()->activated(0);
        QCOMPARE(window->shownItem(), QStringLiteral("Хлеб"));
        QCOMPARE(window->points(), QVector<PricePoint>({point(thisMonthYearsAgo(2, 3), 30),
                                                        point(thisMonthYearsAgo(0, 1), 45)}));
        QCOMPARE(figure(window, "PriceChange"), QStringLiteral("+50,00\u00a0%"));
        QCOMPARE(drawn(window).size(), 2);

        window->periodBox()->setCurrentIndex(1);
        emit window->periodBox()->activated(1);
        QCOMPARE(window->points().size(), 3);
        QCOMPARE(log.texts(), QStringList());
    }

    // The ledger file.

    void aNewLedgerCarriesTheItemIndex()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        QCOMPARE(itemIndexColumns(path), QStringList({"names", "dates", "id", "price"}));
        QCOMPARE(RawFile(path).value("PRAGMA user_version").toInt(), ledger::schema::currentVersion());
    }

    void theHistoryIsReadFromTheIndexAloneWithoutASort()
    {
        Workspace ws;
        RawFile raw(ws.newLedger());
        for (const bool whole : {true, false}) {
            const QString plan = raw.rows(QStringLiteral("EXPLAIN QUERY PLAN ")
                                          + QString(ledger::reads::priceHistory(whole)).replace("?", "'Чай'"))
                                     .join('\n');
            QVERIFY2(plan.contains("USING COVERING INDEX Rashod_item (names=?"), qPrintable(plan));
            QVERIFY2(!plan.contains("TEMP B-TREE"), qPrintable(plan));
        }
    }

    void aLedgerOfThePreviousVersionGetsTheIndexAndKeepsItsRows()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        RawFile raw(path);
        raw.exec("INSERT INTO List (names, suma, dates, times) VALUES ('Расход', 1250000, '2022-05-06', '09:05:03')");
        raw.exec("INSERT INTO Rashod (kod, names, price, counts, doc, dates) VALUES (1, 'Чай', 500000, 10000, 'чек',"
                 " '2022-05-06'), (1, 'Чай', 750000, 10000, 'чек', '2022-05-06')");
        raw.exec("INSERT INTO List (names, suma, dates, times, comments) VALUES ('Доход - Премия', 50000000,"
                 " '2022-05-07', '10:00:00', 'за май')");
        // The file as the version before the index wrote it: the same, without the index nor
        // what came after it.
        raw.exec("DROP INDEX Rashod_item");
        for (const char *trigger : {"Rashod_day_insert", "Rashod_day_delete", "Rashod_day_update"})
            raw.exec(QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(trigger)));
        raw.exec("DROP TABLE GrafDay");
        raw.exec("PRAGMA user_version = 3");
        QVERIFY(itemIndexColumns(path).isEmpty());
        const QMap<QString, QStringList> before = ledgerContents(path);

        auto connection = ledger::Connection::open(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), ledger::schema::currentVersion());
        QCOMPARE(itemIndexColumns(path), QStringList({"names", "dates", "id", "price"}));
        const QMap<QString, QStringList> after = ledgerContents(path);
        for (const QString &name : before.keys())
            QCOMPARE(after.value(name), before.value(name));
        QCOMPARE(charts::readPriceHistory(*connection, "Чай", true),
                 QVector<PricePoint>({point("2022-05-06", 50), point("2022-05-06", 75)}));
        QCOMPARE(raw.value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }

    void olderLedgersAreBroughtUpThroughEveryStep_data()
    {
        addEarlierLedgerRows();
    }

    void olderLedgersAreBroughtUpThroughEveryStep()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        Workspace ws;
        const QString path = ws.path("old.tor");
        QVERIFY(copyTestData(file, path));
        QCOMPARE(RawFile(path).value("PRAGMA user_version").toInt(), version);
        const QMap<QString, QStringList> before = ledgerContents(path);
        auto connection = ledger::Connection::open(path);
        QCOMPARE(RawFile(path).value("PRAGMA user_version").toInt(), ledger::schema::currentVersion());
        QCOMPARE(itemIndexColumns(path), QStringList({"names", "dates", "id", "price"}));
        const QMap<QString, QStringList> after = ledgerContents(path);
        for (const QString &name : before.keys())
            QCOMPARE(after.value(name), before.value(name));
        // Its lines are found through the index as in a new ledger.
        const QString item = RawFile(path).value("SELECT names FROM Rashod WHERE names <> '' LIMIT 1").toString();
        QVERIFY(!item.isEmpty());
        const int lines = RawFile(path)
                              .value(QStringLiteral("SELECT count(*) FROM Rashod WHERE names = '%1' AND dates IS NOT NULL"
                                                    " AND price IS NOT NULL")
                                         .arg(QString(item).replace("'", "''")))
                              .toInt();
        QCOMPARE(charts::readPriceHistory(*connection, item, true).size(), lines);
    }
};

QTEST_MAIN(PriceHistoryTest)
#include "test_pricehistory.moc"
