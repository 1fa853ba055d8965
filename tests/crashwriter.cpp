// Records expense batches and incomes into a ledger through the program's write path, as
// fast as it can, until it is killed. After each commit it prints what it committed:
//   B <journal id> <lines> <total in ten-thousandths>
//   I <journal id> <sum in ten-thousandths>
// Every line of a batch carries the batch's line count as its document, so that a checker can
// tell a whole batch from a part of one.
//
//   crashwriter <ledger> <seed> <stop at>
// With a stop at N > 0 the writer halts in the middle of its N-th write to a file of the
// ledger (the ledger itself or its rollback journal), before that write reaches the file, and
// says so on a line of its own:
//   W <db|journal> <N>
// and then waits to be killed. The engine's file layer is wrapped for that (a VFS shim made
// the default), so that the test kills it at a moment it knows lies inside a write.
#include "ledger/bookkeeping.h"
#include "ledger/database.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>

namespace {

sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_shim;
long g_stopAt = 0;
long g_writes = 0;

// A file of the shim: the engine's own file follows it in the same allocation.
struct ShimFile
{
    sqlite3_file base;
    sqlite3_file *real;
    const char *kind;
};

sqlite3_file *real(sqlite3_file *file)
{
    return reinterpret_cast<ShimFile *>(file)->real;
}

int shimWrite(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    if (g_stopAt > 0 && ++g_writes == g_stopAt) {
        std::printf("W %s %ld\n", reinterpret_cast<ShimFile *>(file)->kind, g_writes);
        std::fflush(stdout);
        for (;;)
            pause();
    }
    return real(file)->pMethods->xWrite(real(file), data, amount, offset);
}

int shimClose(sqlite3_file *file)
{
    return real(file)->pMethods->xClose(real(file));
}
int shimRead(sqlite3_file *file, void *data, int amount, sqlite3_int64 offset)
{
    return real(file)->pMethods->xRead(real(file), data, amount, offset);
}
int shimTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    return real(file)->pMethods->xTruncate(real(file), size);
}
int shimSync(sqlite3_file *file, int flags)
{
    return real(file)->pMethods->xSync(real(file), flags);
}
int shimFileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    return real(file)->pMethods->xFileSize(real(file), size);
}
int shimLock(sqlite3_file *file, int level)
{
    return real(file)->pMethods->xLock(real(file), level);
}
int shimUnlock(sqlite3_file *file, int level)
{
    return real(file)->pMethods->xUnlock(real(file), level);
}
int shimCheckReservedLock(sqlite3_file *file, int *out)
{
    return real(file)->pMethods->xCheckReservedLock(real(file), out);
}
int shimFileControl(sqlite3_file *file, int op, void *arg)
{
    return real(file)->pMethods->xFileControl(real(file), op, arg);
}
int shimSectorSize(sqlite3_file *file)
{
    return real(file)->pMethods->xSectorSize(real(file));
}
int shimDeviceCharacteristics(sqlite3_file *file)
{
    return real(file)->pMethods->xDeviceCharacteristics(real(file));
}

// Version 1 of the file methods: the ledger runs with a rollback journal, never shared memory
// or memory mapping, and the engine falls back to plain reads and writes without them.
const sqlite3_io_methods g_methods = {
    1, shimClose, shimRead, shimWrite, shimTruncate, shimSync, shimFileSize, shimLock, shimUnlock,
    shimCheckReservedLock, shimFileControl, shimSectorSize, shimDeviceCharacteristics,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

int shimOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *shim = reinterpret_cast<ShimFile *>(file);
    shim->real = reinterpret_cast<sqlite3_file *>(shim + 1);
    shim->kind = (flags & SQLITE_OPEN_MAIN_DB) ? "db" : (flags & SQLITE_OPEN_MAIN_JOURNAL) ? "journal" : "other";
    const int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
    file->pMethods = shim->real->pMethods ? &g_methods : nullptr;
    return rc;
}

