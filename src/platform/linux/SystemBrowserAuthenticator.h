// Sign-in in the user's own default browser, never an embedded web view (RFC 8252): the
// authorization URL opens there, and the callback comes back through the desktop's handler for
// our private URL scheme and the local hand-off to this running instance.
//
// A system browser cannot tell us that the user closed it or gave up: an attempt ends with the
// callback, when it is closed (a new sign-in, a sign-out), or by the caller's watchdog.
#pragma once

#include "platform/WebAuthenticator.h"
#include "platform/linux/CallbackHandoff.h"

#include <functional>
#include <memory>
#include <optional>

namespace tidyword::platform::linux_desktop {

class SystemBrowserAuthenticator final : public WebAuthenticator {
public:
    // Opens a URL in the user's browser; false when there is none to open it.
    using Opener = std::function<bool(const QUrl& url)>;

    // The default opener is the desktop's (QDesktopServices).
    explicit SystemBrowserAuthenticator(Opener opener = {},
                                        const QString& socket = defaultCallbackSocket());
    ~SystemBrowserAuthenticator() override;

    std::unique_ptr<Attempt> start(const QUrl& url, const QString& scheme, Report report) override;

    // Called for each reopen request from a second start of Tidyword.
    void setReopenHandler(std::function<void()> reopen) { reopen_ = std::move(reopen); }
    // Called for each improve request from `tidyword --improve`.
    void setImproveHandler(std::function<void()> improve) { improve_ = std::move(improve); }
    // False when another running instance holds the hand-off socket.
    bool isListening() const { return receiver_.isListening(); }

private:
    struct Waiting {
        QString scheme;
        std::optional<QString> state;  // the anti-forgery state the authorization URL carries
        Report report;
    };
    class BrowserAttempt;

    // Only a URL of the waiting attempt's scheme is taken, and only while one waits. A browser
    // tab left over from an earlier attempt can still deliver that attempt's callback: one with
    // another state is not this attempt's to end.
    void received(const QUrl& url);

    Opener opener_;
    std::function<void()> reopen_;
    std::function<void()> improve_;
    std::shared_ptr<Waiting> waiting_;
    CallbackReceiver receiver_;
};

}  // namespace tidyword::platform::linux_desktop
