#pragma once

#include "httpclient.h"
#include "page.h"

#include "ledger/money.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QThread>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace ledger {
class Connection;
}

namespace rates {

// The three current rates against the rouble and the four texts of the information panel's
// rate lines. The main window owns one for the whole run, calls start() and finish() (or
// update()) and copies the texts into its labels; nothing here knows of widgets.
class RateKeeper
{
public:
    static constexpr int kMaxFailures = 5;
    static constexpr int kPauseAfterFailureMs = 333;
    // The whole fetch, every attempt and pause included, ends by then.
    static constexpr int kFetchBoundMs = 30'000;

    enum class Outcome {
        Off,        // the internet setting is off: nothing changed
        Busy,       // an update was already running (entered again from its event processing)
        Fetched,    // today's page was read and stored as a new rate row
        FromLedger, // no rates (today's row already stored, no answer, an empty page, rates
                    // that cannot be true): the newest row of the month was shown, if there is one
        Cancelled,  // cancel() ended it, or no ledger was left to keep its answer: nothing changed
        Started,    // start() is asking the bank; finish() follows
    };

    RateKeeper();
    ~RateKeeper();
    RateKeeper(const RateKeeper &) = delete;
    RateKeeper &operator=(const RateKeeper &) = delete;

    // Brings the rates up to date for the open ledger. `internetAllowed` is the setting
    // "inet", read by the caller at every call. Each of at most five attempts asks the bank's
    // XML service and, when that gives no three rates, the daily page; rates that cannot be
    // true count as a failed attempt, and the whole fetch ends by the fetch bound. Waits for
    // the network off the window's thread, letting pending events run meanwhile.
    // A page whose rates cannot be read raises ConversionError; a database failure raises
    // DatabaseError. Either way the rates, the texts and the ledger stay as they were.
    Outcome update(const ledger::Connection &connection, bool internetAllowed);

    // The same without waiting. When the bank is to be asked, it is asked on a thread of its
    // own and start() returns Started at once; `answered` runs on this thread when the answer
    // is in, and the caller then calls finish(). Otherwise the outcome is update()'s, and
    // `answered` never runs.
    Outcome start(const ledger::Connection &connection, bool internetAllowed, std::function<void()> answered);
    // Keeps what the fetch begun by start() brought in `connection`, the ledger open now (it
    // may be another than at the start: a row of today already there is shown instead), or
    // drops it when there is none (nullptr: Cancelled). Raises as update() does.
    Outcome finish(const ledger::Connection *connection);

    // Milliseconds the whole fetch may take; tests shorten it.
    void setFetchBound(int ms) { m_fetchBoundMs = ms; }

    bool isUpdating() const { return m_updating; }
    // Ends a download under way at once, and every later update before it asks anything:
    // for quitting. Safe from any thread.
    void cancel() { m_client.cancel(); }
    // cancel(), and waits for the fetch's thread: no answer of start() comes after this.
    void stop();

    ledger::Money dollarRate() const { return m_rates.dollar; }
    ledger::Money euroRate() const { return m_rates.euro; }
    ledger::Money poundRate() const { return m_rates.pound; }
    double dollar() const { return m_rates.dollar.toDouble(); }
    double euro() const { return m_rates.euro.toDouble(); }
    double pound() const { return m_rates.pound.toDouble(); }

    // "Доллар: 30,1234", "Евро: ...", "Фунт: ..." and "(на 16.03.2010 г. по ЦБ)"; before the
    // first update that finds rates, the panel's initial texts.
    const QString &dollarText() const { return m_dollarText; }
    const QString &euroText() const { return m_euroText; }
    const QString &poundText() const { return m_poundText; }
    const QString &dateText() const { return m_dateText; }

    // The client of every request, kept for the run so that its cookies last; tests shorten
    // its time-outs.
    HttpClient &client() { return m_client; }

private:
    struct Fetch
    {
        std::optional<Rates> rates; // from the XML service or the page, each plausible
        std::exception_ptr failure; // the page came but its rates could not be read
        bool cancelled = false;
    };
    // Runs off the window's thread.
    Fetch fetch(const QDate &day);
    static void readPage(const HttpResult &page, Fetch &fetched);
    std::optional<Outcome> refusal(bool internetAllowed) const;
    // Stores or shows what m_fetch holds for `day`.
    Outcome settle(const ledger::Connection &connection, const QDate &day);
    void showRates();

    HttpClient m_client;
    Rates m_rates;
    QString m_dollarText;
    QString m_euroText;
    QString m_poundText;
    QString m_dateText;
    bool m_updating = false;
    int m_fetchBoundMs = kFetchBoundMs;
    Fetch m_fetch;
    QDate m_fetchDay;
    std::unique_ptr<QThread> m_thread;   // start()'s fetch
    std::unique_ptr<QObject> m_receiver; // takes its end on the window's thread
};

} // namespace rates
