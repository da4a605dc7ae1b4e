// Cooperative cancellation of main-thread tasks: the owner of a task cancels its source, the task
// and the awaitables it passes the token to notice, and the task ends with `Cancelled`.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace tidyword {

// How a cancelled task ends. It is never an error for the user: nobody shows it.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override;
};

namespace detail {
struct CancellationState;
}

// The task's view of its cancellation. A default token is never cancelled. Copies share state.
class CancellationToken {
public:
    // Keeps a cancellation callback registered; destroying it unregisters the callback.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept = default;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription();

    private:
        friend class CancellationToken;
        Subscription(std::weak_ptr<detail::CancellationState> state, std::uint64_t id);
        void reset();

        std::weak_ptr<detail::CancellationState> state_;
        std::uint64_t id_ = 0;
    };

    CancellationToken() = default;

    bool isCancelled() const noexcept;
    // Throws `Cancelled` when the token has been cancelled; for the checkpoints of a task.
    void throwIfCancelled() const;

    // Calls `onCancel` once, synchronously inside `cancel()` (or at once if the token is already
    // cancelled), unless the subscription has been destroyed first.
    [[nodiscard]] Subscription subscribe(std::function<void()> onCancel) const;

private:
    friend class CancellationSource;
    explicit CancellationToken(std::shared_ptr<detail::CancellationState> state);

    std::shared_ptr<detail::CancellationState> state_;
};

// The owner's side: hands out tokens and cancels them all at once.
class CancellationSource {
public:
    CancellationSource();

    CancellationToken token() const;
    // Idempotent. Runs the subscribed callbacks, each once, before returning.
    void cancel();
    bool isCancelled() const noexcept;

private:
    std::shared_ptr<detail::CancellationState> state_;
};

}  // namespace tidyword
