#pragma once

#include <QString>

// What a journal row (a row of List) is, told by its name alone: an expense batch or an
// income. Every test for an income row, in SQL or in a window, comes from here.
namespace ledger {

// The name of an expense batch's journal row.
inline const QString kExpenseName = QStringLiteral("Расход");
// The word that makes a journal row an income.
inline const QString kIncomeWord = QStringLiteral("Доход");
// An income's journal row is named this followed by its type.
inline const QString kIncomePrefix = kIncomeWord + QStringLiteral(" - ");

// The windows' test: the word anywhere in the name, letter case as written. On the rows the
// program writes it agrees with the views' test below.
bool isIncomeName(const QString &names);

// The views' test, as an SQL condition on a names column: the name begins with the word,
// letter case aside. A NULL name is neither an income nor an expense.
QString incomeCondition(const QString &namesColumn);
QString expenseCondition(const QString &namesColumn);

// An income's type in SQL: its name without the prefix.
QString incomeTypeExpression(const QString &namesColumn);

} // namespace ledger
