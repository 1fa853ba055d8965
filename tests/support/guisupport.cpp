#include "guisupport.h"

#include "widgets/childwindow.h"
#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "ledger/paths.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace testing {

namespace {

// One whenShown: the dialog it waits for, what it does, and the test function it belongs to.
struct Waiter
{
    enum class State { Pending, Taken, Done };
    QString name;
    std::function<void(QWidget *)> action;
    QByteArray test;
    State state = State::Pending;
};

QList<std::shared_ptr<Waiter>> g_waiters;
QList<QStringList *> g_watches;
bool g_missed = false;

QByteArray currentTest()
{
    const char *function = QTest::currentTestFunction();
    const char *tag = QTest::currentDataTag();
    return QByteArray(function ? function : "") + '/' + QByteArray(tag ? tag : "");
}

void closeDialog(QWidget *dialog)
{
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->reject();
    else
        dialog->close();
}

// Continuations waiting for their dialog to become the active window.
QList<QPair<QPointer<QWidget>, std::function<void()>>> g_awaitingActivation;

// Runs `step` on a dialog just shown, from inside the dialog's own event loop: the show event
// comes before QDialog::exec enters its loop, and a dialog closed before then would leave
// exec waiting for good. `level` is the loop level at the show. With `active` the step waits
// too until the dialog is the active window, as a person sees it (focus and keys go there);
// the window system tells that with an event of its own.
void runInItsLoop(QWidget *dialog, int level, bool active, std::function<void(QWidget *)> step,
                  std::function<void()> gone)
{
    QPointer<QWidget> target(dialog);
    QMetaObject::invokeMethod(
        qApp,
        [target, level, active, step = std::move(step), gone = std::move(gone)]() mutable {
            if (!target || !target->isVisible()) {
                gone();
                return;
            }
            if (QThread::currentThread()->loopLevel() <= level) {
                runInItsLoop(target, level, active, std::move(step), std::move(gone));
                return;
            }
            if (active && !target->isActiveWindow()) {
                g_awaitingActivation.append({target, [target, level, step, gone] {
                                                 runInItsLoop(target, level, true, step, gone);
                                             }});
                target->activateWindow();
                return;
            }
            step(target);
        },
        Qt::QueuedConnection);
}

// A dialog became active (or went): the continuations waiting for it go on.
void activationChanged(QWidget *widget)
{
    for (int i = 0; i < g_awaitingActivation.size();) {
        if (!g_awaitingActivation[i].first || g_awaitingActivation[i].first == widget) {
            const std::function<void()> next = g_awaitingActivation.takeAt(i).second;
            next();
        } else {
            ++i;
        }
    }
}

// Sees every modal window that shows and hands it to a waiter, to the watches, or, when
// nothing answers it, closes it after a long bound (so that a test fails instead of hanging).
class DialogWatcher : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (!object->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(object);
        if (event->type() == QEvent::Show && widget->isWindow() && widget->isModal())
            shown(widget);
        else if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Hide) && !g_awaitingActivation.isEmpty())
            activationChanged(widget);
        return false;
    }

private:
    static void shown(QWidget *dialog)
    {
        const int level = QThread::currentThread()->loopLevel();
        const QByteArray test = currentTest();
        // Waiters of earlier test functions never act.
        g_waiters.erase(std::remove_if(g_waiters.begin(), g_waiters.end(),
                                       [&](const std::shared_ptr<Waiter> &w) {
                                           return w->state == Waiter::State::Done || w->test != test;
                                       }),
                        g_waiters.end());
        for (const std::shared_ptr<Waiter> &waiter : std::as_const(g_waiters)) {
            if (waiter->state != Waiter::State::Pending || waiter->name != dialog->objectName())
                continue;
            waiter->state = Waiter::State::Taken;
            runInItsLoop(
                dialog, level, true,
                [waiter](QWidget *target) {
                    waiter->state = Waiter::State::Done;
                    QPointer<QWidget> kept(target);
                    waiter->action(target);
                    if (kept && kept->isVisible() && kept->isModal()) {
                        qWarning("dialog %s was left open by its test's action: closed", qPrintable(kept->objectName()));
                        closeDialog(kept);
                    }
                },
                [waiter] {
                    waiter->state = Waiter::State::Done;
                    g_missed = true;
                    qWarning("dialog %s closed before its test's action could run", qPrintable(waiter->name));
                });
            return;
        }
        if (!g_watches.isEmpty()) {
            for (QStringList *seen : std::as_const(g_watches))
                seen->append(dialog->objectName());
            runInItsLoop(dialog, level, false, closeDialog, [] {});
            return;
        }
        // Nothing answers this dialog: its exec would wait for good.
        const int showing = dialog->property("veltorTestShowing").toInt() + 1;
        dialog->setProperty("veltorTestShowing", showing);
        QPointer<QWidget> target(dialog);
        QTimer::singleShot(kEventBound, dialog, [target, showing] {
            if (target && target->isVisible() && target->property("veltorTestShowing").toInt() == showing) {
                qWarning("dialog %s showed and nothing answered it: closed", qPrintable(target->objectName()));
                g_missed = true;
                closeDialog(target);
            }
        });
    }
};

