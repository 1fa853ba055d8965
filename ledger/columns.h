#pragma once

#include <iterator>

// The five tables of a ledger and their columns, in the order the file keeps them: what the
// CREATE TABLE statements build, what a written text is checked against, what the import of
// an old ledger reads. Plain constant data, so that the import's reading child process,
// where nothing but libmdb may run, can use it too.
namespace ledger::columns {

enum class Type : unsigned char {
    Key,        // id: the row's number, given by the engine
    JournalRow, // Rashod.kod: the journal row an expense line belongs to
    Money,      // ten-thousandths in an integer
    Date,       // ISO date, some with a time of day
    Time,       // HH:MM:SS
    Text,       // at most `limit` characters
};

struct Column
{
    const char *name;
    Type type;
    // For text: the longest text the column takes, in characters, and what the user calls
    // the column in messages.
    int limit = 0;
    const char *caption = nullptr;
    // The engine fills in today's date or the time of the write when none is given.
    bool stampedNow = false;
};

struct Table
{
    const char *name;
    const Column *columns;
    int count;

    constexpr const Column *begin() const { return columns; }
    constexpr const Column *end() const { return columns + count; }
};

inline constexpr Column kList[] = {
    {"id", Type::Key},
    {"names", Type::Text, 100, "запись журнала"},
    {"suma", Type::Money},
    {"dates", Type::Date, 0, nullptr, true},
    {"times", Type::Time, 0, nullptr, true},
    {"dohod", Type::Text, 255, "доход"},
    {"comments", Type::Text, 255, "коментарии"},
};

inline constexpr Column kRashod[] = {
    {"id", Type::Key},
    {"kod", Type::JournalRow},
    {"names", Type::Text, 255, "товар/услуга"},
    {"price", Type::Money},
    {"counts", Type::Money},
    {"doc", Type::Text, 50, "документ №"},
    {"dates", Type::Date},
    {"comments", Type::Text, 255, "коментарии"},
};

inline constexpr Column kDohod[] = {
    {"id", Type::Key},
    {"names", Type::Text, 255, "описание дохода"},
};

inline constexpr Column kVelTor[] = {
    {"id", Type::Key},
    {"names", Type::Text, 255, "описание"},
    {"pas", Type::Text, 30, "пароль"},
};

inline constexpr Column kValuta[] = {
    {"id", Type::Key},
    {"dates", Type::Date, 0, nullptr, true},
    {"valuta1", Type::Text, 50, "валюта"},
    {"kurs1", Type::Money},
    {"valuta2", Type::Text, 50, "валюта"},
    {"kurs2", Type::Money},
    {"valuta3", Type::Text, 50, "валюта"},
    {"kurs3", Type::Money},
    {"valuta4", Type::Text, 50, "валюта"},
    {"kurs4", Type::Money},
    {"valuta5", Type::Text, 50, "валюта"},
    {"kurs5", Type::Money},
};

// The journal first: the expense lines refer to it.
inline constexpr Table kTables[] = {
    {"List", kList, int(std::size(kList))},
    {"Rashod", kRashod, int(std::size(kRashod))},
    {"Dohod", kDohod, int(std::size(kDohod))},
    {"VelTor", kVelTor, int(std::size(kVelTor))},
    {"Valuta", kValuta, int(std::size(kValuta))},
};
inline constexpr int kTableCount = int(std::size(kTables));

// The table whose one row is the ledger's header (description and password).
inline constexpr int kHeaderTable = 3;

inline constexpr int mostColumns()
{
    int most = 0;
    for (const Table &table : kTables)
        most = table.count > most ? table.count : most;
    return most;
}

} // namespace ledger::columns
