#pragma once

// The reading half of the conversion: libmdb reads the five tables and the reader writes
// them into the stream of wire.h. It runs where a crash of libmdb harms nothing (a child
// process on Unix) and uses no Qt and no state of the caller: only libmdb with its glib and
// iconv, malloc and write(2).

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet::detail {

// Where the stream goes: kept in memory and written to a pipe in chunks (or, without a
// pipe, handed over whole).
class Sink
{
public:
    explicit Sink(int fd = -1)
        : m_fd(fd)
    {
    }

    void u8(unsigned value) { m_buffer.push_back(char(value & 0xff)); }
    void u32(std::uint32_t value);
    void i64(std::int64_t value);
    void raw(const void *data, std::size_t size) { m_buffer.append(static_cast<const char *>(data), size); }
    void flushIfFull();
    // Writes what is kept to the pipe; ends the process when the reader of the pipe is gone.
    void flush();
    const std::string &buffer() const { return m_buffer; }

private:
    int m_fd;
    std::string m_buffer;
};

// Reads the five tables of the Jet 4.0 file at `path` (`pageCount` pages) into `out`, down
// to the record that ends the stream: Done, or a Failure that says what was wrong.
void readInto(const char *path, unsigned long pageCount, Sink &out);

} // namespace jet::detail
