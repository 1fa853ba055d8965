#pragma once

#include <QMap>
#include <QPointer>

#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace ui {
class ChildWindow;
}

namespace app {

// The kinds of window the main window's MDI area holds, one of each at a time.
enum class ChildKind { Journal, Report, IncomeExpenseChart, TopChart, RatesChart, PriceHistory };

// The register of the MDI area's child windows: the factory of each kind, the window of each
// kind that is open, and closing them all. A window is known by its kind, never by its
// caption: the caption is the window's own text and may change freely.
class ChildWindows
{
public:
    using Factory = std::function<ui::ChildWindow *()>;

    explicit ChildWindows(QMdiArea &area);

    void add(ChildKind kind, Factory factory);
    // The window of a kind, created when none is open; an open one is left as it is.
    // nullptr when the kind has no factory.
    QMdiSubWindow *open(ChildKind kind);
    // The open window of a kind, or nullptr.
    QMdiSubWindow *find(ChildKind kind) const;
    // Asks every window to close, as the user would.
    void closeAll();
    // Deletes every window at once, for when what they read is about to go.
    void deleteAll();

private:
    struct Kind
    {
        Factory factory;
        QPointer<ui::ChildWindow> window;
    };

    QMdiArea &m_area;
    QMap<ChildKind, Kind> m_kinds;
};

} // namespace app
