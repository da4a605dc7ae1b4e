#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tidyword::test {

void runEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds watchdog,
                       Caller caller) {
    bool expired = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&expired] { expired = true; });
    timer.start(watchdog);
    while (!done()) {
        if (expired) {
            // The suspended task still points into this test's stack, so the program cannot
            // safely go on to the next test.
            const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
            std::fprintf(stderr, "%s.%s: the awaited work did not finish within %lld ms (%s:%u)\n",
                         test ? test->test_suite_name() : "?", test ? test->name() : "?",
                         static_cast<long long>(watchdog.count()), caller.file, caller.line);
            std::abort();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void pollUntil(const std::function<bool()>& done, std::chrono::milliseconds interval,
               std::chrono::milliseconds watchdog, Caller caller) {
    QTimer ticks;
    ticks.start(interval);  // each tick wakes the loop to look again
    runEventLoopUntil(done, watchdog, caller);
}

void processEventsFor(std::chrono::milliseconds duration) {
    bool elapsed = false;
    QTimer::singleShot(duration, [&elapsed] { elapsed = true; });
    runEventLoopUntil([&elapsed] { return elapsed; }, duration + kWatchdog);
}

}  // namespace tidyword::test
