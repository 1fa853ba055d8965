#pragma once

#include "ledger/backup.h"

#include <QObject>
#include <QSet>
#include <QString>

namespace app {

class MainWindow;

// The main window's part in the backups: the daily copy when a ledger opens, the copy before
// a conversion from the earlier format, and restoring a copy of the open ledger.
class BackupCommands : public QObject
{
    Q_OBJECT

public:
    explicit BackupCommands(MainWindow &window);

    ledger::backup::Folder &folder() { return m_folder; }

    // Writes today's copy of a ledger just opened, unless there is one. A copy that cannot
    // be written is reported once a day per ledger, and the ledger opens all the same.
    void takeDaily(const QString &ledgerPath);
    // Keeps the earlier format's file in the backups folder; false (after saying why) when it
    // could not be kept, and then the file is not converted.
    bool keepBeforeConversion(const QString &ledgerPath);
    // "Восстановить из копии…": lists the open ledger's copies and restores the chosen one
    // after asking, keeping the ledger as it is now as a copy of its own first.
    void restore();

private:
    MainWindow &m_window;
    ledger::backup::Folder m_folder;
    QSet<QString> m_reported;
};

} // namespace app
