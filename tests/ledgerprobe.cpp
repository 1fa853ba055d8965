// Tries to open a ledger in a process of its own (so that the test can run it as another
// user or while a second process holds the file) and says how it went:
//   opened
//   refused <reason number> <message>
#include "ledger/database.h"
#include "ledger/error.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2)
        return 2;
    try {
        ledger::Connection::open(QString::fromLocal8Bit(argv[1]));
        std::printf("opened\n");
    } catch (const ledger::ConnectionError &e) {
        std::printf("refused %d %s\n", int(e.reason()), e.text().toUtf8().constData());
    }
    return 0;
}
