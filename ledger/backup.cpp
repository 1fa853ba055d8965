#include "backup.h"

#include "database.h"
#include "paths.h"
#include "schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtEndian>

#include <sqlite3.h>
#include <zstd.h>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <map>
#include <memory>

namespace ledger::backup {

namespace {

constexpr int kDailyCopies = 7;
constexpr int kWeeklyCopies = 8;
constexpr int kOtherCopies = 5;
// Pages per backup step: the ledger is held for one step at a time (a few milliseconds), so a
// writer elsewhere waits no longer than that.
constexpr int kPagesPerStep = 256;
// Writes of other connections make the engine start a copy over; after this many restarts
// the rest of the copy is read in one read transaction, so that the copy ends.
constexpr int kRestartsInSteps = 3;
// How long a step may find the ledger taken before the copy gives up.
constexpr int kBusyMsLimit = 60000;
constexpr int kZstdLevel = 3;
// A zstd frame the decoder skips: the copy's own note (the ledger's path, its rows).
constexpr quint32 kNoteMagic = 0x184D2A5A;
const QByteArray kNoteStart = QByteArrayLiteral("velTor copy\n");
const QString kPacked = QStringLiteral(".zst");

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

QString failureText(int rc)
{
    return rc == SQLITE_FULL ? QStringLiteral("на диске нет места") : QString::fromUtf8(sqlite3_errstr(rc));
}

// Copies every page of `source` into `target` as one transaction of `target`. With `inSteps`
// the source is read one step at a time (see writeCopy); otherwise the caller holds a read
// transaction on it.
void runBackup(sqlite3 *target, sqlite3 *source, const Progress &progress, const QString &context, bool inSteps = false)
{
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        throw BackupError(context + QStringLiteral(": ") + engineMessage(target));
    int rc = SQLITE_OK;
    bool abandoned = false;
    bool holding = false;
    int restarts = 0;
    int lastDone = 0;
    int busyMs = 0;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // A writer has the ledger: it is let finish.
            if (busyMs >= kBusyMsLimit)
                break;
            busyMs += sqlite3_sleep(5);
            rc = SQLITE_OK;
            continue;
        }
        const int total = sqlite3_backup_pagecount(backup);
        const int done = total - sqlite3_backup_remaining(backup);
        if (rc == SQLITE_OK && done < lastDone && ++restarts >= kRestartsInSteps && inSteps && !holding) {
            if (sqlite3_exec(source, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK)
                holding = true;
        }
        lastDone = done;
        if ((rc == SQLITE_OK || rc == SQLITE_DONE) && progress && !progress(done, total))
            abandoned = rc != SQLITE_DONE;
    } while (rc == SQLITE_OK && !abandoned);
    sqlite3_backup_finish(backup);
    if (holding)
        sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
    if (abandoned)
        throw BackupError(context + QStringLiteral(": прервано"));
    if (rc != SQLITE_DONE)
        throw BackupError(context + QStringLiteral(": ") + failureText(rc));
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

// A copy's name: "vel-1a2b3c4d-2026-12-09.tor.zst", or
// "vel-1a2b3c4d-2026-12-09-171502-before-restore[-2].tor.zst" (".jet" for a copy of the
// earlier format). Copies of the earlier naming lack the hash: "vel-2026-12-09.tor".
struct Parsed
{
    bool ok = false;
    Kind kind = Kind::Daily;
    Owner owner = Owner::This;
    QDateTime taken;
    int sequence = 1; // copies of the same second: -2, -3, ...
};

Parsed parseName(const QString &ledger, const QString &stem, const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(.*)-(\\d{4}-\\d{2}-\\d{2})(?:-(\\d{6})-(before-upgrade|before-restore|before-conversion|before-repair)(?:-(\\d+))?)?"
        "\\.(tor|jet)(\\.zst)?$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    Parsed parsed;
    if (!m.hasMatch())
        return parsed;
    const bool packed = !m.captured(7).isEmpty();
    if (m.captured(1) == stem)
        parsed.owner = Owner::This;
    else if (m.captured(1) == ledger && !packed)
        parsed.owner = Owner::SameName;
    else
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

QString canonicalPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

void syncToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    _commit(file.handle());
#else
    ::fsync(file.handle());
#endif
}

// Packs `source` into `target` with zstd, behind a note frame of the copy's own.
void compressFile(const QString &source, const QString &target, const CopyNote &note, const QString &context)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly))
        throw BackupError(context + QStringLiteral(": ") + in.errorString());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw BackupError(context + QStringLiteral(": ") + out.errorString());
    const auto put = [&](const char *data, qint64 size) {
        if (out.write(data, size) != size)
            throw BackupError(context + QStringLiteral(": ")
                              + (out.error() == QFileDevice::ResourceError ? QStringLiteral("на диске нет места")
                                                                           : out.errorString()));
    };
    const QByteArray payload = kNoteStart + "ledger=" + note.ledgerPath.toUtf8() + "\nentries="
                               + QByteArray::number(note.entries) + '\n';
    char frame[8];
    qToLittleEndian<quint32>(kNoteMagic, frame);
    qToLittleEndian<quint32>(quint32(payload.size()), frame + 4);
    put(frame, 8);
    put(payload.constData(), payload.size());

    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx *)> cctx(ZSTD_createCCtx(), ZSTD_freeCCtx);
    if (!cctx)
        throw BackupError(context + QStringLiteral(": недостаточно памяти"));
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kZstdLevel);
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1);
    ZSTD_CCtx_setPledgedSrcSize(cctx.get(), quint64(in.size()));
    QByteArray inBuffer(1 << 20, Qt::Uninitialized);
    QByteArray outBuffer(int(ZSTD_CStreamOutSize()), Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(inBuffer.data(), inBuffer.size());
        if (got < 0)
            throw BackupError(context + QStringLiteral(": ") + in.errorString());
        const bool last = in.atEnd() || got == 0;
        ZSTD_inBuffer input {inBuffer.constData(), size_t(got), 0};
        for (;;) {
            ZSTD_outBuffer output {outBuffer.data(), size_t(outBuffer.size()), 0};
            const size_t left = ZSTD_compressStream2(cctx.get(), &output, &input, last ? ZSTD_e_end : ZSTD_e_continue);
            if (ZSTD_isError(left))
                throw BackupError(context + QStringLiteral(": ") + QString::fromUtf8(ZSTD_getErrorName(left)));
            put(outBuffer.constData(), qint64(output.pos));
            if (last ? left == 0 : input.pos == input.size)
                break;
        }
        if (last)
            break;
    }
    if (!out.flush())
        throw BackupError(context + QStringLiteral(": ") + out.errorString());
    syncToDisk(out);
}

