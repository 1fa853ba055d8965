#pragma once

#include "page.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Reading the bank's XML service of the day's rates: a ValCurs document with one Valute per
// currency (CharCode, Nominal, Name, Value with a decimal comma).
namespace rates {

// The dollar, euro and pound rates of a ValCurs document, each Value divided by its Nominal
// exactly (four decimals, ties to even); none when the document is no such XML, lacks one of
// the three, or gives one that cannot be true (isPlausible). The encoding is the one the document declares, otherwise the one
// `contentType` names (windows-1251 or UTF-8).
std::optional<Rates> readDailyXml(const QByteArray &body, const QString &contentType);

// "92,5058" / "1" as roubles per one unit; none unless both are well-formed and above zero.
std::optional<Money> perUnit(const QString &value, const QString &nominal);

} // namespace rates
