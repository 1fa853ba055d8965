#include "backup.h"

#include "database.h"
#include "paths.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>

namespace ledger::backup {

namespace {

constexpr int kDailyCopies = 7;
constexpr int kWeeklyCopies = 8;
constexpr int kOtherCopies = 5;
// Pages per backup step: small enough to report progress, large enough to stay fast.
constexpr int kPagesPerStep = 256;

using Handle = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

QString engineMessage(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

void hardenCopy(sqlite3 *db)
{
    try {
        hardenEngine(db);
    } catch (const DatabaseError &error) {
        throw BackupError(error.text());
    }
}

// `harden` false leaves hardenEngine to the caller, for a scratch copy that first turns its
// journal off (which the defensive mode forbids).
Handle openEngine(const QString &path, int flags, bool harden = true)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    Handle handle(db, sqlite3_close_v2);
    if (rc != SQLITE_OK)
        throw BackupError(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, engineMessage(db)));
    if (harden)
        hardenCopy(db);
    sqlite3_busy_timeout(db, 5000);
    return handle;
}

void exec(sqlite3 *db, const char *sql, const QString &context)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw BackupError(context + QStringLiteral(": ") + engineMessage(db));
}

// Copies every page of `source` into `target` as one transaction of `target`.
void runBackup(sqlite3 *target, sqlite3 *source, const Progress &progress, const QString &context)
{
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        throw BackupError(context + QStringLiteral(": ") + engineMessage(target));
    int rc = SQLITE_OK;
    bool abandoned = false;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        const int total = sqlite3_backup_pagecount(backup);
        if ((rc == SQLITE_OK || rc == SQLITE_DONE) && progress
            && !progress(total - sqlite3_backup_remaining(backup), total))
            abandoned = rc != SQLITE_DONE;
    } while (rc == SQLITE_OK && !abandoned);
    sqlite3_backup_finish(backup);
    if (abandoned)
        throw BackupError(context + QStringLiteral(": прервано"));
    if (rc != SQLITE_DONE) {
        const QString why = rc == SQLITE_FULL ? QStringLiteral("на диске нет места") : QString::fromUtf8(sqlite3_errstr(rc));
        throw BackupError(context + QStringLiteral(": ") + why);
    }
}

// A temporary file beside the target that goes away unless kept.
struct Scratch
{
    explicit Scratch(const QString &target)
        : file(QFileInfo(target).absolutePath() + QStringLiteral("/.") + QFileInfo(target).fileName()
               + QStringLiteral(".XXXXXX.part"))
    {
        if (!file.open())
            throw BackupError(QStringLiteral("Не удалось создать файл в папке «%1»: %2")
                                  .arg(QDir::toNativeSeparators(QFileInfo(target).absolutePath()), file.errorString()));
        path = file.fileName();
        file.close();
    }

    // The complete copy takes its final name; an existing file is never replaced.
    void moveTo(const QString &target)
    {
        if (!QFile::rename(path, target)) {
            if (QFileInfo::exists(target))
                throw BackupError(QStringLiteral("Копия «%1» уже существует.").arg(QDir::toNativeSeparators(target)));
            throw BackupError(QStringLiteral("Не удалось записать копию «%1».").arg(QDir::toNativeSeparators(target)));
        }
        file.setAutoRemove(false);
    }

    QTemporaryFile file;
    QString path;
};

QString kindSuffix(Kind kind)
{
    switch (kind) {
    case Kind::BeforeUpgrade:
        return QStringLiteral("before-upgrade");
    case Kind::BeforeConversion:
        return QStringLiteral("before-conversion");
    case Kind::BeforeRestore:
        return QStringLiteral("before-restore");
    case Kind::BeforeRepair:
        return QStringLiteral("before-repair");
    case Kind::Daily:
        break;
    }
    return {};
}

// A copy's name: "vel-2026-12-09.tor", or "vel-2026-12-09-171502-before-restore[-2].tor"
// (".jet" for a copy of the earlier format).
struct Parsed
{
    bool ok = false;
    Kind kind = Kind::Daily;
    QDateTime taken;
    int sequence = 1; // copies of the same second: -2, -3, ...
};

