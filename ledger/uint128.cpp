#include "uint128.h"

#include <limits>

namespace ledger {

namespace {
constexpr quint64 kLow32 = 0xFFFFFFFFu;
}

UInt128 UInt128::product(quint64 a, quint64 b)
{
    // Schoolbook multiplication in 32-bit digits: no partial product leaves 64 bits.
    const quint64 a0 = a & kLow32, a1 = a >> 32;
    const quint64 b0 = b & kLow32, b1 = b >> 32;
    const quint64 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const quint64 middle = (p00 >> 32) + (p01 & kLow32) + (p10 & kLow32);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & kLow32)};
}

UInt128 UInt128::plus(quint64 value) const
{
    const quint64 sum = low + value;
    return {high + (sum < low ? 1 : 0), sum};
}

UInt128 UInt128::times(quint32 factor) const
{
    const UInt128 lowPart = product(low, factor);
    return {high * factor + lowPart.high, lowPart.low};
}

UInt128 UInt128::dividedBy(quint64 divisor, quint64 &remainder) const
{
    if (divisor <= kLow32) {
        // Long division by 32-bit digits from the top; what is carried stays below the divisor.
        const quint64 digits[4] = {high >> 32, high & kLow32, low >> 32, low & kLow32};
        quint64 quotient[4] = {};
        quint64 carried = 0;
        for (int i = 0; i < 4; ++i) {
            const quint64 current = (carried << 32) | digits[i];
            quotient[i] = current / divisor;
            carried = current % divisor;
        }
        remainder = carried;
        return {(quotient[0] << 32) | quotient[1], (quotient[2] << 32) | quotient[3]};
    }
    // A divisor of more than 32 bits: bit by bit. The remainder may need a 65th bit for a
    // moment; it is then certainly at least the divisor, and the subtraction wraps back.
    UInt128 quotient;
    quint64 rest = 0;
    for (int bit = 127; bit >= 0; --bit) {
        const bool carry = (rest >> 63) != 0;
        const quint64 next = bit >= 64 ? (high >> (bit - 64)) & 1 : (low >> bit) & 1;
        rest = (rest << 1) | next;
        quotient = {(quotient.high << 1) | (quotient.low >> 63), quotient.low << 1};
        if (carry || rest >= divisor) {
            rest -= divisor;
            quotient.low |= 1;
        }
    }
    remainder = rest;
    return quotient;
}

UInt128 UInt128::dividedRoundingHalfEven(quint64 divisor) const
{
    quint64 remainder = 0;
    const UInt128 quotient = dividedBy(divisor, remainder);
    // remainder * 2 against the divisor, without letting the double leave 64 bits.
    const quint64 other = divisor - remainder;
    if (remainder > other || (remainder == other && (quotient.low & 1) != 0))
        return quotient.plus(1);
    return quotient;
}

std::optional<qint64> signedValue(bool negative, UInt128 magnitude)
{
    constexpr quint64 largest = quint64(std::numeric_limits<qint64>::max());
    if (magnitude.high != 0 || magnitude.low > largest + (negative ? 1 : 0))
        return std::nullopt;
    // Negating in unsigned arithmetic reaches the most negative value without overflow.
    return negative ? qint64(quint64(0) - magnitude.low) : qint64(magnitude.low);
}

} // namespace ledger
