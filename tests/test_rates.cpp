// Exchange-rate retrieval against a small HTTP server of the test's own on 127.0.0.1: the
// request, the retries and their fallback, the page's decoding and cutting, and the rate row.
#include "support/pageserver.h"
#include "support/testsupport.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/error.h"
#include "ledger/regional.h"
#include "rates/address.h"
#include "rates/httpclient.h"
#include "rates/page.h"
#include "rates/ratekeeper.h"
#include "rates/waiting.h"
#include "rates/xmldaily.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSslKey>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>

using ledger::Money;
using rates::RateKeeper;
using testing::RawFile;
using testing::Workspace;
using testing::http;
using testing::PageServer;
using testing::ratesPage;
using testing::Reply;
using testing::dailyXml;
using testing::usualValutes;
using testing::Valute;
using testing::toWindows1251;

namespace {

// The server answers on this thread, so a request made here must wait off it.
rates::HttpResult fetch(rates::HttpClient &client, const QString &url)
{
    rates::HttpResult result;
    rates::runWaiting([&] { result = client.get(url); });
    return result;
}

QString dateLine(const QDate &date)
{
    return QStringLiteral("(на %1 г. по ЦБ)").arg(regional::shortDate(date));
}

const QString kNewestRow = QStringLiteral(
    "SELECT dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3 FROM Valuta ORDER BY id DESC LIMIT 1");

// A ledger without the template's rate rows, so that each case decides what the month holds.
struct Ledger
{
    Workspace ws;
    QString path = ws.newLedger();
    std::unique_ptr<ledger::Connection> connection = ledger::Connection::open(path);
    RawFile raw{path};
    Ledger() { raw.exec(QStringLiteral("DELETE FROM Valuta")); }
    int rateRows() const { return raw.value(QStringLiteral("SELECT count(*) FROM Valuta")).toInt(); }
    void addRow(const QString &isoDate, qint64 usd, qint64 eur, qint64 gbp) const
    {
        raw.exec(QStringLiteral("INSERT INTO Valuta (dates, valuta1, kurs1, valuta2, kurs2, valuta3, kurs3)"
                                " VALUES ('%1', 'Доллар США', %2, 'Евро', %3, 'Фунт', %4)")
                     .arg(isoDate).arg(usd).arg(eur).arg(gbp));
    }
};

void pointAt(const QString &base)
{
    qputenv(rates::kAddressVariable, base.toUtf8());
}

QStringList textsOf(const RateKeeper &keeper)
{
    return {keeper.dollarText(), keeper.euroText(), keeper.poundText(), keeper.dateText()};
}

const QStringList kInitialTexts = {QStringLiteral("Доллар: 0,00 руб."), QStringLiteral("Евро: 0,00 руб."),
                                   QStringLiteral("Фунт: 0,00 руб."), QStringLiteral("(данные не получены)")};


// A server that answers the XML service with `xml` (nothing when empty: 404) and the page
// with `page` (404 when empty).
void serveBoth(PageServer &server, const QByteArray &xml, const QByteArray &xmlType, const QByteArray &page)
{
    server.respond = [=](const QByteArray &request) {
        if (request.startsWith("GET " + testing::kXmlPath))
            return Reply{Reply::Answer, xml.isEmpty() ? http(404, "Not found") : http(200, xml, xmlType)};
        if (request.startsWith("GET " + testing::kPagePath) && !page.isEmpty())
            return Reply{Reply::Answer, http(200, page)};
        return Reply{Reply::Answer, http(404, "Not found")};
    };
}

// Certificates of the test's own TLS server, made with the openssl command.
class Certificates
{
public:
    // A certificate for `altName` ("IP:127.0.0.1", "DNS:www.example.org"); `expired` makes
    // one whose validity ended a day ago.
    QSslConfiguration make(const QString &name, const QString &altName, bool expired = false)
    {
        const QString key = m_dir.filePath(name + ".key");
        const QString cert = m_dir.filePath(name + ".pem");
        run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
             "-out", cert, "-days", "2", "-subj", "/CN=" + altName.section(':', 1), "-addext",
             "subjectAltName=" + altName});
        if (expired)
            run({"x509", "-in", cert, "-signkey", key, "-days", "-1", "-out", cert});
        QFile c(cert);
        QFile k(key);
        if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly))
            qFatal("no certificate made");
        const QByteArray pem = c.readAll();
        m_trusted += pem;
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(QSslCertificate(pem));
        tls.setPrivateKey(QSslKey(k.readAll(), QSsl::Ec));
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        return tls;
    }
    // Every certificate made so far, as the client's only trusted ones.
    QString trustFile()
    {
        const QString path = m_dir.filePath("trusted.pem");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(m_trusted) != m_trusted.size())
            qFatal("cannot write the trusted certificates");
        return path;
    }

