// Faults seen when a person used the program under X, each shown the way it was seen.

#include "e2e/steps.h"

#include <QTest>

#include <memory>

using namespace e2e;

class Faults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (m_j && QTest::currentTestFailed())
            qInfo("the screen at the failure: %s", qPrintable(m_j->shot(QStringLiteral("failure"))));
        m_j.reset();
    }

    // Past the first rows the grid fetched, the journal must not jump back to the top:
    // Page Down, the wheel and Ctrl+End leave the current row where the user put it.
    void journalKeepsItsPlace()
    {
        Journey &j = journey();
        STEP(j, j.xRunning());
        STEP(j, startWithLedger(j, QStringLiteral("Журнал"), journalRows(3000)));

        // How far one page goes, then enough pages to pass several blocks of fetched rows.
        int page = -1;
        STEP(j, rowOnePageDown(j, &page));
        QVERIFY2(page >= 5 && page < 100, qPrintable(QStringLiteral("one page down is row %1").arg(page)));
        const int pages = 900 / page + 1;
        STEP(j, j.key(QStringLiteral("ctrl+Home")));
        STEP(j, j.keyRepeat(QStringLiteral("Page_Down"), pages));
        j.shot(QStringLiteral("1-paged-down"));
        int row = -1;
        STEP(j, deleteCurrentRow(j, &row));
        QVERIFY2(row >= pages * (page - 1) && row <= pages * (page + 1),
                 qPrintable(QStringLiteral("%1 pages of %2 rows down, the current row is %3").arg(pages).arg(page).arg(row)));

        // The wheel moves the view, not the current row: the row chosen before stays current
        // while the grid fetches the rows the wheel brings into view.
        STEP(j, j.key(QStringLiteral("ctrl+Home Down Down Down")));
        STEP(j, j.wheelInMain(kGridX, kGridY, 200));
        j.shot(QStringLiteral("2-wheeled-current"));
        STEP(j, deleteCurrentRow(j, &row));
        QCOMPARE(row, 3);

        // A click picks the row under the pointer: 200 notches of three rows move that spot
        // 600 rows down. The grid fetches more rows when the view reaches the last one it
        // holds; the notch that reached it stops there, so at each of the two block edges
        // passed up to a notch's rows stay behind.
        int top = -1;
        STEP(j, deleteTopRowUnderPointer(j, &top));
        STEP(j, wheelFromTop(j, 200));
        j.shot(QStringLiteral("3-wheeled"));
        STEP(j, deleteRowUnderPointer(j, &row));
        QVERIFY2(row >= top + 600 - 2 * 3 && row <= top + 600,
                 qPrintable(QStringLiteral("200 notches down from row %1 the pointer is on row %2").arg(top).arg(row)));

        // Ctrl+End: the last row, the oldest entry.
        STEP(j, j.key(QStringLiteral("ctrl+End")));
        j.shot(QStringLiteral("4-end"));
        const int last = j.value(QStringLiteral("SELECT count(*) FROM List")).toInt() - 1;
        STEP(j, deleteCurrentRow(j, &row));
        QCOMPARE(row, last);
    }

    // Delete works in the number fields as in any text field.
    void deleteKeyInNumberFields()
    {
        Journey &j = journey();
        STEP(j, j.xRunning());
        STEP(j, createOnFirstStart(j, QString(), QStringLiteral("Семья")));

        // The expense dialog's price and quantity: 1234 with its first digit deleted, 25 too.
        STEP(j, openWindow(j, QStringLiteral("ctrl+r"), kExpense));
        STEP(j, fillFields(j, {QStringLiteral("Хлеб"), QStringLiteral("1234")}));
        STEP(j, j.key(QStringLiteral("Home Delete Tab")));
        STEP(j, j.type(QStringLiteral("25")));
        STEP(j, j.key(QStringLiteral("Home Delete Return")));
        j.shot(QStringLiteral("1-expense"));
        STEP(j, pressOk(j));
        STEP(j, j.waitGone(kExpense));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, price, counts FROM Rashod"), QStringLiteral("Хлеб|2340000|50000")));

        // The income's sum: 15000 becomes 5000.
        STEP(j, openWindow(j, QStringLiteral("ctrl+d"), kIncome));
        STEP(j, fillFields(j, {QStringLiteral("Гонорар"), QStringLiteral("15000")}));
        STEP(j, j.key(QStringLiteral("Home Delete Return")));
        STEP(j, j.waitGone(kIncome));
        STEP(j, j.waitLedger(QStringLiteral("SELECT suma FROM List WHERE names LIKE 'Доход%'"), QStringLiteral("50000000")));

        // The credit calculator: amount 16000 -> 6000, term 120 -> 20, rate 12 -> 2,
        // commission 15 -> 5 give a monthly payment of 325,50; its comma deleted, 32550 is
        // booked.
        STEP(j, openCalculator(j));
        for (const char *typed : {"16000", "120", "12", "15"}) {
            STEP(j, j.type(QLatin1String(typed)));
            STEP(j, j.key(QStringLiteral("Home Delete Tab")));
        }
        STEP(j, j.key(QStringLiteral("shift+Tab Return")));
        j.shot(QStringLiteral("2-credit-computed"));
        STEP(j, j.key(QStringLiteral("Tab Tab Tab End Left Left Left Delete")));
        j.shot(QStringLiteral("3-credit-payment"));
        STEP(j, bookPayment(j, QStringLiteral("Tab space")));
        STEP(j, waitNewestLine(j, QStringLiteral("кредит|325500000")));
    }

    // What the user typed is stored as typed, even where a listed name differs only in
    // letter case; Enter with the suggestion list open still adds the line.
    void typedNamesKeepTheirCase()
    {
        Journey &j = journey();
        STEP(j, j.xRunning());
        STEP(j, createOnFirstStart(j, QString(), QStringLiteral("Семья")));

        // "Премия" is one of the template's income types.
        STEP(j, openWindow(j, QStringLiteral("ctrl+d"), kIncome));
        STEP(j, j.type(QStringLiteral("премия")));
        j.shot(QStringLiteral("1-income-suggestion"));
        STEP(j, j.key(QStringLiteral("Tab")));
        STEP(j, j.type(QStringLiteral("100")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kIncome));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names FROM List"), QStringLiteral("Доход - премия")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Dohod WHERE names = 'премия'"), QStringLiteral("1")));

        // "Молоко" listed from a first batch; then "молоко" typed with its price already in,
        // and Enter while the suggestion list shows.
        STEP(j, openWindow(j, QStringLiteral("ctrl+r"), kExpense));
        STEP(j, fillFields(j, {QStringLiteral("Молоко"), QStringLiteral("80")}));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, pressOk(j));
        STEP(j, j.waitGone(kExpense));
        STEP(j, openWindow(j, QStringLiteral("ctrl+r"), kExpense));
        STEP(j, j.key(QStringLiteral("Tab")));
        STEP(j, j.type(QStringLiteral("85")));
        STEP(j, j.key(QStringLiteral("shift+Tab")));
        STEP(j, j.type(QStringLiteral("молоко")));
        j.shot(QStringLiteral("2-expense-suggestion"));
        STEP(j, j.key(QStringLiteral("Return")));
        j.shot(QStringLiteral("3-expense-line"));
        STEP(j, pressOk(j));
        STEP(j, j.waitGone(kExpense));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, price FROM Rashod ORDER BY id"),
                             QStringLiteral("Молоко|800000\nмолоко|850000")));

        // The loan name: "Ипотека" typed where "ипотека" is listed.
        STEP(j, openCalculator(j));
        STEP(j, j.type(QStringLiteral("1200")));
        STEP(j, j.key(QStringLiteral("Return Tab Tab Tab Tab Tab Tab Tab Tab ctrl+a")));
        STEP(j, j.type(QStringLiteral("Ипотека")));
        j.shot(QStringLiteral("4-loan-name"));
        STEP(j, bookPayment(j, QStringLiteral("shift+Tab space")));
        STEP(j, waitNewestLine(j, QStringLiteral("Ипотека|1000000")));
    }

    // First start while the bank's page holds no rates: the ledger is created with the
    // password and the description typed, it opens, and the failure shows afterwards.
    void noRatesKeepsTheNewHeader()
    {
        Journey &j = journey(BankPages::NoRates);
        STEP(j, j.xRunning());
        STEP(j, j.start());
        STEP(j, j.waitWindow(kCreate));
        STEP(j, typePasswordAndDescription(j, QStringLiteral("ключ"), QStringLiteral("Дом")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitMessageBox());
        j.shot(QStringLiteral("1-rate-failure"));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, pas FROM VelTor"), QStringLiteral("Дом|ключ")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitMessageBoxGone());
        STEP(j, j.waitMainTitle(QStringLiteral("velTor - Дом")));
        QVERIFY2(!j.windowShown(kCreate), "the create-ledger dialog is still open");
        QVERIFY(!j.messageBoxShown());
        QVERIFY(j.bankRequests() >= 1);
        j.shot(QStringLiteral("2-open"));
    }

    // The standard buttons speak Russian: "Да" and "Нет", whose underlined letters answer
    // the question from the keyboard.
    void russianButtons()
    {
        Journey &j = journey();
        STEP(j, j.xRunning());
        STEP(j, startWithLedger(j, QStringLiteral("Кнопки"), journalRows(8)));
        // A Russian keyboard alone: with a Latin layout beside it, Qt reads Alt and a Cyrillic
        // letter as Alt and the Latin letter of the same key, and no Cyrillic underlined
        // letter can be reached.
        STEP(j, j.keyboard(QStringLiteral("ru")));
        STEP(j, j.key(QStringLiteral("Delete")));
        STEP(j, j.waitMessageBox());
        j.shot(QStringLiteral("1-question"));
        // Alt+Н: "Нет".
        STEP(j, j.key(QStringLiteral("alt+Cyrillic_en")));
        STEP(j, j.waitMessageBoxGone());
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List"), QStringLiteral("8")));
        // Alt+Д: "Да".
        STEP(j, j.key(QStringLiteral("Delete")));
        STEP(j, j.waitMessageBox());
        STEP(j, j.key(QStringLiteral("alt+Cyrillic_de")));
        STEP(j, j.waitMessageBoxGone());
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List WHERE id = 8"), QStringLiteral("0")));
    }

private:
    // Each fault's world of its own, its bank serving `pages`.
    Journey &journey(BankPages pages = BankPages::Rates)
    {
        m_j = std::make_unique<Journey>(pages);
        return *m_j;
    }

    std::unique_ptr<Journey> m_j;
};

QTEST_GUILESS_MAIN(Faults)
#include "faults.moc"
