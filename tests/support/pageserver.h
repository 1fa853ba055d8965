#pragma once

// A small HTTP server of a test's own, on loopback only, that answers the rate requests.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

namespace testing {

// What the server does with one request.
struct Reply
{
    enum Kind { Answer, Hang, Drop, Endless } kind = Answer;
    QByteArray raw; // the whole answer for Answer, the head for Endless
};

inline QByteArray http(int status, const QByteArray &body, const QByteArray &contentType = "text/html; charset=utf-8",
                const QByteArray &extraHeaders = {})
{
    return "HTTP/1.0 " + QByteArray::number(status) + " X\r\nContent-Type: " + contentType
           + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

// Listens on loopback only; answers each request as `respond` says and records it raw.
class PageServer : public QObject
{
public:
    std::function<Reply(const QByteArray &request)> respond;
    QList<QByteArray> requests;

    PageServer()
    {
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            qFatal("no loopback port");
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    int count() const { return int(requests.size()); }
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
            case Reply::Endless:
                socket->write(reply.raw);
                pump(socket);
                connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { pump(socket); });
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

    QTcpServer m_server;
};

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
