#include "importmodel.h"

#include "ledger/regional.h"

#include <QApplication>
#include <QBrush>
#include <QPalette>
#include <QSet>
#include <QStyle>

namespace entries {

namespace {

// A top row's internal id is 0; a line's is its candidate's row plus one.
constexpr quintptr kTop = 0;

} // namespace

void ImportModel::append(QVector<imports::Candidate> candidates)
{
    if (candidates.isEmpty())
        return;
    QSet<QString> keys;
    for (const imports::Candidate &c : std::as_const(m_candidates))
        keys.insert(c.key);
    const int first = int(m_candidates.size());
    beginInsertRows(QModelIndex(), first, first + int(candidates.size()) - 1);
    for (imports::Candidate &c : candidates) {
        const bool repeated = !c.key.isEmpty() && keys.contains(c.key);
        keys.insert(c.key);
        // A refund is booked as an income only when the user asks for it.
        if (c.refund || c.alreadyImported || repeated)
            c.ticked = false;
        m_candidates.append(std::move(c));
        m_repeated.append(repeated);
    }
    endInsertRows();
    emit tickedChanged();
}

void ImportModel::clear()
{
    beginResetModel();
    m_candidates.clear();
    m_repeated.clear();
    endResetModel();
    emit tickedChanged();
}

int ImportModel::tickedCount() const
{
    int n = 0;
    for (int i = 0; i < m_candidates.size(); ++i)
        n += m_candidates[i].ticked && !locked(i);
    return n;
}

int ImportModel::candidateOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return -1;
    return index.internalId() == kTop ? index.row() : int(index.internalId() - 1);
}

bool ImportModel::locked(int candidate) const
{
    return m_candidates[candidate].alreadyImported || m_repeated[candidate];
}

QModelIndex ImportModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row < m_candidates.size() ? createIndex(row, column, kTop) : QModelIndex();
    if (parent.internalId() != kTop || parent.row() >= m_candidates.size())
        return {};
    if (row >= m_candidates[parent.row()].lines.size())
        return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex ImportModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == kTop)
        return {};
    return createIndex(int(child.internalId() - 1), 0, kTop);
}

int ImportModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_candidates.size());
    if (parent.internalId() != kTop || parent.column() != 0)
        return 0;
    const imports::Candidate &c = m_candidates[parent.row()];
    // A statement's one-line expense says everything in its top row.
    if (c.direction != imports::Direction::Expense || (c.lines.size() == 1 && c.lines[0].name == c.title))
        return 0;
    return int(c.lines.size());
}

int ImportModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QString ImportModel::note(int candidate) const
{
    const imports::Candidate &c = m_candidates[candidate];
    QStringList notes;
    if (c.alreadyImported)
        notes << QStringLiteral("уже в базе");
    else if (m_repeated[candidate])
        notes << QStringLiteral("повторяет запись выше");
    if (!c.similarTo.isEmpty())
        notes << c.similarTo;
    notes << c.warnings;
    return notes.join(QStringLiteral("; "));
}

QVariant ImportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == kTop)
        return topData(index.row(), index.column(), role);
    return lineData(int(index.internalId() - 1), index.row(), index.column(), role);
}

QVariant ImportModel::topData(int row, int column, int role) const
{
    const imports::Candidate &c = m_candidates[row];
    const bool income = c.direction == imports::Direction::Income;
    if (role == Qt::CheckStateRole && column == Date)
        return c.ticked && !locked(row) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::ForegroundRole && locked(row))
        return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    if (role == Qt::DecorationRole && column == Note && !c.warnings.isEmpty())
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    if (role == Qt::TextAlignmentRole && (column == Amount || column == Price || column == Counts))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole) {
        if (column == Note || column == Title)
            return column == Note ? note(row) : c.title + QLatin1Char('\n') + c.origin;
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (column) {
    case Date:
        return regional::dateTimeText(c.moment);
    case Title:
        return c.title;
    case Amount:
        return (income ? QStringLiteral("+") : QString()) + regional::amountText(c.amount);
    case IncomeType:
        return income ? c.incomeType : QString();
    case Note:
        return note(row);
    default:
        return {};
    }
}

QVariant ImportModel::lineData(int candidate, int line, int column, int role) const
{
    const ledger::ExpenseLine &l = m_candidates[candidate].lines[line];
    if (role == Qt::ForegroundRole && locked(candidate))
        return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    if (role == Qt::TextAlignmentRole && (column == Amount || column == Price || column == Counts))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole && !(role == Qt::ToolTipRole && column == Title))
        return {};
    switch (column) {
    case Title:
        return l.name;
    case Price:
        return regional::amountText(l.price);
    case Counts:
        return regional::moneyText(l.counts);
    case Amount:
        return regional::amountText(l.amount());
    case Note:
        return l.document;
    default:
        return {};
    }
}

bool ImportModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int candidate = candidateOf(index);
    if (candidate < 0 || locked(candidate))
        return false;
    imports::Candidate &c = m_candidates[candidate];
    const bool top = index.internalId() == kTop;
    if (role == Qt::CheckStateRole && top && index.column() == Date) {
        c.ticked = value.toInt() == Qt::Checked;
        emit dataChanged(index, index.siblingAtColumn(ColumnCount - 1));
        emit tickedChanged();
        return true;
    }
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    // Texts are kept as typed, only never empty; the write checks them against their columns.
    const QString text = value.toString();
    if (text.trimmed().isEmpty())
        return false;
    if (index.column() == IncomeType) {
        c.incomeType = text;
    } else if (top) {
        // A one-line expense's title is its line's name.
        c.title = text;
        c.lines[0].name = text;
    } else {
        c.lines[index.row()].name = text;
    }
    emit dataChanged(index, index);
    if (!top)
        emit dataChanged(index.parent(), index.parent());
    return true;
}

Qt::ItemFlags ImportModel::flags(const QModelIndex &index) const
{
    const int candidate = candidateOf(index);
    if (candidate < 0)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (locked(candidate))
        return f;
    const imports::Candidate &c = m_candidates[candidate];
    const bool top = index.internalId() == kTop;
    const bool expense = c.direction == imports::Direction::Expense;
    if (top && index.column() == Date)
        f |= Qt::ItemIsUserCheckable;
    if (top && index.column() == IncomeType && !expense)
        f |= Qt::ItemIsEditable;
    if (index.column() == Title && expense && (!top || rowCount(index.siblingAtColumn(0)) == 0) && !c.lines.isEmpty())
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant ImportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Date:
        return QStringLiteral("Дата");
    case Title:
        return QStringLiteral("Продавец / товар");
    case Price:
        return QStringLiteral("Цена");
    case Counts:
        return QStringLiteral("Кол-во");
    case Amount:
        return QStringLiteral("Сумма");
    case IncomeType:
        return QStringLiteral("Тип дохода");
    case Note:
        return QStringLiteral("Примечание");
    default:
        return {};
    }
}

} // namespace entries