// Unpacks a compressed copy into `target`; a copy cut short or damaged is refused.
void decompressFile(const QString &source, const QString &target, const QString &shown)
{
    const QString damaged = QStringLiteral("Копия «%1» повреждена и не может быть восстановлена.").arg(shown);
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly))
        throw BackupError(QStringLiteral("Не удалось прочитать копию «%1»: %2").arg(shown, in.errorString()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw BackupError(QStringLiteral("Не удалось распаковать копию «%1»: %2").arg(shown, out.errorString()));
    std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx *)> dctx(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!dctx)
        throw BackupError(QStringLiteral("Не удалось распаковать копию «%1»: недостаточно памяти").arg(shown));
    QByteArray inBuffer(int(ZSTD_DStreamInSize()), Qt::Uninitialized);
    QByteArray outBuffer(int(ZSTD_DStreamOutSize()), Qt::Uninitialized);
    size_t pending = 1;
    bool any = false;
    qint64 got = 0;
    while ((got = in.read(inBuffer.data(), inBuffer.size())) > 0) {
        ZSTD_inBuffer input {inBuffer.constData(), size_t(got), 0};
        while (input.pos < input.size) {
            ZSTD_outBuffer output {outBuffer.data(), size_t(outBuffer.size()), 0};
            pending = ZSTD_decompressStream(dctx.get(), &output, &input);
            if (ZSTD_isError(pending))
                throw BackupError(damaged);
            if (out.write(outBuffer.constData(), qint64(output.pos)) != qint64(output.pos))
                throw BackupError(QStringLiteral("Не удалось распаковать копию «%1»: %2").arg(shown, out.errorString()));
            any = any || output.pos > 0;
        }
    }
    if (got < 0 || pending != 0 || !any)
        throw BackupError(damaged);
    if (!out.flush())
        throw BackupError(QStringLiteral("Не удалось распаковать копию «%1»: %2").arg(shown, out.errorString()));
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

QString ledgerStem(const QString &ledgerPath)
{
    const QByteArray hash = QCryptographicHash::hash(canonicalPath(ledgerPath).toUtf8(), QCryptographicHash::Sha1);
    return ledgerName(ledgerPath) + QLatin1Char('-') + QString::fromLatin1(hash.toHex().left(8));
}

void writeCopy(const QString &ledgerPath, const QString &target, const Progress &progress)
{
    if (QFileInfo::exists(target))
        throw BackupError(QStringLiteral("Копия «%1» уже существует.").arg(QDir::toNativeSeparators(target)));
    const QString context = QStringLiteral("Не удалось записать резервную копию «%1»").arg(QDir::toNativeSeparators(target));
    const bool packed = target.endsWith(kPacked);
    Scratch pages(target);
    qint64 entries = -1;
    {
        Handle source = openEngine(ledgerPath, SQLITE_OPEN_READONLY);
        Handle copy = openEngine(pages.path, SQLITE_OPEN_READWRITE, false);
        // The copy needs no journal of its own (a failed copy is thrown away whole), but its
        // pages must be on the disk before it takes its name.
        exec(copy.get(), "PRAGMA journal_mode = OFF", context);
        hardenCopy(copy.get());
        exec(copy.get(), packed ? "PRAGMA synchronous = OFF" : "PRAGMA synchronous = FULL", context);
        runBackup(copy.get(), source.get(), progress, context, true);
        if (packed) {
            sqlite3_stmt *statement = nullptr;
            if (sqlite3_prepare_v2(copy.get(), "SELECT count(*) FROM List", -1, &statement, nullptr) == SQLITE_OK
                && sqlite3_step(statement) == SQLITE_ROW)
                entries = sqlite3_column_int64(statement, 0);
            sqlite3_finalize(statement);
        }
    }
    if (!packed) {
        pages.moveTo(target);
        return;
    }
    Scratch packedCopy(target);
    compressFile(pages.path, packedCopy.path, {canonicalPath(ledgerPath), entries}, context);
    packedCopy.moveTo(target);
}

void unpackCopy(const QString &copyPath, const QString &target)
{
    decompressFile(copyPath, target, QDir::toNativeSeparators(copyPath));
}

CopyNote readNote(const QString &copyPath)
{
    CopyNote note;
    QFile file(copyPath);
    if (!file.open(QIODevice::ReadOnly))
        return note;
    const QByteArray frame = file.read(8);
    if (frame.size() < 8 || qFromLittleEndian<quint32>(frame.constData()) != kNoteMagic)
        return note;
    const quint32 size = qFromLittleEndian<quint32>(frame.constData() + 4);
    if (size > 65536)
        return note;
    const QByteArray payload = file.read(size);
    if (payload.size() != qint64(size) || !payload.startsWith(kNoteStart))
        return note;
    for (const QByteArray &line : payload.mid(kNoteStart.size()).split('\n')) {
        if (line.startsWith("ledger="))
            note.ledgerPath = QString::fromUtf8(line.mid(7));
        else if (line.startsWith("entries="))
            note.entries = line.mid(8).toLongLong();
    }
    return note;
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
    return ledgerStem(ledgerPath) + QLatin1Char('-') + day.toString(Qt::ISODate) + QStringLiteral(".tor") + kPacked;
}

bool Folder::hasDaily(const QString &ledgerPath) const
{
    return QFileInfo::exists(QDir(m_folder).filePath(dailyName(ledgerPath, m_today())));
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

QString Folder::takeBefore(Kind kind, const QString &ledgerPath, const Progress &progress, bool asIs)
{
    Q_ASSERT(kind != Kind::Daily);
    if (!QDir().mkpath(m_folder))
        throw BackupError(QStringLiteral("Не удалось создать папку «%1».").arg(QDir::toNativeSeparators(m_folder)));
    const QString stem = ledgerStem(ledgerPath) + QLatin1Char('-') + m_today().toString(Qt::ISODate) + QLatin1Char('-')
                         + QTime::currentTime().toString(QStringLiteral("HHmmss")) + QLatin1Char('-') + kindSuffix(kind);
    const QString extension = kind == Kind::BeforeConversion ? QStringLiteral(".jet")
                              : asIs                         ? QStringLiteral(".tor")
                                                             : QStringLiteral(".tor") + kPacked;
    QString target = QDir(m_folder).filePath(stem + extension);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(m_folder).filePath(stem + QStringLiteral("-%1").arg(n) + extension);
    if (kind == Kind::BeforeConversion || asIs)
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
    const QString stem = ledgerStem(ledgerPath);
    const QDir dir(m_folder);
    QMap<QDate, QString> daily;
    std::map<Kind, QList<std::pair<Parsed, QString>>> others;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        const QString fileName = file.fileName();
        // Left by a copy that never finished (the program was killed, the disk was full).
        if (fileName.startsWith(QLatin1Char('.') + stem + QLatin1Char('-')) && fileName.endsWith(QLatin1String(".part"))) {
            QFile::remove(file.filePath());
            continue;
        }
        // Copies of the earlier naming may be another ledger's: they are left alone.
        const Parsed parsed = parseName(name, stem, fileName);
        if (!parsed.ok || parsed.owner != Owner::This)
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
    const QString stem = ledgerStem(ledgerPath);
    const QString own = canonicalPath(ledgerPath);
    QList<std::pair<Parsed, QFileInfo>> found;
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*.tor"), QStringLiteral("*.tor.zst")}, QDir::Files);
    for (const QFileInfo &file : files) {
        const Parsed parsed = parseName(name, stem, file.fileName());
        if (parsed.ok)
            found.append({parsed, file});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return a.first.taken != b.first.taken ? a.first.taken > b.first.taken : a.first.sequence > b.first.sequence;
    });
    QList<Copy> copies;
    for (const auto &[parsed, file] : found) {
        Copy copy {file.filePath(), parsed.kind, parsed.taken, file.size(), -1, parsed.owner};
        // A link may lead anywhere, the ledger itself included: it is listed, never offered.
        if (!file.isSymLink()) {
            if (file.fileName().endsWith(kPacked)) {
                const CopyNote note = readNote(file.filePath());
                copy.entries = note.entries;
                if (note.ledgerPath != own)
                    copy.owner = Owner::SameName;
            } else {
                copy.entries = journalRows(file.filePath());
            }
        }
        copies.append(copy);
    }
    return copies;
}

void checkLedgerFile(const QString &path, const QString &shown)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BackupError(QStringLiteral("Не удалось прочитать копию «%1»: %2").arg(shown, file.errorString()));
    const QByteArray header = file.read(100);
    file.close();
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))
        || qFromBigEndian<quint32>(header.constData() + 68) != quint32(schema::kApplicationId))
        throw BackupError(QStringLiteral("Файл «%1» не является копией базы данных velTor.").arg(shown));
    if (qFromBigEndian<qint32>(header.constData() + 60) > schema::currentVersion())
        throw BackupError(QStringLiteral("Копия «%1» создана более новой версией velTor.").arg(shown));

    Handle copy = openEngine(path, SQLITE_OPEN_READONLY);
    const auto rows = [&copy](const char *sql) {
        QStringList values;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(copy.get(), sql, -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW)
                values << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        return values;
    };
    if (rows("PRAGMA integrity_check") != QStringList {QStringLiteral("ok")})
        throw BackupError(QStringLiteral("Копия «%1» повреждена и не может быть восстановлена.").arg(shown));
    const QStringList present = rows("SELECT name FROM sqlite_master");
    for (const QString &required : schema::tables() + schema::views()) {
        if (!present.contains(required))
            throw BackupError(QStringLiteral("Копия «%1» не является полной базой данных velTor: в ней нет объекта %2.")
                                  .arg(shown, required));
    }
    // The rest as an opening checks it: a copy the opening would refuse is refused here, before
    // anything is swapped; foreign triggers and views it holds are set right when it is opened.
    try {
        Connection::inspect(path);
    } catch (const ConnectionError &error) {
        throw BackupError(QStringLiteral("Копию «%1» нельзя восстановить: %2").arg(shown, error.text()));
    }
}

