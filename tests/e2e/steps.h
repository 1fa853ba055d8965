#pragma once

// Steps that several journeys take, as a person takes them.

#include "e2e/driver.h"

#include <QString>
#include <QStringList>

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
// The keys that open a window, and the wait until it shows.
bool openWindow(Journey &j, const QString &keys, const QString &title);
// Texts typed into a dialog's fields one after another, Tab between them.
bool fillFields(Journey &j, const QStringList &texts);
// The create-ledger and the settings dialog, from the file field: the password and the
// description (in place of the one filled in).
bool typePasswordAndDescription(Journey &j, const QString &password, const QString &description);
// The credit calculator (Ctrl+L) opened, the "0" of its amount selected.
bool openCalculator(Journey &j);
// The keys that reach and press the calculator's "Добавить в расход", and the wait until the
// calculator has closed.
bool bookPayment(Journey &j, const QString &keys);
// Waits until the newest expense line, "name|price", is `expected`.
bool waitNewestLine(Journey &j, const QString &expected);
// The first start: no ledger yet, so the create-ledger dialog comes up with "vel.tor" and
// "VelTor" filled in; the password and the description typed, Enter, and the ledger opens.
bool createOnFirstStart(Journey &j, const QString &password, const QString &description);
// A ledger made before the first start, through the program's own code, filled with the
// stock tool; the program then opens it at start-up.
bool prepareLedger(Journey &j, const QString &description, const QString &sql);
// Such a ledger, and the program started on it until its caption names the description.
bool startWithLedger(Journey &j, const QString &description, const QString &sql);
// n journal rows, one a day up to today, the newest with the highest id: incomes named
// after their id, every fourth an expense batch of one line.
QString journalRows(int n);
// The expense dialog's OK, reached from the item box by Tab.
bool pressOk(Journey &j);
// Deletes the journal's current row through the Delete key and the question's Yes (Enter),
// and tells which row it was, counted from the top of the journal as it stood.
bool deleteCurrentRow(Journey &j, int *row);
// The row Page Down goes to from the journal's first row (which is current when it opens),
// read back by deleting it.
bool rowOnePageDown(Journey &j, int *row);
// The journal's row under the grid's spot, clicked and read back by deleting it; the same
// from the top of the journal.
bool deleteRowUnderPointer(Journey &j, int *row);
bool deleteTopRowUnderPointer(Journey &j, int *row);
// The journal back at its top, then the wheel turned over the grid's spot.
bool wheelFromTop(Journey &j, int notches);
// The settings file's text.
QString settingsText(const Journey &j);

} // namespace e2e
