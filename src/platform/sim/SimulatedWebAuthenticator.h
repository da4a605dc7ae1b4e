// A web sign-in for tests: it records what it was asked to show, and the test decides what the
// "browser" reports and when, or installs a behaviour that runs at every start (for instance,
// following the authorization URL to the identity provider's redirect).
#pragma once

#include "platform/WebAuthenticator.h"

#include <QList>

#include <memory>

namespace tidyword::platform::sim {

class SimulatedWebAuthenticator final : public WebAuthenticator {
public:
    struct Shown {
        QUrl url;
        QString scheme;
    };
    // Runs at every start, after the attempt is recorded; may report through the authenticator.
    using Behaviour = std::function<void(SimulatedWebAuthenticator& self, const Shown& shown)>;

    std::unique_ptr<Attempt> start(const QUrl& url, const QString& scheme, Report report) override;

    // Every later start fails to start.
    void refuseToStart(bool refuse) { refuseToStart_ = refuse; }
    void setBehaviour(Behaviour behaviour) { behaviour_ = std::move(behaviour); }

    // Reports for the newest attempt, from the event loop, as a browser would: a closed attempt
    // reports nothing.
    void report(const Outcome& outcome);
    // Reports for the newest attempt even though it has been closed: a platform breaking its
    // word, to show that the caller guards itself.
    void reportAlthoughClosed(const Outcome& outcome);

    const QList<Shown>& shown() const { return shown_; }
    // Whether the newest attempt is still shown.
    bool isShowing() const;

private:
    struct Live {
        Report report;
        bool open = true;
    };
    class SimulatedAttempt;

    void deliver(const Outcome& outcome, bool evenIfClosed);

    bool refuseToStart_ = false;
    Behaviour behaviour_;
    QList<Shown> shown_;
    std::shared_ptr<Live> newest_;
};

}  // namespace tidyword::platform::sim
