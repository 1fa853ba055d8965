#pragma once

#include "ledger/backup.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <functional>

class QLabel;

namespace app {

class MainWindow;

// The main window's part in the backups: the daily copy when a ledger opens, written by a
// worker while the window works, the copy before a conversion from the earlier format, and
// restoring a copy of the open ledger (or of the last one that could not be opened).
class BackupCommands : public QObject
{
    Q_OBJECT

public:
    explicit BackupCommands(MainWindow &window);
    // A copy being written is finished first: closing the program never leaves the day
    // without its copy.
    ~BackupCommands() override;

    ledger::backup::Folder &folder() { return m_folder; }

    // Starts today's copy of a ledger just opened in the background, unless there is one. The
    // status bar says while it is written and when it is done. A copy that cannot be written
    // is reported once a day per ledger, and the ledger stays open all the same.
    void takeDaily(const QString &ledgerPath);
    // Waits for the copies being written and reports how they went.
    void finishCopies();
    bool isCopying() const { return m_running > 0; }
    // Called by the worker after every step of a copy (tests hold a copy half-way with it).
    void setStepHook(std::function<void(int done, int total)> hook) { m_stepHook = std::move(hook); }

    // Keeps the earlier format's file in the backups folder; false (after saying why) when it
    // could not be kept, and then the file is not converted.
    bool keepBeforeConversion(const QString &ledgerPath);
    // "Восстановить из копии…": lists the ledger's copies and restores the chosen one after
    // asking, keeping the ledger as it is now as a copy of its own first.
    void restore();
    // The ledger a restore would replace: the open one, or the last one that failed to open.
    QString restorableLedger() const;

signals:
    void copyFinished(const QString &ledgerPath);

private:
    void copyDone(const QString &ledgerPath, const QString &key, const QString &error);

    MainWindow &m_window;
    ledger::backup::Folder m_folder;
    QSet<QString> m_reported;
    QThreadPool m_pool;
    int m_running = 0;
    QLabel *m_status = nullptr;
    std::function<void(int, int)> m_stepHook;
};

} // namespace app
