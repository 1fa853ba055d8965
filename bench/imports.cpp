#include "imports.h"

#include "imports/importplan.h"
#include "ledger/database.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <vector>

namespace bench {

namespace {

// A T-Bank statement of `count` operations over the last year: nine in ten purchases.
QByteArray statement(int count)
{
    QByteArray csv = "Дата операции;Дата платежа;Номер карты;Статус;Сумма операции;Валюта операции;Сумма платежа;"
                     "Валюта платежа;Кэшбэк;Категория;MCC;Описание;Бонусы (включая кэшбэк)\n";
    QRandomGenerator random(27);
    const QDateTime start(QDate::currentDate().addYears(-1), QTime(8, 0));
    for (int i = 0; i < count; ++i) {
        const QDateTime when = start.addSecs(qint64(i) * 3153);
        const bool income = i % 10 == 0;
        const QByteArray sum = (income ? "+" : "-") + QByteArray::number(random.bounded(1, 500000)) + ","
                               + QByteArray::number(random.bounded(10, 99));
        csv += "\"" + when.toString("dd.MM.yyyy HH:mm:ss").toUtf8() + "\";\"" + when.toString("dd.MM.yyyy").toUtf8()
               + "\";\"*1234\";\"OK\";\"" + sum + "\";\"RUB\";\"" + sum + "\";\"RUB\";;\""
               + (income ? "Пополнения" : "Супермаркеты") + "\";\"5411\";\"Магазин " + QByteArray::number(i % 300)
               + "\";\"0,00\"\n";
    }
    return csv;
}

// `count` receipts of five items each, in the usual export's nesting.
QByteArray receipts(int count)
{
    QByteArray json = "[";
    QRandomGenerator random(54);
    const QDateTime start(QDate::currentDate().addYears(-1), QTime(9, 0));
    for (int i = 0; i < count; ++i) {
        QByteArray items;
        qint64 total = 0;
        for (int k = 0; k < 5; ++k) {
            const qint64 price = random.bounded(100, 100000);
            total += price * 2;
            items += (k ? "," : "") + QByteArray("{\"name\":\"Товар ") + QByteArray::number(random.bounded(2000))
                     + "\",\"price\":" + QByteArray::number(price) + ",\"quantity\":2,\"sum\":"
                     + QByteArray::number(price * 2) + "}";
        }
        json += (i ? "," : "") + QByteArray("{\"_id\":\"") + QByteArray::number(i) + "\",\"ticket\":{\"document\":{\"receipt\":"
                "{\"user\":\"ООО Магазин\",\"dateTime\":\"" + start.addSecs(qint64(i) * 31536).toString(Qt::ISODate).toUtf8()
                + "\",\"fiscalDriveNumber\":\"9999078900012345\",\"fiscalDocumentNumber\":" + QByteArray::number(i + 1)
                + ",\"fiscalSign\":" + QByteArray::number(1000000000 + i) + ",\"operationType\":1,\"totalSum\":"
                + QByteArray::number(total) + ",\"items\":[" + items + "]}}}}";
    }
    return json + "]";
}

double ms(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

void timeOne(const ledger::Connection &connection, const char *name, int runs, const Report &report,
             const std::function<imports::ReadResult()> &read)
{
    std::vector<double> times;
    QVector<imports::Candidate> candidates;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer clock;
        clock.start();
        candidates = read().candidates;
        imports::markKnown(connection, candidates);
        times.push_back(ms(clock));
    }
    std::sort(times.begin(), times.end());
    report(qPrintable(QStringLiteral("%1_preview").arg(QLatin1String(name))), times[times.size() / 2], "ms");
    QElapsedTimer clock;
    clock.start();
    const int written = imports::writeTicked(connection, candidates);
    report(qPrintable(QStringLiteral("%1_write").arg(QLatin1String(name))), ms(clock), "ms");
    report(qPrintable(QStringLiteral("%1_written").arg(QLatin1String(name))), written, "entries");
}

} // namespace

void timeImports(const QString &path, const QString &scratchFolder, int runs, const Report &report)
{
    const QString copy = scratchFolder + QStringLiteral("/imports.tor");
    QFile::remove(copy);
    QFile::copy(path, copy);
    auto connection = ledger::Connection::open(copy);
    const QByteArray csv = statement(10000);
    const QByteArray json = receipts(1000);
    timeOne(*connection, "import_statement_10k", runs, report,
            [&] { return imports::readStatement(csv, QStringLiteral("выписка.csv")); });
    timeOne(*connection, "import_receipts_1k", runs, report,
            [&] { return imports::readReceipts(json, QStringLiteral("чеки.json")); });
    connection.reset();
    QFile::remove(copy);
}

} // namespace bench
