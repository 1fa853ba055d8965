// Reading the five tables of a Jet 4.0 file with libmdb.
//
// libmdb trusts the file. Given a damaged table definition and a caller that goes on after
// a failed step, it reads out of bounds and crashes (one changed byte in a column count is
// enough). This reader checks every step, and a few thousand damaged copies of the sample
// files found no crash left; still, libmdb is a C parser of foreign files and not ours to
// vouch for. So on Unix the reading runs in a forked child process that does nothing but
// call libmdb and write what it finds, in a small binary stream, down a pipe; the parent
// decodes the stream into rows. A child that crashes, hangs or stops short means a damaged
// file, and the program goes on. The child touches no Qt and no state of the parent: only
// libmdb with its glib and iconv, malloc and write(2).
//
// Before and while reading, the child checks what libmdb takes on trust: every page a table
// needs (its definition, the data pages of its usage map; the catalog's too) lies inside the
// file, and a table gives as many rows as its definition counts. Without that a truncated
// file reads as short or empty tables, without a word.

#include "detail.h"
#include "oledate.h"

#include <QFile>
#include <QtEndian>
#include <QtGlobal>

#include <mdbtools.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace jet::detail {

namespace {

constexpr ColumnSpec kListColumns[] = {
    {"id", Kind::Integer},  {"names", Kind::Text}, {"suma", Kind::Money},    {"dates", Kind::Date},
    {"times", Kind::Time},  {"dohod", Kind::Text}, {"comments", Kind::Text},
};
constexpr ColumnSpec kRashodColumns[] = {
    {"id", Kind::Integer}, {"kod", Kind::Integer}, {"names", Kind::Text}, {"price", Kind::Money},
    {"counts", Kind::Money}, {"doc", Kind::Text},   {"dates", Kind::Date}, {"comments", Kind::Text},
};
constexpr ColumnSpec kDohodColumns[] = {{"id", Kind::Integer}, {"names", Kind::Text}};
constexpr ColumnSpec kVelTorColumns[] = {{"id", Kind::Integer}, {"names", Kind::HeaderText}, {"pas", Kind::HeaderText}};
constexpr ColumnSpec kValutaColumns[] = {
    {"id", Kind::Integer},  {"dates", Kind::Date},  {"valuta1", Kind::Text}, {"kurs1", Kind::Money},
    {"valuta2", Kind::Text}, {"kurs2", Kind::Money}, {"valuta3", Kind::Text}, {"kurs3", Kind::Money},
    {"valuta4", Kind::Text}, {"kurs4", Kind::Money}, {"valuta5", Kind::Text}, {"kurs5", Kind::Money},
};

constexpr int kMaxColumns = 12;

// The stream from the reading child: records of a tag byte and a payload, numbers little
// endian.
namespace wire {
enum Tag : unsigned char {
    Total = 'S',   // u32 rows in the five tables, as their definitions say
    Begin = 'T',   // u8 table, u32 rows
    Row = 'R',     // one value per column of the table: u8 type, then its payload
    Failure = 'E', // u8 problem, u8 table, u8 column, u32 a, u32 b; the stream ends
    Done = 'D',    // all five tables read whole
};
enum Type : unsigned char { Null = 0, Integer = 1, Real = 2, Text = 3 };
enum Problem : unsigned char {
    OpenFailed = 1,
    NotJet4,
    NoCatalog,
    NoTable,
    NoColumns,
    NoColumn,
    ColumnType,
    PageOutside,
    BadMap,
    RowCount,
    BadValue,
};
constexpr unsigned char kNone = 0xff;
// The table number that stands for the catalog in a failure.
constexpr unsigned char kCatalog = 0xfe;
// Longest text the child sends: libmdb's bind buffer.
constexpr quint32 kMaxText = 1u << 20;
} // namespace wire

// What the child writes: kept in memory and written to a pipe in chunks (or, without a
// child, handed over whole).
class Sink
{
public:
    explicit Sink(int fd = -1)
        : m_fd(fd)
    {
    }

