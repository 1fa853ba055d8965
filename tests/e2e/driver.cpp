#include "driver.h"

#include "support/pageserver.h"

#include "ledger/database.h"
#include "ledger/error.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

#include <atomic>

namespace e2e {

namespace {

Display *dpy(void *handle) { return static_cast<Display *>(handle); }

// A window can go between listing it and reading it; such errors mean "not there".
int ignoreXErrors(Display *, XErrorEvent *) { return 0; }

// A child of the test goes with it, even when the test is killed by its timeout.
void tieToTest(QProcess &process)
{
#ifdef Q_OS_LINUX
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
#else
    Q_UNUSED(process);
#endif
}

QString shotFolder()
{
    const QString folder = QStringLiteral(VELTOR_E2E_SHOTS);
    QDir().mkpath(folder);
    return folder;
}

QString testName()
{
    QString name = QString::fromLatin1(QTest::currentTestFunction());
    if (name.isEmpty())
        name = QStringLiteral("journey");
    return name;
}

} // namespace

int patienceMs()
{
    return VELTOR_E2E_PATIENCE_MS;
}

// The bank's loopback server, on a thread of its own so that it answers while the test
// blocks on a tool.
class Bank : public QThread
{
public:
    explicit Bank(BankPages pages)
        : m_pages(pages)
    {
        start();
        m_ready.acquire();
    }
    ~Bank() override
    {
        quit();
        wait();
    }
    QString base() const { return m_base; }
    int requests() const { return m_requests.load(); }

protected:
    void run() override
    {
        testing::PageServer server;
        server.respond = [this](const QByteArray &request) {
            ++m_requests;
            return testing::Reply{testing::Reply::Answer, page(request)};
        };
        m_base = server.base();
        m_ready.release();
        exec();
    }

private:
    QByteArray page(const QByteArray &request) const
    {
        if (m_pages == BankPages::NoRates)
            return testing::http(200, QStringLiteral("<html><body><p>Курсы валют не установлены.</p></body></html>")
                                          .toUtf8());
        if (request.contains("XML_daily")) {
            const auto valute = [](const char *code, const QString &name, const char *value) {
                return QStringLiteral("<Valute><CharCode>%1</CharCode><Nominal>1</Nominal><Name>%2</Name>"
                                      "<Value>%3</Value></Valute>")
                    .arg(QLatin1String(code), name, QLatin1String(value));
            };
            const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><ValCurs Date=\"%1\" "
                                               "name=\"Foreign Currency Market\">")
                                    .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")))
                                + valute("GBP", QStringLiteral("Фунт стерлингов Соединенного королевства"), "115,4321")
                                + valute("USD", QStringLiteral("Доллар США"), "90,1234")
                                + valute("EUR", QStringLiteral("Евро"), "98,7654") + QStringLiteral("</ValCurs>");
            return testing::http(200, xml.toUtf8(), "application/xml; charset=utf-8");
        }
        return testing::http(200, testing::ratesPage(QStringLiteral("90,1234"), QStringLiteral("98,7654"),
                                                     QStringLiteral("115,4321")));
    }

    BankPages m_pages;
    QString m_base;
    QSemaphore m_ready;
    std::atomic<int> m_requests{0};
};

Journey::Journey(BankPages pages)
    : m_bank(std::make_unique<Bank>(pages))
{
    XSetErrorHandler(ignoreXErrors);
    startX();
}

Journey::~Journey()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(5000);
    }
    m_program.reset();
    if (m_xlib)
        XCloseDisplay(dpy(m_xlib));
    if (m_x && m_x->state() != QProcess::NotRunning) {
        m_x->terminate();
        if (!m_x->waitForFinished(5000)) {
            m_x->kill();
            m_x->waitForFinished(5000);
        }
    }
}

bool Journey::fail(const QString &why)
{
    m_why = why;
    return false;
}

QString Journey::appFolder() const
{
    return qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"))
           + QStringLiteral("/Tovrak/velTor");
}

QString Journey::ledger() const
{
    return appFolder() + QStringLiteral("/vel.tor");
}

QString Journey::settingsFile() const
{
    return qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"))
           + QStringLiteral("/Tovrak/velTor.conf");
}

