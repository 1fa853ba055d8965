// libFuzzer target: random bytes as a receipt file (JSON) and as a receipt's QR text.
#include "importcheck.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    fuzzcheck::readChecked([&] { return imports::readReceipts(bytes, QStringLiteral("чеки.json")); });
    fuzzcheck::readChecked([&] { return imports::readReceiptQr(QString::fromUtf8(bytes)); });
    return 0;
}
