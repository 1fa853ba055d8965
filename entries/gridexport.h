#pragma once

class QMenu;
class QTableView;
class QWidget;

namespace entries {

class GridColumns;

// "Экспорт в CSV…" of a grid: asks for a file and writes the rows of the grid's dataset for
// the period shown, with the columns the grid shows and their titles, behind a progress
// dialog that can cancel it. A cancelled export leaves no file.
void exportGrid(QWidget *parent, const GridColumns &columns, const QTableView *grid);

// The grid's context menu with the export command (objectName "ExportCsv") on it.
QMenu *addExportMenu(QWidget *window, QTableView *grid, const GridColumns &columns);

} // namespace entries
