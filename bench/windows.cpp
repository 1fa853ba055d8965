#include "windows.h"

#include "widgets/childwindow.h"
#include "widgets/messages.h"
#include "app/backupcommands.h"
#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "charts/chartwindow.h"
#include "entries/journalwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

namespace {

using Child = app::MainWindow::Child;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the event loop until `done` holds, woken by `signal` of `sender`. The bound only
// turns a window that never gets there into a stop instead of a hang.
template<typename Sender, typename Signal>
void waitFor(const Sender *sender, Signal signal, const std::function<bool()> &done, const char *what)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&bound, &QTimer::timeout, &loop, [&] { qFatal("%s never happened", what); });
    bound.start(600000);
    loop.exec();
}

// A child window's start step runs on its own timer: let the loop run until it has.
void waitStarted(QMdiSubWindow *window)
{
    if (auto *child = qobject_cast<ui::ChildWindow *>(window))
        waitFor(child, &ui::ChildWindow::started, [child] { return child->isStarted(); }, "a child window's start");
}

// Paints a window as the screen would, its grid's or chart's first rows included.
void paint(QWidget *window)
{
    window->grab();
}

template<typename F>
double ms(F &&work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

// The median of `runs` timings of `work`.
template<typename F>
double medianOf(int runs, F &&work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(ms(work));
    return median(times);
}

// The processor time the program itself spent, which a machine busy with other work
// stretches less than the time on the clock.
double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Picks a window's "за весь период" in its period box, as the user's choice does.
void pickWholePeriod(QMdiSubWindow *window)
{
    if (auto *box = window->findChild<QComboBox *>(QStringLiteral("ComboBox1"))) {
        box->setCurrentIndex(1);
        emit box->activated(1);
    }
}

// The main window on the benchmark's ledger, and the figures timed on it.
class WindowTimes
{
public:
    WindowTimes(const QString &path, int runs, const Report &report);
    ~WindowTimes();
    void openLedger();
    void recordExpenseBatch();
    void deleteAndSwitchPeriod();
    void reportWholePeriod();
    void chart(const char *name, Child kind, bool pickWhole);
    void pickPriceHistoryItem();
    void fillItemNames();
    void everyWindowOpen();

private:
    void closeChildren();
    QMdiSubWindow *openStarted(Child kind);

    const QString m_path;
    const int m_runs;
    const Report &m_report;
    app::SettingsStore m_store;
    std::unique_ptr<app::MainWindow> m_window;
};

WindowTimes::WindowTimes(const QString &path, int runs, const Report &report)
    : m_path(path), m_runs(runs), m_report(report)
{
    m_store.setInternetEnabled(false);
    m_store.setLedgerPath(path);
    ui::setMessageHandler([](const ui::MessageRequest &request) {
        return (request.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    m_window = std::make_unique<app::MainWindow>(m_store);
    m_window->resize(1000, 700);
    m_window->show();
    ledger::Session &session = m_window->session();
    waitFor(&session, &ledger::Session::ledgerAttached, [&session] { return session.isOpen(); }, "the ledger's opening");
}

WindowTimes::~WindowTimes()
{
    closeChildren();
    m_window.reset();
    ui::setMessageHandler({});
}

void WindowTimes::closeChildren()
{
    for (QMdiSubWindow *sub : m_window->mdiArea()->subWindowList())
        delete sub;
}

QMdiSubWindow *WindowTimes::openStarted(Child kind)
{
    QMdiSubWindow *open = m_window->openChild(kind);
    waitStarted(open);
    return open;
}

// Opening the ledger until the journal is drawn, and the panel's totals. The first opening
// of a day is timed apart: the day's copy is still to take (the worker writes it behind the
// window, and is let finish between runs).
void WindowTimes::openLedger()
{
    app::BackupCommands &backups = m_window->backups();
    std::vector<double> firsts;
    for (int i = 0; i < m_runs; ++i) {
        backups.finishCopies();
        QFile::remove(QDir(backups.folder().path()).filePath(
            ledger::backup::Folder::dailyName(m_path, backups.folder().today())));
        firsts.push_back(ms([&] {
            m_window->LoadDB(m_path);
            QMdiSubWindow *journal = m_window->findChildWindow(app::ChildKind::Journal);
            waitStarted(journal);
            paint(journal);
        }));
    }
    backups.finishCopies();
    m_report("open_first_of_day", median(firsts), "ms");
    m_report("load_db", medianOf(m_runs, [&] {
        m_window->LoadDB(m_path);
        QMdiSubWindow *journal = m_window->findChildWindow(app::ChildKind::Journal);
        waitStarted(journal);
        paint(journal);
    }), "ms");
    m_report("get_balans", medianOf(m_runs, [&] { m_window->GetBalans(); }), "ms");
}

// Five lines typed into the expense dialog; the time from OK to the panel refreshed.
void WindowTimes::recordExpenseBatch()
{
    std::vector<double> adds;
    for (int i = 0; i < m_runs; ++i) {
        QTimer::singleShot(0, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            for (int line = 0; line < 5; ++line) {
                dialog->findChild<QComboBox *>(QStringLiteral("ComboBox1"))->setEditText(QStringLiteral("товар %1").arg(line));
                dialog->findChild<QLineEdit *>(QStringLiteral("Edit3"))->setText(QStringLiteral("12,5"));
                dialog->findChild<QLineEdit *>(QStringLiteral("Edit4"))->setText(QStringLiteral("2"));
                dialog->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
            }
            adds.push_back(ms([&] { dialog->findChild<QPushButton *>(QStringLiteral("Button3"))->click(); }));
        });
        m_window->findChild<QToolButton *>(QStringLiteral("ToolButton4"))->click();
    }
    m_report("add_expense_batch", median(adds), "ms");
}

// Delete on the journal's newest row, answered Yes; then the journal's period switched.
void WindowTimes::deleteAndSwitchPeriod()
{
    auto *journal = qobject_cast<entries::JournalWindow *>(openStarted(Child::Journal));
    std::vector<double> deletes;
    for (int i = 0; i < m_runs; ++i) {
        journal->grid()->setFocus();
        journal->grid()->selectRow(0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        deletes.push_back(ms([&] {
            QApplication::sendEvent(journal->grid(), &press);
            paint(journal);
        }));
    }
    m_report("delete_entry", median(deletes), "ms");

    auto *period = journal->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    m_report("journal_period_switch", medianOf(2 * m_runs, [&] {
        period->setCurrentIndex(period->currentIndex() == 0 ? 1 : 0);
        paint(journal);
    }), "ms");
}

void WindowTimes::reportWholePeriod()
{
    std::vector<double> reports;
    for (int i = 0; i < m_runs; ++i) {
        closeChildren();
        QMdiSubWindow *open = openStarted(Child::Report);
        auto *box = open->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
        reports.push_back(ms([&] {
            box->setCurrentIndex(1);
            paint(open);
        }));
    }
    m_report("report_whole_period", median(reports), "ms");
}

// A chart window opened until drawn, on the whole period if asked: the clock and the
// processor time.
void WindowTimes::chart(const char *name, Child kind, bool pickWhole)
{
    std::vector<double> times;
    std::vector<double> processor;
    for (int i = 0; i < m_runs; ++i) {
        closeChildren();
        const double cpuBefore = cpuMs();
        times.push_back(ms([&] {
            QMdiSubWindow *open = openStarted(kind);
            if (pickWhole)
                pickWholePeriod(open);
            paint(open);
        }));
        processor.push_back(cpuMs() - cpuBefore);
    }
    m_report(name, median(times), "ms");
    m_report(qPrintable(QStringLiteral("%1_cpu").arg(QLatin1String(name))), median(processor), "ms");
}

// The item bought most often picked in the price history's item box, until drawn.
void WindowTimes::pickPriceHistoryItem()
{
    const QString item = m_window->session()
                             .connection()
                             .scalar(QStringLiteral("SELECT names FROM Rashod GROUP BY names ORDER BY count(*) DESC"
                                                    " LIMIT 1"))
                             .toString();
    closeChildren();
    QMdiSubWindow *open = openStarted(Child::PriceHistory);
    auto *box = open->findChild<QComboBox *>(QStringLiteral("ComboBox2"));
    m_report("chart_price_history_item", medianOf(m_runs, [&] {
        box->setEditText(item);
        emit box->textActivated(item);
        paint(open);
    }), "ms");
}

void WindowTimes::fillItemNames()
{
    m_report("item_names_fill", medianOf(m_runs, [&] { m_window->session().fillItemNames(1000); }), "ms");
}

// Every window open at once, each on its whole period: the memory at its peak.
void WindowTimes::everyWindowOpen()
{
    closeChildren();
    for (Child kind : {Child::Journal, Child::Report, Child::IncomeExpenseChart, Child::TopChart, Child::RatesChart,
                       Child::PriceHistory}) {
        QMdiSubWindow *open = openStarted(kind);
        pickWholePeriod(open);
        paint(open);
    }
    paint(m_window.get());
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    m_report("peak_rss", usage.ru_maxrss / 1024.0, "MB");
}

} // namespace

void timeWindows(const QString &path, int runs, const Report &report)
{
    WindowTimes times(path, runs, report);
    times.openLedger();
    times.recordExpenseBatch();
    times.deleteAndSwitchPeriod();
    times.reportWholePeriod();
    times.chart("chart_income_expense_all", Child::IncomeExpenseChart, true);
    times.chart("chart_top_all", Child::TopChart, true);
    times.chart("chart_rates_all", Child::RatesChart, false);
    // The price history window: opened on its newest item, and then another item picked.
    times.chart("chart_price_history_open", Child::PriceHistory, false);
    times.pickPriceHistoryItem();
    times.fillItemNames();
    times.everyWindowOpen();
}

} // namespace bench
