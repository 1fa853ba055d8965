#include "commandbar.h"

#include "outsideprograms.h"

#include "widgets/guard.h"
#include "widgets/widgets.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace app {

namespace {

// A menu's default item, the one its button runs, shows in bold.
QAction *boldDefault(QAction *action)
{
    QFont f = action->font();
    f.setBold(true);
    action->setFont(f);
    return action;
}

} // namespace

CommandBar::CommandBar(QMainWindow &window, QWidget *parent)
    : m_window(window)
    , m_toolBar(new QToolBar(parent))
{
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setFixedHeight(31);
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    buildDatabaseButton();
    m_toolBar->addSeparator();
    buildEntryButtons();
    m_toolBar->addSeparator();
    buildChartButtons();
    m_toolBar->addSeparator();
    m_commands.panel =
        addCommand("ToolButton10", QStringLiteral("panel"), QStringLiteral("Показать/Скрыть информационую панель"));
    m_toolBar->addSeparator();
    buildCalculatorButtons();
    m_toolBar->addSeparator();
    m_commands.settings =
        addCommand("ToolButton12", QStringLiteral("settings"), QStringLiteral("Настройки...|Настройки программы"));
    buildHelpButton();
    assignKeys();
}

QAction *CommandBar::newAction()
{
    return new QAction(&m_window);
}

QMenu *CommandBar::newMenu(const char *name)
{
    auto *menu = new QMenu(&m_window);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

QAction *CommandBar::menuItem(QMenu *menu, const char *name, const QString &caption, const QString &hint,
                              const QString &icon)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(hint);
    if (!icon.isEmpty())
        a->setIcon(ui::icon(icon));
    return a;
}

QAction *CommandBar::addCommand(const char *name, const QString &icon, const QString &hint)
{
    QAction *command = newAction();
    addButton(name, icon, hint, command);
    return command;
}

QToolButton *CommandBar::addButton(const char *name, const QString &icon, const QString &hint, QAction *action)
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

QAction *CommandBar::addDropDown(const char *name, const QString &icon, const QString &hint, QMenu *menu,
                                 QAction *defaultItem, const QKeySequence &menuKey)
{
    QAction *own = newAction();
    QObject::connect(own, &QAction::triggered, &m_window,
                     ui::guarded(&m_window, [defaultItem] { defaultItem->trigger(); }));
    QToolButton *button = addButton(name, icon, hint, own);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    // The key opens the menu as the button's arrow does; the hint names it.
    auto *opening = newAction();
    opening->setObjectName(QLatin1String(name) + QStringLiteral("Menu"));
    opening->setShortcut(menuKey);
    QObject::connect(opening, &QAction::triggered, button, &QToolButton::showMenu);
    m_window.addAction(opening);
    own->setToolTip(QStringLiteral("%1 (меню: %2)").arg(own->toolTip(), menuKey.toString(QKeySequence::NativeText)));
    return own;
}

void CommandBar::buildDatabaseButton()
{
    QMenu *menu = newMenu("PopupMenu1");
    Commands &c = m_commands;
    c.createLedger = menuItem(menu, "N1", QStringLiteral("Создать базу данных"),
                              QStringLiteral("Создание новой базы данных для Вашей бухгалтерии"), QStringLiteral("db-new"));
    c.openLedger = boldDefault(menuItem(menu, "N2", QStringLiteral("Открыть базу данных"),
                                        QStringLiteral("Открыть файл базы данных"), QStringLiteral("db-open")));
    menu->addSeparator();
    c.restoreBackup = menuItem(menu, "RestoreBackup", QStringLiteral("Восстановить из копии…"),
                               QStringLiteral("Вернуть базу данных к одной из её резервных копий"));
    c.exportCsv = menuItem(menu, "ExportCsv", QStringLiteral("Экспорт в CSV…"),
                           QStringLiteral("Сохранить записи журнала или отчёта в файл для электронной таблицы"));
    c.exportXlsx = menuItem(menu, "ExportXlsx", QStringLiteral("Экспорт в Excel…"),
                            QStringLiteral("Сохранить записи журнала или отчёта в книгу Excel"));
    c.importReceipts = menuItem(menu, "ImportReceipt", QStringLiteral("Импорт чека…"),
                                QStringLiteral("Внести покупки из файлов чеков или по QR-коду чека"));
    c.importStatement = menuItem(menu, "ImportStatement", QStringLiteral("Импорт выписки…"),
                                 QStringLiteral("Внести операции из банковской выписки"));
    addDropDown("ToolButton1", QStringLiteral("db"), QStringLiteral("База данных|Выбор и создание базы данных бухгалтерии"),
                menu, c.openLedger, QKeySequence(Qt::Key_F2));
    m_ledgerCommands << c.restoreBackup << c.exportCsv << c.exportXlsx << c.importReceipts << c.importStatement;
}

