#include "waiting.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>

#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace rates {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Holds the user's input back while the wait lasts and hands it on afterwards, in order.
// The wait's event loop itself runs everything: a loop that excluded user input would also
// hold back the window manager's close, which X delivers as user input, and quitting would
// have to wait for the download.
class HeldInput : public QObject
{
public:
    HeldInput() { QCoreApplication::instance()->installEventFilter(this); }
    ~HeldInput() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        for (auto &[receiver, event] : m_held) {
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
        }
    }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (!event->spontaneous() || !isUserInput(event->type()))
            return false;
        m_held.emplace_back(QPointer<QObject>(receiver), std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_held;
};

} // namespace

void runWaiting(const std::function<void()> &work)
{
    std::exception_ptr failure;
    std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    {
        HeldInput held;
        QEventLoop loop;
        // finished comes from the worker and reaches the loop queued, so it cannot be missed
        // even when the work is done before exec() starts.
        QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
        thread->start();
        loop.exec();
        thread->wait();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace rates
