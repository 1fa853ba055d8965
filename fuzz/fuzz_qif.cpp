// libFuzzer target: random bytes as the records of a QIF statement; the first byte picks the
// account type and the order of ambiguous dates.
#include "importcheck.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char *types[] = {"!Type:Bank\n", "!Type:CCard\n", "!Type:Cash\n", ""};
    const QByteArray bytes = QByteArray(types[data[0] % 4])
                             + QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const auto order = imports::DateOrder((data[0] / 4) % 3);
    imports::statementDatesAmbiguous(bytes);
    fuzzcheck::readChecked([&] { return imports::readStatement(bytes, QStringLiteral("выписка.qif"), order); });
    return 0;
}
