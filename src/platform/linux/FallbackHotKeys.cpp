#include "platform/linux/FallbackHotKeys.h"

namespace tidyword::platform::linux_desktop {

namespace {

// Both halves of a handler installed on the two routes; either may be none.
class Both final : public HotKeys::Registration {
public:
    Both(std::unique_ptr<Registration> first, std::unique_ptr<Registration> second)
        : first_(std::move(first)), second_(std::move(second)) {}

private:
    std::unique_ptr<Registration> first_;
    std::unique_ptr<Registration> second_;
};

}  // namespace

FallbackHotKeys::FallbackHotKeys(std::unique_ptr<HotKeys> preferred, HotKeys& fallback)
    : preferred_(std::move(preferred)), fallback_(fallback) {}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> FallbackHotKeys::installHandler(
    PressHandler handler) {
    auto [status, registration] = fallback_.installHandler(handler);
    if (status != success) {
        return {status, nullptr};
    }
    std::unique_ptr<Registration> preferred;
    if (!fellBack_) {
        auto [preferredStatus, installed] = preferred_->installHandler(handler);
        // A route that cannot deliver presses cannot hold the chord either.
        fellBack_ = preferredStatus != success;
        preferred = std::move(installed);
    }
    return {success, std::make_unique<Both>(std::move(preferred), std::move(registration))};
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> FallbackHotKeys::registerHotKey(
    quint16 keyCode, quint32 modifiers, Identifier identifier) {
    if (!fellBack_) {
        auto answer = preferred_->registerHotKey(keyCode, modifiers, identifier);
        if (answer.first == success) {
            return answer;
        }
        fellBack_ = true;
    }
    return fallback_.registerHotKey(keyCode, modifiers, identifier);
}

std::unique_ptr<HotKeys::Registration> FallbackHotKeys::addLocalMonitor(Monitor monitor) {
    return fallback_.addLocalMonitor(std::move(monitor));
}

void FallbackHotKeys::setRenewalHandler(RenewalHandler handler) {
    preferred_->setRenewalHandler(handler);
    fallback_.setRenewalHandler(std::move(handler));
}

QString FallbackHotKeys::statusSubject(Status status) const {
    return fallback_.statusSubject(status);
}

}  // namespace tidyword::platform::linux_desktop
