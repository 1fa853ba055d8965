#pragma once

#include "ledger/database.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

namespace testing {

// The bound of every wait for something the program does later (a timer's tick, a deferred
// deletion, a window's activation, a dialog nobody answers). A wait ends as soon as what it
// waits for has happened; the bound only turns a broken program into a failure instead of a
// hang, and lies far beyond what a loaded machine needs.
inline constexpr int kEventBound = 60000;


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
// Writes `bytes` as the whole of the file; false when it cannot.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray fileDigest(const QString &path);
QString todayIso();
// An ISO date of the current month number in an earlier year, and one of another month.
QString thisMonthYearsAgo(int years, int day = 1);
QString otherMonth(int day = 1);

// The ledgers that earlier versions of the program wrote, kept in the tests' data: the data
// columns "file" and "version" and a row for each.
void addEarlierLedgerRows();
// A writable copy of a file of the tests' data at `path`; false when it cannot be made.
bool copyTestData(const QString &file, const QString &path);
// Every view and table of a ledger as the stock engine shows it, to compare a file before
// and after the program changed it. Lines of equal date or amount may come in another order
// in some views: those are compared as sets.
QMap<QString, QStringList> ledgerContents(const QString &path);

} // namespace testing

// QTRY_VERIFY and QTRY_COMPARE with the bound above instead of Qt's five seconds.
#define WAIT_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, testing::kEventBound)
#define WAIT_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, testing::kEventBound)
