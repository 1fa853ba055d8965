#pragma once

#include "gridexport.h"

#include "widgets/childwindow.h"

class QComboBox;
class QTableView;

namespace ledger {
class Session;
}

namespace entries {

class GridColumns;

// The report (TForm12): the expense lines or the incomes of the current month or of the
// whole period, read from the session's report dataset when the window opens and whenever
// a box changes. It only reads.
class ReportWindow : public ui::ChildWindow
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("Отчёт расходов/доходов");

    explicit ReportWindow(ledger::Session &session, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }
    // "Экспорт в CSV…" and "Экспорт в Excel…": the rows shown, for the period chosen, to a file
    // the user picks.
    void exportShown(ExportFormat format);

protected:
    void start() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void select();
    void fitFirstColumn();

    ledger::Session &m_session;
    QComboBox *m_kind = nullptr;
    QComboBox *m_period = nullptr;
    QTableView *m_grid = nullptr;
    GridColumns *m_columns = nullptr;
};

} // namespace entries
