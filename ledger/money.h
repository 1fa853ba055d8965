#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <limits>

namespace ledger {

// The ledger's Currency: a signed 64-bit count of ten-thousandths of a rouble. All money
// arithmetic is exact; a result that does not fit raises ArithmeticError.
class Money
{
public:
    static constexpr qint64 Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromTicks(qint64 ticks) { return Money(ticks); }
    static Money fromUnits(qint64 units);
    // x * 10000 rounded to the nearest integer, ties to even. NaN, infinities and values
    // beyond the range raise "Invalid floating point operation".
    static Money fromDouble(double x);

    static constexpr Money max() { return Money(std::numeric_limits<qint64>::max()); }
    static constexpr Money min() { return Money(std::numeric_limits<qint64>::min()); }

    constexpr qint64 ticks() const { return m_ticks; }
    double toDouble() const { return double(m_ticks) / double(Scale); }
    constexpr bool isZero() const { return m_ticks == 0; }

    Money operator+(Money other) const;
    Money operator-(Money other) const;
    Money &operator+=(Money other) { return *this = *this + other; }
    // The product rounded to four decimals, ties to even (0,3333 x 3 = 0,9999).
    Money times(Money other) const;
    // This amount rounded to `decimals` (0..4) places, ties to even.
    Money rounded(int decimals) const;

    friend constexpr bool operator==(Money a, Money b) { return a.m_ticks == b.m_ticks; }
    friend constexpr bool operator!=(Money a, Money b) { return a.m_ticks != b.m_ticks; }
    friend constexpr bool operator<(Money a, Money b) { return a.m_ticks < b.m_ticks; }
    friend constexpr bool operator>(Money a, Money b) { return a.m_ticks > b.m_ticks; }
    friend constexpr bool operator<=(Money a, Money b) { return a.m_ticks <= b.m_ticks; }
    friend constexpr bool operator>=(Money a, Money b) { return a.m_ticks >= b.m_ticks; }

private:
    constexpr explicit Money(qint64 ticks) : m_ticks(ticks) {}
    qint64 m_ticks = 0;
};

} // namespace ledger

Q_DECLARE_METATYPE(ledger::Money)
