// The seam to time: wall-clock now, monotonic uptime, and alarms that can be cancelled. Every
// pause, poll, time-out and "now" in Tidyword goes through it, so tests can run time virtually.
#pragma once

#include <QDateTime>

#include <chrono>
#include <functional>
#include <memory>

namespace tidyword::platform {

class Clock {
public:
    using Duration = std::chrono::nanoseconds;

    // Destroying an alarm that has not rung yet cancels it; afterwards it never rings.
    class Alarm {
    public:
        virtual ~Alarm() = default;
    };

    virtual ~Clock() = default;

    // The wall-clock time, in UTC. It may jump (the user sets the clock); never use it to
    // measure intervals.
    virtual QDateTime now() const = 0;

    // Time since an arbitrary fixed origin (the system's boot on a real machine); never goes
    // backwards and is unaffected by changes to the wall clock.
    virtual Duration uptime() const = 0;

    // Calls `ring` once, on the main thread but never from inside this call, when at least `delay`
    // of uptime has passed, unless the returned alarm is destroyed first; never earlier. `ring` may
    // destroy its own alarm and may set new ones.
    [[nodiscard]] virtual std::unique_ptr<Alarm> setAlarm(Duration delay,
                                                          std::function<void()> ring) = 0;
};

}  // namespace tidyword::platform
