// libFuzzer target: random bytes as the bank's page, through the decoders and the rate cut,
// and as the bank's XML service.
// Besides the sanitizers' findings it checks what the cut and the decoders promise.
#include "rates/page.h"
#include "rates/xmldaily.h"

#include "ledger/error.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void cutEverything(const QString &page)
{
    for (const QString &marker : {rates::kDollarMarker, rates::kEuroMarker, rates::kPoundMarker}) {
        const QString text = rates::cutRateText(page, marker);
        require(text.isEmpty() || page.contains(text));
        require(!text.contains(QLatin1Char('<')));
        try {
            rates::cutRate(page, marker);
        } catch (const ledger::ConversionError &e) {
            require(e.text() == QStringLiteral("'%1' is not a valid floating point value").arg(text));
        }
    }
    try {
        rates::cutRates(page);
    } catch (const ledger::ConversionError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString utf8 = rates::decodeUtf8(bytes);
    // What comes out is proper text: well-formed UTF-16 that reads back unchanged.
    require(utf8.isValidUtf16());
    require(rates::decodeUtf8(utf8.toUtf8()) == utf8);
    require(utf8.size() <= bytes.size());

    const QString cp1251 = rates::decodeWindows1251(bytes);
    require(cp1251.size() == bytes.size());

    // The first line stands in for the Content-Type, the rest for the body.
    const qsizetype newline = bytes.indexOf('\n');
    const QString contentType = QString::fromLatin1(newline < 0 ? QByteArray() : bytes.left(newline));
    const QString page = rates::decodePage(bytes.mid(newline + 1), contentType);

    cutEverything(utf8);
    cutEverything(cp1251);
    cutEverything(page);

    // Rates from the XML service are all three, and each one a rate can be.
    if (const auto xml = rates::readDailyXml(bytes.mid(newline + 1), contentType))
        require(rates::isPlausible(*xml));
    return 0;
}
