// The credit calculator: flat-interest figures and their rounding, the dialog's fields and
// key filters, its errors, and booking the monthly payment as an expense.
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "ledger/database.h"
#include "ledger/error.h"
#include "tools/creditcalculator.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QCompleter>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <QFile>

#include <functional>

using namespace testing;

namespace {

QString errorOf(const std::function<void()> &body)
{
    try {
        body();
    } catch (const ledger::Error &e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

QLineEdit *edit(QWidget *dialog, const char *name)
{
    auto *found = find<QLineEdit>(dialog, QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

QPushButton *button(QWidget *dialog, const char *name)
{
    auto *found = find<QPushButton>(dialog, QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// Replaces a field's text by typing, as a user who selected it all would: the selection
// goes with the first key, so the field is never empty on the way.
void retype(QLineEdit *field, const QString &text)
{
    field->selectAll();
    type(field, text);
}

void enterTerms(QWidget *dialog, const QString &amount, const QString &months, const QString &rate,
                const QString &commission)
{
    retype(edit(dialog, "Edit1"), amount);
    retype(edit(dialog, "Edit2"), months);
    retype(edit(dialog, "Edit6"), rate);
    retype(edit(dialog, "Edit3"), commission);
}

QStringList results(QWidget *dialog)
{
    return {edit(dialog, "Edit4")->text(), edit(dialog, "Edit5")->text()};
}

// Opens the calculator through its menu item and runs `steps` on it; the dialog is closed
// afterwards unless the steps closed it, so a failing check never leaves it open.
bool withCalculator(app::MainWindow &window, const std::function<void(QDialog *)> &steps)
{
    bool shown = false;
    whenShown("TForm13", [&](QWidget *modal) {
        shown = true;
        auto *dialog = qobject_cast<QDialog *>(modal);
        steps(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    find<QAction>(&window, "N10")->trigger();
    return shown && !missedDialog();
}

// Books `payment`, typed over the monthly payment, through "Добавить в расход", and tells
// whether the calculator was still open afterwards.
bool bookPayment(app::MainWindow &window, const QString &payment, bool *stayedOpen)
{
    return withCalculator(window, [&](QDialog *dialog) {
        retype(edit(dialog, "Edit5"), payment);
        button(dialog, "Button2")->click();
        *stayedOpen = dialog->isVisible();
    });
}

QString labelText(QWidget *root, const char *name)
{
    auto *label = find<QLabel>(root, QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

// A key with the text the X keyboard gives it: "\x7f" for Delete, "\x1a" for Ctrl+Z.
void pressAsX(QWidget *field, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(field, &release);
}

void pressDelete(QWidget *field)
{
    pressAsX(field, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
}

// Enter where the keyboard is: in the suggestion list while it is open.
void pressEnter(QWidget *field)
{
    QWidget *popup = QApplication::activePopupWidget();
    QTest::keyClick(popup ? popup : field, Qt::Key_Return);
}

QString ledgerPath()
{
    return appFolder() + "vel.tor";
}

QString newLedgerInAppFolder()
{
    ledger::Connection::create(ledgerPath());
    return ledgerPath();
}

// The program started on a new ledger in the application folder, every message box it shows
// answered and kept in `log`.
struct OnNewLedger
{
    app::MainWindow &window() { return program.window(); }

    MessageLog log;
    QString path = newLedgerInAppFolder();
    Program program;
};

} // namespace

class CreditTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    // The figures alone, from the texts a user types.

    void figuresUseFlatInterestAndRoundTiesToEven_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("months");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("commission");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("monthly");
        // 33,3333... + 0,1666... is 33,49999...: to money first (33,5000), then 33,50.
        QTest::newRow("half a per cent") << "100" << "3" << "0" << "0,5" << "100,00" << "33,50";
        QTest::newRow("fractional rate") << "400" << "24" << "15,5" << "2" << "524,00" << "22,27";
        // 0,125 and 0,375 lie halfway: the even hundredth wins.
        QTest::newRow("tie goes down to even") << "1" << "8" << "0" << "0" << "1,00" << "0,12";
        QTest::newRow("tie goes up to even") << "3" << "8" << "0" << "0" << "3,00" << "0,38";
        // No compounding: 1000 at 24% for 5 years is 1000 + 1200.
        QTest::newRow("several years, simple interest") << "1000" << "60" << "24" << "0" << "2200,00" << "36,67";
    }

    void figuresUseFlatInterestAndRoundTiesToEven()
    {
        QFETCH(QString, amount);
        QFETCH(QString, months);
        QFETCH(QString, rate);
        QFETCH(QString, commission);
        const tools::LoanFigures figures = tools::computeLoan(tools::readLoanTerms(amount, months, rate, commission));
        QTEST(tools::figureText(figures.total), "total");
        QTEST(tools::figureText(figures.monthly), "monthly");
    }

    void figuresReportWhatCannotBeComputed()
    {
        const auto compute = [](const char *s, const char *n, const char *r, const char *c) {
            return errorOf([&] {
                const auto figures = tools::computeLoan(tools::readLoanTerms(s, n, r, c));
                tools::figureText(figures.total);
                tools::figureText(figures.monthly);
            });
        };
        QCOMPARE(compute("600", "0", "12", "0"), QStringLiteral("Floating point division by zero"));
        QCOMPARE(compute("0", "0", "12", "0"), QStringLiteral("Invalid floating point operation"));
        // The first bad text in the order amount, term, rate, commission is the one named.
        QCOMPARE(compute("1", "", "1,2,3", ""), QStringLiteral("'' is not a valid floating point value"));
        QCOMPARE(compute("1", "12", "1,2,3", ""), QStringLiteral("'1,2,3' is not a valid floating point value"));
        QCOMPARE(compute("1", "12", "0", ","), QStringLiteral("',' is not a valid floating point value"));
        // About 8,3e17 roubles: beyond what money holds.
        QCOMPARE(compute("9999999999", "99999", "99999", "0"), QStringLiteral("Invalid floating point operation"));
        QCOMPARE(errorOf([] { tools::figureText(922337203685477.0); }), QStringLiteral("<no error>"));
        QCOMPARE(errorOf([] { tools::figureText(922337203685478.0); }), QStringLiteral("Invalid floating point operation"));
    }

    // The dialog.

    void fieldsStartAsDescribedAndAdmitOnlyTheirKeys()
    {
        OnNewLedger started;
        QStringList initial;
        QStringList texts;
        const bool shown = withCalculator(started.window(), [&](QDialog *dialog) {
            initial << dialog->windowTitle();
            for (const char *name : {"Edit1", "Edit2", "Edit6", "Edit3", "Edit4", "Edit5"})
                initial << QStringLiteral("%1=%2").arg(edit(dialog, name)->text()).arg(edit(dialog, name)->maxLength());
            auto *loan = find<QComboBox>(dialog, "ComboBox1");
            QStringList items;
            for (int i = 0; i < loan->count(); ++i)
                items << loan->itemText(i);
            initial << loan->currentText() + ":" + items.join(',');
            initial << QStringLiteral("add %1, default %2").arg(button(dialog, "Button2")->isEnabled())
                           .arg(button(dialog, "Button3")->isDefault());

            for (const char *name : {"Edit1", "Edit2", "Edit6", "Edit3", "Edit5"}) {
                QLineEdit *field = edit(dialog, name);
                field->selectAll();
                type(field, "1a,2-. 3");
                QTest::keyClick(field, Qt::Key_Backspace);
                // Keys that type nothing still work.
                QTest::keyClick(field, Qt::Key_Home);
                QTest::keyClick(field, Qt::Key_Delete);
                texts << field->text();
            }
            // The length limits hold for typing.
            retype(edit(dialog, "Edit1"), "123456789012");
            retype(edit(dialog, "Edit3"), "1234567");
            texts << edit(dialog, "Edit1")->text() << edit(dialog, "Edit3")->text();
            // Tab belongs to the dialog, not to the filtered field.
            edit(dialog, "Edit6")->setFocus();
            QTest::keyClick(edit(dialog, "Edit6"), Qt::Key_Tab);
            texts << QApplication::focusWidget()->objectName();
        });
        QVERIFY(shown);
        QCOMPARE(initial, QStringList({" Кредитный калькулятор", "0=10", "12=5", "0=5", "0=4", "0=32767", "0=32767",
                                       "кредит:кредит,автокредит,ипотека", "add 0, default 1"}));
        QCOMPARE(texts, QStringList({"2", "2", ",2", ",2", ",2", "1234567890", "1234", "Edit3"}));
        QCOMPARE(started.log.texts(), QStringList());
    }

    void computingShowsBothFiguresAndSetsTheAddButton()
    {
        OnNewLedger started;
        app::MainWindow &window = started.window();
        QList<QStringList> seen;
        QList<bool> addEnabled;
        const bool shown = withCalculator(window, [&](QDialog *dialog) {
            auto *compute = button(dialog, "Button3");
            // The initial values: nothing to pay, nothing to add.
            compute->click();
            seen << results(dialog);
            addEnabled << button(dialog, "Button2")->isEnabled();
            const QList<QStringList> cases = {{"600", "12", "12", "0"},
                                              {"600", "12", "12", "1"},
                                              {"100", "3", "0", "0"},
                                              {"100", "3", "0", "0,5"},
                                              {"400", "24", "15,5", "2"}};
            for (const QStringList &terms : cases) {
                enterTerms(dialog, terms[0], terms[1], terms[2], terms[3]);
                compute->click();
                seen << results(dialog);
                addEnabled << button(dialog, "Button2")->isEnabled();
            }
            // Enter in a field presses "Вычислить".
            enterTerms(dialog, "600", "12", "12", "0");
            QTest::keyClick(edit(dialog, "Edit3"), Qt::Key_Return);
            seen << results(dialog);
            // Back to nothing borrowed: the button follows the payment down again.
            retype(edit(dialog, "Edit1"), "0");
            QTest::keyClick(edit(dialog, "Edit2"), Qt::Key_Enter);
            seen << results(dialog);
            addEnabled << button(dialog, "Button2")->isEnabled();
            // Esc hides the dialog.
            QTest::keyClick(edit(dialog, "Edit1"), Qt::Key_Escape);
        });
        QVERIFY(shown);
        QCOMPARE(seen, QList<QStringList>({{"0,00", "0,00"},
                                           {"672,00", "56,00"},
                                           {"672,00", "56,56"},
                                           {"100,00", "33,33"},
                                           {"100,00", "33,50"},
                                           {"524,00", "22,27"},
                                           {"672,00", "56,00"},
                                           {"0,00", "0,00"}}));
        QCOMPARE(addEnabled, QList<bool>({false, true, true, true, true, true, false}));
        QCOMPARE(started.log.texts(), QStringList());
        QVERIFY(!find<QDialog>(&window, "TForm13")->isVisible());
    }

    void errorsAreShownAndLeaveTheResultsAlone()
    {
        OnNewLedger started;
        QList<QStringList> seen;
        QList<bool> addEnabled;
        const bool shown = withCalculator(started.window(), [&](QDialog *dialog) {
            auto *compute = button(dialog, "Button3");
            enterTerms(dialog, "600", "12", "12", "0");
            compute->click();
            const auto attempt = [&](const QString &amount, const QString &months, const QString &rate,
                                     const QString &commission) {
                enterTerms(dialog, amount, months, rate, commission);
                compute->click();
                seen << results(dialog);
            };
            attempt("600", "0", "12", "0");
            attempt("0", "0", "12", "0");
            attempt("9999999999", "99999", "99999", "0");
            // An emptied field is not a number.
            enterTerms(dialog, "600", "12", "12", "0");
            edit(dialog, "Edit6")->clear();
            compute->click();
            seen << results(dialog);
            // Two commas pass the filter but not the conversion; the amount is reported first.
            retype(edit(dialog, "Edit6"), "1,,5");
            edit(dialog, "Edit1")->clear();
            compute->click();
            seen << results(dialog);

            // Emptying the payment by Backspace reports the empty text; the button keeps its state.
            QLineEdit *payment = edit(dialog, "Edit5");
            payment->end(false);
            for (int i = payment->text().size(); i > 0; --i)
                QTest::keyClick(payment, Qt::Key_Backspace);
            addEnabled << button(dialog, "Button2")->isEnabled();
            type(payment, ",");
            addEnabled << button(dialog, "Button2")->isEnabled();
            type(payment, "0");
            addEnabled << button(dialog, "Button2")->isEnabled();
        });
        QVERIFY(shown);
        const QStringList unchanged = {"672,00", "56,00"};
        QCOMPARE(seen, QList<QStringList>({unchanged, unchanged, unchanged, unchanged, unchanged}));
        QCOMPARE(started.log.texts(), QStringList({"Floating point division by zero.",
                                                   "Invalid floating point operation.",
                                                   "Invalid floating point operation.",
                                                   "'' is not a valid floating point value.",
                                                   "'' is not a valid floating point value.",
                                                   // "56,0", "56,", "56", "5" are numbers; "" is not.
                                                   "'' is not a valid floating point value.",
                                                   "',' is not a valid floating point value."}));
        for (const auto &request : started.log.seen())
            QCOMPARE(request.icon, QMessageBox::Critical);
        QCOMPARE(addEnabled, QList<bool>({true, true, false}));
    }

    void thePaymentIsBookedAsAnExpenseOfToday()
    {
        OnNewLedger started;
        app::MainWindow &window = started.window();
        QVERIFY(window.session().isOpen());

        bool enabledAtOnce = false;
        bool closed = false;
        QVERIFY(withCalculator(window, [&](QDialog *dialog) {
            retype(edit(dialog, "Edit5"), "500");
            enabledAtOnce = button(dialog, "Button2")->isEnabled();
            QTest::mouseClick(button(dialog, "Button2"), Qt::LeftButton);
            closed = !dialog->isVisible();
        }));
        QVERIFY(enabledAtOnce);
        QVERIFY(closed);
        QCOMPARE(started.log.texts(), QStringList());

        RawFile raw(ledgerPath());
        QCOMPARE(raw.rows("SELECT names, suma, dates, dohod, comments, length(times) FROM List"),
                 QStringList({"Расход|5000000|" + todayIso() + "|NULL|NULL|8"}));
        const QString id = raw.value("SELECT id FROM List").toString();
        QCOMPARE(raw.rows("SELECT kod, names, price, counts, doc, dates FROM Rashod"),
                 QStringList({id + "|кредит|5000000|10000|квитанция|" + todayIso()}));
        // The panel and the journal follow; the name is offered to the expense dialog.
        QCOMPARE(labelText(&window, "Label12"), QStringLiteral("Расход: 500,00 руб."));
        QCOMPARE(labelText(&window, "Label1"), QStringLiteral("баланс: -500,00 руб."));
        QCOMPARE(window.session().journal().rowCount(), 1);
        QVERIFY(window.session().itemNames().stringList().contains("кредит"));

        // Shown again: everything as it was left, and a name of the user's own is written as typed.
        QStringList kept;
        bool stillEnabled = false;
        QVERIFY(withCalculator(window, [&](QDialog *dialog) {
            kept = QStringList({edit(dialog, "Edit1")->text(), edit(dialog, "Edit2")->text(), results(dialog).join('/')});
            stillEnabled = button(dialog, "Button2")->isEnabled();
            auto *loan = find<QComboBox>(dialog, "ComboBox1");
            loan->lineEdit()->selectAll();
            type(loan->lineEdit(), "Заём у соседа");
            button(dialog, "Button2")->click();
        }));
        QCOMPARE(kept, QStringList({"0", "12", "0/500"}));
        QVERIFY(stillEnabled);
        QCOMPARE(raw.rows("SELECT names, price FROM Rashod ORDER BY id"),
                 QStringList({"кредит|5000000", "Заём у соседа|5000000"}));
        QCOMPARE(labelText(&window, "Label12"), QStringLiteral("Расход: 1000,00 руб."));

        // A computed payment is booked as shown, and the inputs stay for the next showing.
        QVERIFY(withCalculator(window, [&](QDialog *dialog) {
            enterTerms(dialog, "400", "24", "15,5", "2");
            button(dialog, "Button3")->click();
            find<QComboBox>(dialog, "ComboBox1")->setCurrentIndex(2);
            button(dialog, "Button2")->click();
        }));
        QCOMPARE(raw.rows("SELECT names, price FROM Rashod ORDER BY id DESC LIMIT 1"), QStringList({"ипотека|222700"}));
        QVERIFY(withCalculator(window, [&](QDialog *dialog) {
            kept = QStringList({edit(dialog, "Edit1")->text(), edit(dialog, "Edit2")->text(),
                                edit(dialog, "Edit6")->text(), edit(dialog, "Edit3")->text(), results(dialog).join('/'),
                                find<QComboBox>(dialog, "ComboBox1")->currentText()});
        }));
        QCOMPARE(kept, QStringList({"400", "24", "15,5", "2", "524,00/22,27", "ипотека"}));
        QCOMPARE(started.log.texts(), QStringList());
    }

    void aFailedBookingLeavesNoJournalRow()
    {
        OnNewLedger started;
        app::MainWindow &window = started.window();
        QVERIFY(window.session().isOpen());
        window.session().connection().run(
            "CREATE TEMP TRIGGER refuseLines BEFORE INSERT ON main.Rashod BEGIN SELECT RAISE(ABORT, 'диск полон'); END");

        bool stayedOpen = false;
        QVERIFY(bookPayment(window, "500", &stayedOpen));
        QVERIFY(stayedOpen);
        QCOMPARE(started.log.texts().size(), 1);
        QVERIFY2(started.log.texts().first().contains("диск полон"), qPrintable(started.log.texts().first()));
        RawFile raw(ledgerPath());
        QCOMPARE(raw.value("SELECT count(*) FROM List").toInt(), 0);
        QCOMPARE(raw.value("SELECT count(*) FROM Rashod").toInt(), 0);
        QCOMPARE(labelText(&window, "Label12"), QStringLiteral("Расход: 0,00 руб."));

        // Once the disk is free again the same payment goes through whole.
        window.session().connection().run("DROP TRIGGER temp.refuseLines");
        started.log.clear();
        QVERIFY(withCalculator(window, [&](QDialog *dialog) { button(dialog, "Button2")->click(); }));
        QCOMPARE(started.log.texts(), QStringList());
        QCOMPARE(raw.rows("SELECT List.suma, Rashod.price FROM List JOIN Rashod ON Rashod.kod = List.id"),
                 QStringList({"5000000|5000000"}));
    }

    void keysThatTypeNoCharacterWorkInEveryField()
    {
        OnNewLedger started;
        QStringList texts;
        QVERIFY(withCalculator(started.window(), [&](QDialog *dialog) {
            for (const char *name : {"Edit1", "Edit2", "Edit6", "Edit3", "Edit5"}) {
                QLineEdit *field = edit(dialog, name);
                field->setText("123");
                field->setCursorPosition(1);
                pressDelete(field);
                // Undo and select-all type control characters; they act as in any field.
                pressAsX(field, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
                pressAsX(field, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
                const bool all = field->selectedText() == field->text();
                field->setCursorPosition(0);
                pressDelete(field);
                texts << field->text() + (all ? "" : " (not selected)");
            }
        }));
        QCOMPARE(texts, QStringList({"23", "23", "23", "23", "23"}));
        QCOMPARE(started.log.texts(), QStringList());
    }

    void aLoanNameIsBookedAsTyped()
    {
        OnNewLedger started;
        app::MainWindow &window = started.window();
        QTRY_VERIFY(window.session().isOpen());
        QStringList seen;
        QVERIFY(withCalculator(window, [&](QDialog *dialog) {
            auto *loan = find<QComboBox>(dialog, "ComboBox1");
            loan->setFocus();
            loan->lineEdit()->selectAll();
            // Suggestions show; Enter (the calculator's "Вычислить") leaves the name alone.
            type(loan, "ИПО");
            seen << loan->currentText();
            pressEnter(loan);
            type(loan, "ТЕКА");
            seen << loan->currentText();
            pressEnter(loan);
            seen << loan->currentText();
            retype(edit(dialog, "Edit5"), "100");
            button(dialog, "Button2")->click();
        }));
        QCOMPARE(seen, QStringList({"ИПО", "ИПОТЕКА", "ИПОТЕКА"}));
        RawFile raw(ledgerPath());
        QCOMPARE(raw.rows("SELECT names FROM Rashod"), QStringList({"ИПОТЕКА"}));
        QCOMPARE(started.log.texts(), QStringList());
    }

    void aFailedRefreshAfterBookingClosesTheDialog()
    {
        OnNewLedger started;
        app::MainWindow &window = started.window();
        QTRY_VERIFY(window.session().isOpen());
        // The booking goes through; reading the journal again afterwards fails.
        window.session().connection().run("DROP VIEW ListZ");
        bool stayedOpen = true;
        QVERIFY(bookPayment(window, "500", &stayedOpen));
        QVERIFY(!stayedOpen);
        QCOMPARE(started.log.texts().size(), 1);
        QVERIFY2(started.log.texts().first().contains("ListZ"), qPrintable(started.log.texts().first()));
        RawFile raw(ledgerPath());
        QCOMPARE(raw.rows("SELECT suma FROM List"), QStringList({"5000000"}));
        QCOMPARE(raw.rows("SELECT names, price FROM Rashod"), QStringList({"кредит|5000000"}));
    }

    void withoutALedgerNothingIsBooked()
    {
        MessageLog log;
        // The first start offers to create a ledger; the user declines.
        whenShown("TForm10", [](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); });
        Program program;
        QVERIFY(!program.window().session().isOpen());
        QStringList seen;
        bool stayedOpen = false;
        QVERIFY(withCalculator(program.window(), [&](QDialog *dialog) {
            enterTerms(dialog, "600", "12", "12", "0");
            button(dialog, "Button3")->click();
            seen = results(dialog);
            button(dialog, "Button2")->click();
            stayedOpen = dialog->isVisible();
        }));
        QCOMPARE(seen, QStringList({"672,00", "56,00"}));
        QVERIFY(stayedOpen);
        QCOMPARE(log.texts(), QStringList({"База данных не открыта."}));
        QVERIFY(!QFile::exists(ledgerPath()));
    }
};

QTEST_MAIN(CreditTest)
#include "test_credit.moc"
