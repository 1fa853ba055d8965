// Tries to open a ledger in a process of its own (so that the test can run it without the
// superuser's powers or while a second process holds the file) and says how it went:
//   opened
//   refused <reason number> <message>
//   ledgerprobe --owner-only <ledger>   first gives up the two powers that let the superuser
//                                       read and write any file whatever its permissions
#include "ledger/database.h"
#include "ledger/error.h"

#include <QCoreApplication>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// Drops CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH from every capability set of this process.
// A process may always give a capability up, so this needs no other power. The process keeps
// its user (and so its way through its own folders to the file): only the file's own
// permissions then decide, as for any other user.
bool giveUpFileOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
        const __u32 bit = 1u << (capability % 32);
        auto &set = data[capability / 32];
        set.effective &= ~bit;
        set.permitted &= ~bit;
        set.inheritable &= ~bit;
    }
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--owner-only") == 0) {
        if (!giveUpFileOverride()) {
            std::printf("could not give up the file override\n");
            return 3;
        }
        ++first;
    }
    if (argc <= first)
        return 2;
    try {
        ledger::Connection::open(QString::fromLocal8Bit(argv[first]));
        std::printf("opened\n");
    } catch (const ledger::ConnectionError &e) {
        std::printf("refused %d %s\n", int(e.reason()), e.text().toUtf8().constData());
    }
    return 0;
}