void CommandBar::buildEntryButtons()
{
    Commands &c = m_commands;
    c.journal = addCommand("ToolButton2", QStringLiteral("journal"),
                           QStringLiteral("Журнал дохода и расхода|Просмотр данных о приходе и расходе денежных средств"));
    c.expense = addCommand("ToolButton4", QStringLiteral("expense-add"),
                           QStringLiteral("Добавить расход|Добавление информации о расходе"));
    c.income = addCommand("ToolButton3", QStringLiteral("income-add"),
                          QStringLiteral("Добавить доход|Добавление информации о доходе"));
    c.report = addCommand("ToolButton18", QStringLiteral("report"),
                          QStringLiteral("Отчёт расходов/доходов|ОТчётные данные по расходу или доходу за выбранный период"));
    m_ledgerCommands << c.journal << c.expense << c.income;
}

void CommandBar::buildChartButtons()
{
    QMenu *menu = newMenu("PopupMenu3");
    Commands &c = m_commands;
    c.incomeExpenseChart = menuItem(menu, "N8", QStringLiteral("График расходов/доходов"),
                                    QStringLiteral("График динамического изменения доходов и расходов"));
    c.topChart = menuItem(menu, "N101", QStringLiteral("График TOP расходов"),
                          QStringLiteral("Отображение самых внушительных расходов"));
    c.priceHistory = menuItem(menu, "N11", QStringLiteral("История цен"),
                              QStringLiteral("Как менялась цена товара или услуги от покупки к покупке"));
    QAction *charts = addDropDown(
        "ToolButton5", QStringLiteral("chart"),
        QStringLiteral("Графика дохода и расхода|Просмотр и печать графика дохода и расхода, аналитика расхода"), menu,
        c.incomeExpenseChart, QKeySequence(Qt::Key_F3));
    c.ratesChart = addCommand("ToolButton9", QStringLiteral("currency"),
                              QStringLiteral("Информация о валюте|График именения курса валюты по отношению к рублю"));
    // The chart menu's items have keys of their own: they wait for a ledger like the button.
    m_ledgerCommands << charts << c.incomeExpenseChart << c.topChart << c.ratesChart << c.priceHistory;
}

void CommandBar::buildCalculatorButtons()
{
    QMenu *menu = newMenu("PopupMenu4");
    Commands &c = m_commands;
    c.calculator = boldDefault(menuItem(menu, "N9", QStringLiteral("Калькулятор"), QString()));
    c.credit = menuItem(menu, "N10", QStringLiteral("Кредитный"), QString());
    addDropDown("ToolButton16", QStringLiteral("calculator"), QStringLiteral("Калькулятор|Вызов калькулятора"), menu,
                c.calculator, QKeySequence(Qt::Key_F4));
    c.notepad = addCommand("ToolButton15", QStringLiteral("notepad"), QStringLiteral("Блокнот|Вызов блокнота"));
}

void CommandBar::buildHelpButton()
{
    QMenu *menu = newMenu("PopupMenu2");
    Commands &c = m_commands;
    c.webHelp = menuItem(menu, "N3", QStringLiteral("Справка в Интернет"), QStringLiteral("Справочная система"),
                         QStringLiteral("web-help"));
    c.support = menuItem(menu, "N4", QStringLiteral("Техническая поддержка"), outside::supportPage(),
                         QStringLiteral("support"));
    menu->addSeparator();
    c.about = boldDefault(menuItem(menu, "N5", QStringLiteral("О программе..."),
                                   QStringLiteral("Информация о версии программы"), QStringLiteral("about")));
    addDropDown("ToolButton13", QStringLiteral("help"), QStringLiteral("Справка|Информация о программе и помощь в работе"),
                menu, c.about, QKeySequence(Qt::CTRL | Qt::Key_F1));
}

void CommandBar::assignKeys()
{
    // Every command has a key of its own, the drop-down menus' items included.
    const Commands &c = m_commands;
    const QList<QPair<QAction *, QKeySequence>> keys = {
        {c.createLedger, QKeySequence(Qt::CTRL | Qt::Key_N)},
        {c.openLedger, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {c.restoreBackup, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)},
        {c.exportCsv, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {c.exportXlsx, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)},
        {c.importReceipts, QKeySequence(Qt::CTRL | Qt::Key_I)},
        {c.importStatement, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)},
        {c.journal, QKeySequence(Qt::CTRL | Qt::Key_J)},
        {c.expense, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {c.income, QKeySequence(Qt::CTRL | Qt::Key_D)},
        {c.report, QKeySequence(Qt::CTRL | Qt::Key_T)},
        {c.incomeExpenseChart, QKeySequence(Qt::CTRL | Qt::Key_G)},
        {c.topChart, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)},
        {c.priceHistory, QKeySequence(Qt::CTRL | Qt::Key_H)},
        {c.ratesChart, QKeySequence(Qt::CTRL | Qt::Key_K)},
        {c.panel, QKeySequence(Qt::Key_F9)},
        {c.calculator, QKeySequence(Qt::CTRL | Qt::Key_F9)},
        {c.credit, QKeySequence(Qt::CTRL | Qt::Key_L)},
        {c.notepad, QKeySequence(Qt::CTRL | Qt::Key_F10)},
        {c.settings, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {c.webHelp, QKeySequence(Qt::Key_F1)},
        {c.support, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F1)},
        {c.about, QKeySequence(Qt::SHIFT | Qt::Key_F1)},
    };
    for (const auto &[command, key] : keys) {
        command->setShortcut(key);
        m_window.addAction(command);
    }
}

} // namespace app
