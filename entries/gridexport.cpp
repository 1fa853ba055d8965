#include "gridexport.h"

#include "gridcolumns.h"

#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "ledger/csvexport.h"
#include "ledger/dataset.h"
#include "ledger/database.h"
#include "ledger/xlsxexport.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTableView>

namespace entries {

namespace {

ExportFolderMemory &folderMemory()
{
    static ExportFolderMemory memory;
    return memory;
}

// "1 строка", "3 строки", "25 строк".
QString rowsText(qint64 n)
{
    const qint64 tens = n % 100;
    const qint64 ones = n % 10;
    const char *word = (tens >= 11 && tens <= 14) ? "строк" : ones == 1 ? "строка" : (ones >= 2 && ones <= 4) ? "строки" : "строк";
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

QString startFolder(const ledger::Dataset &dataset)
{
    if (folderMemory().read) {
        const QString last = folderMemory().read();
        if (!last.isEmpty() && QFileInfo(last).isDir())
            return last;
    }
    return QFileInfo(dataset.connection()->path()).absolutePath();
}

} // namespace

void setExportFolderMemory(ExportFolderMemory memory)
{
    folderMemory() = std::move(memory);
}

QString suggestedFileName(const QString &caption, ExportFormat format)
{
    QString name = caption.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    // A caption may hold what a file name cannot.
    for (const QChar c : QStringLiteral("/\\:*?\"<>|"))
        name.replace(c, QLatin1Char('-'));
    if (name.isEmpty())
        name = QStringLiteral("Экспорт");
    return QStringLiteral("%1-%2.%3")
        .arg(name, QDate::currentDate().toString(Qt::ISODate),
             format == ExportFormat::Csv ? QStringLiteral("csv") : QStringLiteral("xlsx"));
}

void exportGrid(QWidget *parent, const GridColumns &columns, const QTableView *grid, ExportFormat format)
{
    const ledger::Dataset &dataset = columns.dataset();
    if (!dataset.connection() || dataset.source().isEmpty())
        return;
    QList<ledger::exporting::Column> shown;
    for (int c = 0; c < columns.columnCount(); ++c) {
        if (!grid->isColumnHidden(c))
            shown.append({columns.column(c).field, columns.column(c).title});
    }
    const bool csv = format == ExportFormat::Csv;
    ui::FileRequest request{parent, true,
                            csv ? QStringLiteral("Файлы CSV (*.csv)") : QStringLiteral("Книги Excel (*.xlsx)"),
                            csv ? QStringLiteral("csv") : QStringLiteral("xlsx")};
    request.suggested = QDir(startFolder(dataset)).filePath(suggestedFileName(parent->windowTitle(), format));
    QString path = ui::chooseFile(request);
    if (path.isEmpty())
        return;
    path = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path)
        && !ui::askYesNo(parent, QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(path)))
        return;

    QProgressDialog progress(csv ? QStringLiteral("Экспорт в CSV...") : QStringLiteral("Экспорт в Excel..."),
                             QStringLiteral("Отмена"), 0, 100, parent);
    // Shown from the first report on (every few thousand rows), so a short export never flashes it.
    ui::setUpProgress(progress, QStringLiteral("ExportProgress"), 0);
    bool first = true;
    const ledger::exporting::Progress report = [&](qint64 done, qint64 total) {
        if (first) {
            // The first report is the start: it arms the dialog's clock.
            first = false;
            progress.setValue(0);
            return true;
        }
        progress.setValue(total > 0 ? int(done * 100 / total) : 0);
        return !progress.wasCanceled();
    };
    qint64 written = -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        written = csv ? ledger::csv::exportRows(*dataset.connection(), dataset.source(), shown, path, report)
                      : ledger::xlsx::exportView(*dataset.connection(), dataset.source(), shown, path, report);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    progress.close();
    if (written < 0)
        return;
    const QString folder = QFileInfo(path).absolutePath();
    if (folderMemory().write)
        folderMemory().write(folder);
    if (auto *main = qobject_cast<QMainWindow *>(parent->window()))
        main->statusBar()->showMessage(
            QStringLiteral("Записано %1 в файл «%2»").arg(rowsText(written), path), 30000);
}

QMenu *addExportMenu(QWidget *window, QTableView *grid, const GridColumns &columns)
{
    auto *menu = new QMenu(grid);
    menu->setObjectName(QStringLiteral("GridMenu"));
    const auto add = [&](const char *name, const QString &text, ExportFormat format) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setStatusTip(QStringLiteral("Сохранить показанные записи в файл для электронной таблицы"));
        QObject::connect(action, &QAction::triggered, window, ui::guarded(window, [window, grid, &columns, format] {
                             exportGrid(window, columns, grid, format);
                         }));
    };
    add("ExportCsv", QStringLiteral("Экспорт в CSV…"), ExportFormat::Csv);
    add("ExportXlsx", QStringLiteral("Экспорт в Excel…"), ExportFormat::Excel);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(grid, &QWidget::customContextMenuRequested, menu,
                     [menu, grid](const QPoint &at) { menu->popup(grid->viewport()->mapToGlobal(at)); });
    return menu;
}

} // namespace entries
