#include "regional.h"

#include "error.h"
#include "uint128.h"

#include <QRegularExpression>

namespace regional {

namespace {

// Integer part and four-digit fraction of a tick count, sign apart.
struct Parts
{
    bool negative;
    quint64 whole;
    quint64 fraction; // ten-thousandths, 0..9999
};

// A sign and a magnitude in ticks, split. Rounding the largest amounts may step just past the
// 64-bit range, and writing a value must never fail, so the magnitude has 128 bits.
Parts split(bool negative, ledger::UInt128 magnitude)
{
    quint64 fraction = 0;
    const ledger::UInt128 whole = magnitude.dividedBy(quint64(Money::Scale), fraction);
    return {negative && magnitude != ledger::UInt128(), whole.low, fraction};
}

Parts split(Money value)
{
    return split(value.ticks() < 0, ledger::magnitude(value.ticks()));
}

// The value split after rounding to `decimals` places, ties to even.
Parts roundedParts(Money value, int decimals)
{
    quint32 unit = 1;
    for (int i = decimals; i < 4; ++i)
        unit *= 10;
    const ledger::UInt128 units = ledger::UInt128(ledger::magnitude(value.ticks())).dividedRoundingHalfEven(unit);
    return split(value.ticks() < 0, units.times(unit));
}

QString fixed(Money value, int decimals, QChar separator)
{
    const Parts p = roundedParts(value, decimals);
    QString text = p.negative ? QStringLiteral("-") : QString();
    text += QString::number(p.whole);
    if (decimals > 0) {
        text += separator;
        text += QStringLiteral("%1").arg(p.fraction, 4, 10, QLatin1Char('0')).left(decimals);
    }
    return text;
}

QString general(Money value, QChar separator)
{
    const Parts p = split(value);
    QString text = p.negative ? QStringLiteral("-") : QString();
    text += QString::number(p.whole);
    if (p.fraction != 0) {
        QString digits = QStringLiteral("%1").arg(p.fraction, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += separator + digits;
    }
    return text;
}

} // namespace

QString moneyText(Money value)
{
    return general(value, kDecimalSeparator);
}

QString amountText(Money value)
{
    return fixed(value, 2, kDecimalSeparator);
}

QString rateText(Money value)
{
    return fixed(value, 4, kDecimalSeparator);
}

QString groupedText(Money value)
{
    // Round to three places first, then write like the general form with groups of three.
    const Parts p = roundedParts(value, 3);
    const QString whole = QString::number(p.whole);
    QString grouped;
    for (int i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            grouped += kThousandsSeparator;
        grouped += whole.at(i);
    }
    QString text = p.negative ? QStringLiteral("-") : QString();
    text += grouped;
    if (p.fraction != 0) {
        QString digits = QStringLiteral("%1").arg(p.fraction, 4, 10, QLatin1Char('0')).left(3);
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += kDecimalSeparator + digits;
    }
    return text;
}

QString sqlNumber(Money value)
{
    return general(value, QLatin1Char('.'));
}

QString invalidNumberMessage(const QString &text)
{
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

std::optional<Money> tryParseMoney(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    auto isDigit = [&](int k) { return k < t.size() && t[k] >= QLatin1Char('0') && t[k] <= QLatin1Char('9'); };
    ledger::UInt128 ticks;
    int digitCount = 0;
    for (; isDigit(i); ++i, ++digitCount) {
        ticks = ticks.times(10).plus(quint64(t[i].unicode() - '0'));
        if (ticks.high != 0)
            return std::nullopt; // far beyond the range; stop before the 128 bits could overflow
    }
    ticks = ticks.times(quint32(Money::Scale));
    if (i < t.size() && t[i] == kDecimalSeparator) {
        ++i;
        quint32 unit = quint32(Money::Scale / 10);
        int firstDropped = -1; // the fifth decimal, which decides the rounding
        bool restNonZero = false;
        for (int place = 0; isDigit(i); ++i, ++place, ++digitCount) {
            const int d = t[i].unicode() - '0';
            if (place < 4) {
                ticks = ticks.plus(quint64(d) * unit);
                unit /= 10;
            } else if (place == 4) {
                firstDropped = d;
            } else if (d != 0) {
                restNonZero = true;
            }
        }
        if (firstDropped > 5 || (firstDropped == 5 && (restNonZero || (ticks.low & 1) != 0)))
            ticks = ticks.plus(1);
    }
    if (i != t.size() || digitCount == 0)
        return std::nullopt;
    if (const auto value = ledger::signedValue(negative, ticks))
        return Money::fromTicks(*value);
    return std::nullopt;
}

Money parseMoney(const QString &text)
{
    if (auto value = tryParseMoney(text))
        return *value;
    throw ledger::ConversionError(invalidNumberMessage(text));
}

QString shortDate(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

std::optional<QDate> tryParseShortDate(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4}|\\d{2})\\s*$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    int year = match.captured(3).toInt();
    if (match.captured(3).size() == 2)
        year += year < 50 ? 2000 : 1900; // the two-digit year window of the Russian settings
    const QDate date(year, match.captured(2).toInt(), match.captured(1).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QDate parseShortDate(const QString &text)
{
    if (auto date = tryParseShortDate(text))
        return *date;
    throw ledger::ConversionError(QStringLiteral("'%1' is not a valid date").arg(text));
}

QString longTime(const QTime &time)
{
    return time.toString(QStringLiteral("H:mm:ss"));
}

QString dateTimeText(const QDateTime &value)
{
    const QString date = shortDate(value.date());
    if (value.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + longTime(value.time());
}

} // namespace regional
