#pragma once

#include "ledger/session.h"
#include "rates/ratekeeper.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>

#include <exception>
#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace ledger {
class ConnectionError;
class CreateLedgerDialog;
class PasswordPrompt;
} // namespace ledger

namespace ui {
class ChildWindow;
}

namespace app {

class AboutWindow;
class InfoPanel;
class SettingsDialog;
class SettingsStore;

// The frame of the program (TaForm): header band, toolbar, the MDI area with the journal,
// report and chart windows, the information panel and the status bar. It owns what the
// windows share (the session with the ledger connection, the settings store, the rates)
// and offers the operations they call: LoadDB, NewDB, GetBalans and GetValuts.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class Child { Journal, Report, IncomeExpenseChart, TopChart, RatesChart };

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
    // Fetches or reads the day's rates.
    void GetValuts();

    // The window of a kind, created when none with its caption is open; an open one is left
    // as it is. Returns the window that is open afterwards (nullptr when the kind is not
    // available).
    QMdiSubWindow *openChild(Child kind);
    QMdiSubWindow *findChildWindow(const QString &caption) const;

    // The start-up step: open the ledger named in the settings, or offer to create one.
    void startUp();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildHeader(QWidget *parent, QVBoxLayout *layout);
    void buildToolBar(QWidget *parent, QVBoxLayout *layout);
    QToolButton *addButton(const char *name, const QString &icon, const QString &hint, QAction *action);
    void createDialogs();
    void createEntryDialogs();
    void createToolDialogs();
    void registerEntryWindows();
    void registerChartWindows();
    // LoadDB's steps. A failure of the panel's refresh leaves the ledger open and is handed
    // back; every other failure closes it and is raised.
    std::exception_ptr openLedger(const QString &path, bool askPassword);
    void setLedgerCommandsEnabled(bool enabled);
    void noLedger();
    void showConnectionMessage(const QString &path, const ledger::ConnectionError &error);
    // Offers to bring a ledger of the earlier (Jet 4.0) format over; true when it was
    // converted and may now be opened.
    bool convertEarlierFormat(const QString &path);
    void openLedgerFile();
    void showCreateLedger();
    void addExpense();
    void addIncome();
    void showCredit();
    void togglePanel();
    void restoreGeometryFromStore();
    void setLedgerCaption(const QString &description);

    SettingsStore &m_store;
    ledger::Session m_session;
    QMdiArea *m_mdi = nullptr;
    InfoPanel *m_panel = nullptr;
    QToolBar *m_toolBar = nullptr;
    QMap<Child, std::function<ui::ChildWindow *()>> m_childFactories;
    QMap<Child, QString> m_childCaptions;
    QList<QAction *> m_ledgerActions;
    QAction *m_reportAction = nullptr;
    bool m_centred = false;
    // The three current rates and the panel's rate lines.
    rates::RateKeeper m_rates;
    // The panel's refresh has asked for the rates since the ledger was opened.
    bool m_ratesAsked = false;

    // The dialogs, made once and only hidden between uses.
    SettingsDialog *m_settings = nullptr;
    AboutWindow *m_about = nullptr;
    ledger::PasswordPrompt *m_password = nullptr;
    ledger::CreateLedgerDialog *m_create = nullptr;
    std::function<void()> m_showExpense;
    std::function<void()> m_showIncome;
    std::function<void()> m_showCredit;
};

} // namespace app
