#pragma once

#include "windows.h"

#include <QString>

namespace bench {

// A statement of 10,000 operations and a file of 1,000 receipts, each previewed (read and
// checked against the ledger, the median of `runs`) and written once, into a copy of the
// ledger at `path` made in `scratchFolder`.
void timeImports(const QString &path, const QString &scratchFolder, int runs, const Report &report);

} // namespace bench
