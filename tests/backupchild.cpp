// Writes the day's copy of a ledger and stops half-way for as long as it lives, so that the
// test can kill it at a known point of the copy. Prints "step <pages done> <pages>" after
// every step and "paused <pages done> <pages>" where it stops:
//   backupchild <ledger> <backups folder> 1|half|last
// "last" stops when every page is copied but the copy has not yet taken its name.
#include "ledger/backup.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: backupchild <ledger> <folder> 1|half|last\n");
        return 2;
    }
    const QByteArray pause(argv[3]);
    int calls = 0;
    ledger::backup::Folder folder(QString::fromLocal8Bit(argv[2]));
    folder.takeDaily(QString::fromLocal8Bit(argv[1]), [&](int done, int total) {
        ++calls;
        std::printf("step %d %d\n", done, total);
        const bool stop = (pause == "1" && calls == 1) || (pause == "half" && done * 2 >= total && done < total)
                          || (pause == "last" && done == total);
        if (stop) {
            std::printf("paused %d %d\n", done, total);
            std::fflush(stdout);
            // Waits for a line that never comes: the test kills us here.
            for (;;)
                std::getchar();
        }
        std::fflush(stdout);
        return true;
    });
    std::printf("done\n");
    return 0;
}
