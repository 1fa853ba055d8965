#pragma once

#include "app/common/messages.h"

#include <QList>
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

// Runs `action` on the modal dialog with this object name as soon as it is shown and is the
// active window. When it does not show within a few seconds the test fails and every modal
// dialog is closed, so that a test never hangs.
void whenShown(const QString &objectName, std::function<void(QWidget *)> action);
// True when whenShown's dialog was never found.
bool missedDialog();

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
    void waitStarted();

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
