#include "async/Sleep.h"
#include "async/TaskHandle.h"
#include "platform/sim/VirtualClock.h"
#include "service/BetaError.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using platform::sim::VirtualClock;

QCoro::Task<int> failAfter(platform::Clock& clock, BetaError::Code code) {
    co_await sleep(clock, 1s);
    throw BetaError(code);
}

TEST(TaskHandleTest, DroppedHandleKeepsRunning) {
    VirtualClock clock;
    int steps = 0;
    {
        // The captures live as long as the task, not as long as the handle.
        auto handle = TaskHandle<>::start([&clock, &steps](CancellationToken) -> QCoro::Task<> {
            ++steps;
            co_await sleep(clock, 5s);
            ++steps;
        });
    }
    EXPECT_EQ(steps, 1);
    clock.advance(5s);
    EXPECT_EQ(steps, 2);
}

// Every awaiter gets the task's value or exception, however many wait and whether they began
// before the task ended or after.
TEST(TaskHandleTest, OutcomeReachesEveryAwaiterEvenAfterTheTaskFinished) {
    VirtualClock clock;
    auto value = TaskHandle<QString>::start([&clock](CancellationToken) -> QCoro::Task<QString> {
        co_await sleep(clock, 1s);
        co_return QStringLiteral("rewritten");
    });
    auto failing = TaskHandle<int>::start(
        [&clock](const CancellationToken&) { return failAfter(clock, BetaError::timedOut); });
    auto earlyValue = value.result();
    auto firstFailure = failing.result();
    auto secondFailure = failing.result();
    clock.advance(1s);
    EXPECT_TRUE(value.isFinished());
    EXPECT_EQ(test::runToCompletion(std::move(earlyValue)), QStringLiteral("rewritten"));
    EXPECT_EQ(test::runToCompletion(value.result()), QStringLiteral("rewritten"));
    for (auto* waiter : {&firstFailure, &secondFailure}) {
        EXPECT_EQ(
            test::codeThrownBy<BetaError>([waiter] { test::runToCompletion(std::move(*waiter)); }),
            BetaError::timedOut);
    }
}

TEST(TaskHandleTest, CancelStopsASleepingTaskWithCancelled) {
    VirtualClock clock;
    bool sawCancellation = false;
    auto handle =
        TaskHandle<>::start([&clock, &sawCancellation](CancellationToken token) -> QCoro::Task<> {
            try {
                co_await sleep(clock, 45s, token);
            } catch (const Cancelled&) {
                sawCancellation = token.isCancelled();
                throw;
            }
        });

    handle.cancel();

    EXPECT_TRUE(handle.isCancelled());
    EXPECT_THROW(test::runToCompletion(handle.result()), Cancelled);
    EXPECT_TRUE(sawCancellation);
    EXPECT_TRUE(handle.isFinished());
    EXPECT_EQ(clock.pendingAlarmCount(), 0);
}

}  // namespace
}  // namespace tidyword
