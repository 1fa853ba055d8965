#include "journalwindow.h"

#include "expensedialog.h"
#include "gridcolumns.h"
#include "gridexport.h"
#include "gridwindow.h"
#include "highlightdelegate.h"

#include "widgets/guard.h"
#include "widgets/messages.h"
#include "widgets/widgets.h"
#include "ledger/bookkeeping.h"
#include "ledger/session.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTableView>
#include <QToolBar>

namespace entries {

namespace {
constexpr QSize kSize(454, 374);
constexpr int kFirstColumnMargin = 303;
} // namespace

JournalWindow::JournalWindow(ledger::Session &session, ExpenseDialog *expenses, QWidget *parent)
    : ui::ChildWindow(kCaption, QStringLiteral("TForm2"), kSize, QPoint(10, 10), parent)
    , m_session(session)
    , m_expenses(expenses)
{
    setWindowIcon(ui::icon(QStringLiteral("window-journal")));
    QToolBar *toolBar = gridWindowToolBar(this);
    m_period = ui::addPeriodBox(toolBar, 1);
    toolBar->addSeparator();

    m_columns = new GridColumns(
        session.journal(),
        {{QStringLiteral("names"), QStringLiteral(" Тип записи"), kSize.width() - kFirstColumnMargin},
         {QStringLiteral("suma"), QStringLiteral("Сумма"), 100, Qt::AlignRight | Qt::AlignVCenter,
          Qt::AlignRight | Qt::AlignVCenter},
         {QStringLiteral("dates"), QStringLiteral("Дата"), 90, Qt::AlignCenter, Qt::AlignCenter},
         {QStringLiteral("ti"), QStringLiteral("Время"), 80, Qt::AlignCenter, Qt::AlignCenter}},
        this);
    m_grid = addGridUnder(this, toolBar, m_columns, QStringLiteral("Журнал"));
    m_delegate = new IncomeHighlightDelegate(session, m_grid);
    m_grid->setItemDelegate(m_delegate);
    m_grid->installEventFilter(this);
    setFocusProxy(m_grid);

    // After every reopening the grid stands on the first row, as the dataset does.
    connect(m_columns, &QAbstractItemModel::modelReset, this, [this] { followReset(); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                ui::guard(this, [&] {
                    ledger::Dataset &journal = m_session.journal();
                    if (current.isValid() && journal.isOpen() && current.row() < journal.count())
                        journal.moveTo(current.row());
                });
            });
    connect(m_period, &QComboBox::currentIndexChanged, this, ui::guarded(this, [this] { choosePeriod(); }));
    connect(m_grid, &QAbstractItemView::doubleClicked, this, ui::guarded(this, [this] { editCurrent(); }));
    connect(&session, &ledger::Session::incomeHighlightChanged, m_grid->viewport(), qOverload<>(&QWidget::update));
    followReset();
}

void JournalWindow::start()
{
    choosePeriod();
    fitFirstColumn();
}

void JournalWindow::choosePeriod()
{
    ledger::Dataset &journal = m_session.journal();
    journal.close();
    journal.setSource(m_period->currentIndex() == 0 ? QStringLiteral("ListM") : QStringLiteral("ListZ"));
    journal.open();
}

void JournalWindow::followReset()
{
    if (m_columns->rowCount() > 0)
        m_grid->setCurrentIndex(m_columns->index(0, 0));
}

void JournalWindow::resizeEvent(QResizeEvent *event)
{
    ui::ChildWindow::resizeEvent(event);
    fitFirstColumn();
}

void JournalWindow::fitFirstColumn()
{
    if (m_grid)
        m_grid->setColumnWidth(0, qMax(0, width() - kFirstColumnMargin));
}

int JournalWindow::currentRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    const ledger::Dataset &journal = m_session.journal();
    if (!current.isValid() || !journal.isOpen() || current.row() >= journal.count())
        return -1;
    return current.row();
}

void JournalWindow::editCurrent()
{
    const int row = currentRow();
    if (row < 0 || !m_expenses)
        return;
    ledger::Dataset &journal = m_session.journal();
    // Incomes are entered only; they are not edited.
    if (ledger::isIncomeName(journal.valueAt(row, QStringLiteral("names")).toString()))
        return;
    m_expenses->showForEditing(journal.valueAt(row, QStringLiteral("id")).toLongLong());
}

void JournalWindow::deleteCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    ledger::Dataset &journal = m_session.journal();
    const QString name = journal.valueAt(row, QStringLiteral("names")).toString();
    const qint64 id = journal.valueAt(row, QStringLiteral("id")).toLongLong();
    const QString question = ledger::isIncomeName(name)
                                 ? QStringLiteral("Удалить текущею запись о \"%1\" ?").arg(name)
                                 : QStringLiteral("Удалить текущею запись о расходах ?");
    if (!ui::askYesNo(this, question))
        return;
    ledger::deleteEntry(m_session.connection(), id);
    m_session.entriesChanged();
}

bool JournalWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete) {
            ui::guard(this, [this] { deleteCurrent(); });
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui::guard(this, [this] { editCurrent(); });
            return true;
        }
    }
    return ui::ChildWindow::eventFilter(watched, event);
}

void JournalWindow::exportShown(ExportFormat format)
{
    // A window opened for the export has not applied its period yet.
    if (!isStarted())
        choosePeriod();
    exportGrid(this, *m_columns, m_grid, format);
}

} // namespace entries
