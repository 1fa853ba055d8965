// Reading the five tables of a Jet 4.0 file: libmdb (mdbreader.cpp) is a C parser of foreign
// files, not ours to vouch for, so on Unix it runs in a forked child process that does
// nothing but call libmdb and write what it finds, in a small binary stream, down a pipe;
// the parent decodes the stream into rows (decoder.cpp). A child that crashes, hangs or
// stops short means a damaged file, and the program goes on. The child touches no Qt and no
// state of the parent.

#include "decoder.h"
#include "detail.h"
#include "mdbreader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtGlobal>

#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace jet::detail {

#ifdef Q_OS_UNIX

namespace {

// The reading child: killed and reaped on every way out, so that none is left behind.
class Child
{
public:
    Child(pid_t pid, int fd)
        : m_pid(pid)
        , m_fd(fd)
    {
    }
    ~Child()
    {
        ::close(m_fd);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    int fd() const { return m_fd; }
    void kill() { ::kill(m_pid, SIGKILL); }

    // True when the child ended normally, with status 0.
    bool wait()
    {
        int status = 0;
        pid_t result;
        do {
            result = ::waitpid(m_pid, &status, 0);
        } while (result < 0 && errno == EINTR);
        m_pid = -1;
        return result > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_pid;
    int m_fd;
};

[[noreturn]] void runChild(const char *path, unsigned long pageCount, int fd)
{
    // A crash here must end only this process, quietly: no handler of the parent's, no core
    // file, no libmdb chatter on the terminal.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE})
        ::signal(sig, SIG_DFL);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0)
        ::dup2(devnull, STDERR_FILENO);
    int code = 0;
    try {
        Sink out(fd);
        readInto(path, pageCount, out);
    } catch (...) {
        code = 3;
    }
    // _exit: nothing of the parent's (atexit handlers, stdio buffers) may run twice.
    ::_exit(code);
}

// A reader that sends nothing for this long is taken to be stuck on a damaged file.
constexpr qint64 kSilenceLimitMs = 120 * 1000;

} // namespace

Tables readTables(const QString &path, unsigned long pageCount, Meter &meter)
{
    const QByteArray nativePath = QFile::encodeName(path);
    int fds[2];
    if (::pipe(fds) != 0)
        throw JetError(path, QStringLiteral("Не удалось начать чтение файла «%1»: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw JetError(path, QStringLiteral("Не удалось начать чтение файла «%1»: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    if (pid == 0) {
        ::close(fds[0]);
        runChild(nativePath.constData(), pageCount, fds[1]);
    }
    ::close(fds[1]);

    Child child(pid, fds[0]);
    Decoder decoder(path, pageCount, meter);
    QElapsedTimer silence;
    silence.start();
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        pollfd ready{child.fd(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, 100);
        if (polled < 0 && errno != EINTR)
            break;
        if (polled > 0) {
            const ssize_t n = ::read(child.fd(), chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // the end of the stream, or a pipe that broke: the decoder tells
            decoder.feed(chunk.data(), n);
            silence.restart();
        } else if (silence.elapsed() > kSilenceLimitMs) {
            child.kill();
            break;
        }
        meter.poll(); // may raise Cancelled; the child is then killed on the way out
    }
    return decoder.finish(child.wait());
}

#else

// Without fork() libmdb reads in this process: a crash on a damaged file is not contained.
Tables readTables(const QString &path, unsigned long pageCount, Meter &meter)
{
    const QByteArray nativePath = QFile::encodeName(path);
    Sink out;
    readInto(nativePath.constData(), pageCount, out);
    Decoder decoder(path, pageCount, meter);
    decoder.feed(out.buffer().data(), qsizetype(out.buffer().size()));
    return decoder.finish(true);
}

#endif

} // namespace jet::detail
