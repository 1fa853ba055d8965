#pragma once

#include <QString>

#include <functional>

class QMenu;
class QTableView;
class QWidget;

namespace entries {

class GridColumns;

enum class ExportFormat { Csv, Excel };

// "Экспорт в CSV…" and "Экспорт в Excel…" of a grid: asks for a file (in the folder of the last
// export, or else the ledger's, named after the window and the day) and writes the rows of the
// grid's dataset for the period shown, with the columns the grid shows and their titles, behind
// a progress dialog that can cancel it. A cancelled export leaves no file; a finished one says
// in the main window's status bar how many rows went where.
void exportGrid(QWidget *parent, const GridColumns &columns, const QTableView *grid, ExportFormat format);

// The grid's context menu with the export commands (objectNames "ExportCsv", "ExportXlsx").
QMenu *addExportMenu(QWidget *window, QTableView *grid, const GridColumns &columns);

// Where the folder of the last export is kept between runs: the program gives its settings.
struct ExportFolderMemory
{
    std::function<QString()> read;
    std::function<void(const QString &)> write;
};
void setExportFolderMemory(ExportFolderMemory memory);

// "Журнал-2026-12-11.csv": the window caption's first word and the day.
QString suggestedFileName(const QString &caption, ExportFormat format);

} // namespace entries
