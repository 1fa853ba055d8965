#include "gridcolumns.h"

#include "widgets/guard.h"
#include "ledger/dataset.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>

namespace entries {

GridColumns::GridColumns(ledger::Dataset &dataset, QVector<GridColumn> columns, QObject *parent)
    : QAbstractProxyModel(parent)
    , m_dataset(dataset)
    , m_columns(std::move(columns))
{
    QAbstractProxyModel::setSourceModel(&dataset);
    // Rows the dataset fetches are appended as they are; anything else it might report is
    // passed on as a reset, since the columns are mapped by name and may all have moved.
    connect(&dataset, &QAbstractItemModel::modelAboutToBeReset, this, &GridColumns::beginChange);
    connect(&dataset, &QAbstractItemModel::modelReset, this, &GridColumns::endChange);
    connect(&dataset, &QAbstractItemModel::layoutAboutToBeChanged, this, &GridColumns::beginChange);
    connect(&dataset, &QAbstractItemModel::layoutChanged, this, &GridColumns::endChange);
    connect(&dataset, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsert(first, last); });
    connect(&dataset, &QAbstractItemModel::rowsInserted, this, &GridColumns::endInsert);
    connect(&dataset, &QAbstractItemModel::rowsAboutToBeRemoved, this, &GridColumns::beginChange);
    connect(&dataset, &QAbstractItemModel::rowsRemoved, this, &GridColumns::endChange);
    connect(&dataset, &QAbstractItemModel::columnsAboutToBeInserted, this, &GridColumns::beginChange);
    connect(&dataset, &QAbstractItemModel::columnsInserted, this, &GridColumns::endChange);
    connect(&dataset, &QAbstractItemModel::columnsAboutToBeRemoved, this, &GridColumns::beginChange);
    connect(&dataset, &QAbstractItemModel::columnsRemoved, this, &GridColumns::endChange);
    connect(&dataset, &QAbstractItemModel::dataChanged, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    });
}

void GridColumns::beginChange()
{
    if (m_changeDepth++ == 0)
        beginResetModel();
}

void GridColumns::endChange()
{
    if (m_changeDepth > 0 && --m_changeDepth == 0)
        endResetModel();
}

void GridColumns::beginInsert(int first, int last)
{
    // Inside a reset the reset shows the new rows.
    if (m_changeDepth > 0)
        return;
    m_inserting = true;
    beginInsertRows(QModelIndex(), first, last);
}

void GridColumns::endInsert()
{
    if (!m_inserting)
        return;
    m_inserting = false;
    endInsertRows();
}

void GridColumns::fetchAll()
{
    m_dataset.fetchAll();
}

void GridColumns::setField(int column, const QString &field)
{
    if (m_columns[column].field == field)
        return;
    beginChange();
    m_columns[column].field = field;
    endChange();
}

void GridColumns::applyWidths(QTableView *grid) const
{
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].width >= 0)
            grid->setColumnWidth(c, m_columns[c].width);
    }
}

QModelIndex GridColumns::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex GridColumns::parent(const QModelIndex &) const
{
    return {};
}

int GridColumns::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_dataset.rowCount();
}

int GridColumns::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QModelIndex GridColumns::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.model() != this)
        return {};
    const int sourceColumn = m_dataset.columnIndex(m_columns.at(proxyIndex.column()).field);
    if (sourceColumn < 0)
        return {};
    return m_dataset.index(proxyIndex.row(), sourceColumn);
}

QModelIndex GridColumns::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.model() != &m_dataset)
        return {};
    const QString field = m_dataset.columns().value(sourceIndex.column());
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].field.compare(field, Qt::CaseInsensitive) == 0)
            return createIndex(sourceIndex.row(), c);
    }
    return {};
}

QVariant GridColumns::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[index.column()].cellAlignment);
    const QModelIndex source = mapToSource(index);
    return source.isValid() ? m_dataset.data(source, role) : QVariant();
}

QVariant GridColumns::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < m_columns.size()) {
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(m_columns[section].titleAlignment);
        return {};
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return {};
}

Qt::ItemFlags GridColumns::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndex LedgerGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (cursorAction == MoveEnd && (modifiers & Qt::ControlModifier)) {
        if (auto *columns = qobject_cast<GridColumns *>(model())) {
            if (!ui::guard(this, [columns] { columns->fetchAll(); }))
                return currentIndex();
        }
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

void setUpGrid(QTableView *grid)
{
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setStretchLastSection(false);
    grid->horizontalHeader()->setHighlightSections(false);
    // The selected row stays visible while the focus is elsewhere.
    QPalette palette = grid->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    grid->setPalette(palette);
}

} // namespace entries
