#pragma once

// Pieces of the conversion shared by its reading and writing halves; not for other callers.

#include "jet.h"

#include "ledger/columns.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <cstddef>

namespace jet::detail {

// Jet 4.0 pages are always 4 KiB; a whole file is a whole number of them.
inline constexpr int kPageSize = 4096;

// What a column holds once read, and how it is stored in the new ledger.
enum class Kind : unsigned char {
    Integer,    // id, kod: Long Integer
    Money,      // Currency, kept as its int64 of ten-thousandths
    Date,       // Date/Time as a date with an optional time of day
    Time,       // Date/Time as a time of day only
    Text,       // Text; empty reads as NULL (libmdb cannot tell them apart)
    HeaderText, // Text of the header row, where the program expects "" rather than NULL
};

// The five tables, read and written in the order and with the columns of the ledger's own.
using ledger::columns::kTableCount;
using ledger::columns::kTables;
inline constexpr int kMostColumns = ledger::columns::mostColumns();

// How column `c` of table `t` is read.
constexpr Kind kindOf(int t, int c)
{
    using ledger::columns::Type;
    switch (kTables[t].columns[c].type) {
    case Type::Key:
    case Type::JournalRow:
        return Kind::Integer;
    case Type::Money:
        return Kind::Money;
    case Type::Date:
        return Kind::Date;
    case Type::Time:
        return Kind::Time;
    case Type::Text:
        break;
    }
    return t == ledger::columns::kHeaderTable ? Kind::HeaderText : Kind::Text;
}

// One table as read: values in the ledger's stored form (qint64 for integers and money, ISO
// text for dates and times, QString or NULL for text), one list per row, columns as above.
struct Table
{
    QString name;
    QStringList columns;
    QList<QVariantList> rows;
};
using Tables = QList<Table>;

// Counts the conversion's steps (a row read, a row written) and passes them to the
// caller's callback now and then; raises Cancelled when it says stop.
class Meter
{
public:
    Meter(QString path, Progress callback);
    void setTotal(qint64 total);
    void advance(qint64 steps = 1);
    // Reports even without progress when a while has passed, so that a window stays alive
    // (and its cancel button works) during a slow step.
    void poll();
    // Reports the end; the last chance to cancel.
    void finish();

private:
    void report();

    QString m_path;
    Progress m_callback;
    qint64 m_done = 0;
    qint64 m_total = 0;
    qint64 m_reported = -1;
    QElapsedTimer m_sinceReport;
};

// "The file is damaged", naming the file and what was found.
JetError damaged(const QString &path, const QString &detail);

// Reads the five tables of a Jet 4.0 file of `pageCount` pages (checked to be a Jet 4.0 file
// of whole pages). libmdb does the reading in a child process where there is one: it can
// crash on damaged files, and a crash there is only a refused file. Raises JetError when the
// file cannot be read whole.
Tables readTables(const QString &path, unsigned long pageCount, Meter &meter);

struct Written
{
    QMap<QString, int> rows;
    int droppedLines = 0;
};

// Writes a complete new ledger at `target` (a free path) holding exactly these rows, with
// their ids, and counters after the largest id. Expense lines whose `kod` names no journal
// row are left out and counted. `source` names the Jet file in messages.
Written writeLedger(const Tables &tables, const QString &target, const QString &source, Meter &meter);

} // namespace jet::detail
