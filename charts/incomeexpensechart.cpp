#include "incomeexpensechart.h"

#include "plot.h"

#include "ledger/dataset.h"
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
    plot().setVerticalRule([this](const QRectF &) {
        double low = 0.0;
        double high = 1.0;
        if (!valueRange({&firstColumn(m_incomes), &firstColumn(m_expenses)}, &low, &high))
            return qMakePair(0.0, 1.0);
        if (low == high)
            return qMakePair(std::min(low, 0.0), std::max(high, 0.0));
        return qMakePair(low, high);
    });
    showSeries();
}

QString IncomeExpenseChart::labelAt(int position) const
{
    return positionLabel({&m_incomes, &m_expenses}, position);
}

void IncomeExpenseChart::load(bool wholePeriod)
{
    ledger::Dataset &expenses = session().chartExpenses();
    ledger::Dataset &incomes = session().chartIncomes();
    m_expenses = {};
    m_incomes = {};
    try {
        expenses.close();
        incomes.close();
        expenses.setSource(wholePeriod ? QStringLiteral("GrafRashodAll") : QStringLiteral("GrafRashod"));
        incomes.setSource(wholePeriod ? QStringLiteral("GrafDohodAll") : QStringLiteral("GrafDohod"));
        expenses.open();
        incomes.open();
        m_expenses = readSeries(expenses, {QStringLiteral("suma")}, QStringLiteral("dates"));
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
    plot().setLineValues(m_expenseLine, firstColumn(m_expenses));
    const int count = positionCount({&m_incomes, &m_expenses});
    const double last = count > 1 ? count - 1 : (count == 1 ? 0.5 : 1.0);
    plot().setHorizontal(count == 1 ? -0.5 : 0.0, last, count, [this](int p) { return labelAt(p); },
                         LabelFit::SkipOverlapping);
    plot().reload();
}

} // namespace charts
