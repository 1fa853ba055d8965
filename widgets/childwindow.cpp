#include "childwindow.h"

#include "guard.h"

#include <QTimer>

namespace ui {

ChildWindow::ChildWindow(const QString &caption, const QString &objectName, const QSize &size, const QPoint &place,
                         QWidget *parent)
    : QMdiSubWindow(parent)
    , m_place(place)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(size);
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setSingleShot(true);
    timer->setInterval(1);
    connect(timer, &QTimer::timeout, this, [this] {
        m_started = true;
        move(m_place);
        guard(this, [this] { start(); });
        emit started();
    });
    timer->start();
}

} // namespace ui
