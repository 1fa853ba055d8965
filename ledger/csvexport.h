#pragma once

#include "tableexport.h"

#include <QByteArray>

namespace ledger {

class Connection;

// What a spreadsheet in the Russian locale reads without questions: UTF-8 with a byte-order
// mark, ";" between fields, CR LF between records, the decimal comma, dates as dd.MM.yyyy,
// and a text quoted (its quotes doubled) when it holds a ";", a quote or a line break; a text
// that a spreadsheet would take for something else is written as a formula giving the text.
namespace csv {

using Column = exporting::Column;
using Progress = exporting::Progress;

// One field as written: `text` quoted when RFC 4180 asks for it.
QByteArray quoted(QByteArrayView text);

// A text column's field: the text quoted where it must be, and a text a spreadsheet would read
// as a formula, a number, a date or a truth value (a name "=1+2", a document number "00123",
// "+7 999 123") written as the formula of that text, ="00123", which LibreOffice Calc and
// Excel both show as the text itself.
QByteArray textField(QByteArrayView text);
bool readAsValue(QByteArrayView text);
// The formula ="…" of `text`: quotes doubled, line breaks as CHAR(13) and CHAR(10), long texts
// joined from pieces a formula takes.
QByteArray asTextFormula(QByteArrayView text);

// Writes the header and every row of a table or view of the ledger, in the view's order, to
// `target`. The file is written under a temporary name and takes its name (replacing a file
// there) only when complete; a cancelled or failed export leaves no file. Returns false when
// `progress` cancelled it. Raises Error when the file cannot be written.
bool exportView(const Connection &connection, const QString &source, const QList<Column> &columns,
                const QString &target, const Progress &progress = {});
// The same, returning the rows written, or -1 when `progress` cancelled it.
qint64 exportRows(const Connection &connection, const QString &source, const QList<Column> &columns,
                  const QString &target, const Progress &progress = {});

} // namespace csv
} // namespace ledger
