#pragma once

class QGridLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace dialogs {

// The three rows that name a ledger, its opening password and its description, as both the
// create-ledger and the settings dialog show them: "База данных:" with its "..." button,
// "Пароль:" (15 characters, shown as stars) with its note, "Описание:" (25 characters).
struct LedgerFields
{
    QGridLayout *grid = nullptr;
    QLineEdit *file = nullptr;        // Edit2
    QPushButton *browse = nullptr;    // Button1
    QLineEdit *password = nullptr;    // Edit1
    QLineEdit *description = nullptr; // Edit3
};

// Laid out in `container` (a frame or the dialog itself); `tooltips` false for a dialog that
// shows none.
LedgerFields makeLedgerFields(QWidget *container, bool tooltips);

} // namespace dialogs
