#include "async/Sleep.h"
#include "platform/SystemClock.h"
#include "platform/sim/VirtualClock.h"
#include "support/EventLoop.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using platform::Clock;
using platform::SystemClock;
using platform::sim::VirtualClock;

// Sleeps for `delay`, then records its label and the time it woke at.
QCoro::Task<void> sleepAndRecord(Clock& clock, Clock::Duration delay, int label,
                                 std::vector<std::pair<int, Clock::Duration>>& woke) {
    co_await sleep(clock, delay);
    woke.emplace_back(label, clock.uptime());
}

TEST(SleepTest, VirtualSleepsWakeInDeadlineOrderAtTheirDeadlines) {
    VirtualClock clock;
    const auto start = clock.uptime();
    std::vector<std::pair<int, Clock::Duration>> woke;
    // Started out of order, with a tie between the last two.
    auto longest = sleepAndRecord(clock, 3h, 1, woke);
    auto shortest = sleepAndRecord(clock, 40ms, 2, woke);
    auto middle = sleepAndRecord(clock, 180s, 3, woke);
    auto tied = sleepAndRecord(clock, 180s, 4, woke);

    clock.advance(39ms);
    EXPECT_TRUE(woke.empty());

    clock.advance(3h);

    const std::vector<std::pair<int, Clock::Duration>> expected{
        {2, start + 40ms}, {3, start + 180s}, {4, start + 180s}, {1, start + 3h}};
    EXPECT_EQ(woke, expected);
    EXPECT_EQ(clock.uptime(), start + 39ms + 3h);
    EXPECT_EQ(clock.pendingAlarmCount(), 0);
}

TEST(SleepTest, CancelledSleepEndsWithCancelledAndLeavesNoAlarm) {
    for (const auto& [name, onVirtualTime, cancelFirst] :
         {std::tuple{"VirtualBefore", true, true}, std::tuple{"VirtualDuring", true, false},
          std::tuple{"SystemBefore", false, true}, std::tuple{"SystemDuring", false, false}}) {
        VirtualClock virtualClock;
        SystemClock systemClock;
        Clock& clock = onVirtualTime ? static_cast<Clock&>(virtualClock) : systemClock;
        CancellationSource source;
        if (cancelFirst) {
            source.cancel();
        } else {
            // Cancelled from the event loop while the (hour-long) sleep is pending.
            QTimer::singleShot(0, [&source] { source.cancel(); });
        }
        EXPECT_THROW(test::runToCompletion(sleep(clock, 1h, source.token())), Cancelled) << name;
        EXPECT_EQ(virtualClock.pendingAlarmCount(), 0) << name;
    }
}

TEST(SleepTest, CancellationResumesTheSleeperOnlyAfterTheCancellerReturns) {
    VirtualClock clock;
    CancellationSource source;
    bool ended = false;
    auto sleeper = [](Clock& clock, CancellationToken token, bool& ended) -> QCoro::Task<void> {
        try {
            co_await sleep(clock, 1s, token);
        } catch (const Cancelled&) {
        }
        ended = true;
    }(clock, source.token(), ended);

    source.cancel();
    EXPECT_FALSE(ended);
    test::runEventLoopUntil([&ended] { return ended; });
}

}  // namespace
}  // namespace tidyword
