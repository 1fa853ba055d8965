#pragma once

#include "importplan.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>

// What the receipt and statement readers share: decoding, cleaning and cutting texts,
// exact amounts, and the messages that name a file.
namespace imports::detail {

// UTF-8 (a byte-order mark dropped), or windows-1251 when the bytes are not UTF-8.
QString decodeText(const QByteArray &bytes);
QString decodeWindows1251(const QByteArray &bytes);

// A text as read from a file made fit for the ledger: control characters become spaces,
// broken UTF-16 becomes U+FFFD, the ends are trimmed.
QString cleanText(const QString &text);

// `text` cut to what column `column` of `table` takes (less `reserved` characters), the
// cut marked with "…" and told in `warnings`.
QString fitted(const QString &text, const char *table, const char *column, QStringList &warnings,
               int reserved = 0);

// An exact decimal: "1 234,56", "-,01", "1285.21", "+3"; at most four decimals. Nothing for
// anything else or a value beyond the money range.
std::optional<ledger::Money> parseDecimal(QStringView text);
// Kopecks as money; nothing beyond the money range.
std::optional<ledger::Money> fromKopecks(qint64 kopecks);

// A date the ledger takes (a year of four digits, from 1900 on).
bool isPlausible(const QDate &date);

// The ledger::Error of a file that cannot be read at all.
[[noreturn]] void refuseFile(const QString &fileName, const QString &reason);

// The stable text of an amount in keys: ticks, so that "12,5" and "12,50" agree.
QString keyAmount(ledger::Money amount);

// The amount in messages: "1285,21".
QString shownAmount(ledger::Money amount);

// Turns every operation of a statement into a candidate: money out an expense of one line,
// money in an income of `incomeType` (the description when empty).
struct Operation
{
    QDateTime moment;
    ledger::Money amount; // signed: below zero money goes out
    QString description;
    QString incomeType;
    QString comment;
    QString key;
    QString origin;
};
Candidate candidateOf(const Operation &operation);

// Keys made from a bank row: the second and later of identical rows in one file get their
// number, so that two equal purchases of a day stay two.
class RowKeys
{
public:
    QString next(const QString &rowKey);

private:
    QHash<QString, int> m_seen;
};

} // namespace imports::detail
