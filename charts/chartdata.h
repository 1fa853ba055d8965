#pragma once

#include "ledger/money.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <limits>

#include <functional>

#include <optional>

namespace ledger {
class Connection;
class Dataset;
}

// What the charts draw, worked out from the ledger's rows apart from any drawing: the
// points of a series, the labels of the horizontal positions, the vertical axis' label
// step and range, and the reduced point set that stands in for a long series.
namespace charts {

// The rows of a chart dataset in their order: position k is the k-th row. A row whose
// value field is empty keeps its position with NaN as its value (a point that is not
// drawn). Labels are kept compact, as a ledger's whole life of lines may be read.
struct SeriesTable
{
    static constexpr qint64 kNoLabel = std::numeric_limits<qint64>::min();

    // A run of rows with one date label (seconds from Julian day 0, or kNoLabel), from the
    // position `first` to the next run's: a ledger's lines of a day come one after another.
    struct DateRun
    {
        int first = 0;
        qint64 key = kNoLabel;
        friend bool operator==(const DateRun &a, const DateRun &b) { return a.first == b.first && a.key == b.key; }
    };
    QVector<DateRun> dateRuns;       // the date labels, or
    QStringList textLabels;          // for a label field that is text, the texts
    QVector<QVector<double>> values; // one column per value field
    QVector<ledger::Money> amounts;  // the first value field as money (0 where empty), when asked for
    int rows = 0;

    int size() const { return rows; }
    // A date in the short form, with its time of day when it has one; a text as it is.
    QString label(int position) const;
};

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" as seconds from Julian day 0; kNoLabel for
// anything else.
qint64 dateKey(QByteArrayView text);

// Walks an open dataset from its first row to its last (at most `limit` rows when
// limit >= 0) and collects the label field and the value fields. The rows are read in one
// pass over the dataset's view, whatever its length; the dataset's current row is kept.
// An unknown field raises DatabaseError. The exact amounts are kept only when asked for:
// a line chart of millions of rows needs the numbers alone.
SeriesTable readSeries(ledger::Dataset &dataset, const QStringList &valueFields, const QString &labelField,
                       int limit = -1, bool keepAmounts = false);

// The label of a horizontal position: that of the first table, in series order, that has a
// row at that position; an empty text past the end of all of them.
QString positionLabel(const QVector<const SeriesTable *> &tablesInSeriesOrder, int position);
int positionCount(const QVector<const SeriesTable *> &tables);

// The vertical axis' label step: the first of 0.001, 0.002, 0.005, 0.01, 0.02, ... at
// which labels `labelPixels` high, one per step, fit an axis `axisPixels` long covering
// `span` units.
double labelStep(double span, double axisPixels, double labelPixels);

// The values that carry a label on an axis from `low` to `high` with this step (multiples
// of the step, the ends included when they are multiples).
QVector<double> tickValues(double low, double high, double step);

// An axis or mark value in the chart's number form "#,##0.###".
QString valueText(double value);

// The top of the rate chart's vertical axis: 60 while every rate shown lies below it,
// otherwise the first multiple of the label step above the largest rate, where the step
// is the one an axis of that length gets.
double rateAxisTop(double largestRate, double axisPixels, double labelPixels);

// The range of amounts over several series (NaN stepped over); {0, 0} and false when
// there is no value at all.
bool valueRange(const QVector<const QVector<double> *> &series, double *low, double *high);

// The points of a series that stand for it on screen between positions `from` and `to`
// over `columns` pixel columns. Consecutive valued positions form a run, and an empty
// value ends a run. When the positions are many more than the columns, each column keeps
// only its first, lowest, highest and last point, so the line looks the same; a gap
// within one column is too narrow to be seen and is bridged. The points just outside the
// range are kept so that lines reach the edges.
QVector<QVector<QPointF>> visiblePoints(const QVector<double> &values, double from, double to, int columns);

// A pixel column's points of a reduced line: its first and last valued point and the first
// points of its lowest and of its highest value; `any` is false when it has no value.
struct ColumnPoints
{
    bool any = false;
    QPointF first, lowest, highest, last;
};
// What visiblePoints does, for `count` positions whose values need not all be at hand:
// `valuesOf` gives those of positions first..last (NaN where empty) when they are few
// enough to draw one by one, otherwise `columnOf` gives each column's points, for the
// positions from `begin` up to `end`.
using ValuesOf = std::function<QVector<double>(int first, int last)>;
using ColumnOf = std::function<ColumnPoints(int begin, int end)>;
QVector<QVector<QPointF>> reducedRuns(int count, double from, double to, int columns, const ValuesOf &valuesOf,
                                      const ColumnOf &columnOf);

// One purchase of an item: when (seconds from Julian day 0, the time of day when the line
// has one) and the price of one unit.
struct PricePoint
{
    qint64 when = 0;
    ledger::Money price;

    double day() const { return double(when) / 86400.0; }
    friend bool operator==(const PricePoint &a, const PricePoint &b) { return a.when == b.when && a.price == b.price; }
};

// The purchases of the item named exactly `item` (letter case and spaces as given), in date
// order and, within one date, in the order they were entered; over the whole period or the
// current month (the line's own date). Lines without a date or a price are left out.
QVector<PricePoint> readPriceHistory(const ledger::Connection &connection, const QString &item, bool wholePeriod);

// The item names of the expense lines, each once, empty ones left out, in the Russian
// alphabetical order (a name and its capitalised twin side by side, both kept).
QStringList readItemNames(const ledger::Connection &connection);
// The item of the newest expense line, or an empty text.
QString newestItemName(const ledger::Connection &connection);

// What the price history says in figures.
struct PriceFigures
{
    int purchases = 0;
    ledger::Money first;
    ledger::Money lowest;
    ledger::Money highest;
    ledger::Money last;
    // From the first price to the last, in per cent to two decimals; none when the first
    // price is 0.
    std::optional<ledger::Money> change;
};
PriceFigures priceFigures(const QVector<PricePoint> &points);

// "+9,89 %", "-12,50 %", "0,00 %".
QString percentText(ledger::Money percent);

// The labels of a time axis whose unit is a day and whose position 0 is `baseDay` (a
// Julian day), between `from` and `to`: dates in the short form at one step of 1, 2, 7 or
// 14 days, 1, 2, 3 or 6 months, or 1, 2, 5, 10... years, the first step whose labels stand
// at least `labelPixels` apart at `pixelsPerDay`. Days are counted from the base, months
// and years from their first day.
QVector<QPair<double, QString>> dateTicks(qint64 baseDay, double from, double to, double pixelsPerDay,
                                          double labelPixels);

// The points of a line through points in the order of their x (several may share one x)
// that stand for it between `from` and `to` over `columns` pixel columns: all of them when
// they are few, otherwise each column's first, lowest, highest and last. The points just
// outside the range are kept so that the line reaches the edges.
QVector<QPointF> visibleTrace(const QVector<QPointF> &points, double from, double to, int columns);

} // namespace charts
