// The chart windows: the points and labels they draw from the ledger's rows, the period
// box, the vertical axis' label step and range, the bars of the top chart, printing, and
// charts of a long ledger.
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "widgets/dialogs.h"
#include "app/mainwindow.h"
#include "charts/bars.h"
#include "charts/chartdata.h"
#include "charts/incomeexpensechart.h"
#include "charts/linedays.h"
#include "charts/plot.h"
#include "charts/rateschart.h"
#include "charts/topexpenseschart.h"
#include "ledger/database.h"
#include "ledger/session.h"
#include "ledger/regional.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMdiArea>
#include <QPrinter>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QMdiSubWindow>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <cmath>
#include <limits>

using namespace testing;
using charts::Plot;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A ledger in the application folder, opened by the program at start-up, with entries
// written behind the program's back so that their dates are ours to choose.
struct Ledger : AppLedger
{
    void income(qint64 roubles, const QString &date)
    {
        raw.exec(QStringLiteral("INSERT INTO List (names, suma, dates, times) VALUES ('Доход - Зарплата', %1, '%2', '10:00:00')")
                     .arg(roubles * 10000).arg(date));
    }

    void expense(const QString &name, qint64 roubles, const QString &date)
    {
        raw.exec(QStringLiteral("INSERT INTO List (names, suma, dates, times) VALUES ('Расход', %1, '%2', '11:00:00')")
                     .arg(roubles * 10000).arg(date));
        raw.exec(QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, doc, dates)"
                                " VALUES ((SELECT max(id) FROM List), '%1', %2, 10000, 'чек', '%3')")
                     .arg(name).arg(roubles * 10000).arg(date));
    }

    // Rates in roubles; NaN stores an empty rate.
    void rate(const QString &date, double usd, double eur, double gbp)
    {
        const auto stored = [](double r) {
            return std::isnan(r) ? QStringLiteral("NULL") : QString::number(qint64(std::llround(r * 10000)));
        };
        raw.exec(QStringLiteral("INSERT INTO Valuta (dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3)"
                                " VALUES ('%1', 'Доллар США', %2, 'Евро', %3, 'Фунт', %4)")
                     .arg(date, stored(usd), stored(eur), stored(gbp)));
    }
};

// A day of the current month number this year.
QString thisMonth(int day)
{
    return thisMonthYearsAgo(0, day);
}

// How a date is labelled, "dd.MM.yyyy", written out from the ISO form by hand.
QString shown(const QString &isoDate)
{
    return isoDate.mid(8, 2) + '.' + isoDate.mid(5, 2) + '.' + isoDate.left(4);
}

// A whole amount as the axis writes it: groups of three digits, a no-break space between.
QString grouped(qint64 whole)
{
    QString digits = QString::number(std::abs(whole));
    for (int at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QChar(0x00a0));
    return whole < 0 ? '-' + digits : digits;
}

// The label steps, smallest first: 0,001, 0,002, 0,005, 0,01, ... .
double niceStep(int index)
{
    const double mantissa[] = {1, 2, 5};
    return mantissa[index % 3] * std::pow(10.0, index / 3 - 3);
}

template<typename Window>
Window *open(Program &program, app::MainWindow::Child kind)
{
    auto *window = qobject_cast<Window *>(program.window().openChild(kind));
    if (window && !waitUntil([window] { return window->isStarted(); }))
        qWarning("the chart window did not start");
    return window;
}

// Every point drawn for a line, run after run, and the number of runs.
QList<QPointF> drawnPoints(Plot &plot, int line, int *runs = nullptr)
{
    QList<QPointF> points;
    int count = 0;
    for (QLineSeries *series : plot.lineSeries(line)) {
        if (series->count() > 0)
            ++count;
        points += series->points();
    }
    if (runs)
        *runs = count;
    return points;
}

QList<QPointF> at(std::initializer_list<double> values)
{
    QList<QPointF> points;
    int x = 0;
    for (const double v : values)
        points << QPointF(x++, v);
    return points;
}

QStringList legendNames(QChart *chart)
{
    QStringList names;
    for (QLegendMarker *marker : chart->legend()->markers()) {
        if (marker->isVisible())
            names << marker->label();
    }
    return names;
}

void pick(QComboBox *box, int index)
{
    while (box->currentIndex() < index)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > index)
        QTest::keyClick(box, Qt::Key_Up);
}

QValueAxis *verticalAxis(charts::ChartWindow *window)
{
    return window->plot().verticalAxis();
}

} // namespace

class ChartsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
        ui::setPrintHandler({});
    }

    // The rules behind the drawing.

    void labelStepWalksOneTwoFive()
    {
        // 100 pixels, labels 10 high: a step must be at least a tenth of the span.
        const QList<QPair<double, double>> cases = {{0.01, 0.001}, {0.015, 0.002}, {0.04, 0.005}, {0.06, 0.01},
                                                    {0.11, 0.02},  {1.0, 0.1},     {15.0, 2.0},   {45.0, 5.0},
                                                    {60.0, 10.0},  {1e6, 1e5},     {2.5e6, 5e5}};
        for (const auto &[span, step] : cases) {
            const double got = charts::labelStep(span, 100, 10);
            QVERIFY2(qFuzzyCompare(got, step), qPrintable(QString("span %1: %2").arg(span).arg(got)));
        }
        // The first step that fits: labels 20 high on 300 pixels over 0..60 need 4 units.
        QCOMPARE(charts::labelStep(60, 300, 20), 5.0);
        QCOMPARE(charts::labelStep(60, 600, 20), 2.0);
        // Nothing to divide, or no room at all, still gives a step and returns.
        QCOMPARE(charts::labelStep(0, 300, 20), 0.001);
        QCOMPARE(charts::labelStep(60, 0, 20), 0.001);
        QVERIFY(charts::labelStep(1e18, 1, 100) > 0);
    }

    void ticksAndTheirTexts()
    {
        const QVector<double> ticks = charts::tickValues(0, 60, 5);
        QCOMPARE(ticks.size(), 13);
        QCOMPARE(ticks.first(), 0.0);
        QCOMPARE(ticks.last(), 60.0);
        // Ends that are not multiples, and steps that are not exact in binary.
        QCOMPARE(charts::tickValues(0.05, 0.35, 0.1).size(), 3);
        QCOMPARE(charts::tickValues(-250, 990, 500), QVector<double>({0, 500}));
        QCOMPARE(charts::valueText(0.1 + 0.2), QStringLiteral("0,3"));
        QCOMPARE(charts::valueText(1234567.5), QStringLiteral("1\u00a0234\u00a0567,5"));
        QCOMPARE(charts::valueText(-0.0015), QStringLiteral("-0,002"));
    }

    void rateAxisTopKeepsSixtyAndCoversEveryRate()
    {
        QCOMPARE(charts::rateAxisTop(0, 250, 20), 60.0);
        QCOMPARE(charts::rateAxisTop(59.9, 250, 20), 60.0);
        // Worked out by hand: labels 20 pixels high on 250 need a step of at least 8 % of the
        // top; the top is the first multiple of that step above the largest rate, and the step
        // is then taken again for the new top until both agree. 61: step 5 gives 65, whose
        // step 10 gives 70, which keeps step 10. 1234,5: step 100 gives 1300, whose step 200
        // gives 1400, which keeps it.
        const QList<QPair<double, double>> tops = {{60.0, 70.0},   {61.0, 70.0},   {95.0, 100.0},
                                                   {99.9999, 100.0}, {150.0, 160.0}, {1234.5, 1400.0}};
        for (const auto &[largest, top] : tops) {
            const double got = charts::rateAxisTop(largest, 250, 20);
            QVERIFY2(qFuzzyCompare(got, top), qPrintable(QString("%1 -> %2").arg(largest).arg(got)));
        }
    }

    void reducedPointsKeepTheShape()
    {
        const int count = 300000;
        QVector<double> values(count);
        for (int i = 0; i < count; ++i)
            values[i] = 100 + 50 * std::sin(i / 997.0);
        values[12345] = 1e6;  // a spike
        values[234567] = -1e6; // a dip
        const int columns = 500;
        const auto runs = charts::visiblePoints(values, 0, count - 1, columns);
        QCOMPARE(runs.size(), 1);
        QVERIFY(runs.first().size() <= 4 * columns);
        QVERIFY(runs.first().contains(QPointF(12345, 1e6)));
        QVERIFY(runs.first().contains(QPointF(234567, -1e6)));
        QCOMPARE(runs.first().first(), QPointF(0, values[0]));
        QCOMPARE(runs.first().last(), QPointF(count - 1, values[count - 1]));
        for (int i = 1; i < runs.first().size(); ++i)
            QVERIFY(runs.first()[i].x() > runs.first()[i - 1].x());

        // Zoomed in far enough, every point is drawn, with one beyond each edge.
        const auto near = charts::visiblePoints(values, 1000, 1100, columns);
        QCOMPARE(near.size(), 1);
        QCOMPARE(near.first().size(), 103);
        QCOMPARE(near.first().first(), QPointF(999, values[999]));

        // A wide gap breaks the line; a gap narrower than a pixel column does not.
        for (int i = 100000; i < 110000; ++i)
            values[i] = kNaN;
        values[200000] = kNaN;
        QCOMPARE(charts::visiblePoints(values, 0, count - 1, columns).size(), 2);
        // Few points: every empty value breaks the line.
        QVector<double> few = {1, 2, kNaN, 4, 5, kNaN, kNaN, 8};
        const auto pieces = charts::visiblePoints(few, 0, 7, columns);
        QCOMPARE(pieces.size(), 3);
        QCOMPARE(pieces[1], QVector<QPointF>({{3, 4}, {4, 5}}));
        QVERIFY(charts::visiblePoints({}, 0, 1, columns).isEmpty());
    }

    // The income and expense chart.

    void monthOfThreeIncomesAndFiveExpenses()
    {
        MessageLog log;
        Ledger data;
        data.income(30000, thisMonth(2));
        data.income(5000, thisMonth(5));
        data.income(12000, thisMonth(9));
        const QStringList days = {thisMonth(1), thisMonth(3), thisMonth(4), thisMonth(10), thisMonth(12)};
        data.expense("хлеб", 40, days[0]);
        data.expense("молоко", 90, days[1]);
        data.expense("бензин", 1500, days[2]);
        data.expense("телефон", 300, days[3]);
        data.expense("книга", 700, days[4]);
        data.expense("прошлое", 999, otherMonth(7)); // another month: not in this view
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("TForm3"));
        QCOMPARE(window->windowTitle(), QStringLiteral("График расхода и дохода"));
        QCOMPARE(window->pos(), QPoint(100, 50));
        QCOMPARE(window->size(), QSize(518, 381));
        QCOMPARE(window->periodBox()->currentIndex(), 0);

        Plot &plot = window->plot();
        QCOMPARE(drawnPoints(plot, window->incomeLine()), at({30000, 5000, 12000}));
        QCOMPARE(drawnPoints(plot, window->expenseLine()), at({40, 90, 1500, 300, 700}));
        const QStringList expected = {shown(thisMonth(2)), shown(thisMonth(5)), shown(thisMonth(9)), shown(days[3]),
                                      shown(days[4])};
        for (int p = 0; p < 5; ++p)
            QCOMPARE(window->labelAt(p), expected[p]);
        QCOMPARE(window->labelAt(5), QString());

        // The labels drawn: each under its own position, none overlapping the one before.
        const QVector<charts::AxisLabel> labels = plot.horizontalLabels();
        QVERIFY(!labels.isEmpty());
        for (int i = 0; i < labels.size(); ++i) {
            QCOMPARE(labels[i].text, expected[int(labels[i].position)]);
            QVERIFY(std::abs(labels[i].rect.center().x() - plot.toPixel(labels[i].position, 0).x()) < 0.5);
            if (i > 0)
                QVERIFY(labels[i].rect.left() > labels[i - 1].rect.right());
        }

        // The look of the two lines and the legend.
        QChart *chart = plot.chart();
        WAIT_COMPARE(legendNames(chart), QStringList({"Доходы", "Расходы"}));
        QCOMPARE(chart->legend()->alignment(), Qt::AlignRight);
        QLineSeries *incomes = plot.lineSeries(window->incomeLine()).first();
        QLineSeries *expenses = plot.lineSeries(window->expenseLine()).first();
        QCOMPARE(incomes->pen().color(), QColor(0, 128, 0));
        QCOMPARE(incomes->pen().width(), 3);
        QCOMPARE(expenses->pen().color(), QColor(255, 0, 128));
        QCOMPARE(expenses->pen().width(), 3);
        QVERIFY(!incomes->pointsVisible());
        // The vertical axis from the smallest to the largest amount, labelled in our form.
        QCOMPARE(verticalAxis(window)->min(), 40.0);
        QCOMPARE(verticalAxis(window)->max(), 30000.0);
        QVERIFY(plot.verticalLabels().size() >= 2);
        for (const charts::AxisLabel &label : plot.verticalLabels()) {
            // The labels stand on whole multiples of the step (whole roubles here).
            const double multiple = label.position / plot.verticalStep();
            QVERIFY(std::abs(multiple - std::round(multiple)) < 1e-9);
            QCOMPARE(label.position, std::round(label.position));
            QCOMPARE(label.text, grouped(qint64(label.position)));
        }
        auto *view = find<charts::ChartView>(window, "DBChart1");
        QVERIFY(view);
        QCOMPARE(view->rubberBand(), QChartView::RectangleRubberBand);
        QVERIFY(chart->animationOptions() & QChart::GridAxisAnimations);
        QCOMPARE(log.texts(), QStringList());
    }

    void linesOfOneDayStandAtConsecutivePositions()
    {
        Ledger data;
        data.expense("хлеб", 40, thisMonth(3));
        data.expense("сыр", 350, thisMonth(8));
        data.expense("вино", 800, thisMonth(8));
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        QCOMPARE(drawnPoints(window->plot(), window->expenseLine()), at({40, 350, 800}));
        QVERIFY(drawnPoints(window->plot(), window->incomeLine()).isEmpty());
        QCOMPARE(window->labelAt(0), shown(thisMonth(3)));
        QCOMPARE(window->labelAt(1), shown(thisMonth(8)));
        QCOMPARE(window->labelAt(2), shown(thisMonth(8)));
        // An empty series keeps its place in the legend.
        WAIT_COMPARE(legendNames(window->plot().chart()), QStringList({"Доходы", "Расходы"}));
    }

    void switchingPeriodsReplacesAndRestoresTheSeries()
    {
        MessageLog log;
        Ledger data;
        data.income(1000, otherMonth(4));
        data.income(2000, thisMonth(6));
        data.expense("давнее", 70, otherMonth(2));
        data.expense("новое", 30, thisMonth(7));
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        Plot &plot = window->plot();
        QCOMPARE(drawnPoints(plot, window->incomeLine()), at({2000}));
        QCOMPARE(drawnPoints(plot, window->expenseLine()), at({30}));

        pick(window->periodBox(), 1);
        const bool otherFirst = otherMonth(4) < thisMonth(6);
        QCOMPARE(drawnPoints(plot, window->incomeLine()), otherFirst ? at({1000, 2000}) : at({2000, 1000}));
        QCOMPARE(drawnPoints(plot, window->expenseLine()).size(), 2);
        QCOMPARE(plot.horizontalAxis()->max(), 1.0);

        pick(window->periodBox(), 0);
        QCOMPARE(drawnPoints(plot, window->incomeLine()), at({2000}));
        QCOMPARE(drawnPoints(plot, window->expenseLine()), at({30}));

        // The chart shows the rows of the last pick; picking again reads the ledger again.
        data.expense("ещё", 55, thisMonth(9));
        QCOMPARE(drawnPoints(plot, window->expenseLine()), at({30}));
        emit window->periodBox()->activated(0);
        QCOMPARE(drawnPoints(plot, window->expenseLine()), at({30, 55}));
        QCOMPARE(log.texts(), QStringList());
    }

    void reopeningReturnsToTheCurrentMonth()
    {
        Ledger data;
        data.expense("давнее", 70, otherMonth(2));
        data.expense("новое", 30, thisMonth(7));
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        pick(window->periodBox(), 1);
        QCOMPARE(drawnPoints(window->plot(), window->expenseLine()).size(), 2);
        // Asked again while open: the same window, as it is.
        QCOMPARE(program.window().openChild(app::MainWindow::Child::IncomeExpenseChart), window);
        QCOMPARE(window->periodBox()->currentIndex(), 1);

        QPointer<charts::IncomeExpenseChart> closed(window);
        window->close();
        WAIT_VERIFY(closed.isNull());
        window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        QCOMPARE(window->periodBox()->currentIndex(), 0);
        QCOMPARE(drawnPoints(window->plot(), window->expenseLine()), at({30}));
        // The journal that opening the ledger opened, and this one chart: no second chart.
        int charts = 0;
        for (QMdiSubWindow *sub : program.window().mdiArea()->subWindowList())
            charts += sub->windowTitle() == QStringLiteral("График расхода и дохода") ? 1 : 0;
        QCOMPARE(charts, 1);
    }

    void draggingARectangleZoomsAndDraggingBackUndoesIt()
    {
        Ledger data;
        for (int day = 1; day <= 25; ++day)
            data.expense("покупка", 100 + 37 * (day % 5), thisMonth(day));
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        auto *view = find<charts::ChartView>(window, "DBChart1");
        QWidget *surface = view->viewport();
        Plot &plot = window->plot();
        const QRectF area = plot.chart()->plotArea();
        const auto drag = [&](QPointF from, QPointF to) {
            QTest::mousePress(surface, Qt::LeftButton, {}, from.toPoint());
            QTest::mouseMove(surface, ((from + to) / 2).toPoint());
            QTest::mouseMove(surface, to.toPoint());
            QTest::mouseRelease(surface, Qt::LeftButton, {}, to.toPoint());
        };
        const QPointF a = area.topLeft() + QPointF(area.width() * 0.25, 5);
        const QPointF b = area.topLeft() + QPointF(area.width() * 0.5, area.height() - 5);
        drag(a, b);
        QVERIFY(plot.chart()->isZoomed());
        QVERIFY(plot.horizontalAxis()->min() > 5 && plot.horizontalAxis()->max() < 13);
        // The labels and points follow the zoom.
        WAIT_VERIFY(drawnPoints(plot, window->expenseLine()).size() < 25);
        for (const charts::AxisLabel &label : plot.horizontalLabels())
            QVERIFY(label.position >= plot.horizontalAxis()->min() - 1e-9);
        // No panning: a drag leftwards takes the chart back to all of it.
        drag(b, a);
        QVERIFY(!plot.chart()->isZoomed());
        QCOMPARE(plot.horizontalAxis()->min(), 0.0);
        QCOMPARE(plot.horizontalAxis()->max(), 24.0);
        WAIT_COMPARE(drawnPoints(plot, window->expenseLine()).size(), 25);
    }

    void aViewThatCannotBeReadEndsTheLoadWithTheErrorBox()
    {
        MessageLog log;
        Ledger data;
        data.expense("новое", 30, thisMonth(7));
        data.income(100, thisMonth(7));
        Program program;
        // Gone behind the program's back, after the ledger was opened and accepted.
        data.raw.exec("DROP VIEW GrafDohod");
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        QCOMPARE(log.texts().size(), 1);
        QVERIFY(log.texts().first().contains("GrafDohod"));
        QCOMPARE(log.seen().first().icon, QMessageBox::Critical);
        QVERIFY(drawnPoints(window->plot(), window->incomeLine()).isEmpty());
        // The whole period still loads.
        pick(window->periodBox(), 1);
        QCOMPARE(drawnPoints(window->plot(), window->incomeLine()), at({100}));
        QCOMPARE(log.seen().size(), 1);
    }

    void linesWrittenUnderAnOpenChartLeaveTheOtherDatesInPlace()
    {
        Ledger data;
        for (int day = 1; day <= 12; ++day)
            data.expense("покупка", 100 + day, thisMonthYearsAgo(1, day));
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        Plot &plot = window->plot();
        pick(window->periodBox(), 1);
        QCOMPARE(drawnPoints(plot, window->expenseLine()),
                 at({101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112}));

        // Another tool adds a cheaper line on the 3rd and takes the 6th's away; the chart,
        // redrawn before it is picked again, keeps its dates and each value at its own.
        data.raw.exec(QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES"
                                     " ((SELECT max(id) FROM List), 'ещё', 10000, 10000, '%1')")
                          .arg(thisMonthYearsAgo(1, 3)));
        data.raw.exec(QStringLiteral("DELETE FROM Rashod WHERE dates = '%1'").arg(thisMonthYearsAgo(1, 6)));
        QSignalSpy refitted(&plot, &Plot::geometryChanged);
        window->resize(window->size() + QSize(40, 0));
        QVERIFY(refitted.wait(testing::kEventBound));
        int runs = 0;
        const QList<QPointF> drawn = drawnPoints(plot, window->expenseLine(), &runs);
        QCOMPARE(runs, 2);
        QCOMPARE(drawn, at({101, 102, 1, 104, 105}) + QList<QPointF>({{6, 107}, {7, 108}, {8, 109}, {9, 110},
                                                                       {10, 111}, {11, 112}}));
        QCOMPARE(window->labelAt(6), shown(thisMonthYearsAgo(1, 7)));
    }

    void keptFiguresThatCannotBeReadShowOneErrorBox()
    {
        MessageLog log;
        Ledger data;
        for (int day = 1; day <= 25; ++day)
            data.expense("покупка", 100 + day, thisMonth(day));
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        Plot &plot = window->plot();

        // Without the kept figures the whole period does not load, and says why.
        data.raw.exec("ALTER TABLE GrafDay RENAME TO GrafDayAway");
        pick(window->periodBox(), 1);
        QCOMPARE(log.texts().size(), 1);
        QVERIFY(log.texts().first().contains("GrafDay"));
        QVERIFY(drawnPoints(plot, window->expenseLine()).isEmpty());
        data.raw.exec("ALTER TABLE GrafDayAway RENAME TO GrafDay");
        pick(window->periodBox(), 0);
        pick(window->periodBox(), 1);
        QCOMPARE(drawnPoints(plot, window->expenseLine()).size(), 25);
        QCOMPARE(log.texts().size(), 1);

        // The lines gone behind the program's back: the next redraw says so once, and the
        // redraws after it draw nothing rather than asking again.
        data.raw.exec("DROP TABLE Rashod");
        const QRectF area = plot.chart()->plotArea();
        plot.chart()->zoomIn(QRectF(area.left() + area.width() / 4, area.top(), area.width() / 2, area.height()));
        WAIT_COMPARE(log.texts().size(), 2);
        QVERIFY(log.texts().last().contains("Rashod"));
        QVERIFY(drawnPoints(plot, window->expenseLine()).isEmpty());
        plot.chart()->zoomReset();
        QSignalSpy refitted(&plot, &Plot::geometryChanged);
        window->resize(window->size() + QSize(40, 30));
        QVERIFY(refitted.wait(testing::kEventBound));
        QCOMPARE(log.texts().size(), 2);
    }

    void printButtonHints()
    {
        Ledger data;
        Program program;
        auto *incomeExpense = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        auto *top = open<charts::TopExpensesChart>(program, app::MainWindow::Child::TopChart);
        auto *rates = open<charts::RatesChart>(program, app::MainWindow::Child::RatesChart);
        QVERIFY(incomeExpense && top && rates);
        for (charts::ChartWindow *window : QList<charts::ChartWindow *>{incomeExpense, top, rates}) {
            auto *button = find<QToolButton>(window, "ToolButton1");
            QVERIFY(button);
            QCOMPARE(find<QLabel>(window, "Label1")->text(), QStringLiteral("   Выбор периода: "));
            QCOMPARE(window->periodBox()->count(), 2);
            QCOMPARE(window->periodBox()->itemText(1), QStringLiteral("За весь период"));
            QVERIFY(find<QWidget>(window, "ToolButton3"));
            QCOMPARE(button->accessibleName(), QStringLiteral("Печать"));
            QCOMPARE(button->toolTip(), window == incomeExpense ? QStringLiteral("Печать") : QString());
            program.window().statusBar()->clearMessage();
            QEvent enter(QEvent::Enter);
            QApplication::sendEvent(button, &enter);
            QCOMPARE(program.window().statusBar()->currentMessage(), QStringLiteral("Печать графика"));
        }
    }

    // The top expenses chart.

    void twelveLinesGiveTenBarsLargestFirst()
    {
        Ledger data;
        const QList<int> amounts = {120, 5, 730, 44, 1999, 310, 87, 2500, 15, 640, 1, 999};
        for (int i = 0; i < amounts.size(); ++i)
            data.expense(QStringLiteral("покупка %1").arg(amounts[i]), amounts[i], thisMonth(1 + i));
        data.expense("давняя", 90000, otherMonth(3));
        Program program;
        auto *window = open<charts::TopExpensesChart>(program, app::MainWindow::Child::TopChart);
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("TForm11"));
        QCOMPARE(window->windowTitle(), QStringLiteral("График TOP расходов"));
        QCOMPARE(window->pos(), QPoint(80, 80));
        QCOMPARE(window->size(), QSize(680, 480));

        QList<int> largest = amounts;
        std::sort(largest.begin(), largest.end(), std::greater<int>());
        const QVector<charts::Bar> &bars = window->bars().bars();
        QCOMPARE(bars.size(), 10);
        for (int k = 0; k < 10; ++k) {
            QCOMPARE(bars[k].amount, ledger::Money::fromUnits(largest[k]));
            QCOMPARE(bars[k].name, QStringLiteral("покупка %1").arg(largest[k]));
            if (k > 0)
                QVERIFY(bars[k].colour != bars[k - 1].colour);
            // Largest on the left, and each bar's name under it.
            const QRectF face = window->bars().frontFace(k);
            if (k > 0)
                QVERIFY(face.left() > window->bars().frontFace(k - 1).right());
            const charts::AxisLabel label = window->plot().horizontalLabels().at(k);
            QVERIFY(std::abs(label.rect.center().x() - face.center().x()) < 1);
            // The mark stands above its bar with the amount.
            QVERIFY(window->bars().markRect(k).bottom() < face.top());
        }
        QCOMPARE(window->plot().horizontalLabels().size(), 10);
        QVERIFY(!window->plot().chart()->legend()->isVisible());

        // From 0 to the largest amount, with room for the tallest bar's mark.
        QCOMPARE(verticalAxis(window)->min(), 0.0);
        QVERIFY(verticalAxis(window)->max() > 2500);
        const QRectF area = window->plot().chart()->plotArea();
        QVERIFY(window->bars().markRect(0).top() >= area.top() - 0.5);
        QVERIFY(std::abs(window->bars().frontFace(9).bottom() - area.bottom()) < 0.5);
        // The 3D depth takes 15 per cent of a bar's width; the slot leaves room for it.
        QVERIFY(window->bars().frontFace(0).width() > 0);
        QVERIFY(window->bars().frontFace(0).right() * 1.0 + 0.15 * window->bars().frontFace(0).width()
                < window->bars().frontFace(1).left());

        // Zooming widens the bars; undoing it brings back the whole chart.
        const double width = window->bars().frontFace(0).width();
        window->plot().chart()->zoomIn(QRectF(area.left(), area.top(), area.width() / 2, area.height()));
        QVERIFY(window->bars().frontFace(0).width() > 1.5 * width);
        window->plot().chart()->zoomReset();
        QCOMPARE(window->bars().frontFace(0).width(), width);

        pick(window->periodBox(), 1);
        QCOMPARE(window->bars().bars().size(), 10);
        QCOMPARE(window->bars().bars().first().amount, ledger::Money::fromUnits(90000));
        QCOMPARE(window->bars().bars().last().amount, ledger::Money::fromUnits(largest[8]));
    }

    void sameNamedLinesStayApartAndFewBarsSpread()
    {
        Ledger data;
        data.expense("кредит", 5000, thisMonth(3));
        data.expense("кредит", 5000, thisMonth(20));
        data.expense("хлеб", 35, thisMonth(4));
        Program program;
        auto *window = open<charts::TopExpensesChart>(program, app::MainWindow::Child::TopChart);
        QVERIFY(window);
        const QVector<charts::Bar> &bars = window->bars().bars();
        QCOMPARE(bars.size(), 3);
        QCOMPARE(bars[0].name, QStringLiteral("кредит"));
        QCOMPARE(bars[1].name, QStringLiteral("кредит"));
        QCOMPARE(bars[2].name, QStringLiteral("хлеб"));
        QCOMPARE(bars[1].amount, ledger::Money::fromUnits(5000));
        QCOMPARE(window->plot().horizontalLabels().size(), 3);
        // Three bars share the whole width.
        const QRectF area = window->plot().chart()->plotArea();
        QVERIFY(window->bars().frontFace(0).left() - area.left() < area.width() / 6);
        QVERIFY(area.right() - window->bars().frontFace(2).right() < area.width() / 6);
        // A marks text in the chart's number form.
        QCOMPARE(regional::groupedText(bars[0].amount), QStringLiteral("5\u00a0000"));
    }

    // The exchange-rate chart.

    void ratesOfThreeCurrenciesWithAnEmptyRate()
    {
        MessageLog log;
        Ledger data;
        data.raw.exec("DELETE FROM Valuta");
        data.rate("2013-05-06", 31.2, 40.7, 48.1);
        data.rate("2013-05-07", 31.3, kNaN, 48.0);
        data.rate("2014-02-10", 35.0, 47.9, 57.5);
        data.rate("2014-11-28", 49.3, 61.4, 77.4);
        Program program;
        auto *window = open<charts::RatesChart>(program, app::MainWindow::Child::RatesChart);
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("TForm4"));
        QCOMPARE(window->windowTitle(), QStringLiteral("График изменения курса валют"));
        QCOMPARE(window->pos(), QPoint(50, 100));
        QCOMPARE(window->size(), QSize(553, 365));
        QCOMPARE(window->periodBox()->currentIndex(), 1);

        Plot &plot = window->plot();
        int runs = 0;
        QCOMPARE(drawnPoints(plot, 0, &runs), at({31.2, 31.3, 35.0, 49.3}));
        QCOMPARE(runs, 1);
        const QList<QPointF> euro = drawnPoints(plot, 1, &runs);
        QCOMPARE(euro, QList<QPointF>({{0, 40.7}, {2, 47.9}, {3, 61.4}}));
        QCOMPARE(runs, 2);
        QCOMPARE(drawnPoints(plot, 2, &runs), at({48.1, 48.0, 57.5, 77.4}));
        QCOMPARE(runs, 1);
        // Rows months apart stand at neighbouring positions, labelled with their dates.
        QCOMPARE(plot.horizontalAxis()->max(), 3.0);
        for (const charts::AxisLabel &label : plot.horizontalLabels())
            QCOMPARE(label.text, QStringList({"06.05.2013", "07.05.2013", "10.02.2014", "28.11.2014"})
                                     .at(int(label.position)));

        WAIT_COMPARE(legendNames(plot.chart()), QStringList({"Доллар", "Евро", "Фунт"}));
        const QList<QColor> colours = {QColor(0, 128, 192), QColor(253, 126, 0), QColor(128, 0, 255)};
        for (int line = 0; line < 3; ++line) {
            for (QLineSeries *series : plot.lineSeries(line)) {
                QCOMPARE(series->pen().color(), colours[line]);
                QCOMPARE(series->pen().width(), 2);
            }
        }
        // 77,4 lies above 60: the axis rises to the next label step above it.
        QCOMPARE(verticalAxis(window)->min(), 0.0);
        QVERIFY(verticalAxis(window)->max() > 77.4);
        QVERIFY(verticalAxis(window)->max() - 77.4 <= plot.verticalStep());
        // Grid lines midway between the labels.
        QVERIFY(!verticalAxis(window)->isGridLineVisible());
        QVERIFY(verticalAxis(window)->isMinorGridLineVisible());
        QCOMPARE(verticalAxis(window)->minorTickCount(), 1);
        QCOMPARE(log.texts(), QStringList());
    }

    void rateAxisCoversHighRatesAndKeepsSixty()
    {
        Ledger data;
        Program program;
        auto *window = open<charts::RatesChart>(program, app::MainWindow::Child::RatesChart);
        QVERIFY(window);
        // The template's rates all lie below 60.
        QCOMPARE(window->rates().size(), data.raw.value("SELECT count(*) FROM Valuta").toInt());
        QVERIFY(window->rates().size() > 10);
        QCOMPARE(verticalAxis(window)->max(), 60.0);
        QCOMPARE(verticalAxis(window)->min(), 0.0);
        // The labels fit: the step before the one chosen would crowd them.
        const double step = window->plot().verticalStep();
        const double pixels = window->plot().chart()->plotArea().height();
        int index = 0;
        while (index < 30 && !qFuzzyCompare(niceStep(index), step))
            ++index;
        QVERIFY2(index > 0 && index < 30, qPrintable(QString::number(step)));
        QVERIFY(step / 60 * pixels >= window->plot().labelPixels());
        QVERIFY(niceStep(index - 1) / 60 * pixels < window->plot().labelPixels());

        window->close();
        data.rate(todayIso(), 95.0, 101.3, 119.9);
        data.rate(thisMonthYearsAgo(1, 3), 68.0, 75.0, 86.0);
        window = open<charts::RatesChart>(program, app::MainWindow::Child::RatesChart);
        QVERIFY(window);
        QVERIFY(verticalAxis(window)->max() >= 119.9);
        for (const charts::AxisLabel &label : window->plot().verticalLabels())
            QVERIFY(label.rect.top() >= 0);

        // The month narrows the chart to this month's rows, whatever their year.
        pick(window->periodBox(), 0);
        int runs = 0;
        const QList<QPointF> dollar = drawnPoints(window->plot(), 0, &runs);
        QCOMPARE(dollar.size(), window->rates().size());
        QVERIFY(dollar.contains(QPointF(dollar.size() - 1, 95.0)));
        QVERIFY(dollar.contains(QPointF(dollar.size() - 2, 68.0)));
        QVERIFY(verticalAxis(window)->max() >= 119.9);
        QVERIFY(verticalAxis(window)->max() >= 60.0);

        // No rates at all: empty lines, still from 0 to 60.
        data.raw.exec("DELETE FROM Valuta");
        emit window->periodBox()->activated(0);
        QCOMPARE(window->rates().size(), 0);
        QCOMPARE(verticalAxis(window)->max(), 60.0);
        WAIT_COMPARE(legendNames(window->plot().chart()), QStringList({"Доллар", "Евро", "Фунт"}));
    }

    // Printing.

    void printingGivesOnePageWithTheChartStretched()
    {
        MessageLog log;
        Ledger data;
        for (int day = 1; day <= 20; ++day) {
            data.income(1000 + 100 * day, thisMonth(day));
            data.expense("покупка", 300 + 70 * (day % 7), thisMonth(day));
        }
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        Workspace ws;
        const QString pdf = ws.path("chart.pdf");
        QWidget *parentSeen = nullptr;
        ui::setPrintHandler([&](QPrinter *printer) {
            parentSeen = window->window();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return true;
        });
        find<QToolButton>(window, "ToolButton1")->click();
        QCOMPARE(parentSeen, static_cast<QWidget *>(&program.window()));
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(log.texts(), QStringList());

        if (QStandardPaths::findExecutable("pdfinfo").isEmpty() || QStandardPaths::findExecutable("pdftoppm").isEmpty())
            QSKIP("poppler-utils are not installed");
        QProcess info;
        info.start("pdfinfo", {pdf});
        QVERIFY(info.waitForFinished(kEventBound));
        QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+1\\n")));

        QProcess render;
        render.start("pdftoppm", {"-r", "40", "-png", "-singlefile", pdf, ws.path("page")});
        QVERIFY(render.waitForFinished(kEventBound));
        const QImage page(ws.path("page.png"));
        QVERIFY(!page.isNull());
        int left = page.width(), right = -1, top = page.height(), bottom = -1;
        int green = 0, pink = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                if (c.red() < 240 || c.green() < 240 || c.blue() < 240) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
                if (c.red() < 60 && c.green() > 100 && c.green() < 160 && c.blue() < 60)
                    ++green;
                if (c.red() > 200 && c.green() < 60 && c.blue() > 90 && c.blue() < 170)
                    ++pink;
            }
        }
        QVERIFY2(green > 20 && pink > 20, qPrintable(QString("%1 %2").arg(green).arg(pink)));
        // The chart's frame runs round the whole print area, although the window is wide.
        QVERIFY(right - left > page.width() * 0.85);
        QVERIFY(bottom - top > page.height() * 0.85);

        // The dates under the axis are printed, scaled with the chart rather than blown up
        // to the printer's resolution.
        QProcess text;
        text.start("pdftotext", {"-bbox", pdf, "-"});
        QVERIFY(text.waitForFinished(kEventBound));
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        const QRegularExpression word(QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\"|"
                                                     "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\""
                                                     " yMax=\"([0-9.]+)\">([^<]*)</word>"));
        double pageHeight = 0;
        int dates = 0;
        for (auto match = word.globalMatch(words); match.hasNext();) {
            const auto m = match.next();
            if (!m.captured(2).isEmpty()) {
                pageHeight = m.captured(2).toDouble();
                continue;
            }
            if (!QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4}$").match(m.captured(7)).hasMatch())
                continue;
            ++dates;
            const double height = m.captured(6).toDouble() - m.captured(4).toDouble();
            QVERIFY2(height < pageHeight * 0.1, qPrintable(QString("%1 of %2").arg(height).arg(pageHeight)));
        }
        QVERIFY(dates >= 2);
    }

    void aCancelledPrintDialogPrintsNothing()
    {
        MessageLog log;
        Ledger data;
        data.expense("хлеб", 40, thisMonth(3));
        Program program;
        auto *window = open<charts::TopExpensesChart>(program, app::MainWindow::Child::TopChart);
        QVERIFY(window);
        Workspace ws;
        const QString pdf = ws.path("none.pdf");
        int asked = 0;
        ui::setPrintHandler([&](QPrinter *printer) {
            ++asked;
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return false;
        });
        find<QToolButton>(window, "ToolButton1")->click();
        QCOMPARE(asked, 1);
        QVERIFY(!QFile::exists(pdf));
        QCOMPARE(log.texts(), QStringList());
    }

    // A long ledger.

    void aLongSeriesIsDrawnFromFewPoints()
    {
        const int lines = 200000;
        Ledger data;
        data.raw.exec("INSERT INTO List (names, suma, dates) VALUES ('Расход', 0, '2001-01-01')");
        data.raw.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                                     " INSERT INTO Rashod (kod, names, price, counts, doc, dates)"
                                     " SELECT 1, 'строка ' || i, (i % 997) * 10000, 10000, 'чек',"
                                     " date('2001-01-01', '+' || (i / 40) || ' days') FROM n")
                          .arg(lines));
        data.raw.exec("UPDATE Rashod SET price = 50000000 WHERE id = 123457");
        Program program;
        auto *window = open<charts::IncomeExpenseChart>(program, app::MainWindow::Child::IncomeExpenseChart);
        QVERIFY(window);
        pick(window->periodBox(), 1);
        Plot &plot = window->plot();
        QCOMPARE(plot.linePositions(window->expenseLine()), lines);
        const QList<QPointF> all = drawnPoints(plot, window->expenseLine());
        const double width = plot.chart()->plotArea().width();
        QVERIFY2(all.size() <= 4 * width + 4, qPrintable(QString::number(all.size())));
        QVERIFY(all.size() > width);
        // The highest point and the ends stay in the picture.
        QVERIFY(std::any_of(all.begin(), all.end(), [](const QPointF &p) { return p.y() == 5000; }));
        QCOMPARE(all.first().x(), 0.0);
        QCOMPARE(all.last().x(), double(lines - 1));
        QCOMPARE(verticalAxis(window)->max(), 5000.0);

        // Zoomed in, the points of the range are drawn one by one.
        const QRectF area = plot.chart()->plotArea();
        const double perPosition = area.width() / (lines - 1);
        plot.chart()->zoomIn(QRectF(area.left() + 1000 * perPosition, area.top(), 100 * perPosition, area.height()));
        WAIT_VERIFY(drawnPoints(plot, window->expenseLine()).size() < 150);
        const QList<QPointF> near = drawnPoints(plot, window->expenseLine());
        for (int i = 1; i < near.size(); ++i)
            QCOMPARE(near[i].x(), near[i - 1].x() + 1);
        const QVariant stored =
            data.raw.value(QStringLiteral("SELECT suma FROM GrafRashodAll LIMIT 1 OFFSET %1").arg(int(near.first().x())));
        QCOMPARE(near.first().y(), stored.toLongLong() / 10000.0);

        // The top chart reads only the rows it shows.
        auto *top = open<charts::TopExpensesChart>(program, app::MainWindow::Child::TopChart);
        QVERIFY(top);
        pick(top->periodBox(), 1);
        QCOMPARE(top->bars().bars().size(), 10);
        QCOMPARE(top->bars().bars().first().amount, ledger::Money::fromUnits(5000));
    }

    void everyPositionOfALongReadKeepsItsDateLabel()
    {
        Ledger data;
        data.raw.exec("INSERT INTO List (names, suma, dates) VALUES ('Расход', 0, '2001-01-01')");
        data.raw.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
                      " INSERT INTO Rashod (kod, names, price, counts, doc, dates)"
                      " SELECT 1, 'строка', i * 100, 10000, 'чек', date('2001-01-01', '+' || (i / 7) || ' days') FROM n");
        data.raw.exec("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES (1, 'без даты', 10000, 10000, NULL),"
                      " (1, 'без даты', 20000, 10000, NULL), (1, 'с часом', 30000, 10000, '2001-01-21 14:30:00')");
        Program program;
        ledger::Dataset &lines = program.window().session().chartExpenses();
        lines.close();
        lines.setSource("GrafRashodAll");
        lines.open();
        const charts::SeriesTable table = charts::readSeries(lines, {"suma"}, "dates");
        // What each position must say, from the file in the view's order.
        QStringList expected;
        for (const QString &row : data.raw.rows("SELECT ifnull(dates, '') FROM GrafRashodAll")) {
            QString label = row.isEmpty() ? QString() : shown(row.left(10));
            if (row.size() > 10)
                label += ' ' + row.mid(11);
            expected << label;
        }
        QCOMPARE(table.size(), 303);
        QStringList labels;
        for (int p = 0; p < table.size(); ++p)
            labels << table.label(p);
        QCOMPARE(labels, expected);
        QVERIFY(table.dateRuns.size() < 50);
        QCOMPARE(table.label(303), QString());
    }

    void theWholePeriodIsDrawnFromTheKeptFiguresPointForPoint()
    {
        // Days of one line to a few hundred, lines without a date or an amount, equal and
        // negative amounts (a column's highest often comes twice), a date with its hour.
        Ledger data;
        data.raw.exec("INSERT INTO List (names, suma, dates) VALUES ('Расход', 0, '2001-01-01')");
        QRandomGenerator random(91226);
        QStringList rows;
        for (int day = 0; day < 60; ++day) {
            const QString date = day == 0 ? QStringLiteral("NULL")
                                 : day == 7 ? QStringLiteral("'2001-02-03 12:30:00'")
                                            : QStringLiteral("date('2001-01-01', '+%1 days')").arg(day * 3);
            const int lines = day % 9 == 4 || day == 0 ? 200 + random.bounded(200) : 1 + random.bounded(day % 3 == 0 ? 3 : 40);
            for (int i = 0; i < lines; ++i) {
                const int pick = random.bounded(12);
                const QString price = pick == 0 ? QStringLiteral("NULL") : QString::number((pick - 3) * 5000 + random.bounded(3));
                rows << QStringLiteral("(1, 'x', %1, %2, %3)").arg(price, random.bounded(4) ? "10000" : "15000", date);
            }
        }
        data.raw.exec("INSERT INTO Rashod (kod, names, price, counts, dates) VALUES " + rows.join(", "));
        Program program;
        ledger::Dataset &dataset = program.window().session().chartExpenses();
        dataset.close();
        dataset.setSource("GrafRashodAll");
        dataset.open();
        const charts::SeriesTable lines = charts::readSeries(dataset, {"suma"}, "dates");
        const QVector<double> &values = lines.values.first();
        const charts::LineDays days = charts::readLineDays(*dataset.connection());
        charts::LedgerLineLookup lookup(*dataset.connection());
        QCOMPARE(days.size(), lines.size());
        for (int p = 0; p < lines.size(); p += 7)
            QCOMPARE(days.labels.label(p), lines.label(p));

        const int count = lines.size();
        QVector<QPair<double, double>> ranges = {{0, count - 1}, {-5, count + 5}, {10.4, 20.6}, {count - 3, count - 1}};
        for (int i = 0; i < 30; ++i) {
            const double a = random.bounded(double(count));
            ranges.append({a, a + random.bounded(double(count) - a)});
        }
        for (const auto &[from, to] : ranges) {
            for (const int columns : {1, 3, 17, 120, 1000}) {
                const auto expected = charts::visiblePoints(values, from, to, columns);
                const auto drawn = charts::visibleDayPoints(days, lookup, from, to, columns);
                QVERIFY2(drawn == expected, qPrintable(QStringLiteral("%1..%2 over %3 columns").arg(from).arg(to).arg(columns)));
            }
        }
    }
};

QTEST_MAIN(ChartsTest)
#include "test_charts.moc"
