#include "mainwindow.h"

#include "aboutwindow.h"
#include "backupcommands.h"
#include "infopanel.h"
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
#include "entries/journalwindow.h"
#include "entries/reportwindow.h"
#include "ledger/bookkeeping.h"
#include "ledger/dialogs/createledgerdialog.h"
#include "ledger/dialogs/passwordprompt.h"
#include "ledger/error.h"
#include "ledger/jet/jet.h"
#include "ledger/paths.h"
#include "ledger/regional.h"
#include "tools/creditcalculator.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressDialog>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace app {

namespace {

// The busy cursor for as long as the scope lasts, whichever way it is left.
struct BusyCursor
{
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

QFrame *line(QWidget *parent, int height = 1)
{
    QFrame *frame = ui::horizontalLine(parent);
    frame->setFixedHeight(height);
    return frame;
}

QAction *boldDefault(QAction *action)
{
    QFont f = action->font();
    f.setBold(true);
    action->setFont(f);
    return action;
}

} // namespace

MainWindow::MainWindow(SettingsStore &store, QWidget *parent)
    : QMainWindow(parent)
    , m_store(store)
{
    m_backups = new BackupCommands(*this);
    ui::loadResources();
    setObjectName(QStringLiteral("TaForm"));
    setWindowTitle(QStringLiteral("VelTor"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    setMinimumSize(412, 500);

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

    auto *work = new QHBoxLayout;
    work->setSpacing(0);
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setBackground(palette().brush(QPalette::Dark));
    work->addWidget(m_mdi, 1);
    m_panel = new InfoPanel(central);
    m_panel->hide();
    work->addWidget(m_panel);
    layout->addLayout(work, 1);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);

    m_childCaptions = {{Child::Journal, QStringLiteral("Журнал расхода/дохода")},
                       {Child::Report, QStringLiteral("Отчёт расходов/доходов")},
                       {Child::IncomeExpenseChart, QStringLiteral("График расхода и дохода")},
                       {Child::TopChart, QStringLiteral("График TOP расходов")},
                       {Child::RatesChart, QStringLiteral("График изменения курса валют")},
                       {Child::PriceHistory, charts::PriceHistoryChart::kCaption}};

    m_session.setBalanceRefresher([this] { GetBalans(); });
    connect(m_panel, &InfoPanel::journalRequested, this, ui::guarded(this, [this] {
                if (m_session.isOpen())
                    openChild(Child::Journal);
            }));
    connect(m_panel, &InfoPanel::incomeRequested, this, ui::guarded(this, [this] { addIncome(); }));
    connect(m_panel, &InfoPanel::expenseRequested, this, ui::guarded(this, [this] { addExpense(); }));
    connect(m_panel, &InfoPanel::ratesRequested, this, ui::guarded(this, [this] { GetValuts(); }));

    restoreGeometryFromStore();
    createDialogs();

    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setSingleShot(true);
    timer->setInterval(1);
    connect(timer, &QTimer::timeout, this, ui::guarded(this, [this] { startUp(); }));
    timer->start();
}

MainWindow::~MainWindow()
{
    // Child windows read the session's datasets; they go before it does.
    for (QMdiSubWindow *window : m_mdi->subWindowList())
        delete window;
    m_session.detach();
}

void MainWindow::buildHeader(QWidget *parent, QVBoxLayout *layout)
{
    QFrame *band = ui::whiteBand(parent, 92);
    band->setObjectName(QStringLiteral("Shape1"));

    auto *picture = new QLabel(band);
    picture->setObjectName(QStringLiteral("Image2"));
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/product.svg")).pixmap(89, 86));
    picture->setFixedSize(89, 86);

    using ui::tahoma;
    auto *name = new QLabel(QStringLiteral("VelTor"), band);
    name->setObjectName(QStringLiteral("Label7"));
    name->setFont(tahoma(18));
    auto *version = new QLabel(QStringLiteral("1.8"), band);
    version->setObjectName(QStringLiteral("Label3"));
    version->setFont(tahoma(8));
    auto *purpose = new QLabel(QStringLiteral("введение домашней бухгалтерии\nучёт прихода денежных средств и их расход"), band);
    purpose->setObjectName(QStringLiteral("Label8"));
    purpose->setFont(tahoma(10));

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

QToolButton *MainWindow::addButton(const char *name, const QString &icon, const QString &hint, QAction *action)
{
    action->setIcon(ui::icon(icon));
    ui::setHint(action, hint);
    action->setText(action->toolTip());
    auto *button = new QToolButton(m_toolBar);
    button->setObjectName(QLatin1String(name));
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setAccessibleName(action->toolTip());
    button->setFocusPolicy(Qt::TabFocus);
    m_toolBar->addWidget(button);
    return button;
}

void MainWindow::buildToolBar(QWidget *parent, QVBoxLayout *layout)
{
    m_toolBar = new QToolBar(parent);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setFixedHeight(31);
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    layout->addWidget(m_toolBar);

    const auto action = [this](auto slot) {
        auto *a = new QAction(this);
        connect(a, &QAction::triggered, this, ui::guarded(this, slot));
        return a;
    };
    const auto menuItem = [this](QMenu *menu, const char *name, const QString &caption, const QString &hint,
                                 const QString &icon, auto slot) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setStatusTip(hint);
        if (!icon.isEmpty())
            a->setIcon(ui::icon(icon));
        connect(a, &QAction::triggered, this, ui::guarded(this, slot));
        return a;
    };
    const auto dropDown = [](QToolButton *button, QMenu *menu) {
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    };

    auto *databaseMenu = new QMenu(this);
    databaseMenu->setObjectName(QStringLiteral("PopupMenu1"));
    menuItem(databaseMenu, "N1", QStringLiteral("Создать базу данных"),
             QStringLiteral("Создание новой базы данных для Вашей бухгалтерии"), QStringLiteral("db-new"),
             [this] { showCreateLedger(); });
    QAction *open = boldDefault(menuItem(databaseMenu, "N2", QStringLiteral("Открыть базу данных"),
                                         QStringLiteral("Открыть файл базы данных"), QStringLiteral("db-open"),
                                         [this] { openLedgerFile(); }));
    databaseMenu->addSeparator();
    QAction *restore = menuItem(databaseMenu, "RestoreBackup", QStringLiteral("Восстановить из копии…"),
                                QStringLiteral("Вернуть базу данных к одной из её резервных копий"), QString(),
                                [this] { m_backups->restore(); });
    QAction *exportCsv = menuItem(databaseMenu, "ExportCsv", QStringLiteral("Экспорт в CSV…"),
                                  QStringLiteral("Сохранить записи журнала или отчёта в файл для электронной таблицы"),
                                  QString(), [this] { exportCurrent(); });
    dropDown(addButton("ToolButton1", QStringLiteral("db"),
                       QStringLiteral("База данных|Выбор и создание базы данных бухгалтерии"),
                       action([open] { open->trigger(); })),
             databaseMenu);
    m_toolBar->addSeparator();

    QAction *journal = action([this] { openChild(Child::Journal); });
    addButton("ToolButton2", QStringLiteral("journal"),
              QStringLiteral("Журнал дохода и расхода|Просмотр данных о приходе и расходе денежных средств"), journal);
    QAction *expense = action([this] { addExpense(); });
    addButton("ToolButton4", QStringLiteral("expense-add"), QStringLiteral("Добавить расход|Добавление информации о расходе"),
              expense);
    QAction *income = action([this] { addIncome(); });
    addButton("ToolButton3", QStringLiteral("income-add"), QStringLiteral("Добавить доход|Добавление информации о доходе"),
              income);
    m_reportAction = action([this] {
        // With no ledger open there is nothing to report on.
        if (m_session.isOpen())
            openChild(Child::Report);
    });
    addButton("ToolButton18", QStringLiteral("report"),
              QStringLiteral("Отчёт расходов/доходов|ОТчётные данные по расходу или доходу за выбранный период"),
              m_reportAction);
    m_toolBar->addSeparator();

    auto *chartMenu = new QMenu(this);
    chartMenu->setObjectName(QStringLiteral("PopupMenu3"));
    QAction *incomeExpense = menuItem(chartMenu, "N8", QStringLiteral("График расходов/доходов"),
                                      QStringLiteral("График динамического изменения доходов и расходов"), QString(),
                                      [this] { openChild(Child::IncomeExpenseChart); });
    QAction *top = menuItem(chartMenu, "N101", QStringLiteral("График TOP расходов"),
                            QStringLiteral("Отображение самых внушительных расходов"), QString(),
                            [this] { openChild(Child::TopChart); });
    QAction *prices = menuItem(chartMenu, "N11", QStringLiteral("История цен"),
                               QStringLiteral("Как менялась цена товара или услуги от покупки к покупке"), QString(),
                               [this] { openChild(Child::PriceHistory); });
    QAction *charts = action([incomeExpense] { incomeExpense->trigger(); });
    dropDown(addButton("ToolButton5", QStringLiteral("chart"),
                       QStringLiteral("Графика дохода и расхода|Просмотр и печать графика дохода и расхода, аналитика расхода"),
                       charts),
             chartMenu);
    QAction *rates = action([this] { openChild(Child::RatesChart); });
    addButton("ToolButton9", QStringLiteral("currency"),
              QStringLiteral("Информация о валюте|График именения курса валюты по отношению к рублю"), rates);
    m_toolBar->addSeparator();
    addButton("ToolButton10", QStringLiteral("panel"), QStringLiteral("Показать/Скрыть информационую панель"),
              action([this] { togglePanel(); }));
    m_toolBar->addSeparator();

    auto *calculatorMenu = new QMenu(this);
    calculatorMenu->setObjectName(QStringLiteral("PopupMenu4"));
    QAction *calculator = boldDefault(menuItem(calculatorMenu, "N9", QStringLiteral("Калькулятор"), QString(), QString(),
                                               [] { outside::startCalculator(); }));
    menuItem(calculatorMenu, "N10", QStringLiteral("Кредитный"), QString(), QString(), [this] { showCredit(); });
    dropDown(addButton("ToolButton16", QStringLiteral("calculator"), QStringLiteral("Калькулятор|Вызов калькулятора"),
                       action([calculator] { calculator->trigger(); })),
             calculatorMenu);
    addButton("ToolButton15", QStringLiteral("notepad"), QStringLiteral("Блокнот|Вызов блокнота"),
              action([] { outside::startTextEditor(); }));
    m_toolBar->addSeparator();
    addButton("ToolButton12", QStringLiteral("settings"), QStringLiteral("Настройки...|Настройки программы"),
              action([this] { m_settings->exec(); }));

    auto *helpMenu = new QMenu(this);
    helpMenu->setObjectName(QStringLiteral("PopupMenu2"));
    menuItem(helpMenu, "N3", QStringLiteral("Справка в Интернет"), QStringLiteral("Справочная система"),
             QStringLiteral("web-help"), [] { outside::openWebPage(outside::helpPage()); });
    menuItem(helpMenu, "N4", QStringLiteral("Техническая поддержка"), outside::supportPage(), QStringLiteral("support"),
             [] { outside::openWebPage(outside::supportPage()); });
    helpMenu->addSeparator();
    QAction *about = boldDefault(menuItem(helpMenu, "N5", QStringLiteral("О программе..."),
                                          QStringLiteral("Информация о версии программы"), QStringLiteral("about"),
                                          [this] { m_about->exec(); }));
    dropDown(addButton("ToolButton13", QStringLiteral("help"),
                       QStringLiteral("Справка|Информация о программе и помощь в работе"),
                       action([about] { about->trigger(); })),
             helpMenu);

    // The chart menu's items have keys of their own: they wait for a ledger like the button.
    m_ledgerActions = {journal, expense, income, charts, incomeExpense, top, rates, prices, restore, exportCsv};

    // Every command has a key of its own, the drop-down menus' items included; the actions
    // belong to the window so that their keys work while the menus are closed.
    const QList<QPair<const char *, QKeySequence>> keys = {
        {"N1", QKeySequence(Qt::CTRL | Qt::Key_N)},          {"N2", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"ToolButton2", QKeySequence(Qt::CTRL | Qt::Key_J)},  {"ToolButton4", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"ToolButton3", QKeySequence(Qt::CTRL | Qt::Key_D)},  {"ToolButton18", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"N8", QKeySequence(Qt::CTRL | Qt::Key_G)},           {"N101", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)},
        {"ToolButton9", QKeySequence(Qt::CTRL | Qt::Key_K)},  {"ToolButton10", QKeySequence(Qt::Key_F9)},
        {"N9", QKeySequence(Qt::CTRL | Qt::Key_F9)},          {"N10", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {"ToolButton15", QKeySequence(Qt::CTRL | Qt::Key_F10)}, {"ToolButton12", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {"N3", QKeySequence(Qt::Key_F1)},                     {"N5", QKeySequence(Qt::SHIFT | Qt::Key_F1)},
        {"N11", QKeySequence(Qt::CTRL | Qt::Key_H)},
    };
    for (const auto &[name, key] : keys) {
        QAction *command = findChild<QAction *>(QLatin1String(name));
        if (!command) {
            if (auto *button = findChild<QToolButton *>(QLatin1String(name)))
                command = button->defaultAction();
        }
        Q_ASSERT(command);
        command->setShortcut(key);
        addAction(command);
    }
}

void MainWindow::createDialogs()
{
    // Made once, in this order, and only hidden between uses.
    createEntryDialogs();
    m_settings = new SettingsDialog(m_store, m_session, this);
    m_about = new AboutWindow(this);
    m_password = new ledger::PasswordPrompt(this);
    m_create = new ledger::CreateLedgerDialog(this);
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
}

void MainWindow::registerEntryWindows()
{
    // The journal edits expense batches in the one expense dialog.
    auto *expense = findChild<entries::ExpenseDialog *>(QStringLiteral("TForm5"), Qt::FindDirectChildrenOnly);
    m_childFactories[Child::Journal] = [this, expense] { return new entries::JournalWindow(m_session, expense); };
    m_childFactories[Child::Report] = [this] { return new entries::ReportWindow(m_session); };
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
    m_childFactories[Child::IncomeExpenseChart] = [this] { return new charts::IncomeExpenseChart(m_session); };
    m_childFactories[Child::TopChart] = [this] { return new charts::TopExpensesChart(m_session); };
    m_childFactories[Child::RatesChart] = [this] { return new charts::RatesChart(m_session); };
    m_childFactories[Child::PriceHistory] = [this] { return new charts::PriceHistoryChart(m_session); };
}

void MainWindow::restoreGeometryFromStore()
{
    if (m_store.readNumber(QStringLiteral("windowState"), 0) != 0) {
        setWindowState(Qt::WindowMaximized);
    } else {
        resize(qMax(412, m_store.readNumber(QStringLiteral("Width"), 740)),
               qMax(500, m_store.readNumber(QStringLiteral("Height"), 550)));
    }
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
    m_rates.cancel();
    m_store.writeNumber(QStringLiteral("Width"), width());
    m_store.writeNumber(QStringLiteral("Height"), height());
    m_store.writeNumber(QStringLiteral("windowState"), windowState() == Qt::WindowNoState ? 0 : 1);
    QMainWindow::closeEvent(event);
}

void MainWindow::startUp()
{
    const QString path = ledger::paths::complete(m_store.readText(QStringLiteral("db"), QStringLiteral("vel.tor")));
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
}

void MainWindow::closeLedger()
{
    for (QMdiSubWindow *window : m_mdi->subWindowList())
        delete window;
    noLedger();
}

void MainWindow::exportCurrent()
{
    QMdiSubWindow *current = m_mdi->currentSubWindow();
    if (auto *report = qobject_cast<entries::ReportWindow *>(current)) {
        report->exportCsv();
        return;
    }
    auto *journal = qobject_cast<entries::JournalWindow *>(current);
    if (!journal)
        journal = qobject_cast<entries::JournalWindow *>(openChild(Child::Journal));
    if (journal)
        journal->exportCsv();
}

void MainWindow::noLedger()
{
    m_session.detach();
    setLedgerCommandsEnabled(false);
    m_panel->hide();
}

void MainWindow::showConnectionMessage(const QString &path, const ledger::ConnectionError &error)
{
    using Reason = ledger::ConnectionError::Reason;
    QStringList lines = {QStringLiteral("Программе не удалось подключиться к базе данных:"), path, QString()};
    switch (error.reason()) {
    case Reason::Locked:
        lines << QStringLiteral("Файл базы данных занят другой программой. Закройте её и откройте базу данных снова.");
        break;
    case Reason::NoPermission:
        lines << QStringLiteral("Нет прав на чтение и запись файла базы данных.");
        break;
    case Reason::TooNew:
        lines << QStringLiteral("Файл создан более новой версией velTor.");
        break;
    case Reason::NoBackup:
        lines << error.text();
        break;
    default:
        lines << QStringLiteral("Возможные причины неисправности:")
              << QStringLiteral("1) Испорчен или отсутсвует файл базы данных.")
              << QStringLiteral("2) Файл не является базой данных velTor или повреждён.");
        break;
    }
    ui::warn(this, lines.join(QLatin1Char('\n')));
}

void MainWindow::LoadDB(const QString &path)
{
    if (const std::exception_ptr panelError = openLedger(path, true))
        std::rethrow_exception(panelError);
}

std::exception_ptr MainWindow::openLedger(const QString &path, bool askPassword)
{
    // The rate fetch lets events run while it waits and then writes into the open ledger:
    // that ledger must not be closed under it.
    if (m_rates.isUpdating())
        throw ledger::Error(QStringLiteral("Дождитесь окончания загрузки курсов валют и откройте базу данных снова"));

    // 1-2: every child window goes, and the ledger that was open.
    for (QMdiSubWindow *window : m_mdi->subWindowList())
        window->close();
    m_session.detach();

    // A ledger of the earlier format is converted first, when the user agrees.
    if (jet::isJetFile(path) && !convertEarlierFormat(path)) {
        noLedger();
        return {};
    }

    // 3: connect.
    std::unique_ptr<ledger::Connection> connection;
    try {
        connection = ledger::Connection::open(path);
    } catch (const ledger::ConnectionError &error) {
        noLedger();
        showConnectionMessage(path, error);
        return {};
    }
    // 4: the journal and the header. A file that fails here is no usable ledger: it is
    // closed again, and the error is reported.
    ledger::LedgerHeader header;
    try {
        m_session.attach(std::move(connection));
        header = ledger::readHeader(m_session.connection());
    } catch (...) {
        noLedger();
        throw;
    }

    // 5: the ledger's own password. A refused ledger is closed again at once, so that no
    // command can reach it.
    if (askPassword && !header.password.isEmpty()) {
        const QString typed = m_password->ask(header.password);
        if (typed != header.password) {
            noLedger();
            return {};
        }
    }

    // The day's copy, the first time the ledger is opened that day.
    m_backups->takeDaily(path);

    // The panel's refresh asks for the day's rates once for this ledger.
    m_ratesAsked = false;

    // 6: show that something is happening.
    BusyCursor busy;
    statusBar()->showMessage(QStringLiteral("Загрузка базы данных..."));
    QCoreApplication::processEvents();

    // 7: the panel's figures. A failure there (a rate page that cannot be read, say) is
    // handed back, to be reported once the ledger is fully open, rather than leaving it half
    // open.
    std::exception_ptr balanceError;
    try {
        GetBalans();
    } catch (...) {
        balanceError = std::current_exception();
    }
    setLedgerCommandsEnabled(true); // 8
    m_panel->show();
    // 9: a NULL in the header leaves the settings field as it was.
    m_settings->setLedgerFields(ledger::paths::stripApplicationFolder(path),
                                header.passwordNull ? std::nullopt : std::optional<QString>(header.password),
                                header.descriptionNull ? std::nullopt : std::optional<QString>(header.description));
    m_session.fillIncomeTypes();   // 10
    m_session.fillItemNames(1000); // 11
    setLedgerCaption(m_settings->description()); // 12
    statusBar()->clearMessage();   // 13
    openChild(Child::Journal);
    return balanceError;
}

bool MainWindow::convertEarlierFormat(const QString &path)
{
    const QString backup = QFileInfo(jet::backupPath(path)).fileName();
    if (!ui::askYesNo(this, QStringLiteral("Файл «%1» сохранён в прежнем формате. Преобразовать его в новый формат? "
                                           "Прежний файл останется рядом под именем «%2».")
                                .arg(path, backup)))
        return false;
    // The earlier file is kept in the backups folder too, before anything is converted.
    if (!m_backups->keepBeforeConversion(path))
        return false;

    // A large file takes a while: a progress dialog with a cancel button then shows.
    QProgressDialog progress(QStringLiteral("Преобразование базы данных..."), QStringLiteral("Отмена"), 0, 0, this);
    ui::setUpProgress(progress, QStringLiteral("ConversionProgress"), 500);
    jet::ConversionResult result;
    try {
        BusyCursor busy;
        result = jet::convert(path, [&progress](int done, int total) {
            if (total > 0) {
                progress.setMaximum(total);
                progress.setValue(qMin(done, total));
            }
            return !progress.wasCanceled();
        });
    } catch (const jet::Cancelled &) {
        return false;
    }
    progress.close();
    QString text = QStringLiteral("Файл «%1» преобразован в новый формат. Прежний файл сохранён под именем «%2».")
                       .arg(path, QFileInfo(result.backupPath).fileName());
    if (result.droppedLines > 0)
        text += QStringLiteral("\nСтрок расхода, не относящихся ни к одной записи журнала, не перенесено: %1.")
                    .arg(result.droppedLines);
    ui::inform(this, text);
    return true;
}

void MainWindow::NewDB()
{
    const QString path = ledger::paths::complete(m_create->filePath());
    if (QFileInfo::exists(path)) {
        throw ledger::Error(QStringLiteral("Файл «%1» уже существует. Выберите другое имя файла базы данных.")
                                .arg(QDir::toNativeSeparators(path)));
    }
    ledger::Connection::create(path);
    // The header goes in before the ledger opens: nothing that fails while it opens (the
    // day's rates, say) may cost the user the password and description just typed. A file
    // that cannot take them is no new ledger and goes again, so that OK can be tried anew.
    try {
        ledger::writeHeader(*ledger::Connection::open(path), m_create->description(), m_create->password());
    } catch (...) {
        QFile::remove(path);
        throw;
    }
    // The password is the one just typed: it is not asked for.
    if (const std::exception_ptr panelError = openLedger(path, false)) {
        // The ledger is open; the create dialog closes first, then the failure is shown.
        QTimer::singleShot(0, this, [this, panelError] { ui::guard(this, [&] { std::rethrow_exception(panelError); }); });
    }
}

void MainWindow::GetBalans()
{
    // Step 2 before the figures: the rates decide the hints.
    const ledger::Totals totals = ledger::readTotals(m_session.connection());
    // While no rate is held the refresh asks for them, but once per opening of the ledger:
    // a bank that gives none must not cost every recorded entry the attempts, their waits
    // and the error box. With the internet setting off nothing is asked yet.
    // A failed fetch is raised once the figures are shown: they must not stay those of the
    // ledger opened before.
    std::exception_ptr ratesError;
    if (m_rates.dollar() == 0.0 && !m_ratesAsked) {
        m_ratesAsked = m_store.readYesNo(QStringLiteral("inet"), true);
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
    const auto outcome = m_rates.update(m_session.connection(), m_store.readYesNo(QStringLiteral("inet"), true));
    using Outcome = rates::RateKeeper::Outcome;
    if (outcome == Outcome::Off || outcome == Outcome::Busy || outcome == Outcome::Cancelled)
        return;
    m_panel->setRates(m_rates.dollarText(), m_rates.euroText(), m_rates.poundText(), m_rates.dateText());
}

QMdiSubWindow *MainWindow::findChildWindow(const QString &caption) const
{
    for (QMdiSubWindow *window : m_mdi->subWindowList()) {
        // A window already closed waits for its deletion; it no longer counts.
        if (window->windowTitle() == caption && window->isVisible())
            return window;
    }
    return nullptr;
}

QMdiSubWindow *MainWindow::openChild(Child kind)
{
    if (QMdiSubWindow *open = findChildWindow(m_childCaptions.value(kind)))
        return open;
    const auto factory = m_childFactories.value(kind);
    if (!factory)
        return nullptr;
    ui::ChildWindow *window = factory();
    m_mdi->addSubWindow(window);
    window->show();
    return window;
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
