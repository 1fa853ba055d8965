#include "e2e/steps.h"

#include <QDate>
#include <QFile>

namespace e2e {

const QString kCreate = QStringLiteral("Создание базы данных");
const QString kExpense = QStringLiteral("Добавить расход");
const QString kIncome = QStringLiteral("Добавить доход");
const QString kEdit = QStringLiteral("Изменить запись расхода");
const QString kCredit = QStringLiteral(" Кредитный калькулятор");
const QString kSettings = QStringLiteral("Настройки");
const QString kPassword = QStringLiteral("Ввод пароля");

QString today()
{
    return QDate::currentDate().toString(Qt::ISODate);
}

bool openWindow(Journey &j, const QString &keys, const QString &title)
{
    return j.key(keys) && j.waitWindow(title);
}

bool fillFields(Journey &j, const QStringList &texts)
{
    for (int i = 0; i < texts.size(); ++i) {
        if ((i > 0 && !j.key(QStringLiteral("Tab"))) || !j.type(texts.at(i)))
            return false;
    }
    return true;
}

// Tab goes from the file field past "..." to the password, then to the description, whose
// text ctrl+a selects to be typed over.
bool typePasswordAndDescription(Journey &j, const QString &password, const QString &description)
{
    return j.key(QStringLiteral("Tab Tab")) && j.type(password) && j.key(QStringLiteral("Tab ctrl+a"))
           && j.type(description);
}

bool openCalculator(Journey &j)
{
    return openWindow(j, QStringLiteral("ctrl+l"), kCredit) && j.key(QStringLiteral("Home shift+End"));
}

bool bookPayment(Journey &j, const QString &keys)
{
    return j.key(keys) && j.waitGone(kCredit);
}

bool waitNewestLine(Journey &j, const QString &expected)
{
    return j.waitLedger(QStringLiteral("SELECT names, price FROM Rashod ORDER BY id DESC LIMIT 1"), expected);
}

// The first start: no ledger yet, so the create-ledger dialog comes up with "vel.tor" and
// "VelTor" filled in; Enter is OK.
bool createOnFirstStart(Journey &j, const QString &password, const QString &description)
{
    return j.start() && j.waitWindow(kCreate) && typePasswordAndDescription(j, password, description)
           && j.key(QStringLiteral("Return")) && j.waitGone(kCreate)
           && j.waitMainTitle(description.isEmpty() ? QStringLiteral("velTor") : QStringLiteral("velTor - ") + description);
}

// A ledger made before the first start, through the program's own code, filled with the
// stock tool; the program then opens it at start-up.
bool prepareLedger(Journey &j, const QString &description, const QString &sql)
{
    QString why;
    if (!Journey::createLedger(j.ledger(), &why)) {
        qWarning("%s", qPrintable(why));
        return false;
    }
    return j.sqlWrite(QStringLiteral("UPDATE VelTor SET names = '%1';\n").arg(description) + sql);
}

bool startWithLedger(Journey &j, const QString &description, const QString &sql)
{
    return prepareLedger(j, description, sql) && j.start() && j.waitMainTitle(QStringLiteral("velTor - ") + description);
}

// n journal rows, one a day up to today, the newest with the highest id: incomes named
// after their id, every fourth an expense batch of one line.
QString journalRows(int n)
{
    return QStringLiteral(
               "BEGIN;\n"
               "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < %1)\n"
               "INSERT INTO List (id, names, suma, dates, times)\n"
               " SELECT i, CASE WHEN i % 4 = 0 THEN 'Расход' ELSE 'Доход - запись ' || i END, i * 10000,\n"
               "  date('now', 'localtime', '-' || (%1 - i) || ' days'), '12:00:00' FROM k;\n"
               "INSERT INTO Rashod (kod, names, price, counts, doc, dates)\n"
               " SELECT id, 'товар ' || id, suma, 10000, '', dates FROM List WHERE names = 'Расход';\n"
               "COMMIT;\n")
        .arg(n);
}

QString settingsText(const Journey &j)
{
    QFile file(j.settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no settings file %1)").arg(j.settingsFile());
    return QString::fromUtf8(file.readAll());
}

// The expense dialog's OK, reached from the item box by Tab: price, quantity, document,
// date, (the add button, disabled after a line is added), the line list, OK.
bool pressOk(Journey &j)
{
    return j.key(QStringLiteral("Tab Tab Tab Tab Tab Tab space"));
}

// Deletes the journal's current row through the Delete key and the question's Yes (Enter),
// and tells which row it was, counted from the top of the journal as it stood.
bool deleteCurrentRow(Journey &j, int *row)
{
    const QStringList before = j.rows(QStringLiteral("SELECT id FROM ListZ"));
    if (!j.key(QStringLiteral("Delete")) || !j.waitMessageBox())
        return false;
    if (!j.key(QStringLiteral("Return")) || !j.waitMessageBoxGone())
        return false;
    const int count = int(before.size());
    if (!j.waitLedger(QStringLiteral("SELECT count(*) FROM List"), QString::number(count - 1)))
        return false;
    const QStringList after = j.rows(QStringLiteral("SELECT id FROM ListZ"));
    *row = 0;
    while (*row < int(after.size()) && after.at(*row) == before.at(*row))
        ++*row;
    return true;
}

bool rowOnePageDown(Journey &j, int *row)
{
    return j.key(QStringLiteral("Page_Down")) && deleteCurrentRow(j, row);
}

bool deleteRowUnderPointer(Journey &j, int *row)
{
    return j.clickInMain(kGridX, kGridY) && deleteCurrentRow(j, row);
}

bool deleteTopRowUnderPointer(Journey &j, int *row)
{
    return j.key(QStringLiteral("ctrl+Home")) && deleteRowUnderPointer(j, row);
}

bool wheelFromTop(Journey &j, int notches)
{
    return j.key(QStringLiteral("ctrl+Home")) && j.wheelInMain(kGridX, kGridY, notches);
}

} // namespace e2e
