// Fiscal receipts (54-ФЗ) as the receipt-check apps export them, and the QR text of a
// paper receipt.
#include "importplan.h"
#include "readtext.h"

#include "ledger/error.h"
#include "ledger/regional.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUrlQuery>

#include <cmath>

namespace imports {

using namespace detail;
using ledger::Money;

namespace {

const QString kRefundType = QStringLiteral("Возврат покупки");
const QString kQrTitle = QStringLiteral("Покупка по чеку");

// A receipt that cannot be taken, with the reason.
struct Refused
{
    QString reason;
};

bool looksLikeReceipt(const QJsonObject &object)
{
    return object.contains(QLatin1String("items")) || object.contains(QLatin1String("totalSum"));
}

// The receipt inside one element of the file: at the top, under document.receipt,
// ticket.document.receipt or data.json, with bso for receipt in older files.
std::optional<QJsonObject> receiptIn(const QJsonObject &element, int depth = 0)
{
    if (looksLikeReceipt(element))
        return element;
    if (depth > 4)
        return std::nullopt;
    for (const char *path : {"receipt", "bso", "document", "ticket", "data", "json"}) {
        const QJsonValue inner = element.value(QLatin1String(path));
        if (inner.isObject()) {
            if (auto found = receiptIn(inner.toObject(), depth + 1))
                return found;
        }
    }
    return std::nullopt;
}

// A whole number from JSON: an integer, or digits in a text.
std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double x = value.toDouble();
        // Doubles hold every whole number exactly up to 2^53.
        if (std::floor(x) != x || std::fabs(x) > 9007199254740992.0)
            return std::nullopt;
        return qint64(x);
    }
    if (value.isString()) {
        bool ok = false;
        const qint64 n = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return n;
    }
    return std::nullopt;
}

Money kopecksOf(const QJsonObject &object, const char *field, const QString &what)
{
    const QJsonValue value = object.value(QLatin1String(field));
    if (value.isUndefined() || value.isNull())
        throw Refused{QStringLiteral("нет поля %1 (%2)").arg(QLatin1String(field), what)};
    const auto kopecks = wholeNumber(value);
    if (!kopecks)
        throw Refused{QStringLiteral("%1 — не целое число копеек или вне допустимого диапазона").arg(what)};
    const auto money = fromKopecks(*kopecks);
    if (!money)
        throw Refused{QStringLiteral("%1 вне допустимого диапазона сумм").arg(what)};
    if (*money < Money())
        throw Refused{QStringLiteral("%1 отрицательна: %2").arg(what, shownAmount(*money))};
    return *money;
}

// A fiscal number as text: digits without padding or leading zeros; nothing for anything
// else, which no fiscal drive writes.
QString fiscalDigits(QString text)
{
    text = text.trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,20}$"));
    if (!digits.match(text).hasMatch())
        return {};
    while (text.size() > 1 && text.startsWith(QLatin1Char('0')))
        text.remove(0, 1);
    return text;
}

QString fiscalNumber(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double x = value.toDouble();
        return x >= 0 && x < 1e18 && std::floor(x) == x ? QString::number(qint64(x)) : QString();
    }
    return fiscalDigits(value.toString());
}

QString receiptKey(const QString &drive, const QString &document, const QString &sign)
{
    return QStringLiteral("чек ФН %1 ФД %2 ФП %3").arg(drive, document, sign);
}

QDateTime momentOf(const QJsonValue &value)
{
    if (value.isDouble()) {
        const auto seconds = wholeNumber(value);
        // Beyond a few thousand years QDateTime has no date for it.
        if (!seconds || *seconds < 0 || *seconds > 253402300799LL)
            throw Refused{QStringLiteral("невозможная дата")};
        return QDateTime::fromSecsSinceEpoch(*seconds).toLocalTime();
    }
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        throw Refused{QStringLiteral("нет даты чека (dateTime)")};
    QDateTime moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!moment.isValid())
        moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm"));
    if (!moment.isValid() || !isPlausible(moment.date()))
        throw Refused{QStringLiteral("невозможная дата «%1»").arg(text.left(40))};
    return moment;
}

