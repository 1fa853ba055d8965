#pragma once

#include "money.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

// The Russian regional form, whatever the system locale says: decimal comma, no digit
// grouping, dates as dd.MM.yyyy, the long time as H:mm:ss. Every text the program shows or
// reads for a number or a date goes through here.
namespace regional {

using ledger::Money;

inline constexpr QChar kDecimalSeparator = QLatin1Char(',');
// The thousands separator of the Russian settings: a no-break space.
inline constexpr QChar kThousandsSeparator = QChar(0x00A0);

// Shown in place of a stored amount the program cannot hold (a floating-point number of
// another tool's beyond the money range): never a false amount.
inline const QString kOutOfRangeMark = QStringLiteral("#ОШИБКА");

// General number form of grids and lists: 150; 12,5; 0,3333; -80.
QString moneyText(Money value);
// Pattern "0.00", ties to even: 1234,50; -80,00; 0,00.
QString amountText(Money value);
// Pattern "0.0000": 30,1234; 0,0000.
QString rateText(Money value);
// Pattern "#,##0.###" with grouping, at most three decimals: 1 234,568.
QString groupedText(Money value);
// The money value written for SQL: 30.1234; 40.5; 45.
QString sqlNumber(Money value);

// Reads "12,5", "-3", "0,3333"; more than four decimals round to four, ties to even.
// Anything else raises ConversionError "'<text>' is not a valid floating point value".
Money parseMoney(const QString &text);
std::optional<Money> tryParseMoney(const QString &text);
QString invalidNumberMessage(const QString &text);

// dd.MM.yyyy in both directions. parseShortDate takes a day and a month of one or two
// digits and a year of four (or two) digits; anything else raises ConversionError.
QString shortDate(const QDate &date);
QDate parseShortDate(const QString &text);
std::optional<QDate> tryParseShortDate(const QString &text);

// The long time: H:mm:ss.
QString longTime(const QTime &time);
// A date, followed by its time of day when it has one: "15.03.2009" or "15.03.2009 9:05:03".
QString dateTimeText(const QDateTime &value);

} // namespace regional
