// The information panel through the main window: the figures, their colours, the rate lines
// fetched from a loopback server of the test's own, and the tooltips in dollars and euros.
#include "support/guisupport.h"
#include "support/pageserver.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "widgets/guard.h"
#include "app/settingsstore.h"
#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/regional.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace testing;
using ledger::Money;

namespace {

Money rub(qint64 units) { return Money::fromUnits(units); }

QLabel *label(app::MainWindow &w, const char *name)
{
    return find<QLabel>(&w, QLatin1String(name));
}

// The application folder's vel.tor with an income and an expense batch of today.
QString ledgerWith(qint64 income, qint64 expense)
{
    const QString path = appFolder() + "vel.tor";
    ledger::Connection::create(path);
    auto c = ledger::Connection::open(path);
    if (income)
        ledger::recordIncome(*c, "Зарплата", rub(income), "", false);
    if (expense)
        ledger::recordExpenseBatch(*c, {{"покупка", rub(expense), rub(1), "", QDate::currentDate()}});
    return path;
}

const QString today = regional::shortDate(QDate::currentDate());

} // namespace

class PanelTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void balanceTakesItsColourFromItsSign()
    {
        ledgerWith(100, 180);
        Program program;
        app::MainWindow &w = program.window();
        QCOMPARE(label(w, "Label1")->text(), QStringLiteral("баланс: -80,00 руб."));
        QCOMPARE(label(w, "Label1")->palette().color(QPalette::WindowText), QColor(128, 0, 0));
        QCOMPARE(label(w, "Label11")->text(), QStringLiteral("Доход: 100,00 руб."));
        QCOMPARE(label(w, "Label12")->text(), QStringLiteral("Расход: 180,00 руб."));
        // Rates never fetched: no tooltips, the rate lines as they were.
        QVERIFY(label(w, "Label1")->toolTip().isEmpty());
        QCOMPARE(label(w, "Label5")->text(), QStringLiteral("Доллар: 0,00 руб."));
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(данные не получены)"));

        ledger::recordIncome(w.session().connection(), "Премия", rub(1080), "", false);
        w.session().entriesChanged();
        QCOMPARE(label(w, "Label1")->text(), QStringLiteral("баланс: 1000,00 руб."));
        QCOMPARE(label(w, "Label1")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    }

    void longAmountsStayWholeAndTheirTooltipsHoldThem()
    {
        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        {
            auto c = ledger::Connection::open(path);
            ledger::recordIncome(*c, "Зарплата", Money::fromTicks(4868847518680400), "", false);
            ledger::recordExpenseBatch(*c, {{"дом", Money::fromTicks(2934423759340200), rub(1), "", QDate::currentDate()}});
        }
        Program program;
        app::MainWindow &w = program.window();
        const QStringList texts = {"баланс: 193442375934,02 руб.", "Доход: 486884751868,04 руб.",
                                   "Расход: 293442375934,02 руб."};
        const char *names[] = {"Label1", "Label11", "Label12"};
        for (int i = 0; i < 3; ++i) {
            QLabel *l = label(w, names[i]);
            QCOMPARE(l->text(), texts.at(i));
            // Every character of the text is drawn inside the label, and the label inside
            // the panel.
            QTRY_VERIFY(l->isVisible() && l->width() > 0);
            const QRect room = l->contentsRect();
            const QRect needed = l->fontMetrics().boundingRect(room, int(l->alignment()) | Qt::TextWordWrap, l->text());
            QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
                     qPrintable(QString("%1: %2x%3 in %4x%5").arg(names[i]).arg(needed.width()).arg(needed.height())
                                    .arg(room.width()).arg(room.height())));
            QVERIFY2(l->parentWidget()->contentsRect().contains(l->geometry()), names[i]);
            QVERIFY2(l->toolTip().contains(texts.at(i).section(' ', 1, 1)), qPrintable(l->toolTip()));
        }
        // A short amount keeps its plain tooltip (none while no rate is held).
        ledger::deleteEntry(w.session().connection(), 1);
        w.session().entriesChanged();
        QCOMPARE(label(w, "Label11")->text(), QStringLiteral("Доход: 0,00 руб."));
        QVERIFY(label(w, "Label11")->toolTip().isEmpty());
    }

    void ratesFromTheBankGiveTheTooltips()
    {
        // The bank as it answers today: the XML service, no page.
        PageServer server;
        server.respond = [](const QByteArray &request) {
            if (!request.startsWith("GET " + kXmlPath))
                return Reply{Reply::Answer, http(404, "")};
            return Reply{Reply::Answer, http(200, toWindows1251(dailyXml(usualValutes("30,0", "40", "50,5"))),
                                             "application/xml")};
        };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const QString path = ledgerWith(1200, 0);
        Program program(true);
        app::MainWindow &w = program.window();
        QCOMPARE(server.count(), 1);
        QCOMPARE(label(w, "Label5")->text(), QStringLiteral("Доллар: 30,0000"));
        QCOMPARE(label(w, "Label6")->text(), QStringLiteral("Евро: 40,0000"));
        QCOMPARE(label(w, "Label13")->text(), QStringLiteral("Фунт: 50,5000"));
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(на %1 г. по ЦБ)").arg(today));
        QVERIFY(!find<QLabel>(&w, "RatesStatus")->isVisible());
        QCOMPARE(label(w, "Label1")->toolTip(), QStringLiteral("$40,00\n€30,00"));
        QCOMPARE(label(w, "Label11")->toolTip(), QStringLiteral("$40,00\n€30,00"));
        QCOMPARE(label(w, "Label12")->toolTip(), QStringLiteral("$0,00\n€0,00"));
        QVERIFY(label(w, "Label1")->statusTip().isEmpty());
        QCOMPARE(RawFile(path).rows("SELECT valuta1, kurs1, valuta2, kurs2, valuta3, kurs3 FROM Kurs LIMIT 1"),
                 QStringList({"Доллар США|300000|Евро|400000|Фунт|505000"}));

        // A click on "Курсы валют:" the same day reads the stored row: no request.
        QTest::mouseClick(find<QWidget>(&w, "Label4"), Qt::LeftButton);
        QCOMPARE(server.count(), 1);
        QCOMPARE(label(w, "Label5")->text(), QStringLiteral("Доллар: 30,0000"));
        // Opening another ledger while rates are held asks for none.
        const QString other = appFolder() + "other.tor";
        ledger::Connection::create(other);
        w.LoadDB(other);
        QCOMPARE(server.count(), 1);
        qunsetenv("VELTOR_RATES_URL");
    }

    void anUnreadablePageIsReportedOnceTheLedgerIsOpen()
    {
        PageServer server;
        server.respond = [](const QByteArray &) {
            return Reply{Reply::Answer, http(200, ratesPage("30,0", "40", "50", false))};
        };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        ledgerWith(10, 0);
        MessageLog log;
        Program program(true);
        app::MainWindow &w = program.window();
        QCOMPARE(log.texts().size(), 1);
        QVERIFY2(log.texts().first().endsWith("is not a valid floating point value."), qPrintable(log.texts().first()));
        QCOMPARE(log.seen().first().icon, QMessageBox::Critical);
        // The ledger is open all the same; the rates stay as they were.
        QVERIFY(w.session().isOpen());
        QVERIFY(find<QToolButton>(&w, "ToolButton4")->isEnabled());
        QCOMPARE(label(w, "Label5")->text(), QStringLiteral("Доллар: 0,00 руб."));
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor"));
        qunsetenv("VELTOR_RATES_URL");
    }

    void aFirstStartWithoutRatesStillCreatesTheLedgerAsTyped()
    {
        // The bank answers, but its page holds no rates.
        PageServer server;
        server.respond = [](const QByteArray &) {
            return Reply{Reply::Answer, http(200, "<html><body>Курсы не установлены</body></html>")};
        };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("VELTOR_RATES_URL"); });
        const QString path = appFolder() + "vel.tor";

        // What stands when the error box comes up.
        struct Box
        {
            QString text;
            QString modal;
            QStringList header;
        };
        QList<Box> boxes;
        ui::setMessageHandler([&](const ui::MessageRequest &request) {
            QWidget *modal = QApplication::activeModalWidget();
            boxes << Box{request.text, modal ? modal->objectName() : QString(),
                         RawFile(path).rows("SELECT names, pas FROM VelTor")};
            return QMessageBox::Ok;
        });
        const auto noHandler = qScopeGuard([] { ui::setMessageHandler({}); });

        bool stayedOpen = false;
        whenShown("TForm10", [&](QWidget *dialog) {
            find<QLineEdit>(dialog, "Edit1")->setText("тайна");
            find<QLineEdit>(dialog, "Edit3")->setText("Семья");
            QTest::mouseClick(find<QPushButton>(dialog, "Button3"), Qt::LeftButton);
            stayedOpen = dialog->isVisible();
            if (stayedOpen)
                static_cast<QDialog *>(dialog)->reject();
        });
        Program program(true, false);
        app::MainWindow &w = program.window();
        QVERIFY(!missedDialog());
        QVERIFY(!stayedOpen);
        QTRY_COMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("'' is not a valid floating point value."));
        // The box comes once the ledger is open with its header, the create dialog gone.
        QCOMPARE(boxes[0].modal, QString());
        QCOMPARE(boxes[0].header, QStringList({"Семья|тайна"}));
        QVERIFY(w.session().isOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor - Семья"));
        QVERIFY(find<QToolButton>(&w, "ToolButton4")->isEnabled());
        QVERIFY(w.findChildWindow(app::ChildKind::Journal));
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(данные не получены)"));
        auto *settings = find<QDialog>(&w, "TForm7");
        QCOMPARE(find<QLineEdit>(settings, "Edit1")->text(), QStringLiteral("тайна"));
        QCOMPARE(find<QLineEdit>(settings, "Edit3")->text(), QStringLiteral("Семья"));
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM Valuta").toInt(),
                 RawFile(path).value("SELECT count(*) FROM Valuta WHERE dates <> date('now', 'localtime')").toInt());
    }

    void aFailedFetchIsShownOncePerOpening()
    {
        // The XML service lacks the pound, the page holds no rates.
        QList<Valute> noPound = usualValutes();
        noPound.removeAt(1);
        PageServer server;
        server.respond = [&noPound](const QByteArray &request) {
            if (request.startsWith("GET " + kXmlPath))
                return Reply{Reply::Answer, http(200, toWindows1251(dailyXml(noPound)), "application/xml")};
            return Reply{Reply::Answer, http(200, "<html><body>Нет данных</body></html>")};
        };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("VELTOR_RATES_URL"); });
        const QString path = ledgerWith(100, 0);
        MessageLog log;
        Program program(true);
        app::MainWindow &w = program.window();
        QCOMPARE(log.texts(), QStringList({"'' is not a valid floating point value."}));
        QCOMPARE(server.count(), 2);
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(данные не получены)"));

        // Recording entries refreshes the panel without asking the bank again.
        // (An entry dialog refreshes through the guard, as here.)
        for (int i = 0; i < 3; ++i) {
            ledger::recordIncome(w.session().connection(), "Премия", rub(10), "", false);
            ui::guard(&w, [&] { w.session().entriesChanged(); });
        }
        QCOMPARE(label(w, "Label11")->text(), QStringLiteral("Доход: 130,00 руб."));
        QCOMPARE(server.count(), 2);
        QCOMPARE(log.texts().size(), 1);
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM Valuta WHERE dates = date('now', 'localtime')").toInt(), 0);

        // Asking with "Курсы валют:" does ask, and says why nothing came.
        QTest::mouseClick(find<QWidget>(&w, "Label4"), Qt::LeftButton);
        QVERIFY(waitUntil([&w] { return !w.rates().isUpdating(); }));
        QCOMPARE(server.count(), 4);
        QCOMPARE(log.texts().size(), 2);

        // Opening a ledger again asks once more, and once only; the panel shows its figures
        // all the same.
        const QString other = appFolder() + "other.tor";
        ledger::Connection::create(other);
        ledger::recordIncome(*ledger::Connection::open(other), "Зарплата", rub(500), "", false);
        ui::guard(&w, [&] { w.LoadDB(other); });
        QVERIFY(waitUntil([&w] { return !w.rates().isUpdating(); }));
        QCOMPARE(label(w, "Label11")->text(), QStringLiteral("Доход: 500,00 руб."));
        QCOMPARE(label(w, "Label1")->text(), QStringLiteral("баланс: 500,00 руб."));
        QCOMPARE(server.count(), 6);
        QCOMPARE(log.texts().size(), 3);
        ui::guard(&w, [&] { w.session().entriesChanged(); });
        QCOMPARE(server.count(), 6);
        QCOMPARE(log.texts().size(), 3);
    }

    void theInternetSettingOffChangesNothing()
    {
        PageServer server;
        server.respond = [](const QByteArray &) { return Reply{Reply::Answer, http(200, ratesPage("30,0", "40", "50"))}; };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const QString path = ledgerWith(100, 0);
        ledger::storeRates(*ledger::Connection::open(path), rub(90), rub(100), rub(110));
        Program program(false);
        app::MainWindow &w = program.window();
        QTest::mouseClick(find<QWidget>(&w, "Label4"), Qt::LeftButton);
        QCOMPARE(server.count(), 0);
        QCOMPARE(label(w, "Label5")->text(), QStringLiteral("Доллар: 0,00 руб."));
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(данные не получены)"));
        QVERIFY(label(w, "Label1")->toolTip().isEmpty());
        qunsetenv("VELTOR_RATES_URL");
    }

    void theWindowWorksWhileTheRatesAreFetched()
    {
        ledgerWith(10, 20);
        PageServer server;
        server.respond = [](const QByteArray &) { return Reply{Reply::Hang, {}}; };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("VELTOR_RATES_URL"); });
        app::SettingsStore store;
        app::MainWindow w(store);
        w.show();
        // While the bank holds the first request the journal shows its rows and takes keys, and
        // the status bar says what is awaited.
        const auto grid = [&w] { return w.findChild<QTableView *>("Tov"); };
        QVERIFY(waitUntil([&] { return server.count() == 1 && grid() && grid()->model()->rowCount() == 2; }));
        grid()->setCurrentIndex(grid()->model()->index(0, 0));
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->currentIndex().row(), 1);
        QVERIFY(find<QLabel>(&w, "RatesStatus")->isVisible());
        w.close();
        QVERIFY(!w.rates().isUpdating());
    }

    void closingTheWindowEndsAHangingDownload()
    {
        // As the program runs: the window, the event loop, and the end of the loop when the
        // last window closes. The bank accepts the connection and never answers.
        ledgerWith(10, 0);
        app::SettingsStore store; // the internet setting on, as by default
        MessageLog log;
        std::unique_ptr<app::MainWindow> window = std::make_unique<app::MainWindow>(store);
        PageServer server;
        server.respond = [&window](const QByteArray &) {
            // The user closes the window while the first request waits.
            QTimer::singleShot(0, window.get(), &QWidget::close);
            return Reply{Reply::Hang, {}};
        };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("VELTOR_RATES_URL"); });

        // A failure bound only: should the loop never end, it is ended here.
        bool overdue = false;
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, [&overdue] {
            overdue = true;
            QCoreApplication::exit(1);
        });
        bound.start(120'000);
        QElapsedTimer clock;
        clock.start();
        window->show();
        const int code = QApplication::exec();
        const qint64 took = clock.elapsed();
        QVERIFY(!overdue);
        QCOMPARE(code, 0);
        // Five attempts of 20 s each without the cancel; a generous bound with it.
        QVERIFY2(took < 30'000, qPrintable(QString::number(took)));
        QCOMPARE(server.count(), 1);
        QVERIFY(!window->rates().isUpdating());
        QCOMPARE(log.texts(), QStringList());
        window.reset();
    }
};

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