void restore(const QString &backupPath, const QString &ledgerPath)
{
    const QString shown = QDir::toNativeSeparators(backupPath);
    const QFileInfo info(backupPath);
    if (info.isSymLink())
        throw BackupError(QStringLiteral("«%1» — ссылка на другой файл, а не копия: такие файлы не восстанавливаются.").arg(shown));
    if (canonicalPath(backupPath) == canonicalPath(ledgerPath))
        throw BackupError(QStringLiteral("Копия и база данных — один и тот же файл."));
    if (!info.isFile())
        throw BackupError(QStringLiteral("Копия «%1» не найдена.").arg(shown));

    // A compressed copy is unpacked beside the ledger first; only a checked file goes in.
    QString source = backupPath;
    std::unique_ptr<QTemporaryFile> unpacked;
    if (backupPath.endsWith(kPacked)) {
        const QFileInfo ledger(ledgerPath);
        unpacked = std::make_unique<QTemporaryFile>(ledger.absolutePath() + QStringLiteral("/.") + ledger.fileName()
                                                    + QStringLiteral(".XXXXXX.restore"));
        if (!unpacked->open())
            throw BackupError(QStringLiteral("Не удалось создать файл в папке «%1»: %2")
                                  .arg(QDir::toNativeSeparators(ledger.absolutePath()), unpacked->errorString()));
        unpacked->close();
        source = unpacked->fileName();
        decompressFile(backupPath, source, shown);
    }
    checkLedgerFile(source, shown);

    const QString context = QStringLiteral("Не удалось восстановить базу данных «%1» из копии")
                                .arg(QDir::toNativeSeparators(ledgerPath));
    Handle copy = openEngine(source, SQLITE_OPEN_READONLY);
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
