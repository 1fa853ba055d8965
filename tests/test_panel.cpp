// The information panel through the main window: the figures, their colours, the rate lines
// fetched from a loopback server of the test's own, and the tooltips in dollars and euros.
#include "support/guisupport.h"
#include "support/pageserver.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/regional.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
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

    void ratesFromTheBankGiveTheTooltips()
    {
        PageServer server;
        server.respond = [](const QByteArray &) { return Reply{Reply::Answer, http(200, ratesPage("30,0", "40", "50,5"))}; };
        qputenv("VELTOR_RATES_URL", server.base().toUtf8());
        const QString path = ledgerWith(1200, 0);
        Program program(true);
        app::MainWindow &w = program.window();
        QCOMPARE(server.count(), 1);
        QCOMPARE(label(w, "Label5")->text(), QStringLiteral("Доллар: 30,0000"));
        QCOMPARE(label(w, "Label6")->text(), QStringLiteral("Евро: 40,0000"));
        QCOMPARE(label(w, "Label13")->text(), QStringLiteral("Фунт: 50,5000"));
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(на %1 г. по ЦБ)").arg(today));
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
        QVERIFY(w.findChildWindow(QStringLiteral("Журнал расхода/дохода")));
        QCOMPARE(label(w, "Label10")->text(), QStringLiteral("(данные не получены)"));
        auto *settings = find<QDialog>(&w, "TForm7");
        QCOMPARE(find<QLineEdit>(settings, "Edit1")->text(), QStringLiteral("тайна"));
        QCOMPARE(find<QLineEdit>(settings, "Edit3")->text(), QStringLiteral("Семья"));
        QCOMPARE(RawFile(path).value("SELECT count(*) FROM Valuta").toInt(),
                 RawFile(path).value("SELECT count(*) FROM Valuta WHERE dates <> date('now', 'localtime')").toInt());
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
};

QTEST_MAIN(PanelTest)
#include "test_panel.moc"
