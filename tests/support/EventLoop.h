// Runs the Qt event loop for a test until a task has finished. A watchdog on the real clock
// ends the whole test program if it never does, so that no test can hang.
#pragma once

#include <qcoro/qcorotask.h>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <variant>

namespace tidyword::test {

inline constexpr std::chrono::milliseconds kWatchdog{10'000};

// Where a wait was called from, for the watchdog's message: the builtins in a default argument
// name the call site, as std::source_location does where the clang tools can read it.
struct Caller {
    const char* file;
    unsigned line;
};

// Processes events until `done()` holds. A watchdog message names `caller`, the wait that hung.
void runEventLoopUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds watchdog = kWatchdog,
                       Caller caller = {__builtin_FILE(), __builtin_LINE()});

// Like runEventLoopUntil, for conditions that change outside this process's events (another
// program's window, the X server): looks again every `interval`.
void pollUntil(const std::function<bool()>& done,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20),
               std::chrono::milliseconds watchdog = kWatchdog,
               Caller caller = {__builtin_FILE(), __builtin_LINE()});

// Processes events for `duration` of real time, for work that happens outside this process.
void processEventsFor(std::chrono::milliseconds duration);

// How a task ended: its value, or what it threw.
template <typename T>
struct Outcome {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;
    std::optional<Value> value;
    std::exception_ptr error;
    bool finished = false;

    T take() {
        if (error) {
            std::rethrow_exception(error);
        }
        if constexpr (!std::is_void_v<T>) {
            return std::move(*value);
        }
    }
};

// Awaits `task` in a task of its own and records how it ended in `outcome`.
template <typename T>
QCoro::Task<void> observe(QCoro::Task<T> task, Outcome<T>& outcome) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            outcome.value.emplace();
        } else {
            outcome.value.emplace(co_await task);
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.finished = true;
}

// Drives `task` to its end and returns its value, or rethrows what it threw.
template <typename T>
T runToCompletion(QCoro::Task<T> task, std::chrono::milliseconds watchdog = kWatchdog,
                  Caller caller = {__builtin_FILE(), __builtin_LINE()}) {
    Outcome<T> outcome;
    auto observer = observe(std::move(task), outcome);
    runEventLoopUntil([&outcome] { return outcome.finished; }, watchdog, caller);
    return outcome.take();
}

}  // namespace tidyword::test
