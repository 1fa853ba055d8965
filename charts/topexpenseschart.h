#pragma once

#include "bars.h"
#include "chartwindow.h"

namespace charts {

// The top expenses chart (TForm11): the largest single expense lines of the period as
// bars, largest first, at most ten; lines of the same name stay apart.
class TopExpensesChart : public ChartWindow
{
    Q_OBJECT

public:
    static constexpr int kShownBars = 10;

    explicit TopExpensesChart(ledger::Session &session, QWidget *parent = nullptr);

    static WindowLook look();

    BarsItem &bars() const { return *m_bars; }

protected:
    void load(bool wholePeriod) override;

private:
    void showBars(QVector<Bar> bars);

    BarsItem *m_bars = nullptr;
};

} // namespace charts
