#include "jet.h"

#include "detail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>

namespace jet {

JetError::JetError(QString path, QString text)
    : ledger::Error(std::move(text))
    , m_path(std::move(path))
{
}

Cancelled::Cancelled(QString path)
    : ledger::Error(QStringLiteral("Преобразование файла «%1» отменено.").arg(path))
    , m_path(std::move(path))
{
}

namespace detail {

JetError damaged(const QString &path, const QString &detail)
{
    return JetError(path, QStringLiteral("Файл «%1» повреждён или обрезан и не может быть прочитан целиком: %2.")
                              .arg(path, detail));
}

Meter::Meter(QString path, Progress callback)
    : m_path(std::move(path))
    , m_callback(std::move(callback))
{
    m_sinceReport.start();
}

void Meter::setTotal(qint64 total)
{
    m_total = total;
    report();
}

void Meter::advance(qint64 steps)
{
    m_done += steps;
    // About two hundred reports over a conversion, and one at least every tenth of a second.
    const qint64 stride = std::max<qint64>(1, m_total / 200);
    if (m_done - m_reported >= stride || m_sinceReport.elapsed() >= 100)
        report();
}

void Meter::poll()
{
    if (m_sinceReport.elapsed() >= 100)
        report();
}

void Meter::finish()
{
    m_done = m_total;
    report();
}

void Meter::report()
{
    m_reported = m_done;
    m_sinceReport.restart();
    if (!m_callback)
        return;
    constexpr qint64 most = std::numeric_limits<int>::max();
    if (!m_callback(int(std::min(m_done, most)), int(std::min(m_total, most))))
        throw Cancelled(m_path);
}

} // namespace detail

using namespace detail;

bool isJetFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(32);
    return head.size() == 32 && head.mid(4, 16) == QByteArrayLiteral("Standard Jet DB\0") && head.at(0x14) == 1;
}

namespace {

QString backupCandidate(const QFileInfo &original, int number)
{
    QString base = original.fileName();
    if (base.endsWith(QLatin1String(".tor"), Qt::CaseInsensitive))
        base.chop(4);
    if (number > 0)
        base += QLatin1Char('.') + QString::number(number);
    return original.absoluteDir().filePath(base + QLatin1String(".jet"));
}

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

constexpr int kMostBackups = 10000;

// Renames the original to the first free backup name; QFile::rename never replaces a file,
// so a name taken in the meantime only moves us on to the next.
QString moveAside(const QString &path)
{
    const QFileInfo original(path);
    for (int number = 0; number < kMostBackups; ++number) {
        const QString candidate = backupCandidate(original, number);
        if (taken(candidate))
            continue;
        QFile file(path);
        if (file.rename(candidate))
            return candidate;
        if (!taken(candidate))
            throw JetError(path, QStringLiteral("Не удалось переименовать файл «%1» в «%2»: %3")
                                     .arg(path, candidate, file.errorString()));
    }
    throw JetError(path, QStringLiteral("Для файла «%1» не нашлось свободного имени резервной копии.").arg(path));
}

} // namespace

QString backupPath(const QString &path)
{
    const QFileInfo original(path);
    for (int number = 0; number < kMostBackups; ++number) {
        const QString candidate = backupCandidate(original, number);
        if (!taken(candidate))
            return candidate;
    }
    return {};
}

ConversionResult convert(const QString &path, const Progress &progress)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw JetError(path, QStringLiteral("Файл «%1» не найден.").arg(path));
    if (!info.isFile() || !info.isReadable())
        throw JetError(path, QStringLiteral("Файл «%1» не удаётся прочитать.").arg(path));
    if (!isJetFile(path))
        throw JetError(path, QStringLiteral("Файл «%1» не является базой данных Jet 4.0.").arg(path));
    // A Jet file is a whole number of pages, the header page and the first system pages at
    // least; anything else was cut short.
    if (info.size() % kPageSize != 0)
        throw damaged(path, QStringLiteral("его длина (%1 байт) не кратна размеру страницы").arg(info.size()));
    if (info.size() < 3 * kPageSize)
        throw damaged(path, QStringLiteral("в нём нет даже списка таблиц"));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isWritable())
        throw JetError(path, QStringLiteral("Нет доступа на запись в папку «%1»: новую базу данных для файла «%2» "
                                            "негде записать.")
                                 .arg(QDir::toNativeSeparators(folder), path));

    Meter meter(path, progress);
    const Tables tables = readTables(path, static_cast<unsigned long>(info.size() / kPageSize), meter);

    // Everything is built inside a folder of its own beside the original: on the same file
    // system, so the final move is a rename, and removed whole on any way out.
    QTemporaryDir work(QDir(folder).filePath(QStringLiteral(".velTor-convert-XXXXXX")));
    if (!work.isValid())
        throw JetError(path, QStringLiteral("Не удалось создать временную папку рядом с файлом «%1»: %2")
                                 .arg(path, work.errorString()));
    const QString built = work.filePath(QStringLiteral("ledger.tor"));
    Written written;
    try {
        written = writeLedger(tables, built, path, meter);
    } catch (const JetError &) {
        throw;
    } catch (const Cancelled &) {
        throw;
    } catch (const ledger::Error &error) {
        throw JetError(path, QStringLiteral("Не удалось записать новую базу данных для файла «%1»: %2")
                                 .arg(path, error.text()));
    }
    meter.finish();

    const QString backup = moveAside(path);
    QFile ledgerFile(built);
    if (!ledgerFile.rename(path)) {
        const QString why = ledgerFile.errorString();
        if (QFile::rename(backup, path))
            throw JetError(path, QStringLiteral("Не удалось поставить новую базу данных на место файла «%1»: %2")
                                     .arg(path, why));
        throw JetError(path, QStringLiteral("Не удалось поставить новую базу данных на место файла «%1»: %2. "
                                            "Исходный файл сохранён как «%3».")
                                 .arg(path, why, backup));
    }

    ConversionResult result;
    result.ledgerPath = path;
    result.backupPath = backup;
    result.rows = written.rows;
    result.droppedLines = written.droppedLines;
    return result;
}

} // namespace jet
