#include "chartwindow.h"

#include "plot.h"

#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/error.h"

#include <QAction>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace charts {

ChartWindow::ChartWindow(ledger::Session &session, const WindowLook &look, QWidget *parent)
    : ui::ChildWindow(look.caption, look.objectName, look.size, look.place, parent)
    , m_session(session)
{
    setWindowIcon(ui::icon(look.icon));

    auto *content = new QWidget(this);
    content->setAutoFillBackground(true);
    QPalette background = content->palette();
    background.setColor(QPalette::Window, look.whiteBackground ? QColor(Qt::white) : background.color(QPalette::Button));
    content->setPalette(background);
    auto *layout = m_layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolBar = ui::windowToolBar(content);
    m_toolBar->setFloatable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setAutoFillBackground(true);
    QPalette face = m_toolBar->palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    m_toolBar->setPalette(face);

    m_period = ui::addPeriodBox(m_toolBar, look.preselected, QStringLiteral("Label1"));

    QAction *separator = m_toolBar->addSeparator();
    separator->setObjectName(QStringLiteral("ToolButton3"));
    if (QWidget *gap = m_toolBar->widgetForAction(separator)) {
        gap->setObjectName(QStringLiteral("ToolButton3"));
        gap->setFixedWidth(8);
    }

    auto *print = new QToolButton(m_toolBar);
    print->setObjectName(QStringLiteral("ToolButton1"));
    print->setIcon(ui::icon(QStringLiteral("print")));
    print->setAutoRaise(true);
    ui::setHint(print, QStringLiteral("Печать|Печать графика"), look.tooltips);
    ui::nameForAccessibility(print, QStringLiteral("Печать"));
    m_toolBar->addWidget(print);
    layout->addWidget(m_toolBar);

    m_view = new ChartView(new QChart, content);
    m_view->setObjectName(QStringLiteral("DBChart1"));
    m_view->setFrameShape(QFrame::NoFrame);
    m_plot = new Plot(m_view);
    layout->addWidget(m_view, 1);
    setWidget(content);

    // A pick, even of the item already shown, reads the ledger again.
    connect(m_period, &QComboBox::activated, this, ui::guarded(this, [this] { loadPeriod(); }));
    connect(print, &QToolButton::clicked, this, ui::guarded(this, [this] { printChart(); }));
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::addBelowChart(QWidget *widget)
{
    m_layout->addWidget(widget);
}

bool ChartWindow::wholePeriod() const
{
    return m_period->currentIndex() == 1;
}

void ChartWindow::start()
{
    loadPeriod();
}

void ChartWindow::loadPeriod()
{
    load(wholePeriod());
}

void ChartWindow::printChart()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    if (!ui::confirmPrint(window(), &printer))
        return;
    QPainter painter;
    if (!painter.begin(&printer))
        throw ledger::Error(QStringLiteral("Печать невозможна: принтер не готов"));
    // The page's printable area, whatever the chart's proportions on screen.
    const QRectF page(0, 0, printer.width(), printer.height());
    m_view->render(&painter, page, m_view->viewport()->rect(), Qt::IgnoreAspectRatio);
    painter.end();
}

} // namespace charts
