#pragma once

#include "ledger/error.h"

#include <QMap>
#include <QString>

#include <functional>

// Ledgers kept by the Windows program are Microsoft Jet 4.0 databases. This brings one over
// into a ledger of ours, in place: the new ledger takes the old file's name and the Jet file
// is kept beside it, byte for byte, as a backup.
namespace jet {

// Called as the conversion goes on with the steps done and the steps in all (0 while the
// count is not known yet); returning false cancels the conversion.
using Progress = std::function<bool(int done, int total)>;

// The file could not be converted (not a Jet 4.0 file, truncated, damaged, a table missing,
// no room to write). The text names the file; nothing was created or renamed.
class JetError : public ledger::Error
{
public:
    JetError(QString path, QString text);
    const QString &path() const noexcept { return m_path; }

private:
    QString m_path;
};

// The progress callback asked to stop. Everything is left as it was; nothing needs saying.
// Deliberately not a JetError, so that a handler for failures does not catch it by accident.
class Cancelled : public ledger::Error
{
public:
    explicit Cancelled(QString path);
    const QString &path() const noexcept { return m_path; }

private:
    QString m_path;
};

struct ConversionResult
{
    // The converted ledger: the path that was given.
    QString ledgerPath;
    // Where the untouched Jet file now lives.
    QString backupPath;
    // Rows stored, per table name (List, Rashod, Dohod, VelTor, Valuta).
    QMap<QString, int> rows;
    // Expense lines left out because their `kod` names no journal row.
    int droppedLines = 0;
};

// True for a Microsoft Jet 4.0 database: "Standard Jet DB" at offset 4 and version byte 1 at
// 0x14. Reads the first 32 bytes only; the file is never changed. Jet 3 and Access 2007+
// (ACE) files are not Jet 4.0 and give false.
bool isJetFile(const QString &path);

// Where convert() would keep the Jet original now. The backup is named after the ledger with
// ".jet" in place of ".tor" ("vel.tor" -> "vel.jet"; a name without ".tor" gets ".jet"
// appended: "vel.mdb" -> "vel.mdb.jet"). When that name is taken the next free of
// "vel.1.jet", "vel.2.jet", ... is used, so an earlier backup is never replaced.
QString backupPath(const QString &path);

// Converts the Jet 4.0 ledger at `path`: reads its five tables whole (every id, exact money,
// dates, times, text), writes a complete new ledger to a temporary file in the same folder,
// then renames the original to backupPath(path) and the new ledger to `path`. The original's
// bytes are never changed. Raises JetError on any failure and Cancelled when `progress`
// returned false; in both cases no file is left created or renamed.
ConversionResult convert(const QString &path, const Progress &progress = {});

} // namespace jet
