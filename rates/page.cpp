#include "page.h"

#include "ledger/regional.h"

#include <QRegularExpression>
#include <QStringList>

namespace rates {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendCodePoint(QString &text, char32_t cp)
{
    if (cp < 0x10000) {
        text.append(QChar(char16_t(cp)));
    } else {
        text.append(QChar::highSurrogate(cp));
        text.append(QChar::lowSurrogate(cp));
    }
}

int sequenceLength(unsigned char lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    if (lead < 0xFC)
        return 5;
    return 6;
}

// A complete multi-byte sequence of 2 to 6 bytes, as its code point or U+FFFD.
char32_t decodeSequence(const unsigned char *s, int length)
{
    if (length > 4)
        return kReplacement; // 5- and 6-byte forms were never valid Unicode text
    static constexpr unsigned char leadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    char32_t cp = s[0] & leadMask[length];
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return kReplacement;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < smallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kReplacement;
    return cp;
}

// 0x80..0xFF of Windows-1251.
constexpr char16_t kWindows1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8
};

} // namespace

QString decodeUtf8(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            text.append(QChar(char16_t(lead)));
            ++i;
        } else if (lead < 0xC0) {
            text.append(QChar(char16_t(kReplacement)));
            ++i;
        } else {
            const int length = sequenceLength(lead);
            if (size - i < length)
                break; // cut off by the end of the page
            appendCodePoint(text, decodeSequence(data + i, length));
            i += length;
        }
    }
    return text;
}

QString decodeWindows1251(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(QChar(byte < 0x80 ? char16_t(byte) : kWindows1251High[byte - 0x80]));
    }
    return text;
}

bool namesWindows1251(const QString &contentType)
{
    static const QRegularExpression charset(QStringLiteral("(?:^|;)\\s*charset\\s*=\\s*\"?\\s*([^\";\\s]*)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = charset.match(contentType);
    if (!match.hasMatch())
        return false;
    const QString name = match.captured(1).toLower();
    return name == QLatin1String("windows-1251") || name == QLatin1String("cp1251")
           || name == QLatin1String("x-cp1251");
}

QString decodePage(const QByteArray &body, const QString &contentType)
{
    return namesWindows1251(contentType) ? decodeWindows1251(body) : decodeUtf8(body);
}

QString cutRateText(const QString &page, const QString &marker)
{
    const qsizetype at = page.indexOf(marker);
    if (at < 0)
        return QString();
    QStringView kept = QStringView(page).mid(at + marker.size());
    for (const QLatin1String rowEdge : {QLatin1String("</tr"), QLatin1String("<tr")}) {
        if (const qsizetype edge = kept.indexOf(rowEdge, 0, Qt::CaseInsensitive); edge >= 0)
            kept = kept.left(edge + 1); // its "<" may end the rate
    }
    const qsizetype pair = kept.indexOf(QLatin1String("\">"));
    if (pair < 0)
        return QString();
    kept = kept.mid(pair);
    // The rate stands after the two characters of the pair; a "<" among the first three
    // characters, or none at all, leaves nothing between.
    const qsizetype end = kept.indexOf(QLatin1Char('<'));
    if (end < 3)
        return QString();
    return kept.mid(2, end - 2).toString();
}

Money cutRate(const QString &page, const QString &marker)
{
    return regional::parseMoney(cutRateText(page, marker));
}

bool isPlausible(const Rates &rates)
{
    for (const Money rate : {rates.dollar, rates.euro, rates.pound}) {
        if (rate < kLowestRate || rate > kHighestRate)
            return false;
    }
    return true;
}

Rates cutRates(const QString &page)
{
    Rates rates;
    rates.dollar = cutRate(page, kDollarMarker);
    rates.euro = cutRate(page, kEuroMarker);
    rates.pound = cutRate(page, kPoundMarker);
    return rates;
}

} // namespace rates
