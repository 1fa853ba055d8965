#pragma once

#include <QString>

class QTableView;
class QToolBar;

namespace ui {
class ChildWindow;
}

namespace entries {

class GridColumns;

// What the journal and the report are built of: a toolbar (ToolBar1) along the top, filled
// by the window, over a ledger grid (Tov) showing its columns, with the export menu.

// The toolbar of `window`'s content, which the window fills before the grid comes.
QToolBar *gridWindowToolBar(ui::ChildWindow *window);

// The grid under that toolbar, showing `columns` at their widths, named `accessibleName`;
// the content becomes the window's widget.
QTableView *addGridUnder(ui::ChildWindow *window, QToolBar *toolBar, GridColumns *columns,
                         const QString &accessibleName);

} // namespace entries
