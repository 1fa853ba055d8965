#pragma once

#include "imports/importplan.h"

#include <QAbstractItemModel>
#include <QVector>

namespace entries {

// The import preview's rows: one top row for each receipt or statement operation, with its
// tick, and under an expense its lines. Names of lines and the type of an income can be
// edited; what is ticked and edited is what imports::writeTicked is given.
class ImportModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { Date, Title, Price, Counts, Amount, IncomeType, Note, ColumnCount };

    using QAbstractItemModel::QAbstractItemModel;

    // Adds candidates already marked against the ledger. One whose key is already in the
    // preview is shown but cannot be ticked: nothing is written twice from one preview.
    void append(QVector<imports::Candidate> candidates);
    void clear();

    const QVector<imports::Candidate> &candidates() const { return m_candidates; }
    int tickedCount() const;
    // The candidate a top row shows, or a line's candidate.
    int candidateOf(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void tickedChanged();

private:
    // Not to be ticked: already in the ledger or already further up in this preview.
    bool locked(int candidate) const;
    QString note(int candidate) const;
    QVariant topData(int row, int column, int role) const;
    QVariant lineData(int candidate, int line, int column, int role) const;

    QVector<imports::Candidate> m_candidates;
    QVector<bool> m_repeated;
};

} // namespace entries
