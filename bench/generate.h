#pragma once

#include <QString>
#include <QStringList>

namespace bench {

// The names a generated ledger's lines and incomes take.
const QStringList &goodsNames();
const QStringList &incomeNames();

// Writes a ledger of `journalRows` journal rows over the last twenty years through the
// store's own write path: four in five are expense batches (3 * journalRows lines in all),
// the rest incomes, plus a rate row for each of the 7,300 days.
void generateLedger(const QString &path, int journalRows);

// The same shape of ledger written as another tool would: straight SQL, a few set-wise
// statements in one transaction, into a ledger the program created, the file's own triggers
// keeping the totals. Minutes rather than the write path's quarter of an hour for a million
// rows. The values look as random as the write path's but are not the same ones; each run
// writes the same file.
void writeLedgerSetWise(const QString &path, int journalRows);

} // namespace bench
