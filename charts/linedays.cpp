#include "linedays.h"

#include "ledger/database.h"
#include "ledger/money.h"
#include "ledger/reads.h"

#include <algorithm>
#include <limits>

namespace charts {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double valueOf(qint64 ticks)
{
    return ledger::Money::fromTicks(ticks).toDouble();
}

// A date as a statement's parameter: lines without one are found by NULL.
QVariant dateParameter(const LineDay &day)
{
    return day.day.isNull() ? QVariant() : QVariant(day.day);
}

} // namespace

int LineDays::dayAt(int position) const
{
    const auto after = std::upper_bound(days.begin(), days.end(), position,
                                        [](int p, const LineDay &day) { return p < day.first; });
    return int(after - days.begin()) - 1;
}

bool LineDays::range(double *low, double *high) const
{
    bool any = false;
    qint64 lo = 0, hi = 0;
    for (const LineDay &day : days) {
        if (day.lines <= day.empty)
            continue;
        lo = any ? std::min(lo, day.low) : day.low;
        hi = any ? std::max(hi, day.high) : day.high;
        any = true;
    }
    *low = any ? valueOf(lo) : 0.0;
    *high = any ? valueOf(hi) : 0.0;
    return any;
}

LineDays readLineDays(const ledger::Connection &connection)
{
    LineDays result;
    SeriesTable &labels = result.labels;
    connection.forEachRow(ledger::reads::lineDays(), {},
                          [&](const ledger::StoredRow &row) {
                              LineDay day;
                              const QByteArrayView text = row.text(0);
                              if (text.data())
                                  day.day = QString::fromUtf8(text);
                              day.first = labels.rows;
                              day.lines = int(row.integer(1));
                              day.empty = int(row.integer(2));
                              day.low = row.integer(3);
                              day.high = row.integer(4);
                              if (day.lines <= 0)
                                  return true;
                              const qint64 key = text.data() ? dateKey(text) : SeriesTable::kNoLabel;
                              if (labels.dateRuns.isEmpty() || labels.dateRuns.last().key != key)
                                  labels.dateRuns.append({labels.rows, key});
                              labels.rows += day.lines;
                              result.days.append(day);
                              return true;
                          });
    return result;
}

LedgerLineLookup::LedgerLineLookup(const ledger::Connection &connection)
    : m_connection(connection)
{
}

LedgerLineLookup::~LedgerLineLookup() = default;

ledger::PreparedRead &LedgerLineLookup::dayLines()
{
    if (!m_dayLines)
        m_dayLines = std::make_unique<ledger::PreparedRead>(m_connection, ledger::reads::dayLineAmounts());
    return *m_dayLines;
}

QVector<double> LedgerLineLookup::values(const LineDays &days, int first, int last)
{
    QVector<double> values;
    values.reserve(std::max(0, last - first + 1));
    // Day by day, so that each value stands at a position of its own date even when the
    // file has changed since the figures were read: a day that has lost lines since shows
    // gaps, one that has gained some shows as many as it had.
    for (int d = std::max(0, days.dayAt(first)); d < days.days.size() && days.days.at(d).first <= last; ++d) {
        const LineDay &day = days.days.at(d);
        const int from = std::max(first, day.first);
        const int count = std::min(last + 1, day.end()) - from;
        const qsizetype wanted = values.size() + count;
        dayLines().forEachRow({dateParameter(day), count, from - day.first}, [&values](const ledger::StoredRow &row) {
            bool empty = false;
            const qint64 ticks = row.integer(0, &empty);
            values.append(empty ? kNaN : valueOf(ticks));
            return true;
        });
        while (values.size() < wanted)
            values.append(kNaN);
    }
    return values;
}

qint64 LedgerLineLookup::amountAt(const LineDay &day, int offset)
{
    // The day's highest stands in for a line that has gone since the figures were read.
    qint64 ticks = day.high;
    dayLines().forEachRow({dateParameter(day), 1, offset}, [&ticks](const ledger::StoredRow &row) {
        bool empty = false;
        const qint64 stored = row.integer(0, &empty);
        if (!empty)
            ticks = stored;
        return false;
    });
    return ticks;
}

int LedgerLineLookup::countBelow(const LineDay &day, qint64 ticks)
{
    int count = 0;
    if (!m_below)
        m_below = std::make_unique<ledger::PreparedRead>(m_connection, ledger::reads::dayLinesBelow());
    m_below->forEachRow({dateParameter(day), ticks}, [&count](const ledger::StoredRow &row) {
            count = int(row.integer(0));
            return false;
        });
    return count;
}

namespace {

// The part of one day within a column that has amounts: ascending from `begin` to `end`.
struct DayPart
{
    const LineDay *day = nullptr;
    int begin = 0, end = 0;
    qint64 low = 0, high = 0;
};

// A column's points, as visiblePoints picks them: within each of its dates the values
// ascend, so its first and lowest lie at the start of a date's part and its highest and
// last at the end of one.
ColumnPoints pickColumn(const LineDays &days, LineLookup &lookup, int begin, int end)
{
    ColumnPoints points;
    DayPart highest;
    for (int d = std::max(0, days.dayAt(begin)); d < days.days.size() && days.days.at(d).first < end; ++d) {
        const LineDay &day = days.days.at(d);
        DayPart part{&day, std::max(begin, day.firstValued()), std::min(end, day.end())};
        if (part.begin >= part.end)
            continue;
        part.low = part.begin == day.firstValued() ? day.low : lookup.amountAt(day, part.begin - day.first);
        part.high = part.end == day.end() ? day.high : lookup.amountAt(day, part.end - 1 - day.first);
        const QPointF low(part.begin, valueOf(part.low));
        const QPointF high(part.end - 1, valueOf(part.high));
        if (!points.any) {
            points = {true, low, low, high, high};
            highest = part;
        } else {
            if (low.y() < points.lowest.y())
                points.lowest = low;
            if (high.y() > points.highest.y()) {
                points.highest = high;
                highest = part;
            }
        }
        points.last = high;
    }
    if (!points.any)
        return points;
    // Within its part the highest amount starts after the lines below it, unless the part is
    // all one amount.
    if (highest.low == highest.high)
        points.highest.setX(highest.begin);
    else
        points.highest.setX(std::max(highest.begin,
                                     highest.day->firstValued() + lookup.countBelow(*highest.day, highest.high)));
    return points;
}

} // namespace

QVector<QVector<QPointF>> visibleDayPoints(const LineDays &days, LineLookup &lookup, double from, double to,
                                           int columns)
{
    return reducedRuns(
        days.size(), from, to, columns, [&](int first, int last) { return lookup.values(days, first, last); },
        [&](int begin, int end) { return pickColumn(days, lookup, begin, end); });
}

} // namespace charts
