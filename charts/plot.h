#pragma once

#include <QChartView>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

class QChart;
class QGraphicsItem;
class QLineSeries;
class QValueAxis;

namespace charts {

class OverlayItem;

// The chart view of every chart window (DBChart1): a rectangle dragged rightwards zooms
// into it, animated; one dragged leftwards, or a right click, undoes the zoom. There is
// no panning.
class ChartView : public QChartView
{
    Q_OBJECT

public:
    // Takes over the chart (a view made without one would make, and leak, a chart of its own).
    ChartView(QChart *chart, QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint m_origin;
};

// How the labels of the horizontal positions are fitted under the plot.
enum class LabelFit {
    SkipOverlapping, // a label that would overlap the one drawn before it is left out
    ElideToSlot,     // every position gets its label, shortened to its own width
};

struct AxisLabel
{
    double position = 0.0; // on the axis (a horizontal position or a vertical value)
    QString text;
    QRectF rect;           // where it is drawn, in chart coordinates
};

// A chart with a horizontal axis of positions and a vertical axis of amounts, whose labels
// we write ourselves (in the program's number and date forms), and line series that are
// drawn from as many points as the screen can show. The axes and their grid come from Qt
// Charts, so zooming and printing work on everything drawn.
class Plot : public QObject
{
    Q_OBJECT

public:
    // Sets up the view's chart.
    explicit Plot(QChartView *view);
    ~Plot() override;

    QChart *chart() const { return m_chart; }
    QValueAxis *horizontalAxis() const { return m_x; }
    QValueAxis *verticalAxis() const { return m_y; }

    // A line series with its legend title; returns its number.
    int addLine(const QString &title, const QColor &colour, int width, const QString &objectName);
    // Its value per position, NaN where a row has no value.
    void setLineValues(int line, QVector<double> values);
    const QVector<double> &lineValues(int line) const;
    // The positions of a line, whether its values are at hand or not.
    int linePositions(int line) const;
    // A line through points of their own horizontal place, in the order of it (several may
    // share one place), rather than one value per position.
    void setLinePoints(int line, QVector<QPointF> points);
    // A line whose points are worked out elsewhere: `count` positions, of which `visible`
    // gives the points that stand for them between two positions over so many pixel columns
    // (as visiblePoints does for values at hand).
    using PointsRule = std::function<QVector<QVector<QPointF>>(double from, double to, int columns)>;
    void setLineRule(int line, int count, PointsRule visible);
    // A marker at each point while the points drawn are few enough to tell apart.
    void setLineMarkers(int line, bool on);
    // A pen of one pixel while the line has more points than pixel columns: a band that
    // dense looks the same, and a wider line costs many times as much to draw.
    void setLineThinWhenDense(int line, bool on);
    // The Qt series that draw the line now: one per unbroken run, the first carrying the
    // legend entry (and existing even when the line is empty).
    QList<QLineSeries *> lineSeries(int line) const;

    // The horizontal range of the whole chart (zoom undone) and the labels of positions
    // 0 .. count-1.
    void setHorizontal(double from, double to, int count, std::function<QString(int)> label, LabelFit fit);
    // Horizontal labels from a rule instead of one per position (a time axis): the places and
    // texts between `from` and `to` at so many pixels per unit; overlapping ones are left out.
    using TickRule = std::function<QVector<QPair<double, QString>>(double from, double to, double pixelsPerUnit)>;
    void setHorizontalTicks(TickRule rule);
    // Draws a vertical grid line at every horizontal label shown.
    void setHorizontalGrid(bool on);

    // The vertical range while the chart is not zoomed, worked out from the plot area.
    using RangeRule = std::function<QPair<double, double>(const QRectF &plotArea)>;
    void setVerticalRule(RangeRule rule);
    // Grid lines midway between the vertical labels rather than at them.
    void setGridMidway(bool midway);
    double verticalStep() const { return m_step; }
    // The font of our texts on the chart.
    QFont textFont() const;
    // The height one vertical label needs, spacing included.
    double labelPixels() const;

    // The labels as they are laid out for the present size and zoom.
    QVector<AxisLabel> horizontalLabels() const;
    QVector<AxisLabel> verticalLabels() const;

    // A point of the axes in chart coordinates.
    QPointF toPixel(double x, double y) const;

    // Applies the data: undoes the zoom, sets the ranges, the label step, the margins and
    // the drawn points.
    void reload();

signals:
    // The plot area or the axes' ranges changed (after the points were refitted).
    void geometryChanged();

private:
    struct Line
    {
        QString title;
        QString objectName;
        QColor colour;
        int width = 1;
        QVector<double> values;
        QVector<QPointF> points; // when the line has places of its own
        bool ownPlaces = false;
        PointsRule rule; // when the points come from elsewhere,
        int ruleCount = 0; // for so many positions
        bool markers = false;
        bool thinWhenDense = false;
        QList<QLineSeries *> series;
    };

    // The horizontal labels by the tick rule, elided to their slots, or spaced out.
    QVector<AxisLabel> tickLabels() const;
    QVector<AxisLabel> elidedLabels(int first, int last) const;
    QVector<AxisLabel> spacedLabels(int first, int last) const;

    void refit();
    void applyVertical();
    void updateMargins();
    void fitLines();
    QLineSeries *newRun(Line &line);

    QChart *m_chart = nullptr;
    QValueAxis *m_x = nullptr;
    QValueAxis *m_y = nullptr;
    OverlayItem *m_labels = nullptr;
    OverlayItem *m_grid = nullptr;
    QVector<Line> m_lines;
    int m_count = 0;
    std::function<QString(int)> m_label;
    LabelFit m_fit = LabelFit::SkipOverlapping;
    TickRule m_ticks;
    RangeRule m_rule;
    double m_step = 1.0;
    bool m_refitting = false;
    QTimer m_refitTimer;
};

} // namespace charts
