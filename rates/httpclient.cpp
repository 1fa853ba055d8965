#include "httpclient.h"

#include "address.h"

#include <QElapsedTimer>
#include <QUrl>

#include <curl/curl.h>

#include <mutex>
#include <new>

namespace rates {

namespace {

CURL *handleOf(void *handle) { return static_cast<CURL *>(handle); }
CURLM *multiOf(void *handle) { return static_cast<CURLM *>(handle); }

QString schemeOf(const QByteArray &url)
{
    return QUrl(QString::fromUtf8(url)).scheme().toLower();
}

void initialiseCurlOnce()
{
    // curl_global_init is not thread-safe; the first client, made on the window's thread,
    // does it for the whole run.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Receiver
{
    QByteArray body;
    bool tooLarge = false;
};

size_t receive(char *data, size_t size, size_t count, void *user)
{
    auto *receiver = static_cast<Receiver *>(user);
    const size_t bytes = size * count;
    if (qint64(receiver->body.size()) + qint64(bytes) > HttpClient::kBodyLimit) {
        // Returning less than was given makes curl stop the transfer at once.
        receiver->tooLarge = true;
        return 0;
    }
    receiver->body.append(data, qsizetype(bytes));
    return bytes;
}

// The four headers the bank's page has always been asked with.
const char *const kHeaderLines[] = {"Accept: text/html, */*", "Content-Type: text/html",
                                    "User-Agent: Mozilla/3.0 (compatible; Indy Library)", "Connection: keep-alive"};

class HeaderList
{
public:
    HeaderList()
    {
        for (const char *line : kHeaderLines) {
            curl_slist *next = curl_slist_append(m_list, line);
            if (!next)
                throw std::bad_alloc();
            m_list = next;
        }
    }
    ~HeaderList() { curl_slist_free_all(m_list); }
    HeaderList(const HeaderList &) = delete;
    HeaderList &operator=(const HeaderList &) = delete;
    curl_slist *list() const { return m_list; }

private:
    curl_slist *m_list = nullptr;
};

// What every request asks for and trusts. Set anew for every request: the handle keeps
// its cookies, the multi handle its connections.
void setRequestOptions(CURL *curl, const QByteArray &url, const HeaderList &headers, const QByteArray &trusted)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed by the caller, one by one, so that each step can be checked.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // the cookie engine, in memory only
    // An empty proxy overrides http_proxy and the like: the request always goes direct.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NETRC, long(CURL_NETRC_IGNORED));
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_NONE));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!trusted.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, trusted.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // runs off the main thread
}

// Runs the request to its end, or until `cancelled`. The multi interface waits in
// curl_multi_poll, which cancel() interrupts at once.
CURLcode runTransfer(CURLM *multi, CURL *curl, const std::atomic<bool> &cancelled)
{
    if (curl_multi_add_handle(multi, curl) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode code = CURLE_OK;
    bool done = false;
    while (!done) {
        if (cancelled) {
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl) {
                code = message->data.result;
                done = true;
            }
        }
        if (!done && running > 0)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        else
            done = true;
    }
    curl_multi_remove_handle(multi, curl);
    return code;
}

} // namespace

HttpClient::HttpClient()
{
    initialiseCurlOnce();
    m_handle = curl_easy_init();
    m_multi = curl_multi_init();
    if (!m_handle || !m_multi) {
        curl_easy_cleanup(handleOf(m_handle));
        curl_multi_cleanup(multiOf(m_multi));
        throw std::bad_alloc();
    }
    char *bundle = nullptr;
    if (curl_easy_getinfo(handleOf(m_handle), CURLINFO_CAINFO, &bundle) == CURLE_OK && bundle)
        m_systemCertificates = QByteArray(bundle);
}

HttpClient::~HttpClient()
{
    curl_easy_cleanup(handleOf(m_handle));
    curl_multi_cleanup(multiOf(m_multi));
}

void HttpClient::cancel()
{
    m_cancelled = true;
    curl_multi_wakeup(multiOf(m_multi));
}

