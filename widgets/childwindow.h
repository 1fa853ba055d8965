#pragma once

#include <QMdiSubWindow>
#include <QPoint>

namespace ui {

// A window inside the main window's MDI area: destroyed when closed. On the first tick of
// its one-shot start timer it moves to its place in the client area and calls start(),
// where it loads its data.
class ChildWindow : public QMdiSubWindow
{
    Q_OBJECT

public:
    ChildWindow(const QString &caption, const QString &objectName, const QSize &size, const QPoint &place,
                QWidget *parent = nullptr);

    bool isStarted() const { return m_started; }

signals:
    void started();

protected:
    virtual void start() {}

private:
    QPoint m_place;
    bool m_started = false;
};

} // namespace ui
