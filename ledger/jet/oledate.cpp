#include "oledate.h"

#include <QDate>

#include <cmath>
#include <optional>

namespace jet {

namespace {

// The Jet range: 0100-01-01 .. 9999-12-31, as day numbers.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;
constexpr int kSecondsPerDay = 86400;

struct DayAndTime
{
    QDate date;
    int seconds = 0;
};

std::optional<DayAndTime> split(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double whole = std::trunc(value);
    if (whole < kFirstDay || whole > kLastDay)
        return std::nullopt;
    const double fraction = std::fabs(value - whole);
    long long seconds = std::llround(fraction * kSecondsPerDay);
    // A time a hair short of midnight (23:59:59.9999) stays on its own day: the day is
    // the stored one, only the seconds are rounded.
    if (seconds >= kSecondsPerDay)
        seconds = kSecondsPerDay - 1;
    return DayAndTime{QDate(1899, 12, 30).addDays(qint64(whole)), int(seconds)};
}

QString timeText(int seconds)
{
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

} // namespace

QString oleDateText(double value)
{
    const auto parts = split(value);
    if (!parts)
        return {};
    // Formatted by hand: years before 1000 still need four digits.
    QString text = QString::asprintf("%04d-%02d-%02d", parts->date.year(), parts->date.month(), parts->date.day());
    if (parts->seconds != 0)
        text += QLatin1Char(' ') + timeText(parts->seconds);
    return text;
}

QString oleTimeText(double value)
{
    const auto parts = split(value);
    return parts ? timeText(parts->seconds) : QString();
}

} // namespace jet
