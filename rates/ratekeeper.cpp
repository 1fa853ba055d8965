#include "ratekeeper.h"

#include "address.h"
#include "waiting.h"
#include "xmldaily.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/error.h"
#include "ledger/regional.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QSqlQuery>

#include <optional>

namespace rates {

namespace {

// The newest rate row of the month (Kurs: same month number, any year, newest id first).
struct NewestRow
{
    QDate date; // invalid when the column is Null
    std::optional<ledger::Money> dollar;
    std::optional<ledger::Money> euro;
    std::optional<ledger::Money> pound;
};

std::optional<NewestRow> readNewestRow(const ledger::Connection &connection)
{
    QSqlQuery q = connection.run(QStringLiteral("SELECT dates, kurs1, kurs2, kurs3 FROM Kurs LIMIT 1"));
    if (!q.next())
        return std::nullopt;
    NewestRow row;
    const QVariant date = ledger::fromStored(QStringLiteral("dates"), q.value(0));
    // A time of day, should a row carry one, does not make it another day's rates.
    row.date = date.typeId() == QMetaType::QDateTime ? date.toDateTime().date() : date.toDate();
    const auto rate = [&q](int index, const char *column) -> std::optional<ledger::Money> {
        const QVariant value = ledger::fromStored(QLatin1String(column), q.value(index));
        if (value.isNull())
            return std::nullopt;
        return value.value<ledger::Money>();
    };
    row.dollar = rate(1, "kurs1");
    row.euro = rate(2, "kurs2");
    row.pound = rate(3, "kurs3");
    q.finish();
    return row;
}

QString dateLine(const QDate &date)
{
    return QStringLiteral("(на ") + regional::shortDate(date) + QStringLiteral(" г. по ЦБ)");
}

bool holdsDay(const std::optional<NewestRow> &newest, const QDate &day)
{
    return newest && newest->date == day;
}

} // namespace

RateKeeper::RateKeeper()
    : m_dollarText(QStringLiteral("Доллар: 0,00 руб."))
    , m_euroText(QStringLiteral("Евро: 0,00 руб."))
    , m_poundText(QStringLiteral("Фунт: 0,00 руб."))
    , m_dateText(QStringLiteral("(данные не получены)"))
    , m_receiver(std::make_unique<QObject>())
{
}

RateKeeper::~RateKeeper()
{
    stop();
}

std::optional<RateKeeper::Outcome> RateKeeper::refusal(bool internetAllowed) const
{
    if (!internetAllowed)
        return Outcome::Off;
    // Events run while the page is awaited; a second update started from one of them would
    // interleave with this one and could store the day's row twice.
    if (m_updating)
        return Outcome::Busy;
    if (m_client.isCancelled())
        return Outcome::Cancelled;
    return std::nullopt;
}

RateKeeper::Outcome RateKeeper::update(const ledger::Connection &connection, bool internetAllowed)
{
    if (const auto refused = refusal(internetAllowed))
        return *refused;
    m_updating = true;
    const auto done = qScopeGuard([this] { m_updating = false; });
    const QDate today = QDate::currentDate();
    m_fetch = Fetch();
    if (!holdsDay(readNewestRow(connection), today))
        runWaiting([this, &today] { m_fetch = fetch(today); });
    return settle(connection, today);
}

RateKeeper::Outcome RateKeeper::start(const ledger::Connection &connection, bool internetAllowed,
                                      std::function<void()> answered)
{
    if (const auto refused = refusal(internetAllowed))
        return *refused;
    m_fetch = Fetch();
    m_fetchDay = QDate::currentDate();
    if (holdsDay(readNewestRow(connection), m_fetchDay))
        return settle(connection, m_fetchDay);
    m_updating = true;
    m_thread.reset(QThread::create([this] {
        try {
            m_fetch = fetch(m_fetchDay);
        } catch (...) {
            m_fetch.failure = std::current_exception();
        }
    }));
    // finished reaches the receiver queued, on this thread, once the fetch is over.
    QObject::connect(m_thread.get(), &QThread::finished, m_receiver.get(), [answered = std::move(answered)] {
        if (answered)
            answered();
    });
    m_thread->start();
    return Outcome::Started;
}

RateKeeper::Outcome RateKeeper::finish(const ledger::Connection *connection)
{
    if (!m_thread)
        return Outcome::Cancelled;
    m_thread->wait();
    m_thread.reset();
    const auto done = qScopeGuard([this] { m_updating = false; });
    return connection ? settle(*connection, m_fetchDay) : Outcome::Cancelled;
}

void RateKeeper::stop()
{
    cancel();
    if (!m_thread)
        return;
    m_thread->wait();
    m_thread.reset();
    m_receiver = std::make_unique<QObject>(); // an end already posted goes with the old one
    m_updating = false;
}

RateKeeper::Outcome RateKeeper::settle(const ledger::Connection &connection, const QDate &day)
{
    if (m_fetch.cancelled)
        return Outcome::Cancelled;
    if (m_fetch.failure)
        std::rethrow_exception(m_fetch.failure);
    const std::optional<NewestRow> newest = readNewestRow(connection);

    // All three rates or none, and the row before anything shows: a row the ledger refuses
    // leaves the rates and the texts as they were. A row of the day stored meanwhile (another
    // ledger opened during the fetch) is kept, not doubled.
    if (m_fetch.rates && !holdsDay(newest, day)) {
        const Rates fresh = *m_fetch.rates;
        ledger::storeRates(connection, fresh.dollar, fresh.euro, fresh.pound);
        m_rates = fresh;
        m_dateText = dateLine(day);
        showRates();
        return Outcome::Fetched;
    }

    if (newest) {
        if (newest->dollar)
            m_rates.dollar = *newest->dollar;
        if (newest->euro)
            m_rates.euro = *newest->euro;
        if (newest->pound)
            m_rates.pound = *newest->pound;
        if (newest->date.isValid())
            m_dateText = dateLine(newest->date);
    }
    showRates();
    return Outcome::FromLedger;
}

void RateKeeper::readPage(const HttpResult &page, Fetch &fetched)
{
    try {
        const Rates rates = cutRates(decodePage(page.body, page.contentType));
        if (isPlausible(rates))
            fetched.rates = rates;
    } catch (const ledger::ConversionError &) {
        fetched.failure = std::current_exception();
    }
}

RateKeeper::Fetch RateKeeper::fetch(const QDate &day)
{
    const QDeadlineTimer until(m_fetchBoundMs);
    Fetch fetched;
    for (int failures = 0; failures < kMaxFailures && !until.hasExpired();) {
        // The bank's XML service first; its answer counts only with all three rates.
        const HttpResult xml = m_client.get(xmlUrl(day), until);
        if (xml.ok)
            fetched.rates = readDailyXml(xml.body, xml.contentType);
        // Then the daily page. An empty body ends the attempts as well: the server did answer.
        if (!fetched.rates && !m_client.isCancelled()) {
            const HttpResult page = m_client.get(requestUrl(day), until);
            if (page.ok && page.body.isEmpty())
                break;
            if (page.ok)
                readPage(page, fetched);
        }
        if (fetched.rates || fetched.failure || m_client.isCancelled())
            break;
        // No answer, or rates that cannot be true: a failed attempt.
        m_client.closeConnection();
        if (++failures < kMaxFailures)
            m_client.pause(int(qMin<qint64>(kPauseAfterFailureMs, until.remainingTime())));
    }
    if (m_client.isCancelled())
        return Fetch{std::nullopt, nullptr, true};
    return fetched;
}

void RateKeeper::showRates()
{
    m_dollarText = QStringLiteral("Доллар: ") + regional::rateText(m_rates.dollar);
    m_euroText = QStringLiteral("Евро: ") + regional::rateText(m_rates.euro);
    m_poundText = QStringLiteral("Фунт: ") + regional::rateText(m_rates.pound);
}

} // namespace rates
