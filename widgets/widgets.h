#pragma once

#include <QIcon>
#include <QString>

class QAbstractItemModel;
class QAction;
class QComboBox;
class QToolBar;
class QFont;
class QFrame;
class QPushButton;
class QLabel;
class QLineEdit;
class QWidget;

// Small pieces the windows share.
namespace ui {

// A hint "tooltip|status text": the part before "|" is the tooltip, the part after it is
// shown in the status bar; a hint without "|" serves as both. With `withTooltip` false only
// the status text is set (windows that show no tooltips).
void setHint(QWidget *widget, const QString &hint, bool withTooltip = true);
void setHint(QAction *action, const QString &hint);

// Makes the program's pictures and icons available; the windows that need them call it.
void loadResources();

// An icon of the desktop's theme, or our own picture when the theme has none.
QIcon icon(const QString &ownName, const QString &themeName = QString());

// Admits only the digits and the comma as typed printable characters (with `comma` false,
// only the digits). Keys that type no printable character (Delete, Backspace, Enter, Tab,
// Esc, Ctrl+Z, Ctrl+V) work as in any field; pasted text is not filtered.
void filterNumberKeys(QLineEdit *edit, bool comma = true);

// An editable box suggests the names of `names` that begin with what is typed, in a list
// under it, without regard to letter case. The text stays exactly as typed unless the user
// picks a suggestion; Enter goes to the dialog's default button, the list open or not.
void offerSuggestions(QComboBox *box, QAbstractItemModel *names);

// A password field: each character shows as "*", whatever the style's own mark.
void makePasswordField(QLineEdit *edit);

// Tahoma at a point size (or the closest font the system has).
QFont tahoma(int points, bool bold = false);

// A sunken horizontal line, as under a header band.
QFrame *horizontalLine(QWidget *parent);

// A white band of a fixed height, for a window's header.
QFrame *whiteBand(QWidget *parent, int height);

// The small "..." button beside a ledger-file field (hint "Обзор...|Выбор файла базы данных").
QPushButton *browseButton(QWidget *parent, bool withTooltip);

// The toolbar along the top of a journal, report or chart window (ToolBar1).
QToolBar *windowToolBar(QWidget *parent);

// The period box "За текущий месяц" / "За весь период" with its label "   Выбор периода: ",
// added to a window's toolbar; `preselected` is the index it shows first. The label gets
// `labelName` as its object name when one is given.
QComboBox *addPeriodBox(QToolBar *toolBar, int preselected, const QString &labelName = QString());

// The accessible name of a control: its caption, or the tooltip for a control without one.
void nameForAccessibility(QWidget *widget, const QString &name);

} // namespace ui
