#include "topexpenseschart.h"

#include "chartdata.h"
#include "plot.h"

#include "ledger/dataset.h"
#include "ledger/session.h"

#include <QChart>
#include <QLegend>

#include <algorithm>

namespace charts {

WindowLook TopExpensesChart::look()
{
    WindowLook look;
    look.caption = QStringLiteral("График TOP расходов");
    look.objectName = QStringLiteral("TForm11");
    look.size = QSize(680, 480);
    look.place = QPoint(80, 80);
    look.preselected = 0;
    look.tooltips = false;
    look.icon = QStringLiteral("window-top");
    look.whiteBackground = false;
    return look;
}

TopExpensesChart::TopExpensesChart(ledger::Session &session, QWidget *parent)
    : ChartWindow(session, look(), parent)
{
    QChart *chart = plot().chart();
    chart->legend()->hide();
    // An invisible line on the axes: zooming works on the chart's series, and the bars
    // are drawn by our own item on the same axes.
    plot().addLine(QString(), Qt::transparent, 1, QStringLiteral("LineSeries1Axes"));
    plot().setHorizontalGrid(false);
    m_bars = new BarsItem(&plot(), chart);
    m_bars->setObjectName(QStringLiteral("LineSeries1"));
    connect(&plot(), &Plot::geometryChanged, m_bars, [this] { m_bars->update(); });

    plot().setVerticalRule([this](const QRectF &area) {
        const QVector<Bar> &bars = m_bars->bars();
        if (bars.isEmpty())
            return qMakePair(0.0, 1.0);
        double low = 0.0;
        double high = 0.0;
        for (const Bar &bar : bars) {
            low = std::min(low, bar.amount.toDouble());
            high = std::max(high, bar.amount.toDouble());
        }
        if (high == low)
            high = low + 1.0;
        // Leave room above the tallest bar (and below the lowest one) for its top face and
        // its mark.
        const double room = m_bars->roomAbove(area.width() / double(bars.size()));
        const double height = area.height();
        const double span = high - low;
        if (height > 3 * room) {
            const double perPixel = span / (height - (low < 0 ? 2 : 1) * room);
            if (high > 0)
                high += room * perPixel;
            if (low < 0)
                low -= room * perPixel;
        } else {
            high += high > 0 ? span * 0.25 : 0.0;
            low -= low < 0 ? span * 0.25 : 0.0;
        }
        return qMakePair(low, high);
    });
    showBars({});
}

void TopExpensesChart::load(bool wholePeriod)
{
    ledger::Dataset &top = session().chartTop();
    showBars({});
    top.close();
    top.setSource(wholePeriod ? QStringLiteral("TopRashodAll") : QStringLiteral("TopRashod"));
    top.open();
    // The view is ordered largest first: the bars shown are its first rows.
    const SeriesTable rows = readSeries(top, {QStringLiteral("suma")}, QStringLiteral("names"), kShownBars, true);
    QVector<Bar> bars;
    for (int k = 0; k < rows.size(); ++k)
        bars.append({rows.label(k), rows.amounts.at(k), barPalette().at(k % barPalette().size())});
    showBars(std::move(bars));
}

void TopExpensesChart::showBars(QVector<Bar> bars)
{
    const int count = int(bars.size());
    m_bars->setBars(std::move(bars));
    plot().setHorizontal(-0.5, std::max(count, 1) - 0.5, count,
                         [this](int k) { return k < m_bars->bars().size() ? m_bars->bars().at(k).name : QString(); },
                         LabelFit::ElideToSlot);
    plot().reload();
}

} // namespace charts
