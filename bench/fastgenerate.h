#pragma once

#include <QString>

namespace bench {

// The same shape of ledger as generateLedger (four in five rows expense batches, about three
// lines per journal row, twenty years, a rate row a day), written by a few set-wise SQL
// statements instead of the write path: a million rows in about four minutes rather than a
// quarter of an hour. Batch totals are their lines' sums and the kept totals come from the
// ledger's own triggers, so the file is a sound ledger; only the path it was written by
// differs.
void generateLedgerFast(const QString &path, int journalRows);

} // namespace bench
