// A user's first day with the program, each journey on an X server of its own.

#include "e2e/steps.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace e2e;

class Journeys : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_j = std::make_unique<Journey>();
        QVERIFY2(m_j->xRunning(), qPrintable(m_j->why()));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qInfo("the screen at the failure: %s", qPrintable(m_j->shot(QStringLiteral("failure"))));
        m_j.reset();
    }

    void firstStart()
    {
        Journey &j = *m_j;
        QVERIFY(!QFile::exists(j.ledger()));
        STEP(j, j.start());
        STEP(j, j.waitWindow(kCreate));
        j.shot(QStringLiteral("1-create-dialog"));
        STEP(j, typePasswordAndDescription(j, QStringLiteral("кот2026"), QStringLiteral("Наш дом")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kCreate));
        STEP(j, j.waitMainTitle(QStringLiteral("velTor - Наш дом")));
        j.shot(QStringLiteral("2-ledger-open"));

        // The file is where a ledger given without a folder lives, with the header typed,
        // the template's income types and the day's rates from the bank.
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, pas FROM VelTor"), QStringLiteral("Наш дом|кот2026")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Dohod WHERE names IN ('Зарплата', 'Премия')"),
                             QStringLiteral("2")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT dates, kurs1, kurs2, kurs3 FROM Valuta ORDER BY id DESC LIMIT 1"),
                             today() + QStringLiteral("|901234|987654|1154321")));
        QVERIFY(j.bankRequests() >= 1);
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List"), QStringLiteral("0")));
        // Creating a ledger does not choose the one opened at the next start.
        STEP(j, j.quit());
        QVERIFY2(!settingsText(j).contains(QLatin1String("db=")), qPrintable(settingsText(j)));
        QVERIFY2(settingsText(j).contains(QLatin1String("Width=740")), qPrintable(settingsText(j)));
    }

    void expenseBatch()
    {
        Journey &j = *m_j;
        STEP(j, createOnFirstStart(j, QString(), QStringLiteral("Семья")));
        STEP(j, openWindow(j, QStringLiteral("ctrl+r"), kExpense));
        // Item, Tab, price, Tab, quantity, Tab, document, Tab, date; Enter adds the line.
        // The document and the date stay for the next line of the same receipt.
        STEP(j, fillFields(j, {QStringLiteral("Хлеб"), QStringLiteral("45,5"), QStringLiteral("2"), QStringLiteral("чек 17")}));
        STEP(j, j.key(QStringLiteral("Tab Return")));
        STEP(j, fillFields(j, {QStringLiteral("Молоко"), QStringLiteral("89,9")}));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, fillFields(j, {QStringLiteral("Сыр"), QStringLiteral("450"), QStringLiteral("0,35")}));
        STEP(j, j.key(QStringLiteral("Return")));
        j.shot(QStringLiteral("1-three-lines"));
        // Nothing is written before OK.
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List"), QStringLiteral("0")));
        STEP(j, pressOk(j));
        STEP(j, j.waitGone(kExpense));

        const QString id = j.value(QStringLiteral("SELECT id FROM List"));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, suma, dates FROM List"),
                             QStringLiteral("Расход|3384000|") + today()));
        STEP(j, j.waitLedger(QStringLiteral("SELECT kod, names, price, counts, doc, dates FROM Rashod ORDER BY id"),
                             QStringList{id + QStringLiteral("|Хлеб|455000|20000|чек 17|") + today(),
                                         id + QStringLiteral("|Молоко|899000|10000|чек 17|") + today(),
                                         id + QStringLiteral("|Сыр|4500000|3500|чек 17|") + today()}
                                 .join(QLatin1Char('\n'))));
        j.shot(QStringLiteral("2-stored"));
    }

    void incomeWithNewType()
    {
        Journey &j = *m_j;
        STEP(j, createOnFirstStart(j, QString(), QStringLiteral("Семья")));
        STEP(j, openWindow(j, QStringLiteral("ctrl+d"), kIncome));
        // Type, Tab, sum, Tab, comment; Enter is OK.
        STEP(j, fillFields(j, {QStringLiteral("Подработка"), QStringLiteral("12500,75"), QStringLiteral("за выходные")}));
        j.shot(QStringLiteral("1-typed"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kIncome));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, suma, dates, comments FROM List"),
                             QStringLiteral("Доход - Подработка|125007500|") + today() + QStringLiteral("|за выходные")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Dohod WHERE names = 'Подработка'"), QStringLiteral("1")));

        // The same type once more is no new type; it survives the program's restart.
        STEP(j, j.quit());
        STEP(j, j.start());
        STEP(j, j.waitMainTitle(QStringLiteral("velTor - Семья")));
        STEP(j, openWindow(j, QStringLiteral("ctrl+d"), kIncome));
        STEP(j, fillFields(j, {QStringLiteral("Подработка"), QStringLiteral("500")}));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kIncome));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, suma FROM List ORDER BY id"),
                             QStringLiteral("Доход - Подработка|125007500\nДоход - Подработка|5000000")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Dohod WHERE names = 'Подработка'"), QStringLiteral("1")));
        j.shot(QStringLiteral("2-journal"));
    }

    void journalScrolling()
    {
        Journey &j = *m_j;
        STEP(j, startWithLedger(j, QStringLiteral("Журнал"), journalRows(3000)));
        j.shot(QStringLiteral("1-open"));
        // The journal opens on its first row with the keyboard in the grid. The current row is
        // read back by deleting it: the question names the row, Yes removes it from the ledger.
        int page = -1;
        STEP(j, rowOnePageDown(j, &page));
        QVERIFY2(page >= 5 && page < 100, qPrintable(QStringLiteral("one page down is row %1").arg(page)));

        STEP(j, j.key(QStringLiteral("ctrl+Home")));
        STEP(j, j.keyRepeat(QStringLiteral("Page_Down"), 4));
        STEP(j, j.key(QStringLiteral("Down Down Up")));
        j.shot(QStringLiteral("2-four-pages-down"));
        int row = -1;
        STEP(j, deleteCurrentRow(j, &row));
        QCOMPARE(row, 4 * page + 1);

        // The wheel moves the view, not the current row: a click then picks the row under the
        // pointer. Ten notches of three rows each move the same spot thirty rows down.
        int top = -1;
        STEP(j, deleteTopRowUnderPointer(j, &top));
        STEP(j, wheelFromTop(j, 10));
        j.shot(QStringLiteral("3-wheel"));
        STEP(j, deleteRowUnderPointer(j, &row));
        QCOMPARE(row, top + 30);
        // And back up by the wheel.
        STEP(j, wheelFromTop(j, 10));
        STEP(j, j.wheelInMain(kGridX, kGridY, -4));
        STEP(j, deleteRowUnderPointer(j, &row));
        QCOMPARE(row, top + 18);
    }

    void editAndDeleteBatch()
    {
        Journey &j = *m_j;
        // Three batches on three days (the newest first in the journal) and an income.
        STEP(j, startWithLedger(j, QStringLiteral("Покупки"), QStringLiteral(
            "INSERT INTO List (id, names, suma, dates, times) VALUES\n"
            " (1, 'Расход', 1500000, date('now', 'localtime', '-3 days'), '10:00:00'),\n"
            " (2, 'Расход', 3000000, date('now', 'localtime', '-2 days'), '10:00:00'),\n"
            " (3, 'Доход - Зарплата', 500000000, date('now', 'localtime', '-2 days'), '11:00:00'),\n"
            " (4, 'Расход', 700000, date('now', 'localtime', '-1 days'), '10:00:00');\n"
            "INSERT INTO Rashod (kod, names, price, counts, doc, dates) VALUES\n"
            " (1, 'Гвозди', 500000, 30000, 'чек 1', date('now', 'localtime', '-3 days')),\n"
            " (2, 'Краска', 1000000, 20000, 'чек 2', date('now', 'localtime', '-2 days')),\n"
            " (2, 'Кисть', 1000000, 10000, 'чек 2', date('now', 'localtime', '-2 days')),\n"
            " (4, 'Хлеб', 700000, 10000, '', date('now', 'localtime', '-1 days'));\n")));
        // Rows: 4 Хлеб, 3 the income, 2 Краска and Кисть, 1 Гвозди. Down to the second batch;
        // Enter opens it for editing with its two lines.
        STEP(j, j.key(QStringLiteral("Down Down Return")));
        STEP(j, j.waitWindow(kEdit));
        j.shot(QStringLiteral("1-edit-dialog"));
        // A third line (the dialog opens with an empty document box), then the first one
        // ("Краска") taken out in the line list.
        STEP(j, fillFields(j, {QStringLiteral("Валик"), QStringLiteral("250")}));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.key(QStringLiteral("Tab Tab Tab Tab Tab Down Up Delete")));
        j.shot(QStringLiteral("2-edited"));
        STEP(j, j.key(QStringLiteral("Tab space")));
        STEP(j, j.waitGone(kEdit));
        // The batch is replaced: a new journal row of the old date, its two lines.
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List WHERE id = 2"), QStringLiteral("0")));
        STEP(j, j.waitLedger(
                    QStringLiteral("SELECT l.names, l.suma, l.dates = date('now', 'localtime', '-2 days'), r.names, r.price,"
                                   " r.counts, r.doc FROM List l JOIN Rashod r ON r.kod = l.id WHERE l.id > 4 ORDER BY r.id"),
                    QStringLiteral("Расход|3500000|1|Кисть|1000000|10000|чек 2\nРасход|3500000|1|Валик|2500000|10000|")));

        // The journal stands on its first row again: Down Down Down to the oldest batch,
        // Delete, and Yes.
        STEP(j, j.key(QStringLiteral("ctrl+Home Down Down Down Delete")));
        STEP(j, j.waitMessageBox());
        j.shot(QStringLiteral("3-delete-question"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitMessageBoxGone());
        STEP(j, j.waitLedger(QStringLiteral("SELECT id FROM List ORDER BY id"), QStringLiteral("3\n4\n5")));
        // Its line went with it.
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Rashod WHERE names = 'Гвозди'"), QStringLiteral("0")));
        j.shot(QStringLiteral("4-deleted"));
    }

    void reportAndCharts()
    {
        Journey &j = *m_j;
        STEP(j, startWithLedger(j, QStringLiteral("Отчёты"), journalRows(400)));
        // Each window opens on top of the others inside the main window: the work area
        // changes each time, and no error box comes up.
        QList<QByteArray> screens = {j.grab(0, 130, 550, 380)};
        const QList<QPair<QString, QString>> windows = {{QStringLiteral("ctrl+t"), QStringLiteral("1-report")},
                                                        {QStringLiteral("ctrl+g"), QStringLiteral("2-income-expense")},
                                                        {QStringLiteral("ctrl+shift+g"), QStringLiteral("3-top")},
                                                        {QStringLiteral("ctrl+k"), QStringLiteral("4-rates")}};
        for (const auto &[keys, name] : windows) {
            STEP(j, j.key(keys));
            STEP(j, j.waitFor([&] { return !screens.contains(j.grab(0, 130, 550, 380)); },
                              QStringLiteral("a new window after ") + keys));
            STEP(j, j.settled());
            screens << j.grab(0, 130, 550, 380);
            j.shot(name);
            QVERIFY2(!j.messageBoxShown(), qPrintable(keys));
        }
        QVERIFY(j.running());
        STEP(j, j.quit());
    }

    void creditPayment()
    {
        Journey &j = *m_j;
        STEP(j, createOnFirstStart(j, QString(), QStringLiteral("Кредит")));
        // Amount (it holds "0"), Tab, term, Tab, yearly rate, Tab, commission; Enter computes.
        STEP(j, openCalculator(j));
        STEP(j, fillFields(j, {QStringLiteral("600"), QStringLiteral("12"), QStringLiteral("12"), QStringLiteral("1")}));
        STEP(j, j.key(QStringLiteral("Return")));
        j.shot(QStringLiteral("1-computed"));
        // Tab past "Вычислить" and the two results to "Добавить в расход"; Space books 56,56.
        STEP(j, bookPayment(j, QStringLiteral("Tab Tab Tab Tab space")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT l.names, l.suma, l.dates, r.names, r.price, r.counts, r.doc, r.dates"
                                            " FROM List l JOIN Rashod r ON r.kod = l.id"),
                             QStringLiteral("Расход|565600|%1|кредит|565600|10000|квитанция|%1").arg(today())));
        j.shot(QStringLiteral("2-booked"));
    }

    void settingsAndRestart()
    {
        Journey &j = *m_j;
        STEP(j, createOnFirstStart(j, QString(), QStringLiteral("VelTor")));
        const int asked = j.bankRequests();
        STEP(j, openWindow(j, QStringLiteral("ctrl+comma"), kSettings));
        // Ledger file, Tab "...", Tab password, Tab description, Tab the income highlight,
        // Tab the internet setting; Enter is OK.
        STEP(j, typePasswordAndDescription(j, QStringLiteral("тайна"), QStringLiteral("Дача")));
        STEP(j, j.key(QStringLiteral("Tab space Tab space")));
        j.shot(QStringLiteral("1-settings"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kSettings));
        STEP(j, j.waitLedger(QStringLiteral("SELECT names, pas FROM VelTor"), QStringLiteral("Дача|тайна")));
        // The caption follows at the next opening.
        QCOMPARE(j.mainTitle(), QStringLiteral("velTor - VelTor"));
        STEP(j, j.quit());
        const QString settings = settingsText(j);
        for (const char *line : {"db=vel.tor", "inet=0", "hint=0", "windowState=0"})
            QVERIFY2(settings.contains(QLatin1String(line)), qPrintable(settings));

        // Today's rates gone: with the internet setting off they are not fetched again.
        STEP(j, j.sqlWrite(QStringLiteral("DELETE FROM Valuta WHERE dates = date('now', 'localtime');")));
        STEP(j, j.start());
        STEP(j, j.waitWindow(kPassword));
        j.shot(QStringLiteral("2-password"));
        STEP(j, j.type(QStringLiteral("тайна")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kPassword));
        STEP(j, j.waitMainTitle(QStringLiteral("velTor - Дача")));
        j.shot(QStringLiteral("3-restarted"));
        QCOMPARE(j.bankRequests(), asked);
        STEP(j, j.quit());
    }

    // The day's compressed copy, written behind the window, brings back entries deleted
    // since, through the database button's menu.
    void restoreCopy()
    {
        Journey &j = *m_j;
        STEP(j, startWithLedger(j, QStringLiteral("Дом"), journalRows(3)));
        const QDir backups(j.appFolder() + QStringLiteral("/backups"));
        STEP(j, j.waitFor([&] { return backups.entryList({QStringLiteral("vel-*.tor.zst")}, QDir::Files).size() == 1; },
                          QStringLiteral("the day's compressed copy")));
        STEP(j, j.quit());
        STEP(j, j.sqlWrite(QStringLiteral("DELETE FROM Rashod; DELETE FROM List;")));
        STEP(j, j.start());
        STEP(j, j.waitMainTitle(QStringLiteral("velTor - Дом")));
        // The arrow of the database button opens its menu: create, open, restore.
        STEP(j, j.clickInMain(kDatabaseArrowX, kDatabaseArrowY));
        STEP(j, j.key(QStringLiteral("Down Down Down")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitWindow(QStringLiteral("Восстановление из копии")));
        // The list stands on the newest copy; Space chooses it.
        STEP(j, j.key(QStringLiteral("space")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitMessageBox());
        j.shot(QStringLiteral("4-question"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List"), QStringLiteral("3")));
        STEP(j, j.waitMainTitle(QStringLiteral("velTor - Дом")));
        j.shot(QStringLiteral("5-restored"));
        STEP(j, j.quit());
    }

private:
    static constexpr int kDatabaseArrowX = 37;
    static constexpr int kDatabaseArrowY = 108;
    std::unique_ptr<Journey> m_j;
};

QTEST_GUILESS_MAIN(Journeys)
#include "journeys.moc"
