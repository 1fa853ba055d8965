#include "childwindows.h"

#include "widgets/childwindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace app {

ChildWindows::ChildWindows(QMdiArea &area)
    : m_area(area)
{
}

void ChildWindows::add(ChildKind kind, const QString &caption, Factory factory)
{
    m_kinds[kind] = {caption, std::move(factory)};
}

QMdiSubWindow *ChildWindows::find(const QString &caption) const
{
    for (QMdiSubWindow *window : m_area.subWindowList()) {
        // A window already closed waits for its deletion; it no longer counts.
        if (window->windowTitle() == caption && window->isVisible())
            return window;
    }
    return nullptr;
}

QMdiSubWindow *ChildWindows::open(ChildKind kind)
{
    const Kind known = m_kinds.value(kind);
    if (QMdiSubWindow *open = find(known.caption))
        return open;
    if (!known.factory)
        return nullptr;
    ui::ChildWindow *window = known.factory();
    m_area.addSubWindow(window);
    window->show();
    return window;
}

void ChildWindows::closeAll()
{
    for (QMdiSubWindow *window : m_area.subWindowList())
        window->close();
}

void ChildWindows::deleteAll()
{
    for (QMdiSubWindow *window : m_area.subWindowList())
        delete window;
}

} // namespace app
