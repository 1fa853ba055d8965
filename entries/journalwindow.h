#pragma once

#include "gridexport.h"

#include "widgets/childwindow.h"

class QComboBox;
class QTableView;

namespace ledger {
class Session;
}

namespace entries {

class ExpenseDialog;
class GridColumns;
class IncomeHighlightDelegate;

// The journal (TForm2): every income and expense batch of the current month or of the whole
// period, newest first, shown from the session's journal dataset. A double-click or Enter on
// an expense batch opens it for editing; Delete deletes the current row after asking.
class JournalWindow : public ui::ChildWindow
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("Журнал расхода/дохода");

    // `expenses` edits a batch; without it the journal only shows and deletes.
    JournalWindow(ledger::Session &session, ExpenseDialog *expenses, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }
    // "Экспорт в CSV…" and "Экспорт в Excel…": the rows shown, for the period chosen, to a file
    // the user picks.
    void exportShown(ExportFormat format);

protected:
    void start() override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choosePeriod();
    void fitFirstColumn();
    void followReset();
    // The journal row under the grid's current row, -1 when there is none.
    int currentRow() const;
    void editCurrent();
    void deleteCurrent();

    ledger::Session &m_session;
    ExpenseDialog *m_expenses;
    QComboBox *m_period = nullptr;
    QTableView *m_grid = nullptr;
    GridColumns *m_columns = nullptr;
    IncomeHighlightDelegate *m_delegate = nullptr;
};

} // namespace entries
