// The application shell: start-up, opening and creating ledgers, the password prompt, the
// information panel, the settings dialog and the About window.
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "widgets/dialogs.h"
#include "app/aboutwindow.h"
#include "app/mainwindow.h"
#include "app/qttranslation.h"
#include "app/settingsstore.h"
#include "ledger/bookkeeping.h"
#include "ledger/database.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShowEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

using namespace testing;

namespace {

const QStringList kLedgerButtons = {"ToolButton2", "ToolButton3", "ToolButton4", "ToolButton5", "ToolButton9"};

QStringList enabledLedgerButtons(QWidget *window)
{
    QStringList enabled;
    for (const QString &name : kLedgerButtons) {
        auto *button = find<QToolButton>(window, name);
        if (!button)
            qFatal("no %s", qPrintable(name));
        if (button->isEnabled())
            enabled << name;
    }
    return enabled;
}

QString labelText(QWidget *window, const char *name)
{
    auto *label = find<QLabel>(window, QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QString connectionMessage(const QString &path)
{
    return QStringList({"Программе не удалось подключиться к базе данных:", path, "", "Возможные причины неисправности:",
                        "1) Испорчен или отсутсвует файл базы данных.",
                        "2) Файл не является базой данных velTor или повреждён."})
        .join('\n');
}

QString ledgerWithPassword(const QString &path, const QString &password, const QString &description = QString())
{
    ledger::Connection::create(path);
    ledger::writeHeader(*ledger::Connection::open(path), description, password);
    return path;
}

QString storedValue(const QString &name)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tovrak", "velTor");
    return settings.value(name, "<none>").toString();
}

void setStored(const QString &name, const QString &value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tovrak", "velTor");
    settings.setValue(name, value);
    settings.sync();
}

// The release date line for a file's modification time, written out by hand from the C
// library's local time, not through the program's own formatting.
QString releaseDateOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("<no %1>").arg(path);
    struct tm local {};
    localtime_r(&info.st_mtime, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    return QStringLiteral("Дата выпуска: %1 г.").arg(QLatin1String(text));
}

} // namespace

class ShellTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        resetUserState();
    }

    void firstStartOffersToCreateTheLedger()
    {
        MessageLog log;
        QStringList enabledWhileAsked;
        bool prefilled = false;
        whenShown("TForm10", [&](QWidget *dialog) {
            enabledWhileAsked = enabledLedgerButtons(dialog->parentWidget());
            prefilled = find<QLineEdit>(dialog, "Edit2")->text() == "vel.tor"
                        && find<QLineEdit>(dialog, "Edit3")->text() == "VelTor"
                        && find<QLineEdit>(dialog, "Edit1")->text().isEmpty()
                        && find<QPushButton>(dialog, "Button3")->isEnabled();
            QTest::mouseClick(find<QPushButton>(dialog, "Button3"), Qt::LeftButton);
        });
        Program program(false, false);
        QVERIFY(QFile::exists(appFolder() + "vel.tor"));
        QVERIFY(!missedDialog());
        QVERIFY(prefilled);
        QCOMPARE(enabledWhileAsked, QStringList());
        QWidget *w = &program.window();
        QCOMPARE(enabledLedgerButtons(w), kLedgerButtons);
        QVERIFY(find<QWidget>(w, "PanelStatus")->isVisible());
        QCOMPARE(labelText(w, "Label1"), QStringLiteral("баланс: 0,00 руб."));
        QCOMPARE(labelText(w, "Label11"), QStringLiteral("Доход: 0,00 руб."));
        QCOMPARE(labelText(w, "Label12"), QStringLiteral("Расход: 0,00 руб."));
        QCOMPARE(find<QLabel>(w, "Label1")->palette().color(QPalette::WindowText),
                 w->palette().color(QPalette::WindowText));
        QCOMPARE(w->windowTitle(), QStringLiteral("velTor - VelTor"));
        QCOMPARE(RawFile(appFolder() + "vel.tor").rows("SELECT names, pas FROM VelTor"), QStringList({"VelTor|"}));
        QCOMPARE(log.texts(), QStringList());
        // Creating does not choose the ledger of the next start.
        QCOMPARE(storedValue("db"), QStringLiteral("<none>"));
    }

    void cancellingTheFirstStartLeavesNoLedger()
    {
        MessageLog log;
        whenShown("TForm10", [](QWidget *dialog) { QTest::mouseClick(find<QPushButton>(dialog, "Button2"), Qt::LeftButton); });
        Program program(false, false);
        QVERIFY(!missedDialog());
        QCOMPARE(enabledLedgerButtons(&program.window()), QStringList());
        QVERIFY(!QFile::exists(appFolder() + "vel.tor"));
        QVERIFY(!find<QWidget>(&program.window(), "PanelStatus")->isVisible());
        QCOMPARE(program.window().windowTitle(), QStringLiteral("VelTor"));
    }

    void aPromptShownAgainKeepsTheTypedPassword()
    {
        MessageLog log;
        const QString path = ledgerWithPassword(appFolder() + "vel.tor", "Секрет", "Дом");
        QStringList kept;
        whenShown("TForm9", [&](QWidget *prompt) {
            auto *field = find<QLineEdit>(prompt, "Edit1");
            type(field, "Секрет");
            // What the window system sends a prompt restored after being minimized.
            QShowEvent restored;
            QApplication::sendEvent(prompt, &restored);
            kept << field->text();
            QTest::keyClick(field, Qt::Key_Return);
            if (prompt->isVisible())
                QTest::mouseClick(find<QPushButton>(prompt, "Button2"), Qt::LeftButton);
        });
        Program program;
        QTRY_VERIFY(program.window().session().isOpen());
        // Asked again, the prompt starts empty.
        whenShown("TForm9", [&](QWidget *prompt) {
            kept << find<QLineEdit>(prompt, "Edit1")->text();
            type(find<QLineEdit>(prompt, "Edit1"), "Секрет");
            QTest::keyClick(find<QLineEdit>(prompt, "Edit1"), Qt::Key_Return);
        });
        program.window().LoadDB(path);
        QVERIFY(program.window().session().isOpen());
        QCOMPARE(kept, QStringList({"Секрет", ""}));
        QCOMPARE(log.texts(), QStringList());
    }

    void aPasswordIsAskedAndARefusalClosesTheLedger()
    {
        MessageLog log;
        const QString path = ledgerWithPassword(appFolder() + "vel.tor", "Секрет", "Дом");
        QList<bool> enterStates;
        whenShown("TForm9", [&](QWidget *prompt) {
            auto *field = find<QLineEdit>(prompt, "Edit1");
            auto *enter = find<QPushButton>(prompt, "Button1");
            enterStates << enter->isEnabled();
            type(field, "секрет");
            enterStates << enter->isEnabled();
            field->clear();
            type(field, "Секрет");
            enterStates << enter->isEnabled();
            QTest::keyClick(field, Qt::Key_Backspace);
            enterStates << enter->isEnabled();
            QTest::mouseClick(find<QPushButton>(prompt, "Button2"), Qt::LeftButton);
        });
        Program program;
        QVERIFY(!missedDialog());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(enterStates, QList<bool>({false, false, true, false}));
        app::MainWindow &w = program.window();
        QVERIFY(!w.session().isOpen());
        QCOMPARE(enabledLedgerButtons(&w), QStringList());
        QVERIFY(!find<QWidget>(&w, "PanelStatus")->isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("VelTor"));
        QCOMPARE(log.texts(), QStringList());

        // No command reaches the refused ledger: the report, the panel and its links.
        find<QToolButton>(&w, "ToolButton18")->click();
        find<QToolButton>(&w, "ToolButton10")->click();
        QVERIFY(find<QWidget>(&w, "PanelStatus")->isVisible());
        for (const char *link : {"Link1", "Link2", "Image1"})
            QTest::mouseClick(find<QWidget>(&w, link), Qt::LeftButton);
        QCOMPARE(w.mdiArea()->subWindowList().size(), 0);
        // The settings dialog's OK cannot write into it either.
        auto *settings = find<QDialog>(&w, "TForm7");
        find<QLineEdit>(settings, "Edit1")->setText("чужой");
        find<QLineEdit>(settings, "Edit3")->setText("чужое");
        find<QLineEdit>(settings, "Edit2")->setText("vel.tor");
        find<QPushButton>(settings, "Button3")->click();
        QCOMPARE(RawFile(path).rows("SELECT names, pas FROM VelTor"), QStringList({"Дом|Секрет"}));
        QCOMPARE(log.texts(), QStringList());

        // The exact password opens it.
        whenShown("TForm9", [](QWidget *prompt) {
            type(find<QLineEdit>(prompt, "Edit1"), "Секрет");
            QTest::keyClick(find<QLineEdit>(prompt, "Edit1"), Qt::Key_Return);
        });
        w.LoadDB(path);
        QVERIFY(!missedDialog());
        QVERIFY(w.session().isOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor - Дом"));

        // Another ledger without a password opens at once, with no prompt.
        const QString other = appFolder() + "other.tor";
        ledger::Connection::create(other);
        ModalWatch watch;
        w.LoadDB(other);
        QCOMPARE(watch.seen(), QStringList());
        QVERIFY(w.session().isOpen());
        QCOMPARE(w.session().connection().path(), other);
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor"));
        QCOMPARE(find<QLineEdit>(settings, "Edit2")->text(), QStringLiteral("other.tor"));
    }

    void filesThatAreNoLedgersGiveTheConnectionMessage()
    {
        MessageLog log;
        Workspace ws;
        const QString ledgerPath = ws.newLedger("good.tor");
        Program program;
        app::MainWindow &w = program.window();
        w.LoadDB(ledgerPath);
        QVERIFY(w.session().isOpen());
        const QString caption = w.windowTitle();

        QVERIFY(writeFile(ws.path("letter.tor"), "Дорогой друг!\n"));
        // The path exactly as it was passed, odd parts and all.
        const QString foreignPath = ws.path("sub/../letter.tor");
        const QString missingPath = ws.path("nothing here.tor");
        w.LoadDB(foreignPath);
        w.LoadDB(missingPath);
        QCOMPARE(log.texts(), QStringList({connectionMessage(foreignPath), connectionMessage(missingPath)}));
        QCOMPARE(log.seen().first().icon, QMessageBox::Warning);
        QVERIFY(!w.session().isOpen());
        QCOMPARE(enabledLedgerButtons(&w), QStringList());
        QVERIFY(!find<QWidget>(&w, "PanelStatus")->isVisible());
        QCOMPARE(w.windowTitle(), caption);
        QVERIFY(!QFile::exists(missingPath));
    }

    void newDbRefusesAnExistingFileAndKeepsTheNewHeader()
    {
        MessageLog log;
        Workspace ws;
        const QString existing = ws.path("taken.tor");
        QVERIFY(writeFile(existing, "занято"));

        Program program;
        app::MainWindow &w = program.window();
        bool stayedOpen = false;
        whenShown("TForm10", [&](QWidget *dialog) {
            find<QLineEdit>(dialog, "Edit2")->setText(existing);
            find<QPushButton>(dialog, "Button3")->click();
            stayedOpen = dialog->isVisible();
            // A new name then works, with a password and a description.
            find<QLineEdit>(dialog, "Edit2")->setText(ws.path("new.tor"));
            find<QLineEdit>(dialog, "Edit1")->setText("пароль");
            find<QLineEdit>(dialog, "Edit3")->setText("Новая");
            find<QPushButton>(dialog, "Button3")->click();
        });
        find<QAction>(&w, "N1")->trigger();
        QVERIFY(!missedDialog());
        QVERIFY(stayedOpen);
        QCOMPARE(log.texts().size(), 1);
        QVERIFY(log.texts().first().contains(existing));
        QCOMPARE(log.seen().first().icon, QMessageBox::Critical);
        QCOMPARE(testing::fileBytes(existing), QByteArray("занято"));

        QVERIFY(w.session().isOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor - Новая"));
        // The settings dialog holds the new values, so its OK keeps them.
        auto *settings = find<QDialog>(&w, "TForm7");
        QCOMPARE(find<QLineEdit>(settings, "Edit1")->text(), QStringLiteral("пароль"));
        QCOMPARE(find<QLineEdit>(settings, "Edit3")->text(), QStringLiteral("Новая"));
        find<QPushButton>(settings, "Button3")->click();
        QCOMPARE(RawFile(ws.path("new.tor")).rows("SELECT names, pas FROM VelTor"), QStringList({"Новая|пароль"}));
    }

    void itemNamesStepPastEmptyNames()
    {
        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        const auto line = [](const QString &name) {
            return ledger::ExpenseLine{name, ledger::Money::fromUnits(1), ledger::Money::fromUnits(1), "",
                                       QDate::currentDate()};
        };
        ledger::recordExpenseBatch(*ledger::Connection::open(path), {line("хлеб"), line(""), line("молоко"), line("")});
        Program program; // the first start opens vel.tor of the application folder
        QVERIFY(program.window().session().isOpen());
        QCOMPARE(program.window().session().itemNames().stringList(), QStringList({"молоко", "хлеб"}));
        QCOMPARE(program.window().session().incomeTypes().stringList(),
                 QStringList({"Зарплата", "Премия", "Гонорар", "Выигрыш", "Вернули долг", "Проценты банка"}));

        QVector<ledger::ExpenseLine> many;
        for (int i = 0; i < 1100; ++i)
            many.append(line(QStringLiteral("n%1").arg(i)));
        ledger::recordExpenseBatch(*ledger::Connection::open(path), many);
        program.window().LoadDB(path);
        const QStringList names = program.window().session().itemNames().stringList();
        QCOMPARE(names.size(), 1000);
        QCOMPARE(names.first(), QStringLiteral("n1099"));
        QCOMPARE(names.last(), QStringLiteral("n100"));
    }

    void theWindowKeepsItsSizeAndState()
    {
        setStored("windowState", "1");
        setStored("Width", "900");
        {
                Program program;
            QVERIFY(program.window().windowState() & Qt::WindowMaximized);
            program.window().close();
            QCOMPARE(storedValue("windowState"), QStringLiteral("1"));
        }
        setStored("windowState", "0");
        setStored("Width", "abc");
        setStored("Height", "600");
        {
                Program program;
            QCOMPARE(program.window().size(), QSize(740, 600));
            program.window().resize(800, 520);
            program.window().close();
            QCOMPARE(storedValue("Width"), QStringLiteral("800"));
            QCOMPARE(storedValue("Height"), QStringLiteral("520"));
            QCOMPARE(storedValue("windowState"), QStringLiteral("0"));
        }
        setStored("Width", "100");
        setStored("Height", "100");
        {
                Program program;
            QVERIFY(program.window().width() >= 412 && program.window().height() >= 500);
        }
    }

    void settingsStoreReadsDefaultsAndNumbers()
    {
        app::SettingsStore store;
        QCOMPARE(store.ledgerPath(), QStringLiteral("vel.tor"));
        QCOMPARE(store.internetEnabled(), true);
        setStored("inet", "2");
        setStored("hint", "0");
        setStored("Width", "12x");
        QCOMPARE(store.internetEnabled(), true);
        QCOMPARE(store.incomeHighlight(), false);
        QCOMPARE(store.windowGeometry().width, 740);
        store.setWindowGeometry({800, 555, true});
        store.setIncomeHighlight(true);
        QCOMPARE(storedValue("Height"), QStringLiteral("555"));
        QCOMPARE(storedValue("windowState"), QStringLiteral("1"));
        QCOMPARE(storedValue("hint"), QStringLiteral("1"));
    }

    void settingsDialogWritesWhatItShouldWhenItShould()
    {
        MessageLog log;
        Program program(true); // no "inet" value written: both boxes read yes
        app::MainWindow &w = program.window();
        auto *settings = find<QDialog>(&w, "TForm7");
        auto *highlight = find<QCheckBox>(settings, "CheckBox1");
        auto *internet = find<QCheckBox>(settings, "CheckBox2");
        auto *file = find<QLineEdit>(settings, "Edit2");
        auto *ok = find<QPushButton>(settings, "Button3");
        QVERIFY(highlight->isChecked() && internet->isChecked());
        QVERIFY(ok->isEnabled());
        QVERIFY(file->text().isEmpty());
        file->setText("x");
        file->clear();
        QVERIFY(!ok->isEnabled());
        QTest::keyClicks(file, "a");
        QVERIFY(ok->isEnabled());

        // The highlight follows its box at once; Отмена writes nothing.
        highlight->setChecked(false);
        QVERIFY(!w.session().incomeHighlight());
        internet->setChecked(false);
        find<QPushButton>(settings, "Button2")->click();
        QCOMPARE(storedValue("hint"), QStringLiteral("<none>"));
        QCOMPARE(storedValue("inet"), QStringLiteral("<none>"));
        QVERIFY(!w.session().incomeHighlight());

        // OK with no ledger open writes the store and nothing else, without an error.
        file->setText("мой.tor");
        ok->click();
        QCOMPARE(log.texts(), QStringList());
        QVERIFY(!settings->isVisible());
        QCOMPARE(storedValue("db"), QStringLiteral("мой.tor"));
        QCOMPARE(storedValue("hint"), QStringLiteral("0"));
        QCOMPARE(storedValue("inet"), QStringLiteral("0"));

        // With a ledger in the application folder: its bare name, and OK writes the header.
        const QString path = appFolder() + "дом.tor";
        ledger::Connection::create(path);
        w.LoadDB(path);
        QCOMPARE(file->text(), QStringLiteral("дом.tor"));
        find<QLineEdit>(settings, "Edit1")->setText("тайна");
        find<QLineEdit>(settings, "Edit3")->setText("Семья");
        ok->click();
        QCOMPARE(RawFile(path).rows("SELECT names, pas FROM VelTor"), QStringList({"Семья|тайна"}));
        QCOMPARE(storedValue("db"), QStringLiteral("дом.tor"));
        // The open ledger stays open; the caption changes at the next opening.
        QCOMPARE(w.session().connection().path(), path);
        QCOMPARE(w.windowTitle(), QStringLiteral("velTor"));
    }

    void settingsShowTheWholeStoredHeaderAndWriteOnlyWhatIsChanged()
    {
        MessageLog log;
        // A converted old ledger may hold more than the boxes take (15 and 25 characters).
        const QString password = "старый-пароль-22-знака";
        const QString description = "Домашняя бухгалтерия семьи Ивановых с 1998";
        QVERIFY(password.size() == 22 && description.size() == 42);
        const QString path = ledgerWithPassword(appFolder() + "vel.tor", password, description);
        whenShown("TForm9", [&](QWidget *prompt) {
            type(find<QLineEdit>(prompt, "Edit1"), password);
            QTest::mouseClick(find<QPushButton>(prompt, "Button1"), Qt::LeftButton);
        });
        Program program;
        app::MainWindow &w = program.window();
        QVERIFY(!missedDialog());
        QVERIFY(w.session().isOpen());
        QCOMPARE(w.windowTitle(), "velTor - " + description);
        auto *settings = find<QDialog>(&w, "TForm7");
        auto *passwordField = find<QLineEdit>(settings, "Edit1");
        auto *descriptionField = find<QLineEdit>(settings, "Edit3");
        auto *ok = find<QPushButton>(settings, "Button3");
        QCOMPARE(passwordField->text(), password);
        QCOMPARE(descriptionField->text(), description);
        // OK with nothing changed keeps the header as it is.
        ok->click();
        QCOMPARE(RawFile(path).rows("SELECT names, pas FROM VelTor"), QStringList({description + "|" + password}));

        // A ledger whose header holds NULLs: the fields keep what they held, and OK writes
        // none of it into this ledger.
        const QString other = appFolder() + "other.tor";
        ledger::Connection::create(other);
        RawFile(other).exec("UPDATE VelTor SET names = NULL, pas = NULL");
        w.LoadDB(other);
        QVERIFY(w.session().isOpen());
        QCOMPARE(passwordField->text(), password);
        ok->click();
        QCOMPARE(RawFile(other).rows("SELECT names IS NULL, pas IS NULL FROM VelTor"), QStringList({"1|1"}));

        // What the user types is held to the boxes' limits: nothing more is taken at the end
        // of a long value, and a new value is cut at 15 and 25 characters.
        descriptionField->end(false);
        type(descriptionField, "!");
        QCOMPARE(descriptionField->text(), description);
        // It may be shortened, and put back as it was.
        QTest::keyClick(descriptionField, Qt::Key_Backspace);
        type(descriptionField, "9");
        QCOMPARE(descriptionField->text(), description.chopped(1));
        type(descriptionField, "8");
        QCOMPARE(descriptionField->text(), description);
        descriptionField->selectAll();
        type(descriptionField, QString(30, QChar(0x0434)));
        QCOMPARE(descriptionField->text(), QString(25, QChar(0x0434)));
        ok->click();
        QCOMPARE(RawFile(other).rows("SELECT names, pas IS NULL FROM VelTor"), QStringList({QString(25, QChar(0x0434)) + "|1"}));
        passwordField->selectAll();
        type(passwordField, QString(20, 'p'));
        QCOMPARE(passwordField->text(), QString(15, 'p'));
        ok->click();
        QCOMPARE(RawFile(other).rows("SELECT names, pas FROM VelTor"),
                 QStringList({QString(25, QChar(0x0434)) + "|" + QString(15, 'p')}));
        QCOMPARE(log.texts(), QStringList());

        // The prompt takes a password as long as the ledger may hold.
        const QString longest(30, QChar(0x044F));
        RawFile(other).exec(QStringLiteral("UPDATE VelTor SET pas = '%1'").arg(longest));
        whenShown("TForm9", [&](QWidget *prompt) {
            type(find<QLineEdit>(prompt, "Edit1"), longest);
            QTest::mouseClick(find<QPushButton>(prompt, "Button1"), Qt::LeftButton);
        });
        w.LoadDB(other);
        QVERIFY(!missedDialog());
        QVERIFY(w.session().isOpen());
        QCOMPARE(passwordField->text(), longest);
    }

    void passwordsShowStarsAndTheBrowseFilterNamesTheFilesOnly()
    {
        MessageLog log;
        Program program;
        app::MainWindow &w = program.window();
        auto *settings = find<QDialog>(&w, "TForm7");
        for (const char *dialog : {"TForm7", "TForm9", "TForm10"}) {
            auto *field = find<QLineEdit>(find<QDialog>(&w, dialog), "Edit1");
            field->setText("тайна");
            QVERIFY2(field->displayText() == "*****", qPrintable(dialog + (": " + field->displayText())));
        }

        // The settings dialog names its files without their pattern; opening a ledger shows
        // the pattern.
        const auto filterShown = [](const std::function<void()> &browse) {
            QString shown = "<no dialog>";
            whenShown("OpenDialog1", [&shown](QWidget *dialog) {
                auto *filter = find<QComboBox>(dialog, "fileTypeCombo");
                shown = filter ? filter->currentText() : "<no filter box>";
                static_cast<QDialog *>(dialog)->reject();
            });
            browse();
            return shown;
        };
        QCOMPARE(filterShown([&] { find<QPushButton>(settings, "Button1")->click(); }),
                 QStringLiteral("Файлы базы данных"));
        QCOMPARE(filterShown([&] { find<QAction>(&w, "N2")->trigger(); }), QStringLiteral("Файлы базы данных (*.tor)"));
        QCOMPARE(log.texts(), QStringList());
    }

    void chartKeysWaitForALedger()
    {
        MessageLog log;
        Program program; // the creation at start-up is cancelled: no ledger
        app::MainWindow &w = program.window();
        const auto press = [&](const QKeySequence &key) {
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == &w);
            QTest::keySequence(QApplication::focusWidget(), key);
        };
        for (const char *name : {"N8", "N101"})
            QVERIFY2(!find<QAction>(&w, name)->isEnabled(), name);
        press(QKeySequence(Qt::CTRL | Qt::Key_G));
        press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
        QCOMPARE(w.mdiArea()->subWindowList().size(), 0);
        QCOMPARE(log.texts(), QStringList());

        const QString path = appFolder() + "vel.tor";
        ledger::Connection::create(path);
        w.LoadDB(path);
        for (const char *name : {"N8", "N101"})
            QVERIFY2(find<QAction>(&w, name)->isEnabled(), name);
        press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
        QStringList captions;
        for (QMdiSubWindow *child : w.mdiArea()->subWindowList())
            captions << child->windowTitle();
        QVERIFY2(captions.contains("График TOP расходов"), qPrintable(captions.join(", ")));
        QCOMPARE(log.texts(), QStringList());
    }

    void theStartUpLedgerComesFromTheSettings()
    {
        MessageLog log;
        Workspace ws;
        const QString elsewhere = ws.newLedger("elsewhere.tor");
        setStored("db", elsewhere);
        Program program;
        QVERIFY(program.window().session().isOpen());
        QCOMPARE(program.window().session().connection().path(), elsewhere);
        QCOMPARE(log.texts(), QStringList());
    }

    void dropDownsAndMenuCommandsHaveKeys_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<QString>("menu");
        QTest::newRow("database") << "ToolButton1" << QKeySequence(Qt::Key_F2) << "PopupMenu1";
        QTest::newRow("charts") << "ToolButton5" << QKeySequence(Qt::Key_F3) << "PopupMenu3";
        QTest::newRow("calculator") << "ToolButton16" << QKeySequence(Qt::Key_F4) << "PopupMenu4";
        QTest::newRow("help") << "ToolButton13" << QKeySequence(Qt::CTRL | Qt::Key_F1) << "PopupMenu2";
    }

    void dropDownsAndMenuCommandsHaveKeys()
    {
        QFETCH(QString, button);
        QFETCH(QKeySequence, key);
        QFETCH(QString, menu);
        Program program;
        QWidget *w = &program.window();
        // The hint names the key, which opens the menu as the arrow does.
        QVERIFY2(find<QToolButton>(w, button)->toolTip().endsWith("(меню: " + key.toString(QKeySequence::NativeText) + ")"),
                 qPrintable(find<QToolButton>(w, button)->toolTip()));
        const auto *opening = find<QAction>(w, button + "Menu");
        QCOMPARE(opening->shortcut(), key);
        QVERIFY(w->actions().contains(opening));
        // Each item of the menu shows a key of its own, no two alike in the window.
        QSet<QKeySequence> keys;
        for (const QAction *action : w->findChildren<QAction *>()) {
            if (!action->shortcut().isEmpty())
                QVERIFY2(!keys.contains(action->shortcut()), qPrintable(action->objectName()));
            keys.insert(action->shortcut());
        }
        for (const QAction *item : find<QMenu>(w, menu)->actions())
            QVERIFY2(item->isSeparator() || !item->shortcut().isEmpty(), qPrintable(item->text()));
    }

    void theCreateDialogOpensInItsFileField()
    {
        Program program;
        QWidget *w = &program.window();
        ui::setFileHandler([](const ui::FileRequest &) { return QString(); });
        QStringList focused;
        for (int time = 0; time < 2; ++time) {
            whenShown("TForm10", [&focused](QWidget *dialog) {
                focused << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
                // The first time the user clicks "..." before leaving.
                if (focused.size() == 1)
                    QTest::mouseClick(find<QPushButton>(dialog, "Button1"), Qt::LeftButton);
                static_cast<QDialog *>(dialog)->reject();
            });
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w, kEventBound));
            QTest::keySequence(w, QKeySequence(Qt::CTRL | Qt::Key_N));
            QVERIFY(!missedDialog());
        }
        ui::setFileHandler({});
        QCOMPARE(focused, QStringList({"Edit2", "Edit2"})); // the file field
    }

    void toolbarAndPanelAreComplete()
    {
        Program program;
        QWidget *w = &program.window();
        const QStringList buttons = {"ToolButton1", "ToolButton2", "ToolButton4", "ToolButton3",
                                     "ToolButton18", "ToolButton5", "ToolButton9", "ToolButton10",
                                     "ToolButton16", "ToolButton15", "ToolButton12", "ToolButton13"};
        int lastX = -1;
        for (const QString &name : buttons) {
            auto *button = find<QToolButton>(w, name);
            QVERIFY2(button, qPrintable(name));
            QVERIFY2(!button->icon().isNull(), qPrintable(name));
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(name));
            QVERIFY2(button->x() > lastX, qPrintable(name));
            lastX = button->x();
        }
        auto *journal = find<QToolButton>(w, "ToolButton2");
        QCOMPARE(journal->toolTip(), QStringLiteral("Журнал дохода и расхода"));
        QCOMPARE(journal->defaultAction()->statusTip(), QStringLiteral("Просмотр данных о приходе и расходе денежных средств"));
        auto *panelButton = find<QToolButton>(w, "ToolButton10");
        QCOMPARE(panelButton->toolTip(), panelButton->defaultAction()->statusTip());
        for (const char *name : {"N2", "N9", "N5"})
            QVERIFY2(find<QAction>(w, name)->font().bold(), name);
        QVERIFY(!find<QAction>(w, "N1")->font().bold());
        QCOMPARE(find<QToolButton>(w, "ToolButton1")->menu()->objectName(), QStringLiteral("PopupMenu1"));
        // The two charts of the chart button, and the price history beside them.
        QStringList chartItems;
        for (const QAction *item : find<QToolButton>(w, "ToolButton5")->menu()->actions())
            chartItems << item->text();
        QCOMPARE(chartItems, QStringList({"График расходов/доходов", "График TOP расходов", "История цен"}));
        QCOMPARE(labelText(w, "Label4"), QStringLiteral("Курсы валют:"));
        QCOMPARE(labelText(w, "Label10"), QStringLiteral("(данные не получены)"));

        // Every command is reachable by its key, those of the drop-down menus too.
        QStringList opened;
        for (const auto &[key, dialog] : {std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F1), "TForm8"},
                                          std::pair{QKeySequence(Qt::CTRL | Qt::Key_Comma), "TForm7"},
                                          std::pair{QKeySequence(Qt::CTRL | Qt::Key_L), "TForm13"},
                                          std::pair{QKeySequence(Qt::CTRL | Qt::Key_N), "TForm10"}}) {
            whenShown(dialog, [&opened](QWidget *shown) {
                opened << shown->objectName();
                static_cast<QDialog *>(shown)->reject();
            });
            // Keys go to the focused control, whichever it is.
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w, kEventBound));
            WAIT_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == w);
            QTest::keySequence(QApplication::focusWidget(), key);
            QVERIFY2(!missedDialog(), dialog);
        }
        QCOMPARE(opened, QStringList({"TForm8", "TForm7", "TForm13", "TForm10"}));
    }

    void aboutWindowTakesVersionFieldsAndTheFileDate()
    {
        QCOMPARE(app::versionLine("1.8.1.240"), QStringLiteral("Версия: 1.8 (build 240)"));
        QCOMPARE(app::versionLine("1.8"), QStringLiteral("Версия: 1.8 (build 8)"));
        QCOMPARE(app::versionLine(""), QStringLiteral("Версия: 0.0 (build 0)"));
        QCOMPARE(app::versionLine("2..5...7.9"), QStringLiteral("Версия: 2.5 (build 9)"));
        QCOMPARE(app::takeField("a.b", 3, '.'), QStringLiteral("b"));
        QCOMPARE(app::compiledVersion(), QStringLiteral("1.8.1.240"));

        // The release date is the executable file's own date: a copy dated otherwise shows
        // its own date.
        Workspace ws;
        const QString copy = ws.path("veltor");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2008, 7, 21), QTime(12, 0)), QFileDevice::FileModificationTime));
        file.close();
        app::AboutWindow about(nullptr, copy);
        app::AboutWindow running;
        QCOMPARE(labelText(&running, "Label3"), releaseDateOf(QCoreApplication::applicationFilePath()));
        QCOMPARE(labelText(&about, "Label3"), QStringLiteral("Дата выпуска: 21.07.2008 г."));
        QCOMPARE(labelText(&about, "Label2"), QStringLiteral("Версия: 1.8 (build 240)"));
        QCOMPARE(about.windowTitle(), QStringLiteral("О программе \"VelTor\""));
        // Every line beside the picture but the name is in Tahoma 10.
        for (const char *name : {"Label8", "Label2", "Label3", "Label1", "link1"}) {
            const QFont font = find<QWidget>(&about, QLatin1String(name))->font();
            QVERIFY2(font.family() == "Tahoma" && font.pointSize() == 10,
                     qPrintable(QString("%1: %2 %3").arg(name, font.family()).arg(font.pointSize())));
        }
    }

    // Last: the translation stays for the rest of the run.
    void theStandardButtonsSpeakRussian()
    {
        // What the start-up does before the main window is made.
        QVERIFY(app::installQtTranslation());
        ledger::Connection::create(appFolder() + "vel.tor");
        Program program;
        QTRY_VERIFY(program.window().session().isOpen());
        ledger::recordIncome(program.window().session().connection(), "Премия", ledger::Money::fromUnits(5), "", false);
        program.window().session().entriesChanged();
        QMdiSubWindow *journal = program.window().findChildWindow(app::ChildKind::Journal);
        QVERIFY(journal);
        auto *grid = journal->findChild<QWidget *>("Tov");
        QStringList buttons;
        whenShown("velTorMessage", [&](QWidget *box) {
            for (QAbstractButton *button : static_cast<QMessageBox *>(box)->buttons())
                buttons << button->text().remove('&');
            static_cast<QMessageBox *>(box)->button(QMessageBox::No)->click();
        });
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Delete);
        QTRY_VERIFY(!buttons.isEmpty());
        buttons.sort();
        QCOMPARE(buttons, QStringList({"Да", "Нет"}));
        QMessageBox box(QMessageBox::Information, "velTor", "?", QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Ok)->text().remove('&'), QStringLiteral("ОК"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QStringLiteral("Отмена"));
        QCOMPARE(program.window().session().journal().rowCount(), 1);
    }
};

QTEST_MAIN(ShellTest)
#include "test_shell.moc"
