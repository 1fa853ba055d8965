#include "plot.h"

#include "chartdata.h"

#include <QChart>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace charts {

namespace {

// Stacking among the chart's own items: its grid lies at 2, its axis lines at 3, the
// series at 4 and the legend at 5.
constexpr qreal kGridZ = 2.5;
constexpr qreal kLabelsZ = 4.6;
constexpr double kLabelGap = 6.0;
constexpr int kAnimationMs = 300;

// The horizontal labels, left to right: one is placed only when it lies inside the chart
// and clears the one placed before it.
class LabelRow
{
public:
    explicit LabelRow(double chartWidth)
        : m_chartWidth(chartWidth)
    {
    }

    bool place(double left, double width)
    {
        if (!(left >= 0 && left + width <= m_chartWidth && left >= m_lastRight + kLabelGap))
            return false;
        m_lastRight = left + width;
        return true;
    }
    double lastRight() const { return m_lastRight; }

private:
    double m_chartWidth;
    double m_lastRight = -std::numeric_limits<double>::infinity();
};

} // namespace

// What we draw over the whole chart, following its size.
class OverlayItem : public QGraphicsItem
{
public:
    OverlayItem(Plot *plot, QGraphicsItem *parent, qreal z) : QGraphicsItem(parent), m_plot(plot) { setZValue(z); }

    QRectF boundingRect() const override { return parentItem()->boundingRect(); }

    void refresh()
    {
        prepareGeometryChange();
        update();
    }

    bool on = true;

protected:
    Plot *m_plot;
};

namespace {

// The texts of both axes, beside the plot area.
class LabelsItem : public OverlayItem
{
public:
    LabelsItem(Plot *plot, QGraphicsItem *parent) : OverlayItem(plot, parent, kLabelsZ) {}

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        painter->setFont(m_plot->textFont());
        painter->setPen(Qt::black);
        for (const AxisLabel &label : m_plot->horizontalLabels())
            painter->drawText(label.rect, Qt::AlignCenter, label.text);
        for (const AxisLabel &label : m_plot->verticalLabels())
            painter->drawText(label.rect, Qt::AlignRight | Qt::AlignVCenter, label.text);
    }
};

// The vertical grid lines at the horizontal labels shown.
class GridItem : public OverlayItem
{
public:
    GridItem(Plot *plot, QGraphicsItem *parent) : OverlayItem(plot, parent, kGridZ) {}

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        if (!on)
            return;
        const QRectF area = m_plot->chart()->plotArea();
        painter->setPen(QPen(m_plot->verticalAxis()->gridLineColor(), 1));
        for (const AxisLabel &label : m_plot->horizontalLabels()) {
            const double x = m_plot->toPixel(label.position, 0).x();
            painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        }
    }
};

} // namespace

ChartView::ChartView(QChart *chart, QWidget *parent)
    : QChartView(chart, parent)
{
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::NoDrag);
}

void ChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_origin = event->position().toPoint();
    QChartView::mousePressEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent *event)
{
    auto *band = findChild<QRubberBand *>();
    const bool dragging = band && band->isVisible();
    if (event->button() == Qt::LeftButton && dragging && event->position().x() < m_origin.x()) {
        band->hide();
        chart()->zoomReset();
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton && !dragging) {
        // Back to the whole chart, rather than zooming out beyond it step by step.
        chart()->zoomReset();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

Plot::Plot(QChartView *view)
    : QObject(view)
{
    m_chart = view->chart();
    m_chart->setTitle(QString());
    m_chart->setBackgroundRoundness(0);
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundBrush(Qt::white);
    m_chart->setBackgroundPen(QPen(QColor(128, 128, 128), 1));
    m_chart->setPlotAreaBackgroundVisible(false);
    m_chart->setAnimationOptions(QChart::GridAxisAnimations);
    m_chart->setAnimationDuration(kAnimationMs);
    m_chart->legend()->setAlignment(Qt::AlignRight);

    m_x = new QValueAxis(m_chart);
    m_y = new QValueAxis(m_chart);
    for (QValueAxis *axis : {m_x, m_y}) {
        axis->setLabelsVisible(false);
        axis->setLinePen(QPen(Qt::black, 1));
        axis->setGridLineColor(QColor(210, 210, 210));
        axis->setMinorGridLineColor(QColor(210, 210, 210));
        axis->setShadesVisible(false);
    }
    m_x->setGridLineVisible(false);
    m_x->setTickCount(2);
    m_x->setRange(0, 1);
    m_y->setRange(0, 1);
    m_y->setTickType(QValueAxis::TicksDynamic);
    m_y->setTickAnchor(0.0);
    m_y->setTickInterval(m_step);
    m_chart->addAxis(m_x, Qt::AlignBottom);
    m_chart->addAxis(m_y, Qt::AlignLeft);

    m_grid = new GridItem(this, m_chart);
    m_labels = new LabelsItem(this, m_chart);

    m_refitTimer.setSingleShot(true);
    m_refitTimer.setInterval(0);
    connect(&m_refitTimer, &QTimer::timeout, this, &Plot::refit);
    const auto later = [this] {
        if (!m_refitting)
            m_refitTimer.start();
    };
    connect(m_chart, &QChart::plotAreaChanged, this, later);
    connect(m_x, &QValueAxis::rangeChanged, this, later);
    connect(m_y, &QValueAxis::rangeChanged, this, later);
}

Plot::~Plot() = default;

int Plot::addLine(const QString &title, const QColor &colour, int width, const QString &objectName)
{
    Line line;
    line.title = title;
    line.objectName = objectName;
    line.colour = colour;
    line.width = width;
    m_lines.append(line);
    newRun(m_lines.last());
    return int(m_lines.size()) - 1;
}

QLineSeries *Plot::newRun(Line &line)
{
    auto *series = new QLineSeries(m_chart);
    series->setObjectName(line.objectName);
    series->setName(line.title);
    QPen pen(line.colour, line.width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    series->setPen(pen);
    series->setBrush(line.colour);
    series->setMarkerSize(line.width + 3);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    m_chart->addSeries(series);
    series->attachAxis(m_x);
    series->attachAxis(m_y);
    if (!line.series.isEmpty()) {
        // Only the first run of a line is listed in the legend.
        for (QLegendMarker *marker : m_chart->legend()->markers(series))
            marker->setVisible(false);
    }
    line.series.append(series);
    return series;
}

void Plot::setLineValues(int line, QVector<double> values)
{
    Line &l = m_lines[line];
    l.values = std::move(values);
    l.ownPlaces = false;
    l.points.clear();
    l.rule = nullptr;
}

void Plot::setLineRule(int line, int count, PointsRule visible)
{
    Line &l = m_lines[line];
    l.values.clear();
    l.ruleCount = count;
    l.ownPlaces = false;
    l.points.clear();
    l.rule = std::move(visible);
}

int Plot::linePositions(int line) const
{
    const Line &l = m_lines.at(line);
    return l.rule ? l.ruleCount : int(l.values.size());
}

void Plot::setLinePoints(int line, QVector<QPointF> points)
{
    Line &l = m_lines[line];
    l.rule = nullptr;
    l.values.clear();
    for (const QPointF &point : points)
        l.values.append(point.y());
    l.points = std::move(points);
    l.ownPlaces = true;
}

void Plot::setLineMarkers(int line, bool on)
{
    m_lines[line].markers = on;
}

void Plot::setLineThinWhenDense(int line, bool on)
{
    m_lines[line].thinWhenDense = on;
}

const QVector<double> &Plot::lineValues(int line) const
{
    return m_lines.at(line).values;
}

QList<QLineSeries *> Plot::lineSeries(int line) const
{
    QList<QLineSeries *> drawn;
    const Line &l = m_lines.at(line);
    for (int i = 0; i < l.series.size(); ++i) {
        if (i == 0 || l.series.at(i)->count() > 0)
            drawn << l.series.at(i);
    }
    return drawn;
}

void Plot::setHorizontal(double from, double to, int count, std::function<QString(int)> label, LabelFit fit)
{
    m_chart->zoomReset();
    m_x->setRange(from, to);
    m_count = count;
    m_label = std::move(label);
    m_fit = fit;
}

void Plot::setHorizontalTicks(TickRule rule)
{
    m_ticks = std::move(rule);
}

void Plot::setHorizontalGrid(bool on)
{
    m_grid->on = on;
    m_grid->update();
}

void Plot::setVerticalRule(RangeRule rule)
{
    m_rule = std::move(rule);
}

void Plot::setGridMidway(bool midway)
{
    m_y->setGridLineVisible(!midway);
    m_y->setMinorTickCount(midway ? 1 : 0);
    m_y->setMinorGridLineVisible(midway);
}

QFont Plot::textFont() const
{
    // In pixels of the chart, not in points: printing scales the chart to the page, and a
    // point size would be taken at the printer's resolution on top of that.
    QFont font = m_chart->font();
    font.setPixelSize(std::max(1, QFontInfo(font).pixelSize()));
    return font;
}

double Plot::labelPixels() const
{
    return QFontMetricsF(textFont()).height() + kLabelGap;
}

QPointF Plot::toPixel(double x, double y) const
{
    const QRectF area = m_chart->plotArea();
    const double xSpan = m_x->max() - m_x->min();
    const double ySpan = m_y->max() - m_y->min();
    const double px = xSpan > 0 ? area.left() + (x - m_x->min()) / xSpan * area.width() : area.left();
    const double py = ySpan > 0 ? area.bottom() - (y - m_y->min()) / ySpan * area.height() : area.bottom();
    return {px, py};
}

QVector<AxisLabel> Plot::horizontalLabels() const
{
    const QRectF area = m_chart->plotArea();
    const double from = m_x->min();
    const double to = m_x->max();
    if (m_ticks && area.width() > 0 && to > from)
        return tickLabels();
    if (!m_label || m_count == 0 || area.width() <= 0 || !(to > from))
        return {};
    const int first = std::max(0, int(std::ceil(from - 1e-9)));
    const int last = std::min(m_count - 1, int(std::floor(to + 1e-9)));
    if (first > last)
        return {};
    if (m_fit == LabelFit::ElideToSlot)
        return elidedLabels(first, last);
    return spacedLabels(first, last);
}

QVector<AxisLabel> Plot::tickLabels() const
{
    QVector<AxisLabel> shown;
    const QRectF area = m_chart->plotArea();
    const double from = m_x->min();
    const double to = m_x->max();
    const QFontMetricsF metrics(textFont());
    LabelRow row(m_chart->size().width());
    for (const auto &[position, text] : m_ticks(from, to, area.width() / (to - from))) {
        const double width = metrics.horizontalAdvance(text);
        const double left = toPixel(position, 0).x() - width / 2;
        if (row.place(left, width))
            shown.append({position, text, QRectF(left, area.bottom() + 4, width, metrics.height())});
    }
    return shown;
}

QVector<AxisLabel> Plot::elidedLabels(int first, int last) const
{
    QVector<AxisLabel> shown;
    const QRectF area = m_chart->plotArea();
    if (last - first > area.width())
        return shown;
    const QFontMetricsF metrics(textFont());
    const double slot = area.width() / (m_x->max() - m_x->min());
    for (int p = first; p <= last; ++p) {
        const QString text = metrics.elidedText(m_label(p), Qt::ElideRight, std::max(0.0, slot - 4));
        const double width = metrics.horizontalAdvance(text);
        const double centre = toPixel(p, 0).x();
        shown.append({double(p), text, QRectF(centre - width / 2, area.bottom() + 4, width, metrics.height())});
    }
    return shown;
}

QVector<AxisLabel> Plot::spacedLabels(int first, int last) const
{
    QVector<AxisLabel> shown;
    const QRectF area = m_chart->plotArea();
    const double from = m_x->min();
    const double to = m_x->max();
    const QFontMetricsF metrics(textFont());
    const double slot = area.width() / (to - from);
    // The position whose centre is at or right of a pixel.
    const auto positionFrom = [&](double pixel) {
        return int(std::ceil(from + (pixel - area.left()) / area.width() * (to - from) - 1e-9));
    };
    LabelRow row(m_chart->size().width());
    int p = first;
    while (p <= last) {
        const QString text = m_label(p);
        const double centre = toPixel(p, 0).x();
        const double width = text.isEmpty() ? 0 : metrics.horizontalAdvance(text);
        if (!text.isEmpty() && row.place(centre - width / 2, width)) {
            shown.append({double(p), text, QRectF(centre - width / 2, area.bottom() + 4, width, metrics.height())});
            // No label centred before this pixel can clear the one just drawn.
            p = std::max(p + 1, positionFrom(row.lastRight() + kLabelGap));
            continue;
        }
        // With many positions to a pixel, try the next pixel column rather than the next row.
        p = slot < 0.5 ? std::max(p + 1, positionFrom(centre + 1)) : p + 1;
    }
    return shown;
}

QVector<AxisLabel> Plot::verticalLabels() const
{
    QVector<AxisLabel> shown;
    const QRectF area = m_chart->plotArea();
    if (area.height() <= 0)
        return shown;
    const QFontMetricsF metrics(textFont());
    const double height = metrics.height();
    for (const double value : tickValues(m_y->min(), m_y->max(), m_step)) {
        const QString text = valueText(value);
        const double width = metrics.horizontalAdvance(text);
        const double y = toPixel(0, value).y();
        shown.append({value, text, QRectF(area.left() - 6 - width, y - height / 2, width, height)});
    }
    return shown;
}

void Plot::reload()
{
    m_chart->zoomReset();
    m_refitTimer.stop();
    refit();
}

void Plot::refit()
{
    m_refitting = true;
    applyVertical();
    updateMargins();
    fitLines();
    m_refitting = false;
    m_labels->refresh();
    m_grid->refresh();
    emit geometryChanged();
}

void Plot::applyVertical()
{
    double low = m_y->min();
    double high = m_y->max();
    if (m_rule && !m_chart->isZoomed()) {
        std::tie(low, high) = m_rule(m_chart->plotArea());
        if (!(high > low)) {
            low = std::min(low, 0.0);
            high = low + 1.0;
        }
    }
    double pixels = m_chart->plotArea().height();
    // Before the first layout the plot area is empty; a common height keeps the grid sane.
    if (pixels < 20)
        pixels = 200;
    const double step = labelStep(high - low, pixels, labelPixels());
    // The axis makes an item for every tick at once: never let a short step meet a long
    // range, not even between the two calls.
    const auto setRange = [&] {
        if (m_y->min() != low || m_y->max() != high)
            m_y->setRange(low, high);
    };
    const auto setStep = [&] {
        m_y->setTickType(QValueAxis::TicksDynamic);
        m_y->setTickAnchor(0.0);
        m_y->setTickInterval(step);
    };
    // An axis animation under way holds the old labels; Qt Charts 6.4 steps it over labels that
    // a new tick count has replaced, so none may run across the change.
    const QChart::AnimationOptions animations = m_chart->animationOptions();
    m_chart->setAnimationOptions(QChart::NoAnimation);
    if (step >= m_step) {
        setStep();
        setRange();
    } else {
        setRange();
        setStep();
    }
    m_chart->setAnimationOptions(animations);
    m_step = step;
}

void Plot::updateMargins()
{
    const QFontMetricsF metrics(textFont());
    double widest = metrics.horizontalAdvance(QStringLiteral("0"));
    for (const AxisLabel &label : verticalLabels())
        widest = std::max(widest, label.rect.width());
    const QMargins margins(int(std::ceil(widest)) + 12, 12, 12, int(std::ceil(metrics.height())) + 10);
    if (m_chart->margins() != margins)
        m_chart->setMargins(margins);
}

void Plot::fitLines()
{
    const int columns = std::max(1, int(m_chart->plotArea().width()));
    for (Line &line : m_lines) {
        QVector<QVector<QPointF>> runs;
        if (line.rule)
            runs = line.rule(m_x->min(), m_x->max(), columns);
        else if (!line.ownPlaces)
            runs = visiblePoints(line.values, m_x->min(), m_x->max(), columns);
        else if (QVector<QPointF> trace = visibleTrace(line.points, m_x->min(), m_x->max(), columns); !trace.isEmpty())
            runs.append(std::move(trace));
        // Markers closer than a few pixels would merge into a band.
        const bool markers = line.markers && runs.size() == 1 && runs.first().size() * 6 <= columns;
        qsizetype drawn = 0;
        for (const QVector<QPointF> &run : runs)
            drawn += run.size();
        const int width = line.thinWhenDense && drawn > columns ? 1 : line.width;
        while (line.series.size() < runs.size())
            newRun(line);
        for (int i = 0; i < line.series.size(); ++i) {
            QLineSeries *series = line.series.at(i);
            // A line through one point draws nothing; a lone point shows as a dot.
            const bool lone = i < runs.size() && (runs.at(i).size() == 1 || markers);
            if (series->pointsVisible() != lone)
                series->setPointsVisible(lone);
            if (series->pen().width() != width) {
                QPen pen = series->pen();
                pen.setWidth(width);
                series->setPen(pen);
            }
            if (i < runs.size())
                series->replace(runs.at(i));
            else if (series->count() > 0)
                series->clear();
        }
    }
}

} // namespace charts
