// Bank statements: T-Bank, Sber and Alfa CSV, OFX 1.x (SGML) and 2.x (XML), QIF. The
// format is told from the content alone.
#include "importplan.h"
#include "readtext.h"

#include "ledger/error.h"
#include "ledger/regional.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTimeZone>

namespace imports {

using namespace detail;
using ledger::Money;

namespace {

struct Refused
{
    QString reason;
};

// ---- CSV ----

struct CsvRecord
{
    QStringList fields;
    int line = 0; // where the record starts, from 1
};

// Fields split by `;`, quoted ones with doubled quotes and line breaks inside.
QVector<CsvRecord> csvRecords(const QString &text)
{
    QVector<CsvRecord> records;
    CsvRecord record;
    QString field;
    bool quoted = false;
    bool any = false;
    int line = 1;
    record.line = 1;
    const auto endRecord = [&] {
        if (any || !field.isEmpty() || !record.fields.isEmpty()) {
            record.fields << field;
            records << record;
        }
        record = CsvRecord();
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field.append(c);
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                field.append(c);
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(';')) {
            record.fields << field;
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
            ++line;
            record.line = line;
        } else {
            field.append(c);
        }
    }
    endRecord();
    return records;
}

enum class CsvKind { TBank, Sber, Alfa };

struct CsvLayout
{
    CsvKind kind;
    QHash<QString, int> columns; // by header name
    int column(const char *name) const { return columns.value(QString::fromUtf8(name), -1); }
};

// The header's names, with the long Sber names ("Город совершения операции") cut to their
// first word pair's meaning.
std::optional<CsvLayout> layoutOf(const QStringList &header)
{
    CsvLayout layout;
    for (int i = 0; i < header.size(); ++i) {
        const QString name = header.at(i).trimmed();
        if (!name.isEmpty() && !layout.columns.contains(name))
            layout.columns.insert(name, i);
    }
    const auto has = [&](std::initializer_list<const char *> names) {
        for (const char *name : names) {
            if (layout.column(name) < 0)
                return false;
        }
        return true;
    };
    if (has({"Дата операции", "Номер карты", "Статус", "Сумма платежа", "Валюта платежа", "Категория", "Описание"})) {
        layout.kind = CsvKind::TBank;
        return layout;
    }
    if (has({"Тип карты", "Номер карты", "Дата совершения операции", "Описание", "Сумма в валюте счета"})) {
        layout.kind = CsvKind::Sber;
        return layout;
    }
    if (has({"Номер счета", "Дата операции", "Описание операции", "Приход", "Расход"})
        && (layout.column("Тип счёта") >= 0 || layout.column("Тип счета") >= 0)) {
        layout.kind = CsvKind::Alfa;
        return layout;
    }
    return std::nullopt;
}

QString fieldOf(const CsvRecord &record, int column)
{
    return column >= 0 && column < record.fields.size() ? record.fields.at(column).trimmed() : QString();
}

Money amountOf(const QString &text, const QString &what)
{
    const auto amount = parseDecimal(text);
    if (!amount)
        throw Refused{QStringLiteral("%1 «%2» не число или вне допустимого диапазона сумм").arg(what, text.left(40))};
    return *amount;
}

// dd.MM.yyyy or dd.MM.yy (this century's), with HH:mm or HH:mm:ss after a space or not;
// read by hand, as a statement has tens of thousands of them.
QDateTime csvMoment(const QString &text)
{
    const auto number = [&](qsizetype at, int digits, bool &ok) {
        int value = 0;
        for (qsizetype i = at; i < at + digits; ++i) {
            if (i >= text.size() || text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9')) {
                ok = false;
                return 0;
            }
            value = value * 10 + (text.at(i).unicode() - '0');
        }
        return value;
    };
    bool ok = text.size() >= 8 && text.at(2) == QLatin1Char('.') && text.at(5) == QLatin1Char('.');
    const bool longYear = text.size() >= 10 && text.at(8).isDigit() && text.at(9).isDigit();
    const int day = number(0, 2, ok), month = number(3, 2, ok);
    const int year = longYear ? number(6, 4, ok) : 2000 + number(6, 2, ok);
    qsizetype at = longYear ? 10 : 8;
    QTime time(0, 0);
    if (ok && at < text.size()) {
        ok = text.at(at) == QLatin1Char(' ') && text.size() >= at + 6 && text.at(at + 3) == QLatin1Char(':');
        const int hours = number(at + 1, 2, ok), minutes = number(at + 4, 2, ok);
        int seconds = 0;
        if (ok && text.size() > at + 6) {
            ok = text.size() == at + 9 && text.at(at + 6) == QLatin1Char(':');
            seconds = number(at + 7, 2, ok);
        }
        time = QTime(hours, minutes, seconds);
    }
    const QDate date(year, month, day);
    if (!ok || !isPlausible(date) || !time.isValid())
        throw Refused{text.isEmpty() ? QStringLiteral("нет даты операции")
                                     : QStringLiteral("невозможная дата «%1»").arg(text.left(40))};
    return QDateTime(date, time);
}

QString bankName(CsvKind kind)
{
    switch (kind) {
    case CsvKind::TBank:
        return QStringLiteral("Т-Банк");
    case CsvKind::Sber:
        return QStringLiteral("Сбербанк");
    case CsvKind::Alfa:
        break;
    }
    return QStringLiteral("Альфа-Банк");
}

Operation csvOperation(const CsvLayout &layout, const CsvRecord &record, RowKeys &keys, bool &counts)
{
    Operation operation;
    counts = true;
    QString card;
    if (layout.kind == CsvKind::TBank) {
        if (fieldOf(record, layout.column("Статус")) != QLatin1String("OK")) {
            counts = false; // a declined or failed operation moved no money
            return operation;
        }
        operation.moment = csvMoment(fieldOf(record, layout.column("Дата операции")));
        operation.amount = amountOf(fieldOf(record, layout.column("Сумма платежа")), QStringLiteral("сумма платежа"));
        operation.description = fieldOf(record, layout.column("Описание"));
        operation.incomeType = fieldOf(record, layout.column("Категория"));
        card = fieldOf(record, layout.column("Номер карты"));
    } else if (layout.kind == CsvKind::Sber) {
        operation.moment = csvMoment(fieldOf(record, layout.column("Дата совершения операции")));
        operation.amount =
            amountOf(fieldOf(record, layout.column("Сумма в валюте счета")), QStringLiteral("сумма в валюте счёта"));
        operation.description = fieldOf(record, layout.column("Описание"));
        card = fieldOf(record, layout.column("Номер карты"));
    } else {
        operation.moment = csvMoment(fieldOf(record, layout.column("Дата операции")));
        const QString in = fieldOf(record, layout.column("Приход"));
        const QString out = fieldOf(record, layout.column("Расход"));
        const Money income = in.isEmpty() ? Money() : amountOf(in, QStringLiteral("приход"));
        const Money expense = out.isEmpty() ? Money() : amountOf(out, QStringLiteral("расход"));
        if (income < Money() || expense < Money())
            throw Refused{QStringLiteral("отрицательная сумма в столбце прихода или расхода")};
        if (!income.isZero() && !expense.isZero())
            throw Refused{QStringLiteral("в одной строке и приход, и расход")};
        operation.amount = income.isZero() ? Money() - expense : income;
        operation.description = fieldOf(record, layout.column("Описание операции"));
        card = fieldOf(record, layout.column("Номер счета"));
    }
    if (operation.amount.isZero())
        throw Refused{QStringLiteral("сумма операции равна нулю")};
    operation.key = keys.next(QStringLiteral("%1 %2|%3|%4|%5")
                                  .arg(bankName(layout.kind), operation.moment.toString(Qt::ISODate), keyAmount(operation.amount),
                                       cleanText(operation.description), card));
    return operation;
}

ReadResult readCsv(const QString &text, const QString &fileName)
{
    const QVector<CsvRecord> records = csvRecords(text);
    const auto layout = layoutOf(records.isEmpty() ? QStringList() : records.first().fields);
    if (!layout)
        refuseFile(fileName, QStringLiteral("строка 1: столбцы не похожи на выписку Т-Банка, Сбербанка или Альфа-Банка"));
    ReadResult result;
    RowKeys keys;
    for (qsizetype i = 1; i < records.size(); ++i) {
        const CsvRecord &record = records.at(i);
        const QString origin = QStringLiteral("%1, строка %2").arg(fileName).arg(record.line);
        if (record.fields.join(QString()).trimmed().isEmpty())
            continue;
        try {
            bool counts = false;
            const Operation operation = csvOperation(*layout, record, keys, counts);
            if (!counts)
                continue;
            Operation placed = operation;
            placed.origin = origin;
            result.candidates << candidateOf(placed);
        } catch (const Refused &refused) {
            result.rejected << Rejected{origin, refused.reason};
        }
    }
    return result;
}

// ---- OFX ----

QString ofxUnescaped(QString text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QRegularExpression entity(QStringLiteral("&(#x?[0-9A-Fa-f]{1,6}|amp|lt|gt|quot|apos|nbsp);"));
    QString out;
    qsizetype last = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        out += QStringView(text).mid(last, match.capturedStart() - last);
        const QString name = match.captured(1);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.startsWith(QLatin1String("#x")) ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF))
                out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        } else {
            out += name == QLatin1String("amp")    ? QStringLiteral("&")
                   : name == QLatin1String("lt")   ? QStringLiteral("<")
                   : name == QLatin1String("gt")   ? QStringLiteral(">")
                   : name == QLatin1String("quot") ? QStringLiteral("\"")
                   : name == QLatin1String("apos") ? QStringLiteral("'")
                                                   : QStringLiteral(" ");
        }
        last = match.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

