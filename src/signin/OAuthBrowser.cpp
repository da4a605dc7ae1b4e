#include "signin/OAuthBrowser.h"

#include <QCoreApplication>

namespace tidyword {

namespace {

OAuthBrowser::Outcome fromReport(const platform::WebAuthenticator::Outcome& report) {
    if (const auto* url = std::get_if<QUrl>(&report)) {
        return *url;
    }
    return BetaError(std::get<platform::WebAuthenticator::Failure>(report) ==
                             platform::WebAuthenticator::Failure::userCancelled
                         ? BetaError::signInCancelled
                         : BetaError::signInFailed);
}

}  // namespace

// Suspends the caller of authenticate() and starts the attempt once it is suspended.
class OAuthBrowser::Wait {
public:
    Wait(OAuthBrowser& browser, QUrl url, QString scheme, QUuid id)
        : browser_(browser), url_(std::move(url)), scheme_(std::move(scheme)), id_(id) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiter) {
        browser_.begin(url_, scheme_, id_, Pending{waiter, &outcome_});
    }
    Outcome await_resume() { return std::move(*outcome_); }

private:
    OAuthBrowser& browser_;
    QUrl url_;
    QString scheme_;
    QUuid id_;
    std::optional<Outcome> outcome_;
};

OAuthBrowser::OAuthBrowser(platform::WebAuthenticator& authenticator, platform::Clock& clock,
                           AnchorQuery anchor)
    : authenticator_(authenticator), clock_(clock), anchorQuery_(std::move(anchor)) {}

OAuthBrowser::~OAuthBrowser() {
    // A caller still waiting is released rather than left suspended for ever.
    finish(BetaError(BetaError::signInCancelled), authenticationID_);
}

QCoro::Task<QUrl> OAuthBrowser::authenticate(QUrl url, QString scheme) {
    if (pending_) {
        throw BetaError(BetaError::signInFailed);
    }
    const QUuid id = QUuid::createUuid();
    authenticationID_ = id;
    anchor_ = anchorQuery_ ? anchorQuery_() : nullptr;
    if (!anchor_) {
        throw BetaError(BetaError::signInFailed);
    }
    // Nothing of this browser is touched after the wait: it may be gone by then.
    Outcome outcome = co_await Wait(*this, std::move(url), std::move(scheme), id);
    if (auto* callback = std::get_if<QUrl>(&outcome)) {
        co_return std::move(*callback);
    }
    throw std::get<BetaError>(outcome);
}

void OAuthBrowser::begin(const QUrl& url, const QString& scheme, const QUuid& id, Pending pending) {
    pending_ = pending;
    session_ = authenticator_.start(url, scheme,
                                    [browser = QPointer<OAuthBrowser>(this),
                                     id](const platform::WebAuthenticator::Outcome& report) {
                                        if (browser && browser->authenticationID_ == id) {
                                            browser->finish(fromReport(report), id);
                                        }
                                    });
    if (!session_) {
        finish(BetaError(BetaError::signInFailed), id);
        return;
    }
    timeout_ =
        clock_.setAlarm(watchdog, [this, id] { finish(BetaError(BetaError::signInTimedOut), id); });
}

void OAuthBrowser::finish(const Outcome& outcome, const QUuid& id) {
    if (id != authenticationID_ || !pending_) {
        return;
    }
    const Pending pending = *std::exchange(pending_, std::nullopt);
    timeout_.reset();
    session_.reset();
    anchor_ = nullptr;
    *pending.outcome = outcome;
    // Whoever finished the attempt (a sign-out, the watchdog, the browser) completes its own work
    // before the caller goes on.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [waiter = pending.waiter] { waiter.resume(); },
        Qt::QueuedConnection);
}

}  // namespace tidyword
