#pragma once

#include <QMap>
#include <QString>

#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace ui {
class ChildWindow;
}

namespace app {

// The kinds of window the main window's MDI area holds, one of each at a time.
enum class ChildKind { Journal, Report, IncomeExpenseChart, TopChart, RatesChart, PriceHistory };

// The register of the MDI area's child windows: the caption and the factory of each kind, which
// one is open, and closing them all. A kind is known by its caption, as the windows have no
// other name a user could tell apart.
class ChildWindows
{
public:
    using Factory = std::function<ui::ChildWindow *()>;

    explicit ChildWindows(QMdiArea &area);

    void add(ChildKind kind, const QString &caption, Factory factory);
    // The window of a kind, created when none with its caption is open; an open one is left
    // as it is. nullptr when the kind has no factory.
    QMdiSubWindow *open(ChildKind kind);
    QMdiSubWindow *find(const QString &caption) const;
    // Asks every window to close, as the user would.
    void closeAll();
    // Deletes every window at once, for when what they read is about to go.
    void deleteAll();

private:
    struct Kind
    {
        QString caption;
        Factory factory;
    };

    QMdiArea &m_area;
    QMap<ChildKind, Kind> m_kinds;
};

} // namespace app
