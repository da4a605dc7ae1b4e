// The real clock: the system's wall clock, its monotonic clock, and alarms on Qt timers.
#pragma once

#include "platform/Clock.h"

namespace tidyword::platform {

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    Duration uptime() const override;
    std::unique_ptr<Alarm> setAlarm(Duration delay, std::function<void()> ring) override;
};

}  // namespace tidyword::platform
