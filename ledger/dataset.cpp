#include "dataset.h"

#include "database.h"
#include "error.h"
#include "money.h"
#include "regional.h"
#include "schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace ledger {

namespace {

constexpr int kBlockRows = 256;
constexpr int kCachedBlocks = 64;

QString displayText(const QVariant &value)
{
    if (!value.isValid())
        return {};
    if (value.metaType() == QMetaType::fromType<Money>())
        return regional::moneyText(value.value<Money>());
    switch (value.typeId()) {
    case QMetaType::QDate:
        return regional::shortDate(value.toDate());
    case QMetaType::QDateTime:
        return regional::shortDate(value.toDateTime().date());
    case QMetaType::QTime:
        return regional::longTime(value.toTime());
    default:
        return value.toString();
    }
}

} // namespace

Dataset::Dataset(QObject *parent)
    : QAbstractTableModel(parent)
{
}

Dataset::~Dataset() = default;

void Dataset::setConnection(const Connection *connection)
{
    close();
    m_connection = connection;
}

void Dataset::setSource(const QString &name)
{
    if (m_open)
        throw DatabaseError(QStringLiteral("Набор данных открыт: источник %1 не может быть изменён").arg(m_source));
    if (!schema::isKnownSource(name))
        throw DatabaseError(QStringLiteral("Нет таблицы или запроса %1").arg(name));
    m_source = name;
}

void Dataset::setFilter(const QString &column, const QVariant &value)
{
    m_filterColumn = column;
    m_filterValue = value;
}

void Dataset::clearFilter()
{
    m_filterColumn.clear();
    m_filterValue.clear();
}

QString Dataset::whereClause() const
{
    return m_filterColumn.isEmpty() ? QString() : QStringLiteral(" WHERE %1 = ?").arg(m_filterColumn);
}

void Dataset::open()
{
    if (m_open)
        return;
    if (!m_connection)
        throw DatabaseError(QStringLiteral("База данных не открыта"));
    if (m_source.isEmpty())
        throw DatabaseError(QStringLiteral("Не задан источник набора данных"));

    QStringList columns;
    {
        QSqlQuery q = m_connection->run(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(m_source));
        const QSqlRecord record = q.record();
        for (int i = 0; i < record.count(); ++i)
            columns << record.fieldName(i);
    }
    if (!m_filterColumn.isEmpty() && !columns.contains(m_filterColumn, Qt::CaseInsensitive))
        throw DatabaseError(QStringLiteral("Нет поля %1 в %2").arg(m_filterColumn, m_source));

    beginResetModel();
    m_columns = columns;
    m_blocks.clear();
    m_blockOrder.clear();
    m_count = -1;
    m_open = true;
    try {
        const int first = int(block(0).size());
        m_shown = first;
        m_exhausted = first < kBlockRows;
        if (m_exhausted)
            m_count = first;
    } catch (...) {
        m_open = false;
        m_columns.clear();
        m_shown = 0;
        endResetModel();
        throw;
    }
    m_current = m_shown > 0 ? 0 : -1;
    endResetModel();
}

void Dataset::close()
{
    if (!m_open)
        return;
    beginResetModel();
    m_open = false;
    m_count = -1;
    m_shown = 0;
    m_exhausted = false;
    m_current = -1;
    m_columns.clear();
    m_blocks.clear();
    m_blockOrder.clear();
    endResetModel();
}

void Dataset::reopen()
{
    close();
    open();
}

int Dataset::count() const
{
    requireOpen();
    if (m_count < 0) {
        QVariantList params;
        QString sql;
        if (m_filterColumn.isEmpty()) {
            sql = schema::countStatement(m_source);
        } else {
            sql = QStringLiteral("SELECT count(*) FROM %1%2").arg(m_source, whereClause());
            params << m_filterValue;
        }
        m_count = m_connection->scalar(sql, params).toInt();
    }
    return m_count;
}

bool Dataset::isEmpty() const
{
    requireOpen();
    return m_shown == 0;
}

void Dataset::requireOpen() const
{
    if (!m_open)
        throw DatabaseError(QStringLiteral("Набор данных %1 закрыт").arg(m_source));
}

