// The seam to the platform's web sign-in: show an authorization URL to the user and report,
// exactly once, the callback URL the identity provider sends back, or why there is none.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <variant>

namespace tidyword::platform {

class WebAuthenticator {
public:
    enum class Failure {
        userCancelled,  // the user closed the sign-in where the platform can tell
        other,
    };
    using Outcome = std::variant<QUrl, Failure>;
    // Called on the main thread, from the event loop, never from inside start(). It may destroy
    // its own attempt.
    using Report = std::function<void(const Outcome& outcome)>;

    // One sign-in being shown. Destroying it closes what can be closed and guarantees that its
    // report, if it has not come yet, never comes.
    class Attempt {
    public:
        virtual ~Attempt() = default;
    };

    virtual ~WebAuthenticator() = default;

    // Shows `url`; the attempt ends when the browser is sent to a URL of `scheme` (given without
    // "://"), which is reported, or with a failure. Returns none when it cannot start at all;
    // then nothing is ever reported.
    [[nodiscard]] virtual std::unique_ptr<Attempt> start(const QUrl& url, const QString& scheme,
                                                         Report report) = 0;
};

}  // namespace tidyword::platform
