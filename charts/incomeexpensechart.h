#pragma once

#include "chartdata.h"
#include "chartwindow.h"
#include "linedays.h"

namespace charts {

// The income and expense chart (TForm3): the incomes ("Доходы") and the expense lines
// ("Расходы") of the period as two lines, each point at the next equal step in row order.
// The month's lines are read one by one; the whole period's are drawn from the figures the
// ledger keeps per date, as they may be millions.
class IncomeExpenseChart : public ChartWindow
{
    Q_OBJECT

public:
    explicit IncomeExpenseChart(ledger::Session &session, QWidget *parent = nullptr);

    static WindowLook look();

    const SeriesTable &incomes() const { return m_incomes; }
    int incomeLine() const { return m_incomeLine; }
    int expenseLine() const { return m_expenseLine; }
    // The label of a horizontal position: the income's date where there is an income at
    // that position, the expense line's date beyond the last income.
    QString labelAt(int position) const;

protected:
    void load(bool wholePeriod) override;

private:
    void showSeries();
    const SeriesTable &expenseLabels() const;
    QPair<double, double> verticalRange() const;
    QVector<QVector<QPointF>> wholePeriodExpenses(double from, double to, int columns);

    SeriesTable m_incomes;
    SeriesTable m_expenses;
    LineDays m_expenseDays;
    bool m_byDays = false;
    bool m_lookupFailed = false;
    int m_incomeLine = 0;
    int m_expenseLine = 1;
};

} // namespace charts
