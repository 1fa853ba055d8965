#include "gridwindow.h"

#include "gridcolumns.h"
#include "gridexport.h"

#include "widgets/childwindow.h"
#include "widgets/widgets.h"

#include <QToolBar>
#include <QVBoxLayout>

namespace entries {

QToolBar *gridWindowToolBar(ui::ChildWindow *window)
{
    return ui::windowToolBar(new QWidget(window));
}

QTableView *addGridUnder(ui::ChildWindow *window, QToolBar *toolBar, GridColumns *columns,
                         const QString &accessibleName)
{
    QWidget *content = toolBar->parentWidget();
    auto *grid = new LedgerGrid(content);
    grid->setObjectName(QStringLiteral("Tov"));
    ui::nameForAccessibility(grid, accessibleName);
    grid->setModel(columns);
    setUpGrid(grid);
    columns->applyWidths(grid);
    addExportMenu(window, grid, *columns);

    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(grid, 1);
    window->setWidget(content);
    return grid;
}

} // namespace entries
