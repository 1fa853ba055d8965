#pragma once

#include "database.h"

#include <QString>
#include <QVariantList>
#include <QVector>

#include <functional>

namespace ledger {

struct Query
{
    QString sql;
    QVariantList params;
};

// Reads several queries of one ledger at once, for a read of millions of rows that one
// processor would take too long over. Each query's rows reach `visit(query, row)` in that
// query's own order; the queries are spread over a few threads, each reading the file through
// a read-only connection of its own, so `visit` is called from several threads at once, though
// never for one query from two. Where the file cannot be read apart from `connection` (it has
// a transaction open, whose writes other connections do not see, or a second connection
// cannot be opened), the queries run one after another on `connection`, with the same rows.
// The first failure is raised once every thread has stopped.
void forEachRowInParallel(const Connection &connection, const QVector<Query> &queries,
                          const std::function<void(int query, const StoredRow &row)> &visit);

} // namespace ledger
