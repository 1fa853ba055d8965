#pragma once

#include <QString>

namespace bench {

// Writes a ledger of `journalRows` journal rows over the last twenty years through the
// store's own write path: four in five are expense batches (3 * journalRows lines in all),
// the rest incomes, plus a rate row for each of the 7,300 days.
void generateLedger(const QString &path, int journalRows);

// The same ledger written as another tool would: straight SQL in one transaction into a
// ledger the program created, the file's triggers keeping the totals. Minutes rather than
// the write path's quarter of an hour for a million rows; the values are random alike but
// not the same ones.
void writeLedgerDirectly(const QString &path, int journalRows);

} // namespace bench