// YYYYMMDD[HHMMSS[.XXX]][[+3:MSK]]: the moment in the program's local time.
QDateTime ofxMoment(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})(?:(\\d{2})(\\d{2})(?:(\\d{2})(?:\\.\\d{1,6})?)?)?"
                       "(?:\\[([+-]?\\d{1,2}(?:\\.\\d{1,2})?)(?::[^\\]]*)?\\])?$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        throw Refused{text.isEmpty() ? QStringLiteral("нет даты операции (DTPOSTED)")
                                     : QStringLiteral("невозможная дата «%1»").arg(text.left(40))};
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time = match.captured(4).isEmpty()
                           ? QTime(0, 0)
                           : QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!isPlausible(day) || !time.isValid())
        throw Refused{QStringLiteral("невозможная дата «%1»").arg(text.left(40))};
    if (match.captured(7).isEmpty())
        return QDateTime(day, time);
    const double hours = match.captured(7).toDouble();
    if (hours < -14 || hours > 14)
        throw Refused{QStringLiteral("невозможный часовой пояс «%1»").arg(text.left(40))};
    return QDateTime(day, time, QTimeZone(int(hours * 3600))).toLocalTime();
}

struct OfxTransaction
{
    QHash<QString, QString> fields;
    QString account;
    int line = 0;
};

