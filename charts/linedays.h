#pragma once

#include "chartdata.h"

#include <QPointF>
#include <QString>
#include <QVector>

#include <memory>

namespace ledger {
class Connection;
class PreparedRead;
}

// The expense lines of the whole period as the income and expense chart stands them:
// position k is the k-th line in date order, and within a date in the order of the amount,
// lines without an amount first. Twenty years of lines are millions of positions; the
// ledger keeps for each date its number of lines and its lowest and highest amount, and
// that, with a look into the index here and there, is enough to draw them exactly.
namespace charts {

struct LineDay
{
    QString day;       // the date as the file holds it; a null text for lines without one
    int first = 0;     // the position of its first line
    int lines = 0;
    int empty = 0;     // lines without an amount, which come first
    qint64 low = 0;    // the lowest and highest amount, in ten-thousandths, when
    qint64 high = 0;   // lines > empty

    int firstValued() const { return first + empty; }
    int end() const { return first + lines; }
};

struct LineDays
{
    QVector<LineDay> days;
    // The positions' count and their date labels, as a series read line by line would
    // have them (no values).
    SeriesTable labels;

    int size() const { return labels.size(); }
    // The day that holds a position.
    int dayAt(int position) const;
    // The lowest and highest value of all lines; false when no line has an amount.
    bool range(double *low, double *high) const;
};

// What drawing the lines needs beyond the kept figures.
class LineLookup
{
public:
    virtual ~LineLookup() = default;
    // The values of positions first..last (NaN for a line without an amount).
    virtual QVector<double> values(const LineDays &days, int first, int last) = 0;
    // The amount of the line `offset` places after the day's first line, one that has an
    // amount.
    virtual qint64 amountAt(const LineDay &day, int offset) = 0;
    // How many of the day's lines have an amount below `ticks`.
    virtual int countBelow(const LineDay &day, qint64 ticks) = 0;
};

// The kept figures of every date, in the chart's order.
LineDays readLineDays(const ledger::Connection &connection);

// Looks up lines in the ledger, through the index the chart's order comes from. Each kind
// of look-up is prepared once; the object must not outlive the connection.
class LedgerLineLookup : public LineLookup
{
public:
    explicit LedgerLineLookup(const ledger::Connection &connection);
    ~LedgerLineLookup() override;

    QVector<double> values(const LineDays &days, int first, int last) override;
    qint64 amountAt(const LineDay &day, int offset) override;
    int countBelow(const LineDay &day, qint64 ticks) override;

private:
    // A day's lines in the chart's order, from an offset on.
    ledger::PreparedRead &dayLines();

    const ledger::Connection &m_connection;
    std::unique_ptr<ledger::PreparedRead> m_dayLines;
    std::unique_ptr<ledger::PreparedRead> m_below;
};

// What visiblePoints gives for the lines' values, point for point, worked out from the
// kept figures: a pixel column's first and last point and its lowest and highest are, in
// lines ordered by amount within a date, at the edges of its dates but where a date is
// cut by the column's edge or the highest amount comes twice.
QVector<QVector<QPointF>> visibleDayPoints(const LineDays &days, LineLookup &lookup, double from, double to,
                                           int columns);

} // namespace charts
