// The journal and report windows: what they show of the ledger, the journal's highlight,
// editing and deleting from the journal, and the report's four views.
#include "entrytesting.h"

#include "entries/expensedialog.h"
#include "ledger/bookkeeping.h"
#include "ledger/money.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QWheelEvent>

using namespace testing;

namespace {

using ledger::Money;

ledger::ExpenseLine expenseLine(const QString &name, qint64 priceTicks, qint64 countsTicks, const QString &isoDate)
{
    return {name, Money::fromTicks(priceTicks), Money::fromTicks(countsTicks), QString(),
            QDate::fromString(isoDate, Qt::ISODate)};
}

QString lastMonth(int day = 10)
{
    const QDate month = QDate::currentDate().addMonths(-1);
    return QDate(month.year(), month.month(), qMin(day, month.daysInMonth())).toString(Qt::ISODate);
}

qint64 batchOn(const ledger::Connection &c, const QString &isoDate, const QVector<ledger::ExpenseLine> &lines)
{
    const qint64 id = ledger::recordExpenseBatch(c, lines);
    c.run("UPDATE List SET dates = ? WHERE id = ?", {isoDate, id});
    return id;
}

qint64 incomeOn(const ledger::Connection &c, const QString &isoDate, const QString &type, qint64 units)
{
    const qint64 id = ledger::recordIncome(c, type, Money::fromUnits(units), QString(), false);
    c.run("UPDATE List SET dates = ? WHERE id = ?", {isoDate, id});
    return id;
}

QStringList titles(QTableView *grid)
{
    QStringList result;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        result << grid->model()->headerData(c, Qt::Horizontal).toString();
    return result;
}

QList<int> widths(QTableView *grid)
{
    QList<int> result;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        result << (grid->isColumnHidden(c) ? -1 : grid->columnWidth(c));
    return result;
}

// The texts of the shown columns of every row, joined by "|".
QStringList rows(QTableView *grid)
{
    QStringList result;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        QStringList texts;
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            if (!grid->isColumnHidden(c))
                texts << grid->model()->index(r, c).data().toString();
        }
        result << texts.join('|');
    }
    return result;
}

// The background colour of a cell, read where no text is drawn.
QColor background(QTableView *grid, int row, int column, bool rightSide)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    const QImage image = grid->viewport()->grab().toImage();
    const int x = rightSide ? cell.right() - 3 : cell.left() + 3;
    return image.pixelColor(x, cell.center().y());
}

// True when `action` opened a modal dialog (which is then closed again).
// The program opens its dialogs from the event that asks for them, so once `action` returns
// any dialog it opened has shown.
bool opensModal(const std::function<void()> &action)
{
    ModalWatch watch;
    action();
    return !watch.seen().isEmpty();
}


// `count` incomes "Доход - 1" to "Доход - <count>" on one day and time: the journal lists the
// newest first, so its row r is "Доход - <count - r>".
void manyIncomes(const ledger::Connection &c, int count)
{
    c.run(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                         " INSERT INTO List (names, suma, dates, times)"
                         " SELECT 'Доход - ' || i, i * 10000, '2020-05-05', '10:00:00' FROM n")
              .arg(count));
}

// `count` lines "строка 1" to "строка <count>" of one batch of today, listed in that order.
void manyLines(const ledger::Connection &c, int count)
{
    c.run("INSERT INTO List (names, suma, dates) VALUES ('Расход', 0, date('now', 'localtime'))");
    c.run(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
                         " INSERT INTO Rashod (kod, names, price, counts, doc, dates)"
                         " SELECT 1, 'строка ' || i, 10000, 10000, '', date('now', 'localtime') FROM n")
              .arg(count));
}

void wheel(QAbstractItemView *view, int steps)
{
    const QPoint pos = view->viewport()->rect().center();
    QWheelEvent event(pos, view->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, -120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &event);
}

// Page Down from the top until the grid stands past `past`: each press moves the current
// row on, the row stays the one selected and in sight, and the model is never reset.
void pageDownPast(QTableView *grid, int past)
{
    QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    int row = 0;
    while (row <= past) {
        QTest::keyClick(grid, Qt::Key_PageDown);
        const int now = grid->currentIndex().row();
        QVERIFY2(now > row, qPrintable(QStringLiteral("row %1 after row %2").arg(now).arg(row)));
        row = now;
        QCOMPARE(grid->selectionModel()->selectedRows(), QModelIndexList({grid->model()->index(row, 0)}));
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
    }
    QCOMPARE(resets.count(), 0);
}

} // namespace

class JournalTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void theJournalShowsEveryEntryNewestFirst()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            batchOn(c, lastMonth(), {expenseLine("Хлеб", 3333, 30000, lastMonth())});
            incomeOn(c, todayIso(), "Зарплата", 45000);
            ledger::recordExpenseBatch(c, {expenseLine("Сыр", 2500000, 3500, todayIso()),
                                           expenseLine("Молоко", 125000, 20000, todayIso())});
        });
        ui::ChildWindow *journal = program.journalWindow();
        QCOMPARE(journal->windowTitle(), QStringLiteral("Журнал расхода/дохода"));
        QCOMPARE(journal->pos(), QPoint(10, 10));
        QCOMPARE(journal->size(), QSize(454, 374));
        auto *period = find<QComboBox>(journal, "ComboBox1");
        QCOMPARE(period->currentText(), QStringLiteral("За весь период"));
        QCOMPARE(period->count(), 2);
        QCOMPARE(period->itemText(0), QStringLiteral("За текущий месяц"));
        QCOMPARE(program.session().journal().source(), QStringLiteral("ListZ"));

        QTableView *grid = program.journalGrid();
        QCOMPARE(titles(grid), QStringList({" Тип записи", "Сумма", "Дата", "Время"}));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
                     & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
                     & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        QCOMPARE(widths(grid), QList<int>({151, 100, 90, 80}));
        QVERIFY(!grid->verticalHeader()->isVisible());
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);

        const QStringList times = program.raw().rows("SELECT ti FROM ListZ");
        const QString today = shortDateOf(todayIso());
        QCOMPARE(rows(grid), QStringList({"Расход|112,5|" + today + "|" + times.at(0),
                                          "Доход - Зарплата|45000|" + today + "|" + times.at(1),
                                          "Расход|0,9999|" + shortDateOf(lastMonth()) + "|" + times.at(2)}));
        QVERIFY(QRegularExpression("^[0-9]{1,2}:[0-9]{2}:[0-9]{2}$").match(times.at(0)).hasMatch());
        // The grid stands on the first row.
        QCOMPARE(grid->currentIndex().row(), 0);

        // Only the first column follows the window's width.
        journal->resize(600, 400);
        QCOMPARE(widths(grid), QList<int>({297, 100, 90, 80}));
        journal->resize(380, 300);
        QCOMPARE(widths(grid), QList<int>({77, 100, 90, 80}));
        QCOMPARE(log.texts(), QStringList());
    }

    void thePeriodBoxChoosesTheMonthOrEverything()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            batchOn(c, lastMonth(), {expenseLine("Хлеб", 10000, 10000, lastMonth())});
            incomeOn(c, thisMonthYearsAgo(3), "Премия", 10);
            incomeOn(c, lastMonth(), "Зарплата", 100);
        });
        QTableView *grid = program.journalGrid();
        QCOMPARE(grid->model()->rowCount(), 3);
        auto *period = find<QComboBox>(program.journalWindow(), "ComboBox1");
        grid->setCurrentIndex(grid->model()->index(1, 0));
        period->setCurrentIndex(0);
        QCOMPARE(program.session().journal().source(), QStringLiteral("ListM"));
        // The current month in any year.
        QCOMPARE(rows(grid).size(), 1);
        QVERIFY(rows(grid).first().startsWith("Доход - Премия|10|"));
        QCOMPARE(grid->currentIndex().row(), 0);

        // A write goes through the journal as it is chosen.
        whenShown("TForm6", [](QWidget *d) {
            type(find<QComboBox>(d, "ComboBox1"), "Гонорар");
            find<QLineEdit>(d, "Edit3")->setText("7");
            find<QPushButton>(d, "Button3")->click();
        });
        find<QToolButton>(&program.window(), "ToolButton3")->click();
        QVERIFY(!missedDialog());
        QCOMPARE(rows(grid).size(), 2);
        QCOMPARE(program.session().journal().source(), QStringLiteral("ListM"));

        // Closed and opened again, the journal shows the whole period, as its box says.
        program.journalWindow()->close();
        QVERIFY(!program.journalWindow());
        find<QToolButton>(&program.window(), "ToolButton2")->click();
        WAIT_VERIFY(program.journalWindow() && program.journalWindow()->isStarted());
        QCOMPARE(find<QComboBox>(program.journalWindow(), "ComboBox1")->currentText(), QStringLiteral("За весь период"));
        QCOMPARE(program.session().journal().source(), QStringLiteral("ListZ"));
        QCOMPARE(program.journalGrid()->model()->rowCount(), 4);
        QCOMPARE(log.texts(), QStringList());
    }

    void incomeRowsAreHighlightedWhileTheSettingIsOn()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            incomeOn(c, lastMonth(3), "Зарплата", 100);
            batchOn(c, lastMonth(2), {expenseLine("Хлеб", 10000, 10000, lastMonth())});
            incomeOn(c, lastMonth(1), "Премия", 10);
        });
        QTableView *grid = program.journalGrid();
        QCOMPARE(rows(grid).size(), 3);
        QVERIFY(rows(grid).at(0).startsWith("Доход - Зарплата"));
        // The selected income row keeps the selection's colours.
        grid->setCurrentIndex(grid->model()->index(0, 0));
        const QColor green(219, 237, 211);
        const QColor selection = grid->palette().color(QPalette::Active, QPalette::Highlight);
        QCOMPARE(background(grid, 2, 1, false), green);
        QCOMPARE(background(grid, 2, 0, true), green);
        QVERIFY(background(grid, 1, 1, false) != green);
        QCOMPARE(background(grid, 0, 1, false), selection);

        // The settings check box switches it at the next redraw.
        auto *highlight = find<QCheckBox>(find<QDialog>(&program.window(), "TForm7"), "CheckBox1");
        QVERIFY(highlight->isChecked());
        highlight->setChecked(false);
        QCOMPARE(background(grid, 2, 1, false), background(grid, 1, 1, false));
        grid->setCurrentIndex(grid->model()->index(2, 0));
        QCOMPARE(background(grid, 0, 1, false), background(grid, 1, 1, false));
        highlight->setChecked(true);
        QCOMPARE(background(grid, 0, 1, false), green);
        QCOMPARE(background(grid, 2, 1, false), selection);
        QCOMPARE(log.texts(), QStringList());
    }

    void deleteAsksAndTakesTheBatchWithItsLines()
    {
        MessageLog log;
        LedgerProgram program([&](const ledger::Connection &c) {
            batchOn(c, lastMonth(1), {expenseLine("Хлеб", 10000, 10000, todayIso())});
            incomeOn(c, lastMonth(2), "Премия", 1000);
            batchOn(c, lastMonth(3), {expenseLine("Сыр", 1000000, 10000, todayIso()),
                                      expenseLine("Чай", 500000, 10000, todayIso())});
        });
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 151,00 руб."));
        QTableView *grid = program.journalGrid();
        QCOMPARE(rows(grid).at(0).section('|', 0, 1), QStringLiteral("Расход|150"));
        grid->setFocus();

        // No leaves everything as it is.
        log.answer(QMessageBox::No);
        grid->setCurrentIndex(grid->model()->index(0, 2));
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(log.texts(), QStringList({"Удалить текущею запись о расходах ?"}));
        QCOMPARE(log.seen().first().icon, QMessageBox::Question);
        QCOMPARE(log.seen().first().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(log.seen().first().parent, program.journalWindow());
        QCOMPARE(program.raw().value("SELECT count(*) FROM Rashod").toInt(), 3);

        // Yes deletes the batch and its lines; the other batch stays whole.
        log.clear();
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(log.texts(), QStringList({"Удалить текущею запись о расходах ?"}));
        QCOMPARE(program.raw().rows("SELECT names FROM Rashod ORDER BY id"), QStringList({"Хлеб"}));
        QCOMPARE(program.raw().value("SELECT count(*) FROM List").toInt(), 2);
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 1,00 руб."));
        QCOMPARE(program.panelText("Label1"), QStringLiteral("баланс: 999,00 руб."));
        QCOMPARE(rows(grid).size(), 2);
        QCOMPARE(grid->currentIndex().row(), 0);

        // An income row is named in the question, whatever modifier is held; its type stays.
        log.clear();
        QVERIFY(rows(grid).at(0).startsWith("Доход - Премия"));
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(log.texts(), QStringList({"Удалить текущею запись о \"Доход - Премия\" ?"}));
        QCOMPARE(program.raw().value("SELECT count(*) FROM List").toInt(), 1);
        QCOMPARE(program.raw().value("SELECT count(*) FROM Dohod WHERE names = 'Премия'").toInt(), 1);
        QCOMPARE(program.raw().value("SELECT count(*) FROM Rashod").toInt(), 1);
        QCOMPARE(program.panelText("Label1"), QStringLiteral("баланс: -1,00 руб."));

        // The last one, then an empty journal asks nothing and opens nothing.
        log.clear();
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(log.texts().size(), 1);
        QCOMPARE(program.raw().value("SELECT count(*) FROM List").toInt(), 0);
        QCOMPARE(program.raw().value("SELECT count(*) FROM Rashod").toInt(), 0);
        QCOMPARE(program.panelText("Label1"), QStringLiteral("баланс: 0,00 руб."));
        QCOMPARE(rows(grid), QStringList());
        log.clear();
        QTest::keyClick(grid, Qt::Key_Delete);
        QVERIFY(!opensModal([&] { QTest::keyClick(grid, Qt::Key_Return); }));
        QVERIFY(!opensModal([&] { doubleClick(grid, grid->model()->index(0, 0)); }));
        QCOMPARE(log.texts(), QStringList());
    }

    void onlyExpenseRowsAreOpenedForEditing()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            incomeOn(c, todayIso(), "Премия", 1000);
            batchOn(c, lastMonth(), {expenseLine("Хлеб", 10000, 10000, todayIso())});
        });
        QTableView *grid = program.journalGrid();
        const QStringList before = program.raw().rows("SELECT * FROM List");
        QVERIFY(!opensModal([&] { doubleClick(grid, grid->model()->index(0, 1)); }));
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QVERIFY(!opensModal([&] { QTest::keyClick(grid, Qt::Key_Enter); }));
        QStringList loaded;
        QVERIFY(driveExpenseDialog([&] { doubleClick(grid, grid->model()->index(1, 3)); }, [&](ExpenseForm &f) {
            loaded = f.lines();
            f.cancel->click();
        }));
        QCOMPARE(loaded, QStringList({"1|Хлеб|1|1|1||" + shortDateOf(todayIso())}));
        QCOMPARE(program.raw().rows("SELECT * FROM List"), before);
        // The next expense is added: no batch is edited any more.
        qint64 edited = -1;
        QVERIFY(driveExpenseDialog([&] { find<QToolButton>(&program.window(), "ToolButton4")->click(); },
                                   [&](ExpenseForm &f) {
                                       edited = qobject_cast<entries::ExpenseDialog *>(f.dialog)->editedId();
                                       f.cancel->click();
                                   }));
        QCOMPARE(edited, qint64(0));
        QCOMPARE(log.texts(), QStringList());
    }

    // A long journal.

    void scrollingKeepsTheRowTheUserIsOn()
    {
        MessageLog log;
        const int entries = 3000;
        LedgerProgram program([&](const ledger::Connection &c) { manyIncomes(c, entries); });
        QTableView *grid = program.journalGrid();
        pageDownPast(grid, 700);
        if (QTest::currentTestFailed())
            return;
        const int row = grid->currentIndex().row();
        QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("Доход - %1").arg(entries - row));
        QCOMPARE(program.session().journal().current(), row);

        // The wheel scrolls on, fetching more rows; the chosen row stays chosen.
        QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
        const int offered = grid->model()->rowCount();
        QScrollBar *bar = grid->verticalScrollBar();
        while (grid->model()->rowCount() < qMin(entries, offered + 600)) {
            // At the end of what is offered the grid fetches the next rows.
            QTRY_VERIFY(bar->value() < bar->maximum());
            const int before = bar->value();
            wheel(grid, 3);
            QVERIFY(bar->value() > before);
        }
        QCOMPARE(resets.count(), 0);
        QCOMPARE(grid->currentIndex().row(), row);
        QCOMPARE(grid->selectionModel()->selectedRows(), QModelIndexList({grid->model()->index(row, 0)}));
        const int top = grid->indexAt(QPoint(2, 2)).row();
        QVERIFY(top > row);
        QCOMPARE(grid->model()->index(top, 0).data().toString(), QStringLiteral("Доход - %1").arg(entries - top));
        QCOMPARE(log.texts(), QStringList());
    }

    void ctrlEndReachesTheOldestEntryAtOnce()
    {
        MessageLog log;
        const int entries = 100000;
        LedgerProgram program([&](const ledger::Connection &c) { manyIncomes(c, entries); });
        QTableView *grid = program.journalGrid();
        grid->setFocus();
        QVERIFY(grid->model()->rowCount() < entries);
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->model()->rowCount(), entries);
        QCOMPARE(grid->currentIndex().row(), entries - 1);
        QCOMPARE(grid->model()->index(entries - 1, 0).data().toString(), QStringLiteral("Доход - 1"));
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
        QCOMPARE(program.session().journal().current(), entries - 1);

        QTest::keyClick(grid, Qt::Key_PageUp);
        const int row = grid->currentIndex().row();
        QVERIFY(row < entries - 1);
        QCOMPARE(grid->model()->index(row, 0).data().toString(), QStringLiteral("Доход - %1").arg(entries - row));

        // The scroll bar reaches any row, read when it is shown.
        QScrollBar *bar = grid->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        const int top = grid->indexAt(QPoint(2, 2)).row();
        QVERIFY(top > entries / 4 && top < entries * 3 / 4);
        QCOMPARE(grid->model()->index(top, 0).data().toString(), QStringLiteral("Доход - %1").arg(entries - top));
        QCOMPARE(grid->currentIndex().row(), row);

        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("Доход - %1").arg(entries));
        QCOMPARE(log.texts(), QStringList());
    }

    void theReportKeepsItsRowWhileScrolling()
    {
        MessageLog log;
        const int lines = 1500;
        LedgerProgram program([&](const ledger::Connection &c) { manyLines(c, lines); });
        ui::ChildWindow *report = program.openReport();
        QVERIFY(report);
        auto *grid = find<QTableView>(report, "Tov");
        pageDownPast(grid, 600);
        if (QTest::currentTestFailed())
            return;
        const int row = grid->currentIndex().row();
        QCOMPARE(grid->currentIndex().data().toString(), QStringLiteral("строка %1").arg(row + 1));
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), lines - 1);
        QCOMPARE(grid->model()->index(lines - 1, 0).data().toString(), QStringLiteral("строка %1").arg(lines));
        QCOMPARE(log.texts(), QStringList());
    }

    // A journal row whose reading fails when the user moves onto it shows the error, and the
    // program goes on.
    void aFailingMoveShowsTheErrorBox()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) { manyIncomes(c, 600); });
        QTableView *grid = program.journalGrid();
        // Another program renames the table behind the journal's back: the journal's view
        // still reads, counting its rows fails.
        program.raw().exec("ALTER TABLE List RENAME TO Old");
        find<QComboBox>(program.journalWindow(), "ComboBox1")->setCurrentIndex(0);
        find<QComboBox>(program.journalWindow(), "ComboBox1")->setCurrentIndex(1);
        QVERIFY(!log.texts().isEmpty());
        QVERIFY2(log.texts().constLast().contains("List"), qPrintable(log.texts().join('\n')));
        log.clear();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(log.texts().size(), 2);
        QVERIFY2(log.texts().constFirst().contains("List"), qPrintable(log.texts().join('\n')));
    }

    void theReportShowsOneOfFourViews()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            batchOn(c, thisMonthYearsAgo(1, 4), {expenseLine("Хлеб", 3333, 30000, todayIso()),
                                                 expenseLine("Сыр", 2500000, 3500, lastMonth()),
                                                 expenseLine("Чай", 1250000, 20000, todayIso())});
            batchOn(c, lastMonth(), {expenseLine("Бензин", 545000, 400000, lastMonth())});
            incomeOn(c, thisMonthYearsAgo(1, 5), "Зарплата", 45000);
            incomeOn(c, lastMonth(), "Премия", 5000);
        });
        ui::ChildWindow *report = program.openReport();
        QVERIFY(report);
        QCOMPARE(report->windowTitle(), QStringLiteral("Отчёт расходов/доходов"));
        QCOMPARE(report->pos(), QPoint(0, 50));
        QCOMPARE(report->size(), QSize(578, 403));
        auto *kind = find<QComboBox>(report, "ComboBox2");
        auto *period = find<QComboBox>(report, "ComboBox1");
        QVERIFY(kind->hasFocus());
        QCOMPARE(kind->currentText(), QStringLiteral("Расходам"));
        QCOMPARE(period->currentText(), QStringLiteral("За текущий месяц"));
        auto *grid = find<QTableView>(report, "Tov");
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(titles(grid), QStringList({" Наименование", "Цена", "Кол-во", "Сумма", "Дата"}));
        QCOMPARE(program.session().report().source(), QStringLiteral("ListRashod"));
        const int dateWidth = grid->columnWidth(4);
        QCOMPARE(widths(grid), QList<int>({222, 70, 60, 80, dateWidth}));
        // Each line of the batch, with the batch's journal date.
        const QString batchDate = shortDateOf(thisMonthYearsAgo(1, 4));
        QCOMPARE(rows(grid), QStringList({"Хлеб|0,3333|3|0,9999|" + batchDate, "Сыр|250|0,35|87,5|" + batchDate,
                                          "Чай|125|2|250|" + batchDate}));

        period->setCurrentIndex(1);
        QCOMPARE(program.session().report().source(), QStringLiteral("ListRashodAll"));
        QCOMPARE(rows(grid).size(), 4);
        QCOMPARE(rows(grid).at(0), "Бензин|54,5|40|2180|" + shortDateOf(lastMonth()));

        // Incomes: no price or quantity, the type without its prefix, a wider first column.
        kind->setCurrentIndex(1);
        QCOMPARE(program.session().report().source(), QStringLiteral("ListDohodAll"));
        QCOMPARE(widths(grid), QList<int>({354, -1, -1, 80, dateWidth}));
        QCOMPARE(rows(grid), QStringList({"Премия|5000|" + shortDateOf(lastMonth()),
                                          "Зарплата|45000|" + shortDateOf(thisMonthYearsAgo(1, 5))}));
        period->setCurrentIndex(0);
        QCOMPARE(program.session().report().source(), QStringLiteral("ListDohod"));
        QCOMPARE(rows(grid), QStringList({"Зарплата|45000|" + shortDateOf(thisMonthYearsAgo(1, 5))}));

        report->resize(700, 400);
        QCOMPARE(grid->columnWidth(0), 476);
        kind->setCurrentIndex(0);
        QCOMPARE(program.session().report().source(), QStringLiteral("ListRashod"));
        QCOMPARE(widths(grid), QList<int>({344, 70, 60, 80, dateWidth}));
        QCOMPARE(log.texts(), QStringList());
    }

    void theReportIsReadWhenABoxChanges()
    {
        MessageLog log;
        LedgerProgram program;
        ui::ChildWindow *report = program.openReport();
        QVERIFY(report);
        auto *grid = find<QTableView>(report, "Tov");
        QCOMPARE(grid->model()->rowCount(), 0);
        QVERIFY(driveExpenseDialog([&] { find<QToolButton>(&program.window(), "ToolButton4")->click(); },
                                   [](ExpenseForm &f) {
                                       f.addLine("Хлеб", "30", "1");
                                       f.ok->click();
                                   }));
        QCOMPARE(program.raw().value("SELECT count(*) FROM Rashod").toInt(), 1);
        QCOMPARE(grid->model()->rowCount(), 0);
        find<QComboBox>(report, "ComboBox1")->setCurrentIndex(1);
        QCOMPARE(rows(grid), QStringList({"Хлеб|30|1|30|" + shortDateOf(todayIso())}));

        // Opening another ledger leaves exactly one window: the journal.
        program.window().LoadDB(program.path());
        WAIT_COMPARE(program.window().mdiArea()->subWindowList().size(), 1);
        QVERIFY(program.journalWindow());
        QCOMPARE(log.texts(), QStringList());
    }
};

QTEST_MAIN(JournalTest)
#include "test_journal.moc"
