#include "childwindows.h"

#include "widgets/childwindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace app {

ChildWindows::ChildWindows(QMdiArea &area)
    : m_area(area)
{
}

void ChildWindows::add(ChildKind kind, Factory factory)
{
    m_kinds[kind].factory = std::move(factory);
}

QMdiSubWindow *ChildWindows::find(ChildKind kind) const
{
    const auto known = m_kinds.constFind(kind);
    if (known == m_kinds.cend() || !known->window)
        return nullptr;
    // A window already closed waits for its deletion; it no longer counts.
    return known->window->isVisible() ? known->window.data() : nullptr;
}

QMdiSubWindow *ChildWindows::open(ChildKind kind)
{
    if (QMdiSubWindow *open = find(kind))
        return open;
    Kind &known = m_kinds[kind];
    if (!known.factory)
        return nullptr;
    ui::ChildWindow *window = known.factory();
    known.window = window;
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
