#include "dialogs.h"

#include "messages.h"
#include "seam.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QPrinter>

namespace ui {

void setFileHandler(FileHandler handler)
{
    handlerOf<FileHandler>() = std::move(handler);
}

void setPrintHandler(PrintHandler handler)
{
    handlerOf<PrintHandler>() = std::move(handler);
}

namespace {

QStringList runFileDialog(const FileRequest &request, bool several)
{
    QFileDialog dialog(request.parent);
    dialog.setObjectName(request.save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile
                                    : several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setOption(QFileDialog::HideNameFilterDetails, request.hidePattern);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.suggested.isEmpty()) {
        dialog.setDirectory(QFileInfo(request.suggested).absolutePath());
        dialog.selectFile(QFileInfo(request.suggested).fileName());
    }
    // Replacing a file is refused later anyway; the question would only mislead.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace

QString chooseFile(const FileRequest &request)
{
    if (const FileHandler &handler = handlerOf<FileHandler>())
        return handler(request);
    const QStringList chosen = runFileDialog(request, false);
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

QStringList chooseFiles(const FileRequest &request)
{
    if (const FileHandler &handler = handlerOf<FileHandler>()) {
        const QString path = handler(request);
        return path.isEmpty() ? QStringList() : QStringList{path};
    }
    return runFileDialog(request, true);
}

bool confirmPrint(QWidget *parent, QPrinter *printer)
{
    if (const PrintHandler &handler = handlerOf<PrintHandler>())
        return handler(printer);
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void setUpProgress(QProgressDialog &progress, const QString &objectName, int minimumDuration)
{
    progress.setObjectName(objectName);
    progress.setWindowTitle(kAppTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(minimumDuration);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
}

} // namespace ui
