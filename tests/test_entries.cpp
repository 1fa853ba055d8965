// The expense and income dialogs: what they take, what they refuse, and what they write.
#include "entrytesting.h"

#include "ledger/bookkeeping.h"
#include "ledger/money.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QHeaderView>
#include <QApplication>
#include <QKeyEvent>
#include <QShowEvent>

using namespace testing;

namespace {

using ledger::Money;

ledger::ExpenseLine expenseLine(const QString &name, qint64 priceTicks, qint64 countsTicks, const QString &document,
                                const QString &isoDate)
{
    return {name, Money::fromTicks(priceTicks), Money::fromTicks(countsTicks), document,
            QDate::fromString(isoDate, Qt::ISODate)};
}

// Everything a ledger holds of entries, to compare before and after.
QStringList storedEntries(const RawFile &raw)
{
    return raw.rows("SELECT 'List', id, names, suma, dates, times, comments FROM List"
                    " UNION ALL SELECT 'Rashod', id, kod, names, price, counts, doc || '/' || dates FROM Rashod"
                    " UNION ALL SELECT 'Dohod', id, names, '', '', '', '' FROM Dohod");
}

void clickExpense(LedgerProgram &program)
{
    find<QToolButton>(&program.window(), QStringLiteral("ToolButton4"))->click();
}

// Runs `action` on the income dialog, opened by the toolbar.
bool driveIncomeDialog(LedgerProgram &program, const std::function<void(QDialog *)> &action)
{
    auto ran = std::make_shared<bool>(false);
    whenShown(QStringLiteral("TForm6"), [action, ran](QWidget *dialog) {
        *ran = true;
        CloseWhenDone closer{static_cast<QDialog *>(dialog)};
        action(static_cast<QDialog *>(dialog));
    });
    find<QToolButton>(&program.window(), QStringLiteral("ToolButton3"))->click();
    return !missedDialog() && *ran;
}

// Delete as the X keyboard gives it: with the text "\x7f".
void pressDelete(QWidget *field)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(field, &release);
}

// Deletes the first of "123" and returns what is left.
QString deleteFirstDigit(QLineEdit *field)
{
    field->setText("123");
    field->setCursorPosition(0);
    pressDelete(field);
    return field->text();
}

// Enter where the keyboard is: in the suggestion list while it is open.
void pressEnter(QWidget *field)
{
    QWidget *popup = QApplication::activePopupWidget();
    QTest::keyClick(popup ? popup : field, Qt::Key_Return);
}

// The open suggestion list, nullptr when none is open.
QWidget *suggestions()
{
    return QApplication::activePopupWidget();
}

bool suggesting(QComboBox *)
{
    return suggestions() != nullptr;
}

// What the window system sends a dialog that is shown again after being minimized.
void restore(QWidget *dialog)
{
    QShowEvent event;
    QApplication::sendEvent(dialog, &event);
}

} // namespace

class EntriesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void aBatchOfThreeLinesIsOneJournalRow()
    {
        MessageLog log;
        LedgerProgram program;
        QString caption;
        QStringList listed;
        QStringList afterFirst;
        QList<bool> hidden;
        const QString today = QDate::currentDate().toString("dd.MM.yyyy");
        // Two lines paid this month some years ago, one in another month.
        const QString paid = shortDateOf(thisMonthYearsAgo(5, 2));
        const QString paidIso = thisMonthYearsAgo(5, 2);
        const QString other = shortDateOf(otherMonth(3));
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            caption = f.dialog->windowTitle();
            for (int c = 0; c < f.list->columnCount(); ++c)
                hidden << f.list->isColumnHidden(c);
            QCOMPARE(f.date->text(), today);
            QCOMPARE(f.price->text(), QStringLiteral("0"));
            QCOMPARE(f.counts->text(), QStringLiteral("1"));
            // Letters, points and minus signs are dropped as they are typed.
            f.enter("Хлеб", "0x,3-33.3", "3", "Чек 17", paid);
            QCOMPARE(f.price->text(), QStringLiteral("0,3333"));
            QTest::keyClick(f.item, Qt::Key_Return);
            afterFirst = QStringList{f.item->currentText(), f.price->text(), f.counts->text(), f.document->text(),
                                     f.date->text(), f.add->isEnabled() ? "on" : "off"};
            f.addLine("Молоко", "12,5", "2");
            f.addLine("Сыр", "250", "0,35", "Чек 18", other);
            listed = f.lines();
            f.ok->click();
        }));
        QCOMPARE(caption, QStringLiteral("Добавить расход"));
        QCOMPARE(hidden, QList<bool>({false, false, false, true, true, false, false}));
        QCOMPARE(afterFirst, QStringList({"", "0", "1", "Чек 17", paid, "off"}));
        QCOMPARE(listed, QStringList({"1|Хлеб|0,9999|0,3333|3|Чек 17|" + paid, "2|Молоко|25|12,5|2|Чек 17|" + paid,
                                      "3|Сыр|87,5|250|0,35|Чек 18|" + other}));
        QCOMPARE(log.texts(), QStringList());

        RawFile raw = program.raw();
        QCOMPARE(raw.rows("SELECT names, suma, dates, comments, dohod FROM List"),
                 QStringList({"Расход|1134999|" + todayIso() + "|NULL|NULL"}));
        const QString id = raw.value("SELECT id FROM List").toString();
        QCOMPARE(raw.rows("SELECT kod, names, price, counts, doc, dates FROM Rashod ORDER BY id"),
                 QStringList({id + "|Хлеб|3333|30000|Чек 17|" + paidIso, id + "|Молоко|125000|20000|Чек 17|" + paidIso,
                              id + "|Сыр|2500000|3500|Чек 18|" + otherMonth(3)}));
        // The journal shows the row at once and the panel follows.
        QCOMPARE(program.journalGrid()->model()->rowCount(), 1);
        QCOMPARE(program.journalGrid()->model()->index(0, 1).data().toString(), QStringLiteral("113,4999"));
        // The month's expenses go by the lines' own payment dates.
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 26,00 руб."));
        QCOMPARE(program.panelText("Label1"), QStringLiteral("баланс: -113,50 руб."));
        // The new names are offered from now on.
        QCOMPARE(program.session().itemNames().stringList(), QStringList({"Хлеб", "Молоко", "Сыр"}));
    }

    void theAddButtonFollowsItsRule()
    {
        MessageLog log;
        LedgerProgram program;
        QList<bool> states;
        QStringList listed;
        const QString today = QDate::currentDate().toString("dd.MM.yyyy");
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            states << f.add->isEnabled();
            type(f.item, "Гвозди");
            states << f.add->isEnabled(); // the price is still "0"
            f.retype(f.price, "0,0");
            states << f.add->isEnabled();
            QTest::keyClick(f.price, Qt::Key_Return);
            states << f.add->isEnabled(); // a fresh line starts disabled
            type(f.item, "Шурупы");
            f.retype(f.price, "00");
            states << f.add->isEnabled();
            f.counts->clear();
            states << f.add->isEnabled();
            QTest::keyClick(f.counts, Qt::Key_Return); // nothing to add
            type(f.counts, "0");
            states << f.add->isEnabled();
            f.item->clearEditText();
            states << f.add->isEnabled();
            QTest::keyClick(f.document, Qt::Key_Return); // nothing either
            type(f.item, "Шурупы");
            QTest::keyClick(f.date, Qt::Key_Return);
            listed = f.lines();
            f.ok->click();
        }));
        QCOMPARE(states, QList<bool>({false, false, true, false, true, false, true, false}));
        QCOMPARE(listed, QStringList({"1|Гвозди|0|0,0|1||" + today, "2|Шурупы|0|00|0||" + today}));
        QCOMPARE(program.raw().rows("SELECT names, suma FROM List"), QStringList({"Расход|0"}));
        QCOMPARE(program.raw().rows("SELECT names, price, counts FROM Rashod ORDER BY id"),
                 QStringList({"Гвозди|0|10000", "Шурупы|0|0"}));
        QCOMPARE(log.texts(), QStringList());
    }

    void deleteInTheLineListTakesTheLineOutOfTheBatch()
    {
        MessageLog log;
        LedgerProgram program;
        QStringList afterRemoval;
        QStringList afterDeleteElsewhere;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            f.addLine("Первое", "10", "1");
            f.addLine("Второе", "20", "1");
            f.addLine("Третье", "30", "1");
            f.list->setFocus();
            f.list->setCurrentItem(f.list->topLevelItem(1));
            QTest::keyClick(f.list, Qt::Key_Delete);
            afterRemoval = f.lines();
            // Delete in a box edits the box and leaves the lines alone.
            f.document->setText("12");
            f.document->setCursorPosition(0);
            QTest::keyClick(f.document, Qt::Key_Delete);
            afterDeleteElsewhere = f.lines();
            afterDeleteElsewhere << f.document->text();
            f.ok->click();
        }));
        const QString today = QDate::currentDate().toString("dd.MM.yyyy");
        // Numbers run on after a removal.
        QCOMPARE(afterRemoval, QStringList({"1|Первое|10|10|1||" + today, "2|Третье|30|30|1||" + today}));
        QCOMPARE(afterDeleteElsewhere, afterRemoval + QStringList{"2"});
        QCOMPARE(program.raw().rows("SELECT names, suma FROM List"), QStringList({"Расход|400000"}));
        QCOMPARE(program.raw().rows("SELECT names FROM Rashod ORDER BY id"), QStringList({"Первое", "Третье"}));
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 40,00 руб."));
    }

    void anEmptyBatchWritesARowOfNothing()
    {
        MessageLog log;
        LedgerProgram program;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [](ExpenseForm &f) { f.ok->click(); }));
        QCOMPARE(program.raw().rows("SELECT names, suma, dates FROM List"), QStringList({"Расход|0|" + todayIso()}));
        QCOMPARE(program.raw().value("SELECT count(*) FROM Rashod").toInt(), 0);
        QCOMPARE(program.journalGrid()->model()->rowCount(), 1);
        QCOMPARE(program.session().itemNames().stringList(), QStringList());
        QCOMPARE(log.texts(), QStringList());
    }

    void linesThatCouldNotBeStoredAreRefusedWhenAdded()
    {
        MessageLog log;
        LedgerProgram program;
        struct Case
        {
            QString name, price, counts, document, date, message;
        };
        const QString today = QDate::currentDate().toString("dd.MM.yyyy");
        const QList<Case> cases = {
            {"Соль", ",", "1", "", today, "',' is not a valid floating point value."},
            {"Соль", "1,2,3", "1", "", today, "'1,2,3' is not a valid floating point value."},
            {"Соль", "5", ",", "", today, "',' is not a valid floating point value."},
            {"Соль", "5", "1", "", "31.02.2024", "'31.02.2024' is not a valid date."},
            {"Соль", "5", "1", "", "вчера", "'вчера' is not a valid date."},
            {QString(256, QChar(0x0436)), "5", "1", "", today, "255"},
            {"Соль", "5", "1", QString(51, '7'), today, "50"},
        };
        QStringList failures;
        QStringList kept;
        QStringList listed;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            for (const Case &c : cases) {
                log.clear();
                f.item->setEditText(c.name);
                f.price->setText(c.price);
                f.counts->setText(c.counts);
                f.document->setText(c.document);
                f.date->setText(c.date);
                QTest::keyClick(f.counts, Qt::Key_Return);
                const bool refused = log.seen().size() == 1 && log.seen().first().icon == QMessageBox::Critical
                                     && log.texts().first().contains(c.message) && f.list->topLevelItemCount() == 0;
                if (!refused)
                    failures << c.name.left(10) + "/" + c.price + "/" + c.counts + "/" + c.date + ": "
                                    + log.texts().join(';');
                // What was typed stays, to be put right.
                kept << (f.price->text() == c.price && f.date->text() == c.date ? "kept" : "lost");
            }
            // The longest texts that fit are taken.
            log.clear();
            f.item->setEditText(QString(255, QChar(0x0436)));
            f.price->setText("5");
            f.counts->setText("1");
            f.document->setText(QString(50, '7'));
            f.date->setText(today);
            f.add->click();
            listed << QString::number(f.list->topLevelItemCount());
            f.ok->click();
        }));
        QCOMPARE(failures, QStringList());
        QCOMPARE(kept, QStringList(cases.size(), "kept"));
        QCOMPARE(listed, QStringList({"1"}));
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(program.raw().rows("SELECT length(names), length(doc) FROM Rashod"), QStringList({"255|50"}));
        // None of the refused names was offered.
        QCOMPARE(program.session().itemNames().stringList(), QStringList({QString(255, QChar(0x0436))}));
    }

    void editingLoadsTheBatchAndReplacesItKeepingItsDate()
    {
        MessageLog log;
        const QString old = thisMonthYearsAgo(2, 5);
        LedgerProgram program([&](const ledger::Connection &c) {
            const qint64 id = ledger::recordExpenseBatch(c, {expenseLine("Чай", 1250000, 20000, "Чек 5", old),
                                                             expenseLine("Сахар", 5000, 30000, "", otherMonth(2))});
            c.run("UPDATE List SET dates = ? WHERE id = ?", {old, id});
            ledger::recordIncome(c, "Премия", Money::fromUnits(1000), "", false);
        });
        const qint64 oldId = program.raw().value("SELECT id FROM List WHERE names = 'Расход'").toLongLong();
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 250,00 руб."));
        QTableView *grid = program.journalGrid();
        // The income is newer and comes first; the batch is the second row.
        const QModelIndex batch = grid->model()->index(1, 0);
        QCOMPARE(batch.data().toString(), QStringLiteral("Расход"));

        QString caption;
        QStringList loaded;
        QVERIFY(driveExpenseDialog([&] { doubleClick(grid, batch); },
                                   [&](ExpenseForm &f) {
                                       caption = f.dialog->windowTitle();
                                       loaded = f.lines();
                                       loaded << f.item->currentText() + "/" + f.price->text() + "/" + f.counts->text();
                                       f.list->setCurrentItem(f.list->topLevelItem(1));
                                       QTest::keyClick(f.list, Qt::Key_Delete);
                                       f.addLine("Мёд", "300", "1", "", shortDateOf(todayIso()));
                                       f.ok->click();
                                   }));
        QCOMPARE(caption, QStringLiteral("Изменить запись расхода"));
        QCOMPARE(loaded, QStringList({"1|Чай|250|125|2|Чек 5|" + shortDateOf(old),
                                      "2|Сахар|1,5|0,5|3||" + shortDateOf(otherMonth(2)), "/0/1"}));
        RawFile raw = program.raw();
        const QStringList rows = raw.rows("SELECT id, suma, dates FROM List WHERE names = 'Расход'");
        QCOMPARE(rows.size(), 1);
        const QString newId = rows.first().section('|', 0, 0);
        QVERIFY(newId.toLongLong() > oldId);
        QCOMPARE(rows.first().section('|', 1), QStringLiteral("5500000|") + old);
        QCOMPARE(raw.rows("SELECT kod, names, price, counts, dates FROM Rashod ORDER BY id"),
                 QStringList({newId + "|Чай|1250000|20000|" + old, newId + "|Мёд|3000000|10000|" + todayIso()}));
        QCOMPARE(raw.value("SELECT count(*) FROM List").toInt(), 2);
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 550,00 руб."));
        QCOMPARE(program.panelText("Label1"), QStringLiteral("баланс: 450,00 руб."));
        QCOMPARE(log.texts(), QStringList());

        // The next expense starts afresh, in add mode.
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            caption = f.dialog->windowTitle();
            loaded = f.lines();
            f.cancel->click();
        }));
        QCOMPARE(caption, QStringLiteral("Добавить расход"));
        QCOMPARE(loaded, QStringList());
    }

    void aLineWithoutADateKeepsItsEmptyDate()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordExpenseBatch(c, {expenseLine("Чай", 1250000, 10000, "Чек 5", todayIso()),
                                           expenseLine("Сахар", 50000, 20000, "", todayIso())});
            // As a converted old ledger may hold it.
            c.run("UPDATE Rashod SET dates = NULL WHERE names = 'Сахар'");
        });
        QTableView *grid = program.journalGrid();
        QStringList loaded;
        bool closed = false;
        QVERIFY(driveExpenseDialog([&] { QTest::keyClick(grid, Qt::Key_Return); }, [&](ExpenseForm &f) {
            loaded = f.lines();
            f.addLine("Мёд", "300", "1");
            f.ok->click();
            closed = !f.dialog->isVisible();
        }));
        const QString today = shortDateOf(todayIso());
        QCOMPARE(loaded, QStringList({"1|Чай|125|125|1|Чек 5|" + today, "2|Сахар|10|5|2||"}));
        QCOMPARE(log.texts().join("\n"), QString());
        QVERIFY(closed);
        QCOMPARE(program.raw().rows("SELECT names, dates FROM Rashod ORDER BY id"),
                 QStringList({"Чай|" + todayIso(), "Сахар|NULL", "Мёд|" + todayIso()}));
        QCOMPARE(program.raw().rows("SELECT suma FROM List"), QStringList({"4350000"}));
    }

    void amountsNear92BillionAreExactEverywhere()
    {
        MessageLog log;
        // A line of this month already: the month's total is kept.
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordExpenseBatch(c, {expenseLine("Хлеб", 500000, 10000, "", todayIso())});
        });
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            f.addLine("Дом", "92250000001,2345", "0,9999");
            f.ok->click();
        }));
        QCOMPARE(log.texts().join("\n"), QString());
        // 92250000001,2345 x 0,9999 = 92240775001,23437655, to four places.
        const QString amount = "922407750012344";
        RawFile raw = program.raw();
        QCOMPARE(raw.rows("SELECT typeof(suma), suma FROM ListRashodAll WHERE names = 'Дом'"),
                 QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT typeof(Suma), Suma FROM TopRashodAll LIMIT 1"), QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT typeof(suma), suma FROM GrafRashod ORDER BY suma DESC LIMIT 1"),
                 QStringList({"integer|" + amount}));
        QCOMPARE(raw.rows("SELECT suma FROM List WHERE suma > 500000"), QStringList({amount}));
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 92240775051,23 руб."));
        QCOMPARE(raw.rows("SELECT RashodM FROM Rashods"), QStringList({"922407750512344"}));
    }

    void cancellingWritesNothing()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordExpenseBatch(c, {expenseLine("Чай", 1250000, 20000, "Чек 5", todayIso()),
                                           expenseLine("Сахар", 5000, 30000, "", todayIso())});
        });
        const QStringList before = storedEntries(program.raw());
        QTableView *grid = program.journalGrid();
        bool tabMoved = false;
        QVERIFY(driveExpenseDialog([&] { QTest::keyClick(grid, Qt::Key_Return); }, [&](ExpenseForm &f) {
            f.list->setCurrentItem(f.list->topLevelItem(0));
            QTest::keyClick(f.list, Qt::Key_Delete);
            f.addLine("Мёд", "300", "1");
            f.cancel->click();
        }));
        QCOMPARE(storedEntries(program.raw()), before);
        // Esc in the price box: the key filter lets Tab and Esc through.
        QVERIFY(driveExpenseDialog([&] { doubleClick(grid, grid->model()->index(0, 1)); },
                                   [&](ExpenseForm &f) {
                                       f.addLine("Мёд", "300", "1");
                                       f.price->setFocus();
                                       QTest::keyClick(f.price, Qt::Key_Tab);
                                       tabMoved = f.counts->hasFocus();
                                       QTest::keyClick(f.price, Qt::Key_Escape);
                                   }));
        QVERIFY(tabMoved);
        QCOMPARE(storedEntries(program.raw()), before);
        QCOMPARE(program.session().itemNames().stringList(), QStringList({"Сахар", "Чай", "Мёд"}));
        QCOMPARE(log.texts(), QStringList());
    }

    void aFailureHalfWayLeavesTheLedgerAsItWas()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordExpenseBatch(c, {expenseLine("Чай", 1250000, 20000, "Чек 5", todayIso())});
        });
        const QStringList before = storedEntries(program.raw());
        // The engine refuses the second line of any batch.
        program.session().connection().run(
            "CREATE TEMP TRIGGER fail_second BEFORE INSERT ON main.Rashod"
            " WHEN (SELECT count(*) FROM Rashod WHERE kod = NEW.kod) >= 1"
            " BEGIN SELECT RAISE(ABORT, 'вторая строка отвергнута'); END");
        QList<bool> stayedOpen;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            f.addLine("Один", "1", "1");
            f.addLine("Два", "2", "1");
            f.addLine("Три", "3", "1");
            f.ok->click();
            stayedOpen << (f.dialog->isVisible() && f.list->topLevelItemCount() == 3);
        }));
        QCOMPARE(storedEntries(program.raw()), before);
        QTableView *grid = program.journalGrid();
        QVERIFY(driveExpenseDialog([&] { QTest::keyClick(grid, Qt::Key_Enter); }, [&](ExpenseForm &f) {
            f.addLine("Два", "2", "1");
            f.ok->click();
            stayedOpen << (f.dialog->isVisible() && f.list->topLevelItemCount() == 2);
        }));
        QCOMPARE(stayedOpen, QList<bool>({true, true}));
        QCOMPARE(storedEntries(program.raw()), before);
        QCOMPARE(log.texts().size(), 2);
        QVERIFY(log.texts().at(0).contains("вторая строка отвергнута"));
        QCOMPARE(log.seen().at(1).icon, QMessageBox::Critical);
        QCOMPARE(program.panelText("Label12"), QStringLiteral("Расход: 250,00 руб."));

        // Without the fault the same edit goes through.
        program.session().connection().run("DROP TRIGGER fail_second");
        QVERIFY(driveExpenseDialog([&] { QTest::keyClick(grid, Qt::Key_Enter); }, [&](ExpenseForm &f) {
            f.addLine("Два", "2", "1");
            f.ok->click();
        }));
        QCOMPARE(program.raw().rows("SELECT names FROM Rashod ORDER BY id"), QStringList({"Чай", "Два"}));
        QCOMPARE(program.raw().rows("SELECT suma FROM List"), QStringList({"2520000"}));
    }

    void theItemNameListGrowsWithNewNamesOnly()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordExpenseBatch(c, {expenseLine("Хлеб", 10000, 10000, "", todayIso())});
        });
        QStringList offered;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            f.addLine("Кефир", "50", "1");
            // Picked from the drop-down.
            f.item->setCurrentIndex(f.item->findText("Хлеб"));
            f.retype(f.price, "30");
            f.add->click();
            for (int i = 0; i < f.item->count(); ++i)
                offered << f.item->itemText(i);
            offered << "|" + f.item->currentText();
            f.ok->click();
        }));
        QCOMPARE(offered, QStringList({"Хлеб", "Кефир", "|"}));
        // OK with the box empty adds no empty name; a name typed but not added is kept.
        QCOMPARE(program.session().itemNames().stringList(), QStringList({"Хлеб", "Кефир"}));
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            offered = QStringList{f.item->currentText(), QString::number(f.item->count())};
            type(f.item, "Творог");
            f.ok->click();
        }));
        QCOMPARE(offered, QStringList({"", "2"}));
        QCOMPARE(program.session().itemNames().stringList(), QStringList({"Хлеб", "Кефир", "Творог"}));
        // Opening the ledger again reads the names it holds, newest line first.
        program.window().LoadDB(program.path());
        QCOMPARE(program.session().itemNames().stringList(), QStringList({"Хлеб", "Кефир", "Хлеб"}));
        QCOMPARE(log.texts(), QStringList());
    }

    void deleteWorksInTheNumberFields()
    {
        MessageLog log;
        LedgerProgram program;
        QStringList texts;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            texts << deleteFirstDigit(f.price) << deleteFirstDigit(f.counts);
        }));
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) { texts << deleteFirstDigit(find<QLineEdit>(d, "Edit3")); }));
        QCOMPARE(texts, QStringList({"23", "23", "23"}));
        QCOMPARE(log.texts(), QStringList());
    }

    void anItemNameIsAddedAsTyped()
    {
        MessageLog log;
        LedgerProgram program([](const ledger::Connection &c) {
            ledger::recordExpenseBatch(c, {expenseLine("Хлеб", 300000, 10000, "", todayIso())});
        });
        QList<bool> popups;
        QStringList lines;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            // The suggestion list is open while Enter adds the line.
            f.item->setFocus();
            type(f.item, "хлеб");
            popups << suggesting(f.item);
            f.price->setText("40");
            f.item->setFocus();
            pressEnter(f.item);
            popups << suggesting(f.item);
            // The suggestion closed: Enter in the name box adds the line too.
            type(f.item, "ХЛЕБ");
            f.price->setText("50");
            f.item->setFocus();
            if (suggesting(f.item))
                suggestions()->hide();
            pressEnter(f.item);
            lines = f.lines();
            f.ok->click();
        }));
        QCOMPARE(popups, QList<bool>({true, false}));
        QCOMPARE(lines, QStringList({"1|хлеб|40|40|1||" + shortDateOf(todayIso()),
                                     "2|ХЛЕБ|50|50|1||" + shortDateOf(todayIso())}));
        QCOMPARE(program.raw().rows("SELECT names FROM Rashod ORDER BY id"), QStringList({"Хлеб", "хлеб", "ХЛЕБ"}));

        // A suggestion the user picks is taken.
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            f.item->setFocus();
            type(f.item, "хл");
            QVERIFY(suggesting(f.item));
            auto *list = qobject_cast<QAbstractItemView *>(suggestions());
            QVERIFY(list);
            QTest::keyClick(list, Qt::Key_Down);
            const QString picked = list->currentIndex().data().toString();
            QTest::keyClick(list, Qt::Key_Return);
            lines = QStringList({picked, f.item->currentText()});
        }));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith("хл", Qt::CaseInsensitive), qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), lines.at(0));
        QCOMPARE(log.texts(), QStringList());
    }

    void anIncomeTypeIsStoredAsTyped()
    {
        MessageLog log;
        LedgerProgram program;
        QList<bool> popups;
        const auto income = [&](const QString &typed, bool withSuggestions) {
            return driveIncomeDialog(program, [&](QDialog *d) {
                auto *box = find<QComboBox>(d, "ComboBox1");
                find<QLineEdit>(d, "Edit3")->setText("10");
                box->setFocus();
                type(box, typed);
                popups << suggesting(box);
                if (!withSuggestions && suggesting(box))
                    suggestions()->hide();
                pressEnter(box);
            });
        };
        QVERIFY(income("премия", true));
        QVERIFY(income("ЗАРПЛАТА", false));
        // Leaving the box with Tab, the list open, keeps the text too.
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            auto *box = find<QComboBox>(d, "ComboBox1");
            find<QLineEdit>(d, "Edit3")->setText("10");
            box->setFocus();
            type(box, "ПРЕМИЯ");
            popups << suggesting(box);
            QTest::keyClick(suggestions() ? suggestions() : box, Qt::Key_Tab);
            popups << suggesting(box);
            find<QPushButton>(d, "Button3")->click();
        }));
        QCOMPARE(popups, QList<bool>({true, true, true, false}));
        QCOMPARE(program.raw().rows("SELECT names FROM List ORDER BY id"),
                 QStringList({"Доход - премия", "Доход - ЗАРПЛАТА", "Доход - ПРЕМИЯ"}));
        QCOMPARE(program.raw().rows("SELECT names FROM Dohod ORDER BY id DESC LIMIT 3"),
                 QStringList({"ПРЕМИЯ", "ЗАРПЛАТА", "премия"}));
        QCOMPARE(log.texts(), QStringList());
    }

    void aDialogShownAgainKeepsWhatWasTyped()
    {
        MessageLog log;
        LedgerProgram program;
        QStringList kept;
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            f.addLine("Мёд", "300", "1");
            f.enter("Чай", "125", "2", "Чек 7");
            restore(f.dialog);
            kept << f.lines() << f.item->currentText() << f.price->text() << f.counts->text() << f.document->text();
            QTest::keyClick(f.counts, Qt::Key_Return);
            f.ok->click();
        }));
        QCOMPARE(kept, QStringList({"1|Мёд|300|300|1||" + shortDateOf(todayIso()), "Чай", "125", "2", "Чек 7"}));
        QCOMPARE(program.raw().rows("SELECT names, doc FROM Rashod ORDER BY id"), QStringList({"Мёд|", "Чай|Чек 7"}));
        // Opened anew, the dialog starts afresh.
        kept.clear();
        QVERIFY(driveExpenseDialog([&] { clickExpense(program); }, [&](ExpenseForm &f) {
            kept << f.lines() << f.item->currentText() << f.price->text() << f.counts->text() << f.document->text();
            f.cancel->click();
        }));
        QCOMPARE(kept, QStringList({"", "0", "1", ""}));

        // The income dialog the same way.
        kept.clear();
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            type(find<QComboBox>(d, "ComboBox1"), "Находка");
            find<QLineEdit>(d, "Edit3")->setText("75");
            type(find<QLineEdit>(d, "Edit1"), "в парке");
            restore(d);
            kept << find<QComboBox>(d, "ComboBox1")->currentText() << find<QLineEdit>(d, "Edit3")->text()
                 << find<QLineEdit>(d, "Edit1")->text();
            find<QPushButton>(d, "Button3")->click();
        }));
        QCOMPARE(kept, QStringList({"Находка", "75", "в парке"}));
        QCOMPARE(program.raw().rows("SELECT names, suma, comments FROM List WHERE names LIKE 'Доход%'"),
                 QStringList({"Доход - Находка|750000|в парке"}));
        kept.clear();
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            kept << find<QComboBox>(d, "ComboBox1")->currentText() << find<QLineEdit>(d, "Edit3")->text()
                 << find<QLineEdit>(d, "Edit1")->text();
            static_cast<QDialog *>(d)->reject();
        }));
        QCOMPARE(kept, QStringList({"", "0", ""}));
        QCOMPARE(log.texts(), QStringList());
    }

    void anIncomeFromTheListAddsNoType()
    {
        MessageLog log;
        LedgerProgram program;
        const int types = program.raw().value("SELECT count(*) FROM Dohod").toInt();
        QList<bool> states;
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            auto *typeBox = find<QComboBox>(d, "ComboBox1");
            auto *sum = find<QLineEdit>(d, "Edit3");
            auto *ok = find<QPushButton>(d, "Button3");
            states << ok->isEnabled() << (sum->text() == "0");
            typeBox->setCurrentIndex(typeBox->findText("Зарплата"));
            states << ok->isEnabled();
            sum->clear();
            type(sum, "1x0-0.");
            states << (sum->text() == "100") << ok->isEnabled();
            type(find<QLineEdit>(d, "Edit1"), "аванс");
            QTest::keyClick(sum, Qt::Key_Return);
        }));
        QCOMPARE(states, QList<bool>({false, true, false, true, true}));
        // A sum of 0,0 is an income too.
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            states = {find<QLineEdit>(d, "Edit1")->text().isEmpty(), find<QComboBox>(d, "ComboBox1")->currentText().isEmpty()};
            type(find<QComboBox>(d, "ComboBox1"), "Премия");
            find<QLineEdit>(d, "Edit3")->setText("0,0");
            states << find<QPushButton>(d, "Button3")->isEnabled();
            find<QPushButton>(d, "Button3")->click();
        }));
        QCOMPARE(states, QList<bool>({true, true, true}));
        QCOMPARE(program.raw().rows("SELECT names, suma, dates, comments, dohod FROM List ORDER BY id"),
                 QStringList({"Доход - Зарплата|1000000|" + todayIso() + "|аванс|NULL",
                              "Доход - Премия|0|" + todayIso() + "||NULL"}));
        QCOMPARE(program.raw().value("SELECT count(*) FROM Dohod").toInt(), types);
        QCOMPARE(program.panelText("Label11"), QStringLiteral("Доход: 100,00 руб."));
        QCOMPARE(program.panelText("Label1"), QStringLiteral("баланс: 100,00 руб."));
        QCOMPARE(program.journalGrid()->model()->rowCount(), 2);
        QCOMPARE(log.texts(), QStringList());
    }

    void aNewIncomeTypeIsAddedOnceAndOfferedAgain()
    {
        MessageLog log;
        LedgerProgram program;
        const QStringList templateTypes = program.session().incomeTypes().stringList();
        const auto income = [&](const QString &type, const QString &sum) {
            return driveIncomeDialog(program, [&](QDialog *d) {
                testing::type(find<QComboBox>(d, "ComboBox1"), type);
                find<QLineEdit>(d, "Edit3")->setText(sum);
                find<QPushButton>(d, "Button3")->click();
            });
        };
        QVERIFY(income("Подработка", "50"));
        QVERIFY(income("Подработка", "70"));
        // Another letter case or a trailing space is another type.
        QVERIFY(income("зарплата", "10"));
        QVERIFY(income("Зарплата ", "20"));
        QCOMPARE(program.raw().rows("SELECT names FROM Dohod WHERE id > 7 ORDER BY id"),
                 QStringList({"Подработка", "зарплата", "Зарплата "}));
        QCOMPARE(program.raw().value("SELECT count(*) FROM List").toInt(), 4);
        const QStringList expected = templateTypes + QStringList{"Подработка", "зарплата", "Зарплата "};
        QCOMPARE(program.session().incomeTypes().stringList(), expected);
        program.window().LoadDB(program.path());
        QCOMPARE(program.session().incomeTypes().stringList(), expected);
        QStringList offered;
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            auto *box = find<QComboBox>(d, "ComboBox1");
            for (int i = 0; i < box->count(); ++i)
                offered << box->itemText(i);
            static_cast<QDialog *>(d)->reject();
        }));
        QCOMPARE(offered, expected);
        QCOMPARE(log.texts(), QStringList());
    }

    void incomesThatCouldNotBeStoredWriteNothing()
    {
        MessageLog log;
        LedgerProgram program;
        const QStringList before = storedEntries(program.raw());
        const QStringList types = program.session().incomeTypes().stringList();
        struct Case
        {
            QString type, sum, comment, message;
        };
        const QList<Case> cases = {
            {"Находка", ",", "", "',' is not a valid floating point value."},
            {"Находка", "1,2,5", "", "'1,2,5' is not a valid floating point value."},
            {QString(93, QChar(0x044F)), "5", "", "93 символов, допускается не более 92"},
            {"Находка", "5", QString(256, 'k'), "255"},
        };
        QStringList failures;
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            for (const Case &c : cases) {
                log.clear();
                find<QComboBox>(d, "ComboBox1")->setEditText(c.type);
                find<QLineEdit>(d, "Edit3")->setText(c.sum);
                find<QLineEdit>(d, "Edit1")->setText(c.comment);
                find<QPushButton>(d, "Button3")->click();
                if (!(log.seen().size() == 1 && log.seen().first().icon == QMessageBox::Critical
                      && log.texts().first().contains(c.message) && d->isVisible()))
                    failures << c.sum + ": " + log.texts().join(';');
            }
            // Отмена after all that writes nothing either.
            find<QPushButton>(d, "Button2")->click();
        }));
        QCOMPARE(failures, QStringList());
        QCOMPARE(storedEntries(program.raw()), before);
        QCOMPARE(program.session().incomeTypes().stringList(), types);

        // The longest type that fits its prefixed name, and the longest comment.
        log.clear();
        QVERIFY(driveIncomeDialog(program, [&](QDialog *d) {
            find<QComboBox>(d, "ComboBox1")->setEditText(QString(92, QChar(0x044F)));
            find<QLineEdit>(d, "Edit3")->setText("5");
            find<QLineEdit>(d, "Edit1")->setText(QString(255, 'k'));
            find<QPushButton>(d, "Button3")->click();
        }));
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(program.raw().rows("SELECT length(names), length(comments) FROM List"), QStringList({"100|255"}));
        QCOMPARE(program.session().incomeTypes().stringList(), types + QStringList{QString(92, QChar(0x044F))});
    }
};

QTEST_MAIN(EntriesTest)
#include "test_entries.moc"
