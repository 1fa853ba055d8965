#include "chartdata.h"

#include "ledger/database.h"
#include "ledger/dataset.h"
#include "ledger/error.h"
#include "ledger/regional.h"
#include "ledger/reads.h"
#include "ledger/schema.h"
#include "ledger/uint128.h"

#include <QCollator>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace charts {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// 1, 2, 5 times 10^k for the k-th step from 0.001 upwards.
double stepAt(int index)
{
    static const double factors[3] = {1.0, 2.0, 5.0};
    return factors[index % 3] * std::pow(10.0, index / 3 - 3);
}

} // namespace

// Read digit by digit: a chart may read millions of them.
qint64 dateKey(QByteArrayView text)
{
    const auto digits = [&text](int at, int count) {
        int value = 0;
        for (int i = at; i < at + count; ++i) {
            const char c = text.at(i);
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    if (text.size() < 10)
        return SeriesTable::kNoLabel;
    const QDate date(digits(0, 4), digits(5, 2), digits(8, 2));
    if (!date.isValid())
        return SeriesTable::kNoLabel;
    qint64 seconds = 0;
    if (text.size() >= 19) {
        const int h = digits(11, 2), m = digits(14, 2), sec = digits(17, 2);
        if (h >= 0 && m >= 0 && sec >= 0)
            seconds = h * 3600 + m * 60 + sec;
    }
    return date.toJulianDay() * 86400 + seconds;
}

QString SeriesTable::label(int position) const
{
    if (position < 0 || position >= size())
        return {};
    if (dateRuns.isEmpty())
        return textLabels.value(position);
    const auto after = std::upper_bound(dateRuns.begin(), dateRuns.end(), position,
                                        [](int p, const DateRun &run) { return p < run.first; });
    const qint64 key = std::prev(after)->key;
    if (key == kNoLabel)
        return {};
    const QDate date = QDate::fromJulianDay(key / 86400);
    return regional::dateTimeText(QDateTime(date, QTime(0, 0).addSecs(int(key % 86400))));
}

namespace {

// The stored columns a series reads, label first, and how each is read.
struct SeriesColumns
{
    QStringList stored;
    bool dateLabels = false;
    QVector<bool> money; // per value field
};

SeriesColumns seriesColumns(const ledger::Dataset &dataset, const QStringList &valueFields, const QString &labelField)
{
    SeriesColumns columns;
    QStringList fields = valueFields;
    fields.prepend(labelField);
    for (const QString &field : fields) {
        const int index = dataset.columnIndex(field);
        if (index < 0)
            throw ledger::DatabaseError(QStringLiteral("%1: поле '%2' не найдено").arg(dataset.source(), field));
        columns.stored << dataset.columns().at(index);
    }
    columns.dateLabels = ledger::schema::columnKind(columns.stored.at(0)) == ledger::schema::ColumnKind::Date;
    for (int c = 1; c < columns.stored.size(); ++c)
        columns.money << (ledger::schema::columnKind(columns.stored.at(c)) == ledger::schema::ColumnKind::Money);
    return columns;
}

// Collects rows into a table. The lines of a day come one after another: a date is worked
// out once per run of it and kept once for the run. Dates differ first in their last
// characters, so they are compared from the end.
class SeriesCollector
{
public:
    SeriesCollector(const SeriesColumns &columns, bool keepAmounts)
        : m_columns(&columns)
        , m_keepAmounts(keepAmounts)
    {
        table.values.resize(columns.money.size());
    }

    void add(const ledger::StoredRow &row)
    {
        addLabel(row.text(0));
        for (int c = 0; c < m_columns->money.size(); ++c)
            addValue(row, c);
        ++table.rows;
    }

    SeriesTable table;

private:
    void addLabel(QByteArrayView label)
    {
        if (!m_columns->dateLabels) {
            table.textLabels.append(label.data() ? QString::fromUtf8(label) : QString());
            return;
        }
        qint64 key = SeriesTable::kNoLabel;
        if (label.data()) {
            if (!sameAsLast(label)) {
                m_lastKey = dateKey(label);
                m_lastSize = label.size() <= qsizetype(sizeof m_lastDate) ? label.size() : -1;
                if (m_lastSize >= 0)
                    std::memcpy(m_lastDate, label.data(), size_t(m_lastSize));
            }
            key = m_lastKey;
        }
        if (table.dateRuns.isEmpty() || table.dateRuns.last().key != key)
            table.dateRuns.append({table.rows, key});
    }

    bool sameAsLast(QByteArrayView text) const
    {
        if (text.size() != m_lastSize)
            return false;
        for (qsizetype i = text.size() - 1; i >= 0; --i) {
            if (text.data()[i] != m_lastDate[i])
                return false;
        }
        return true;
    }

    void addValue(const ledger::StoredRow &row, int c)
    {
        bool empty = false;
        double number = kNaN;
        ledger::Money amount;
        if (m_columns->money[c]) {
            const qint64 ticks = row.integer(c + 1, &empty);
            if (!empty) {
                amount = ledger::Money::fromTicks(ticks);
                number = amount.toDouble();
            }
        } else {
            const double real = row.real(c + 1, &empty);
            if (!empty) {
                number = real;
                amount = ledger::Money::fromDouble(real);
            }
        }
        table.values[c].append(number);
        if (c == 0 && m_keepAmounts)
            table.amounts.append(amount);
    }

    const SeriesColumns *m_columns;
    bool m_keepAmounts;
    char m_lastDate[32] = {};
    qsizetype m_lastSize = -1;
    qint64 m_lastKey = SeriesTable::kNoLabel;
};

} // namespace

SeriesTable readSeries(ledger::Dataset &dataset, const QStringList &valueFields, const QString &labelField, int limit,
                       bool keepAmounts)
{
    if (!dataset.isOpen())
        throw ledger::DatabaseError(QStringLiteral("Набор данных %1 закрыт").arg(dataset.source()));
    const SeriesColumns columns = seriesColumns(dataset, valueFields, labelField);
    // Row by row through the dataset's blocks would read the view in many pieces; one
    // forward pass straight from the engine reads a long ledger in one go.
    const QString sql = ledger::reads::viewColumns(dataset.source(), columns.stored, limit >= 0);
    QVariantList params;
    if (limit >= 0)
        params << limit;
    SeriesCollector collector(columns, keepAmounts);
    dataset.connection()->forEachRow(sql, params, [&collector](const ledger::StoredRow &row) {
        collector.add(row);
        return true;
    });
    return std::move(collector.table);
}

QString positionLabel(const QVector<const SeriesTable *> &tablesInSeriesOrder, int position)
{
    for (const SeriesTable *table : tablesInSeriesOrder) {
        if (position >= 0 && position < table->size())
            return table->label(position);
    }
    return {};
}

int positionCount(const QVector<const SeriesTable *> &tables)
{
    int count = 0;
    for (const SeriesTable *table : tables)
        count = std::max(count, table->size());
    return count;
}

double labelStep(double span, double axisPixels, double labelPixels)
{
    if (!(span > 0.0) || !(axisPixels > 0.0) || !std::isfinite(span))
        return stepAt(0);
    const double needed = std::max(labelPixels, 1.0);
    // 1e20 is far beyond any money amount; the loop always ends.
    for (int index = 0; index < 70; ++index) {
        const double step = stepAt(index);
        if (step / span * axisPixels >= needed)
            return step;
    }
    return stepAt(69);
}

QVector<double> tickValues(double low, double high, double step)
{
    QVector<double> ticks;
    if (!(step > 0.0) || !(high >= low) || !std::isfinite(low) || !std::isfinite(high))
        return ticks;
    // Allow for the rounding of the ends so that an end on a multiple is included.
    const double slack = 1e-9;
    const double first = std::ceil(low / step - slack);
    const double last = std::floor(high / step + slack);
    if (last - first > 10000)
        return ticks;
    for (double k = first; k <= last; k += 1.0)
        ticks.append(k * step);
    return ticks;
}

QString valueText(double value)
{
    if (!std::isfinite(value))
        return {};
    const double limit = double(std::numeric_limits<qint64>::max() / ledger::Money::Scale) * 0.99;
    return regional::groupedText(ledger::Money::fromDouble(std::clamp(value, -limit, limit)));
}

double rateAxisTop(double largestRate, double axisPixels, double labelPixels)
{
    constexpr double leastTop = 60.0;
    if (!(largestRate >= leastTop))
        return leastTop;
    // The step depends on the range and the range on the step; a few rounds settle it.
    // Every round's top lies above the largest rate, so whichever round is last covers it.
    double top = largestRate;
    for (int round = 0; round < 8; ++round) {
        const double step = labelStep(top, axisPixels, labelPixels);
        const double next = std::max(leastTop, (std::floor(largestRate / step + 1e-9) + 1.0) * step);
        if (std::abs(next - top) <= step * 1e-9)
            break;
        top = next;
    }
    return top;
}

bool valueRange(const QVector<const QVector<double> *> &series, double *low, double *high)
{
    bool any = false;
    double lo = 0.0;
    double hi = 0.0;
    for (const QVector<double> *values : series) {
        for (const double v : *values) {
            if (std::isnan(v))
                continue;
            if (!any) {
                lo = hi = v;
                any = true;
            } else {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    *low = lo;
    *high = hi;
    return any;
}

QVector<QVector<QPointF>> reducedRuns(int count, double from, double to, int columns, const ValuesOf &valuesOf,
                                      const ColumnOf &columnOf)
{
    QVector<QVector<QPointF>> runs;
    if (count == 0 || !(to >= from))
        return runs;
    const int first = std::clamp(int(std::floor(from)) - 1, 0, count - 1);
    const int last = std::clamp(int(std::ceil(to)) + 1, 0, count - 1);
    if (first > last)
        return runs;
    const int shown = last - first + 1;
    columns = std::max(columns, 1);

    QVector<QPointF> run;
    const auto endRun = [&] {
        if (!run.isEmpty())
            runs.append(std::move(run));
        run = {};
    };

    if (shown <= 4 * columns) {
        const QVector<double> values = valuesOf(first, last);
        for (int i = 0; i < values.size(); ++i) {
            if (std::isnan(values[i]))
                endRun();
            else
                run.append(QPointF(first + i, values[i]));
        }
        endRun();
        return runs;
    }

    const double perColumn = double(shown) / columns;
    for (int column = 0; column < columns; ++column) {
        const int begin = first + int(std::floor(column * perColumn));
        const int end = std::min(last + 1, first + int(std::floor((column + 1) * perColumn)));
        const ColumnPoints points = columnOf(begin, end);
        if (!points.any) {
            endRun();
            continue;
        }
        const bool lowFirst = points.lowest.x() <= points.highest.x();
        const QPointF picks[4] = {points.first, lowFirst ? points.lowest : points.highest,
                                  lowFirst ? points.highest : points.lowest, points.last};
        for (int i = 0; i < 4; ++i) {
            if (i == 0 || picks[i].x() != picks[i - 1].x())
                run.append(picks[i]);
        }
    }
    endRun();
    return runs;
}

QVector<QVector<QPointF>> visiblePoints(const QVector<double> &values, double from, double to, int columns)
{
    const auto valuesOf = [&values](int first, int last) { return values.mid(first, last - first + 1); };
    const auto columnOf = [&values](int begin, int end) {
        int firstAt = -1, lastAt = -1, lowAt = -1, highAt = -1;
        for (int i = begin; i < end; ++i) {
            const double v = values[i];
            if (std::isnan(v))
                continue;
            if (firstAt < 0)
                firstAt = lowAt = highAt = i;
            lastAt = i;
            if (v < values[lowAt])
                lowAt = i;
            if (v > values[highAt])
                highAt = i;
        }
        ColumnPoints points;
        if (firstAt < 0)
            return points;
        const auto at = [&values](int i) { return QPointF(i, values[i]); };
        points = {true, at(firstAt), at(lowAt), at(highAt), at(lastAt)};
        return points;
    };
    return reducedRuns(int(values.size()), from, to, columns, valuesOf, columnOf);
}

QVector<PricePoint> readPriceHistory(const ledger::Connection &connection, const QString &item, bool wholePeriod)
{
    QVector<PricePoint> points;
    connection.forEachRow(ledger::reads::priceHistory(wholePeriod), {item}, [&points](const ledger::StoredRow &row) {
        const qint64 when = dateKey(row.text(0));
        bool empty = false;
        const qint64 ticks = row.integer(1, &empty);
        // A date the engine let through but that names no day cannot stand on a time axis.
        if (when != SeriesTable::kNoLabel && !empty)
            points.append({when, ledger::Money::fromTicks(ticks)});
        return true;
    });
    return points;
}

QStringList readItemNames(const ledger::Connection &connection)
{
    QStringList names;
    connection.forEachRow(ledger::reads::itemNames(), {}, [&names](const ledger::StoredRow &row) {
        names << QString::fromUtf8(row.text(0));
        return true;
    });
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    std::stable_sort(names.begin(), names.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

QString newestItemName(const ledger::Connection &connection)
{
    return connection.scalar(ledger::reads::newestItemName()).toString();
}

PriceFigures priceFigures(const QVector<PricePoint> &points)
{
    PriceFigures figures;
    figures.purchases = int(points.size());
    if (points.isEmpty())
        return figures;
    figures.first = points.first().price;
    figures.last = points.last().price;
    figures.lowest = figures.highest = figures.first;
    for (const PricePoint &point : points) {
        figures.lowest = std::min(figures.lowest, point.price);
        figures.highest = std::max(figures.highest, point.price);
    }
    const qint64 first = figures.first.ticks();
    if (first == 0)
        return figures;
    // Hundredths of a per cent, exactly, ties to even; from a negative first price the sign
    // still tells a rise from a fall. The difference of two amounts may need 64 bits unsigned.
    const qint64 last = figures.last.ticks();
    const bool fell = last < first;
    const quint64 difference = fell ? quint64(first) - quint64(last) : quint64(last) - quint64(first);
    const ledger::UInt128 hundredths =
        ledger::UInt128::product(difference, 10000).dividedRoundingHalfEven(ledger::magnitude(first));
    if (const auto ticks = ledger::signedValue(fell, hundredths.times(100)))
        figures.change = ledger::Money::fromTicks(*ticks);
    return figures;
}

QString percentText(ledger::Money percent)
{
    const QString number = regional::amountText(percent);
    return (percent > ledger::Money() ? QStringLiteral("+") : QString()) + number + QChar(0x00A0) + QLatin1Char('%');
}

QVector<QPair<double, QString>> dateTicks(qint64 baseDay, double from, double to, double pixelsPerDay,
                                          double labelPixels)
{
    QVector<QPair<double, QString>> ticks;
    if (!(to >= from) || !(pixelsPerDay > 0.0) || !std::isfinite(from) || !std::isfinite(to))
        return ticks;
    const double needed = std::max(labelPixels, 1.0) / pixelsPerDay; // days between labels
    const qint64 firstDay = baseDay + qint64(std::ceil(from - 1e-9));
    const qint64 lastDay = baseDay + qint64(std::floor(to + 1e-9));
    const auto add = [&](qint64 julianDay) {
        const double position = double(julianDay - baseDay);
        if (position >= from - 1e-9 && position <= to + 1e-9)
            ticks.append({position, regional::shortDate(QDate::fromJulianDay(julianDay))});
    };

    // The shortest month has 28 days and a year 365: labels of a step never stand closer.
    for (const int days : {1, 2, 7, 14}) {
        if (days >= needed) {
            for (qint64 day = firstDay; day <= lastDay; ++day) {
                if (day % days == 0)
                    add(day);
            }
            return ticks;
        }
    }
    const QDate start = QDate::fromJulianDay(firstDay);
    const QDate end = QDate::fromJulianDay(lastDay);
    for (const int months : {1, 2, 3, 6}) {
        if (months * 28 >= needed) {
            for (QDate month(start.year(), start.month(), 1); month <= end; month = month.addMonths(1)) {
                if ((month.year() * 12 + month.month() - 1) % months == 0)
                    add(month.toJulianDay());
            }
            return ticks;
        }
    }
    int years = 1;
    for (int index = 0; index < 12; ++index) {
        static const int factors[3] = {1, 2, 5};
        years = factors[index % 3] * int(std::pow(10, index / 3));
        if (years * 365.0 >= needed)
            break;
    }
    for (int year = start.year(); year <= end.year() + 1; ++year) {
        if (year % years == 0)
            add(QDate(year, 1, 1).toJulianDay());
    }
    return ticks;
}

QVector<QPointF> visibleTrace(const QVector<QPointF> &points, double from, double to, int columns)
{
    QVector<QPointF> shown;
    const int count = int(points.size());
    if (count == 0 || !(to >= from))
        return shown;
    const auto byX = [](const QPointF &p, double x) { return p.x() < x; };
    int first = int(std::lower_bound(points.begin(), points.end(), from, byX) - points.begin()) - 1;
    int last = int(std::upper_bound(points.begin(), points.end(), to,
                                    [](double x, const QPointF &p) { return x < p.x(); })
                   - points.begin());
    first = std::clamp(first, 0, count - 1);
    last = std::clamp(last, 0, count - 1);
    if (first > last)
        return shown;
    columns = std::max(columns, 1);
    if (last - first + 1 <= 4 * columns) {
        shown.reserve(last - first + 1);
        for (int i = first; i <= last; ++i)
            shown.append(points[i]);
        return shown;
    }

    const double span = to > from ? to - from : 1.0;
    // The neighbours outside the range stand in columns of their own.
    const auto columnOf = [&](double x) {
        if (x < from)
            return -1;
        if (x > to)
            return columns;
        return std::min(columns - 1, int(std::floor((x - from) / span * columns)));
    };
    int i = first;
    while (i <= last) {
        const int column = columnOf(points[i].x());
        int lowAt = i, highAt = i, end = i;
        while (end + 1 <= last && columnOf(points[end + 1].x()) == column) {
            ++end;
            if (points[end].y() < points[lowAt].y())
                lowAt = end;
            if (points[end].y() > points[highAt].y())
                highAt = end;
        }
        int previous = -1;
        for (const int pick : {i, std::min(lowAt, highAt), std::max(lowAt, highAt), end}) {
            if (pick != previous)
                shown.append(points[pick]);
            previous = pick;
        }
        i = end + 1;
    }
    return shown;
}

} // namespace charts
