#pragma once

#include <QString>

// Jet keeps a Date/Time as an OLE Automation date: a double counting days since 1899-12-30,
// the fraction being the time of day. Before that day the whole part counts backwards while
// the fraction still runs forwards (-1.25 is 1899-12-29 06:00).
namespace jet {

// The value as stored in a ledger's date column: "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when
// it carries a time of day. A null QString for a value outside 0100-01-01 .. 9999-12-31 (the
// Jet range) or not a number.
QString oleDateText(double value);
// Only the time of day, "HH:MM:SS", as a ledger's `times` column holds it; null as above.
QString oleTimeText(double value);

} // namespace jet
