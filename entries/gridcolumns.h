#pragma once

#include <QAbstractProxyModel>
#include <QString>
#include <QTableView>
#include <QVector>

namespace ledger {
class Dataset;
}

namespace entries {

// One column of a grid: the dataset field it shows, its title and how cell and title align.
struct GridColumn
{
    QString field;
    QString title;
    int width = -1; // -1: the grid's default width
    Qt::Alignment cellAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// The columns a grid shows of a dataset, picked by field name, in their own order and with
// their own titles. Rows are passed through one for one and read only when the grid paints
// them, so the dataset's lazy reading stays; rows the dataset fetches as the grid scrolls
// are passed on as inserted rows, so the grid keeps its current row and selection. The
// column count never changes, not even while the dataset is closed, so the grid keeps its
// column widths and hidden columns when the dataset is reopened. A column whose field the
// dataset lacks shows empty cells.
class GridColumns : public QAbstractProxyModel
{
    Q_OBJECT

public:
    GridColumns(ledger::Dataset &dataset, QVector<GridColumn> columns, QObject *parent = nullptr);

    ledger::Dataset &dataset() const { return m_dataset; }
    const GridColumn &column(int index) const { return m_columns.at(index); }
    // Shows another field in a column (the report's first column: item name or income type).
    void setField(int column, const QString &field);

    // Puts the columns' widths on the grid.
    void applyWidths(QTableView *grid) const;
    // Offers every row of the dataset at once, without reading them (see Dataset::fetchAll).
    void fetchAll();

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void beginChange();
    void endChange();
    void beginInsert(int first, int last);
    void endInsert();

    ledger::Dataset &m_dataset;
    QVector<GridColumn> m_columns;
    int m_changeDepth = 0;
    bool m_inserting = false;
};

// The grid of the journal and the report. Ctrl+End goes to the last row of the whole
// dataset in one step: the dataset offers all its rows at once (one count), rather than
// the grid fetching block after block up to the end.
class LedgerGrid : public QTableView
{
    Q_OBJECT

public:
    using QTableView::QTableView;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
};

// A read-only grid of whole-row selection with titles and lines, no row indicator column,
// the selected row shown also without the focus, rows of the font's height.
void setUpGrid(QTableView *grid);

} // namespace entries
