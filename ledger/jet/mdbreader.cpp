// Reading the five tables of a Jet 4.0 file with libmdb, into the stream of wire.h.
//
// libmdb trusts the file. Given a damaged table definition and a caller that goes on after
// a failed step, it reads out of bounds and crashes (one changed byte in a column count is
// enough). This reader checks every step, and a few thousand damaged copies of the sample
// files found no crash left; still, libmdb is a C parser of foreign files and not ours to
// vouch for, which is why it runs apart (see readtables.cpp).
//
// Before and while reading, it checks what libmdb takes on trust: every page a table needs
// (its definition, the data pages of its usage map; the catalog's too) lies inside the file,
// and a table gives as many rows as its definition counts. Without that a truncated file
// reads as short or empty tables, without a word.

#include "mdbreader.h"

#include "detail.h"
#include "wire.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstring>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace jet::detail {

void Sink::u32(std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        u8(value >> (8 * i));
}

void Sink::i64(std::int64_t value)
{
    const auto bits = std::uint64_t(value);
    for (int i = 0; i < 8; ++i)
        u8(unsigned(bits >> (8 * i)));
}

void Sink::flushIfFull()
{
    if (m_buffer.size() >= 16 * 1024)
        flush();
}

void Sink::flush()
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

namespace {

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

// Reads the tables one after another, checking each step libmdb would take on trust.
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
        const ledger::columns::Table &wanted = kTables[t];
        MdbCatalogEntry *entry = mdb_get_catalogentry_by_name(m_mdb, wanted.name);
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
        for (int c = 0; c < wanted.count; ++c) {
            int found = -1;
            for (unsigned i = 0; i < table->num_cols; ++i) {
                const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, i));
                if (g_ascii_strcasecmp(column->name, wanted.columns[c].name) == 0)
                    found = int(i);
            }
            if (found < 0) {
                fail(wire::NoColumn, t, c);
                return false;
            }
            const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, found));
            if (!typeFits(kindOf(t, c), column->col_type)) {
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
        const ledger::columns::Table &wanted = kTables[t];
        MdbTableDef *table = m_tables[t];
        // Every column is bound, so that libmdb records where each value lies in the page;
        // text is taken from the bound buffer (converted to UTF-8 by libmdb), numbers and
        // dates from the page bytes.
        std::vector<std::vector<char>> bound(std::size_t(wanted.count));
        std::vector<int> lengths(std::size_t(wanted.count), 0);
        for (int c = 0; c < wanted.count; ++c) {
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
            for (int c = 0; c < wanted.count; ++c) {
                const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(table->columns, m_columnIndex[t][c]));
                if (!writeValue(kindOf(t, c), *column, bound[c])) {
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
    int m_columnIndex[kTableCount][kMostColumns] = {};
};

} // namespace

void readInto(const char *path, unsigned long pageCount, Sink &out)
{
    {
        JetReader reader(path, pageCount, out);
        reader.run();
    }
    out.flush();
}

} // namespace jet::detail
