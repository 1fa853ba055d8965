#pragma once

#include <QString>
#include <QStringList>

// The ledger file's interface: tables, columns, views and the template rows. Table, column
// and view names are spelled exactly as other programs and older files expect them.
namespace ledger::schema {

// PRAGMA application_id of every ledger ("vTor").
inline constexpr int kApplicationId = 0x76546F72;
// PRAGMA user_version written by this program; older files are upgraded when opened.
int currentVersion();

// The current-month condition on a date column: the same month number as today's, in any
// year, as the views test it.
QString currentMonthCondition(const QString &dateColumn);

enum class ColumnKind { Plain, Money, Date, Time };
// Kind of a table or view output column, by name without regard to letter case.
ColumnKind columnKind(const QString &column);

// The five tables and twenty views a program may open by name.
const QStringList &tables();
const QStringList &views();
bool isKnownSource(const QString &name);
bool isKnownColumn(const QString &table, const QString &column);

// Longest text a column takes (characters), 0 for a column that is not text.
int textLimit(const QString &table, const QString &column);
// What the user calls the column, for messages.
QString columnCaption(const QString &table, const QString &column);

// Statements that build a ledger of the current version in an empty database, template
// rows included. Run them in one transaction.
QStringList createStatements();
// Statements that bring a ledger of `fromVersion` to `fromVersion + 1`.
QStringList upgradeStatements(int fromVersion);

// A statement counting the rows of a table or view, or an empty text for an unknown name.
QString countStatement(const QString &source);

// SQL for one expense line's amount, price x counts rounded to four decimals, ties to even,
// exact for every pair whose result fits the Currency range.
QString amountExpression(const QString &price, const QString &counts);

} // namespace ledger::schema
