// Runs a task on the virtual clock: whenever nothing else is left to do, time jumps to the next
// alarm, so a task that waits 16 × 40 ms finishes at once and deterministically.
#pragma once

#include "platform/sim/VirtualClock.h"
#include "support/EventLoop.h"

#include <QCoreApplication>

namespace tidyword::test {

template <typename T>
T runOnVirtualTime(QCoro::Task<T> task, platform::sim::VirtualClock& clock) {
    Outcome<T> outcome;
    auto observer = observe(std::move(task), outcome);
    while (!outcome.finished) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (outcome.finished) {
            break;
        }
        const auto next = clock.untilNextAlarm();
        if (!next) {
            // Only something outside virtual time can finish it now.
            runEventLoopUntil([&outcome] { return outcome.finished; });
            break;
        }
        clock.advance(*next);
    }
    return outcome.take();
}

}  // namespace tidyword::test
