#include "mainwindow.h"

#include "aboutwindow.h"
#include "backupcommands.h"
#include "bandtext.h"
#include "busycursor.h"
#include "childwindows.h"
#include "commandbar.h"
#include "infopanel.h"
#include "ledgeropener.h"
#include "outsideprograms.h"
#include "settingsdialog.h"
#include "settingsstore.h"

#include "widgets/childwindow.h"
#include "widgets/guard.h"
#include "widgets/dialogs.h"
#include "widgets/widgets.h"
#include "charts/incomeexpensechart.h"
#include "charts/pricehistorychart.h"
#include "charts/rateschart.h"
#include "charts/topexpenseschart.h"
#include "entries/expensedialog.h"
#include "entries/incomedialog.h"
#include "entries/importdialog.h"
#include "entries/journalwindow.h"
#include "entries/reportwindow.h"
#include "ledger/bookkeeping.h"
#include "dialogs/createledgerdialog.h"
#include "dialogs/passwordprompt.h"
#include "ledger/error.h"
#include "ledger/paths.h"
#include "ledger/regional.h"
#include "tools/creditcalculator.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace app {

namespace {

// The frame's smallest size (its size when the settings hold none is the store's).
constexpr QSize kMinimumSize(412, 500);

QFrame *line(QWidget *parent, int height = 1)
{
    QFrame *frame = ui::horizontalLine(parent);
    frame->setFixedHeight(height);
    return frame;
}

} // namespace