    void u8(unsigned value) { m_buffer.push_back(char(value & 0xff)); }
    void u32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            u8(value >> (8 * i));
    }
    void i64(std::int64_t value)
    {
        const auto bits = std::uint64_t(value);
        for (int i = 0; i < 8; ++i)
            u8(unsigned(bits >> (8 * i)));
    }
    void raw(const void *data, std::size_t size) { m_buffer.append(static_cast<const char *>(data), size); }
    void flushIfFull()
    {
        if (m_buffer.size() >= 16 * 1024)
            flush();
    }
    void flush()
    {
#ifdef Q_OS_UNIX
        if (m_fd < 0)
            return;
        std::size_t written = 0;
        while (written < m_buffer.size()) {
            const ssize_t n = ::write(m_fd, m_buffer.data() + written, m_buffer.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ::_exit(4); // the parent is gone
            written += std::size_t(n);
        }
        m_buffer.clear();
#endif
    }
    const std::string &buffer() const { return m_buffer; }

private:
    int m_fd;
    std::string m_buffer;
};

std::int64_t littleEndian(const unsigned char *p, int size)
{
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= std::uint64_t(p[i]) << (8 * i);
    // Sign-extend the narrower integers.
    if (size < 8 && (p[size - 1] & 0x80))
        value |= ~std::uint64_t(0) << (8 * size);
    return std::int64_t(value);
}

bool typeFits(Kind kind, int type)
{
    switch (kind) {
    case Kind::Integer:
        return type == MDB_LONGINT || type == MDB_INT || type == MDB_BYTE;
    case Kind::Money:
        return type == MDB_MONEY;
    case Kind::Date:
    case Kind::Time:
        return type == MDB_DATETIME;
    case Kind::Text:
    case Kind::HeaderText:
        return type == MDB_TEXT;
    }
    return false;
}

// The child's half: libmdb and nothing else.
class JetReader
{
public:
    JetReader(const char *path, unsigned long pageCount, Sink &out)
        : m_path(path)
        , m_pageCount(pageCount)
        , m_out(out)
    {
    }

    ~JetReader()
    {
        for (MdbTableDef *table : m_tables) {
            if (table)
                mdb_free_tabledef(table);
        }
        if (m_mdb)
            mdb_close(m_mdb);
    }

    JetReader(const JetReader &) = delete;
    JetReader &operator=(const JetReader &) = delete;

    void run()
    {
        m_mdb = mdb_open(m_path, MDB_NOFLAGS);
        if (!m_mdb)
            return fail(wire::OpenFailed);
        if (m_mdb->f->jet_version != MDB_VER_JET4 || m_mdb->fmt->pg_size != kPageSize)
            return fail(wire::NotJet4);
        if (!catalogInside())
            return;
        if (!mdb_read_catalog(m_mdb, MDB_TABLE))
            return fail(wire::NoCatalog);

        std::uint64_t total = 0;
        for (int t = 0; t < kTableCount; ++t) {
            if (!openTable(t))
                return;
            total += m_tables[t]->num_rows;
        }
        m_out.u8(wire::Total);
        m_out.u32(std::uint32_t(std::min<std::uint64_t>(total, UINT32_MAX)));
        for (int t = 0; t < kTableCount; ++t) {
            if (!readRows(t))
                return;
        }
        m_out.u8(wire::Done);
    }

private:
    void fail(wire::Problem problem, int table = wire::kNone, int column = wire::kNone, std::uint32_t a = 0,
              std::uint32_t b = 0)
    {
        m_out.u8(wire::Failure);
        m_out.u8(problem);
        m_out.u8(unsigned(table));
        m_out.u8(unsigned(column));
        m_out.u32(a);
        m_out.u32(b);
    }

    // The chain of pages that holds a table definition, all inside the file.
    bool definitionInside(unsigned long first)
    {
        unsigned long page = first;
        for (unsigned long steps = 0; page != 0; ++steps) {
            if (page >= m_pageCount || steps >= m_pageCount)
                return false;
            if (mdb_read_pg(m_mdb, page) != kPageSize || m_mdb->pg_buf[0] != MDB_PAGE_TABLE)
                return false;
            page = std::uint32_t(mdb_get_int32(m_mdb->pg_buf, 4));
        }
        return true;
    }

