// Bringing in receipts and a bank statement through the menus' keys and the file dialog,
// twice: the second time the preview offers nothing to write.

#include "e2e/steps.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTest>

#include <memory>
#include <tuple>

using namespace e2e;

namespace {

const QString kOpen = QStringLiteral("Открыть");
const QString kReceipts = QStringLiteral("Импорт чека");
const QString kStatement = QStringLiteral("Импорт выписки");

// Two purchases in the receipt apps' usual export, one of weight goods.
const QByteArray kReceiptFile = R"([
 {"_id": "r1", "createdAt": "2024-09-17T15:02:00Z", "ticket": {"document": {"receipt": {
  "dateTime": "2024-09-17T18:01:00", "user": "ООО Ромашка", "userInn": "7700000000  ",
  "fiscalDriveNumber": "9999000011112222", "fiscalDocumentNumber": 30526, "fiscalSign": 1168453787,
  "operationType": 1, "totalSum": 16053,
  "items": [{"name": "Молоко 1 л", "price": 8990, "quantity": 1, "sum": 8990},
            {"name": "Яблоки, кг", "price": 14900, "quantity": 0.474, "sum": 7063}]}}}},
 {"_id": "r2", "createdAt": "2024-09-18T09:00:00Z", "ticket": {"document": {"receipt": {
  "dateTime": 1726650000, "user": "ИП Пекарев",
  "fiscalDriveNumber": "9999000011113333", "fiscalDocumentNumber": 811, "fiscalSign": 22334455,
  "operationType": 1, "totalSum": 9800,
  "items": [{"name": "Хлеб", "price": 4900, "quantity": 2, "sum": 9800}]}}}}
])";

// A card statement: a purchase, a failed one that does not count, and money in.
QByteArray statementFile()
{
    QString text = QStringLiteral("\xFEFFДата операции;Дата платежа;Номер карты;Статус;Сумма операции;Валюта операции;"
                                  "Сумма платежа;Валюта платежа;Кэшбэк;Категория;MCC;Описание;Бонусы (включая кэшбэк)\n");
    for (const QString &row : {QStringLiteral("20.09.2024 13:15:00|OK|-1250,50|Аптеки|Аптека у дома"),
                               QStringLiteral("20.09.2024 13:20:00|FAILED|-99,00|Аптеки|Аптека у дома"),
                               QStringLiteral("21.09.2024 09:00:00|OK|5000,00|Пополнения|Перевод от друга")}) {
        const QStringList f = row.split(QLatin1Char('|'));
        text += QStringLiteral("\"%1\";\"%2\";\"*1234\";\"%3\";\"%4\";\"RUB\";\"%4\";\"RUB\";;\"%5\";\"5912\";\"%6\";\"0,00\"\n")
                    .arg(f[0], f[0].left(10), f[1], f[2], f[3], f[4]);
    }
    return text.toUtf8();
}

// The command's key, the file's name typed into the file dialog, the preview.
bool openPreview(Journey &j, const QString &keys, const QString &path, const QString &title)
{
    return j.key(keys) && j.waitWindow(kOpen) && j.type(path) && j.key(QStringLiteral("Return")) && j.waitGone(kOpen)
           && j.waitWindow(title);
}

const QString kJournal = QStringLiteral("SELECT names, suma, dates, times FROM List ORDER BY id");

} // namespace

class ImportJourneys : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_j = std::make_unique<Journey>();
        QVERIFY2(m_j->xRunning(), qPrintable(m_j->why()));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qInfo("the screen at the failure: %s", qPrintable(m_j->shot(QStringLiteral("failure"))));
        m_j.reset();
    }

    void importTwice()
    {
        Journey &j = *m_j;
        const QString receipts = QDir(j.appFolder()).filePath(QStringLiteral("чеки.json"));
        const QString statement = QDir(j.appFolder()).filePath(QStringLiteral("выписка.csv"));
        QVERIFY(QDir().mkpath(j.appFolder()));
        QVERIFY(testing::writeFile(receipts, kReceiptFile));
        QVERIFY(testing::writeFile(statement, statementFile()));
        STEP(j, startWithLedger(j, QStringLiteral("Импорт"), QString()));

        // Nothing is written while the preview shows; Enter is "Записать".
        STEP(j, openPreview(j, QStringLiteral("ctrl+i"), receipts, kReceipts));
        j.shot(QStringLiteral("1-receipts"));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM List"), QStringLiteral("0")));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kReceipts));
        const QString second = QDateTime::fromSecsSinceEpoch(1726650000).toString(QStringLiteral("yyyy-MM-dd|HH:mm:ss"));
        const QString journal = QStringList{QStringLiteral("Расход|1605300|2024-09-17|18:01:00"),
                                            QStringLiteral("Расход|980000|") + second}
                                    .join(QLatin1Char('\n'));
        STEP(j, j.waitLedger(kJournal, journal));
        STEP(j, j.waitLedger(QStringLiteral("SELECT group_concat(names || '|' || counts || '|' || doc, ';') FROM Rashod"),
                             QStringLiteral("Молоко 1 л|10000|ФД 30526;Яблоки, кг|4740|ФД 30526;Хлеб|20000|ФД 811")));

        STEP(j, openPreview(j, QStringLiteral("ctrl+shift+i"), statement, kStatement));
        j.shot(QStringLiteral("2-statement"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kStatement));
        const QString all = journal + QStringLiteral("\nРасход|12505000|2024-09-20|13:15:00"
                                                     "\nДоход - Пополнения|50000000|2024-09-21|09:00:00");
        STEP(j, j.waitLedger(kJournal, all));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Rashod WHERE names = 'Аптека у дома'"), QStringLiteral("1")));
        QCOMPARE(j.value(QStringLiteral("SELECT count(*) FROM Imported")), QStringLiteral("4"));

        // The same files again: every row is already in the ledger, Enter writes nothing and
        // Escape closes the preview.
        for (const auto &[keys, file, title] : {std::tuple{QStringLiteral("ctrl+i"), receipts, kReceipts},
                                                std::tuple{QStringLiteral("ctrl+shift+i"), statement, kStatement}}) {
            STEP(j, openPreview(j, keys, file, title));
            j.shot(title + QStringLiteral(" again"));
            STEP(j, j.key(QStringLiteral("Return")) && j.key(QStringLiteral("Escape")) && j.waitGone(title));
        }
        STEP(j, j.waitLedger(kJournal, all));
        QCOMPARE(j.value(QStringLiteral("SELECT count(*) FROM Rashod")), QStringLiteral("4"));
        QCOMPARE(j.value(QStringLiteral("SELECT count(*) FROM Imported")), QStringLiteral("4"));
        STEP(j, j.quit());
    }

private:
    std::unique_ptr<Journey> m_j;
};

QTEST_GUILESS_MAIN(ImportJourneys)
#include "imports.moc"
