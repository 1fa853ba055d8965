#pragma once

#include "chartdata.h"
#include "chartwindow.h"

namespace charts {

// The exchange-rate chart (TForm4): the stored rouble rates of the dollar, the euro and
// the pound as three lines, one position per rate row. It opens on the whole period.
class RatesChart : public ChartWindow
{
    Q_OBJECT

public:
    explicit RatesChart(ledger::Session &session, QWidget *parent = nullptr);

    static WindowLook look();

    const SeriesTable &rates() const { return m_rates; }
    // The largest rate of the rows shown, 0 when there is none.
    double largestRate() const;

protected:
    void load(bool wholePeriod) override;

private:
    void showSeries();

    SeriesTable m_rates;
    QVector<int> m_lines;
};

} // namespace charts
