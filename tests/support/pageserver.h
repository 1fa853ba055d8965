#pragma once

// A small HTTP server of a test's own, on loopback only, that answers the rate requests.

#include <QByteArray>
#include <QList>
#include <QSslConfiguration>
#include <QSslServer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

namespace testing {

// Enough of Windows-1251 for the pages here: ASCII and the Russian letters without Ё.
inline QByteArray toWindows1251(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        if (c.unicode() >= 0x0410 && c.unicode() <= 0x044F)
            bytes += char(0xC0 + (c.unicode() - 0x0410));
        else if (c.unicode() < 0x80)
            bytes += char(c.unicode());
        else
            qFatal("no windows-1251 byte for U+%04X", unsigned(c.unicode()));
    }
    return bytes;
}

// What the server does with one request.
struct Reply
{
    enum Kind { Answer, Hang, Drop, Endless, Trickle } kind = Answer;
    QByteArray raw; // the whole answer for Answer and Trickle (one byte a second), the head for Endless
};

inline QByteArray http(int status, const QByteArray &body, const QByteArray &contentType = "text/html; charset=utf-8",
                const QByteArray &extraHeaders = {})
{
    return "HTTP/1.0 " + QByteArray::number(status) + " X\r\nContent-Type: " + contentType
           + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

// Listens on loopback only; answers each request as `respond` says and records it raw. With
// a TLS configuration it speaks HTTPS, and a request is recorded only once the client has
// accepted the certificate.
class PageServer : public QObject
{
public:
    std::function<Reply(const QByteArray &request)> respond;
    QList<QByteArray> requests;

    explicit PageServer(const QSslConfiguration *tls = nullptr)
    {
        if (tls) {
            auto *server = new QSslServer;
            server->setSslConfiguration(*tls);
            m_server.reset(server);
        } else {
            m_server = std::make_unique<QTcpServer>();
        }
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            qFatal("no loopback port");
        m_scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
        connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                serve(socket);
        });
    }
    QString base() const { return QStringLiteral("%1://127.0.0.1:%2").arg(m_scheme).arg(m_server->serverPort()); }
    int count() const { return int(requests.size()); }
    // Requests whose request line starts with "GET " + `path`.
    int count(const QByteArray &path) const
    {
        int n = 0;
        for (const QByteArray &request : requests)
            n += request.startsWith("GET " + path) ? 1 : 0;
        return n;
    }
    // Request `i` line by line, the request line first.
    QList<QByteArray> lines(int i) const
    {
        QList<QByteArray> result = requests.at(i).trimmed().split('\n');
        for (QByteArray &line : result)
            line = line.trimmed();
        return result;
    }

private:
    void serve(QTcpSocket *socket)
    {
        socket->setParent(this);
        auto *buffer = new QByteArray;
        connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray request = buffer->left(end + 4);
            buffer->clear();
            requests << request;
            const Reply reply = respond ? respond(request) : Reply{Reply::Answer, http(404, "")};
            switch (reply.kind) {
            case Reply::Answer:
                socket->write(reply.raw);
                socket->disconnectFromHost();
                break;
            case Reply::Hang: break;
            case Reply::Drop:
                socket->abort();
                break;
            case Reply::Trickle: {
                auto *clock = new QTimer(socket);
                connect(clock, &QTimer::timeout, socket,
                        [socket, left = reply.raw]() mutable { socket->write(left.left(1)); left.remove(0, 1); });
                clock->start(1000);
                break;
            }
            case Reply::Endless:
                socket->write(reply.raw);
                pump(socket);
                connect(socket, &QTcpSocket::bytesWritten, this, [socket] { pump(socket); });
                break;
            }
        });
    }
    static void pump(QTcpSocket *socket)
    {
        static const QByteArray chunk(256 * 1024, 'x');
        if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < chunk.size())
            socket->write(chunk);
    }

    std::unique_ptr<QTcpServer> m_server;
    QString m_scheme;
};

inline const QByteArray kXmlPath = "/scripts/XML_daily.asp";
inline const QByteArray kPagePath = "/currency_base/D_print.asp";

// One Valute of the bank's XML service.
struct Valute
{
    QString code;
    QString nominal;
    QString value;
    QString name;
};

inline QList<Valute> usualValutes(const QString &dollar = QStringLiteral("76,4251"),
                                  const QString &euro = QStringLiteral("89,1180"),
                                  const QString &pound = QStringLiteral("102,0047"))
{
    return {{"AUD", "1", "50,3170", "Австралийский доллар"},
            {"GBP", "1", pound, "Фунт стерлингов Соединенного королевства"},
            {"USD", "1", dollar, "Доллар США"},
            {"EUR", "1", euro, "Евро"},
            {"JPY", "100", "51,0837", "Японских иен"}};
}

// The service's ValCurs document as text, its declaration naming `encoding` (none when empty).
inline QString dailyXml(const QList<Valute> &valutes, const QString &encoding = QStringLiteral("windows-1251"))
{
    QString xml = encoding.isEmpty() ? QString()
                                     : QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>").arg(encoding);
    xml += QStringLiteral("<ValCurs Date=\"09.12.2026\" name=\"Foreign Currency Market\">");
    int id = 10;
    for (const Valute &v : valutes) {
        xml += QStringLiteral("<Valute ID=\"R010%1\"><NumCode>%1</NumCode><CharCode>%2</CharCode>"
                              "<Nominal>%3</Nominal><Name>%4</Name><Value>%5</Value><VunitRate>%5</VunitRate>"
                              "</Valute>")
                   .arg(id++).arg(v.code, v.nominal, v.name, v.value);
    }
    return xml + QStringLiteral("</ValCurs>");
}

// A page shaped like the bank's: the currency's name in one cell, its rate in the next.
inline QByteArray ratesPage(const QString &dollar, const QString &euro, const QString &pound, bool withEuro = true)
{
    QString page = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                  "charset=utf-8\"></head><body><table>\r\n");
    const auto row = [&page](const QString &name, const QString &rate) {
        page += QStringLiteral("<tr><td align=\"right\">1</td><td>&nbsp;&nbsp;%1</td><td align=\"right\">%2</td>"
                               "</tr>\r\n").arg(name, rate);
    };
    row(QStringLiteral("Австралийский доллар"), QStringLiteral("26,7514"));
    row(QStringLiteral("Фунт стерлингов Соединенного королевства"), pound);
    row(QStringLiteral("Доллар США"), dollar);
    if (withEuro)
        row(QStringLiteral("Евро"), euro);
    return (page + QStringLiteral("</table></body></html>")).toUtf8();
}

} // namespace testing
