#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QProgressDialog;
class QWidget;

// The program's file and print dialogs, with one seam through which tests answer them.
namespace ui {

struct FileRequest
{
    QWidget *parent = nullptr;
    bool save = false;
    QString filter;        // "Файлы базы данных (*.tor)"
    QString defaultSuffix; // "tor"
    bool hidePattern = false; // the filter shows its name alone, "Файлы базы данных"
    QString suggested = {};   // the folder to open in and the file name to offer, as one path
};

// The chosen path, or an empty text when the user cancelled.
QString chooseFile(const FileRequest &request);
// Several existing files to open at once (all of them picked in one dialog); empty when the
// user cancelled. A test's file handler answers it with one path.
QStringList chooseFiles(const FileRequest &request);
using FileHandler = std::function<QString(const FileRequest &)>;
void setFileHandler(FileHandler handler);

// Shows the print dialog for `printer`; true when the user confirmed it.
bool confirmPrint(QWidget *parent, QPrinter *printer);
using PrintHandler = std::function<bool(QPrinter *)>;
void setPrintHandler(PrintHandler handler);

// A long task's progress dialog as the program shows it: captioned "velTor", modal to its
// window, shown once the task has run `minimumDuration` ms, and left to the task to close.
void setUpProgress(QProgressDialog &progress, const QString &objectName, int minimumDuration);

} // namespace ui
