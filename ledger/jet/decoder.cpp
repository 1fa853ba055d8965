#include "decoder.h"

#include "oledate.h"
#include "wire.h"

#include <QtEndian>

#include <cstring>

namespace jet::detail {

// Reads the numbers and texts of one record; `ok` turns false, and stays so, once a read
// needs more than has arrived.
struct Decoder::Cursor
{
    const char *p;
    const char *end;
    bool ok = true;

    bool need(qsizetype n)
    {
        if (ok && end - p < n)
            ok = false;
        return ok;
    }
    quint8 u8() { return need(1) ? quint8(*p++) : 0; }
    template <typename Number>
    Number number()
    {
        if (!need(qsizetype(sizeof(Number))))
            return 0;
        const Number v = qFromLittleEndian<Number>(p);
        p += sizeof(Number);
        return v;
    }
    quint32 u32() { return number<quint32>(); }
    qint64 i64() { return number<qint64>(); }
    double real()
    {
        const qint64 bits = i64();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    QByteArray bytes(quint32 n)
    {
        if (!need(qsizetype(n)))
            return {};
        QByteArray v(p, qsizetype(n));
        p += n;
        return v;
    }
};

Decoder::Decoder(const QString &path, unsigned long pageCount, Meter &meter)
    : m_path(path)
    , m_pageCount(pageCount)
    , m_meter(meter)
{
}

void Decoder::feed(const char *data, qsizetype size)
{
    m_buffer.append(data, size);
    while (!m_finished && parseOne()) {
    }
    // Keep only what is not parsed yet.
    if (m_position > 0) {
        m_buffer.remove(0, m_position);
        m_position = 0;
    }
}

Tables Decoder::finish(bool childOk)
{
    if (m_failure)
        throw *m_failure;
    if (!m_done || !childOk || !m_buffer.isEmpty())
        throw damaged(m_path, QStringLiteral("чтение файла прервалось"));
    return std::move(m_tables);
}

bool Decoder::parseOne()
{
    Cursor in{m_buffer.constData() + m_position, m_buffer.constData() + m_buffer.size()};
    if (in.p == in.end)
        return false;
    if (!parseRecord(in.u8(), in))
        return false;
    m_position = in.p - m_buffer.constData();
    return true;
}

bool Decoder::parseRecord(quint8 tag, Cursor &in)
{
    switch (tag) {
    case wire::Total:
        return parseTotal(in);
    case wire::Begin:
        return parseBegin(in);
    case wire::Row:
        return parseRowRecord(in);
    case wire::Failure:
        return parseFailure(in);
    case wire::Done:
        return parseDone();
    default:
        return broken();
    }
}

bool Decoder::parseTotal(Cursor &in)
{
    const quint32 total = in.u32();
    if (!in.ok)
        return false;
    m_meter.setTotal(2 * qint64(total)); // each row is read and then written
    return true;
}

bool Decoder::parseBegin(Cursor &in)
{
    const quint8 table = in.u8();
    const quint32 rows = in.u32();
    if (!in.ok)
        return false;
    if (table != m_tables.size() || table >= kTableCount)
        return broken();
    Table t;
    t.name = QString::fromLatin1(kTables[table].name);
    for (const ledger::columns::Column &column : kTables[table])
        t.columns << QString::fromLatin1(column.name);
    m_tables << t;
    m_rowsDeclared = rows;
    return true;
}

bool Decoder::parseRowRecord(Cursor &in)
{
    if (m_tables.isEmpty() || m_tables.last().rows.size() >= m_rowsDeclared)
        return broken();
    QVariantList row;
    if (!parseRow(in, row)) {
        if (!in.ok)
            return false; // the rest is still on its way
        if (!m_failure)
            broken();
        m_finished = true;
        return false;
    }
    m_tables.last().rows << row;
    m_meter.advance();
    return true;
}

bool Decoder::parseFailure(Cursor &in)
{
    const quint8 problem = in.u8();
    const quint8 table = in.u8();
    const quint8 column = in.u8();
    const quint32 a = in.u32();
    const quint32 b = in.u32();
    if (!in.ok)
        return false;
    m_failure = failure(problem, table, column, a, b);
    m_finished = true;
    return true;
}

bool Decoder::parseDone()
{
    if (m_tables.size() != kTableCount)
        return broken();
    m_done = m_finished = true;
    return true;
}

bool Decoder::parseRow(Cursor &in, QVariantList &row)
{
    const int t = int(m_tables.size()) - 1;
    for (int c = 0; c < kTables[t].count; ++c) {
        const quint8 type = in.u8();
        if (!in.ok)
            return false;
        if (type != wire::Null) {
            if (!parseValue(in, type, c, row))
                return false;
            continue;
        }
        if (c == 0) {
            m_failure = damaged(m_path, QStringLiteral("в таблице %1 есть запись без номера").arg(kTables[t].name));
            return false;
        }
        // The header row's texts are "" rather than NULL: the program compares them.
        row << (kindOf(t, c) == Kind::HeaderText ? QVariant(QString::fromUtf16(u"", 0)) : QVariant());
    }
    return true;
}

namespace {

// How the reader sends a value of each kind.
wire::Type wireType(Kind kind)
{
    switch (kind) {
    case Kind::Integer:
    case Kind::Money:
        return wire::Integer;
    case Kind::Date:
    case Kind::Time:
        return wire::Real;
    case Kind::Text:
    case Kind::HeaderText:
        break;
    }
    return wire::Text;
}

} // namespace

bool Decoder::parseValue(Cursor &in, quint8 type, int column, QVariantList &row)
{
    const int t = int(m_tables.size()) - 1;
    const Kind kind = kindOf(t, column);
    if (type != wireType(kind))
        return false;
    if (type == wire::Integer) {
        const qint64 value = in.i64();
        if (in.ok)
            row << value;
        return in.ok;
    }
    if (type == wire::Real) {
        const double value = in.real();
        if (!in.ok)
            return false;
        const QString text = kind == Kind::Date ? oleDateText(value) : oleTimeText(value);
        if (text.isNull()) {
            m_failure = damaged(m_path, QStringLiteral("недопустимая дата в поле %1.%2 записи %3")
                                            .arg(kTables[t].name, kTables[t].columns[column].name, row.value(0).toString()));
            return false;
        }
        row << text;
        return true;
    }
    const quint32 size = in.u32();
    if (in.ok && size > wire::kMaxText)
        return false;
    const QByteArray bytes = in.bytes(size);
    if (in.ok)
        row << QString::fromUtf8(bytes);
    return in.ok;
}

bool Decoder::broken()
{
    m_failure = damaged(m_path, QStringLiteral("чтение файла дало непонятный результат"));
    m_finished = true;
    return false;
}

JetError Decoder::failure(quint8 problem, quint8 table, quint8 column, quint32 a, quint32 b) const
{
    const QString name = table < kTableCount      ? QString::fromLatin1(kTables[table].name)
                         : table == wire::kCatalog ? QStringLiteral("MSysObjects (список таблиц)")
                                                   : QString();
    const QString field = table < kTableCount && column < kTables[table].count
                              ? QString::fromLatin1(kTables[table].columns[column].name)
                              : QString();
    switch (problem) {
    case wire::OpenFailed:
        return JetError(m_path, QStringLiteral("Файл «%1» не удаётся открыть как базу данных Jet 4.0.").arg(m_path));
    case wire::NotJet4:
        return JetError(m_path, QStringLiteral("Файл «%1» не является базой данных Jet 4.0.").arg(m_path));
    case wire::NoCatalog:
        return damaged(m_path, QStringLiteral("не читается список таблиц"));
    case wire::NoTable:
        return JetError(m_path, QStringLiteral("В файле «%1» нет таблицы %2: это не база данных velTor, или файл повреждён.")
                                    .arg(m_path, name));
    case wire::NoColumns:
        return damaged(m_path, QStringLiteral("не читается описание таблицы %1").arg(name));
    case wire::NoColumn:
        return JetError(m_path, QStringLiteral("В таблице %2 файла «%1» нет поля %3: это не база данных velTor, или файл повреждён.")
                                    .arg(m_path, name, field));
    case wire::ColumnType:
        return JetError(m_path, QStringLiteral("Поле %2.%3 в файле «%1» имеет неожиданный тип (%4).")
                                    .arg(m_path, name, field)
                                    .arg(a));
    case wire::PageOutside:
        return damaged(m_path, QStringLiteral("таблица %1 занимает страницу %2, а в файле их всего %3")
                                   .arg(name)
                                   .arg(a)
                                   .arg(m_pageCount));
    case wire::BadMap:
        return damaged(m_path, QStringLiteral("не читается карта страниц таблицы %1").arg(name));
    case wire::RowCount:
        return damaged(m_path, QStringLiteral("в таблице %1 прочитано записей: %2 из %3").arg(name).arg(a).arg(b));
    case wire::BadValue:
        return damaged(m_path, QStringLiteral("недопустимое значение в поле %1.%2 (запись %3 по порядку)")
                                   .arg(name, field)
                                   .arg(a));
    default:
        return damaged(m_path, QStringLiteral("чтение файла дало непонятный результат"));
    }
}

} // namespace jet::detail