MainWindow::MainWindow(SettingsStore &store, QWidget *parent)
    : QMainWindow(parent)
    , m_store(store)
{
    entries::setExportFolderMemory({[&store] { return store.exportFolder(); },
                                    [&store](const QString &folder) { store.setExportFolder(folder); }});
    m_backups = new BackupCommands(*this);
    m_opener = std::make_unique<LedgerOpener>(*this, m_session, *m_backups, [this] { noLedger(); });
    ui::loadResources();
    setObjectName(QStringLiteral("TaForm"));
    setWindowTitle(QStringLiteral("VelTor"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    setMinimumSize(kMinimumSize);

    buildCentralWidget();
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    m_ratesStatus = new QLabel(QStringLiteral("Загрузка курсов валют…"), statusBar());
    m_ratesStatus->setObjectName(QStringLiteral("RatesStatus"));
    m_ratesStatus->hide();
    statusBar()->addWidget(m_ratesStatus);

    m_session.setBalanceRefresher([this] { GetBalans(); });
    connectPanel();
    restoreGeometryFromStore();
    createDialogs();
    scheduleStartUp();
}

MainWindow::~MainWindow()
{
    // The settings the export remembers its folder in go with the window.
    entries::setExportFolderMemory({});
    // Child windows read the session's datasets; they go before it does.
    m_children->deleteAll();
    m_session.detach();
}

void MainWindow::buildCentralWidget()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QFrame *bevel = line(central, 2);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    layout->addWidget(bevel);
    buildHeader(central, layout);
    layout->addWidget(line(central));
    buildToolBar(central, layout);
    layout->addWidget(line(central));
    layout->addLayout(buildWorkArea(central), 1);
    setCentralWidget(central);
}

QHBoxLayout *MainWindow::buildWorkArea(QWidget *parent)
{
    auto *work = new QHBoxLayout;
    work->setSpacing(0);
    m_mdi = new QMdiArea(parent);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    m_children = std::make_unique<ChildWindows>(*m_mdi);
    work->addWidget(m_mdi, 1);
    m_panel = new InfoPanel(parent);
    m_panel->hide();
    work->addWidget(m_panel);
    return work;
}

void MainWindow::connectPanel()
{
    connect(m_panel, &InfoPanel::journalRequested, this, ui::guarded(this, [this] {
                if (m_session.isOpen())
                    openChild(Child::Journal);
            }));
    connect(m_panel, &InfoPanel::incomeRequested, this, ui::guarded(this, [this] { addIncome(); }));
    connect(m_panel, &InfoPanel::expenseRequested, this, ui::guarded(this, [this] { addExpense(); }));
    connect(m_panel, &InfoPanel::ratesRequested, this, ui::guarded(this, [this] { GetValuts(); }));
}

void MainWindow::scheduleStartUp()
{
    // The start-up waits for the event loop, so that it runs behind the window already shown.
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setSingleShot(true);
    timer->setInterval(1);
    connect(timer, &QTimer::timeout, this, ui::guarded(this, [this] { startUp(); }));
    timer->start();
}

void MainWindow::buildHeader(QWidget *parent, QVBoxLayout *layout)
{
    QFrame *band = ui::whiteBand(parent, 92);
    band->setObjectName(QStringLiteral("Shape1"));

    auto *picture = new QLabel(band);
    picture->setObjectName(QStringLiteral("Image2"));
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/product.svg")).pixmap(89, 86));
    picture->setFixedSize(89, 86);

    QLabel *name = bandText(band, "Label7", kProductName, 18);
    // The band shows the major and minor number of the build's version.
    QLabel *version = bandText(band, "Label3", QStringLiteral(VELTOR_VERSION).section(QLatin1Char('.'), 0, 1), 8);
    QLabel *purpose = bandText(band, "Label8", kProductPurpose, 10);

    auto *title = new QHBoxLayout;
    title->setSpacing(4);
    title->addWidget(name, 0, Qt::AlignBottom);
    title->addWidget(version, 0, Qt::AlignTop);
    title->addStretch();
    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(0, 6, 0, 6);
    texts->setSpacing(0);
    texts->addLayout(title);
    texts->addWidget(purpose);
    texts->addStretch();
    auto *bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(4, 3, 8, 3);
    bandLayout->addWidget(picture);
    bandLayout->addSpacing(6);
    bandLayout->addLayout(texts, 1);
    layout->addWidget(band);
}

void MainWindow::buildToolBar(QWidget *parent, QVBoxLayout *layout)
{
    const CommandBar bar(*this, parent);
    layout->addWidget(bar.toolBar());
    connectCommands(bar.commands());
    m_ledgerActions = bar.ledgerCommands();
}

void MainWindow::connectCommands(const CommandBar::Commands &c)
{
    const auto on = [this](QAction *command, auto slot) {
        connect(command, &QAction::triggered, this, ui::guarded(this, std::move(slot)));
    };
    on(c.createLedger, [this] { showCreateLedger(); });
    on(c.openLedger, [this] { openLedgerFile(); });
    on(c.restoreBackup, [this] { m_backups->restore(); });
    m_restoreBackup = c.restoreBackup;
    on(c.exportCsv, [this] { exportCurrent(entries::ExportFormat::Csv); });
    on(c.exportXlsx, [this] { exportCurrent(entries::ExportFormat::Excel); });
    on(c.importReceipts, [this] { entries::ImportDialog(m_session, entries::ImportDialog::Kind::Receipts, this).run(); });
    on(c.importStatement, [this] { entries::ImportDialog(m_session, entries::ImportDialog::Kind::Statement, this).run(); });
    on(c.journal, [this] { openChild(Child::Journal); });
    on(c.expense, [this] { addExpense(); });
    on(c.income, [this] { addIncome(); });
    on(c.report, [this] {
        // With no ledger open there is nothing to report on.
        if (m_session.isOpen())
            openChild(Child::Report);
    });
    on(c.incomeExpenseChart, [this] { openChild(Child::IncomeExpenseChart); });
    on(c.topChart, [this] { openChild(Child::TopChart); });
    on(c.priceHistory, [this] { openChild(Child::PriceHistory); });
    on(c.ratesChart, [this] { openChild(Child::RatesChart); });
    on(c.panel, [this] { togglePanel(); });
    on(c.calculator, [] { outside::startCalculator(); });
    on(c.credit, [this] { showCredit(); });
    on(c.notepad, [] { outside::startTextEditor(); });
    on(c.settings, [this] { m_settings->exec(); });
    on(c.webHelp, [] { outside::openWebPage(outside::helpPage()); });
    on(c.support, [] { outside::openWebPage(outside::supportPage()); });
    on(c.about, [this] { m_about->exec(); });
}

void MainWindow::createDialogs()
{
    // Made once, in this order, and only hidden between uses.
    createEntryDialogs();
    m_settings = new SettingsDialog(m_store, m_session, this);
    m_about = new AboutWindow(this);
    m_password = new dialogs::PasswordPrompt(this);
    m_opener->setPasswordPrompt(m_password);
    m_create = new dialogs::CreateLedgerDialog(this);
    m_create->setCreator([this] { NewDB(); });
    createToolDialogs();

    registerEntryWindows();
    registerChartWindows();
}

void MainWindow::createEntryDialogs()
{
    auto *expense = new entries::ExpenseDialog(m_session, this);
    auto *income = new entries::IncomeDialog(m_session, this);
    m_showExpense = [expense] { expense->showForAdding(); };
    m_showIncome = [income] { income->exec(); };
    // The journal edits expense batches in the one expense dialog.
    m_children->add(Child::Journal, [this, expense] { return new entries::JournalWindow(m_session, expense); });
}

void MainWindow::registerEntryWindows()
{
    m_children->add(Child::Report, [this] { return new entries::ReportWindow(m_session); });
}

void MainWindow::createToolDialogs()
{
    // The credit calculator (TForm13): it works without a ledger too; only its booking
    // needs one.
    auto *credit = new tools::CreditCalculator(m_session, this);
    m_showCredit = [credit] { credit->exec(); };
}

void MainWindow::registerChartWindows()
{
    m_children->add(Child::IncomeExpenseChart, [this] { return new charts::IncomeExpenseChart(m_session); });
    m_children->add(Child::TopChart, [this] { return new charts::TopExpensesChart(m_session); });
    m_children->add(Child::RatesChart, [this] { return new charts::RatesChart(m_session); });
    m_children->add(Child::PriceHistory, [this] { return new charts::PriceHistoryChart(m_session); });
}

void MainWindow::restoreGeometryFromStore()
{
    const SettingsStore::WindowGeometry geometry = m_store.windowGeometry();
    if (geometry.maximized)
        setWindowState(Qt::WindowMaximized);
    else
        resize(qMax(kMinimumSize.width(), geometry.width), qMax(kMinimumSize.height(), geometry.height));
}

void MainWindow::showEvent(QShowEvent *event)
{
    if (!m_centred && !isMaximized()) {
        m_centred = true;
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A rate download under way would keep the program alive until it gives up.
    m_rates.stop();
    m_store.setWindowGeometry({width(), height(), windowState() != Qt::WindowNoState});
    QMainWindow::closeEvent(event);
}

void MainWindow::startUp()
{
    const QString path = ledger::paths::complete(m_store.ledgerPath());
    if (QFileInfo(path).isFile()) {
        LoadDB(path);
        return;
    }
    setLedgerCommandsEnabled(false);
    m_create->prefill(QStringLiteral("vel.tor"), QStringLiteral("VelTor"));
    m_create->exec();
}

void MainWindow::setLedgerCommandsEnabled(bool enabled)
{
    for (QAction *action : m_ledgerActions)
        action->setEnabled(enabled);
    // A ledger that failed to open may be brought back from its copies.
    if (m_restoreBackup && !enabled && !unopenedLedger().isEmpty())
        m_restoreBackup->setEnabled(true);
}

QString MainWindow::unopenedLedger() const
{
    return m_session.isOpen() ? QString() : m_opener->failedPath();
}

void MainWindow::closeLedger()
{
    m_children->deleteAll();
    noLedger();
}

void MainWindow::exportCurrent(entries::ExportFormat format)
{
    QMdiSubWindow *current = m_mdi->currentSubWindow();
    if (auto *report = qobject_cast<entries::ReportWindow *>(current)) {
        report->exportShown(format);
        return;
    }
    auto *journal = qobject_cast<entries::JournalWindow *>(current);
    if (!journal)
        journal = qobject_cast<entries::JournalWindow *>(openChild(Child::Journal));
    if (journal)
        journal->exportShown(format);
}

void MainWindow::noLedger()
{
    m_session.detach();
    setLedgerCommandsEnabled(false);
    m_panel->hide();
}

void MainWindow::LoadDB(const QString &path)
{
    if (const std::exception_ptr panelError = openLedger(path, true))
        std::rethrow_exception(panelError);
}

std::exception_ptr MainWindow::openLedger(const QString &path, bool askPassword)
{
    // The rate fetch runs on while the window works and, when it ends, writes into the ledger
    // open then: none may be half open at that moment, its password not yet given.
    if (m_rates.isUpdating())
        throw ledger::Error(QStringLiteral("Дождитесь окончания загрузки курсов валют и откройте базу данных снова"));

    // What was open goes first, the windows before the ledger they read.
    m_children->closeAll();
    m_session.detach();

    const std::optional<ledger::LedgerHeader> header = m_opener->attach(path, askPassword);
    if (!header)
        return {};

    // The panel's refresh asks for the day's rates once for this ledger.
    m_ratesAsked = false;
    const std::exception_ptr panelError = showOpenedLedger(path, *header);
    // The day's copy, the first time the ledger is opened that day, written in the
    // background behind the window already shown.
    m_backups->takeDaily(path);
    return panelError;
}

std::exception_ptr MainWindow::showOpenedLedger(const QString &path, const ledger::LedgerHeader &header)
{
    // Reading the figures and the lists takes a moment on a large ledger; the status line
    // says so before it starts.
    BusyCursor busy;
    statusBar()->showMessage(QStringLiteral("Загрузка базы данных..."));
    QCoreApplication::processEvents();

    // A failure of the panel's figures (a rate page that cannot be read, say) is handed back,
    // to be reported once the ledger is fully open, rather than leaving it half open.
    std::exception_ptr balanceError;
    try {
        GetBalans();
    } catch (...) {
        balanceError = std::current_exception();
    }
    setLedgerCommandsEnabled(true);
    m_panel->show();
    // A NULL in the header leaves the settings field as it was.
    m_settings->setLedgerFields(ledger::paths::stripApplicationFolder(path),
                                header.passwordNull ? std::nullopt : std::optional<QString>(header.password),
                                header.descriptionNull ? std::nullopt : std::optional<QString>(header.description));
    // The entry dialogs offer this ledger's income types and item names.
    m_session.fillIncomeTypes();
    m_session.fillItemNames(1000);
    setLedgerCaption(m_settings->description());
    statusBar()->clearMessage();
    openChild(Child::Journal);
    return balanceError;
}

void MainWindow::NewDB()
{
    const QString path = ledger::paths::complete(m_create->filePath());
    LedgerOpener::create(path, m_create->description(), m_create->password());
    // The password is the one just typed: it is not asked for.
    if (const std::exception_ptr panelError = openLedger(path, false)) {
        // The ledger is open; the create dialog closes first, then the failure is shown.
        QTimer::singleShot(0, this, [this, panelError] { ui::guard(this, [&] { std::rethrow_exception(panelError); }); });
    }
}

void MainWindow::GetBalans()
{
    // The rates are asked for before the figures are shown: they decide the figures' hints.
    const ledger::Totals totals = ledger::readTotals(m_session.connection());
    // While no rate is held the refresh asks for them, but once per opening of the ledger:
    // a bank that gives none must not cost every recorded entry the attempts, their waits
    // and the error box. With the internet setting off nothing is asked yet.
    // A failure to read the stored rates is raised once the figures are shown: they must not
    // stay those of the ledger opened before. A fetch's own failure comes with its answer.
    std::exception_ptr ratesError;
    if (m_rates.dollar() == 0.0 && !m_ratesAsked) {
        m_ratesAsked = m_store.internetEnabled();
        try {
            GetValuts();
        } catch (...) {
            ratesError = std::current_exception();
        }
    }

    const ledger::Money balance = totals.balance();
    QColor colour = palette().color(QPalette::WindowText);
    if (balance < ledger::Money())
        colour = QColor(128, 0, 0);
    else if (balance > ledger::Money())
        colour = QColor(0, 128, 0);
    m_panel->setBalance(QStringLiteral("баланс: %1 руб.").arg(regional::amountText(balance)), colour);
    m_panel->setMonth(QStringLiteral("Доход: %1 руб.").arg(regional::amountText(totals.monthIncome)),
                      QStringLiteral("Расход: %1 руб.").arg(regional::amountText(totals.monthExpenses)));

    const double dollar = m_rates.dollar();
    const double euro = m_rates.euro();
    if (dollar > 0.0) {
        const auto hint = [dollar, euro](ledger::Money figure) {
            QString text = QStringLiteral("$") + regional::amountText(ledger::Money::fromDouble(figure.toDouble() / dollar));
            // Without a euro rate the second line would divide by zero: it is left out.
            if (euro > 0.0)
                text += QStringLiteral("\n€") + regional::amountText(ledger::Money::fromDouble(figure.toDouble() / euro));
            return text + QLatin1Char('|');
        };
        m_panel->setHints(hint(balance), hint(totals.monthIncome), hint(totals.monthExpenses));
    }
    if (ratesError)
        std::rethrow_exception(ratesError);
}

void MainWindow::setLedgerCaption(const QString &description)
{
    setWindowTitle(description.isEmpty() ? ui::kAppTitle : ui::kAppTitle + QStringLiteral(" - ") + description);
}

void MainWindow::GetValuts()
{
    // With no ledger open there is nowhere to keep the rates.
    if (!m_session.isOpen())
        return;
    showRates(m_rates.start(m_session.connection(), m_store.internetEnabled(), [this] { ratesAnswered(); }));
}

void MainWindow::ratesAnswered()
{
    ui::guard(this, [this] {
        m_ratesStatus->hide();
        // The ledger open now keeps them, should another have been opened meanwhile.
        const auto outcome = m_rates.finish(m_session.isOpen() ? &m_session.connection() : nullptr);
        showRates(outcome);
        // The figures' hints follow the rates.
        if (m_session.isOpen() && outcome != rates::RateKeeper::Outcome::Cancelled)
            GetBalans();
    });
}

void MainWindow::showRates(rates::RateKeeper::Outcome outcome)
{
    using Outcome = rates::RateKeeper::Outcome;
    if (outcome == Outcome::Started)
        m_ratesStatus->show();
    if (outcome == Outcome::Fetched || outcome == Outcome::FromLedger)
        m_panel->setRates(m_rates.dollarText(), m_rates.euroText(), m_rates.poundText(), m_rates.dateText());
}

QMdiSubWindow *MainWindow::findChildWindow(Child kind) const
{
    return m_children->find(kind);
}

QMdiSubWindow *MainWindow::openChild(Child kind)
{
    return m_children->open(kind);
}

void MainWindow::openLedgerFile()
{
    const QString path = ui::chooseFile({this, false, QStringLiteral("Файлы базы данных (*.tor)"), QString()});
    if (!path.isEmpty())
        LoadDB(QDir::toNativeSeparators(path));
}

void MainWindow::showCreateLedger()
{
    m_create->exec();
}

void MainWindow::addExpense()
{
    if (m_session.isOpen() && m_showExpense)
        m_showExpense();
}

void MainWindow::addIncome()
{
    if (m_session.isOpen() && m_showIncome)
        m_showIncome();
}

void MainWindow::showCredit()
{
    if (m_showCredit)
        m_showCredit();
}

void MainWindow::togglePanel()
{
    m_panel->setVisible(!m_panel->isVisible());
}

} // namespace app