ReadResult readOfx(const QString &text, const QString &fileName)
{
    // Tags of both forms: in SGML a leaf's value runs to the next tag and is never closed.
    QVector<OfxTransaction> transactions;
    bool inTransaction = false;
    bool statement = false;
    bool anyStatement = false;
    QString account;
    OfxTransaction current;
    int line = 1;
    qsizetype i = text.indexOf(QLatin1Char('<'));
    for (qsizetype l = 0; l < i && i >= 0; ++l)
        line += text.at(l) == QLatin1Char('\n');
    while (i >= 0 && i < text.size()) {
        const qsizetype close = text.indexOf(QLatin1Char('>'), i);
        if (close < 0)
            break;
        const QString tag = text.mid(i + 1, close - i - 1).trimmed().toUpper();
        qsizetype next = text.indexOf(QLatin1Char('<'), close);
        if (next < 0)
            next = text.size();
        const int tagLine = line;
        for (qsizetype l = i; l < next; ++l)
            line += text.at(l) == QLatin1Char('\n');
        const QString value = ofxUnescaped(text.mid(close + 1, next - close - 1)).trimmed();
        i = next;
        if (tag.startsWith(QLatin1Char('?')) || tag.startsWith(QLatin1Char('!')))
            continue;
        if (tag == QLatin1String("STMTRS") || tag == QLatin1String("CCSTMTRS")) {
            statement = anyStatement = true;
        } else if (tag == QLatin1String("STMTTRN")) {
            if (inTransaction)
                transactions << current;
            current = OfxTransaction();
            current.line = tagLine;
            current.account = account;
            inTransaction = statement;
        } else if (tag == QLatin1String("/STMTTRN") || tag == QLatin1String("/BANKTRANLIST")
                   || tag == QLatin1String("/STMTRS") || tag == QLatin1String("/CCSTMTRS")) {
            if (inTransaction)
                transactions << current;
            inTransaction = false;
            if (tag != QLatin1String("/STMTTRN") && tag != QLatin1String("/BANKTRANLIST"))
                statement = false;
        } else if (tag == QLatin1String("ACCTID")) {
            account = value;
        } else if (inTransaction && !tag.startsWith(QLatin1Char('/')) && !value.isEmpty()) {
            current.fields.insert(tag, value);
        }
    }
    if (inTransaction)
        transactions << current;
    if (!anyStatement)
        refuseFile(fileName, QStringLiteral("в нём нет выписки по счёту или карте (STMTRS, CCSTMTRS)"));

    ReadResult result;
    for (const OfxTransaction &transaction : transactions) {
        const QString origin = QStringLiteral("%1, строка %2").arg(fileName).arg(transaction.line);
        try {
            Operation operation;
            operation.origin = origin;
            operation.moment = ofxMoment(transaction.fields.value(QStringLiteral("DTPOSTED")));
            const QString amount = transaction.fields.value(QStringLiteral("TRNAMT"));
            operation.amount = amountOf(amount, QStringLiteral("сумма (TRNAMT)"));
            if (operation.amount.isZero())
                throw Refused{QStringLiteral("сумма операции равна нулю")};
            const QString name = transaction.fields.value(QStringLiteral("NAME"));
            const QString memo = transaction.fields.value(QStringLiteral("MEMO"));
            operation.description = name.isEmpty() ? memo : name;
            operation.comment = name.isEmpty() ? QString() : memo;
            const QString fitid = transaction.fields.value(QStringLiteral("FITID"));
            if (fitid.isEmpty())
                throw Refused{QStringLiteral("нет номера операции (FITID)")};
            operation.key = QStringLiteral("OFX %1|%2").arg(transaction.account, fitid);
            result.candidates << candidateOf(operation);
        } catch (const Refused &refused) {
            result.rejected << Rejected{origin, refused.reason};
        }
    }
    return result;
}

