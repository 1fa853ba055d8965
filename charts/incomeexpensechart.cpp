#include "incomeexpensechart.h"

#include "plot.h"

#include "widgets/guard.h"

#include "ledger/database.h"
#include "ledger/dataset.h"
#include "ledger/error.h"
#include "ledger/session.h"

#include <QChart>
#include <QColor>

#include <algorithm>

namespace charts {

namespace {

const QVector<double> &firstColumn(const SeriesTable &table)
{
    static const QVector<double> none;
    return table.values.isEmpty() ? none : table.values.first();
}

} // namespace

WindowLook IncomeExpenseChart::look()
{
    WindowLook look;
    look.caption = QStringLiteral("График расхода и дохода");
    look.objectName = QStringLiteral("TForm3");
    look.size = QSize(518, 381);
    look.place = QPoint(100, 50);
    look.preselected = 0;
    look.tooltips = true;
    look.icon = QStringLiteral("window-income-expense");
    look.whiteBackground = true;
    return look;
}

IncomeExpenseChart::IncomeExpenseChart(ledger::Session &session, QWidget *parent)
    : ChartWindow(session, look(), parent)
{
    m_incomeLine = plot().addLine(QStringLiteral("Доходы"), QColor(0, 128, 0), 3, QStringLiteral("Series1"));
    m_expenseLine = plot().addLine(QStringLiteral("Расходы"), QColor(255, 0, 128), 3, QStringLiteral("Series2"));
    plot().setVerticalRule([this](const QRectF &) { return verticalRange(); });
    showSeries();
}

const SeriesTable &IncomeExpenseChart::expenseLabels() const
{
    return m_byDays ? m_expenseDays.labels : m_expenses;
}

QString IncomeExpenseChart::labelAt(int position) const
{
    return positionLabel({&m_incomes, &expenseLabels()}, position);
}

QPair<double, double> IncomeExpenseChart::verticalRange() const
{
    double low = 0.0, high = 1.0;
    bool any = false;
    if (m_byDays) {
        double incomeLow = 0.0, incomeHigh = 0.0;
        const bool incomes = valueRange({&firstColumn(m_incomes)}, &incomeLow, &incomeHigh);
        any = m_expenseDays.range(&low, &high);
        if (incomes) {
            low = any ? std::min(low, incomeLow) : incomeLow;
            high = any ? std::max(high, incomeHigh) : incomeHigh;
            any = true;
        }
    } else {
        any = valueRange({&firstColumn(m_incomes), &firstColumn(m_expenses)}, &low, &high);
    }
    if (!any)
        return qMakePair(0.0, 1.0);
    if (low == high)
        return qMakePair(std::min(low, 0.0), std::max(high, 0.0));
    return qMakePair(low, high);
}

QVector<QVector<QPointF>> IncomeExpenseChart::wholePeriodExpenses(double from, double to, int columns)
{
    QVector<QVector<QPointF>> runs;
    // One error box for a ledger that cannot be read, not one for every redraw (nor one
    // for each redraw while the box is up).
    if (m_lookupFailed)
        return runs;
    m_lookupFailed = true;
    m_lookupFailed = !ui::guard(this, [&] {
        const ledger::Connection *connection = session().chartExpenses().connection();
        if (!connection)
            throw ledger::DatabaseError(QStringLiteral("База данных не открыта"));
        LedgerLineLookup lookup(*connection);
        runs = visibleDayPoints(m_expenseDays, lookup, from, to, columns);
    });
    return runs;
}

void IncomeExpenseChart::load(bool wholePeriod)
{
    ledger::Dataset &expenses = session().chartExpenses();
    ledger::Dataset &incomes = session().chartIncomes();
    m_expenses = {};
    m_expenseDays = {};
    m_byDays = false;
    m_lookupFailed = false;
    m_incomes = {};
    try {
        expenses.close();
        incomes.close();
        expenses.setSource(wholePeriod ? QStringLiteral("GrafRashodAll") : QStringLiteral("GrafRashod"));
        incomes.setSource(wholePeriod ? QStringLiteral("GrafDohodAll") : QStringLiteral("GrafDohod"));
        expenses.open();
        incomes.open();
        if (wholePeriod) {
            m_expenseDays = readLineDays(*expenses.connection());
            m_byDays = true;
        } else {
            m_expenses = readSeries(expenses, {QStringLiteral("suma")}, QStringLiteral("dates"));
        }
        m_incomes = readSeries(incomes, {QStringLiteral("suma")}, QStringLiteral("dates"));
    } catch (...) {
        // What was read before the failure is shown; nothing of the last period stays.
        showSeries();
        throw;
    }
    showSeries();
}

void IncomeExpenseChart::showSeries()
{
    plot().setLineValues(m_incomeLine, firstColumn(m_incomes));
    if (m_byDays)
        plot().setLineRule(m_expenseLine, m_expenseDays.size(), [this](double from, double to, int columns) {
            return wholePeriodExpenses(from, to, columns);
        });
    else
        plot().setLineValues(m_expenseLine, firstColumn(m_expenses));
    const int count = positionCount({&m_incomes, &expenseLabels()});
    const double last = count > 1 ? count - 1 : (count == 1 ? 0.5 : 1.0);
    plot().setHorizontal(count == 1 ? -0.5 : 0.0, last, count, [this](int p) { return labelAt(p); },
                         LabelFit::SkipOverlapping);
    plot().reload();
}

} // namespace charts
