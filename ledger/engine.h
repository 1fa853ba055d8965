#pragma once

#include "database.h"

// What the store's readers share below Connection: stepping a statement on a raw engine
// handle, so that a reader with a connection of its own reads rows the same way.
namespace ledger {

// Prepares `sql` on `db`, binds `params` as Connection::run does, and hands each row to
// `visit` until it returns false. Raises DatabaseError with the engine's message.
void forEachRowOn(sqlite3 *db, const QString &sql, const QVariantList &params,
                  const std::function<bool(const StoredRow &)> &visit);

} // namespace ledger
