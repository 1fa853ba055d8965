#pragma once

#include "error.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

// Copies of a ledger in the backups folder: one a day, the first time the ledger is opened
// that day, and one before every change that rewrites the file as a whole (a schema upgrade,
// a conversion from the earlier format, a restore, setting back the program's own triggers
// and views). A copy is written under a temporary name
// and renamed only when it is complete, so a name of a copy always means a whole copy; the
// ledger itself is only read.
namespace ledger::backup {

// A copy could not be written (no room, no access) or a backup could not be restored. The
// ledger was not changed.
class BackupError : public Error
{
public:
    using Error::Error;
};

enum class Kind { Daily, BeforeUpgrade, BeforeConversion, BeforeRestore, BeforeRepair };

// Whose copy a file is.
enum class Owner {
    // Named after this ledger's full path and, for a compressed copy, saying so inside.
    This,
    // Named after the ledger's file name only, as copies were before they carried the path:
    // it may be a copy of another ledger of that name.
    SameName,
};

struct Copy
{
    QString path;
    Kind kind = Kind::Daily;
    // The day of a daily copy; the moment of any other copy.
    QDateTime taken;
    qint64 size = 0;
    // Journal rows in the copy; -1 when the copy cannot be read as a ledger (a link is never
    // read).
    qint64 entries = -1;
    Owner owner = Owner::This;
};

// Called while a copy is written with the pages done and the pages in all; returning false
// abandons the copy.
using Progress = std::function<bool(int done, int total)>;

// "vel" for "…/vel.tor": what the copies of a ledger are named after.
QString ledgerName(const QString &ledgerPath);
// "vel-1a2b3c4d": the name and a short hash of the ledger's full (canonical) path, so that
// ledgers of one file name in different folders never share copies.
QString ledgerStem(const QString &ledgerPath);

// Writes a consistent copy of the SQLite ledger at `ledgerPath` to `target` with the engine's
// online backup, a few pages a step: between steps the ledger is free, so a writer of another
// connection waits for one step at most, and the copy starts over from the ledger as written
// (after a few such restarts the rest is read in one read transaction, so that the copy ends).
// A `target` ending in ".zst" is compressed with zstd and carries the ledger's full path and
// journal row count in a frame of its own. Written under a temporary name beside `target`
// and renamed when complete; an existing `target` is never replaced. Raises BackupError;
// nothing is left under `target` then.
void writeCopy(const QString &ledgerPath, const QString &target, const Progress &progress = {});

// What a compressed copy says of itself; empty for an uncompressed or unreadable one.
struct CopyNote
{
    QString ledgerPath;
    qint64 entries = -1;
};
CopyNote readNote(const QString &copyPath);
// Writes the ledger a compressed copy holds to `target`; raises BackupError when the copy is
// damaged or cut short.
void unpackCopy(const QString &copyPath, const QString &target);

// Copies a file byte for byte (the earlier format's ledger, which the engine cannot read),
// under a temporary name first, as writeCopy does.
void copyFile(const QString &source, const QString &target);

// The copies in one folder, and the rules of which to keep.
class Folder
{
public:
    // `folder` is created when missing. `today` gives the day (tests simulate the calendar).
    explicit Folder(QString folder, std::function<QDate()> today = &QDate::currentDate);

    // The backups folder inside the application folder.
    static QString standardPath();

    const QString &path() const { return m_folder; }
    QDate today() const { return m_today(); }

    // The daily copy: when the ledger has none for today, one is written and the older daily
    // copies are thinned out (rotate). Returns the path of the copy written, or an empty
    // text when today's copy was there already.
    QString takeDaily(const QString &ledgerPath, const Progress &progress = {});
    // A copy before a change of the whole file; returns its path. `kind` is not Daily. With
    // `asIs` the file is kept byte for byte (a ledger the engine could not open).
    QString takeBefore(Kind kind, const QString &ledgerPath, const Progress &progress = {}, bool asIs = false);

    // Keeps the 7 newest daily copies of a ledger and, for each of the 8 weeks before the
    // week of the oldest of them, the newest copy of that week; the other daily copies go.
    // Copies of other kinds are kept, the 5 newest of each kind. Temporary files left by a
    // copy that never finished are removed too.
    void rotate(const QString &ledgerPath);

    // Every copy of the ledger, newest first, with its journal row count and size: its own
    // ones, and those of the earlier naming for a ledger of its file name.
    QList<Copy> list(const QString &ledgerPath) const;

    // The daily copy's file name: "<ledger stem>-YYYY-MM-DD.tor.zst".
    static QString dailyName(const QString &ledgerPath, const QDate &day);
    // Today's copy is there already.
    bool hasDaily(const QString &ledgerPath) const;

private:
    QString m_folder;
    std::function<QDate()> m_today;
};

// Raises BackupError unless the SQLite file at `path` is a ledger the program can open: its
// header, a schema version not newer than the program's, every page sound and every table
// and view of the program present. `shown` names it in the message.
void checkLedgerFile(const QString &path, const QString &shown);

// Puts the copy `backupPath` in place of the ledger at `ledgerPath`, which no connection may
// have open. A link is refused; a compressed copy is unpacked to a temporary file first. The
// copy is checked as an opening checks a ledger (checkLedgerFile) before anything is changed;
// it is written into the ledger in one transaction of the engine, so a crash half-way leaves
// the ledger as it was. Raises BackupError.
void restore(const QString &backupPath, const QString &ledgerPath);

// The days of daily copies that Folder::rotate keeps among copies of `days`.
QSet<QDate> daysToKeep(const QList<QDate> &days);

} // namespace ledger::backup