    bool openTable(int t)
    {
        const TableSpec &spec = kTables[t];
        MdbCatalogEntry *entry = mdb_get_catalogentry_by_name(m_mdb, spec.name);
        if (!entry || entry->object_type != MDB_TABLE) {
            fail(wire::NoTable, t);
            return false;
        }
        if (!definitionInside(entry->table_pg)) {
            fail(wire::PageOutside, t, wire::kNone, std::uint32_t(entry->table_pg));
            return false;
        }
        MdbTableDef *table = mdb_read_table(entry);
        m_tables[t] = table;
        if (!table || !mdb_read_columns(table) || table->columns->len != table->num_cols) {
            fail(wire::NoColumns, t);
            return false;
        }
        for (int c = 0; c < spec.columnCount; ++c) {
            int found = -1;
            for (unsigned i = 0; i < table->num_cols; ++i) {
                const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, i));
                if (g_ascii_strcasecmp(column->name, spec.columns[c].name) == 0)
                    found = int(i);
            }
            if (found < 0) {
                fail(wire::NoColumn, t, c);
                return false;
            }
            const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, found));
            if (!typeFits(spec.columns[c].kind, column->col_type)) {
                fail(wire::ColumnType, t, c, std::uint32_t(column->col_type));
                return false;
            }
            m_columnIndex[t][c] = found;
        }
        return dataInside(*table, t);
    }

    // Every data page the table owns must be there; a cut file loses them silently.
    bool dataInside(const MdbTableDef &table, int t)
    {
        if (!table.usage_map || table.map_sz < 1) {
            fail(wire::BadMap, t);
            return false;
        }
        gint32 page = 0;
        unsigned long steps = 0;
        while ((page = mdb_map_find_next(m_mdb, table.usage_map, guint(table.map_sz), guint32(page))) > 0) {
            if (std::uint32_t(page) >= m_pageCount) {
                fail(wire::PageOutside, t, wire::kNone, std::uint32_t(page));
                return false;
            }
            if (++steps > m_pageCount) {
                fail(wire::BadMap, t);
                return false;
            }
        }
        if (page < 0) {
            fail(wire::BadMap, t);
            return false;
        }
        return true;
    }

    // The catalog (MSysObjects, defined on page 2) is read like any table, and as blindly: a
    // file cut inside it would seem to lack the ledger's tables rather than be cut.
    bool catalogInside()
    {
        constexpr unsigned long kCatalogPage = 2;
        if (!definitionInside(kCatalogPage)) {
            fail(wire::PageOutside, wire::kCatalog, wire::kNone, kCatalogPage);
            return false;
        }
        MdbCatalogEntry entry;
        std::memset(&entry, 0, sizeof entry);
        entry.mdb = m_mdb;
        entry.object_type = MDB_SYSTEM_TABLE;
        entry.table_pg = kCatalogPage;
        std::strcpy(entry.object_name, "MSysObjects");
        MdbTableDef *catalog = mdb_read_table(&entry);
        if (!catalog) {
            fail(wire::NoCatalog);
            return false;
        }
        const bool inside = dataInside(*catalog, wire::kCatalog);
        mdb_free_tabledef(catalog);
        return inside;
    }

    bool readRows(int t)
    {
        const TableSpec &spec = kTables[t];
        MdbTableDef *table = m_tables[t];
        // Every column is bound, so that libmdb records where each value lies in the page;
        // text is taken from the bound buffer (converted to UTF-8 by libmdb), numbers and
        // dates from the page bytes.
        std::vector<std::vector<char>> bound(std::size_t(spec.columnCount));
        std::vector<int> lengths(std::size_t(spec.columnCount), 0);
        for (int c = 0; c < spec.columnCount; ++c) {
            bound[c].assign(m_mdb->bind_size + 1, '\0');
            mdb_bind_column(table, m_columnIndex[t][c] + 1, bound[c].data(), &lengths[c]);
        }

        m_out.u8(wire::Begin);
        m_out.u8(unsigned(t));
        m_out.u32(table->num_rows);
        mdb_rewind_table(table);
        unsigned long count = 0;
        while (mdb_fetch_row(table)) {
            if (count >= table->num_rows) {
                fail(wire::RowCount, t, wire::kNone, std::uint32_t(count + 1), table->num_rows);
                return false;
            }
            if (table->cur_phys_pg >= m_pageCount) {
                fail(wire::PageOutside, t, wire::kNone, table->cur_phys_pg);
                return false;
            }
            m_out.u8(wire::Row);
            for (int c = 0; c < spec.columnCount; ++c) {
                const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, m_columnIndex[t][c]));
                if (!writeValue(spec.columns[c].kind, *column, bound[c])) {
                    fail(wire::BadValue, t, c, std::uint32_t(count + 1));
                    return false;
                }
            }
            ++count;
            if (count % 128 == 0)
                m_out.flush();
            else
                m_out.flushIfFull();
        }
        if (count != table->num_rows) {
            fail(wire::RowCount, t, wire::kNone, std::uint32_t(count), table->num_rows);
            return false;
        }
        return true;
    }

    bool writeValue(Kind kind, const MdbColumn &column, const std::vector<char> &bound)
    {
        const int start = column.cur_value_start;
        const int length = column.cur_value_len;
        if (length == 0) {
            m_out.u8(wire::Null);
            return true;
        }
        if (kind == Kind::Text || kind == Kind::HeaderText) {
            const std::size_t size = strnlen(bound.data(), bound.size());
            if (size == 0) {
                m_out.u8(wire::Null);
            } else {
                m_out.u8(wire::Text);
                m_out.u32(std::uint32_t(size));
                m_out.raw(bound.data(), size);
            }
            return true;
        }
        if (start < 0 || length < 0 || start + length > kPageSize)
            return false;
        const unsigned char *bytes = m_mdb->pg_buf + start;
        switch (kind) {
        case Kind::Integer:
            if (length != 1 && length != 2 && length != 4)
                return false;
            m_out.u8(wire::Integer);
            // A Byte column is unsigned; the others are signed.
            m_out.i64(length == 1 ? std::int64_t(bytes[0]) : littleEndian(bytes, length));
            return true;
        case Kind::Money:
            if (length != 8)
                return false;
            m_out.u8(wire::Integer);
            m_out.i64(littleEndian(bytes, 8));
            return true;
        case Kind::Date:
        case Kind::Time:
            if (length != 8)
                return false;
            m_out.u8(wire::Real);
            m_out.i64(littleEndian(bytes, 8)); // the double's bits
            return true;
        case Kind::Text:
        case Kind::HeaderText:
            break;
        }
        return false;
    }

    const char *m_path;
    unsigned long m_pageCount;
    Sink &m_out;
    MdbHandle *m_mdb = nullptr;
    MdbTableDef *m_tables[kTableCount] = {};
    int m_columnIndex[kTableCount][kMaxColumns] = {};
};

