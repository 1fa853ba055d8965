#pragma once

#include "chartdata.h"
#include "chartwindow.h"

namespace charts {

// The income and expense chart (TForm3): the incomes ("Доходы") and the expense lines
// ("Расходы") of the period as two lines, each point at the next equal step in row order.
class IncomeExpenseChart : public ChartWindow
{
    Q_OBJECT

public:
    explicit IncomeExpenseChart(ledger::Session &session, QWidget *parent = nullptr);

    static WindowLook look();

    const SeriesTable &incomes() const { return m_incomes; }
    const SeriesTable &expenses() const { return m_expenses; }
    int incomeLine() const { return m_incomeLine; }
    int expenseLine() const { return m_expenseLine; }
    // The label of a horizontal position: the income's date where there is an income at
    // that position, the expense line's date beyond the last income.
    QString labelAt(int position) const;

protected:
    void load(bool wholePeriod) override;

private:
    void showSeries();

    SeriesTable m_incomes;
    SeriesTable m_expenses;
    int m_incomeLine = 0;
    int m_expenseLine = 1;
};

} // namespace charts
