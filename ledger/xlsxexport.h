#pragma once

#include "tableexport.h"

namespace ledger {

class Connection;

// An Excel workbook (.xlsx) of typed cells: amounts as numbers shown "# ##0,00" in the Russian
// locale, dates as dates, times as times, texts as strings (never formulas). Written in the
// library's constant-memory mode; past the 1,048,576 rows a sheet holds, the rows go on to
// the next sheet, each with the header row.
namespace xlsx {

// Rows a sheet takes besides its header.
constexpr qint64 kRowsPerSheet = 1048575;

// As csv::exportView: the header and every row of `source` to `target`, under a temporary name
// until complete; returns the rows written, or -1 when `progress` cancelled the export.
// `rowsPerSheet` is for the tests, which fill sheets without writing a million rows.
qint64 exportView(const Connection &connection, const QString &source, const QList<exporting::Column> &columns,
                  const QString &target, const exporting::Progress &progress = {}, qint64 rowsPerSheet = kRowsPerSheet);

} // namespace xlsx
} // namespace ledger