// ---- QIF ----

struct QifRecord
{
    QHash<QChar, QString> fields;
    int line = 0;
};

struct QifDate
{
    int first = 0, second = 0, year = 0;
    bool read = false;
    bool yearFirst = false; // year, month, day: one order only
};

// "12/31/2024", "31.12.2024", "1/ 5'24", "2024-12-31": two numbers of unknown order and a year.
QifDate qifDate(const QString &text)
{
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})[/.\\-]\\s*(\\d{1,2})(?:[/.\\-']\\s*(\\d{2}|\\d{4}))$"));
    QifDate date;
    if (const auto m = iso.match(text); m.hasMatch()) {
        // Year first is always year, month, day: stored as day first.
        return {m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt(), true, true};
    }
    if (const auto m = form.match(text); m.hasMatch()) {
        date = {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), true};
        if (m.captured(3).size() == 2)
            date.year += date.year < 70 ? 2000 : 1900;
    }
    return date;
}

QVector<QifRecord> qifRecords(const QString &text, QString &type)
{
    QVector<QifRecord> records;
    QifRecord record;
    int line = 0;
    for (const QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        ++line;
        const QString each = raw.toString().trimmed();
        if (each.isEmpty())
            continue;
        if (each.startsWith(QLatin1Char('!'))) {
            if (each.startsWith(QLatin1String("!Type:"), Qt::CaseInsensitive) && type.isEmpty())
                type = each.mid(6).trimmed();
            continue;
        }
        if (record.fields.isEmpty())
            record.line = line;
        if (each == QLatin1String("^")) {
            if (!record.fields.isEmpty())
                records << record;
            record = QifRecord();
            continue;
        }
        const QChar code = each.at(0).toUpper();
        // Split lines (S, E, $) belong to the whole record's amount, which T carries.
        if (!record.fields.contains(code))
            record.fields.insert(code, each.mid(1).trimmed());
    }
    if (!record.fields.isEmpty())
        records << record;
    return records;
}

