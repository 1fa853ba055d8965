#include "money.h"

#include "error.h"
#include "uint128.h"

#include <QtNumeric>

#include <cmath>

namespace ledger {

namespace {

const char *const kOverflow = "Floating point overflow";

Money checked(bool negative, UInt128 magnitude)
{
    if (const auto ticks = signedValue(negative, magnitude))
        return Money::fromTicks(*ticks);
    throw ArithmeticError(QString::fromLatin1(kOverflow));
}

} // namespace

Money Money::fromUnits(qint64 units)
{
    return checked(units < 0, UInt128::product(magnitude(units), Scale));
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
    qint64 sum = 0;
    if (qAddOverflow(m_ticks, other.m_ticks, &sum))
        throw ArithmeticError(QString::fromLatin1(kOverflow));
    return Money(sum);
}

Money Money::operator-(Money other) const
{
    qint64 difference = 0;
    if (qSubOverflow(m_ticks, other.m_ticks, &difference))
        throw ArithmeticError(QString::fromLatin1(kOverflow));
    return Money(difference);
}

Money Money::times(Money other) const
{
    const UInt128 product = UInt128::product(magnitude(m_ticks), magnitude(other.m_ticks));
    return checked((m_ticks < 0) != (other.m_ticks < 0), product.dividedRoundingHalfEven(quint64(Scale)));
}

Money Money::rounded(int decimals) const
{
    Q_ASSERT(decimals >= 0 && decimals <= 4);
    quint32 unit = 1;
    for (int i = decimals; i < 4; ++i)
        unit *= 10;
    const UInt128 units = UInt128(magnitude(m_ticks)).dividedRoundingHalfEven(unit);
    return checked(m_ticks < 0, units.times(unit));
}

} // namespace ledger
