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

// Processes events until `done()` holds.
void runEventLoopUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds watchdog = kWatchdog);

// Processes events for `duration` of real time, for work that happens outside this process.
void processEventsFor(std::chrono::milliseconds duration);

// Drives `task` to its end and returns its value, or rethrows what it threw.
template <typename T>
T runToCompletion(QCoro::Task<T> task, std::chrono::milliseconds watchdog = kWatchdog) {
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;
    std::optional<Value> value;
    std::exception_ptr error;
    bool finished = false;
    auto observe = [](QCoro::Task<T> observed, std::optional<Value>& value,
                      std::exception_ptr& error, bool& finished) -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await observed;
                value.emplace();
            } else {
                value.emplace(co_await observed);
            }
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    };
    auto observer = observe(std::move(task), value, error, finished);
    runEventLoopUntil([&finished] { return finished; }, watchdog);
    if (error) {
        std::rethrow_exception(error);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*value);
    }
}

}  // namespace tidyword::test
