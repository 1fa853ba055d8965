// Bringing in receipts and a bank statement through the menus' keys and the file dialog,
// twice: the second time the preview offers nothing to write.

#include "e2e/steps.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

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
    const QString header = QStringLiteral(
        "Дата операции;Дата платежа;Номер карты;Статус;Сумма операции;Валюта операции;Сумма платежа;"
        "Валюта платежа;Кэшбэк;Категория;MCC;Описание;Бонусы (включая кэшбэк)");
    const QStringList rows = {
        QStringLiteral("\"20.09.2024 13:15:00\";\"20.09.2024\";\"*1234\";\"OK\";\"-1250,50\";\"RUB\";\"-1250,50\";\"RUB\";;"
                       "\"Аптеки\";\"5912\";\"Аптека у дома\";\"0,00\""),
        QStringLiteral("\"20.09.2024 13:20:00\";\"20.09.2024\";\"*1234\";\"FAILED\";\"-99,00\";\"RUB\";\"-99,00\";\"RUB\";;"
                       "\"Аптеки\";\"5912\";\"Аптека у дома\";\"0,00\""),
        QStringLiteral("\"21.09.2024 09:00:00\";\"21.09.2024\";\"*1234\";\"OK\";\"5000,00\";\"RUB\";\"5000,00\";\"RUB\";;"
                       "\"Пополнения\";\"\";\"Перевод от друга\";\"0,00\""),
    };
    return "\xEF\xBB\xBF" + (header + QLatin1Char('\n') + rows.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

bool writeSample(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The command's key, the file's name typed into the file dialog, the preview.
bool openPreview(Journey &j, const QString &keys, const QString &path, const QString &title)
{
    return j.key(keys) && j.waitWindow(kOpen) && j.type(path) && j.key(QStringLiteral("Return")) && j.waitGone(kOpen)
           && j.waitWindow(title);
}

const QString kJournal = QStringLiteral("SELECT names, suma, dates, times FROM List ORDER BY id");
const QString kLines = QStringLiteral("SELECT names, price, counts, doc, dates FROM Rashod ORDER BY id");

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
        QVERIFY(writeSample(receipts, kReceiptFile));
        QVERIFY(writeSample(statement, statementFile()));
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
        STEP(j, j.waitLedger(kLines, QStringList{QStringLiteral("Молоко 1 л|899000|10000|ФД 30526|2024-09-17"),
                                                 QStringLiteral("Яблоки, кг|1490000|4740|ФД 30526|2024-09-17"),
                                                 QStringLiteral("Хлеб|490000|20000|ФД 811|") + second.left(10)}
                                         .join(QLatin1Char('\n'))));

        STEP(j, openPreview(j, QStringLiteral("ctrl+shift+i"), statement, kStatement));
        j.shot(QStringLiteral("2-statement"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.waitGone(kStatement));
        const QString all = journal + QStringLiteral("\nРасход|12505000|2024-09-20|13:15:00"
                                                     "\nДоход - Пополнения|50000000|2024-09-21|09:00:00");
        STEP(j, j.waitLedger(kJournal, all));
        STEP(j, j.waitLedger(QStringLiteral("SELECT count(*) FROM Rashod WHERE names = 'Аптека у дома'"), QStringLiteral("1")));
        const QString keys = j.value(QStringLiteral("SELECT count(*) FROM Imported"));
        QCOMPARE(keys, QStringLiteral("4"));

        // The same files again: every row is already in the ledger, Enter writes nothing and
        // Escape closes the preview.
        STEP(j, openPreview(j, QStringLiteral("ctrl+i"), receipts, kReceipts));
        j.shot(QStringLiteral("3-receipts-again"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.key(QStringLiteral("Escape")));
        STEP(j, j.waitGone(kReceipts));
        STEP(j, openPreview(j, QStringLiteral("ctrl+shift+i"), statement, kStatement));
        j.shot(QStringLiteral("4-statement-again"));
        STEP(j, j.key(QStringLiteral("Return")));
        STEP(j, j.key(QStringLiteral("Escape")));
        STEP(j, j.waitGone(kStatement));
        STEP(j, j.waitLedger(kJournal, all));
        QCOMPARE(j.value(QStringLiteral("SELECT count(*) FROM Rashod")), QStringLiteral("4"));
        QCOMPARE(j.value(QStringLiteral("SELECT count(*) FROM Imported")), keys);
        STEP(j, j.quit());
    }

private:
    std::unique_ptr<Journey> m_j;
};

QTEST_GUILESS_MAIN(ImportJourneys)
#include "imports.moc"
