#pragma once

#include "database.h"
#include "dataset.h"

#include <QObject>
#include <QStringListModel>

#include <functional>
#include <memory>

namespace ledger {

// What the windows share while the program runs: the one connection to the open ledger,
// the datasets the journal, report and charts are bound to, the item-name and income-type
// lists of the entry dialogs, and the income highlight in force. The main window owns it.
class Session : public QObject
{
    Q_OBJECT

public:
    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    bool isOpen() const { return m_connection != nullptr; }
    // The open ledger's connection; raises DatabaseError when none is open.
    const Connection &connection() const;
    // Takes over a connection (closing the previous one) and opens the journal on the view
    // it was last set to.
    void attach(std::unique_ptr<Connection> connection);
    // Closes every dataset and the connection: the no-ledger state.
    void detach();

    // ListZ or ListM; every journal row is shown through it.
    Dataset &journal() { return m_journal; }
    // ListRashod, ListRashodAll, ListDohod or ListDohodAll.
    Dataset &report() { return m_report; }
    // GrafRashod(All), GrafDohod(All), TopRashod(All), GrafikValuta(All).
    Dataset &chartExpenses() { return m_chartExpenses; }
    Dataset &chartIncomes() { return m_chartIncomes; }
    Dataset &chartTop() { return m_chartTop; }
    Dataset &chartRates() { return m_chartRates; }
    // The expense lines, filtered by batch for editing.
    Dataset &lines() { return m_lines; }

    // Item names offered by the expense dialog: the newest expense lines' names, a name as
    // often as it was used, at most `limit`, empty names stepped past.
    QStringListModel &itemNames() { return m_itemNames; }
    void fillItemNames(int limit = 1000);
    // Appends a name to the list unless it is empty or already there.
    void offerItemName(const QString &name);

    // Income types offered by the income dialog, in the table's order.
    QStringListModel &incomeTypes() { return m_incomeTypes; }
    void fillIncomeTypes();
    bool hasIncomeType(const QString &type) const;
    void offerIncomeType(const QString &type);

    // The journal's income highlight, as the settings dialog's check box says.
    bool incomeHighlight() const { return m_incomeHighlight; }
    void setIncomeHighlight(bool on);

    // Called after every write: the journal is read again and the information panel
    // refreshed (the refresher is the main window's GetBalans).
    void setBalanceRefresher(std::function<void()> refresher) { m_refreshBalance = std::move(refresher); }
    void entriesChanged();

signals:
    void incomeHighlightChanged(bool on);
    void ledgerAttached();
    void ledgerDetached();

private:
    std::unique_ptr<Connection> m_connection;
    Dataset m_journal;
    Dataset m_report;
    Dataset m_chartExpenses;
    Dataset m_chartIncomes;
    Dataset m_chartTop;
    Dataset m_chartRates;
    Dataset m_lines;
    QStringListModel m_itemNames;
    QStringListModel m_incomeTypes;
    bool m_incomeHighlight = true;
    std::function<void()> m_refreshBalance;
};

} // namespace ledger
