#include "async/Sleep.h"

#include <QCoreApplication>

#include <coroutine>

namespace tidyword {

namespace {

class SleepAwaiter {
public:
    SleepAwaiter(platform::Clock& clock, platform::Clock::Duration delay, CancellationToken token)
        : clock_(clock), delay_(delay), token_(std::move(token)) {}

    bool await_ready() const noexcept { return token_.isCancelled(); }

    void await_suspend(std::coroutine_handle<> waiter) {
        alarm_ = clock_.setAlarm(delay_, [this, waiter] {
            rang_ = true;
            subscription_ = {};
            waiter.resume();
        });
        subscription_ = token_.subscribe([this, waiter] {
            alarm_.reset();
            // The canceller is in the middle of its own work; the task goes on only after it.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
        });
    }

    void await_resume() const {
        if (!rang_) {
            throw Cancelled{};
        }
    }

private:
    platform::Clock& clock_;
    platform::Clock::Duration delay_;
    CancellationToken token_;
    std::unique_ptr<platform::Clock::Alarm> alarm_;
    CancellationToken::Subscription subscription_;
    bool rang_ = false;
};

}  // namespace

QCoro::Task<void> sleep(platform::Clock& clock, platform::Clock::Duration delay,
                        CancellationToken token) {
    co_await SleepAwaiter(clock, delay, std::move(token));
}

}  // namespace tidyword
