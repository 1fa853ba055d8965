#pragma once

#include "childwindows.h"
#include "commandbar.h"

#include "entries/gridexport.h"
#include "ledger/session.h"
#include "rates/ratekeeper.h"

#include <QMainWindow>

#include <exception>
#include <functional>
#include <memory>

class QAction;
class QHBoxLayout;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QVBoxLayout;

namespace ledger {
struct LedgerHeader;
}

namespace dialogs {
class CreateLedgerDialog;
class PasswordPrompt;
} // namespace dialogs

namespace app {

class AboutWindow;
class BackupCommands;
class InfoPanel;
class LedgerOpener;
class SettingsDialog;
class SettingsStore;

// The frame of the program (TaForm): header band, toolbar, the MDI area with the journal,
// report and chart windows, the information panel and the status bar. It owns what the
// windows share (the session with the ledger connection, the settings store, the rates)
// and offers the operations they call: LoadDB, NewDB, GetBalans and GetValuts. It wires
// together the parts that do the work: the command bar, the ledger opener, the register of
// child windows and the information panel.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using Child = ChildKind;

    explicit MainWindow(SettingsStore &store, QWidget *parent = nullptr);
    ~MainWindow() override;

    ledger::Session &session() { return m_session; }
    rates::RateKeeper &rates() { return m_rates; }
    SettingsStore &store() { return m_store; }
    QMdiArea *mdiArea() const { return m_mdi; }

    // Opens a ledger; either it is open and accepted afterwards, or no ledger is open.
    void LoadDB(const QString &path);
    // Creates a ledger from the create-ledger dialog's fields and opens it.
    void NewDB();
    // Refreshes the information panel's figures.
    void GetBalans();
    // Reads the day's rates, or starts fetching them: they come later, the window working
    // meanwhile, and the status bar says so.
    void GetValuts();

    // The window of a kind, created when none is open; an open one is left as it is.
    // Returns the window that is open afterwards (nullptr when the kind is not available).
    QMdiSubWindow *openChild(Child kind);
    // The open window of a kind, or nullptr.
    QMdiSubWindow *findChildWindow(Child kind) const;

    // The start-up step: open the ledger named in the settings, or offer to create one.
    void startUp();
    // Closes every child window and the ledger: the no-ledger state.
    void closeLedger();
    BackupCommands &backups() { return *m_backups; }
    // The last ledger that could not be opened, while no other is open; empty otherwise.
    QString unopenedLedger() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildCentralWidget();
    void buildHeader(QWidget *parent, QVBoxLayout *layout);
    void buildToolBar(QWidget *parent, QVBoxLayout *layout);
    QHBoxLayout *buildWorkArea(QWidget *parent);
    void connectCommands(const CommandBar::Commands &commands);
    void connectPanel();
    void scheduleStartUp();
    void createDialogs();
    void createEntryDialogs();
    void createToolDialogs();
    void registerEntryWindows();
    void registerChartWindows();
    // LoadDB's steps. A failure of the panel's refresh leaves the ledger open and is handed
    // back; every other failure closes it and is raised.
    std::exception_ptr openLedger(const QString &path, bool askPassword);
    // Shows a ledger just attached: the panel, the commands, the settings' fields, the caption
    // and the journal.
    std::exception_ptr showOpenedLedger(const QString &path, const ledger::LedgerHeader &header);
    void setLedgerCommandsEnabled(bool enabled);
    void noLedger();
    void openLedgerFile();
    void showCreateLedger();
    void addExpense();
    void addIncome();
    void showCredit();
    void togglePanel();
    // "Экспорт в CSV…" of the database button: the report when it is the current window,
    // otherwise the journal.
    void exportCurrent(entries::ExportFormat format);
    void restoreGeometryFromStore();
    void setLedgerCaption(const QString &description);
    // The end of a fetch GetValuts started.
    void ratesAnswered();
    void showRates(rates::RateKeeper::Outcome outcome);

    SettingsStore &m_store;
    ledger::Session m_session;
    BackupCommands *m_backups = nullptr;
    std::unique_ptr<LedgerOpener> m_opener;
    QMdiArea *m_mdi = nullptr;
    std::unique_ptr<ChildWindows> m_children;
    InfoPanel *m_panel = nullptr;
    QList<QAction *> m_ledgerActions;
    QAction *m_restoreBackup = nullptr;
    bool m_centred = false;
    // The three current rates and the panel's rate lines.
    rates::RateKeeper m_rates;
    // The panel's refresh has asked for the rates since the ledger was opened.
    bool m_ratesAsked = false;
    // "Загрузка курсов валют…" in the status bar while they are fetched.
    QLabel *m_ratesStatus = nullptr;

    // The dialogs, made once and only hidden between uses.
    SettingsDialog *m_settings = nullptr;
    AboutWindow *m_about = nullptr;
    dialogs::PasswordPrompt *m_password = nullptr;
    dialogs::CreateLedgerDialog *m_create = nullptr;
    std::function<void()> m_showExpense;
    std::function<void()> m_showIncome;
    std::function<void()> m_showCredit;
};

} // namespace app
