#include "ratekeeper.h"

#include "address.h"
#include "waiting.h"
#include "xmldaily.h"

#include "ledger/bookkeeping.h"
#include "ledger/database.h"
#include "ledger/regional.h"

#include <QCoreApplication>
#include <QDate>
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

} // namespace

RateKeeper::RateKeeper()
    : m_dollarText(QStringLiteral("Доллар: 0,00 руб."))
    , m_euroText(QStringLiteral("Евро: 0,00 руб."))
    , m_poundText(QStringLiteral("Фунт: 0,00 руб."))
    , m_dateText(QStringLiteral("(данные не получены)"))
{
}

RateKeeper::Outcome RateKeeper::update(const ledger::Connection &connection, bool internetAllowed)
{
    if (!internetAllowed)
        return Outcome::Off;
    // Events run while the page is awaited; a second update started from one of them would
    // interleave with this one and could store the day's row twice.
    if (m_updating)
        return Outcome::Busy;
    if (m_client.isCancelled())
        return Outcome::Cancelled;
    m_updating = true;
    const auto done = qScopeGuard([this] { m_updating = false; });

    const QDate today = QDate::currentDate();
    const std::optional<NewestRow> newest = readNewestRow(connection);

    Fetch fetched;
    if (!newest || newest->date != today)
        fetched = fetch(today);
    if (fetched.cancelled)
        return Outcome::Cancelled;

    // All three rates or none, and the row before anything shows: a page that cannot be
    // read, or a row the ledger refuses, leaves the rates and the texts as they were.
    std::optional<Rates> fresh = fetched.rates;
    if (!fresh && !fetched.page.isEmpty())
        fresh = cutRates(decodePage(fetched.page, fetched.contentType));
    if (fresh) {
        ledger::storeRates(connection, fresh->dollar, fresh->euro, fresh->pound);
        m_rates = *fresh;
        m_dateText = dateLine(today);
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

HttpResult RateKeeper::get(const QString &url)
{
    HttpResult result;
    runWaiting([this, &url, &result] { result = m_client.get(url); });
    return result;
}

RateKeeper::Fetch RateKeeper::fetch(const QDate &day)
{
    int failures = 0;
    for (;;) {
        Fetch fetched;
        // The bank's XML service first; its answer is read only when it has all three rates.
        const HttpResult xml = get(xmlUrl(day));
        if (xml.ok)
            fetched.rates = readDailyXml(xml.body, xml.contentType);
        // Then the daily page.
        HttpResult page;
        if (!fetched.rates && !xml.cancelled) {
            page = get(requestUrl(day));
            if (!page.ok && !page.cancelled) {
                m_client.closeConnection();
                ++failures;
                pauseWaiting(kPauseAfterFailureMs);
            }
        }
        QCoreApplication::processEvents();
        if (m_client.isCancelled()) {
            fetched.cancelled = true;
            return fetched;
        }
        if (fetched.rates)
            return fetched;
        if (page.ok) {
            // An empty body ends the attempts as well: the server did answer.
            fetched.page = page.body;
            fetched.contentType = page.contentType;
            return fetched;
        }
        if (failures >= kMaxFailures)
            return fetched;
    }
}

void RateKeeper::showRates()
{
    m_dollarText = QStringLiteral("Доллар: ") + regional::rateText(m_rates.dollar);
    m_euroText = QStringLiteral("Евро: ") + regional::rateText(m_rates.euro);
    m_poundText = QStringLiteral("Фунт: ") + regional::rateText(m_rates.pound);
}

} // namespace rates