bool isQif(const QString &text)
{
    return text.trimmed().startsWith(QLatin1String("!Type:"), Qt::CaseInsensitive)
           || text.trimmed().startsWith(QLatin1String("!Account"), Qt::CaseInsensitive)
           || text.trimmed().startsWith(QLatin1String("!Option"), Qt::CaseInsensitive);
}

// The order the file's dates settle by themselves: a number above 12 can only be a day.
DateOrder settledOrder(const QVector<QifRecord> &records, bool *ambiguous)
{
    bool dayFirst = false, monthFirst = false, twoWays = false;
    for (const QifRecord &record : records) {
        const QString text = record.fields.value(QLatin1Char('D'));
        const QifDate date = qifDate(text);
        if (!date.read || date.yearFirst)
            continue;
        if (date.first > 12 && date.second <= 12)
            dayFirst = true;
        else if (date.second > 12 && date.first <= 12)
            monthFirst = true;
        else if (date.first != date.second)
            twoWays = true;
    }
    if (ambiguous)
        *ambiguous = twoWays && dayFirst == monthFirst;
    if (dayFirst != monthFirst)
        return dayFirst ? DateOrder::DayFirst : DateOrder::MonthFirst;
    return DateOrder::Unknown;
}

// QIF amounts: "-1,234.56" or "-1234,56"; the last of a dot and a comma is the decimal one.
std::optional<Money> qifAmount(QString text)
{
    text.remove(QLatin1Char(' '));
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    if (dot >= 0 && comma >= 0)
        text.remove(dot > comma ? QLatin1Char(',') : QLatin1Char('.'));
    else if (text.count(QLatin1Char(',')) > 1)
        text.remove(QLatin1Char(','));
    else if (text.count(QLatin1Char('.')) > 1)
        text.remove(QLatin1Char('.'));
    return parseDecimal(text);
}

