#pragma once

// The stream in which the reading child hands the parent what it read: records of a tag byte
// and a payload, numbers little endian. Plain constants: the child uses them too.

#include <cstdint>

namespace jet::detail::wire {

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
inline constexpr unsigned char kNone = 0xff;
// The table number that stands for the catalog in a failure.
inline constexpr unsigned char kCatalog = 0xfe;
// Longest text the child sends: libmdb's bind buffer.
inline constexpr std::uint32_t kMaxText = 1u << 20;

} // namespace jet::detail::wire