void installShim()
{
    g_real = sqlite3_vfs_find(nullptr);
    g_shim = *g_real;
    g_shim.iVersion = 1; // no system-call overrides through the shim
    g_shim.zName = "crashwriter";
    g_shim.szOsFile = int(sizeof(ShimFile)) + g_real->szOsFile;
    g_shim.xOpen = shimOpen;
    g_shim.pAppData = nullptr;
    // The other calls of the VFS (delete, access, full path, randomness, time) take the
    // real VFS as their first argument: forward each with it.
    if (g_real->xDelete)
        g_shim.xDelete = [](sqlite3_vfs *, const char *name, int syncDir) { return g_real->xDelete(g_real, name, syncDir); };
    if (g_real->xAccess)
        g_shim.xAccess = [](sqlite3_vfs *, const char *name, int flags, int *out) {
            return g_real->xAccess(g_real, name, flags, out);
        };
    if (g_real->xFullPathname)
        g_shim.xFullPathname = [](sqlite3_vfs *, const char *name, int size, char *out) {
            return g_real->xFullPathname(g_real, name, size, out);
        };
    if (g_real->xDlOpen)
        g_shim.xDlOpen = [](sqlite3_vfs *, const char *name) { return g_real->xDlOpen(g_real, name); };
    if (g_real->xDlError)
        g_shim.xDlError = [](sqlite3_vfs *, int size, char *out) { g_real->xDlError(g_real, size, out); };
    if (g_real->xDlSym)
        g_shim.xDlSym = [](sqlite3_vfs *, void *handle, const char *symbol) { return g_real->xDlSym(g_real, handle, symbol); };
    if (g_real->xDlClose)
        g_shim.xDlClose = [](sqlite3_vfs *, void *handle) { g_real->xDlClose(g_real, handle); };
    if (g_real->xRandomness)
        g_shim.xRandomness = [](sqlite3_vfs *, int size, char *out) { return g_real->xRandomness(g_real, size, out); };
    if (g_real->xSleep)
        g_shim.xSleep = [](sqlite3_vfs *, int microseconds) { return g_real->xSleep(g_real, microseconds); };
    if (g_real->xCurrentTime)
        g_shim.xCurrentTime = [](sqlite3_vfs *, double *out) { return g_real->xCurrentTime(g_real, out); };
    if (g_real->xGetLastError)
        g_shim.xGetLastError = [](sqlite3_vfs *, int size, char *out) { return g_real->xGetLastError(g_real, size, out); };
    sqlite3_vfs_register(&g_shim, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: crashwriter <ledger> <seed> [<stop at>]\n");
        return 2;
    }
    if (argc > 3)
        g_stopAt = QByteArray(argv[3]).toLong();
    if (g_stopAt > 0)
        installShim();
    auto connection = ledger::Connection::open(QString::fromLocal8Bit(argv[1]));
    QRandomGenerator random(quint32(QByteArray(argv[2]).toUInt()));
    for (;;) {
        if (random.bounded(4) == 0) {
            const ledger::Money sum = ledger::Money::fromTicks(random.bounded(1, 10000000));
            const qint64 id = ledger::recordIncome(*connection, QStringLiteral("Зарплата"), sum, QStringLiteral("ok"), false);
            std::printf("I %lld %lld\n", static_cast<long long>(id), static_cast<long long>(sum.ticks()));
        } else {
            const int count = random.bounded(1, 7);
            QVector<ledger::ExpenseLine> lines;
            for (int i = 0; i < count; ++i) {
                lines.append({QStringLiteral("товар %1").arg(i), ledger::Money::fromTicks(random.bounded(1, 5000000)),
                              ledger::Money::fromTicks(random.bounded(1, 50000)), QString::number(count),
                              QDate::currentDate().addDays(-random.bounded(400))});
            }
            const qint64 id = ledger::recordExpenseBatch(*connection, lines);
            std::printf("B %lld %d %lld\n", static_cast<long long>(id), count,
                        static_cast<long long>(ledger::batchTotal(lines).ticks()));
        }
        std::fflush(stdout);
    }
}
