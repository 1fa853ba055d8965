#pragma once

#include "error.h"

#include <QList>
#include <QString>

#include <functional>

namespace ledger {

class Connection;
class StoredRow;

namespace schema {
enum class ColumnKind;
}

// What the spreadsheet exports share: the rows of a table or view read in the view's order,
// their progress and cancelling, and the messages of a file that cannot be written. Each format
// (csvexport, xlsxexport) only writes the rows it is handed.
namespace exporting {

struct Column
{
    QString field; // output column of the view
    QString title; // header of the column
};

// Rows written so far and rows in all; returning false cancels the export.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// One file being written. The walk calls begin, then row for every row, then commit; a
// cancelled or failed export calls abandon instead of commit (also after a throw), and
// leaves no file. Each raises Error when the file cannot be written.
class FileWriter
{
public:
    virtual ~FileWriter() = default;
    // The titles as given, trimmed; the column kinds of the values each row brings.
    virtual void begin(const QStringList &titles, const QList<schema::ColumnKind> &kinds) = 0;
    virtual void row(const StoredRow &row) = 0;
    virtual void commit() = 0;
    virtual void abandon() = 0;
};

// Walks the rows of `source` through `writer`. Returns the number of rows written, or -1 when
// `progress` cancelled the export.
qint64 walk(const Connection &connection, const QString &source, const QList<Column> &columns, FileWriter &writer,
            const Progress &progress);

// The message of a file that could not be written. With `noRoom` (no space left on its disk,
// or the file larger than the system lets it grow) it names the disk and folder; otherwise it
// gives `why`.
QString failure(const QString &target, bool noRoom, const QString &why);
// Whether the error number of a failed write means the file found no room.
bool isNoRoom(int error);

} // namespace exporting
} // namespace ledger
