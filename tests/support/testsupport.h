#pragma once

#include "ledger/database.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

namespace testing {

// A folder of its own for one test case, removed afterwards.
class Workspace
{
public:
    Workspace();
    QString path(const QString &name) const;
    // Creates a ledger from the template and returns its path.
    QString newLedger(const QString &name = QStringLiteral("vel.tor")) const;

private:
    QTemporaryDir m_dir;
};

// A second connection to a file, beside the program's own, for checking what is stored
// (as the stock sqlite3 tool would see it) and for writing behind the program's back.
class RawFile
{
public:
    explicit RawFile(const QString &path);
    ~RawFile();
    // Rows of a query, each row's values joined by "|", NULL written as "NULL".
    QStringList rows(const QString &sql) const;
    QVariant value(const QString &sql) const;
    void exec(const QString &sql) const;

private:
    QString m_name;
};

QByteArray fileBytes(const QString &path);
QByteArray fileDigest(const QString &path);
QString todayIso();
// An ISO date of the current month number in an earlier year, and one of another month.
QString thisMonthYearsAgo(int years, int day = 1);
QString otherMonth(int day = 1);

} // namespace testing