ReadResult readQif(const QString &text, const QString &fileName, DateOrder order)
{
    QString type;
    const QVector<QifRecord> records = qifRecords(text, type);
    const QString kind = type.toLower();
    if (kind != QLatin1String("bank") && kind != QLatin1String("ccard") && kind != QLatin1String("cash"))
        refuseFile(fileName, type.isEmpty() ? QStringLiteral("нет строки !Type: счёта")
                                            : QStringLiteral("счёт вида «%1» не выписка банка, карты или наличных")
                                                  .arg(type.left(30)));
    const DateOrder settled = settledOrder(records, nullptr);
    if (settled != DateOrder::Unknown)
        order = settled;
    if (order == DateOrder::Unknown)
        order = DateOrder::DayFirst;
    ReadResult result;
    RowKeys keys;
    for (const QifRecord &record : records) {
        const QString origin = QStringLiteral("%1, строка %2").arg(fileName).arg(record.line);
        try {
            Operation operation;
            operation.origin = origin;
            const QString dateText = record.fields.value(QLatin1Char('D'));
            const QifDate date = qifDate(dateText);
            const QDate day = !date.read ? QDate()
                              : order == DateOrder::MonthFirst && !date.yearFirst
                                  ? QDate(date.year, date.first, date.second)
                                  : QDate(date.year, date.second, date.first);
            if (!isPlausible(day))
                throw Refused{dateText.isEmpty() ? QStringLiteral("нет даты операции (D)")
                                                 : QStringLiteral("невозможная дата «%1»").arg(dateText.left(40))};
            operation.moment = QDateTime(day, QTime(0, 0));
            const QString amount = record.fields.value(QLatin1Char('T'), record.fields.value(QLatin1Char('U')));
            const auto money = qifAmount(amount);
            if (!money)
                throw Refused{QStringLiteral("сумма «%1» не число или вне допустимого диапазона сумм").arg(amount.left(40))};
            if (money->isZero())
                throw Refused{QStringLiteral("сумма операции равна нулю")};
            operation.amount = *money;
            const QString payee = record.fields.value(QLatin1Char('P'));
            const QString memo = record.fields.value(QLatin1Char('M'));
            operation.description = payee.isEmpty() ? memo : payee;
            operation.comment = payee.isEmpty() ? QString() : memo;
            QString category = record.fields.value(QLatin1Char('L'));
            if (category.startsWith(QLatin1Char('['))) // a transfer to another account
                category.clear();
            operation.incomeType = category;
            operation.key = keys.next(QStringLiteral("QIF %1|%2|%3|%4|%5")
                                          .arg(day.toString(Qt::ISODate), keyAmount(operation.amount),
                                               cleanText(operation.description), cleanText(memo),
                                               record.fields.value(QLatin1Char('N'))));
            result.candidates << candidateOf(operation);
        } catch (const Refused &refused) {
            result.rejected << Rejected{origin, refused.reason};
        }
    }
    return result;
}

bool isOfx(const QString &text)
{
    const QString start = text.left(4096).trimmed();
    return start.startsWith(QLatin1String("OFXHEADER"), Qt::CaseInsensitive)
           || (start.startsWith(QLatin1String("<?xml"), Qt::CaseInsensitive)
               && start.contains(QLatin1String("OFX"), Qt::CaseInsensitive))
           || start.startsWith(QLatin1String("<OFX>"), Qt::CaseInsensitive);
}

// The OFX 1.x header names its character set; 1251 is the one Russian banks write.
QString decodedOfx(const QByteArray &content)
{
    const QByteArray head = content.left(1024).toUpper();
    if (head.contains("CHARSET:1251") || head.contains("ENCODING=\"WINDOWS-1251\""))
        return decodeWindows1251(content);
    return decodeText(content);
}

} // namespace

ReadResult readStatement(const QByteArray &content, const QString &fileName, DateOrder order)
{
    if (content.size() > kMaxFileSize)
        refuseFile(fileName, QStringLiteral("он больше 100 МБ"));
    const QString text = decodeText(content);
    if (isOfx(text))
        return readOfx(decodedOfx(content), fileName);
    if (isQif(text))
        return readQif(text, fileName, order);
    const QString first = text.left(text.indexOf(QLatin1Char('\n')));
    if (content.contains('\0') || !first.contains(QLatin1Char(';')))
        refuseFile(fileName, QStringLiteral("это не выписка банка в CSV, OFX или QIF"));
    return readCsv(text, fileName);
}

bool statementDatesAmbiguous(const QByteArray &content)
{
    const QString text = decodeText(content);
    if (!isQif(text))
        return false;
    QString type;
    bool ambiguous = false;
    settledOrder(qifRecords(text, type), &ambiguous);
    return ambiguous;
}

QByteArray readImportFile(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!info.exists())
        refuseFile(name, QStringLiteral("его нет"));
    if (!info.isFile())
        refuseFile(name, QStringLiteral("это не файл"));
    if (info.size() > kMaxFileSize)
        refuseFile(name, QStringLiteral("он больше 100 МБ"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuseFile(name, QStringLiteral("нет доступа на чтение (%1)").arg(file.errorString()));
    // Read no more than the limit, whatever the size said a moment ago.
    QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize)
        refuseFile(name, QStringLiteral("он больше 100 МБ"));
    return bytes;
}

} // namespace imports
