#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <atomic>

// One HTTP client over libcurl, shaped after the requests the bank's page has always been
// fetched with: HTTP/1.0, the same four headers, redirects followed, cookies kept. HTTPS with
// the certificate and the host name checked against the system's certificates.
namespace rates {

struct HttpResult
{
    bool ok = false;      // a 2xx answer whose body arrived whole
    bool cancelled = false; // cancel() ended it
    int status = 0;       // the last answer's status, 0 when none came
    QByteArray body;      // empty unless ok
    QString contentType;  // of the last answer, as sent
    QString error;        // why it failed; empty when ok
};

class HttpClient
{
public:
    static constexpr int kDefaultConnectTimeoutMs = 10'000;
    static constexpr int kDefaultTotalTimeoutMs = 20'000;
    static constexpr qint64 kBodyLimit = 5 * 1024 * 1024;
    static constexpr long kMaxRedirects = 10;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // Both bounds hold for one request, redirects included; they must be above 0.
    void setTimeouts(int connectMs, int totalMs);
    int connectTimeoutMs() const { return m_connectMs; }
    int totalTimeoutMs() const { return m_totalMs; }

    // One GET. Never throws for a network failure: that is a result with ok == false. A body
    // beyond kBodyLimit is dropped and fails the request. Redirects are followed, from http
    // to https too, but never from https back to http. The request ends by `until` at the
    // latest, whatever its own bounds leave. One thread at a time.
    HttpResult get(const QString &url, QDeadlineTimer until = QDeadlineTimer(QDeadlineTimer::Forever));

    // Lets `ms` milliseconds pass on the calling thread; cancel() ends the pause at once.
    void pause(int ms);

    // Ends a request under way at once, and every later one before it starts: for quitting.
    // Safe from any thread.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    // Drops a kept-open connection, so that the next request starts afresh. Cookies stay.
    void closeConnection();

private:
    struct Hop;
    Hop perform(const QByteArray &url, long timeoutMs);

    void *m_handle = nullptr; // CURL *, kept for the client's life so that its cookies last
    void *m_multi = nullptr;  // CURLM * that runs it, so that cancel() can wake the wait
    std::atomic<bool> m_cancelled{false};
    QByteArray m_systemCertificates; // libcurl's own bundle, to go back to after a test's file
    int m_connectMs = kDefaultConnectTimeoutMs;
    int m_totalMs = kDefaultTotalTimeoutMs;
    bool m_freshConnection = false;
};

} // namespace rates