private:
    static void run(const QStringList &arguments)
    {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), arguments);
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
            qFatal("openssl %s failed: %s", qPrintable(arguments.join(' ')), openssl.readAllStandardError().constData());
    }
    QTemporaryDir m_dir;
    QByteArray m_trusted;
};

} // namespace

class RatesTest : public QObject
{
    Q_OBJECT

private slots:
    void addressComesFromTheEnvironment()
    {
        const QString query = QStringLiteral("/currency_base/D_print.asp?date_req=06.03.2010");
        qputenv(rates::kAddressVariable, "http://127.0.0.1:8080/");
        QCOMPARE(rates::requestUrl(QDate(2010, 3, 6)), "http://127.0.0.1:8080" + query);
        QCOMPARE(rates::xmlUrl(QDate(2010, 3, 6)),
                 QStringLiteral("http://127.0.0.1:8080/scripts/XML_daily.asp?date_req=06/03/2010"));
        qunsetenv(rates::kAddressVariable);
        QCOMPARE(rates::requestUrl(QDate(2010, 3, 6)), "https://www.cbr.ru" + query);
        QCOMPARE(rates::xmlUrl(QDate(2026, 12, 9)),
                 QStringLiteral("https://www.cbr.ru/scripts/XML_daily.asp?date_req=09/12/2026"));
    }

    void readingThePage()
    {
        const QString bad(QChar(0xFFFD));
        const QList<QPair<QByteArray, QString>> utf8 = {
            {"\xD0\x95\xD0\xB2\xD1\x80\xD0\xBE 30,5", QStringLiteral("Евро 30,5")},
            {"a\xF0\x9F\x92\xB6" "b", QStringLiteral("a\U0001F4B6b")},
            {QByteArray("x\0y", 3), QString::fromUtf16(u"x\0y", 3)},
            // Not proper UTF-8, one replacement character a sequence: stray continuation bytes,
            // overlongs, a surrogate, beyond U+10FFFF, the 5- and 6-byte forms.
            {"\x80\xBF", bad + bad}, {"<\xC0\xAF>", "<" + bad + ">"}, {"\xE0\x80\xAF", bad},
            {"\xF0\x80\x80\xAF", bad}, {"\xED\xA0\x80", bad}, {"\xF4\x90\x80\x80", bad},
            {"\xF8\x88\x80\x80\x80z", bad + "z"}, {"\xFC\x84\x80\x80\x80\x80z", bad + "z"},
            // The bytes after a starting byte belong to its sequence whatever they are; one cut
            // off by the end of the page is dropped.
            {"\xC3<td>", bad + "td>"}, {"\xE2\x82<b", bad + "b"}, {"30,5\xE2\x82", "30,5"}, {"\xFC\x80", ""},
        };
        for (const auto &[bytes, text] : utf8)
            QCOMPARE(rates::decodePage(bytes, QStringLiteral("text/html; charset=utf-8")), text);

        // Windows-1251 when the answer says so, in any of its usual spellings.
        const QByteArray cp = toWindows1251(QStringLiteral("Фунт стерлингов, Я"));
        for (const char *type : {"text/html; charset=windows-1251", "text/html;charset=\"Windows-1251\"",
                                 "TEXT/HTML; Charset=CP1251"})
            QCOMPARE(rates::decodePage(cp, QLatin1String(type)), QStringLiteral("Фунт стерлингов, Я"));
        QCOMPARE(rates::decodePage("\xC0", QString()), QString());
        QVERIFY(!rates::namesWindows1251(QStringLiteral("text/html; name=windows-1251")));

        // Only from the marker's own row: no marker, no rate cell in its row, no "<" after the pair.
        for (const char *page : {"<a href=\"x\">12,5</a>", "<TR><td>Евро</td></TR><tr><td a=\"r\">9,3</td>",
                                 "<td>Евро</td><tr><td a=\"r\">9,3</td>"})
            QCOMPARE(rates::cutRateText(QString::fromUtf8(page), rates::kEuroMarker), QString());
        QCOMPARE(rates::cutRateText(QStringLiteral("Евро\">1,5"), rates::kEuroMarker), QString());
        QCOMPARE(rates::cutRate(QStringLiteral("<td>Евро</td><td a=\"r\"> 30,5 </td>"), rates::kEuroMarker),
                 Money::fromTicks(305000));
        for (const QString &cell : {QStringLiteral("30.5"), QStringLiteral("н/д"), QString()}) {
            try {
                rates::cutRate("<td>Евро</td><td a=\"r\">" + cell + "</td>", rates::kEuroMarker);
                QFAIL("not a number");
            } catch (const ledger::ConversionError &e) {
                QCOMPARE(e.text(), "'" + cell + "' is not a valid floating point value");
            }
        }

        // The whole upper half of the table against the system's own converter, where it has one.
        QStringDecoder reference("windows-1251");
        if (!reference.isValid())
            QSKIP("no windows-1251 converter to compare the table with");
        for (int byte = 0x80; byte <= 0xFF; ++byte) {
            const QByteArray one(1, char(byte));
            if (byte != 0x98) // unassigned in the set
                QCOMPARE(rates::decodeWindows1251(one), QString(reference.decode(one)));
        }
    }