QString fiscalText(const QJsonObject &receipt, const char *field)
{
    return cleanText(receipt.value(QLatin1String(field)).toString());
}

Candidate receiptCandidate(const QJsonObject &receipt, const QString &origin)
{
    Candidate candidate;
    candidate.origin = origin;
    candidate.moment = momentOf(receipt.value(QLatin1String("dateTime")));
    candidate.amount = kopecksOf(receipt, "totalSum", QStringLiteral("сумма чека"));

    const int type = receipt.value(QLatin1String("operationType")).toInt(1);
    if (type != 1 && type != 2)
        throw Refused{QStringLiteral("чек не покупки и не возврата покупки (тип операции %1)").arg(type)};

    QString seller = fiscalText(receipt, "user");
    if (seller.isEmpty())
        seller = fiscalText(receipt, "retailPlace");
    candidate.title = seller.isEmpty() ? kQrTitle : seller;

    const QString drive = fiscalNumber(receipt.value(QLatin1String("fiscalDriveNumber")));
    const QString number = fiscalNumber(receipt.value(QLatin1String("fiscalDocumentNumber")));
    const QString sign = fiscalNumber(receipt.value(QLatin1String("fiscalSign")));
    if (drive.isEmpty() || number.isEmpty() || sign.isEmpty())
        throw Refused{QStringLiteral("нет фискальных признаков чека (fiscalDriveNumber, fiscalDocumentNumber, fiscalSign)")};
    candidate.key = receiptKey(drive, number, sign);
    const QString document = fitted(QStringLiteral("ФД ") + number, "Rashod", "doc", candidate.warnings);

    const QJsonArray items = receipt.value(QLatin1String("items")).toArray();
    Money itemsTotal;
    int index = 0;
    for (const QJsonValue &value : items) {
        ++index;
        const QJsonObject item = value.toObject();
        const QString where = QStringLiteral("позиция %1").arg(index);
        ledger::ExpenseLine line;
        QString name = cleanText(item.value(QLatin1String("name")).toString());
        if (name.isEmpty())
            name = QStringLiteral("Позиция %1").arg(index);
        line.name = fitted(name, "Rashod", "names", candidate.warnings);
        line.price = kopecksOf(item, "price", where + QStringLiteral(": цена"));
        const QJsonValue quantity = item.value(QLatin1String("quantity"));
        if (!quantity.isDouble() || !(quantity.toDouble() > 0) || quantity.toDouble() > 1e12)
            throw Refused{QStringLiteral("%1: количество не положительное число").arg(where)};
        line.counts = Money::fromDouble(quantity.toDouble());
        if (line.counts.isZero())
            throw Refused{QStringLiteral("%1: количество меньше 0,0001").arg(where)};
        line.document = document;
        line.date = candidate.moment.date();
        Money amount;
        try {
            amount = line.amount();
        } catch (const ledger::ArithmeticError &) {
            throw Refused{QStringLiteral("%1: цена × количество вне допустимого диапазона сумм").arg(where)};
        }
        if (item.contains(QLatin1String("sum"))) {
            const Money sum = kopecksOf(item, "sum", where + QStringLiteral(": сумма"));
            if (amount.rounded(2) != sum)
                candidate.warnings << QStringLiteral("«%1»: сумма %2 не равна цене × количество (%3 × %4 = %5)")
                                          .arg(line.name.left(60), shownAmount(sum), shownAmount(line.price),
                                               regional::moneyText(line.counts), regional::moneyText(amount));
            itemsTotal = itemsTotal + sum;
        } else {
            itemsTotal = itemsTotal + amount.rounded(2);
        }
        candidate.lines << line;
    }
    if (candidate.lines.isEmpty())
        throw Refused{QStringLiteral("в чеке нет позиций (items)")};
    if (itemsTotal != candidate.amount)
        candidate.warnings << QStringLiteral("Позиции дают %1, а итог чека %2")
                                  .arg(shownAmount(itemsTotal), shownAmount(candidate.amount));

    if (type == 2) {
        candidate.refund = true;
        candidate.ticked = false;
        candidate.direction = Direction::Income;
        candidate.incomeType = kRefundType;
        candidate.comment = fitted(QStringLiteral("%1, ФД %2").arg(candidate.title, number), "List", "comments",
                                   candidate.warnings);
        candidate.warnings << QStringLiteral("Чек возврата: записывается как доход «%1»").arg(kRefundType);
    }
    return candidate;
}

} // namespace