void ensureWatcher()
{
    static QPointer<DialogWatcher> watcher;
    if (!watcher) {
        watcher = new DialogWatcher(qApp);
        qApp->installEventFilter(watcher);
    }
}

bool hasPendingWaiter(const QString &name)
{
    const QByteArray test = currentTest();
    return std::any_of(g_waiters.cbegin(), g_waiters.cend(), [&](const std::shared_ptr<Waiter> &w) {
        return w->state == Waiter::State::Pending && w->name == name && w->test == test;
    });
}

} // namespace

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
    ensureWatcher();
    g_waiters.clear();
    g_awaitingActivation.clear();
    g_missed = false;
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

namespace {

QString createdInAppFolder()
{
    QDir().mkpath(appFolder());
    const QString file = appFolder() + QStringLiteral("vel.tor");
    ledger::Connection::create(file);
    return file;
}

} // namespace

AppLedger::AppLedger() : path(createdInAppFolder()), raw(path) {}

void whenShown(const QString &objectName, std::function<void(QWidget *)> action)
{
    ensureWatcher();
    auto waiter = std::make_shared<Waiter>();
    waiter->name = objectName;
    waiter->action = std::move(action);
    waiter->test = currentTest();
    g_waiters.append(waiter);
}

ModalWatch::ModalWatch()
{
    ensureWatcher();
    g_watches.append(&m_seen);
}

ModalWatch::~ModalWatch()
{
    g_watches.removeAll(&m_seen);
}

bool waitUntil(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, kEventBound);
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
    bool missed = g_missed;
    g_missed = false;
    const QByteArray test = currentTest();
    for (const std::shared_ptr<Waiter> &waiter : std::as_const(g_waiters)) {
        if (waiter->state == Waiter::State::Pending && waiter->test == test) {
            qWarning("dialog %s never showed", qPrintable(waiter->name));
            missed = true;
        }
    }
    // The waiters asked about end here; one whose dialog is showing right now goes on.
    g_waiters.erase(std::remove_if(g_waiters.begin(), g_waiters.end(),
                                   [](const std::shared_ptr<Waiter> &w) { return w->state != Waiter::State::Taken; }),
                    g_waiters.end());
    return missed;
}

Program::Program(bool internet, bool cancelCreation)
    : m_store(std::make_unique<app::SettingsStore>())
{
    ensureWatcher();
    if (!internet)
        m_store->setInternetEnabled(false);
    const QString startUpLedger = ledger::paths::complete(m_store->ledgerPath());
    if (cancelCreation && !QFileInfo(startUpLedger).isFile() && !hasPendingWaiter(QStringLiteral("TForm10")))
        whenShown(QStringLiteral("TForm10"), [](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
    m_window = std::make_unique<app::MainWindow>(*m_store);
    // The start-up step runs on the first tick of the window's one-shot timer and may show
    // dialogs; a slot connected after it runs once it is over.
    auto *timer = m_window->findChild<QTimer *>(QStringLiteral("Timer1"), Qt::FindDirectChildrenOnly);
    if (!timer)
        qFatal("the main window has no start-up timer");
    QObject::connect(timer, &QTimer::timeout, m_window.get(), [started = m_started] { *started = true; });
    m_window->show();
    waitStarted();
}

Program::~Program()
{
    m_window.reset();
}

void Program::waitStarted()
{
    // It is over when the window's first tick has run (with every dialog it showed) and the
    // child windows it opened (the journal of the ledger) have loaded, as on their first tick,
    // and the rates it asked for have come.
    const auto over = [this] {
        if (!*m_started || m_window->rates().isUpdating())
            return false;
        for (QMdiSubWindow *child : m_window->mdiArea()->subWindowList()) {
            auto *window = qobject_cast<ui::ChildWindow *>(child);
            if (window && !window->isStarted())
                return false;
        }
        return true;
    };
    if (!waitUntil(over))
        qWarning("the start-up step did not end");
}

} // namespace testing
