#pragma once

#include "chartdata.h"
#include "chartwindow.h"

class QComboBox;
class QLabel;

namespace charts {

// The price history of one item (TForm14): the unit price of each purchase of the item
// named in the item box, exactly as typed or picked, as a line over the purchase dates on
// a time axis, with the first, lowest, highest and last price and the change from first
// to last under the chart.
class PriceHistoryChart : public ChartWindow
{
    Q_OBJECT

public:
    static const QString kCaption;

    explicit PriceHistoryChart(ledger::Session &session, QWidget *parent = nullptr);

    static WindowLook look();

    QComboBox *itemBox() const { return m_itemBox; }
    // The item whose history is shown, and its purchases.
    const QString &shownItem() const { return m_item; }
    const QVector<PricePoint> &points() const { return m_points; }
    const PriceFigures &figures() const { return m_figures; }
    int priceLine() const { return m_line; }
    // The Julian day at horizontal position 0.
    qint64 baseDay() const { return m_baseDay; }

protected:
    void start() override;
    void load(bool wholePeriod) override;

private:
    QWidget *makeFigures();
    void showHistory();
    void showFigures();

    QComboBox *m_itemBox = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_first = nullptr;
    QLabel *m_lowest = nullptr;
    QLabel *m_highest = nullptr;
    QLabel *m_last = nullptr;
    QLabel *m_change = nullptr;
    QString m_item;
    QVector<PricePoint> m_points;
    PriceFigures m_figures;
    int m_line = 0;
    qint64 m_baseDay = 0;
};

} // namespace charts
