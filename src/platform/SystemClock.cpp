#include "platform/SystemClock.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace tidyword::platform {

namespace {

using std::chrono::ceil;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A Qt timer takes whole milliseconds in an int; longer waits are made of several timer runs.
constexpr milliseconds kLongestTimerRun{std::numeric_limits<int>::max()};

Clock::Duration monotonicNow() {
    return steady_clock::now().time_since_epoch();
}

class TimerAlarm final : public Clock::Alarm {
public:
    TimerAlarm(Clock::Duration delay, std::function<void()> ring)
        : deadline_(monotonicNow() + delay), ring_(std::move(ring)), timer_(new QTimer) {
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, timer_, [this] { onTimeout(); });
        arm();
    }

    ~TimerAlarm() override {
        // The alarm may be destroyed from inside its own ring, that is from the timer's signal:
        // the timer must outlive the emission.
        if (timer_) {
            timer_->stop();
            timer_->deleteLater();
        }
    }

private:
    void arm() {
        const auto remaining = std::max(Clock::Duration::zero(), deadline_ - monotonicNow());
        timer_->start(std::min(ceil<milliseconds>(remaining), kLongestTimerRun));
    }

    void onTimeout() {
        // Timers may fire a little early, and long waits span several runs: ring only once the
        // deadline has really passed.
        if (monotonicNow() < deadline_) {
            arm();
            return;
        }
        auto ring = std::move(ring_);
        ring();  // may destroy this alarm
    }

    Clock::Duration deadline_;
    std::function<void()> ring_;
    QPointer<QTimer> timer_;
};

}  // namespace

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTimeUtc();
}

Clock::Duration SystemClock::uptime() const {
    return monotonicNow();
}

std::unique_ptr<Clock::Alarm> SystemClock::setAlarm(Duration delay, std::function<void()> ring) {
    return std::make_unique<TimerAlarm>(delay, std::move(ring));
}

}  // namespace tidyword::platform
