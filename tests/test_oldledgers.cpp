// Ledgers of the earlier (Jet 4.0) format opened through the main window: asked about,
// converted and opened, or left alone.
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "widgets/guard.h"
#include "app/mainwindow.h"
#include "ledger/bookkeeping.h"
#include "ledger/regional.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace testing;

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(VELTOR_TEST_DATA "/jet/") + QLatin1String(name);
}

QString placeAsStartUpLedger(const char *name)
{
    const QString path = appFolder() + "vel.tor";
    QFile::copy(fixture(name), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QString question(const QString &path, const QString &backup)
{
    return QStringLiteral("Файл «%1» сохранён в прежнем формате. Преобразовать его в новый формат? "
                          "Прежний файл останется рядом под именем «%2».")
        .arg(path, backup);
}

} // namespace

class OldLedgersTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void aFamilyLedgerIsConvertedAndOpened()
    {
        const QString path = placeAsStartUpLedger("jet-family.tor");
        const QByteArray original = fileBytes(path);
        MessageLog log;
        Program program;
        app::MainWindow &w = program.window();
        QCOMPARE(log.texts().size(), 2);
        QCOMPARE(log.texts().at(0), question(path, "vel.jet"));
        QCOMPARE(log.seen().at(0).icon, QMessageBox::Question);
        QVERIFY(log.texts().at(1).contains("vel.jet"));
        QCOMPARE(fileBytes(appFolder() + "vel.jet"), original);

        QVERIFY(w.session().isOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor - Семья Ивановых"));
        // The journal as the earlier program kept it, newest first.
        ledger::Dataset &journal = w.session().journal();
        QCOMPARE(journal.count(), 6);
        QCOMPARE(journal.valueAt(0, "names").toString(), QStringLiteral("Доход - Подработка «вечер»"));
        QCOMPARE(journal.valueAt(0, "dates").toDate(), QDate(2010, 12, 31));
        const ledger::Totals totals = ledger::readTotals(w.session().connection());
        QCOMPARE(totals.income, ledger::Money::fromTicks(300000000 + 12345678));
        QCOMPARE(find<QLabel>(&w, "Label1")->text(),
                 QStringLiteral("баланс: %1 руб.").arg(regional::amountText(totals.balance())));
        QVERIFY(w.session().itemNames().stringList().contains("хлеб"));
        QVERIFY(w.session().incomeTypes().stringList().contains("Зарплата"));

        // A second conversion of another earlier file keeps both backups.
        const QString again = appFolder() + "vel2.tor";
        QFile::copy(fixture("jet-extremes.tor"), again);
        QFile::setPermissions(again, QFile::ReadOwner | QFile::WriteOwner);
        QFile::copy(fixture("jet-locked.tor"), appFolder() + "vel2.jet");
        log.clear();
        ui::guard(&w, [&] { w.LoadDB(again); });
        QCOMPARE(log.texts().at(0), question(again, "vel2.1.jet"));
        QVERIFY(QFile::exists(appFolder() + "vel2.jet") && QFile::exists(appFolder() + "vel2.1.jet"));
        QCOMPARE(w.session().connection().path(), again);
    }

    void aLockedLedgerAsksForItsOwnPassword()
    {
        placeAsStartUpLedger("jet-locked.tor");
        MessageLog log;
        bool asked = false;
        whenShown("TForm9", [&](QWidget *prompt) {
            asked = true;
            type(find<QLineEdit>(prompt, "Edit1"), "Пароль1");
            QTest::keyClick(find<QLineEdit>(prompt, "Edit1"), Qt::Key_Return);
        });
        Program program;
        QVERIFY(asked);
        QVERIFY(program.window().session().isOpen());
        QCOMPARE(program.window().windowTitle(), QStringLiteral("velTor - Личный"));
    }

    void declinedOrDamagedFilesAreLeftAlone()
    {
        const QString path = placeAsStartUpLedger("jet-family.tor");
        const QByteArray original = fileBytes(path);
        MessageLog log;
        log.answer(QMessageBox::No);
        Program program;
        app::MainWindow &w = program.window();
        QCOMPARE(log.texts(), QStringList({question(path, "vel.jet")}));
        QVERIFY(!w.session().isOpen());
        QCOMPARE(fileBytes(path), original);
        QCOMPARE(QDir(appFolder()).entryList(QDir::Files), QStringList({"vel.tor"}));

        // Cut short: refused with a message naming the file; nothing renamed or created.
        QVERIFY(writeFile(path, original.left(original.size() / 2)));
        log.clear();
        ui::guard(&w, [&] { w.LoadDB(path); });
        QCOMPARE(log.texts().size(), 2);
        QCOMPARE(log.seen().at(1).icon, QMessageBox::Critical);
        QVERIFY2(log.texts().at(1).contains(path), qPrintable(log.texts().at(1)));
        QCOMPARE(QDir(appFolder()).entryList(QDir::Files | QDir::Hidden), QStringList({"vel.tor"}));
        QVERIFY(!w.session().isOpen());
    }
};

QTEST_MAIN(OldLedgersTest)
#include "test_oldledgers.moc"
