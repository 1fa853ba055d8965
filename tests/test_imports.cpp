// The imports: receipts (JSON and QR) and bank statements read into candidates, checked
// against the ledger and written once, never twice. Every sample is made here from the
// formats' rules.
#include "support/testsupport.h"

#include "imports/importplan.h"
#include "ledger/database.h"
#include "ledger/error.h"
#include "ledger/schema.h"

#include <QFile>
#include <QTest>
#include <QTimeZone>

using imports::Candidate;
using imports::Direction;
using testing::RawFile;
using testing::Workspace;

namespace {

// Texts as a windows-1251 file holds them (the Russian letters and ё are all the samples use).
QByteArray cp1251(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bytes += u < 0x80 ? char(u) : u == 0x451 ? '\xB8' : u == 0x401 ? '\xA8' : char(0xC0 + (u - 0x410));
    }
    return bytes;
}

const char *kReceipt = R"({"user":"ООО «Ромашка»  ","userInn":"7700000000  ","retailPlace":"Магазин","dateTime":%1,
  "fiscalDriveNumber":"7281440500751551","fiscalDocumentNumber":30526,"fiscalSign":1168453787,
  "operationType":%2,"totalSum":%3,"items":[{"name":"Яблоки","price":19990,"quantity":0.474,"sum":9475},
  {"name":"Хлеб","price":%4,"quantity":2,"sum":9000}]})";

QByteArray receipt(const QString &dateTime = "\"2024-09-17T18:01\"", int type = 1, qint64 total = 18475,
                   qint64 bread = 4500)
{
    return QString::fromUtf8(kReceipt).arg(dateTime).arg(type).arg(total).arg(bread).toUtf8();
}

const QString kTHeader = "Дата операции;Дата платежа;Номер карты;Статус;Сумма операции;Валюта операции;Сумма "
                         "платежа;Валюта платежа;Кэшбэк;Категория;MCC;Описание;Бонусы (включая кэшбэк)";
QString tRow(const QString &when, const QString &status, const QString &sum, const QString &category, const QString &what)
{
    return QStringLiteral("\"%1\";\"%2\";\"*1234\";\"%3\";\"%4\";\"RUB\";\"%4\";\"RUB\";;\"%5\";\"5411\";\"%6\";\"0,00\"")
        .arg(when, when.left(10), status, sum, category, what);
}

QString names(const QVector<Candidate> &candidates)
{
    QStringList out;
    for (const Candidate &c : candidates)
        out << QStringLiteral("%1 %2 %3%4").arg(c.moment.toString("yyyy-MM-dd HH:mm:ss"), c.title,
                                                 c.direction == Direction::Expense ? "-" : "+",
                                                 QString::number(c.amount.toDouble(), 'f', 2));
    return out.join(" / ");
}

QString refusal(const std::function<void()> &read)
{
    try {
        read();
    } catch (const ledger::Error &e) {
        return e.text();
    }
    return "read";
}

} // namespace

