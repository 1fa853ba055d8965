#pragma once

#include "error.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace ledger {

class Connection;

// What a spreadsheet in the Russian locale reads without questions: UTF-8 with a byte-order
// mark, ";" between fields, CR LF between records, the decimal comma, dates as dd.MM.yyyy,
// and a text quoted (its quotes doubled) when it holds a ";", a quote or a line break.
namespace csv {

struct Column
{
    QString field; // output column of the view
    QString title; // header of the column
};

// Rows written so far and rows in all; returning false cancels the export.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// One field as written: `text` quoted when RFC 4180 asks for it.
QByteArray quoted(QByteArrayView text);

// Writes the header and every row of a table or view of the ledger, in the view's order, to
// `target`. The file is written under a temporary name and takes its name (replacing a file
// there) only when complete; a cancelled or failed export leaves no file. Returns false when
// `progress` cancelled it. Raises Error when the file cannot be written.
bool exportView(const Connection &connection, const QString &source, const QList<Column> &columns,
                const QString &target, const Progress &progress = {});

} // namespace csv
} // namespace ledger
