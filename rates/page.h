#pragma once

#include "ledger/money.h"

#include <QByteArray>
#include <QString>

// Reading the bank's daily rate page: its bytes into text, and the three rates out of it.
namespace rates {

using ledger::Money;

inline const QString kDollarMarker = QStringLiteral("Доллар США");
inline const QString kEuroMarker = QStringLiteral("Евро");
inline const QString kPoundMarker = QStringLiteral("Фунт стерлингов");

// The page's bytes as UTF-8, leniently, the way the page has always been read:
// - a byte below 0x80 outside a sequence is that character;
// - 0xC0..0xDF starts a sequence of 2 bytes, 0xE0..0xEF of 3, 0xF0..0xF7 of 4, 0xF8..0xFB
//   of 5, 0xFC..0xFF of 6, and the bytes after it belong to it whatever their value;
// - a sequence that is not proper UTF-8 (a byte that is not 10xxxxxx, an overlong form, a
//   surrogate, a code point beyond U+10FFFF, any 5- or 6-byte form) becomes one U+FFFD;
// - a byte 0x80..0xBF outside a sequence becomes U+FFFD too: on its own it is no character
//   (an 8-bit reading would turn it into a letter that is not on the page);
// - a sequence still incomplete at the end is dropped.
QString decodeUtf8(const QByteArray &bytes);

// Windows-1251, byte by byte; 0x98, which the set leaves unused, becomes U+FFFD.
QString decodeWindows1251(const QByteArray &bytes);

// True when a Content-Type names windows-1251 (charset=windows-1251, cp1251 or x-cp1251,
// letter case aside, quoted or not).
bool namesWindows1251(const QString &contentType);

// The page as text: windows-1251 when its Content-Type says so, otherwise UTF-8.
QString decodePage(const QByteArray &body, const QString &contentType);

// The text after the first `marker`, between the next `">` and the next "<" after that pair,
// taken only from the marker's own entry: up to the end of its table row ("</tr" or the next
// "<tr", any letter case), or of the page. A missing marker or pair, or no "<", gives an
// empty text: a rate is never taken from another currency's entry.
QString cutRateText(const QString &page, const QString &marker);

// The cut text read as a rate (decimal comma, four decimals). Raises ConversionError
// "'<cut text>' is not a valid floating point value" when it is no number.
Money cutRate(const QString &page, const QString &marker);

struct Rates
{
    Money dollar;
    Money euro;
    Money pound;
};

// All three rates of a page, or the ConversionError of the first that cannot be read.
Rates cutRates(const QString &page);

// The span a rate can truly have, in roubles a unit: 0,0001 to 100 000. Beyond it an answer is
// wrong (a zero, a sign, a figure at the money type's limit) and is not to be kept.
inline constexpr Money kLowestRate = Money::fromTicks(1);
inline constexpr Money kHighestRate = Money::fromTicks(100'000 * Money::Scale);
bool isPlausible(const Rates &rates);

} // namespace rates
