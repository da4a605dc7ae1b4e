// A clock for tests whose time moves only when the test advances it: a sleep of any length ends
// as soon as the test moves past its deadline, without real waiting, in deadline order.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace tidyword::platform::sim {

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(const QDateTime& start = QDateTime(QDate(2026, 12, 6), QTime(9, 0),
                                                             Qt::UTC),
                          Duration uptime = std::chrono::hours(1));
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    QDateTime now() const override;
    Duration uptime() const override;
    std::unique_ptr<Alarm> setAlarm(Duration delay, std::function<void()> ring) override;

    // Moves both time lines forward by `step`. Each alarm due within the step rings at its own
    // deadline (the clock reads exactly that time while it rings), in deadline order, ties in
    // the order they were set; alarms that ringing sets are rung too if they fall within the
    // step. Rings run synchronously, inside this call.
    void advance(Duration step);

    // Sets the wall clock alone, as when the user changes the system time; uptime and alarms
    // are unaffected.
    void setNow(const QDateTime& now);

    int pendingAlarmCount() const;
    // How long until the next alarm rings; none when nothing is pending.
    std::optional<Duration> untilNextAlarm() const;

private:
    class VirtualAlarm;
    using Key = std::pair<Duration, std::uint64_t>;  // deadline, then the order set

    void cancel(const Key& key);

    // The wall clock runs with uptime from the last time it was set, so that it does not
    // drift from it by rounding.
    QDateTime wallClockSet_;
    Duration uptimeWhenSet_;
    Duration uptime_;
    std::uint64_t nextSequence_ = 0;
    std::map<Key, std::function<void()>> pending_;
    // Alarms hold this weakly, so one that outlives the clock is harmless.
    std::shared_ptr<VirtualClock*> self_;
};

}  // namespace tidyword::platform::sim
