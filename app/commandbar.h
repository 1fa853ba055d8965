#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;
class QWidget;

namespace app {

// The main window's toolbar (ToolBar1) with its drop-down menus and the key of every command.
// It only builds them: the window connects each command to what it does. The actions belong
// to the window, so that their keys work while the menus are closed.
class CommandBar
{
public:
    // The commands the window connects. A drop-down button's own action runs its menu's
    // default item and is not listed.
    struct Commands
    {
        QAction *createLedger = nullptr;
        QAction *openLedger = nullptr;
        QAction *restoreBackup = nullptr;
        QAction *exportCsv = nullptr;
        QAction *importReceipts = nullptr;
        QAction *importStatement = nullptr;
        QAction *exportXlsx = nullptr;
        QAction *journal = nullptr;
        QAction *expense = nullptr;
        QAction *income = nullptr;
        QAction *report = nullptr;
        QAction *incomeExpenseChart = nullptr;
        QAction *topChart = nullptr;
        QAction *priceHistory = nullptr;
        QAction *ratesChart = nullptr;
        QAction *panel = nullptr;
        QAction *calculator = nullptr;
        QAction *credit = nullptr;
        QAction *notepad = nullptr;
        QAction *settings = nullptr;
        QAction *webHelp = nullptr;
        QAction *support = nullptr;
        QAction *about = nullptr;
    };

    // Builds the toolbar as a child of `parent`; menus and actions belong to `window`.
    CommandBar(QMainWindow &window, QWidget *parent);

    QToolBar *toolBar() const { return m_toolBar; }
    const Commands &commands() const { return m_commands; }
    // The commands that wait for an open ledger.
    const QList<QAction *> &ledgerCommands() const { return m_ledgerCommands; }

private:
    void buildDatabaseButton();
    void buildEntryButtons();
    void buildChartButtons();
    void buildCalculatorButtons();
    void buildHelpButton();
    void assignKeys();

    QAction *newAction();
    QMenu *newMenu(const char *name);
    QAction *menuItem(QMenu *menu, const char *name, const QString &caption, const QString &hint,
                      const QString &icon = QString());
    // A button of its own command.
    QAction *addCommand(const char *name, const QString &icon, const QString &hint);
    QToolButton *addButton(const char *name, const QString &icon, const QString &hint, QAction *action);
    // A button whose click runs its menu's default item and whose arrow opens the menu.
    // Returns the button's own action.
    // `menuKey` opens the menu.
    QAction *addDropDown(const char *name, const QString &icon, const QString &hint, QMenu *menu, QAction *defaultItem,
                         const QKeySequence &menuKey);

    QMainWindow &m_window;
    QToolBar *m_toolBar = nullptr;
    Commands m_commands;
    QList<QAction *> m_ledgerCommands;
};

} // namespace app