Parsed parseName(const QString &ledger, const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(.*)-(\\d{4}-\\d{2}-\\d{2})(?:-(\\d{6})-(before-upgrade|before-restore|before-conversion|before-repair)(?:-(\\d+))?)?\\.(tor|jet)$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    Parsed parsed;
    if (!m.hasMatch() || m.captured(1) != ledger)
        return parsed;
    const QDate day = QDate::fromString(m.captured(2), Qt::ISODate);
    if (!day.isValid())
        return parsed;
    const QString suffix = m.captured(4);
    const bool jet = m.captured(6) == QLatin1String("jet");
    if (suffix.isEmpty()) {
        if (jet)
            return parsed;
        parsed.taken = QDateTime(day, QTime(0, 0));
    } else {
        if (jet != (suffix == QLatin1String("before-conversion")))
            return parsed;
        const QTime time = QTime::fromString(m.captured(3), QStringLiteral("HHmmss"));
        if (!time.isValid())
            return parsed;
        parsed.taken = QDateTime(day, time);
        if (!m.captured(5).isEmpty())
            parsed.sequence = m.captured(5).toInt();
        parsed.kind = suffix == QLatin1String("before-upgrade")  ? Kind::BeforeUpgrade
                      : suffix == QLatin1String("before-restore") ? Kind::BeforeRestore
                      : suffix == QLatin1String("before-repair")  ? Kind::BeforeRepair
                                                                  : Kind::BeforeConversion;
    }
    parsed.ok = true;
    return parsed;
}

qint64 journalRows(const QString &path)
{
    try {
        Handle db = openEngine(path, SQLITE_OPEN_READONLY);
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db.get(), "SELECT count(*) FROM List", -1, &statement, nullptr) != SQLITE_OK)
            return -1;
        qint64 rows = -1;
        if (sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return rows;
    } catch (const BackupError &) {
        return -1;
    }
}

QDate weekStart(const QDate &day)
{
    return day.addDays(1 - day.dayOfWeek());
}

} // namespace

