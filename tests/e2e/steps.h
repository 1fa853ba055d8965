#pragma once

// Steps that several journeys take, as a person takes them.

#include "e2e/driver.h"

#include <QString>

namespace e2e {

// Window titles.
extern const QString kCreate;
extern const QString kExpense;
extern const QString kIncome;
extern const QString kEdit;
extern const QString kCredit;
extern const QString kSettings;
extern const QString kPassword;
// A spot inside the journal's grid, in the main window: the journal opens at 10, 10 of the
// window's work area, under the header band and the toolbar.
constexpr int kGridX = 120;
constexpr int kGridY = 260;

// Today as the ledger stores it.
QString today();
// The first start: no ledger yet, so the create-ledger dialog comes up with "vel.tor" and
// "VelTor" filled in; the password and the description typed, Enter, and the ledger opens.
bool createOnFirstStart(Journey &j, const QString &password, const QString &description);
// A ledger made before the first start, through the program's own code, filled with the
// stock tool; the program then opens it at start-up.
bool prepareLedger(Journey &j, const QString &description, const QString &sql);
// n journal rows, one a day up to today, the newest with the highest id: incomes named
// after their id, every fourth an expense batch of one line.
QString journalRows(int n);
// The expense dialog's OK, reached from the item box by Tab.
bool pressOk(Journey &j);
// Deletes the journal's current row through the Delete key and the question's Yes (Enter),
// and tells which row it was, counted from the top of the journal as it stood.
bool deleteCurrentRow(Journey &j, int *row);
// The settings file's text.
QString settingsText(const Journey &j);

} // namespace e2e