void readInto(const char *path, unsigned long pageCount, Sink &out)
{
    {
        JetReader reader(path, pageCount, out);
        reader.run();
    }
    out.flush();
}

// The parent's half: turns the stream into rows, as it arrives.
class Decoder
{
public:
    Decoder(const QString &path, unsigned long pageCount, Meter &meter)
        : m_path(path)
        , m_pageCount(pageCount)
        , m_meter(meter)
    {
    }

    void feed(const char *data, qsizetype size)
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

    // After the stream ended; `childOk` is false when the reader died or was stopped.
    Tables finish(bool childOk)
    {
        if (m_failure)
            throw *m_failure;
        if (!m_done || !childOk || !m_buffer.isEmpty())
            throw damaged(m_path, QStringLiteral("чтение файла прервалось"));
        return std::move(m_tables);
    }

private:
    struct Cursor
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
        quint32 u32()
        {
            if (!need(4))
                return 0;
            const quint32 v = qFromLittleEndian<quint32>(p);
            p += 4;
            return v;
        }
        qint64 i64()
        {
            if (!need(8))
                return 0;
            const qint64 v = qFromLittleEndian<qint64>(p);
            p += 8;
            return v;
        }
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

    // Parses one whole record; false when it has not all arrived yet.
    bool parseOne()
    {
        Cursor in{m_buffer.constData() + m_position, m_buffer.constData() + m_buffer.size()};
        if (in.p == in.end)
            return false;
        const quint8 tag = in.u8();
        switch (tag) {
        case wire::Total: {
            const quint32 total = in.u32();
            if (!in.ok)
                return false;
            m_meter.setTotal(2 * qint64(total)); // each row is read and then written
            break;
        }
        case wire::Begin: {
            const quint8 table = in.u8();
            const quint32 rows = in.u32();
            if (!in.ok)
                return false;
            if (table != m_tables.size() || table >= kTableCount)
                return broken();
            Table t;
            t.name = QString::fromLatin1(kTables[table].name);
            for (int c = 0; c < kTables[table].columnCount; ++c)
                t.columns << QString::fromLatin1(kTables[table].columns[c].name);
            m_tables << t;
            m_rowsDeclared = rows;
            break;
        }
        case wire::Row: {
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
            break;
        }
        case wire::Failure: {
            const quint8 problem = in.u8();
            const quint8 table = in.u8();
            const quint8 column = in.u8();
            const quint32 a = in.u32();
            const quint32 b = in.u32();
            if (!in.ok)
                return false;
            m_failure = failure(problem, table, column, a, b);
            m_finished = true;
            break;
        }
        case wire::Done:
            if (m_tables.size() != kTableCount)
                return broken();
            m_done = m_finished = true;
            break;
        default:
            return broken();
        }
        m_position = in.p - m_buffer.constData();
        return true;
    }

