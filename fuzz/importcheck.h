#pragma once

// What every reader of the imports promises, checked on each fuzzed result: a candidate
// is whole, fits the ledger's columns, and a refused file says so in a ledger::Error.
#include "imports/importplan.h"

#include "ledger/bookkeeping.h"
#include "ledger/error.h"

#include <cstdlib>

namespace fuzzcheck {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

inline void checkResult(const imports::ReadResult &result)
{
    for (const imports::Candidate &c : result.candidates) {
        require(c.moment.isValid());
        require(!c.key.isEmpty());
        require(c.amount >= ledger::Money());
        require(!c.origin.isEmpty());
        try {
            if (c.direction == imports::Direction::Expense) {
                require(!c.lines.isEmpty());
                for (const ledger::ExpenseLine &line : c.lines) {
                    ledger::checkExpenseLine(line);
                    require(line.date == c.moment.date());
                }
            } else {
                require(!c.incomeType.isEmpty());
                ledger::checkIncome(c.incomeType, c.comment);
            }
        } catch (const ledger::Error &) {
            std::abort(); // what the preview offers, the ledger must take
        }
    }
    for (const imports::Rejected &r : result.rejected)
        require(!r.reason.isEmpty() && !r.origin.isEmpty());
}

template <typename Read>
void readChecked(Read read)
{
    try {
        checkResult(read());
    } catch (const ledger::Error &e) {
        require(e.text().startsWith(QStringLiteral("Файл «")));
    }
}

} // namespace fuzzcheck
