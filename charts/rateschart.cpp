#include "rateschart.h"

#include "plot.h"

#include "ledger/dataset.h"
#include "ledger/session.h"

#include <QColor>

#include <algorithm>

namespace charts {

namespace {

const QStringList kRateFields = {QStringLiteral("kurs1"), QStringLiteral("kurs2"), QStringLiteral("kurs3")};

} // namespace

WindowLook RatesChart::look()
{
    WindowLook look;
    look.caption = QStringLiteral("График изменения курса валют");
    look.objectName = QStringLiteral("TForm4");
    look.size = QSize(553, 365);
    look.place = QPoint(50, 100);
    look.preselected = 1;
    look.tooltips = false;
    look.icon = QStringLiteral("window-rates");
    look.whiteBackground = false;
    return look;
}

RatesChart::RatesChart(ledger::Session &session, QWidget *parent)
    : ChartWindow(session, look(), parent)
{
    m_lines = {plot().addLine(QStringLiteral("Доллар"), QColor(0, 128, 192), 2, QStringLiteral("Series1")),
               plot().addLine(QStringLiteral("Евро"), QColor(253, 126, 0), 2, QStringLiteral("Series2")),
               plot().addLine(QStringLiteral("Фунт"), QColor(128, 0, 255), 2, QStringLiteral("Series3"))};
    plot().setGridMidway(true);
    // From 0, and high enough that no rate shown is cut off.
    plot().setVerticalRule([this](const QRectF &area) {
        return qMakePair(0.0, rateAxisTop(largestRate(), area.height() >= 20 ? area.height() : 200.0,
                                          plot().labelPixels()));
    });
    showSeries();
}

double RatesChart::largestRate() const
{
    double largest = 0.0;
    for (const QVector<double> &column : m_rates.values) {
        for (const double rate : column) {
            if (rate > largest)
                largest = rate;
        }
    }
    return largest;
}

void RatesChart::load(bool wholePeriod)
{
    ledger::Dataset &rates = session().chartRates();
    m_rates = {};
    showSeries();
    rates.close();
    rates.setSource(wholePeriod ? QStringLiteral("GrafikValutaAll") : QStringLiteral("GrafikValuta"));
    rates.open();
    m_rates = readSeries(rates, kRateFields, QStringLiteral("dates"));
    showSeries();
}

void RatesChart::showSeries()
{
    for (int i = 0; i < m_lines.size(); ++i)
        plot().setLineValues(m_lines.at(i), i < m_rates.values.size() ? m_rates.values.at(i) : QVector<double>());
    const int count = m_rates.size();
    const double last = count > 1 ? count - 1 : (count == 1 ? 0.5 : 1.0);
    plot().setHorizontal(count == 1 ? -0.5 : 0.0, last, count,
                         [this](int p) { return m_rates.label(p); },
                         LabelFit::SkipOverlapping);
    plot().reload();
}

} // namespace charts