    // False with `in.ok` still true for a value that makes no sense.
    bool parseRow(Cursor &in, QVariantList &row)
    {
        const int tableIndex = int(m_tables.size()) - 1;
        const TableSpec &spec = kTables[tableIndex];
        for (int c = 0; c < spec.columnCount; ++c) {
            const Kind kind = spec.columns[c].kind;
            const quint8 type = in.u8();
            if (!in.ok)
                return false;
            if (type == wire::Null) {
                if (c == 0) {
                    m_failure = damaged(m_path, QStringLiteral("в таблице %1 есть запись без номера").arg(spec.name));
                    return false;
                }
                // The header row's texts are "" rather than NULL: the program compares them.
                row << (kind == Kind::HeaderText ? QVariant(QString::fromUtf16(u"", 0)) : QVariant());
                continue;
            }
            switch (kind) {
            case Kind::Integer:
            case Kind::Money: {
                if (type != wire::Integer)
                    return false;
                const qint64 value = in.i64();
                if (!in.ok)
                    return false;
                row << value;
                break;
            }
            case Kind::Date:
            case Kind::Time: {
                if (type != wire::Real)
                    return false;
                const double value = in.real();
                if (!in.ok)
                    return false;
                const QString text = kind == Kind::Date ? oleDateText(value) : oleTimeText(value);
                if (text.isNull()) {
                    m_failure = damaged(m_path, QStringLiteral("недопустимая дата в поле %1.%2 записи %3")
                                                    .arg(spec.name, spec.columns[c].name, row.value(0).toString()));
                    return false;
                }
                row << text;
                break;
            }
            case Kind::Text:
            case Kind::HeaderText: {
                if (type != wire::Text)
                    return false;
                const quint32 size = in.u32();
                if (in.ok && size > wire::kMaxText)
                    return false;
                const QByteArray bytes = in.bytes(size);
                if (!in.ok)
                    return false;
                row << QString::fromUtf8(bytes);
                break;
            }
            }
        }
        return true;
    }

    bool broken()
    {
        m_failure = damaged(m_path, QStringLiteral("чтение файла дало непонятный результат"));
        m_finished = true;
        return false;
    }

