#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace ledger {

class Connection;

// A table or view of the ledger opened by name, with an exact row count, a current row and
// NULL-aware values; also the model that the grids show. Rows are read in blocks as they
// are needed, so a view of a million rows opens as fast as one of ten: the model offers the
// rows read so far and fetches more as a view scrolls (canFetchMore/fetchMore), while
// count() gives the exact number. Closing and opening again is how a dataset is refreshed.
class Dataset : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Role that gives the program value (Money, QDate, ...) rather than its text.
    static constexpr int ValueRole = Qt::UserRole + 1;

    explicit Dataset(QObject *parent = nullptr);
    ~Dataset() override;

    // The connection the dataset reads; nullptr when no ledger is open. Closes the dataset.
    void setConnection(const Connection *connection);
    const Connection *connection() const { return m_connection; }

    // A table or view name of the ledger; may be changed only while the dataset is closed.
    void setSource(const QString &name);
    const QString &source() const { return m_source; }

    // Limits the rows to those whose column equals the value ("kod=5"), until cleared.
    // Takes effect at the next opening.
    void setFilter(const QString &column, const QVariant &value);
    void clearFilter();

    void open();
    void close();
    void reopen();
    bool isOpen() const { return m_open; }

    // The exact number of rows (counted when first asked after an opening).
    int count() const;
    // True when the dataset has no row.
    bool isEmpty() const;
    // 0-based current row, -1 when the dataset is empty or closed.
    int current() const { return m_current; }
    void moveTo(int row);

    const QStringList &columns() const { return m_columns; }
    // Column by name without regard to letter case, -1 when the dataset has none.
    int columnIndex(const QString &name) const;
    // Value of a column of the current row; a null QVariant for NULL. An unknown column or
    // a closed dataset raises DatabaseError.
    QVariant value(const QString &column) const;
    QVariant valueAt(int row, const QString &column) const;
    QVariant valueAt(int row, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Offers every row at once, as inserted rows, after counting them: a view can go to the
    // last row in one step. Nothing more is read until the rows are shown, and the blocks
    // kept in memory stay as few as ever. A failed count raises DatabaseError.
    void fetchAll();
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    using Block = QVector<QVector<QVariant>>;
    const Block &block(int index) const;
    QString whereClause() const;
    void requireOpen() const;

    const Connection *m_connection = nullptr;
    QString m_source;
    QString m_filterColumn;
    QVariant m_filterValue;
    bool m_open = false;
    mutable int m_count = -1;  // -1 until counted
    int m_shown = 0;           // rows the model offers so far
    bool m_exhausted = false;  // the model offers every row
    int m_current = -1;
    QStringList m_columns;
    mutable QHash<int, Block> m_blocks;
    mutable QList<int> m_blockOrder; // least recently read first
};

} // namespace ledger
