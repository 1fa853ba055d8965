#include "xmldaily.h"

#include "ledger/uint128.h"

#include <QStringList>
#include <QXmlStreamReader>

#include <limits>

#include <map>

namespace rates {

namespace {

bool isWindows1251(QStringView name)
{
    return name.compare(QLatin1String("windows-1251"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("cp1251"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("x-cp1251"), Qt::CaseInsensitive) == 0;
}

// The encoding of the XML declaration, empty without one.
QString declaredEncoding(const QByteArray &body)
{
    QXmlStreamReader prolog(body);
    if (prolog.readNext() == QXmlStreamReader::StartDocument)
        return prolog.documentEncoding().toString();
    return QString();
}

struct Currency
{
    QString nominal;
    QString value;
};

// The children of one Valute; the reader stands on its start and ends on its end.
std::pair<QString, Currency> readValute(QXmlStreamReader &xml)
{
    QString code;
    Currency currency;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("CharCode"))
            code = xml.readElementText().trimmed();
        else if (name == QLatin1String("Nominal"))
            currency.nominal = xml.readElementText();
        else if (name == QLatin1String("Value"))
            currency.value = xml.readElementText();
        else
            xml.skipCurrentElement();
    }
    return {code, currency};
}

// Digits with at most one decimal comma, as an integer and its number of decimals.
std::optional<std::pair<ledger::UInt128, int>> readDecimal(const QString &text)
{
    const QString t = text.trimmed();
    ledger::UInt128 digits;
    int count = 0;
    int decimals = -1;
    for (const QChar c : t) {
        if (c == QLatin1Char(',') && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || ++count > 24)
            return std::nullopt;
        digits = digits.times(10).plus(quint64(c.unicode() - '0'));
        if (decimals >= 0)
            ++decimals;
    }
    if (count == 0 || decimals == 0)
        return std::nullopt;
    return std::pair{digits, qMax(decimals, 0)};
}

} // namespace

std::optional<Money> perUnit(const QString &value, const QString &nominal)
{
    const auto v = readDecimal(value);
    const auto n = readDecimal(nominal);
    const ledger::UInt128 zero;
    if (!v || !n || n->second != 0 || v->first == zero || n->first == zero || v->second > 12 || n->first.high != 0)
        return std::nullopt;
    quint64 scale = 1;
    for (int i = 0; i < v->second; ++i)
        scale *= 10;
    // value / 10^decimals / nominal in ten-thousandths, rounded once.
    const ledger::UInt128 divisor = ledger::UInt128::product(scale, n->first.low);
    if (divisor.high != 0)
        return std::nullopt;
    const ledger::UInt128 ticks = v->first.times(quint32(Money::Scale)).dividedRoundingHalfEven(divisor.low);
    const auto perUnitTicks = ledger::signedValue(false, ticks);
    if (!perUnitTicks || *perUnitTicks <= 0)
        return std::nullopt;
    return Money::fromTicks(*perUnitTicks);
}

std::optional<Rates> readDailyXml(const QByteArray &body, const QString &contentType)
{
    // Qt reads UTF-8 and UTF-16 itself, other sets only where its build has them: the
    // bank's own windows-1251 is decoded here, whatever Qt was built with.
    const QString declared = declaredEncoding(body);
    QXmlStreamReader xml;
    if (isWindows1251(declared) || (declared.isEmpty() && namesWindows1251(contentType)))
        xml.addData(decodeWindows1251(body)); // read as text, the declaration no longer counts
    else
        xml.addData(body);

    if (!xml.readNextStartElement() || xml.name() != QLatin1String("ValCurs"))
        return std::nullopt;
    std::map<QString, Currency> found;
    QStringList twice; // a currency named twice is taken from neither
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("Valute")) {
            xml.skipCurrentElement();
            continue;
        }
        auto [code, currency] = readValute(xml);
        if (found.count(code) != 0)
            twice << code;
        found[code] = currency;
    }
    // A document cut short or broken anywhere counts as none.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return std::nullopt;

    const auto rate = [&found, &twice](const char *code) -> std::optional<Money> {
        const auto at = found.find(QLatin1String(code));
        if (at == found.end() || twice.contains(QLatin1String(code)))
            return std::nullopt;
        return perUnit(at->second.value, at->second.nominal);
    };
    const auto dollar = rate("USD");
    const auto euro = rate("EUR");
    const auto pound = rate("GBP");
    if (!dollar || !euro || !pound || !isPlausible({*dollar, *euro, *pound}))
        return std::nullopt;
    return Rates{*dollar, *euro, *pound};
}

} // namespace rates
