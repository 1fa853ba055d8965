#pragma once

#include "journalrow.h"
#include "money.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

// How entries are written into a ledger and read back as figures: the rules every window,
// the benchmark and the tests share. Each write is one transaction: it is stored whole or
// not at all.
namespace ledger {

class Connection;

inline const QString kLoanDocument = QStringLiteral("квитанция");

struct ExpenseLine
{
    QString name;
    Money price;
    Money counts;
    QString document;
    QDate date; // none on some lines of converted old ledgers

    // price x counts, rounded to four decimals, ties to even.
    Money amount() const { return price.times(counts); }
};

// Raises an error when the line could not be stored: a text too long for its column or an
// amount beyond the money range.
void checkExpenseLine(const ExpenseLine &line);
// Sum of the lines' amounts; raises ArithmeticError when it leaves the money range.
Money batchTotal(const QVector<ExpenseLine> &lines);

// A new batch: one journal row "Расход" dated today (or at `recordedAt` when given) with the
// total, and its lines. Returns the journal row's id.
qint64 recordExpenseBatch(const Connection &connection, const QVector<ExpenseLine> &lines,
                          const QDateTime &recordedAt = QDateTime());
// The same with the journal row carrying `total` instead of the lines' sum: an imported
// receipt's total as charged, which the exact products of goods sold by weight can miss by
// fractions of a kopeck.
qint64 recordExpenseBatch(const Connection &connection, const QVector<ExpenseLine> &lines,
                          const QDateTime &recordedAt, Money total);
// Many entries written in one transaction of the caller's (an import of thousands): the
// same rows as recordExpenseBatch and recordIncome write, through statements prepared once.
class EntryWriter
{
public:
    explicit EntryWriter(const Connection &connection);
    ~EntryWriter();
    EntryWriter(const EntryWriter &) = delete;
    EntryWriter &operator=(const EntryWriter &) = delete;

    qint64 expenseBatch(const QVector<ExpenseLine> &lines, const QDateTime &recordedAt, Money total);
    qint64 income(const QString &type, Money sum, const QString &comment, bool newType, const QDateTime &recordedAt);

private:
    struct Statements;
    std::unique_ptr<Statements> m_statements;
};

// Replaces the batch of journal row `editedId` by `lines`, keeping that row's date. The old
// batch stays when anything fails.
qint64 replaceExpenseBatch(const Connection &connection, qint64 editedId, const QVector<ExpenseLine> &lines);

// An income "Доход - <type>" dated today (or at `recordedAt`); with `newType` the type is
// added to Dohod as well.
qint64 recordIncome(const Connection &connection, const QString &type, Money sum, const QString &comment,
                    bool newType, const QDateTime &recordedAt = QDateTime());
// Raises an error when an income of this type and comment could not be stored.
void checkIncome(const QString &type, const QString &comment);

// Deletes a journal row; an expense batch's lines go with it.
void deleteEntry(const Connection &connection, qint64 journalId);

// A loan payment: a one-line batch of today, quantity 1, document "квитанция".
qint64 bookLoanPayment(const Connection &connection, const QString &loanName, Money amount);

// A rate row of today (or of `day`) with the three currencies.
void storeRates(const Connection &connection, Money usd, Money eur, Money gbp, const QDate &day = QDate());

struct LedgerHeader
{
    QString description; // VelTor.names
    QString password;    // VelTor.pas
    bool descriptionNull = false;
    bool passwordNull = false;
};
LedgerHeader readHeader(const Connection &connection);
void writeHeader(const Connection &connection, const QString &description, const QString &password);
// Writes only the values given; the others stay as stored.
void changeHeader(const Connection &connection, const std::optional<QString> &description,
                  const std::optional<QString> &password);

// The information panel's four figures; a sum over nothing counts as 0.
struct Totals
{
    Money expenses;      // ItogRashod
    Money income;        // ItogDohod
    Money monthExpenses; // Rashods
    Money monthIncome;   // Dohods
    Money balance() const { return income - expenses; }
};
Totals readTotals(const Connection &connection);

} // namespace ledger
