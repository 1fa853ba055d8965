#include "bars.h"

#include "plot.h"

#include "ledger/regional.h"

#include <QChart>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace charts {

namespace {

constexpr qreal kBarsZ = 4.5; // above the grid and axis lines, under the labels and the legend
const QColor kMarkFill(255, 255, 225);
const QColor kMarkFrame(128, 128, 128);

QFont markFont(const QFont &chartFont)
{
    QFont font = chartFont;
    font.setPixelSize(std::max(6, int(std::lround(chartFont.pixelSize() * 0.85))));
    return font;
}

} // namespace

const QVector<QColor> &barPalette()
{
    static const QVector<QColor> colours = {
        QColor(255, 0, 0),   QColor(0, 128, 0),   QColor(255, 255, 0), QColor(0, 0, 255),   QColor(255, 0, 255),
        QColor(0, 128, 128), QColor(128, 0, 0),   QColor(0, 255, 0),   QColor(0, 0, 128),   QColor(128, 128, 0),
    };
    return colours;
}

BarsItem::BarsItem(Plot *plot, QGraphicsItem *parent)
    : QGraphicsObject(parent)
    , m_plot(plot)
{
    setZValue(kBarsZ);
}

void BarsItem::setBars(QVector<Bar> bars)
{
    prepareGeometryChange();
    m_bars = std::move(bars);
    update();
}

QRectF BarsItem::boundingRect() const
{
    return parentItem()->boundingRect();
}

double BarsItem::roomAbove(double slotPixels) const
{
    const double depth = kDepthShare * kWidthShare * slotPixels;
    return depth + kMarkLine + QFontMetricsF(markFont(m_plot->textFont())).height() + 4 + 4;
}

QRectF BarsItem::frontFace(int k) const
{
    const double amount = m_bars.at(k).amount.toDouble();
    const QPointF topLeft = m_plot->toPixel(k - kWidthShare / 2, std::max(amount, 0.0));
    const QPointF bottomRight = m_plot->toPixel(k + kWidthShare / 2, std::min(amount, 0.0));
    return QRectF(topLeft, bottomRight).normalized();
}

QString BarsItem::markText(int k) const
{
    return regional::groupedText(m_bars.at(k).amount);
}

QRectF BarsItem::markRect(int k) const
{
    const QRectF front = frontFace(k);
    const double depth = kDepthShare * front.width();
    const QFontMetricsF metrics(markFont(m_plot->textFont()));
    const double width = metrics.horizontalAdvance(markText(k)) + 6;
    const double height = metrics.height() + 4;
    const double centre = front.center().x() + depth / 2;
    if (m_bars.at(k).amount < ledger::Money())
        return QRectF(centre - width / 2, front.bottom() + kMarkLine, width, height);
    return QRectF(centre - width / 2, front.top() - depth - kMarkLine - height, width, height);
}

void BarsItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (m_bars.isEmpty())
        return;
    const QRectF area = m_plot->chart()->plotArea();
    painter->save();
    painter->setClipRect(area);
    painter->setPen(Qt::NoPen);
    for (int k = 0; k < m_bars.size(); ++k) {
        const QColor colour = m_bars.at(k).colour;
        const QRectF front = frontFace(k);
        const double depth = kDepthShare * front.width();
        const QPointF back(depth, -depth);

        const QPolygonF side({front.topRight(), front.topRight() + back, front.bottomRight() + back, front.bottomRight()});
        painter->setBrush(colour.darker(170));
        painter->drawPolygon(side);
        const QPolygonF top({front.topLeft(), front.topRight(), front.topRight() + back, front.topLeft() + back});
        painter->setBrush(colour.darker(125));
        painter->drawPolygon(top);

        QLinearGradient gradient(front.topLeft(), front.bottomLeft());
        gradient.setColorAt(0.0, colour.lighter(150));
        gradient.setColorAt(1.0, colour.darker(125));
        painter->setBrush(gradient);
        painter->drawRect(front);
    }
    painter->restore();

    painter->save();
    painter->setFont(markFont(m_plot->textFont()));
    for (int k = 0; k < m_bars.size(); ++k) {
        const QRectF front = frontFace(k);
        if (front.right() < area.left() || front.left() > area.right())
            continue;
        const QRectF mark = markRect(k);
        const double depth = kDepthShare * front.width();
        const double x = mark.center().x();
        painter->setPen(QPen(kMarkFrame, 1));
        if (m_bars.at(k).amount < ledger::Money())
            painter->drawLine(QPointF(x, front.bottom()), QPointF(x, mark.top()));
        else
            painter->drawLine(QPointF(x, front.top() - depth / 2), QPointF(x, mark.bottom()));
        painter->setBrush(kMarkFill);
        painter->drawRect(mark);
        painter->setPen(Qt::black);
        painter->drawText(mark, Qt::AlignCenter, markText(k));
    }
    painter->restore();
}

} // namespace charts
