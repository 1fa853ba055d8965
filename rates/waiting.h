#pragma once

#include <functional>

// Waiting on the window's thread without freezing the window.
namespace rates {

// Runs `work` on a thread of its own while the calling thread waits in a local event loop,
// so that the window keeps being painted (user input waits until this returns). An exception
// thrown by `work` is rethrown here. Needs a QCoreApplication.
void runWaiting(const std::function<void()> &work);

} // namespace rates
