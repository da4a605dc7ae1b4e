#include "platform/sim/VirtualClock.h"

namespace tidyword::platform::sim {

class VirtualClock::VirtualAlarm final : public Clock::Alarm {
public:
    VirtualAlarm(std::weak_ptr<VirtualClock*> clock, Key key)
        : clock_(std::move(clock)), key_(key) {}
    ~VirtualAlarm() override {
        if (auto clock = clock_.lock()) {
            (*clock)->cancel(key_);
        }
    }

private:
    std::weak_ptr<VirtualClock*> clock_;
    Key key_;
};

VirtualClock::VirtualClock(const QDateTime& start, Duration uptime)
    : wallClockSet_(start.toUTC()),
      uptimeWhenSet_(uptime),
      uptime_(uptime),
      self_(std::make_shared<VirtualClock*>(this)) {}

VirtualClock::~VirtualClock() = default;

QDateTime VirtualClock::now() const {
    const auto sinceSet =
        std::chrono::duration_cast<std::chrono::milliseconds>(uptime_ - uptimeWhenSet_);
    return wallClockSet_.addMSecs(sinceSet.count());
}

Clock::Duration VirtualClock::uptime() const {
    return uptime_;
}

std::unique_ptr<Clock::Alarm> VirtualClock::setAlarm(Duration delay, std::function<void()> ring) {
    const Key key{uptime_ + std::max(delay, Duration::zero()), nextSequence_++};
    pending_.emplace(key, std::move(ring));
    return std::make_unique<VirtualAlarm>(self_, key);
}

void VirtualClock::advance(Duration step) {
    const Duration target = uptime_ + std::max(step, Duration::zero());
    // Take alarms one at a time: a ring may set or cancel others.
    while (!pending_.empty() && pending_.begin()->first.first <= target) {
        auto due = pending_.extract(pending_.begin());
        uptime_ = due.key().first;
        due.mapped()();
    }
    uptime_ = target;
}

void VirtualClock::setNow(const QDateTime& now) {
    wallClockSet_ = now.toUTC();
    uptimeWhenSet_ = uptime_;
}

int VirtualClock::pendingAlarmCount() const {
    return static_cast<int>(pending_.size());
}

std::optional<Clock::Duration> VirtualClock::untilNextAlarm() const {
    if (pending_.empty()) {
        return std::nullopt;
    }
    return pending_.begin()->first.first - uptime_;
}

void VirtualClock::cancel(const Key& key) {
    pending_.erase(key);
}

}  // namespace tidyword::platform::sim
