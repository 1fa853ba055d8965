#include "httpclient.h"

#include <curl/curl.h>

#include <mutex>
#include <new>

namespace rates {

namespace {

CURL *handleOf(void *handle) { return static_cast<CURL *>(handle); }

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

class HeaderList
{
public:
    HeaderList()
    {
        for (const char *line : {"Accept: text/html, */*", "Content-Type: text/html",
                                 "User-Agent: Mozilla/3.0 (compatible; Indy Library)", "Connection: keep-alive"}) {
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

} // namespace

HttpClient::HttpClient()
{
    initialiseCurlOnce();
    m_handle = curl_easy_init();
    if (!m_handle)
        throw std::bad_alloc();
}

HttpClient::~HttpClient()
{
    curl_easy_cleanup(handleOf(m_handle));
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

HttpResult HttpClient::get(const QString &url)
{
    CURL *curl = handleOf(m_handle);
    HttpResult result;
    Receiver receiver;
    HeaderList headers;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray address = url.toUtf8();

    // Options are set anew for every request; the handle keeps its cookies and connections.
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // the cookie engine, in memory only
    // An empty proxy overrides http_proxy and the like: the request always goes direct.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NETRC, long(CURL_NETRC_IGNORED));
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_NONE));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // runs off the main thread
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(m_connectMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_totalMs));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(kBodyLimit));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &receive);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &receiver);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, m_freshConnection ? 1L : 0L);
    m_freshConnection = false;

    const CURLcode code = curl_easy_perform(curl);

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = int(status);
    char *type = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
        result.contentType = QString::fromLatin1(type);
    // Nothing on the stack may stay referenced by the handle after this call.
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

    if (receiver.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.error = QStringLiteral("the page is larger than %1 bytes").arg(kBodyLimit);
    } else if (code != CURLE_OK) {
        result.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    } else if (status < 200 || status > 299) {
        result.error = QStringLiteral("HTTP status %1").arg(status);
    } else {
        result.ok = true;
        result.body = std::move(receiver.body);
    }
    if (!result.ok)
        m_freshConnection = true; // whatever the server left open is not to be trusted
    return result;
}

} // namespace rates