ReadResult readReceipts(const QByteArray &json, const QString &fileName)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        refuseFile(fileName, QStringLiteral("это не файл JSON или он повреждён (%1, символ %2)")
                                 .arg(error.errorString())
                                 .arg(error.offset));
    QJsonArray elements;
    if (document.isArray())
        elements = document.array();
    else
        elements.append(document.object());

    ReadResult result;
    int index = 0;
    int receipts = 0;
    for (const QJsonValue &element : elements) {
        ++index;
        const QString origin = QStringLiteral("%1, чек %2").arg(fileName).arg(index);
        const auto receipt = receiptIn(element.toObject());
        if (!receipt) {
            result.rejected << Rejected{origin, QStringLiteral("не чек: нет ни позиций, ни итога")};
            continue;
        }
        ++receipts;
        try {
            result.candidates << receiptCandidate(*receipt, origin);
        } catch (const Refused &refused) {
            result.rejected << Rejected{origin, refused.reason};
        }
    }
    if (receipts == 0 && !elements.isEmpty())
        refuseFile(fileName, QStringLiteral("в нём нет ни одного чека"));
    return result;
}

ReadResult readReceiptQr(const QString &qrText)
{
    ReadResult result;
    const QString origin = QStringLiteral("QR-код чека");
    const QUrlQuery query(qrText.trimmed());
    const auto field = [&](const char *name) { return query.queryItemValue(QLatin1String(name)).trimmed(); };
    try {
        Candidate candidate;
        candidate.origin = origin;
        const QString t = field("t");
        QDateTime moment = QDateTime::fromString(t, QStringLiteral("yyyyMMddTHHmmss"));
        if (!moment.isValid())
            moment = QDateTime::fromString(t, QStringLiteral("yyyyMMddTHHmm"));
        if (!moment.isValid() || !isPlausible(moment.date()))
            throw Refused{t.isEmpty() ? QStringLiteral("нет даты (t=)") : QStringLiteral("невозможная дата «%1»").arg(t.left(20))};
        candidate.moment = moment;
        const QString s = field("s");
        const auto sum = parseDecimal(s);
        if (s.isEmpty() || !sum)
            throw Refused{QStringLiteral("сумма «%1» не число или вне допустимого диапазона").arg(s.left(30))};
        if (*sum <= Money())
            throw Refused{QStringLiteral("сумма не положительна: %1").arg(s.left(30))};
        candidate.amount = *sum;
        const QString n = field("n");
        if (!n.isEmpty() && n != QLatin1String("1") && n != QLatin1String("2"))
            throw Refused{QStringLiteral("чек не покупки и не возврата покупки (n=%1)").arg(n.left(10))};
        const QString drive = fiscalDigits(field("fn")), number = fiscalDigits(field("i")),
                      sign = fiscalDigits(field("fp"));
        if (drive.isEmpty() || number.isEmpty() || sign.isEmpty())
            throw Refused{QStringLiteral("нет фискальных признаков (fn, i, fp)")};
        candidate.key = receiptKey(drive, number, sign);
        candidate.title = kQrTitle;
        ledger::ExpenseLine line;
        line.name = kQrTitle;
        line.price = candidate.amount;
        line.counts = Money::fromUnits(1);
        line.document = fitted(QStringLiteral("ФД ") + number, "Rashod", "doc", candidate.warnings);
        line.date = moment.date();
        candidate.lines << line;
        if (n == QLatin1String("2")) {
            candidate.refund = true;
            candidate.ticked = false;
            candidate.direction = Direction::Income;
            candidate.incomeType = kRefundType;
            candidate.comment = QStringLiteral("ФД %1").arg(number);
            candidate.warnings << QStringLiteral("Чек возврата: записывается как доход «%1»").arg(kRefundType);
        }
        result.candidates << candidate;
    } catch (const Refused &refused) {
        result.rejected << Rejected{origin, refused.reason};
    }
    return result;
}

} // namespace imports