    JetError failure(quint8 problem, quint8 table, quint8 column, quint32 a, quint32 b) const
    {
        const QString name = table < kTableCount      ? QString::fromLatin1(kTables[table].name)
                             : table == wire::kCatalog ? QStringLiteral("MSysObjects (список таблиц)")
                                                       : QString();
        const QString field = table < kTableCount && column < kTables[table].columnCount
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

    QString m_path;
    unsigned long m_pageCount;
    Meter &m_meter;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    Tables m_tables;
    quint32 m_rowsDeclared = 0;
    bool m_done = false;
    bool m_finished = false;
    std::optional<JetError> m_failure;
};

} // namespace

const TableSpec kTables[kTableCount] = {
    {"List", kListColumns, int(std::size(kListColumns))},
    {"Rashod", kRashodColumns, int(std::size(kRashodColumns))},
    {"Dohod", kDohodColumns, int(std::size(kDohodColumns))},
    {"VelTor", kVelTorColumns, int(std::size(kVelTorColumns))},
    {"Valuta", kValutaColumns, int(std::size(kValutaColumns))},
};

#ifdef Q_OS_UNIX

namespace {

// The reading child: killed and reaped on every way out, so that none is left behind.
class Child
{
public:
    Child(pid_t pid, int fd)
        : m_pid(pid)
        , m_fd(fd)
    {
    }
    ~Child()
    {
        ::close(m_fd);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    int fd() const { return m_fd; }
    void kill() { ::kill(m_pid, SIGKILL); }

    // True when the child ended normally, with status 0.
    bool wait()
    {
        int status = 0;
        pid_t result;
        do {
            result = ::waitpid(m_pid, &status, 0);
        } while (result < 0 && errno == EINTR);
        m_pid = -1;
        return result > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_pid;
    int m_fd;
};

[[noreturn]] void runChild(const char *path, unsigned long pageCount, int fd)
{
    // A crash here must end only this process, quietly: no handler of the parent's, no core
    // file, no libmdb chatter on the terminal.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE})
        ::signal(sig, SIG_DFL);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0)
        ::dup2(devnull, STDERR_FILENO);
    int code = 0;
    try {
        Sink out(fd);
        readInto(path, pageCount, out);
    } catch (...) {
        code = 3;
    }
    // _exit: nothing of the parent's (atexit handlers, stdio buffers) may run twice.
    ::_exit(code);
}

// A reader that sends nothing for this long is taken to be stuck on a damaged file.
constexpr qint64 kSilenceLimitMs = 120 * 1000;

} // namespace

Tables readTables(const QString &path, unsigned long pageCount, Meter &meter)
{
    const QByteArray nativePath = QFile::encodeName(path);
    int fds[2];
    if (::pipe(fds) != 0)
        throw JetError(path, QStringLiteral("Не удалось начать чтение файла «%1»: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw JetError(path, QStringLiteral("Не удалось начать чтение файла «%1»: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    if (pid == 0) {
        ::close(fds[0]);
        runChild(nativePath.constData(), pageCount, fds[1]);
    }
    ::close(fds[1]);

    Child child(pid, fds[0]);
    Decoder decoder(path, pageCount, meter);
    QElapsedTimer silence;
    silence.start();
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        pollfd ready{child.fd(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, 100);
        if (polled < 0 && errno != EINTR)
            break;
        if (polled > 0) {
            const ssize_t n = ::read(child.fd(), chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // the end of the stream, or a pipe that broke: the decoder tells
            decoder.feed(chunk.data(), n);
            silence.restart();
        } else if (silence.elapsed() > kSilenceLimitMs) {
            child.kill();
            break;
        }
        meter.poll(); // may raise Cancelled; the child is then killed on the way out
    }
    return decoder.finish(child.wait());
}

#else

// Without fork() libmdb reads in this process: a crash on a damaged file is not contained.
Tables readTables(const QString &path, unsigned long pageCount, Meter &meter)
{
    const QByteArray nativePath = QFile::encodeName(path);
    Sink out;
    readInto(nativePath.constData(), pageCount, out);
    Decoder decoder(path, pageCount, meter);
    decoder.feed(out.buffer().data(), qsizetype(out.buffer().size()));
    return decoder.finish(true);
}

#endif

} // namespace jet::detail
