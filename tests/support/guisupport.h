#pragma once

#include "widgets/messages.h"
#include "testsupport.h"

#include <QList>
#include <QStringList>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace app {
class MainWindow;
class SettingsStore;
} // namespace app

namespace testing {

// Answers every message box of the program instead of showing it, and keeps what was asked.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    // The next boxes get these answers, in order; after that Ok, or Yes for a question.
    void answer(QMessageBox::StandardButton button) { m_answers.append(button); }
    const QList<ui::MessageRequest> &seen() const { return m_seen; }
    QStringList texts() const;
    void clear() { m_seen.clear(); }

private:
    QList<ui::MessageRequest> m_seen;
    QList<QMessageBox::StandardButton> m_answers;
};

// Settings and application folder of a fresh user: called before each GUI test case.
void resetUserState();
// The application folder's path with its trailing separator.
QString appFolder();

// A ledger in the application folder, opened by the program at start-up, with rows written
// behind the program's back (through `raw`) so that their dates are the test's to choose.
struct AppLedger
{
    AppLedger();
    QString path;
    RawFile raw;
};

// Runs `action` on the modal dialog with this object name once it is shown and its own event
// loop runs (so that the action may close it). Nothing waits for time: the dialog's show event
// starts the action. A waiter whose dialog never shows does nothing; missedDialog() then
// tells. Waiters end with their test function: one left pending never acts in a later test.
void whenShown(const QString &objectName, std::function<void(QWidget *)> action);
// True when a dialog that whenShown waited for has not been shown (or was gone before its
// action could run); such waiters then end. Ask it once the step that shows the dialog is over.
bool missedDialog();

// While it exists, every modal dialog that shows is noted and rejected (unless a whenShown
// waiter takes it), so that a check of "no dialog" needs no wait.
class ModalWatch
{
public:
    ModalWatch();
    ~ModalWatch();
    ModalWatch(const ModalWatch &) = delete;
    ModalWatch &operator=(const ModalWatch &) = delete;
    // The object names of the dialogs that showed.
    const QStringList &seen() const { return m_seen; }

private:
    QStringList m_seen;
};

// Waits for something the program does later (a timer's first tick, a deferred deletion, a
// window's activation). The wait ends as soon as `condition` holds; the bound is only there so
// that a broken program fails instead of hanging, far beyond what a loaded machine needs.
bool waitUntil(const std::function<bool()> &condition);

// The main window of a test, with the internet setting off unless asked otherwise. The
// constructor returns when the start-up step is over (a dialog it shows is answered by
// whenShown, set up before).
struct Program
{
    // With `cancelCreation` the create-ledger dialog that start-up shows when its ledger is
    // missing is cancelled; a test that answers it itself passes false.
    explicit Program(bool internet = false, bool cancelCreation = true);
    ~Program();
    app::MainWindow &window() { return *m_window; }
    app::SettingsStore &store() { return *m_store; }
    // Returns once the start-up step (the first tick of the window's timer, with every dialog
    // it showed) is over.
    void waitStarted();

    std::shared_ptr<bool> m_started = std::make_shared<bool>(false);
    std::unique_ptr<app::SettingsStore> m_store;
    std::unique_ptr<app::MainWindow> m_window;
};

// Types a text key by key, as a user would (Cyrillic included).
void type(QWidget *widget, const QString &text);

template<typename T = QWidget>
T *find(QWidget *root, const QString &name)
{
    return root->findChild<T *>(name);
}

} // namespace testing