void Dataset::moveTo(int row)
{
    requireOpen();
    if (row < 0 || (row >= m_shown && row >= count()))
        throw DatabaseError(QStringLiteral("Нет строки %1 в %2").arg(row + 1).arg(m_source));
    m_current = row;
}

int Dataset::columnIndex(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const Dataset::Block &Dataset::block(int index) const
{
    auto it = m_blocks.find(index);
    if (it != m_blocks.end()) {
        m_blockOrder.removeOne(index);
        m_blockOrder.append(index);
        return *it;
    }
    QVariantList params;
    if (!m_filterColumn.isEmpty())
        params << m_filterValue;
    params << kBlockRows << qint64(index) * kBlockRows;
    QSqlQuery q = m_connection->run(
        QStringLiteral("SELECT * FROM %1%2 LIMIT ? OFFSET ?").arg(m_source, whereClause()), params);
    Block rows;
    rows.reserve(kBlockRows);
    while (q.next()) {
        QVector<QVariant> row(m_columns.size());
        for (int c = 0; c < m_columns.size(); ++c)
            row[c] = fromStored(m_columns[c], q.value(c));
        rows.append(std::move(row));
    }
    if (q.lastError().isValid())
        throw DatabaseError(q.lastError().text());
    q.finish();

    if (m_blockOrder.size() >= kCachedBlocks)
        m_blocks.remove(m_blockOrder.takeFirst());
    m_blockOrder.append(index);
    return *m_blocks.insert(index, std::move(rows));
}

QVariant Dataset::valueAt(int row, int column) const
{
    requireOpen();
    if (row < 0 || (row >= m_shown && row >= count()) || column < 0 || column >= m_columns.size())
        throw DatabaseError(QStringLiteral("Нет значения в строке %1 набора %2").arg(row + 1).arg(m_source));
    const Block &rows = block(row / kBlockRows);
    const int offset = row % kBlockRows;
    // The file may have changed under the dataset (another program); a shorter view reads
    // as NULL rather than past its end.
    return offset < rows.size() ? rows[offset][column] : QVariant();
}

QVariant Dataset::valueAt(int row, const QString &column) const
{
    requireOpen();
    const int index = columnIndex(column);
    if (index < 0)
        throw DatabaseError(QStringLiteral("%1: поле '%2' не найдено").arg(m_source, column));
    return valueAt(row, index);
}

QVariant Dataset::value(const QString &column) const
{
    requireOpen();
    if (m_current < 0)
        throw DatabaseError(QStringLiteral("%1: нет текущей записи").arg(m_source));
    return valueAt(m_current, column);
}

int Dataset::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

bool Dataset::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_open && !m_exhausted;
}

void Dataset::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    int rows = 0;
    try {
        rows = int(block(m_shown / kBlockRows).size());
    } catch (const Error &) {
        m_exhausted = true; // a failed read offers no more rows; the next command reports it
        return;
    }
    if (rows < kBlockRows)
        m_exhausted = true;
    if (rows == 0)
        return;
    beginInsertRows(QModelIndex(), m_shown, m_shown + rows - 1);
    m_shown += rows;
    endInsertRows();
    if (m_exhausted && m_count < 0)
        m_count = m_shown;
}

void Dataset::fetchAll()
{
    if (!m_open || m_exhausted)
        return;
    const int total = count();
    m_exhausted = true;
    if (total <= m_shown)
        return;
    beginInsertRows(QModelIndex(), m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

int Dataset::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant Dataset::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_open || index.row() >= m_shown || index.column() >= m_columns.size())
        return {};
    if (role != Qt::DisplayRole && role != ValueRole && role != Qt::EditRole)
        return {};
    try {
        const QVariant value = valueAt(index.row(), index.column());
        return role == Qt::DisplayRole ? QVariant(displayText(value)) : value;
    } catch (const Error &) {
        // A view painting a row must not throw; a failed read shows as an empty cell and
        // the next command that reads the row reports the error.
        return {};
    }
}

QVariant Dataset::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace ledger