bool Journey::startX()
{
    m_x = std::make_unique<QProcess>();
    tieToTest(*m_x);
    m_x->setProgram(QStringLiteral("Xvfb"));
    // -displayfd 1: the server picks a free display and writes its number to our pipe.
    m_x->setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-noreset")});
    m_x->setStandardErrorFile(shotFolder() + QLatin1Char('/') + testName() + QStringLiteral("-xvfb.log"));
    m_x->start();
    if (!m_x->waitForStarted(patienceMs()))
        return fail(QStringLiteral("Xvfb does not start: ") + m_x->errorString());
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n')) {
        if (clock.elapsed() > patienceMs() || !m_x->waitForReadyRead(patienceMs()))
            return fail(QStringLiteral("Xvfb names no display"));
        number += m_x->readAllStandardOutput();
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    m_xlib = XOpenDisplay(m_display.toLatin1().constData());
    if (!m_xlib)
        return fail(QStringLiteral("cannot connect to ") + m_display);
    // A Russian keyboard beside the US one, as a Russian user has: xdotool then finds every
    // Cyrillic letter on a key of its own. Without it, xdotool lends a spare key to each
    // letter and takes it back at once, and the program, reading the changed key map a
    // moment later, may miss the letter.
    if (!keyboard(QStringLiteral("us,ru")))
        return false;
    // Windows coming and going wake the waits.
    XSelectInput(dpy(m_xlib), DefaultRootWindow(dpy(m_xlib)), SubstructureNotifyMask);
    XFlush(dpy(m_xlib));
    return true;
}

bool Journey::keyboard(const QString &layouts)
{
    QByteArray out;
    if (!runTool(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layouts}, &out))
        return fail(QStringLiteral("setxkbmap: ") + QString::fromLocal8Bit(out));
    return true;
}

bool Journey::xRunning() const
{
    return m_xlib != nullptr;
}

bool Journey::runTool(const QString &program, const QStringList &args, QByteArray *out, const QByteArray &input) const
{
    QProcess tool;
    tieToTest(tool);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    tool.setProcessEnvironment(env);
    tool.start(program, args);
    if (!tool.waitForStarted(patienceMs()))
        return false;
    if (!input.isEmpty())
        tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(patienceMs())) {
        tool.kill();
        tool.waitForFinished();
        return false;
    }
    if (out)
        *out = tool.readAllStandardOutput();
    const QByteArray errors = tool.readAllStandardError();
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        if (out)
            *out = errors;
        return false;
    }
    return true;
}

bool Journey::waitFor(const std::function<bool()> &condition, const QString &what)
{
    QElapsedTimer clock;
    clock.start();
    Display *d = dpy(m_xlib);
    for (;;) {
        if (condition())
            return true;
        if (clock.elapsed() > patienceMs())
            return fail(QStringLiteral("waited %1 s for %2").arg(patienceMs() / 1000).arg(what));
        if (m_program && m_program->state() == QProcess::NotRunning)
            return fail(QStringLiteral("the program ended (exit code %1) while waiting for %2")
                            .arg(m_program->exitCode())
                            .arg(what));
        // The next X event (a window shown, hidden or renamed) or, for what X does not tell
        // (the ledger), the next look a moment later.
        if (d && XPending(d) == 0) {
            pollfd fd{ConnectionNumber(d), POLLIN, 0};
            poll(&fd, 1, 40);
        } else if (!d) {
            QThread::msleep(40);
        }
        while (d && XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == MapNotify)
                XSelectInput(d, event.xmap.window, PropertyChangeMask);
        }
    }
}