void HttpClient::setTimeouts(int connectMs, int totalMs)
{
    m_connectMs = connectMs > 0 ? connectMs : kDefaultConnectTimeoutMs;
    m_totalMs = totalMs > 0 ? totalMs : kDefaultTotalTimeoutMs;
}

void HttpClient::closeConnection()
{
    m_freshConnection = true;
}

// One request and its answer, redirects not followed.
struct HttpClient::Hop
{
    CURLcode code = CURLE_OK;
    long status = 0;
    QString contentType;
    QByteArray redirect; // where a 3xx answer points, absolute
    Receiver receiver;
    QString error;
};

HttpClient::Hop HttpClient::perform(const QByteArray &url, long timeoutMs)
{
    CURL *curl = handleOf(m_handle);
    Hop hop;
    HeaderList headers;
    char errorText[CURL_ERROR_SIZE] = {};
    // Without the test's own file, libcurl's built-in bundle: Debian's ca-certificates.
    const QByteArray certificates = qgetenv(kCertificatesVariable);
    setRequestOptions(curl, url, headers, certificates.isEmpty() ? m_systemCertificates : certificates);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, qMin(long(m_connectMs), timeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(kBodyLimit));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &hop.receiver);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, m_freshConnection ? 1L : 0L);
    m_freshConnection = false;

    hop.code = runTransfer(multiOf(m_multi), curl, m_cancelled);

    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &hop.status);
    char *text = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text)
        hop.contentType = QString::fromLatin1(text);
    text = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &text) == CURLE_OK && text)
        hop.redirect = QByteArray(text);
    if (hop.code != CURLE_OK)
        hop.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(hop.code));
    // Nothing on the stack may stay referenced by the handle after this call.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    return hop;
}

void HttpClient::pause(int ms)
{
    const QDeadlineTimer until(ms);
    // With no transfer added the multi handle's poll only waits, and cancel() wakes it.
    while (!m_cancelled && !until.hasExpired())
        curl_multi_poll(multiOf(m_multi), nullptr, 0, int(qMax<qint64>(1, until.remainingTime())), nullptr);
}

HttpResult HttpClient::get(const QString &url, QDeadlineTimer until)
{
    HttpResult result;
    QElapsedTimer clock;
    clock.start();
    QByteArray address = url.toUtf8();
    for (long redirects = 0;; ++redirects) {
        qint64 left = m_totalMs - clock.elapsed();
        if (!until.isForever())
            left = qMin(left, until.remainingTime());
        if (m_cancelled) {
            result.cancelled = true;
            result.error = QStringLiteral("cancelled");
            break;
        }
        if (left <= 0) {
            result.error = until.hasExpired() ? QStringLiteral("no time left for the request")
                                              : QStringLiteral("no answer within %1 ms").arg(m_totalMs);
            break;
        }
        Hop hop = perform(address, long(left));
        result.status = int(hop.status);
        result.contentType = hop.contentType;
        if (m_cancelled) {
            result.cancelled = true;
            result.error = QStringLiteral("cancelled");
        } else if (hop.receiver.tooLarge || hop.code == CURLE_FILESIZE_EXCEEDED) {
            result.error = QStringLiteral("the page is larger than %1 bytes").arg(kBodyLimit);
        } else if (hop.code != CURLE_OK) {
            result.error = hop.error;
        } else if (hop.status >= 300 && hop.status <= 399 && !hop.redirect.isEmpty()) {
            const QString from = schemeOf(address);
            const QString to = schemeOf(hop.redirect);
            if (to != QLatin1String("https") && (to != QLatin1String("http") || from == QLatin1String("https"))) {
                result.error = QStringLiteral("redirect from %1 to %2 refused").arg(from, to);
            } else if (redirects >= kMaxRedirects) {
                result.error = QStringLiteral("more than %1 redirects").arg(kMaxRedirects);
            } else {
                address = hop.redirect;
                continue;
            }
        } else if (hop.status < 200 || hop.status > 299) {
            result.error = QStringLiteral("HTTP status %1").arg(hop.status);
        } else {
            result.ok = true;
            result.body = std::move(hop.receiver.body);
        }
        break;
    }
    if (!result.ok)
        m_freshConnection = true; // whatever the server left open is not to be trusted
    return result;
}

} // namespace rates
