#pragma once

namespace ui {

// Where a test puts the handler that answers a kind of box or dialog in place of the user:
// one for each handler type, empty (the real dialog shows) until a test sets it.
template <typename Handler>
Handler &handlerOf()
{
    static Handler instance;
    return instance;
}

} // namespace ui
