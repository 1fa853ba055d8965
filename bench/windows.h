#pragma once

#include <QString>

#include <functional>

namespace bench {

using Report = std::function<void(const char *name, double value, const char *unit)>;

// Runs the program's windows headless on the ledger at `path` and reports, each the median
// of `runs`, the figures a user feels: opening the ledger, the panel, recording and deleting,
// switching periods, the charts, the item names, and the memory with every window open.
void timeWindows(const QString &path, int runs, const Report &report);

} // namespace bench
