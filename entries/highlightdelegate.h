#pragma once

#include <QColor>
#include <QStyledItemDelegate>

namespace ledger {
class Session;
}

namespace entries {

// The journal's light green for income rows.
inline const QColor kIncomeHighlight = QColor(219, 237, 211);

// Draws the journal's cells; an income row ("Доход" in its name) gets the light green
// background while the session's income highlight is on. The setting is read at every paint,
// so a change shows at the next redraw. A selected row keeps the selection's colours in all
// its cells, so that the selection stays readable on income rows too.
class IncomeHighlightDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    IncomeHighlightDelegate(ledger::Session &session, QObject *parent = nullptr);

    // Whether a row of the journal is drawn on the highlight colour when not selected.
    bool highlights(int row) const;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    ledger::Session &m_session;
};

} // namespace entries
