// Runs tasks on the virtual clock: whenever nothing else is left to do, time jumps to the next
// alarm, so a task that waits 16 × 40 ms finishes at once and deterministically.
#pragma once

#include "platform/sim/VirtualClock.h"
#include "support/EventLoop.h"

#include <QCoreApplication>

#include <functional>

namespace tidyword::test {

// Processes events, and moves virtual time on whenever none are left, until `done()` holds.
inline void runVirtualTimeUntil(const std::function<bool()>& done,
                                platform::sim::VirtualClock& clock) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (done()) {
            break;
        }
        const auto next = clock.untilNextAlarm();
        if (!next) {
            // Only something outside virtual time can finish it now.
            runEventLoopUntil(done);
            break;
        }
        clock.advance(*next);
    }
}

template <typename T>
T runOnVirtualTime(QCoro::Task<T> task, platform::sim::VirtualClock& clock) {
    Outcome<T> outcome;
    auto observer = observe(std::move(task), outcome);
    runVirtualTimeUntil([&outcome] { return outcome.finished; }, clock);
    return outcome.take();
}

}  // namespace tidyword::test