QString ledgerName(const QString &ledgerPath)
{
    QString name = QFileInfo(ledgerPath).fileName();
    if (name.endsWith(QLatin1String(".tor"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

void writeCopy(const QString &ledgerPath, const QString &target, const Progress &progress)
{
    if (QFileInfo::exists(target))
        throw BackupError(QStringLiteral("Копия «%1» уже существует.").arg(QDir::toNativeSeparators(target)));
    const QString context = QStringLiteral("Не удалось записать резервную копию «%1»").arg(QDir::toNativeSeparators(target));
    Scratch scratch(target);
    {
        Handle source = openEngine(ledgerPath, SQLITE_OPEN_READONLY);
        // One read transaction for the whole copy: a writer elsewhere waits for it instead
        // of making the copy start over, and the copy holds whole transactions only.
        exec(source.get(), "BEGIN", context);
        exec(source.get(), "SELECT count(*) FROM sqlite_master", context);
        Handle copy = openEngine(scratch.path, SQLITE_OPEN_READWRITE, false);
        // The copy needs no journal of its own (a failed copy is thrown away whole), but its
        // pages must be on the disk before it takes its name.
        exec(copy.get(), "PRAGMA journal_mode = OFF", context);
        hardenCopy(copy.get());
        exec(copy.get(), "PRAGMA synchronous = FULL", context);
        runBackup(copy.get(), source.get(), progress, context);
        exec(source.get(), "COMMIT", context);
    }
    scratch.moveTo(target);
}

void copyFile(const QString &source, const QString &target)
{
    if (QFileInfo::exists(target))
        throw BackupError(QStringLiteral("Копия «%1» уже существует.").arg(QDir::toNativeSeparators(target)));
    const QString context = QStringLiteral("Не удалось записать резервную копию «%1»").arg(QDir::toNativeSeparators(target));
    Scratch scratch(target);
    QFile in(source);
    QFile out(scratch.path);
    if (!in.open(QIODevice::ReadOnly))
        throw BackupError(context + QStringLiteral(": ") + in.errorString());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw BackupError(context + QStringLiteral(": ") + out.errorString());
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (out.write(block) != block.size())
            throw BackupError(context + QStringLiteral(": ") + out.errorString());
    }
    if (in.error() != QFileDevice::NoError)
        throw BackupError(context + QStringLiteral(": ") + in.errorString());
    if (!out.flush())
        throw BackupError(context + QStringLiteral(": ") + out.errorString());
    out.close();
    scratch.moveTo(target);
}

Folder::Folder(QString folder, std::function<QDate()> today)
    : m_folder(std::move(folder))
    , m_today(std::move(today))
{
    QDir().mkpath(m_folder);
}

QString Folder::standardPath()
{
    return paths::applicationFolder() + QStringLiteral("backups");
}

QString Folder::dailyName(const QString &ledgerPath, const QDate &day)
{
    return ledgerName(ledgerPath) + QLatin1Char('-') + day.toString(Qt::ISODate) + QStringLiteral(".tor");
}

QString Folder::takeDaily(const QString &ledgerPath, const Progress &progress)
{
    const QString target = QDir(m_folder).filePath(dailyName(ledgerPath, m_today()));
    if (QFileInfo::exists(target))
        return {};
    if (!QDir().mkpath(m_folder))
        throw BackupError(QStringLiteral("Не удалось создать папку «%1».").arg(QDir::toNativeSeparators(m_folder)));
    writeCopy(ledgerPath, target, progress);
    rotate(ledgerPath);
    return target;
}

QString Folder::takeBefore(Kind kind, const QString &ledgerPath, const Progress &progress)
{
    Q_ASSERT(kind != Kind::Daily);
    if (!QDir().mkpath(m_folder))
        throw BackupError(QStringLiteral("Не удалось создать папку «%1».").arg(QDir::toNativeSeparators(m_folder)));
    const QString stem = ledgerName(ledgerPath) + QLatin1Char('-') + m_today().toString(Qt::ISODate) + QLatin1Char('-')
                         + QTime::currentTime().toString(QStringLiteral("HHmmss")) + QLatin1Char('-') + kindSuffix(kind);
    const QString extension = kind == Kind::BeforeConversion ? QStringLiteral(".jet") : QStringLiteral(".tor");
    QString target = QDir(m_folder).filePath(stem + extension);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(m_folder).filePath(stem + QStringLiteral("-%1").arg(n) + extension);
    if (kind == Kind::BeforeConversion)
        copyFile(ledgerPath, target);
    else
        writeCopy(ledgerPath, target, progress);
    rotate(ledgerPath);
    return target;
}

QSet<QDate> daysToKeep(const QList<QDate> &days)
{
    QList<QDate> newest = days;
    std::sort(newest.begin(), newest.end(), std::greater<QDate>());
    newest.erase(std::unique(newest.begin(), newest.end()), newest.end());
    QSet<QDate> keep;
    for (int i = 0; i < qMin(kDailyCopies, int(newest.size())); ++i)
        keep.insert(newest[i]);
    if (newest.size() <= kDailyCopies)
        return keep;
    const QDate firstWeek = weekStart(newest[kDailyCopies - 1]);
    QSet<QDate> weeksTaken;
    for (int i = kDailyCopies; i < newest.size(); ++i) {
        const QDate week = weekStart(newest[i]);
        const qint64 weeksBack = week.daysTo(firstWeek) / 7;
        // Newest first: the first copy met in a week is that week's newest.
        if (weeksBack >= 1 && weeksBack <= kWeeklyCopies && !weeksTaken.contains(week)) {
            weeksTaken.insert(week);
            keep.insert(newest[i]);
        }
    }
    return keep;
}

void Folder::rotate(const QString &ledgerPath)
{
    const QString name = ledgerName(ledgerPath);
    const QDir dir(m_folder);
    QMap<QDate, QString> daily;
    std::map<Kind, QList<std::pair<Parsed, QString>>> others;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        const QString fileName = file.fileName();
        // Left by a copy that never finished (the program was killed, the disk was full).
        if (fileName.startsWith(QLatin1Char('.') + name + QLatin1Char('-')) && fileName.endsWith(QLatin1String(".part"))) {
            QFile::remove(file.filePath());
            continue;
        }
        const Parsed parsed = parseName(name, fileName);
        if (!parsed.ok)
            continue;
        if (parsed.kind == Kind::Daily)
            daily.insert(parsed.taken.date(), file.filePath());
        else
            others[parsed.kind].append({parsed, file.filePath()});
    }
    const QSet<QDate> keep = daysToKeep(daily.keys());
    for (auto it = daily.cbegin(); it != daily.cend(); ++it) {
        if (!keep.contains(it.key()))
            QFile::remove(it.value());
    }
    for (auto &[kind, copies] : others) {
        std::sort(copies.begin(), copies.end(), [](const auto &a, const auto &b) {
            return a.first.taken != b.first.taken ? a.first.taken < b.first.taken : a.first.sequence < b.first.sequence;
        });
        for (int i = 0; i < int(copies.size()) - kOtherCopies; ++i)
            QFile::remove(copies[i].second);
    }
}

QList<Copy> Folder::list(const QString &ledgerPath) const
{
    const QString name = ledgerName(ledgerPath);
    QList<std::pair<Parsed, QFileInfo>> found;
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*.tor")}, QDir::Files);
    for (const QFileInfo &file : files) {
        const Parsed parsed = parseName(name, file.fileName());
        if (parsed.ok)
            found.append({parsed, file});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return a.first.taken != b.first.taken ? a.first.taken > b.first.taken : a.first.sequence > b.first.sequence;
    });
    QList<Copy> copies;
    for (const auto &[parsed, file] : found)
        copies.append({file.filePath(), parsed.kind, parsed.taken, file.size(), journalRows(file.filePath())});
    return copies;
}

void restore(const QString &backupPath, const QString &ledgerPath)
{
    const QString source = QDir::toNativeSeparators(backupPath);
    if (QFileInfo(backupPath).absoluteFilePath() == QFileInfo(ledgerPath).absoluteFilePath())
        throw BackupError(QStringLiteral("Копия и база данных — один и тот же файл."));
    QFile file(backupPath);
    if (!file.open(QIODevice::ReadOnly))
        throw BackupError(QStringLiteral("Не удалось прочитать копию «%1»: %2").arg(source, file.errorString()));
    const QByteArray header = file.read(100);
    file.close();
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))
        || qFromBigEndian<quint32>(header.constData() + 68) != quint32(schema::kApplicationId))
        throw BackupError(QStringLiteral("Файл «%1» не является копией базы данных velTor.").arg(source));
    if (qFromBigEndian<qint32>(header.constData() + 60) > schema::currentVersion())
        throw BackupError(QStringLiteral("Копия «%1» создана более новой версией velTor.").arg(source));

    Handle copy = openEngine(backupPath, SQLITE_OPEN_READONLY);
    {
        sqlite3_stmt *statement = nullptr;
        QString verdict;
        if (sqlite3_prepare_v2(copy.get(), "PRAGMA quick_check", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            verdict = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        if (verdict != QLatin1String("ok"))
            throw BackupError(QStringLiteral("Копия «%1» повреждена и не может быть восстановлена.").arg(source));
    }
    const QString context = QStringLiteral("Не удалось восстановить базу данных «%1» из копии")
                                .arg(QDir::toNativeSeparators(ledgerPath));
    Handle target = openEngine(ledgerPath, SQLITE_OPEN_READWRITE);
    exec(target.get(), "PRAGMA synchronous = FULL", context);
    exec(copy.get(), "BEGIN", context);
    exec(copy.get(), "SELECT count(*) FROM sqlite_master", context);
    // The engine writes the copy's pages into the ledger as one transaction of the ledger,
    // through its rollback journal.
    runBackup(target.get(), copy.get(), {}, context);
    exec(copy.get(), "COMMIT", context);
}

} // namespace ledger::backup
