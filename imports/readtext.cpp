#include "readtext.h"

#include "ledger/error.h"
#include "ledger/regional.h"
#include "ledger/schema.h"

#include <QHash>
#include <QStringDecoder>

namespace imports::detail {

namespace {

// 0x80..0xFF of windows-1251; 0x98 is unassigned.
constexpr char16_t kHigh[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

} // namespace

QString decodeWindows1251(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            *out++ = QChar(char16_t(byte));
        else if (byte < 0xC0)
            *out++ = QChar(kHigh[byte - 0x80]);
        else // А..я run in order
            *out++ = QChar(char16_t(0x0410 + byte - 0xC0));
    }
    return text;
}

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? decodeWindows1251(bytes) : text;
}

QString cleanText(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            clean.append(c).append(text.at(++i));
        } else if (c.isSurrogate()) {
            clean.append(QChar(QChar::ReplacementCharacter));
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            clean.append(QLatin1Char(' '));
        } else {
            clean.append(c);
        }
    }
    return clean.trimmed();
}

QString fitted(const QString &text, const char *table, const char *column, QStringList &warnings, int reserved)
{
    const QString tableName = QLatin1String(table);
    const QString columnName = QLatin1String(column);
    const int limit = ledger::schema::textLimit(tableName, columnName) - reserved;
    // Characters as the engine counts them: a surrogate pair is one.
    qsizetype characters = 0;
    qsizetype cut = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isLowSurrogate())
            continue;
        if (characters == limit - 1)
            cut = i;
        ++characters;
    }
    if (characters <= limit || limit < 1)
        return text;
    warnings << QStringLiteral("Текст поля «%1» обрезан до %2 символов: «%3…»")
                    .arg(ledger::schema::columnCaption(tableName, columnName))
                    .arg(limit)
                    .arg(text.left(qMin<qsizetype>(cut, 40)));
    return text.left(cut) + QChar(0x2026);
}

std::optional<ledger::Money> parseDecimal(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto skipSpaces = [&] {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QChar(0x00A0) || text[i] == QChar(0x202F)))
            ++i;
    };
    skipSpaces();
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+') || text[i] == QChar(0x2212))) {
        negative = text[i] != QLatin1Char('+');
        ++i;
    }
    skipSpaces();
    quint64 ticks = 0;
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max()) + 1; // |min|
    int digits = 0;
    int decimals = -1; // none seen before the separator
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 0x80) {
            if (decimals >= 4)
                return std::nullopt;
            if (ticks > (limit - 9) / 10)
                return std::nullopt;
            ticks = ticks * 10 + quint64(c.unicode() - '0');
            ++digits;
            if (decimals >= 0)
                ++decimals;
        } else if ((c == QLatin1Char(',') || c == QLatin1Char('.')) && decimals < 0) {
            decimals = 0;
        } else if ((c == QLatin1Char(' ') || c == QChar(0x00A0) || c == QChar(0x202F)) && decimals < 0 && digits > 0) {
            continue; // digit grouping
        } else {
            break;
        }
    }
    skipSpaces();
    if (i != n || digits == 0)
        return std::nullopt;
    for (int d = qMax(decimals, 0); d < 4; ++d) {
        if (ticks > limit / 10)
            return std::nullopt;
        ticks *= 10;
    }
    if (ticks > limit || (!negative && ticks == limit))
        return std::nullopt;
    return ledger::Money::fromTicks(negative ? qint64(0 - ticks) : qint64(ticks));
}

std::optional<ledger::Money> fromKopecks(qint64 kopecks)
{
    constexpr qint64 most = std::numeric_limits<qint64>::max() / 100;
    if (kopecks > most || kopecks < -most)
        return std::nullopt;
    return ledger::Money::fromTicks(kopecks * 100);
}

bool isPlausible(const QDate &date)
{
    return date.isValid() && date.year() >= 1900 && date.year() <= 9999;
}

void refuseFile(const QString &fileName, const QString &reason)
{
    throw ledger::ConversionError(QStringLiteral("Файл «%1» не удалось прочитать: %2").arg(fileName, reason));
}

QString keyAmount(ledger::Money amount)
{
    return QString::number(amount.ticks());
}

QString shownAmount(ledger::Money amount)
{
    return regional::amountText(amount);
}

Candidate candidateOf(const Operation &operation)
{
    Candidate candidate;
    candidate.moment = operation.moment;
    candidate.key = operation.key;
    candidate.origin = operation.origin;
    const QString description = cleanText(operation.description);
    candidate.title = description;
    candidate.comment = fitted(cleanText(operation.comment), "List", "comments", candidate.warnings);
    if (operation.amount < ledger::Money()) {
        candidate.direction = Direction::Expense;
        candidate.amount = ledger::Money() - operation.amount;
        ledger::ExpenseLine line;
        line.name = fitted(description.isEmpty() ? QStringLiteral("Операция по выписке") : description, "Rashod",
                           "names", candidate.warnings);
        line.price = candidate.amount;
        line.counts = ledger::Money::fromUnits(1);
        line.date = operation.moment.date();
        candidate.lines << line;
    } else {
        candidate.direction = Direction::Income;
        candidate.amount = operation.amount;
        QString type = cleanText(operation.incomeType);
        if (type.isEmpty())
            type = description.isEmpty() ? QStringLiteral("Поступление по выписке") : description;
        // The journal row is named "Доход - <type>", and its column is the shorter one.
        candidate.incomeType =
            fitted(type, "List", "names", candidate.warnings, int(ledger::kIncomePrefix.size()));
    }
    return candidate;
}

QString RowKeys::next(const QString &rowKey)
{
    const int seen = m_seen[rowKey]++;
    return seen == 0 ? rowKey : rowKey + QStringLiteral("#%1").arg(seen + 1);
}

} // namespace imports::detail
