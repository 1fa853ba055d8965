#pragma once

#include "messages.h"

#include "ledger/error.h"

#include <exception>
#include <new>
#include <utility>

namespace ui {

// Runs a handler's body; an error it does not handle ends it and is shown in the standard
// error box, and the program goes on. No exception may leave a Qt slot.
template<typename F>
bool guard(QWidget *parent, F &&body)
{
    try {
        std::forward<F>(body)();
        return true;
    } catch (const ledger::Error &e) {
        showError(parent, e.text());
    } catch (const std::bad_alloc &) {
        showError(parent, QStringLiteral("Out of memory"));
    } catch (const std::exception &e) {
        showError(parent, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showError(parent, QStringLiteral("Неизвестная ошибка"));
    }
    return false;
}

// A slot that runs through the guard: connect(button, &QPushButton::clicked, guarded(this, [this] { ... })).
template<typename F>
auto guarded(QWidget *parent, F body)
{
    return [parent, body = std::move(body)](auto &&...) { guard(parent, body); };
}

} // namespace ui
