#pragma once

#include <QtGlobal>

#include <optional>

namespace ledger {

// An unsigned 128-bit number in two 64-bit halves, with just what exact money arithmetic
// needs: the product of two amounts and its division by the scale. Written out because the
// Windows compilers have no built-in 128-bit integer.
struct UInt128
{
    quint64 high = 0;
    quint64 low = 0;

    constexpr UInt128() = default;
    constexpr UInt128(quint64 value) : low(value) {}
    constexpr UInt128(quint64 h, quint64 l) : high(h), low(l) {}

    // The full product of two 64-bit numbers.
    static UInt128 product(quint64 a, quint64 b);
    // Sum and product with a small number, modulo 2^128.
    UInt128 plus(quint64 value) const;
    UInt128 times(quint32 factor) const;
    // The quotient by 0 < divisor; the remainder goes to `remainder`.
    UInt128 dividedBy(quint64 divisor, quint64 &remainder) const;
    // The quotient rounded to the nearest integer, ties to even.
    UInt128 dividedRoundingHalfEven(quint64 divisor) const;

    friend constexpr bool operator==(UInt128 a, UInt128 b) { return a.high == b.high && a.low == b.low; }
    friend constexpr bool operator!=(UInt128 a, UInt128 b) { return !(a == b); }
    friend constexpr bool operator<(UInt128 a, UInt128 b) { return a.high != b.high ? a.high < b.high : a.low < b.low; }
    friend constexpr bool operator>(UInt128 a, UInt128 b) { return b < a; }
};

// The magnitude of a signed 64-bit number, the most negative one included.
constexpr quint64 magnitude(qint64 value)
{
    return value < 0 ? quint64(0) - quint64(value) : quint64(value);
}

// A sign and a magnitude as a signed 64-bit number, or nothing when it does not fit.
std::optional<qint64> signedValue(bool negative, UInt128 magnitude);

} // namespace ledger
