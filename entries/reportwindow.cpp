#include "reportwindow.h"

#include "gridcolumns.h"
#include "gridexport.h"
#include "gridwindow.h"

#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/session.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QToolBar>

namespace entries {

namespace {
constexpr QSize kSize(578, 403);
constexpr int kFirstColumnMargin = 356;
// What the first column gains when price and quantity are hidden.
constexpr int kHiddenColumnsWidth = 132;

enum ReportColumn { Name, Price, Counts, Sum, Date };
} // namespace

ReportWindow::ReportWindow(ledger::Session &session, QWidget *parent)
    : ui::ChildWindow(kCaption, QStringLiteral("TForm12"), kSize, QPoint(0, 50), parent)
    , m_session(session)
{
    setWindowIcon(ui::icon(QStringLiteral("window-report")));
    QToolBar *toolBar = gridWindowToolBar(this);
    auto *kindLabel = new QLabel(QStringLiteral("   Отчёт по: "), toolBar);
    toolBar->addWidget(kindLabel);
    toolBar->addSeparator();
    m_kind = new QComboBox(toolBar);
    m_kind->setObjectName(QStringLiteral("ComboBox2"));
    m_kind->addItems({QStringLiteral("Расходам"), QStringLiteral("Доходам")});
    m_kind->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    kindLabel->setBuddy(m_kind);
    ui::nameForAccessibility(m_kind, QStringLiteral("Отчёт по"));
    toolBar->addWidget(m_kind);
    m_period = ui::addPeriodBox(toolBar, 0);
    toolBar->addSeparator();

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    m_columns = new GridColumns(session.report(),
                                {{QStringLiteral("names"), QStringLiteral(" Наименование"), kSize.width() - kFirstColumnMargin},
                                 {QStringLiteral("price"), QStringLiteral("Цена"), 70, right, right},
                                 {QStringLiteral("counts"), QStringLiteral("Кол-во"), 60, right, Qt::AlignCenter},
                                 {QStringLiteral("suma"), QStringLiteral("Сумма"), 80, right, right},
                                 {QStringLiteral("dates"), QStringLiteral("Дата"), -1, Qt::AlignCenter,
                                  Qt::AlignCenter}},
                                this);
    m_grid = addGridUnder(this, toolBar, m_columns, QStringLiteral("Отчёт"));
    setFocusProxy(m_kind);

    connect(m_kind, &QComboBox::currentIndexChanged, this, ui::guarded(this, [this] { select(); }));
    connect(m_period, &QComboBox::currentIndexChanged, this, ui::guarded(this, [this] { select(); }));
}

void ReportWindow::start()
{
    select();
    m_kind->setFocus();
}

void ReportWindow::select()
{
    static const QString sources[2][2] = {{QStringLiteral("ListRashod"), QStringLiteral("ListRashodAll")},
                                          {QStringLiteral("ListDohod"), QStringLiteral("ListDohodAll")}};
    const bool incomes = m_kind->currentIndex() == 1;
    ledger::Dataset &report = m_session.report();
    report.close();
    report.setSource(sources[incomes ? 1 : 0][m_period->currentIndex() == 1 ? 1 : 0]);
    m_columns->setField(Name, incomes ? QStringLiteral("nam") : QStringLiteral("names"));
    m_grid->setColumnHidden(Price, incomes);
    m_grid->setColumnHidden(Counts, incomes);
    report.open();
    fitFirstColumn();
}

void ReportWindow::resizeEvent(QResizeEvent *event)
{
    ui::ChildWindow::resizeEvent(event);
    fitFirstColumn();
}

void ReportWindow::fitFirstColumn()
{
    if (!m_grid)
        return;
    const int extra = m_grid->isColumnHidden(Price) ? kHiddenColumnsWidth : 0;
    m_grid->setColumnWidth(Name, qMax(0, width() - kFirstColumnMargin + extra));
}

void ReportWindow::exportShown(ExportFormat format)
{
    exportGrid(this, *m_columns, m_grid, format);
}

} // namespace entries
