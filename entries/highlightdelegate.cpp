#include "highlightdelegate.h"

#include "ledger/journalrow.h"
#include "ledger/session.h"

namespace entries {

IncomeHighlightDelegate::IncomeHighlightDelegate(ledger::Session &session, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_session(session)
{
}

bool IncomeHighlightDelegate::highlights(int row) const
{
    if (!m_session.incomeHighlight())
        return false;
    ledger::Dataset &journal = m_session.journal();
    const int names = journal.columnIndex(QStringLiteral("names"));
    if (names < 0 || row < 0 || row >= journal.rowCount())
        return false;
    // data() never throws: a row that cannot be read is drawn plain.
    return ledger::isIncomeName(journal.data(journal.index(row, names)).toString());
}

void IncomeHighlightDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!(option->state & QStyle::State_Selected) && highlights(index.row()))
        option->backgroundBrush = kIncomeHighlight;
}

} // namespace entries
