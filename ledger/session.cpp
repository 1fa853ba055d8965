#include "session.h"

#include "error.h"

#include <QSqlQuery>

namespace ledger {

Session::Session(QObject *parent)
    : QObject(parent)
{
    m_journal.setSource(QStringLiteral("ListZ"));
    m_report.setSource(QStringLiteral("ListRashod"));
    m_chartExpenses.setSource(QStringLiteral("GrafRashod"));
    m_chartIncomes.setSource(QStringLiteral("GrafDohod"));
    m_chartTop.setSource(QStringLiteral("TopRashod"));
    m_chartRates.setSource(QStringLiteral("GrafikValutaAll"));
    m_lines.setSource(QStringLiteral("Rashod"));
}

Session::~Session()
{
    detach();
}

const Connection &Session::connection() const
{
    if (!m_connection)
        throw DatabaseError(QStringLiteral("База данных не открыта"));
    return *m_connection;
}

void Session::attach(std::unique_ptr<Connection> connection)
{
    detach();
    m_connection = std::move(connection);
    for (Dataset *dataset : {&m_journal, &m_report, &m_chartExpenses, &m_chartIncomes, &m_chartTop, &m_chartRates,
                             &m_lines})
        dataset->setConnection(m_connection.get());
    m_journal.open();
    emit ledgerAttached();
}

void Session::detach()
{
    // Datasets first: they must let go of the connection before it closes.
    for (Dataset *dataset : {&m_journal, &m_report, &m_chartExpenses, &m_chartIncomes, &m_chartTop, &m_chartRates,
                             &m_lines})
        dataset->setConnection(nullptr);
    if (m_connection) {
        m_connection.reset();
        emit ledgerDetached();
    }
}

void Session::fillItemNames(int limit)
{
    QStringList names;
    QSqlQuery q = connection().run(QStringLiteral("SELECT names FROM ListR WHERE names <> '' LIMIT ?"), {limit});
    while (q.next())
        names << q.value(0).toString();
    q.finish();
    m_itemNames.setStringList(names);
}

void Session::offerItemName(const QString &name)
{
    if (name.isEmpty() || m_itemNames.stringList().contains(name))
        return;
    const int row = m_itemNames.rowCount();
    m_itemNames.insertRows(row, 1);
    m_itemNames.setData(m_itemNames.index(row), name);
}

void Session::fillIncomeTypes()
{
    QStringList types;
    QSqlQuery q = connection().run(QStringLiteral("SELECT names FROM Dohod ORDER BY id"));
    while (q.next())
        types << q.value(0).toString();
    q.finish();
    m_incomeTypes.setStringList(types);
}

bool Session::hasIncomeType(const QString &type) const
{
    return m_incomeTypes.stringList().contains(type);
}

void Session::offerIncomeType(const QString &type)
{
    if (hasIncomeType(type))
        return;
    const int row = m_incomeTypes.rowCount();
    m_incomeTypes.insertRows(row, 1);
    m_incomeTypes.setData(m_incomeTypes.index(row), type);
}

void Session::setIncomeHighlight(bool on)
{
    if (m_incomeHighlight == on)
        return;
    m_incomeHighlight = on;
    emit incomeHighlightChanged(on);
}

void Session::entriesChanged()
{
    m_journal.reopen();
    if (m_refreshBalance)
        m_refreshBalance();
}

} // namespace ledger
