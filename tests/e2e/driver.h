#pragma once

// Drives the real program as a person would: its own X server (Xvfb), real key and mouse
// events (xdotool), the ledger read back with the stock sqlite3 tool, and screenshots.
// One Journey is one world: an X server on a free display, a loopback "bank" answering the
// rate requests, the program started with the HOME and XDG folders of the test. Everything
// it started goes when it is destroyed, whichever way the test ended.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace e2e {

class Bank;

// What the loopback bank serves for every rate request.
enum class BankPages {
    Rates,   // the day's dollar, euro and pound (90,1234; 98,7654; 115,4321)
    NoRates, // a page that answers but holds no rates
};

class Journey
{
public:
    explicit Journey(BankPages pages = BankPages::Rates);
    ~Journey();
    Journey(const Journey &) = delete;
    Journey &operator=(const Journey &) = delete;

    // Why the last check failed, for the test's message.
    const QString &why() const { return m_why; }

    // Folders of the test's world (tests/isolate.sh made them).
    QString appFolder() const;  // where the default ledger vel.tor lives
    QString ledger() const;     // appFolder()/vel.tor
    QString settingsFile() const;

    // The X server; started by the constructor.
    bool xRunning() const;
    QString display() const { return m_display; }

    // The program. start() returns once its main window is shown.
    bool start();
    bool running() const;
    // Closes the main window as a window manager would (WM_DELETE_WINDOW) and waits for the
    // program to end.
    bool quit();
    int bankRequests() const;

    // Windows, by their exact title. A dialog that shows is given the keyboard focus, as a
    // window manager would; Xvfb runs none.
    bool waitWindow(const QString &title);
    bool waitGone(const QString &title);
    bool waitMainTitle(const QString &title);
    // A message box ("velTor", a window of its own beside the main window) shows / goes.
    bool waitMessageBox();
    bool waitMessageBoxGone();
    bool windowShown(const QString &title) const;
    bool messageBoxShown() const;
    QString mainTitle() const;

    // The keyboard's layouts ("us,ru" to begin with; setxkbmap's names). The program
    // follows a change before the next key reaches it.
    bool keyboard(const QString &layouts);

    // Input through the X server.
    bool key(const QString &keys);       // xdotool key syntax: "ctrl+r", "Tab Tab", "Page_Down"
    bool keyRepeat(const QString &key, int times);
    bool type(const QString &text);      // any text, Cyrillic included
    bool clickInMain(int x, int y);      // at x, y of the main window's client area
    bool wheelInMain(int x, int y, int clicks); // clicks > 0 scrolls down, < 0 up

    // The ledger through the stock tool, read only. Rows joined by "|".
    QStringList rows(const QString &sql, const QString &file = QString()) const;
    QString value(const QString &sql, const QString &file = QString()) const;
    bool sqlWrite(const QString &sql, const QString &file = QString());
    // Waits until the query yields exactly `expected` (rows joined by newlines).
    bool waitLedger(const QString &sql, const QString &expected, const QString &file = QString());

    // Waits until `condition` holds, up to the journey's patience.
    bool waitFor(const std::function<bool()> &condition, const QString &what);

    // A screenshot of the whole screen into the test's build folder; returns its path.
    QString shot(const QString &name) const;
    // The pixels of a screenshot's rectangle, to tell two states of the screen apart.
    QByteArray grab(int x, int y, int w, int h) const;
    // Waits until the main window's pixels stop changing (a window finished drawing).
    bool settled();

    // A ledger made with the program's own code, before the program starts.
    static bool createLedger(const QString &path, QString *why);

private:
    bool fail(const QString &why);
    bool startX();
    QString windowName(unsigned long id) const;
    unsigned long findWindow(const QString &title, bool wantMain = false, bool wantTransient = false) const;
    unsigned long findMessageBox() const;
    unsigned long mainWindow() const;
    bool runTool(const QString &program, const QStringList &args, QByteArray *out = nullptr,
                 const QByteArray &input = QByteArray()) const;
    bool focus(unsigned long window);
    QByteArray wholeMain() const;

    QString m_why;
    QString m_display;
    std::unique_ptr<QProcess> m_x;
    std::unique_ptr<QProcess> m_program;
    std::unique_ptr<Bank> m_bank;
    void *m_xlib = nullptr;
    int m_starts = 0;
};

// How long a journey waits for one event before it calls the step failed.
int patienceMs();

} // namespace e2e

// A journey step: on failure the test stops with the journey's reason.
#define STEP(journey, expr) QVERIFY2((expr), qPrintable((journey).why()))
