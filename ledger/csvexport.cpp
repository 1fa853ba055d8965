#include "csvexport.h"

#include "database.h"
#include "regional.h"
#include "schema.h"

#include <QSaveFile>

#include <cerrno>

namespace ledger::csv {

namespace {

constexpr qsizetype kFlushAt = 1 << 20;

// "2026-12-09" or "2026-12-09 09:05:03" as "09.12.2026"; anything else as it is stored.
void appendDate(QByteArray &out, QByteArrayView iso)
{
    if (iso.size() >= 10 && iso[4] == '-' && iso[7] == '-') {
        out.append(iso.sliced(8, 2));
        out.append('.');
        out.append(iso.sliced(5, 2));
        out.append('.');
        out.append(iso.first(4));
        return;
    }
    out.append(quoted(iso));
}

// The general money form of the grids (regional::moneyText: "150", "12,5", "-0,3333"),
// written straight into the bytes: a million rows make the text conversions count.
void appendMoney(QByteArray &out, qint64 ticks)
{
    const bool negative = ticks < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(ticks) : quint64(ticks);
    if (negative)
        out.append('-');
    char digits[24];
    int n = 0;
    quint64 whole = magnitude / quint64(Money::Scale);
    do {
        digits[n++] = char('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    while (n > 0)
        out.append(digits[--n]);
    quint64 fraction = magnitude % quint64(Money::Scale);
    if (fraction == 0)
        return;
    out.append(regional::kDecimalSeparator.toLatin1());
    int places = 4;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    char fractionDigits[4];
    for (int i = places - 1; i >= 0; --i) {
        fractionDigits[i] = char('0' + fraction % 10);
        fraction /= 10;
    }
    out.append(fractionDigits, places);
}

// "09:05:03" as the long time "9:05:03".
void appendTime(QByteArray &out, QByteArrayView stored)
{
    if (stored.size() == 8 && stored[0] == '0')
        stored = stored.sliced(1);
    out.append(quoted(stored));
}

} // namespace

QByteArray quoted(QByteArrayView text)
{
    bool needs = false;
    for (const char c : text) {
        if (c == ';' || c == '"' || c == '\n' || c == '\r') {
            needs = true;
            break;
        }
    }
    if (!needs)
        return text.toByteArray();
    QByteArray out;
    out.reserve(text.size() + 8);
    out.append('"');
    for (const char c : text) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
    return out;
}

// A spreadsheet opening the file takes a field for a formula when it begins with "=", "+",
// "-" or "@" (also after a tab, a line break or spaces), for a number, a date or a truth value
// when it looks like one, and Excel drops a leading "'" as its own text mark.
bool readAsValue(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    if (QByteArrayView("=+-@'\t\r\n").contains(text[0]))
        return true;
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (text.sliced(i).startsWith("\xC2\xA0")) // a no-break space, the Russian digit group mark
        return true;
    if (i == text.size())
        return false;
    const QByteArrayView rest = text.sliced(i);
    const char first = rest[0];
    const auto digitAt = [&](qsizetype at) { return at < rest.size() && rest[at] >= '0' && rest[at] <= '9'; };
    if (QByteArrayView("=+-@#").contains(first) || digitAt(0))
        return true;
    // ".5", ",5", "(12)" (a negative amount in Excel), "$5" and the like.
    if (QByteArrayView(".,($").contains(first) && (digitAt(1) || (rest.size() > 2 && rest[1] == ' ' && digitAt(2))))
        return true;
    for (const QByteArrayView currency : {"\xE2\x82\xAC", "\xE2\x82\xBD", "\xC2\xA3", "\xC2\xA5"}) { // € ₽ £ ¥
        if (rest.startsWith(currency)) {
            const qsizetype after = currency.size() + (rest.size() > currency.size() && rest[currency.size()] == ' ');
            if (digitAt(after))
                return true;
        }
    }
    const QString word = QString::fromUtf8(rest).trimmed().toUpper();
    return word == QLatin1String("TRUE") || word == QLatin1String("FALSE") || word == QStringLiteral("ИСТИНА")
        || word == QStringLiteral("ЛОЖЬ");
}

QByteArray asTextFormula(QByteArrayView text)
{
    // A formula's text constant holds at most 255 characters in Excel and no line break in
    // either program: longer texts are joined from pieces, line breaks given as CHAR(13) and
    // CHAR(10).
    constexpr int kPiece = 250;
    QByteArray out("=");
    bool open = false;
    int units = 0;
    const auto join = [&] {
        if (out.size() > 1)
            out.append('&');
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (open)
                out.append('"');
            open = false;
            join();
            out.append(c == '\r' ? "CHAR(13)" : "CHAR(10)");
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        const bool startsCharacter = (byte & 0xC0) != 0x80;
        if (startsCharacter && open && units >= kPiece) {
            out.append('"');
            open = false;
        }
        if (!open) {
            join();
            out.append('"');
            open = true;
            units = 0;
        }
        if (startsCharacter)
            units += byte >= 0xF0 ? 2 : 1; // a character beyond the BMP counts twice in UTF-16
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    if (open)
        out.append('"');
    return out;
}

QByteArray textField(QByteArrayView text)
{
    return readAsValue(text) ? quoted(asTextFormula(text)) : quoted(text);
}

namespace {

// The columns' values as the file shows them: money in the grids' form, dates and times
// shortened, texts quoted where they must be. A NULL is an empty field.
void appendRow(QByteArray &out, const StoredRow &row, const QList<schema::ColumnKind> &kinds)
{
    for (int c = 0; c < kinds.size(); ++c) {
        if (c > 0)
            out.append(';');
        if (row.isNull(c))
            continue;
        switch (kinds[c]) {
        case schema::ColumnKind::Money:
            appendMoney(out, row.integer(c));
            break;
        case schema::ColumnKind::Date:
            appendDate(out, row.text(c));
            break;
        case schema::ColumnKind::Time:
            appendTime(out, row.text(c));
            break;
        case schema::ColumnKind::Plain:
            out.append(textField(row.text(c)));
            break;
        }
    }
    out.append("\r\n");
}

class CsvWriter : public exporting::FileWriter
{
public:
    explicit CsvWriter(const QString &target)
        : m_target(target)
        , m_file(target)
    {
    }

    void begin(const QStringList &titles, const QList<schema::ColumnKind> &kinds) override
    {
        m_kinds = kinds;
        if (!m_file.open(QIODevice::WriteOnly))
            fail();
        m_buffer.reserve(kFlushAt + 4096);
        // The byte order mark, then the columns' titles.
        m_buffer.append("\xEF\xBB\xBF");
        for (int c = 0; c < titles.size(); ++c) {
            if (c > 0)
                m_buffer.append(';');
            m_buffer.append(quoted(titles[c].toUtf8()));
        }
        m_buffer.append("\r\n");
    }

    void row(const StoredRow &row) override
    {
        appendRow(m_buffer, row, m_kinds);
        if (m_buffer.size() >= kFlushAt)
            flush();
    }

    void commit() override
    {
        flush();
        errno = 0;
        if (!m_file.commit())
            fail();
    }

    void abandon() override { m_file.cancelWriting(); }

private:
    void flush()
    {
        errno = 0;
        if (m_file.write(m_buffer) != m_buffer.size())
            fail();
        m_buffer.clear();
    }

    [[noreturn]] void fail()
    {
        const int error = errno;
        const bool noRoom = m_file.error() == QFileDevice::ResourceError || exporting::isNoRoom(error);
        throw Error(exporting::failure(m_target, noRoom, m_file.errorString()));
    }

    QString m_target;
    QSaveFile m_file;
    QList<schema::ColumnKind> m_kinds;
    QByteArray m_buffer;
};

} // namespace

qint64 exportRows(const Connection &connection, const QString &source, const QList<Column> &columns,
                  const QString &target, const Progress &progress)
{
    CsvWriter writer(target);
    return exporting::walk(connection, source, columns, writer, progress);
}

bool exportView(const Connection &connection, const QString &source, const QList<Column> &columns,
                const QString &target, const Progress &progress)
{
    return exportRows(connection, source, columns, target, progress) >= 0;
}

} // namespace ledger::csv