QString Journey::windowName(unsigned long id) const
{
    Display *d = dpy(m_xlib);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QString name;
    if (XGetWindowProperty(d, id, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success
        && data) {
        name = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
        XFree(data);
    }
    return name;
}

// The program's visible top-level windows with their names: the main window has no
// transient parent; its dialogs and message boxes do.
unsigned long Journey::findWindow(const QString &title, bool wantMain, bool wantTransient) const
{
    if (!m_xlib)
        return 0;
    Display *d = dpy(m_xlib);
    Window root = 0, parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return 0;
    unsigned long found = 0;
    // Newest first: the top of the stacking order is at the end.
    for (int i = int(count) - 1; i >= 0 && !found; --i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(d, children[i], &attributes) || attributes.map_state != IsViewable
            || attributes.override_redirect)
            continue;
        Window transientFor = 0;
        const bool transient = XGetTransientForHint(d, children[i], &transientFor) && transientFor != 0;
        if (wantMain && transient)
            continue;
        if (wantTransient && !transient)
            continue;
        if (title.isNull() || windowName(children[i]) == title)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

unsigned long Journey::mainWindow() const
{
    return findWindow(QString(), true);
}

unsigned long Journey::findMessageBox() const
{
    // Message boxes carry the application's title; the main window may too, but it has
    // no transient parent.
    return findWindow(QStringLiteral("velTor"), false, true);
}

QString Journey::mainTitle() const
{
    const unsigned long main = mainWindow();
    return main ? windowName(main) : QString();
}

bool Journey::focus(unsigned long window)
{
    if (!window)
        return false;
    Display *d = dpy(m_xlib);
    XSetInputFocus(d, window, RevertToParent, CurrentTime);
    XSync(d, False);
    return true;
}

bool Journey::start()
{
    m_program = std::make_unique<QProcess>();
    tieToTest(*m_program);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("VELTOR_RATES_URL"), m_bank->base());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Built with the sanitizers, the program reports leaks at its end: only its own count.
    QString leaks = env.value(QStringLiteral("LSAN_OPTIONS"));
    if (!leaks.isEmpty())
        leaks += QLatin1Char(':');
    env.insert(QStringLiteral("LSAN_OPTIONS"), leaks + QStringLiteral("print_suppressions=0:suppressions=" VELTOR_E2E_LSAN));
    m_program->setProcessEnvironment(env);
    const QString log = shotFolder() + QLatin1Char('/') + testName() + QStringLiteral("-veltor.log");
    // One log per journey: a restart adds to it.
    if (m_starts++ == 0)
        QFile::remove(log);
    m_program->setStandardOutputFile(log, QIODevice::Append);
    m_program->setStandardErrorFile(log, QIODevice::Append);
    m_program->start(QStringLiteral(VELTOR_PROGRAM), {});
    if (!m_program->waitForStarted(patienceMs()))
        return fail(QStringLiteral("the program does not start: ") + m_program->errorString());
    if (!waitFor([this] { return mainWindow() != 0; }, QStringLiteral("the main window")))
        return false;
    focus(mainWindow());
    return true;
}

bool Journey::running() const
{
    return m_program && m_program->state() != QProcess::NotRunning;
}

int Journey::bankRequests() const
{
    return m_bank->requests();
}

bool Journey::quit()
{
    const unsigned long main = mainWindow();
    if (!main)
        return fail(QStringLiteral("no main window to close"));
    Display *d = dpy(m_xlib);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = main;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, main, False, NoEventMask, &event);
    XFlush(d);
    if (!m_program->waitForFinished(patienceMs()))
        return fail(QStringLiteral("the program does not end when its window is closed"));
    if (m_program->exitStatus() != QProcess::NormalExit || m_program->exitCode() != 0)
        return fail(QStringLiteral("the program ended with exit code %1").arg(m_program->exitCode()));
    return true;
}

bool Journey::windowShown(const QString &title) const
{
    return findWindow(title) != 0;
}

bool Journey::messageBoxShown() const
{
    return findMessageBox() != 0;
}

bool Journey::waitWindow(const QString &title)
{
    if (!waitFor([this, &title] { return findWindow(title) != 0; }, QStringLiteral("window \"%1\"").arg(title)))
        return false;
    return focus(findWindow(title));
}

bool Journey::waitGone(const QString &title)
{
    if (!waitFor([this, &title] { return findWindow(title) == 0; },
                 QStringLiteral("window \"%1\" to close").arg(title)))
        return false;
    // What a window manager does: the window below gets the focus back.
    const unsigned long box = findMessageBox();
    return focus(box ? box : mainWindow());
}

bool Journey::waitMainTitle(const QString &title)
{
    if (waitFor([this, &title] { return mainTitle() == title; },
                QStringLiteral("the main window's title \"%1\"").arg(title)))
        return true;
    m_why += QStringLiteral(" (it is \"%1\")").arg(mainTitle());
    return false;
}

bool Journey::waitMessageBox()
{
    if (!waitFor([this] { return findMessageBox() != 0; }, QStringLiteral("a message box")))
        return false;
    return focus(findMessageBox());
}

bool Journey::waitMessageBoxGone()
{
    if (!waitFor([this] { return findMessageBox() == 0; }, QStringLiteral("the message box to close")))
        return false;
    return focus(mainWindow());
}

bool Journey::key(const QString &keys)
{
    QByteArray out;
    QStringList args = {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")};
    args += keys.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!runTool(QStringLiteral("xdotool"), args, &out))
        return fail(QStringLiteral("xdotool key %1: %2").arg(keys, QString::fromLocal8Bit(out)));
    return true;
}

bool Journey::keyRepeat(const QString &key, int times)
{
    QStringList keys;
    for (int i = 0; i < times; ++i)
        keys << key;
    return this->key(keys.join(QLatin1Char(' ')));
}

