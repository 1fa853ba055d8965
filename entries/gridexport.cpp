#include "gridexport.h"

#include "gridcolumns.h"

#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "ledger/csvexport.h"
#include "ledger/dataset.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QTableView>

namespace entries {

void exportGrid(QWidget *parent, const GridColumns &columns, const QTableView *grid)
{
    const ledger::Dataset &dataset = columns.dataset();
    if (!dataset.connection() || dataset.source().isEmpty())
        return;
    QList<ledger::csv::Column> shown;
    for (int c = 0; c < columns.columnCount(); ++c) {
        if (!grid->isColumnHidden(c))
            shown.append({columns.column(c).field, columns.column(c).title});
    }
    QString path = ui::chooseFile({parent, true, QStringLiteral("Файлы CSV (*.csv)"), QStringLiteral("csv")});
    if (path.isEmpty())
        return;
    path = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path)
        && !ui::askYesNo(parent, QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(path)))
        return;

    QProgressDialog progress(QStringLiteral("Экспорт в CSV..."), QStringLiteral("Отмена"), 0, 100, parent);
    // Shown from the first report on (every few thousand rows), so a short export never flashes it.
    ui::setUpProgress(progress, QStringLiteral("ExportProgress"), 0);
    bool first = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        ledger::csv::exportView(*dataset.connection(), dataset.source(), shown, path,
                                          [&](qint64 done, qint64 total) {
                                              if (first) {
                                                  // The first report is the start: it arms the dialog's clock.
                                                  first = false;
                                                  progress.setValue(0);
                                                  return true;
                                              }
                                              progress.setValue(total > 0 ? int(done * 100 / total) : 0);
                                              return !progress.wasCanceled();
                                          });
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    progress.close();
}

QMenu *addExportMenu(QWidget *window, QTableView *grid, const GridColumns &columns)
{
    auto *menu = new QMenu(grid);
    menu->setObjectName(QStringLiteral("GridMenu"));
    QAction *action = menu->addAction(QStringLiteral("Экспорт в CSV…"));
    action->setObjectName(QStringLiteral("ExportCsv"));
    action->setStatusTip(QStringLiteral("Сохранить показанные записи в файл для электронной таблицы"));
    QObject::connect(action, &QAction::triggered, window,
                     ui::guarded(window, [window, grid, &columns] { exportGrid(window, columns, grid); }));
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(grid, &QWidget::customContextMenuRequested, menu,
                     [menu, grid](const QPoint &at) { menu->popup(grid->viewport()->mapToGlobal(at)); });
    return menu;
}

} // namespace entries
