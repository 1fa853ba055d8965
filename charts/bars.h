#pragma once

#include "ledger/money.h"

#include <QColor>
#include <QGraphicsObject>
#include <QString>
#include <QVector>

namespace charts {

class Plot;

// One bar of the top chart: an expense line's name and amount, in its own colour.
struct Bar
{
    QString name;
    ledger::Money amount;
    QColor colour;
};

// The colours bars take in point order.
const QVector<QColor> &barPalette();

// The bars of the top chart, drawn in three dimensions on the plot's axes: a front face
// filled with a gradient of the bar's colour, a darker top and a still darker side face,
// set back by a depth of 15 per cent of the bar's width, and above each bar a mark with
// its amount, joined to it by a short line. Bar k stands at horizontal position k.
class BarsItem : public QGraphicsObject
{
    Q_OBJECT

public:
    static constexpr double kWidthShare = 0.7;  // of a position's slot
    static constexpr double kDepthShare = 0.15; // of a bar's width
    static constexpr double kMarkLine = 8.0;    // pixels from the bar to its mark

    BarsItem(Plot *plot, QGraphicsItem *parent);

    void setBars(QVector<Bar> bars);
    const QVector<Bar> &bars() const { return m_bars; }

    // The space a mark with its line and the bar's top face takes above a bar, in pixels,
    // for bars in a slot this wide.
    double roomAbove(double slotPixels) const;

    // Where bar k's front face is drawn, in chart coordinates.
    QRectF frontFace(int k) const;
    // Where its mark is drawn.
    QRectF markRect(int k) const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QString markText(int k) const;

    Plot *m_plot;
    QVector<Bar> m_bars;
};

} // namespace charts