    void fetchStoresOneRowADay_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::newRow("utf-8") << QByteArray("text/html; charset=utf-8");
        QTest::newRow("windows-1251") << QByteArray("text/html; charset=windows-1251");
    }

    void fetchStoresOneRowADay()
    {
        QFETCH(QByteArray, contentType);
        QByteArray page = ratesPage(QStringLiteral("30,5"), QStringLiteral("41,2345"), QStringLiteral("45,0001"));
        if (contentType.contains("1251"))
            page = toWindows1251(QString::fromUtf8(page));
        Ledger book;
        // Rates of this month in an earlier year are not today's: the page is still asked for.
        book.addRow(testing::thisMonthYearsAgo(2, 3), 290000, 400000, 440000);
        PageServer server;
        server.respond = [&](const QByteArray &) { return Reply{Reply::Answer, http(200, page, contentType)}; };
        pointAt(server.base());

        RateKeeper keeper;
        QCOMPARE(textsOf(keeper), kInitialTexts);
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        // The XML service answered the page too, which is no XML: the page was read.
        QCOMPARE(server.count(testing::kXmlPath), 1);
        QCOMPARE(server.count(testing::kPagePath), 1);
        QCOMPARE(book.rateRows(), 2);
        QCOMPARE(book.raw.rows(kNewestRow),
                 QStringList(testing::todayIso() + "|Доллар США|305000|Евро|412345|Фунт|450001"));
        const QStringList fetched = {QStringLiteral("Доллар: 30,5000"), QStringLiteral("Евро: 41,2345"),
                                     QStringLiteral("Фунт: 45,0001"), dateLine(QDate::currentDate())};
        QCOMPARE(textsOf(keeper), fetched);
        QCOMPARE(keeper.dollar(), 30.5);
        QCOMPARE(keeper.pound(), 45.0001);

        // Again the same day: the stored row, no request.
        book.raw.exec("UPDATE Valuta SET kurs3 = 460000 WHERE dates = date('now', 'localtime')");
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::FromLedger);
        QCOMPARE(server.count(), 2);
        QCOMPARE(book.rateRows(), 2);
        QCOMPARE(keeper.poundText(), QStringLiteral("Фунт: 46,0000"));
        QCOMPARE(keeper.dateText(), fetched[3]);
    }

    void requestHasItsShape()
    {
        Ledger book;
        PageServer server;
        PageServer proxy; // a proxy from the environment must not be used
        const QByteArray page = ratesPage(QStringLiteral("30,1234"), QStringLiteral("40"), QStringLiteral("45"));
        server.respond = [&](const QByteArray &request) {
            if (request.startsWith("GET " + testing::kXmlPath))
                return Reply{Reply::Answer, http(404, "")};
            if (request.startsWith("GET /currency_base/"))
                return Reply{Reply::Answer, http(302, "", "text/html",
                                                 "Location: /moved?x=1\r\nSet-Cookie: session=abc123; Path=/\r\n")};
            return Reply{Reply::Answer, http(200, page)};
        };
        pointAt(server.base());
        qputenv("http_proxy", proxy.base().toUtf8());
        qputenv("ALL_PROXY", proxy.base().toUtf8());
        const auto unsetProxy = qScopeGuard([] {
            qunsetenv("http_proxy");
            qunsetenv("ALL_PROXY");
        });

        RateKeeper keeper;
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        QCOMPARE(proxy.count(), 0);
        QCOMPARE(server.count(), 3);
        const QList<QByteArray> headers = {"Host: " + server.base().mid(7).toLatin1(), "Accept: text/html, */*",
                                           "Content-Type: text/html",
                                           "User-Agent: Mozilla/3.0 (compatible; Indy Library)",
                                           "Connection: keep-alive"};
        QCOMPARE(server.lines(0), QList<QByteArray>({"GET /scripts/XML_daily.asp?date_req="
                                                     + QDate::currentDate().toString("dd/MM/yyyy").toLatin1()
                                                     + " HTTP/1.0"}) + headers);
        QCOMPARE(server.lines(1), QList<QByteArray>({"GET /currency_base/D_print.asp?date_req="
                                                     + regional::shortDate(QDate::currentDate()).toLatin1()
                                                     + " HTTP/1.0"}) + headers);
        // The redirect is followed with the cookie it set, and so is the next request.
        const QList<QByteArray> followed = QList<QByteArray>({"GET /moved?x=1 HTTP/1.0", headers[0],
                                                              "Cookie: session=abc123"}) + headers.mid(1);
        QCOMPARE(server.lines(2), followed);
        QCOMPARE(keeper.dollarText(), QStringLiteral("Доллар: 30,1234"));
        const rates::HttpResult next = fetch(keeper.client(), server.base() + "/moved?x=1");
        QVERIFY(next.ok);
        QCOMPARE(server.lines(3), followed);
        QCOMPARE(next.body, page);
        QCOMPARE(next.contentType, QStringLiteral("text/html; charset=utf-8"));
        QCOMPARE(proxy.count(), 0);
    }

    void bodyLimit()
    {
        PageServer server;
        QByteArray body;
        server.respond = [&](const QByteArray &) { return Reply{Reply::Answer, http(200, body)}; };
        rates::HttpClient client;
        body = QByteArray(rates::HttpClient::kBodyLimit, 'a');
        rates::HttpResult result = fetch(client, server.base() + "/");
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.body.size(), rates::HttpClient::kBodyLimit);
        body += 'b';
        result = fetch(client, server.base() + "/");
        QVERIFY(!result.ok);
        QVERIFY(result.body.isEmpty());
    }

    void noPageFallsBackToTheMonthsNewestRow_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("rowOfThisMonth");
        QTest::addColumn<int>("requests"); // attempts, each an XML and a page request; -1: a closed port
        QTest::newRow("status 500") << "500" << true << 5;
        QTest::newRow("status 500, no row") << "500" << false << 5;
        QTest::newRow("connection dropped") << "drop" << true << 5;
        QTest::newRow("closed port") << "closed" << true << -1;
        QTest::newRow("closed port, no row") << "closed" << false << -1;
        QTest::newRow("never answers") << "hang" << true << 5;
        QTest::newRow("endless body") << "endless" << true << 5;
        QTest::newRow("empty body") << "empty" << true << 1;
        QTest::newRow("empty body, no row") << "empty" << false << 1;
    }

    void noPageFallsBackToTheMonthsNewestRow()
    {
        QFETCH(QString, server);
        QFETCH(bool, rowOfThisMonth);
        QFETCH(int, requests);
        Ledger book;
        book.addRow(testing::otherMonth(2), 100000, 110000, 120000);
        const QString oldDate = testing::thisMonthYearsAgo(3, 2);
        if (rowOfThisMonth) {
            book.addRow(testing::thisMonthYearsAgo(1, 5), 200000, 210000, 220000);
            book.addRow(oldDate, 312345, 420000, 505050); // newest by id, though older by date
        }
        const int rowsBefore = book.rateRows();

        PageServer pages;
        pages.respond = [server](const QByteArray &) {
            if (server == "500")
                return Reply{Reply::Answer, http(500, ratesPage("1,1", "2,2", "3,3"))};
            if (server == "drop")
                return Reply{Reply::Drop, {}};
            if (server == "hang")
                return Reply{Reply::Hang, {}};
            if (server == "endless")
                return Reply{Reply::Endless, "HTTP/1.0 200 OK\r\n\r\n"};
            return Reply{Reply::Answer, http(200, "")};
        };
        QString base = pages.base();
        if (server == "closed") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            base = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
        }
        pointAt(base);

        RateKeeper keeper;
        keeper.client().setTimeouts(300, 700);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::FromLedger);
        // Five attempts with their pauses take a few seconds; without a time-out a server that
        // never answers would hold the window for good.
        QVERIFY2(clock.elapsed() < 30'000, qPrintable(QString::number(clock.elapsed())));
        if (requests >= 0) {
            QCOMPARE(pages.count(testing::kXmlPath), requests);
            QCOMPARE(pages.count(testing::kPagePath), requests);
        }
        QCOMPARE(book.rateRows(), rowsBefore);
        if (rowOfThisMonth) {
            QCOMPARE(textsOf(keeper), QStringList({"Доллар: 31,2345", "Евро: 42,0000", "Фунт: 50,5050",
                                                   dateLine(QDate::fromString(oldDate, Qt::ISODate))}));
            QCOMPARE(keeper.euro(), 42.0);
        } else {
            QCOMPARE(textsOf(keeper), QStringList({"Доллар: 0,0000", "Евро: 0,0000", "Фунт: 0,0000",
                                                   "(данные не получены)"}));
            QCOMPARE(keeper.dollar(), 0.0);
        }
    }

    void unreadablePageChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("error");
        QTest::newRow("no euro cell") << ratesPage("99,1", "", "99,3", false)
                                      << "'' is not a valid floating point value";
        QTest::newRow("euro not a number") << ratesPage("99,1", "н/д", "99,3")
                                           << "'н/д' is not a valid floating point value";
        QTest::newRow("not UTF-8") << toWindows1251(QString::fromUtf8(ratesPage("99,1", "99,2", "99,3")))
                                   << "'' is not a valid floating point value";
    }

    void unreadablePageChangesNothing()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, error);
        Ledger book;
        PageServer server;
        QByteArray serving = ratesPage("30,5", "41,2345", "45,0001");
        server.respond = [&](const QByteArray &) { return Reply{Reply::Answer, http(200, serving)}; };
        pointAt(server.base());
        RateKeeper keeper;
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        const QStringList before = textsOf(keeper);

        // Next day, as far as the ledger can tell, the page has changed its shape.
        book.raw.exec("UPDATE Valuta SET dates = '" + testing::thisMonthYearsAgo(1, 1) + "'");
        serving = page;
        try {
            keeper.update(*book.connection, true);
            QFAIL("an unreadable page must raise an error");
        } catch (const ledger::ConversionError &e) {
            QCOMPARE(e.text(), error);
        }
        QCOMPARE(server.count(testing::kPagePath), 2);
        QCOMPARE(book.rateRows(), 1);
        QCOMPARE(textsOf(keeper), before);
        QCOMPARE(keeper.dollarRate(), Money::fromTicks(305000));
        QCOMPARE(keeper.poundRate(), Money::fromTicks(450001));
        QVERIFY(!keeper.isUpdating());
    }

    void answersThatCannotBeTrueStoreNothing_data()
    {
        QTest::addColumn<QByteArray>("xml");  // empty: 404
        QTest::addColumn<QByteArray>("page"); // empty: 404
        QTest::addColumn<QString>("error");   // of an unreadable page
        QList<Valute> huge = usualValutes();
        huge[2].value = "922337203685477,5807"; // USD
        QTest::newRow("zeros") << QByteArray() << ratesPage("0,00", "0,00", "0,00") << QString();
        QTest::newRow("negative") << QByteArray() << ratesPage("-11,1111", "89,1180", "102,0047") << QString();
        QTest::newRow("too large, page") << QByteArray() << ratesPage("922337203685477,5807", "1", "1") << QString();
        QTest::newRow("too large, XML") << toWindows1251(dailyXml(huge)) << QByteArray() << QString();
        // Rows of the bank's shape without the euro: the first rate on the page is the dollar's.
        QTest::newRow("no euro") << QByteArray()
                                 << QStringLiteral("<tr><td>Доллар США</td><td a=\"r\">76,4251</td></tr><tr><td>Фунт "
                                                   "стерлингов</td><td a=\"r\">102,0047</td></tr>").toUtf8()
                                 << QStringLiteral("'' is not a valid floating point value");
    }

    void answersThatCannotBeTrueStoreNothing()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QByteArray, page);
        QFETCH(QString, error);
        Ledger book;
        PageServer server;
        serveBoth(server, xml, "application/xml", page);
        pointAt(server.base());
        for (int start = 0; start < 2; ++start) { // a later start the same day asks again
            const int asked = server.count();
            RateKeeper keeper;
            QString raised;
            try {
                QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::FromLedger);
            } catch (const ledger::ConversionError &e) {
                raised = e.text();
            }
            QCOMPARE(raised, error);
            QVERIFY(server.count() > asked);
            QCOMPARE(book.rateRows(), 0);
        }
    }

    void theWholeFetchIsBounded_data()
    {
        QTest::addColumn<int>("reply");
        QTest::newRow("never answers") << int(Reply::Hang);
        QTest::newRow("one byte a second") << int(Reply::Trickle);
    }

    void theWholeFetchIsBounded()
    {
        QFETCH(int, reply);
        Ledger book;
        PageServer server;
        server.respond = [reply](const QByteArray &) { return Reply{Reply::Kind(reply), http(200, "<html>")}; };
        pointAt(server.base());
        RateKeeper keeper;
        keeper.setFetchBound(1500);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::FromLedger);
        // A failure bound only: a request alone may take 20 s.
        QVERIFY2(clock.elapsed() < 15'000, qPrintable(QString::number(clock.elapsed())));
    }

    void updateStartedDuringAnUpdateDoesNothing()
    {
        Ledger book;
        PageServer server;
        RateKeeper keeper;
        QList<RateKeeper::Outcome> inner;
        server.respond = [&](const QByteArray &) {
            // Runs on this thread while the keeper waits for the answer, as a click would.
            if (inner.isEmpty())
                inner << keeper.update(*book.connection, true);
            return Reply{Reply::Answer, http(200, ratesPage("30,5", "40", "45"))};
        };
        pointAt(server.base());
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        QCOMPARE(inner, QList<RateKeeper::Outcome>({RateKeeper::Outcome::Busy}));
        QCOMPARE(server.count(testing::kPagePath), 1);
        QCOMPARE(book.rateRows(), 1);
    }

    void readingTheXmlService()
    {
        // Value divided by Nominal exactly, four decimals, ties to even.
        const QList<std::tuple<QString, QString, qint64>> units = {
            {"76,4251", "1", 764251},     {"905,0585", "10", 905058}, {"905,0595", "10", 905060},
            {"11234,56789", "100", 1123457}, {"0,00015", "1", 2},     {" 30,5 ", "1", 305000},
            {"12", "1", 120000},
        };
        for (const auto &[value, nominal, ticks] : units)
            QCOMPARE(rates::perUnit(value, nominal), std::optional<Money>(Money::fromTicks(ticks)));
        for (const auto &[value, nominal] : QList<QPair<QString, QString>>{
                 {"76.4251", "1"}, {"", "1"}, {"76,", "1"}, {"7,6,4", "1"}, {"-1", "1"}, {"0,0000", "1"},
                 {"76,4251", "0"}, {"76,4251", "1,5"}, {"76,4251", ""}, {"1e3", "1"}})
            QVERIFY2(!rates::perUnit(value, nominal), qPrintable(value + " / " + nominal));

        const auto read = [](const QByteArray &body, const QString &type = QStringLiteral("application/xml")) {
            return rates::readDailyXml(body, type);
        };
        const rates::Rates usual{Money::fromTicks(764251), Money::fromTicks(891180), Money::fromTicks(1020047)};
        const auto same = [](const std::optional<rates::Rates> &a, const rates::Rates &b) {
            return a && a->dollar == b.dollar && a->euro == b.euro && a->pound == b.pound;
        };
        // The declared windows-1251 and UTF-8, and UTF-8 undeclared; the Content-Type counts only
        // without a declaration.
        QVERIFY(same(read(toWindows1251(dailyXml(usualValutes()))), usual));
        QVERIFY(same(read(toWindows1251(dailyXml(usualValutes())), "text/xml; charset=utf-8"), usual));
        QVERIFY(same(read(dailyXml(usualValutes(), "UTF-8").toUtf8(), "text/xml; charset=windows-1251"), usual));
        QVERIFY(same(read(dailyXml(usualValutes(), QString()).toUtf8()), usual));
        QVERIFY(same(read(toWindows1251(dailyXml(usualValutes(), QString())), "text/xml; charset=windows-1251"),
                     usual));
        // Russian names in the wrong encoding break the document: none.
        QVERIFY(!read(toWindows1251(dailyXml(usualValutes(), "UTF-8"))));

        // Any order; a Nominal other than 1.
        QList<Valute> valutes = usualValutes();
        std::reverse(valutes.begin(), valutes.end());
        valutes[2].nominal = "10"; // USD
        valutes[2].value = "764,2515";
        QVERIFY(same(read(toWindows1251(dailyXml(valutes))), {Money::fromTicks(764252), usual.euro, usual.pound}));

        // All three or none.
        const QList<QPair<const char *, std::function<void(QList<Valute> &)>>> broken = {
            {"no pound", [](QList<Valute> &v) { v.removeAt(1); }},
            {"euro not a number", [](QList<Valute> &v) { v[3].value = "н/д"; }},
            {"dollar twice", [](QList<Valute> &v) { v << Valute{"USD", "1", "99,0000", "Доллар США"}; }},
            {"nominal zero", [](QList<Valute> &v) { v[2].nominal = "0"; }},
        };
        for (const auto &[what, change] : broken) {
            QList<Valute> v = usualValutes();
            change(v);
            QVERIFY2(!read(toWindows1251(dailyXml(v))), what);
        }
        const QByteArray whole = toWindows1251(dailyXml(usualValutes()));
        QVERIFY(!read(whole.left(whole.size() - 5)));                        // cut short
        QVERIFY(!read(QByteArray(whole).replace("ValCurs", "Rates")));       // another document
        QVERIFY(!read(ratesPage("30,5", "40", "45")));                       // the HTML page
        QVERIFY(!read(QByteArray()));
        // Text that merely looks like the service's is no document.
        QVERIFY(!read("CharCode USD Value 30,5 <CharCode>EUR</CharCode><Value>40</Value>"));
    }

    void theXmlServiceComesFirst_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("windows-1251") << toWindows1251(dailyXml(usualValutes())) << QByteArray("application/xml");
        QTest::newRow("utf-8") << dailyXml(usualValutes(), "utf-8").toUtf8()
                               << QByteArray("application/xml; charset=utf-8");
    }

    void theXmlServiceComesFirst()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QByteArray, type);
        Ledger book;
        PageServer server;
        serveBoth(server, xml, type, ratesPage("1,1", "2,2", "3,3"));
        pointAt(server.base());
        RateKeeper keeper;
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        QCOMPARE(server.count(), 1);
        QVERIFY(server.requests[0].startsWith("GET /scripts/XML_daily.asp?date_req="
                                              + QDate::currentDate().toString("dd/MM/yyyy").toLatin1() + " HTTP/1.0"));
        QCOMPARE(book.raw.rows(kNewestRow),
                 QStringList(testing::todayIso() + "|Доллар США|764251|Евро|891180|Фунт|1020047"));
        QCOMPARE(textsOf(keeper), QStringList({"Доллар: 76,4251", "Евро: 89,1180", "Фунт: 102,0047",
                                               dateLine(QDate::currentDate())}));
    }

    void withoutThreeRatesFromTheXmlServiceThePageIsRead_data()
    {
        QTest::addColumn<QByteArray>("xml"); // empty: 404
        QList<Valute> noPound = usualValutes();
        noPound.removeAt(1);
        QTest::newRow("not found") << QByteArray();
        QTest::newRow("a currency missing") << toWindows1251(dailyXml(noPound));
        QTest::newRow("not XML") << QByteArray("<html><body>Сервис недоступен</body></html>");
        QTest::newRow("cut short") << toWindows1251(dailyXml(usualValutes())).left(300);
    }

    void withoutThreeRatesFromTheXmlServiceThePageIsRead()
    {
        QFETCH(QByteArray, xml);
        Ledger book;
        PageServer server;
        serveBoth(server, xml, "application/xml", ratesPage("30,5", "41,2345", "45,0001"));
        pointAt(server.base());
        RateKeeper keeper;
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        QCOMPARE(server.count(testing::kXmlPath), 1);
        QCOMPARE(server.count(testing::kPagePath), 1);
        QCOMPARE(book.raw.rows(kNewestRow),
                 QStringList(testing::todayIso() + "|Доллар США|305000|Евро|412345|Фунт|450001"));
    }

    void neitherSourceGivingRatesStoresNothing()
    {
        // The XML service without the pound, the page without rates: the page's error, once
        // per update, and no row.
        QList<Valute> noPound = usualValutes();
        noPound.removeAt(1);
        Ledger book;
        PageServer server;
        serveBoth(server, toWindows1251(dailyXml(noPound)), "application/xml", "<html><body>Нет данных</body></html>");
        pointAt(server.base());
        RateKeeper keeper;
        try {
            keeper.update(*book.connection, true);
            QFAIL("no rates must raise the page's error");
        } catch (const ledger::ConversionError &e) {
            QCOMPARE(e.text(), QStringLiteral("'' is not a valid floating point value"));
        }
        QCOMPARE(server.count(), 2);
        QCOMPARE(book.rateRows(), 0);
        QCOMPARE(textsOf(keeper), kInitialTexts);
    }

    void httpsChecksTheCertificate()
    {
        Certificates made;
        const QSslConfiguration good = made.make("good", "IP:127.0.0.1");
        const QSslConfiguration otherName = made.make("other", "DNS:www.example.org");
        const QSslConfiguration expired = made.make("expired", "IP:127.0.0.1", true);
        const QByteArray xml = toWindows1251(dailyXml(usualValutes()));
        const auto serveXml = [&xml](PageServer &server) {
            server.respond = [&xml](const QByteArray &) { return Reply{Reply::Answer, http(200, xml, "application/xml")}; };
        };

        PageServer trusted(&good);
        PageServer wrongName(&otherName);
        PageServer outdated(&expired);
        for (PageServer *server : {&trusted, &wrongName, &outdated})
            serveXml(*server);
        rates::HttpClient client;

        // Not trusted: the system's certificates do not know ours.
        QVERIFY(!fetch(client, trusted.base() + "/").ok);
        QCOMPARE(trusted.count(), 0);

        qputenv(rates::kCertificatesVariable, made.trustFile().toUtf8());
        const auto untrust = qScopeGuard([] { qunsetenv(rates::kCertificatesVariable); });
        rates::HttpResult result = fetch(client, trusted.base() + "/scripts/XML_daily.asp");
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.body, xml);
        // Trusted, but for another name, or out of date: refused before any request.
        result = fetch(client, wrongName.base() + "/");
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains("127.0.0.1") || result.error.contains("certificate"), qPrintable(result.error));
        result = fetch(client, outdated.base() + "/");
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains("expired"), qPrintable(result.error));
        QCOMPARE(wrongName.count() + outdated.count(), 0);

        // The whole fetch over HTTPS.
        Ledger book;
        pointAt(trusted.base());
        RateKeeper keeper;
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Fetched);
        QCOMPARE(book.raw.rows(kNewestRow),
                 QStringList(testing::todayIso() + "|Доллар США|764251|Евро|891180|Фунт|1020047"));
    }

    void redirectsNeverLeaveHttps()
    {
        Certificates made;
        const QSslConfiguration tls = made.make("good", "IP:127.0.0.1");
        qputenv(rates::kCertificatesVariable, made.trustFile().toUtf8());
        const auto untrust = qScopeGuard([] { qunsetenv(rates::kCertificatesVariable); });
        PageServer plain;
        PageServer secure(&tls);
        const auto redirectTo = [](const QString &target) {
            return http(302, "", "text/html", "Location: " + target.toUtf8() + "\r\n");
        };
        plain.respond = [&](const QByteArray &request) {
            if (request.startsWith("GET /up"))
                return Reply{Reply::Answer, redirectTo(secure.base() + "/answer")};
            if (request.startsWith("GET /round"))
                return Reply{Reply::Answer, redirectTo(secure.base() + "/down")};
            return Reply{Reply::Answer, http(200, "plain")};
        };
        secure.respond = [&](const QByteArray &request) {
            if (request.startsWith("GET /down"))
                return Reply{Reply::Answer, redirectTo(plain.base() + "/answer")};
            return Reply{Reply::Answer, http(200, "secure")};
        };
        rates::HttpClient client;
        // From http to https: followed.
        rates::HttpResult result = fetch(client, plain.base() + "/up");
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.body, QByteArray("secure"));
        // From https to http: refused, also after a step up from http.
        for (const QString &start : {secure.base() + "/down", plain.base() + "/round"}) {
            const int plainBefore = plain.count();
            result = fetch(client, start);
            QVERIFY(!result.ok);
            QVERIFY(result.body.isEmpty());
            QVERIFY2(result.error.contains("https to http"), qPrintable(result.error));
            QCOMPARE(plain.count(), plainBefore + (start.startsWith("http:") ? 1 : 0));
        }
    }

    void cancellingEndsAHangingDownloadAtOnce()
    {
        Ledger book;
        PageServer server;
        RateKeeper keeper;
        // Accepts and never answers; the cancel comes while the first request waits.
        server.respond = [&](const QByteArray &) {
            keeper.cancel();
            return Reply{Reply::Hang, {}};
        };
        pointAt(server.base());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Cancelled);
        // A failure bound only: without the cancel, five attempts of 20 s each.
        QVERIFY2(clock.elapsed() < 15'000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(server.count(), 1);
        QCOMPARE(book.rateRows(), 0);
        QCOMPARE(textsOf(keeper), kInitialTexts);
        QVERIFY(!keeper.isUpdating());
        // Once cancelled, nothing more is asked.
        QCOMPARE(keeper.update(*book.connection, true), RateKeeper::Outcome::Cancelled);
        QCOMPARE(server.count(), 1);
    }

    void internetOffChangesNothing()
    {
        Ledger book;
        ledger::storeRates(*book.connection, Money::fromTicks(305000), Money::fromTicks(400000),
                           Money::fromTicks(450000));
        PageServer server;
        pointAt(server.base());
        RateKeeper keeper;
        QCOMPARE(keeper.update(*book.connection, false), RateKeeper::Outcome::Off);
        QCOMPARE(textsOf(keeper), kInitialTexts);
        QCOMPARE(keeper.dollar(), 0.0);
        QCOMPARE(server.count(), 0);
        QCOMPARE(book.rateRows(), 1);
    }
};

QTEST_GUILESS_MAIN(RatesTest)
#include "test_rates.moc"
