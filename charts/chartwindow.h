#pragma once

#include "widgets/childwindow.h"

#include <QPoint>
#include <QSize>
#include <QString>

class QChartView;
class QComboBox;
class QToolBar;
class QVBoxLayout;

namespace ledger {
class Session;
}

namespace charts {

class Plot;

// What sets one chart window apart from the others.
struct WindowLook
{
    QString caption;
    QString objectName;
    QSize size;
    QPoint place;           // in the main window's client area, after the first tick
    int preselected = 0;    // 0 "За текущий месяц", 1 "За весь период"
    bool tooltips = true;   // off: hints reach the status bar only
    QString icon;           // the window icon's name
    bool whiteBackground = true;
};

// The shape every chart window shares: a toolbar with the period box and the print
// button over the chart. The first tick of the start timer places the window and loads
// the preselected period; each pick in the period box loads again from the ledger; the
// print button prints the chart as shown; closing the window destroys it.
class ChartWindow : public ui::ChildWindow
{
    Q_OBJECT

public:
    ChartWindow(ledger::Session &session, const WindowLook &look, QWidget *parent = nullptr);
    ~ChartWindow() override;

    Plot &plot() { return *m_plot; }
    QChartView *chartView() const { return m_view; }
    QComboBox *periodBox() const { return m_period; }
    bool wholePeriod() const;

    // Loads the chart for the period picked in the period box.
    void loadPeriod();
    // Shows the print dialog and, when it is confirmed, prints the chart on one page,
    // stretched over the printable area.
    void printChart();

protected:
    void start() override;
    // Reads the period's rows from the ledger and fills the chart.
    virtual void load(bool wholePeriod) = 0;
    ledger::Session &session() { return m_session; }
    // For a window with more to show: its toolbar, and a strip under the chart.
    QToolBar *toolBar() const { return m_toolBar; }
    void addBelowChart(QWidget *widget);

private:
    ledger::Session &m_session;
    QVBoxLayout *m_layout = nullptr;
    QToolBar *m_toolBar = nullptr;
    QComboBox *m_period = nullptr;
    QChartView *m_view = nullptr;
    Plot *m_plot = nullptr;
};

} // namespace charts
