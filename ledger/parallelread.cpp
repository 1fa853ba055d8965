#include "parallelread.h"

#include "engine.h"
#include "error.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

namespace ledger {

namespace {

using Engine = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

Engine openReader(const QString &path)
{
    sqlite3 *db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Engine engine(db, sqlite3_close);
    if (rc != SQLITE_OK)
        return Engine(nullptr, sqlite3_close);
    // A writer elsewhere holds the file only for the moment of its commit.
    sqlite3_busy_timeout(db, 3000);
    return engine;
}

void readOneAfterAnother(const Connection &connection, const QVector<Query> &queries,
                         const std::function<void(int, const StoredRow &)> &visit)
{
    for (int q = 0; q < queries.size(); ++q) {
        connection.forEachRow(queries[q].sql, queries[q].params, [&](const StoredRow &row) {
            visit(q, row);
            return true;
        });
    }
}

} // namespace

void forEachRowInParallel(const Connection &connection, const QVector<Query> &queries,
                          const std::function<void(int query, const StoredRow &row)> &visit)
{
    const int threads =
        std::min<int>(int(queries.size()), std::clamp<int>(int(std::thread::hardware_concurrency()), 1, 4));
    if (threads < 2 || sqlite3_get_autocommit(connection.engine()) == 0) {
        readOneAfterAnother(connection, queries, visit);
        return;
    }
    std::vector<Engine> readers;
    for (int t = 0; t < threads; ++t) {
        Engine reader = openReader(connection.path());
        if (!reader) {
            readOneAfterAnother(connection, queries, visit);
            return;
        }
        readers.push_back(std::move(reader));
    }

    // Thread t reads query t first; then each takes the next query not yet taken, so that
    // parts of unequal size even out.
    std::atomic<int> next{threads};
    std::atomic<bool> failed{false};
    std::vector<std::exception_ptr> failures(static_cast<size_t>(threads));
    const auto work = [&](int t) {
        try {
            for (int q = t; q < queries.size() && !failed; q = next++) {
                forEachRowOn(readers[size_t(t)].get(), queries[q].sql, queries[q].params, [&](const StoredRow &row) {
                    visit(q, row);
                    return !failed.load(std::memory_order_relaxed);
                });
            }
        } catch (...) {
            failures[size_t(t)] = std::current_exception();
            failed = true;
        }
    };
    std::vector<std::thread> running;
    for (int t = 1; t < threads; ++t)
        running.emplace_back(work, t);
    work(0);
    for (std::thread &thread : running)
        thread.join();
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

} // namespace ledger
