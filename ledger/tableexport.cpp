#include "tableexport.h"

#include "database.h"
#include "schema.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>

namespace ledger::exporting {

namespace {

constexpr qint64 kReportEvery = 4096;

QString selectStatement(const QString &source, const QList<Column> &columns)
{
    QStringList fields;
    for (const Column &column : columns)
        fields << QLatin1Char('"') + QString(column.field).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return QStringLiteral("SELECT %1 FROM %2").arg(fields.join(QStringLiteral(", ")), source);
}

// The views' time of day text ("9:05:03") is a time like the tables' own.
schema::ColumnKind kindOf(const QString &field)
{
    if (field.compare(QLatin1String("ti"), Qt::CaseInsensitive) == 0)
        return schema::ColumnKind::Time;
    return schema::columnKind(field);
}

} // namespace

qint64 walk(const Connection &connection, const QString &source, const QList<Column> &columns, FileWriter &writer,
            const Progress &progress)
{
    if (!schema::isKnownSource(source))
        throw DatabaseError(QStringLiteral("Нет таблицы или запроса %1").arg(source));
    QStringList titles;
    QList<schema::ColumnKind> kinds;
    for (const Column &column : columns) {
        // The grids' titles carry a space before the text.
        titles << column.title.trimmed();
        kinds << kindOf(column.field);
    }
    const qint64 total = connection.scalar(schema::countStatement(source)).toLongLong();
    qint64 done = 0;
    try {
        writer.begin(titles, kinds);
        bool cancelled = progress && !progress(0, total);
        if (!cancelled) {
            connection.forEachRow(selectStatement(source, columns), {}, [&](const StoredRow &row) {
                writer.row(row);
                ++done;
                cancelled = progress && done % kReportEvery == 0 && !progress(done, total);
                return !cancelled;
            });
        }
        if (cancelled) {
            writer.abandon();
            return -1;
        }
        writer.commit();
    } catch (...) {
        writer.abandon();
        throw;
    }
    return done;
}

bool isNoRoom(int error)
{
    return error == ENOSPC || error == EFBIG
#ifdef EDQUOT
        || error == EDQUOT
#endif
        ;
}

QString failure(const QString &target, bool noRoom, const QString &why)
{
    const QString file = QDir::toNativeSeparators(target);
    if (noRoom) {
        const QString folder = QDir::toNativeSeparators(QFileInfo(target).absolutePath());
        const QStorageInfo disk(QFileInfo(target).absolutePath());
        QString diskName = QDir::toNativeSeparators(disk.rootPath());
        if (!disk.displayName().isEmpty() && disk.displayName() != disk.rootPath())
            diskName += QStringLiteral(" (%1)").arg(disk.displayName());
        return QStringLiteral("Не удалось записать файл «%1»: на диске %2 нет места для него "
                              "(или файл больше, чем позволено). Освободите место на диске или выберите другую папку "
                              "вместо «%3».")
            .arg(file, diskName.isEmpty() ? QStringLiteral("с папкой") : QStringLiteral("«%1»").arg(diskName), folder);
    }
    return QStringLiteral("Не удалось записать файл «%1»: %2").arg(file, why);
}

} // namespace ledger::exporting
