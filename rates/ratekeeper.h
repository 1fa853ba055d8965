#pragma once

#include "httpclient.h"
#include "page.h"

#include "ledger/money.h"

#include <QString>

#include <optional>

namespace ledger {
class Connection;
}

namespace rates {

// The three current rates against the rouble and the four texts of the information panel's
// rate lines. The main window owns one for the whole run, calls update() and copies the
// texts into its labels; nothing here knows of widgets.
class RateKeeper
{
public:
    static constexpr int kMaxFailures = 5;
    static constexpr int kPauseAfterFailureMs = 333;

    enum class Outcome {
        Off,        // the internet setting is off: nothing changed
        Busy,       // an update was already running (entered again from its event processing)
        Fetched,    // today's page was read and stored as a new rate row
        FromLedger, // no rates (today's row already stored, no answer, an empty page): the
                    // newest row of the month was shown, if there is one
        Cancelled,  // cancel() ended it: nothing changed
    };

    RateKeeper();

    // Brings the rates up to date for the open ledger. `internetAllowed` is the setting
    // "inet", read by the caller at every call. Each of at most five attempts asks the bank's
    // XML service and, when that gives no three rates, the daily page. Waits for the network
    // off the window's thread, letting pending events run after every attempt.
    // A page whose rates cannot be read raises ConversionError; a database failure raises
    // DatabaseError. Either way the rates, the texts and the ledger stay as they were.
    Outcome update(const ledger::Connection &connection, bool internetAllowed);

    bool isUpdating() const { return m_updating; }
    // Ends a download under way at once, and every later update before it asks anything:
    // for quitting. Safe from any thread.
    void cancel() { m_client.cancel(); }

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
        std::optional<Rates> rates; // from the XML service
        QByteArray page;            // otherwise the page, when one came
        QString contentType;
        bool cancelled = false;
    };
    Fetch fetch(const QDate &day);
    HttpResult get(const QString &url);
    void showRates();

    HttpClient m_client;
    Rates m_rates;
    QString m_dollarText;
    QString m_euroText;
    QString m_poundText;
    QString m_dateText;
    bool m_updating = false;
};

} // namespace rates
