#pragma once

#include <QString>
#include <QStringList>

// The reads of the ledger that the windows' data come from besides the stored views: each is
// one statement, named here and owned by the ledger layer beside the schema it reads, and run
// through Connection or PreparedRead. A window names the read it needs and holds no SQL.
namespace ledger::reads {

// The columns `columns` of the stored view `view`, every row in the view's order, in one
// pass; with a LIMIT parameter when `limited`.
QString viewColumns(const QString &view, const QStringList &columns, bool limited);

// The purchases of one item, its name the one parameter (matched exactly): dates, price of
// the expense lines with both, in date order and within a date in entry order; over the
// whole period or this month's number in any year. Served by the index on (names, dates,
// id, price) alone, without a sort.
QString priceHistory(bool wholePeriod);

// The item names of the expense lines, each once, empty ones left out, in the file's order.
QString itemNames();

// The item name of the newest expense line: one row, or none.
QString newestItemName();

// The ledger's figures of each date of expense lines (`GrafDay`), in date order: day, n,
// nulls, low, high.
QString lineDays();

// The amounts of one date's lines in ascending order (lines without an amount first); the
// parameters are the date (NULL for lines without one), a count and an offset.
QString dayLineAmounts();

// How many of one date's lines have an amount below the second parameter.
QString dayLinesBelow();

} // namespace ledger::reads
