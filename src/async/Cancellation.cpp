#include "async/Cancellation.h"

#include <map>

namespace tidyword {

namespace detail {
struct CancellationState {
    bool cancelled = false;
    std::uint64_t nextID = 1;
    std::map<std::uint64_t, std::function<void()>> callbacks;
};
}  // namespace detail

const char* Cancelled::what() const noexcept {
    return "The task was cancelled.";
}

CancellationToken::Subscription::Subscription(std::weak_ptr<detail::CancellationState> state,
                                              std::uint64_t id)
    : state_(std::move(state)), id_(id) {}

CancellationToken::Subscription& CancellationToken::Subscription::operator=(
    Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        state_ = std::move(other.state_);
        id_ = other.id_;
    }
    return *this;
}

CancellationToken::Subscription::~Subscription() {
    reset();
}

void CancellationToken::Subscription::reset() {
    if (auto state = state_.lock()) {
        state->callbacks.erase(id_);
    }
    state_.reset();
}

CancellationToken::CancellationToken(std::shared_ptr<detail::CancellationState> state)
    : state_(std::move(state)) {}

bool CancellationToken::isCancelled() const noexcept {
    return state_ && state_->cancelled;
}

void CancellationToken::throwIfCancelled() const {
    if (isCancelled()) {
        throw Cancelled{};
    }
}

CancellationToken::Subscription CancellationToken::subscribe(std::function<void()> onCancel) const {
    if (!state_) {
        return {};
    }
    if (state_->cancelled) {
        onCancel();
        return {};
    }
    const std::uint64_t id = state_->nextID++;
    state_->callbacks.emplace(id, std::move(onCancel));
    return Subscription(state_, id);
}

CancellationSource::CancellationSource() : state_(std::make_shared<detail::CancellationState>()) {}

CancellationToken CancellationSource::token() const {
    return CancellationToken(state_);
}

void CancellationSource::cancel() {
    if (state_->cancelled) {
        return;
    }
    state_->cancelled = true;
    // One at a time: a callback may drop other subscriptions, which must then not run.
    const auto keepAlive = state_;
    while (!keepAlive->callbacks.empty()) {
        auto next = keepAlive->callbacks.extract(keepAlive->callbacks.begin());
        next.mapped()();
    }
}

bool CancellationSource::isCancelled() const noexcept {
    return state_->cancelled;
}

}  // namespace tidyword
