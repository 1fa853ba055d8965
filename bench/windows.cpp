#include "windows.h"

#include "widgets/messages.h"
#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "charts/chartwindow.h"
#include "entries/journalwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMdiArea>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

namespace bench {

namespace {

using Child = app::MainWindow::Child;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A child window's start step runs on its own timer: let the loop run until it has.
void waitStarted(QMdiSubWindow *window)
{
    auto *child = qobject_cast<ui::ChildWindow *>(window);
    QElapsedTimer clock;
    clock.start();
    while (child && !child->isStarted() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Paints a window as the screen would, its grid's or chart's first rows included.
void paint(QWidget *window)
{
    window->grab();
}

void closeChildren(app::MainWindow &window)
{
    for (QMdiSubWindow *sub : window.mdiArea()->subWindowList())
        delete sub;
}

template<typename F>
double ms(F &&work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
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

} // namespace

void timeWindows(const QString &path, int runs, const Report &report)
{
    app::SettingsStore store;
    store.writeYesNo(QStringLiteral("inet"), false);
    store.writeText(QStringLiteral("db"), path);
    ui::setMessageHandler([](const ui::MessageRequest &request) {
        return (request.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    app::MainWindow window(store);
    window.resize(1000, 700);
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (!window.session().isOpen() && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    std::vector<double> loads;
    for (int i = 0; i < runs; ++i) {
        loads.push_back(ms([&] {
            window.LoadDB(path);
            QMdiSubWindow *journal = window.findChildWindow(entries::JournalWindow::kCaption);
            waitStarted(journal);
            paint(journal);
        }));
    }
    report("load_db", median(loads), "ms");

    std::vector<double> balances;
    for (int i = 0; i < runs; ++i)
        balances.push_back(ms([&] { window.GetBalans(); }));
    report("get_balans", median(balances), "ms");

    // Five lines typed into the expense dialog; the time from OK to the panel refreshed.
    std::vector<double> adds;
    for (int i = 0; i < runs; ++i) {
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
        window.findChild<QToolButton *>(QStringLiteral("ToolButton4"))->click();
    }
    report("add_expense_batch", median(adds), "ms");

    // Delete on the journal's newest row, answered Yes.
    auto *journal = qobject_cast<entries::JournalWindow *>(window.openChild(Child::Journal));
    waitStarted(journal);
    std::vector<double> deletes;
    for (int i = 0; i < runs; ++i) {
        journal->grid()->setFocus();
        journal->grid()->selectRow(0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        deletes.push_back(ms([&] {
            QApplication::sendEvent(journal->grid(), &press);
            paint(journal);
        }));
    }
    report("delete_entry", median(deletes), "ms");

    auto *period = journal->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    std::vector<double> switches;
    for (int i = 0; i < 2 * runs; ++i) {
        switches.push_back(ms([&] {
            period->setCurrentIndex(period->currentIndex() == 0 ? 1 : 0);
            paint(journal);
        }));
    }
    report("journal_period_switch", median(switches), "ms");

    std::vector<double> reports;
    for (int i = 0; i < runs; ++i) {
        closeChildren(window);
        QMdiSubWindow *open = window.openChild(Child::Report);
        waitStarted(open);
        auto *box = open->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
        reports.push_back(ms([&] {
            box->setCurrentIndex(1);
            paint(open);
        }));
    }
    report("report_whole_period", median(reports), "ms");

    const auto chart = [&](const char *name, Child kind, bool pickWhole) {
        std::vector<double> times;
        std::vector<double> processor;
        for (int i = 0; i < runs; ++i) {
            closeChildren(window);
            const double cpuBefore = cpuMs();
            times.push_back(ms([&] {
                QMdiSubWindow *open = window.openChild(kind);
                waitStarted(open);
                if (pickWhole) {
                    auto *box = open->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
                    box->setCurrentIndex(1);
                    emit box->activated(1);
                }
                paint(open);
            }));
            processor.push_back(cpuMs() - cpuBefore);
        }
        report(name, median(times), "ms");
        report(qPrintable(QStringLiteral("%1_cpu").arg(QLatin1String(name))), median(processor), "ms");
    };
    chart("chart_income_expense_all", Child::IncomeExpenseChart, true);
    chart("chart_top_all", Child::TopChart, true);
    chart("chart_rates_all", Child::RatesChart, false);

    // The price history window: opened on its newest item, and then the item bought most
    // often picked in its item box, each until drawn.
    chart("chart_price_history_open", Child::PriceHistory, false);
    {
        const QString item = window.session()
                                 .connection()
                                 .scalar(QStringLiteral("SELECT names FROM Rashod GROUP BY names ORDER BY count(*) DESC"
                                                        " LIMIT 1"))
                                 .toString();
        closeChildren(window);
        QMdiSubWindow *open = window.openChild(Child::PriceHistory);
        waitStarted(open);
        auto *box = open->findChild<QComboBox *>(QStringLiteral("ComboBox2"));
        std::vector<double> picks;
        for (int i = 0; i < runs; ++i) {
            picks.push_back(ms([&] {
                box->setEditText(item);
                emit box->textActivated(item);
                paint(open);
            }));
        }
        report("chart_price_history_item", median(picks), "ms");
    }

    std::vector<double> names;
    for (int i = 0; i < runs; ++i)
        names.push_back(ms([&] { window.session().fillItemNames(1000); }));
    report("item_names_fill", median(names), "ms");

    // Every window open at once, each on its whole period.
    closeChildren(window);
    for (Child kind : {Child::Journal, Child::Report, Child::IncomeExpenseChart, Child::TopChart, Child::RatesChart,
                       Child::PriceHistory}) {
        QMdiSubWindow *open = window.openChild(kind);
        waitStarted(open);
        if (auto *box = open->findChild<QComboBox *>(QStringLiteral("ComboBox1"))) {
            box->setCurrentIndex(1);
            emit box->activated(1);
        }
        paint(open);
    }
    paint(&window);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    report("peak_rss", usage.ru_maxrss / 1024.0, "MB");
    closeChildren(window);
    ui::setMessageHandler({});
}

} // namespace bench
