#include "testsupport.h"

#include "ledger/schema.h"

#include <QCryptographicHash>
#include <QDate>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace testing {

Workspace::Workspace()
{
    QVERIFY2(m_dir.isValid(), "no temporary folder");
}

QString Workspace::path(const QString &name) const
{
    return m_dir.filePath(name);
}

QString Workspace::newLedger(const QString &name) const
{
    const QString file = path(name);
    ledger::Connection::create(file);
    return file;
}

RawFile::RawFile(const QString &path)
{
    static int counter = 0;
    m_name = QStringLiteral("raw-%1").arg(++counter);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    if (!db.open())
        qFatal("cannot open %s", qPrintable(path));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA foreign_keys = ON"));
}

RawFile::~RawFile()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QStringList RawFile::rows(const QString &sql) const
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(sql))
        qFatal("query failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    QStringList result;
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << (q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

QVariant RawFile::value(const QString &sql) const
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(sql))
        qFatal("query failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q.next() ? q.value(0) : QVariant();
}

void RawFile::exec(const QString &sql) const
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(sql))
        qFatal("statement failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray fileDigest(const QString &path)
{
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256).toHex();
}

QString todayIso()
{
    return QDate::currentDate().toString(Qt::ISODate);
}

QString thisMonthYearsAgo(int years, int day)
{
    const QDate today = QDate::currentDate();
    return QDate(today.year() - years, today.month(), day).toString(Qt::ISODate);
}

QString otherMonth(int day)
{
    const QDate today = QDate::currentDate();
    return QDate(today.year(), today.month() % 12 + 1, day).addYears(today.month() == 12 ? -1 : 0).toString(Qt::ISODate);
}

void addEarlierLedgerRows()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("version");
    // Version 1: no kept totals, no indexes; version 2: lines in every month, no index for
    // the month's largest lines.
    QTest::newRow("version 1") << QStringLiteral("ledger-v1.tor") << 1;
    QTest::newRow("version 2") << QStringLiteral("ledger-v2.tor") << 2;
}

bool copyTestData(const QString &file, const QString &path)
{
    return QFile::copy(QStringLiteral(VELTOR_TEST_DATA "/") + file, path)
           && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QMap<QString, QStringList> ledgerContents(const QString &path)
{
    RawFile raw(path);
    QMap<QString, QStringList> all;
    for (const QString &name : ledger::schema::views() + ledger::schema::tables()) {
        QStringList rows = raw.rows(QStringLiteral("SELECT * FROM %1").arg(name));
        if (name.startsWith(QLatin1String("GrafRashod")) || name.startsWith(QLatin1String("TopRashod")))
            rows.sort();
        all.insert(name, rows);
    }
    return all;
}

} // namespace testing
