// A handle on a running main-thread task that its owner can cancel and others can await. The
// task keeps running to its end when every handle is dropped.
#pragma once

#include "async/Cancellation.h"

#include <qcoro/qcorotask.h>

#include <concepts>
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace tidyword {

template <typename T = void>
class TaskHandle {
public:
    // An empty handle: no task, nothing to cancel.
    TaskHandle() = default;

    // Runs `work(token)` at once, up to its first suspension, as a task of its own. `work` is
    // kept alive until the task ends, so a lambda's captures may be used across suspensions.
    template <typename Work>
    requires std::same_as<std::invoke_result_t<Work, CancellationToken>, QCoro::Task<T>>
    static TaskHandle start(Work work) {
        TaskHandle handle(std::make_shared<State>());
        run(handle.state_, std::move(work));
        return handle;
    }

    bool isEmpty() const noexcept { return !state_; }
    bool isFinished() const noexcept { return state_ && state_->finished; }
    bool isCancelled() const noexcept { return state_ && state_->source.isCancelled(); }

    // Asks the task to stop: its token reports cancellation from now on.
    void cancel() const {
        if (state_) {
            state_->source.cancel();
        }
    }

    // Completes when the task has ended: with its value, or by rethrowing what it threw
    // (`Cancelled` included). Any number of callers may await it. An empty handle has no task to
    // wait for and ends with `Cancelled`.
    QCoro::Task<T> result() const {
        const auto state = state_;  // the awaited task's state outlives this handle
        if (!state) {
            throw Cancelled{};
        }
        co_await FinishedAwaiter{state.get()};
        if (state->error) {
            std::rethrow_exception(state->error);
        }
        if constexpr (!std::is_void_v<T>) {
            // A copy for each awaiter: QCoro moves from whatever lvalue is returned.
            co_return T(*state->value);
        }
    }

private:
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    struct State {
        CancellationSource source;
        bool finished = false;
        std::optional<Value> value;
        std::exception_ptr error;
        std::vector<std::coroutine_handle<>> waiters;
    };

    struct FinishedAwaiter {
        State* state;
        bool await_ready() const noexcept { return state->finished; }
        void await_suspend(std::coroutine_handle<> waiter) { state->waiters.push_back(waiter); }
        void await_resume() const noexcept {}
    };

    explicit TaskHandle(std::shared_ptr<State> state) : state_(std::move(state)) {}

    // The returned task is dropped at once; QCoro then lets the coroutine finish on its own.
    template <typename Work>
    static QCoro::Task<void> run(std::shared_ptr<State> state, Work work) {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await work(state->source.token());
                state->value.emplace();
            } else {
                state->value.emplace(co_await work(state->source.token()));
            }
        } catch (...) {
            state->error = std::current_exception();
        }
        state->finished = true;
        auto waiters = std::exchange(state->waiters, {});
        for (auto waiter : waiters) {
            waiter.resume();
        }
    }

    std::shared_ptr<State> state_;
};

}  // namespace tidyword
