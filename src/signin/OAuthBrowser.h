// One awaitable browser sign-in: show the authorization URL, resume the caller with the callback
// URL or an error, exactly once, whichever comes first: the browser's report, the user's
// cancellation, a failure to start, the 180-second watchdog, or a newer sign-in or a sign-out.
//
// On Linux the sign-in runs in the user's own browser, which cannot tell us that the user closed
// it; such an attempt ends by the watchdog, by a new sign-in or by signing out.
#pragma once

#include "platform/Clock.h"
#include "platform/WebAuthenticator.h"
#include "service/BetaError.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace tidyword {

class OAuthBrowser : public QObject {
public:
    using Outcome = std::variant<QUrl, BetaError>;
    // The window sign-in belongs to: the key window, else the first visible one; none when the
    // application shows no window at all.
    using AnchorQuery = std::function<QObject*()>;

    static constexpr std::chrono::seconds watchdog{180};

    // The authenticator and the clock must outlive the browser.
    OAuthBrowser(platform::WebAuthenticator& authenticator, platform::Clock& clock,
                 AnchorQuery anchor);
    ~OAuthBrowser() override;

    // The callback URL of `scheme`, or BetaError: signInFailed (an attempt already waits, no
    // window, the browser cannot start or fails), signInCancelled, timedOut.
    QCoro::Task<QUrl> authenticate(QUrl url, QString scheme);

    // Ends attempt `id` with `outcome`, if it is the current attempt and its caller still
    // waits; otherwise does nothing. The caller resumes from the event loop.
    void finish(const Outcome& outcome, const QUuid& id);

    QUuid authenticationID() const { return authenticationID_; }
    QObject* presentationAnchor() const { return anchor_; }
    bool isWaiting() const { return pending_.has_value(); }

private:
    struct Pending {
        std::coroutine_handle<> waiter;
        std::optional<Outcome>* outcome;
    };
    class Wait;

    void begin(const QUrl& url, const QString& scheme, const QUuid& id, Pending pending);

    platform::WebAuthenticator& authenticator_;
    platform::Clock& clock_;
    AnchorQuery anchorQuery_;
    std::optional<Pending> pending_;
    std::unique_ptr<platform::WebAuthenticator::Attempt> session_;
    std::unique_ptr<platform::Clock::Alarm> timeout_;
    QPointer<QObject> anchor_;
    QUuid authenticationID_ = QUuid::createUuid();
};

}  // namespace tidyword
