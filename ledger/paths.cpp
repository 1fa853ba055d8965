#include "paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace ledger::paths {

QString applicationFolder()
{
#ifdef Q_OS_WIN
    QString folder = QCoreApplication::applicationDirPath();
#else
    // A ledger must never live inside a build folder that a rebuild may delete.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
    QDir().mkpath(folder);
    folder = QDir::toNativeSeparators(folder);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

QString complete(const QString &path)
{
    if (QDir::isRelativePath(path))
        return applicationFolder() + path;
    return path;
}

QString stripApplicationFolder(const QString &path)
{
    QString stripped = path;
    stripped.remove(applicationFolder(), Qt::CaseSensitive);
    return stripped;
}

} // namespace ledger::paths