class ImportsTest : public QObject
{
    Q_OBJECT

private slots:
    void receipts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("read");     // the candidates
        QTest::addColumn<QString>("rejected"); // the first reason, or nothing
        QTest::addColumn<int>("warnings");
        const QString good = "2024-09-17 18:01:00 ООО «Ромашка» -184.75";
        QTest::newRow("the usual export") << "[{\"_id\":\"1\",\"createdAt\":\"x\",\"ticket\":{\"document\":{\"receipt\":"
                                                 + receipt() + "}}}]" << good << "" << 0;
        QTest::newRow("top level, seconds") << receipt("\"2024-09-17T18:01:30\"") << "2024-09-17 18:01:30 ООО «Ромашка» -184.75"
                                            << "" << 0;
        QTest::newRow("document.bso, Unix seconds")
            << "{\"document\":{\"bso\":" + receipt("1726596060") + "}}"
            << QDateTime::fromSecsSinceEpoch(1726596060).toLocalTime().toString("yyyy-MM-dd HH:mm:ss") + " ООО «Ромашка» -184.75"
            << "" << 0;
        QTest::newRow("data.json") << "{\"data\":{\"json\":" + receipt() + "}}" << good << "" << 0;
        QTest::newRow("refund") << receipt("\"2024-09-17T18:01\"", 2) << "2024-09-17 18:01:00 ООО «Ромашка» +184.75" << "" << 1;
        QTest::newRow("items short of the total") << receipt("\"2024-09-17T18:01\"", 1, 18500) << "2024-09-17 18:01:00 ООО «Ромашка» -185.00"
                                                  << "" << 1;
        QTest::newRow("sum not price x quantity") << receipt("\"2024-09-17T18:01\"", 1, 18475, 4501) << good << "" << 1;
        QTest::newRow("half good") << "[" + receipt() + "," + receipt("\"2024-02-30T10:00\"") + "," + receipt("\"2024-09-17T18:01\"", 1, 18475, -5)
                                              + "," + receipt("\"2024-09-17T18:01\"", 1, 100000000000000000) + "]"
                                   << good << "чек 2: невозможная дата «2024-02-30T10:00»" << 0;
    }

    void receipts()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, read);
        QFETCH(QString, rejected);
        QFETCH(int, warnings);
        const imports::ReadResult result = imports::readReceipts(json, "чеки.json");
        QCOMPARE(names(result.candidates), read);
        QCOMPARE(result.rejected.isEmpty() ? QString() : result.rejected.first().origin.section(", ", 1) + ": "
                                                             + result.rejected.first().reason,
                 rejected);
        const Candidate &c = result.candidates.first();
        QCOMPARE(c.warnings.size(), warnings);
        QCOMPARE(c.key, QString("чек ФН 7281440500751551 ФД 30526 ФП 1168453787"));
        QCOMPARE(c.refund, c.direction == Direction::Income);
        QCOMPARE(c.ticked, !c.refund);
        QCOMPARE(c.incomeType, QString(c.refund ? "Возврат покупки" : ""));
        // Weight goods keep their quantity; every line has the receipt's document and day.
        QCOMPARE(c.lines.size(), 2);
        QCOMPARE(c.lines[0].counts, ledger::Money::fromTicks(4740));
        QCOMPARE(c.lines[0].price, ledger::Money::fromTicks(1999000));
        for (const ledger::ExpenseLine &line : c.lines) {
            QCOMPARE(line.document, QString("ФД 30526"));
            QCOMPARE(line.date, c.moment.date());
        }
        if (QByteArray(QTest::currentDataTag()) == "half good") {
            QCOMPARE(result.rejected.size(), 3);
            QVERIFY(result.rejected[1].reason.contains("отрицательна"));
            QVERIFY(result.rejected[2].reason.contains("диапазон"));
        }
    }

    void whatIsNoReceiptFileIsRefusedByName_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("broken JSON") << QByteArray("[{\"items\":[");
        QTest::newRow("another kind") << QByteArray("Дата операции;Статус\n");
        QTest::newRow("JSON, no receipt") << QByteArray("[{\"a\":1},{\"b\":{\"c\":2}}]");
    }

    void whatIsNoReceiptFileIsRefusedByName()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(refusal([&] { imports::readReceipts(bytes, "чеки.json"); }).startsWith("Файл «чеки.json» не удалось прочитать"));
    }

    void receiptQr_data()
    {
        QTest::addColumn<QString>("qr");
        QTest::addColumn<QString>("read");
        QTest::newRow("minutes") << "t=20240917T1801&s=1285.21&fn=7281440500751551&i=30526&fp=1168453787&n=1"
                                 << "2024-09-17 18:01:00 Покупка по чеку -1285.21";
        QTest::newRow("seconds") << "t=20240917T180130&s=1285&fn=7281440500751551&i=30526&fp=1168453787&n=1"
                                 << "2024-09-17 18:01:30 Покупка по чеку -1285.00";
        QTest::newRow("refund") << "t=20240917T1801&s=1.5&fn=7281440500751551&i=30526&fp=1168453787&n=2"
                                << "2024-09-17 18:01:00 Покупка по чеку +1.50";
        QTest::newRow("impossible date") << "t=20241317T1801&s=1.5&fn=1&i=2&fp=3&n=1" << "";
        QTest::newRow("no amount") << "t=20240917T1801&s=abc&fn=1&i=2&fp=3&n=1" << "";
        QTest::newRow("control characters in a number") << QString("t=20240917T1801&s=1&fn=1&i=2%1&fp=3&n=1").arg(QChar(14)) << "";
    }

    void receiptQr()
    {
        QFETCH(QString, qr);
        QFETCH(QString, read);
        const imports::ReadResult result = imports::readReceiptQr(qr);
        QCOMPARE(names(result.candidates), read);
        QCOMPARE(result.rejected.size(), read.isEmpty() ? 1 : 0);
        // The same key as the receipt's JSON: a receipt taken in either way is not taken twice.
        if (!read.isEmpty())
            QCOMPARE(result.candidates[0].key, imports::readReceipts(receipt(), "a").candidates[0].key);
    }

    void statements_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("incomeType"); // of the first income
        QTest::addColumn<QString>("rejected");
        const QString tRows = kTHeader + "\r\n" + tRow("17.09.2024 18:01:05", "OK", "-1285,21", "Супермаркеты", "Ромашка")
                              + "\r\n" + tRow("17.09.2024 19:00:00", "FAILED", "-50,00", "Кафе", "Кофе") + "\r\n"
                              + tRow("18.09.2024 09:00:00", "OK", "+50000,00", "Зарплата", "Пополнение") + "\r\n";
        const QString tRead = "2024-09-17 18:01:05 Ромашка -1285.21 / 2024-09-18 09:00:00 Пополнение +50000.00";
        QTest::newRow("T-Bank, windows-1251") << cp1251(tRows) << tRead << "Зарплата" << "";
        QTest::newRow("T-Bank, UTF-8 with BOM, newer columns")
            << "\xEF\xBB\xBF" + QString(tRows).replace("\"0,00\"", "\"0,00\";\"0\";\"1\"")
                                    .replace(kTHeader, kTHeader + ";Округление на инвесткопилку;Сумма операции с округлением")
                                    .toUtf8()
            << tRead << "Зарплата" << "";
        QTest::newRow("T-Bank, header only") << kTHeader.toUtf8() << "" << "" << "";
        QTest::newRow("Sber") << QString("Тип карты;Номер карты;Дата совершения операции;Дата обработки операции;Код "
                                         "авторизации;Тип операции;Город совершения операции;Страна совершения операции;"
                                         "Описание;Валюта операции;Сумма в валюте операции;Сумма в валюте счета;\n"
                                         "Visa;*5678;05.03.2024;06.03.2024;A1;Покупка;Москва;RUS;Метро;RUB;-,01;-,01;\n"
                                         "Visa;*5678;31.02.2024;06.03.2024;A2;Покупка;Москва;RUS;Метро;RUB;-62;-62;\n")
                                     .toUtf8()
                              << "2024-03-05 00:00:00 Метро -0.01" << "" << "строка 3: невозможная дата «31.02.2024»";
        QTest::newRow("Alfa, two-digit years") << cp1251("Тип счёта;Номер счета;Валюта;Дата операции;Референс проводки;Описание "
                                                         "операции;Приход;Расход;\nТекущий;4081;RUR;01.02.24;R1;Аптека;0;"
                                                         "350,5;\nТекущий;4081;RUR;02.02.24;R2;Кешбэк;12,00;0;\n"
                                                         "Текущий;4081;RUR;03.02.24;R3;Ошибка;99999999999999999,00;0;\n")
                                               << "2024-02-01 00:00:00 Аптека -350.50 / 2024-02-02 00:00:00 Кешбэк +12.00"
                                               << "Кешбэк" << "строка 4: приход «99999999999999999,00» не число или вне допустимого диапазона сумм";
        const QDateTime msk = QDateTime(QDate(2024, 9, 17), QTime(18, 1), QTimeZone(3 * 3600)).toLocalTime();
        QTest::newRow("OFX 1, SGML") << QByteArray("OFXHEADER:100\nDATA:OFXSGML\nCHARSET:1251\n\n<OFX><BANKMSGSRSV1><STMTTRNRS>"
                                                   "<STMTRS><BANKACCTFROM><ACCTID>42\n<BANKTRANLIST>\n<STMTTRN><TRNTYPE>DEBIT\n"
                                                   "<DTPOSTED>20240917180100.000[+3:MSK]\n<TRNAMT>-10.50\n<FITID>F1\n<NAME>Caf&amp;e\n"
                                                   "<STMTTRN><TRNTYPE>CREDIT\n<DTPOSTED>20240918\n<TRNAMT>1e3\n<FITID>F2\n"
                                                   "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n")
                                     << msk.toString("yyyy-MM-dd HH:mm:ss") + " Caf&e -10.50" << ""
                                     << "строка 12: сумма (TRNAMT) «1e3» не число или вне допустимого диапазона сумм";
        QTest::newRow("OFX 2, XML, card") << QByteArray("<?xml version=\"1.0\"?><?OFX OFXHEADER=\"200\"?><OFX><CREDITCARDMSGSRSV1>"
                                                        "<CCSTMTTRNRS><CCSTMTRS><BANKTRANLIST><STMTTRN><TRNTYPE>CREDIT</TRNTYPE>"
                                                        "<DTPOSTED>20240102103000</DTPOSTED><TRNAMT>250.00</TRNAMT><FITID>X</FITID>"
                                                        "<NAME>Refund</NAME><MEMO>order 7</MEMO></STMTTRN></BANKTRANLIST></CCSTMTRS>"
                                                        "</CCSTMTTRNRS></CREDITCARDMSGSRSV1></OFX>")
                                          << "2024-01-02 10:30:00 Refund +250.00" << "Refund" << "";
        QTest::newRow("QIF") << QString("!Type:Bank\nD13/01/2024\nT-1,234.56\nPМагазин\nLПродукты\n^\nD14.01.2024\nT500\n"
                                        "PРабота\nLЗарплата\n^\nD32/01/2024\nT1\n^\n")
                                    .toUtf8()
                             << "2024-01-13 00:00:00 Магазин -1234.56 / 2024-01-14 00:00:00 Работа +500.00" << "Зарплата"
                             << "строка 12: невозможная дата «32/01/2024»";
    }

    void statements()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, read);
        QFETCH(QString, incomeType);
        QFETCH(QString, rejected);
        const imports::ReadResult result = imports::readStatement(bytes, "выписка.txt");
        QCOMPARE(names(result.candidates), read);
        QCOMPARE(result.rejected.isEmpty() ? QString() : result.rejected.first().origin.section(", ", 1) + ": "
                                                             + result.rejected.first().reason,
                 rejected);
        QSet<QString> keys;
        for (const Candidate &c : result.candidates) {
            keys.insert(c.key);
            if (c.direction == Direction::Income) {
                QCOMPARE(c.incomeType, incomeType);
                continue;
            }
            QCOMPARE(c.lines.size(), 1);
            QCOMPARE(c.lines[0].name, c.title);
            QCOMPARE(c.lines[0].price, c.amount);
            QCOMPARE(c.lines[0].counts, ledger::Money::fromUnits(1));
            QCOMPARE(c.lines[0].date, c.moment.date());
        }
        QCOMPARE(keys.size(), result.candidates.size());
    }

    void whatIsNoStatementIsRefusedByName_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown columns") << QByteArray("Дата;Сумма\n01.01.2024;5\n") << "строка 1: столбцы не похожи";
        QTest::newRow("a receipt") << receipt() << "это не выписка";
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0;", 12) << "это не выписка";
        QTest::newRow("QIF of investments") << QByteArray("!Type:Invst\nD1/2/2024\n^\n") << "счёт вида «Invst»";
        QTest::newRow("OFX without statement") << QByteArray("OFXHEADER:100\n<OFX><SIGNONMSGSRSV1></OFX>") << "в нём нет выписки";
    }

    void whatIsNoStatementIsRefusedByName()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString text = refusal([&] { imports::readStatement(bytes, "выписка.csv"); });
        QVERIFY2(text.startsWith("Файл «выписка.csv» не удалось прочитать: " + reason), qPrintable(text));
    }

    void qifDatesReadOneWayOrAskOnce_data()
    {
        QTest::addColumn<QByteArray>("qif");
        QTest::addColumn<bool>("ambiguous");
        QTest::addColumn<QString>("dayFirst");
        QTest::addColumn<QString>("monthFirst");
        QTest::newRow("both ways") << QByteArray("!Type:CCard\nD02/03/2024\nT-1\n^\n") << true << "2024-03-02" << "2024-02-03";
        QTest::newRow("settled by a 13") << QByteArray("!Type:Cash\nD02/03/2024\nT-1\n^\nD03/13/2024\nT-1\n^\n") << false
                                         << "2024-02-03" << "2024-02-03";
        QTest::newRow("year first") << QByteArray("!Type:Bank\nD2024-03-02\nT-1\n^\n") << false << "2024-03-02" << "2024-03-02";
    }

    void qifDatesReadOneWayOrAskOnce()
    {
        QFETCH(QByteArray, qif);
        QFETCH(bool, ambiguous);
        QCOMPARE(imports::statementDatesAmbiguous(qif), ambiguous);
        QTEST(imports::readStatement(qif, "q.qif", imports::DateOrder::DayFirst).candidates[0].moment.date().toString(Qt::ISODate),
              "dayFirst");
        QTEST(imports::readStatement(qif, "q.qif", imports::DateOrder::MonthFirst).candidates[0].moment.date().toString(Qt::ISODate),
              "monthFirst");
    }

    void longTextsAreCutWithAMarkAndLargeFilesRefused()
    {
        QByteArray json = receipt();
        json.replace("Яблоки", QString::fromUcs4(U"\U0001F34E").repeated(300).toUtf8()); // surrogate pairs: one character each
        const Candidate c = imports::readReceipts(json, "a.json").candidates[0];
        QCOMPARE(c.lines[0].name.size(), 254 * 2 + 1);
        QVERIFY(c.lines[0].name.endsWith(QChar(0x2026)));
        QCOMPARE(c.warnings.size(), 1);
        Workspace ws;
        QFile big(ws.path("big.json"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(imports::kMaxFileSize + 1));
        big.close();
        QVERIFY(refusal([&] { imports::readImportFile(big.fileName()); }).contains("больше 100 МБ"));
    }

    void nothingIsWrittenTwice()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        auto connection = ledger::Connection::open(path);
        RawFile raw(path);
        raw.exec("INSERT INTO List (names, suma, dates, times) VALUES ('Расход', 12852100, '2024-09-17', '12:00:00')");
        const QByteArray first = (kTHeader + "\n" + tRow("17.09.2024 18:01:05", "OK", "-1285,21", "", "Ромашка") + "\n"
                                  + tRow("18.09.2024 09:00:00", "OK", "+500,00", "Подарок", "Перевод"))
                                     .toUtf8();
        QVector<Candidate> read = imports::readStatement(first, "a.csv").candidates;
        read << imports::readReceipts(receipt(), "r.json").candidates << imports::readReceipts(receipt(), "r.json").candidates;
        imports::markKnown(*connection, read);
        QCOMPARE(read[0].similarTo, QString("похоже на запись от 17.09.2024"));
        QVERIFY(read[0].ticked && read[1].similarTo.isEmpty() && read[3].alreadyImported); // the same receipt twice in one go
        QCOMPARE(imports::writeTicked(*connection, read), 3);
        QCOMPARE(raw.rows("SELECT names, suma, dates, times FROM List WHERE id > 1 ORDER BY id"),
                 QStringList({"Расход|12852100|2024-09-17|18:01:05", "Доход - Подарок|5000000|2024-09-18|09:00:00",
                              "Расход|1847500|2024-09-17|18:01:00"}));
        QCOMPARE(raw.value("SELECT count(*) FROM Dohod WHERE names = 'Подарок'").toInt(), 1);
        QCOMPARE(raw.rows("SELECT names, price, counts, doc, dates FROM Rashod WHERE kod = (SELECT max(id) FROM List) ORDER BY id"),
                 QStringList({"Яблоки|1999000|4740|ФД 30526|2024-09-17", "Хлеб|450000|20000|ФД 30526|2024-09-17"}));
        // Deleted since, and an overlapping later statement: only the new operation is written.
        raw.exec("DELETE FROM List WHERE id = 2");
        QVector<Candidate> later = imports::readStatement(first + "\n" + (tRow("19.09.2024 10:00:00", "OK", "-5,00", "", "Кофе") + "\n"
                                                                  + tRow("18.09.2024 10:00:00", "OK", "+500,00", "Подарок", "Другой"))
                                                                     .toUtf8(),
                                                          "b.csv")
                                       .candidates;
        later << imports::readReceiptQr("t=20240917T1801&s=184.75&fn=7281440500751551&i=30526&fp=1168453787&n=1").candidates;
        auto again = ledger::Connection::open(path);
        imports::markKnown(*again, later);
        QCOMPARE(later.size(), 5);
        QVERIFY(later[0].alreadyImported && !later[0].ticked && later[1].alreadyImported && later[4].alreadyImported);
        QVERIFY(later[3].similarTo.isEmpty()); // the imported income of that day is no typed twin
        QCOMPARE(imports::writeTicked(*again, later), 2);
        QCOMPARE(imports::writeTicked(*again, later), 0);
        QCOMPARE(raw.value("SELECT count(*) FROM Imported").toInt(), 5);
    }

    void aLedgerOfVersion5GetsTheKeysTable()
    {
        Workspace ws;
        const QString path = ws.newLedger();
        {
            RawFile raw(path);
            raw.exec("DROP TABLE Imported");
            raw.exec("PRAGMA user_version = 5");
            raw.exec("INSERT INTO List (names, suma, dates) VALUES ('Расход', 10000, '2024-09-17')");
        }
        const QMap<QString, QStringList> before = testing::ledgerContents(path);
        auto connection = ledger::Connection::open(path);
        RawFile raw(path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), ledger::schema::currentVersion());
        QCOMPARE(raw.value("SELECT count(*) FROM Imported").toInt(), 0);
        const QMap<QString, QStringList> after = testing::ledgerContents(path);
        for (const QString &name : before.keys())
            QCOMPARE(after.value(name), before.value(name));
        QVector<Candidate> read = imports::readReceipts(receipt(), "r.json").candidates;
        imports::markKnown(*connection, read);
        QCOMPARE(imports::writeTicked(*connection, read), 1);
    }
};

QTEST_GUILESS_MAIN(ImportsTest)
#include "test_imports.moc"
