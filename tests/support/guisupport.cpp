#include "guisupport.h"

#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "ledger/paths.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <memory>

namespace testing {

namespace {
bool g_missed = false;
}

MessageLog::MessageLog()
{
    ui::setMessageHandler([this](const ui::MessageRequest &request) {
        m_seen.append(request);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        return (request.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
}

MessageLog::~MessageLog()
{
    ui::setMessageHandler({});
}

QStringList MessageLog::texts() const
{
    QStringList result;
    for (const auto &request : m_seen)
        result << request.text;
    return result;
}

void resetUserState()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tovrak"));
    QCoreApplication::setApplicationName(QStringLiteral("velTor"));
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tovrak"), QStringLiteral("velTor"));
    settings.clear();
    settings.sync();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
}

QString appFolder()
{
    return ledger::paths::applicationFolder();
}

void whenShown(const QString &objectName, std::function<void(QWidget *)> action)
{
    // Owned by the application, so that a waiter still pending when a test ends goes with it.
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, objectName, action] {
        QWidget *modal = QApplication::activeModalWidget();
        // Shown is not enough: until the window system has made the dialog the active
        // window, keys and focus still go to the window beneath it.
        if (modal && modal->objectName() == objectName && modal->isVisible() && modal->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
            return;
        }
        if (clock->elapsed() > 15000) {
            timer->stop();
            timer->deleteLater();
            g_missed = true;
            qWarning("dialog %s never showed", qPrintable(objectName));
            while (QWidget *open = QApplication::activeModalWidget()) {
                if (auto *dialog = qobject_cast<QDialog *>(open))
                    dialog->reject();
                else
                    open->close();
                QCoreApplication::processEvents();
            }
        }
    });
    g_missed = false;
    timer->start();
}

void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        const Qt::Key key = c.unicode() < 128 && c.isPrint() ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

bool missedDialog()
{
    return g_missed;
}

Program::Program(bool internet, bool cancelCreation)
    : m_store(std::make_unique<app::SettingsStore>())
{
    if (!internet)
        m_store->writeYesNo(QStringLiteral("inet"), false);
    const QString startUpLedger = ledger::paths::complete(m_store->readText(QStringLiteral("db"), QStringLiteral("vel.tor")));
    if (cancelCreation && !QFileInfo(startUpLedger).isFile())
        whenShown(QStringLiteral("TForm10"), [](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
    m_window = std::make_unique<app::MainWindow>(*m_store);
    m_window->show();
    waitStarted();
}

Program::~Program()
{
    m_window.reset();
}

void Program::waitStarted()
{
    // The start-up step runs on the first tick of the window's one-shot timer and may show
    // a dialog; it is over when the timer has fired and no dialog is open any more.
    auto *timer = m_window->findChild<QTimer *>(QStringLiteral("Timer1"), Qt::FindDirectChildrenOnly);
    if (!QTest::qWaitFor([&] { return !timer->isActive() && !QApplication::activeModalWidget(); }, 20000))
        qWarning("the start-up step did not end");
    QTest::qWait(1);
}

} // namespace testing
