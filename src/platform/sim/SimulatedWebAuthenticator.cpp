#include "platform/sim/SimulatedWebAuthenticator.h"

#include <QCoreApplication>

namespace tidyword::platform::sim {

class SimulatedWebAuthenticator::SimulatedAttempt final : public WebAuthenticator::Attempt {
public:
    explicit SimulatedAttempt(std::shared_ptr<Live> live) : live_(std::move(live)) {}
    ~SimulatedAttempt() override { live_->open = false; }

private:
    std::shared_ptr<Live> live_;
};

std::unique_ptr<WebAuthenticator::Attempt> SimulatedWebAuthenticator::start(const QUrl& url,
                                                                            const QString& scheme,
                                                                            Report report) {
    shown_.append({url, scheme});
    if (refuseToStart_) {
        return nullptr;
    }
    newest_ = std::make_shared<Live>(Live{std::move(report), true});
    auto attempt = std::make_unique<SimulatedAttempt>(newest_);
    if (behaviour_) {
        behaviour_(*this, shown_.back());
    }
    return attempt;
}

void SimulatedWebAuthenticator::report(const Outcome& outcome) {
    deliver(outcome, false);
}

void SimulatedWebAuthenticator::reportAlthoughClosed(const Outcome& outcome) {
    deliver(outcome, true);
}

bool SimulatedWebAuthenticator::isShowing() const {
    return newest_ && newest_->open;
}

void SimulatedWebAuthenticator::deliver(const Outcome& outcome, bool evenIfClosed) {
    if (!newest_) {
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [live = newest_, outcome, evenIfClosed] {
            if (live->open || evenIfClosed) {
                const Report report = live->report;  // the report may close the attempt
                report(outcome);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace tidyword::platform::sim