bool Journey::type(const QString &text)
{
    QByteArray out;
    if (!runTool(QStringLiteral("xdotool"),
                 {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("--"), text},
                 &out))
        return fail(QStringLiteral("xdotool type %1: %2").arg(text, QString::fromLocal8Bit(out)));
    return true;
}

bool Journey::clickInMain(int x, int y)
{
    const QString window = QString::number(mainWindow());
    QByteArray out;
    if (!runTool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                  QString::number(y), QStringLiteral("click"), QStringLiteral("1")},
                 &out))
        return fail(QStringLiteral("xdotool click: ") + QString::fromLocal8Bit(out));
    return true;
}

bool Journey::wheelInMain(int x, int y, int clicks)
{
    const QString window = QString::number(mainWindow());
    QByteArray out;
    if (!runTool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                  QString::number(y), QStringLiteral("click"), QStringLiteral("--repeat"),
                  QString::number(qAbs(clicks)), QStringLiteral("--delay"), QStringLiteral("40"),
                  clicks > 0 ? QStringLiteral("5") : QStringLiteral("4")},
                 &out))
        return fail(QStringLiteral("xdotool wheel: ") + QString::fromLocal8Bit(out));
    return true;
}

QStringList Journey::rows(const QString &sql, const QString &file) const
{
    const QString path = file.isEmpty() ? ledger() : file;
    if (!QFileInfo::exists(path))
        return {QStringLiteral("(no file %1)").arg(path)};
    QByteArray out;
    if (!runTool(QStringLiteral("sqlite3"),
                 {QStringLiteral("-readonly"), QStringLiteral("-batch"), QStringLiteral("-noheader"),
                  QStringLiteral("-cmd"), QStringLiteral(".timeout 5000"), path, sql},
                 &out))
        return {QStringLiteral("(sqlite3: %1)").arg(QString::fromUtf8(out).trimmed())};
    QString text = QString::fromUtf8(out);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

QString Journey::value(const QString &sql, const QString &file) const
{
    return rows(sql, file).join(QLatin1Char('\n'));
}

bool Journey::sqlWrite(const QString &sql, const QString &file)
{
    const QString path = file.isEmpty() ? ledger() : file;
    QByteArray out;
    if (!runTool(QStringLiteral("sqlite3"),
                 {QStringLiteral("-batch"), QStringLiteral("-cmd"), QStringLiteral(".timeout 5000"),
                  QStringLiteral("-cmd"), QStringLiteral("PRAGMA foreign_keys=ON;"), path},
                 &out, sql.toUtf8()))
        return fail(QStringLiteral("sqlite3 write: ") + QString::fromUtf8(out));
    return true;
}

bool Journey::waitLedger(const QString &sql, const QString &expected, const QString &file)
{
    QString seen;
    const bool ok = waitFor(
        [&] {
            seen = value(sql, file);
            return seen == expected;
        },
        QStringLiteral("the ledger"));
    if (!ok)
        m_why = QStringLiteral("%1: \"%2\" gives\n%3\nexpected\n%4").arg(m_why, sql, seen, expected);
    return ok;
}

QString Journey::shot(const QString &name) const
{
    const QString path = shotFolder() + QLatin1Char('/') + testName() + QLatin1Char('-') + name + QStringLiteral(".png");
    runTool(QStringLiteral("import"), {QStringLiteral("-display"), m_display, QStringLiteral("-window"),
                                       QStringLiteral("root"), path});
    return path;
}

QByteArray Journey::grab(int x, int y, int w, int h) const
{
    const unsigned long main = mainWindow();
    if (!main)
        return {};
    Display *d = dpy(m_xlib);
    XImage *image = XGetImage(d, main, x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (!image)
        return {};
    QByteArray pixels(image->data, image->bytes_per_line * image->height);
    XDestroyImage(image);
    return pixels;
}

bool Journey::settled()
{
    // Two looks in a row, a moment apart, that see the same pixels.
    QByteArray last = wholeMain();
    bool first = true;
    return waitFor(
        [&] {
            if (first) {
                first = false;
                return false;
            }
            const QByteArray now = wholeMain();
            const bool same = now == last;
            last = now;
            return same;
        },
        QStringLiteral("the screen to settle"));
}

QByteArray Journey::wholeMain() const
{
    const unsigned long main = mainWindow();
    if (!main)
        return {};
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy(m_xlib), main, &attributes))
        return {};
    return grab(0, 0, attributes.width, attributes.height);
}

bool Journey::createLedger(const QString &path, QString *why)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        ledger::Connection::create(path);
    } catch (const ledger::Error &error) {
        *why = error.text();
        return false;
    }
    return true;
}

} // namespace e2e
