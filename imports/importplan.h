#pragma once

#include "ledger/bookkeeping.h"
#include "ledger/money.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ledger {
class Connection;
}

// Taking receipts and bank statements in without typing them: files are read into
// candidates, which the preview shows and the user ticks, and only the ticked ones are
// written. Nothing here knows of widgets.
namespace imports {

enum class Direction { Expense, Income };

// What one receipt or one statement operation becomes.
struct Candidate
{
    Direction direction = Direction::Expense;
    // The journal row's date and time: when the purchase or operation happened.
    QDateTime moment;
    // The seller or the operation's description, as the preview shows it.
    QString title;
    // The batch total or the income's sum; never negative.
    ledger::Money amount;
    // An expense: its lines (a statement operation has one).
    QVector<ledger::ExpenseLine> lines;
    // An income: its type ("Возврат покупки" for a refund receipt) and comment.
    QString incomeType;
    QString comment;
    // The key that tells this receipt or operation apart from every other, kept in the
    // ledger once it is written.
    QString key;
    // Where it came from, for messages: "чеки.json, чек 3", "выписка.csv, строка 12".
    QString origin;
    // What does not add up (items against the total, a sum against price x quantity) and
    // texts cut to their column's limit.
    QStringList warnings;
    // A refund receipt: offered unticked, booked as an income when ticked.
    bool refund = false;
    // Set against the open ledger by markKnown.
    bool alreadyImported = false;
    QString similarTo; // "похоже на запись от 12.09.2024"
    bool ticked = true;
};

// A receipt or an operation that could not be read, with the reason in Russian.
struct Rejected
{
    QString origin;
    QString reason;
};

struct ReadResult
{
    QVector<Candidate> candidates;
    QVector<Rejected> rejected;
};

// For QIF, whose dates may be day-first or month-first.
enum class DateOrder { Unknown, DayFirst, MonthFirst };

// Files larger than this are refused unread.
inline constexpr qint64 kMaxFileSize = 100LL * 1024 * 1024;

// A JSON file of one receipt or an array of them. Raises ledger::Error naming the file when
// nothing in it can be read as a receipt.
ReadResult readReceipts(const QByteArray &json, const QString &fileName);
// The QR text of a paper receipt ("t=20240917T1801&s=1285.21&fn=…&i=…&fp=…&n=1").
ReadResult readReceiptQr(const QString &qrText);

// A bank statement; the format is told from the content. `order` settles QIF dates that
// could be read both ways (left Unknown, they are read day first, as Russian banks write
// them). Raises ledger::Error naming the file for a file of another kind.
ReadResult readStatement(const QByteArray &content, const QString &fileName,
                         DateOrder order = DateOrder::Unknown);
// True when the QIF `content` has dates that read as a day both ways and none that settles it.
bool statementDatesAmbiguous(const QByteArray &content);

// Reads a file from disk for the functions above, refusing one over kMaxFileSize.
QByteArray readImportFile(const QString &path);

// Marks what the ledger already holds: alreadyImported (and unticked) by key, similarTo for
// a typed entry of the same day and amount.
void markKnown(const ledger::Connection &connection, QVector<Candidate> &candidates);

// Writes every ticked candidate not already imported, with its key, in one transaction.
// Returns how many were written.
int writeTicked(const ledger::Connection &connection, const QVector<Candidate> &candidates);

} // namespace imports
