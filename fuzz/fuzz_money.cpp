// The money and date readers over arbitrary text: no crash, and whatever is read writes back
// to a text that reads as the same value.
#include "ledger/error.h"
#include "ledger/money.h"
#include "ledger/regional.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (auto money = regional::tryParseMoney(text)) {
        const QString written = regional::moneyText(*money);
        auto back = regional::tryParseMoney(written);
        if (!back || *back != *money)
            std::abort();
        // The other text forms must not fail on any value.
        regional::amountText(*money);
        regional::rateText(*money);
        regional::groupedText(*money);
        if (regional::sqlNumber(*money).contains(QLatin1Char(',')))
            std::abort();
    } else {
        try {
            regional::parseMoney(text);
            std::abort(); // tryParseMoney refused it; parseMoney must too
        } catch (const ledger::ConversionError &e) {
            if (e.text() != regional::invalidNumberMessage(text))
                std::abort();
        }
    }
    if (auto date = regional::tryParseShortDate(text)) {
        if (!date->isValid() || regional::parseShortDate(regional::shortDate(*date)) != *date)
            std::abort();
    }
    return 0;
}
