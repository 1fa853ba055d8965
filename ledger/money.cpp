#include "money.h"

#include "error.h"

#include <cmath>

namespace ledger {

namespace {

const char *const kOverflow = "Floating point overflow";

Money checked(__int128 ticks)
{
    if (ticks > std::numeric_limits<qint64>::max() || ticks < std::numeric_limits<qint64>::min())
        throw ArithmeticError(QString::fromLatin1(kOverflow));
    return Money::fromTicks(qint64(ticks));
}

} // namespace

__int128 divideRoundHalfEven(__int128 n, __int128 d)
{
    __int128 q = n / d; // truncates toward zero
    const __int128 r = n % d;
    const __int128 twice = (r < 0 ? -r : r) * 2;
    if (twice > d || (twice == d && (q % 2) != 0))
        q += (n < 0) ? -1 : 1;
    return q;
}

Money Money::fromUnits(qint64 units)
{
    return checked(__int128(units) * Scale);
}

Money Money::fromDouble(double x)
{
    const double scaled = x * double(Scale);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        throw ArithmeticError(QStringLiteral("Invalid floating point operation"));
    // nearbyint rounds ties to even in the default rounding mode.
    return Money(qint64(std::nearbyint(scaled)));
}

Money Money::operator+(Money other) const
{
    return checked(__int128(m_ticks) + other.m_ticks);
}

Money Money::operator-(Money other) const
{
    return checked(__int128(m_ticks) - other.m_ticks);
}

Money Money::times(Money other) const
{
    return checked(divideRoundHalfEven(__int128(m_ticks) * other.m_ticks, Scale));
}

Money Money::rounded(int decimals) const
{
    Q_ASSERT(decimals >= 0 && decimals <= 4);
    __int128 unit = 1;
    for (int i = decimals; i < 4; ++i)
        unit *= 10;
    return checked(divideRoundHalfEven(m_ticks, unit) * unit);
}

} // namespace ledger
