#include "chartdata.h"

#include "ledger/database.h"
#include "ledger/dataset.h"
#include "ledger/error.h"
#include "ledger/regional.h"
#include "ledger/schema.h"

#include <QDate>
#include <QDateTime>
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

namespace {

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" as seconds from Julian day 0, read digit by digit:
// a chart may read millions of them.
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

} // namespace

QString SeriesTable::label(int position) const
{
    if (position < 0 || position >= size())
        return {};
    if (!textLabels.isEmpty())
        return textLabels.at(position);
    const qint64 key = dateLabels.at(position);
    if (key == kNoLabel)
        return {};
    const QDate date = QDate::fromJulianDay(key / 86400);
    return regional::dateTimeText(QDateTime(date, QTime(0, 0).addSecs(int(key % 86400))));
}

SeriesTable readSeries(ledger::Dataset &dataset, const QStringList &valueFields, const QString &labelField, int limit,
                       bool keepAmounts)
{
    if (!dataset.isOpen())
        throw ledger::DatabaseError(QStringLiteral("Набор данных %1 закрыт").arg(dataset.source()));
    QStringList fields = valueFields;
    fields.prepend(labelField);
    QStringList stored;
    for (const QString &field : fields) {
        const int index = dataset.columnIndex(field);
        if (index < 0)
            throw ledger::DatabaseError(QStringLiteral("%1: поле '%2' не найдено").arg(dataset.source(), field));
        stored << dataset.columns().at(index);
    }
    const bool dateLabels = ledger::schema::columnKind(stored.at(0)) == ledger::schema::ColumnKind::Date;
    QVector<bool> money;
    for (int c = 1; c < stored.size(); ++c)
        money << (ledger::schema::columnKind(stored.at(c)) == ledger::schema::ColumnKind::Money);

    SeriesTable table;
    table.values.resize(valueFields.size());
    // Row by row through the dataset's blocks would read the view in many pieces; one
    // forward pass straight from the engine reads a long ledger in one go.
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(stored.join(QStringLiteral(", ")), dataset.source());
    QVariantList params;
    if (limit >= 0) {
        sql += QStringLiteral(" LIMIT ?");
        params << limit;
    }
    // The lines of a day come one after another: a date is worked out once per run of it.
    // Dates differ first in their last characters, so they are compared from the end.
    char lastDate[32];
    qsizetype lastSize = -1;
    qint64 lastKey = SeriesTable::kNoLabel;
    const auto sameAsLast = [&](QByteArrayView text) {
        if (text.size() != lastSize)
            return false;
        for (qsizetype i = text.size() - 1; i >= 0; --i) {
            if (text.data()[i] != lastDate[i])
                return false;
        }
        return true;
    };
    const int valueCount = int(valueFields.size());
    dataset.connection()->forEachRow(sql, params, [&](const ledger::StoredRow &row) {
        const QByteArrayView label = row.text(0);
        if (dateLabels) {
            if (!label.data()) {
                table.dateLabels.append(SeriesTable::kNoLabel);
            } else {
                if (!sameAsLast(label)) {
                    lastKey = dateKey(label);
                    lastSize = label.size() <= qsizetype(sizeof lastDate) ? label.size() : -1;
                    if (lastSize >= 0)
                        std::memcpy(lastDate, label.data(), size_t(lastSize));
                }
                table.dateLabels.append(lastKey);
            }
        } else {
            table.textLabels.append(label.data() ? QString::fromUtf8(label) : QString());
        }
        for (int c = 0; c < valueCount; ++c) {
            bool empty = false;
            double number = kNaN;
            ledger::Money amount;
            if (money[c]) {
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
            if (c == 0 && keepAmounts)
                table.amounts.append(amount);
        }
        ++table.rows;
        return true;
    });
    return table;
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

QVector<QVector<QPointF>> visiblePoints(const QVector<double> &values, double from, double to, int columns)
{
    QVector<QVector<QPointF>> runs;
    const int count = int(values.size());
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
        for (int i = first; i <= last; ++i) {
            if (std::isnan(values[i]))
                endRun();
            else
                run.append(QPointF(i, values[i]));
        }
        endRun();
        return runs;
    }

    const double perColumn = double(shown) / columns;
    for (int column = 0; column < columns; ++column) {
        const int begin = first + int(std::floor(column * perColumn));
        const int end = std::min(last + 1, first + int(std::floor((column + 1) * perColumn)));
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
        if (firstAt < 0) {
            endRun();
            continue;
        }
        int picks[4] = {firstAt, std::min(lowAt, highAt), std::max(lowAt, highAt), lastAt};
        int previous = -1;
        for (const int i : picks) {
            if (i != previous)
                run.append(QPointF(i, values[i]));
            previous = i;
        }
    }
    endRun();
    return runs;
}

} // namespace charts
