#include "platform/sim/SimulatedWebAuthenticator.h"
#include "platform/sim/VirtualClock.h"
#include "service/BetaError.h"
#include "signin/OAuthBrowser.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

#include <variant>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using platform::WebAuthenticator;
using Failure = WebAuthenticator::Failure;

const QUrl kAuthorization(u"https://login.example/authorize?state=S"_s);
const QUrl kCallback(u"com.tidyword.beta://oauth/callback?state=S&code=C"_s);

class OAuthBrowserTest : public ::testing::Test {
public:
    // No caller may still wait once the fixture is gone: its outcome lives here.
    void TearDown() override {
        if (owned) {
            browser.finish(BetaError(BetaError::signInCancelled), browser.authenticationID());
        }
        settle();
    }

    // Starts authenticate() as a task of its own; its outcome lands in `outcome`.
    void startAuthenticating() {
        task = [](OAuthBrowser& browser, std::optional<std::variant<QUrl, BetaError>>& outcome,
                  int& resumed) -> QCoro::Task<void> {
            try {
                outcome = co_await browser.authenticate(kAuthorization, u"com.tidyword.beta"_s);
            } catch (const BetaError& error) {
                outcome = error;
            }
            ++resumed;
        }(browser, outcome, resumed);
    }

    void settle() { test::processEventsFor(20ms); }

    std::optional<BetaError::Code> errorOutcome() const {
        if (outcome && std::holds_alternative<BetaError>(*outcome)) {
            return std::get<BetaError>(*outcome).code();
        }
        return std::nullopt;
    }

    platform::sim::SimulatedWebAuthenticator authenticator;
    platform::sim::VirtualClock clock;
    QObject window;
    QObject* anchor = &window;
    std::unique_ptr<OAuthBrowser> owned =
        std::make_unique<OAuthBrowser>(authenticator, clock, [this] { return anchor; });
    OAuthBrowser& browser = *owned;
    std::optional<std::variant<QUrl, BetaError>> outcome;
    int resumed = 0;
    QCoro::Task<void> task;
};

TEST_F(OAuthBrowserTest, CallbackEndsTheAttemptAndEverythingItSetUp) {
    startAuthenticating();
    ASSERT_EQ(authenticator.shown().size(), 1);
    EXPECT_EQ(authenticator.shown()[0].url, kAuthorization);
    EXPECT_EQ(authenticator.shown()[0].scheme, u"com.tidyword.beta"_s);
    EXPECT_EQ(browser.presentationAnchor(), &window);
    EXPECT_EQ(clock.pendingAlarmCount(), 1);

    authenticator.report(kCallback);
    settle();

    EXPECT_EQ(outcome, (std::variant<QUrl, BetaError>(kCallback)));
    EXPECT_FALSE(browser.isWaiting());
    EXPECT_FALSE(authenticator.isShowing());
    EXPECT_EQ(browser.presentationAnchor(), nullptr);
    EXPECT_EQ(clock.pendingAlarmCount(), 0);
}

// Whatever ends an attempt first is its outcome; the caller resumes once, and a report after
// that changes nothing.
TEST_F(OAuthBrowserTest, TheFirstEndOfAnAttemptIsItsOutcome) {
    using Outcome = std::variant<QUrl, BetaError>;
    const struct {
        const char* name;
        std::function<void(OAuthBrowserTest&)> end;
        Outcome outcome;
    } cases[] = {
        {"UserCancelled", [](auto& t) { t.authenticator.report(Failure::userCancelled); },
         BetaError(BetaError::signInCancelled)},
        {"BrowserFailed", [](auto& t) { t.authenticator.report(Failure::other); },
         BetaError(BetaError::signInFailed)},
        {"CallbackThenTimeOut",
         [](auto& t) {
             t.browser.finish(kCallback, t.browser.authenticationID());
             t.browser.finish(BetaError(BetaError::timedOut), t.browser.authenticationID());
         },
         kCallback},
        {"SignOutThenCallback",
         [](auto& t) {
             t.browser.finish(BetaError(BetaError::signInCancelled), t.browser.authenticationID());
             t.authenticator.reportAlthoughClosed(kCallback);
         },
         BetaError(BetaError::signInCancelled)},
        // Nothing before 180 seconds; then the watchdog, and a late report is ignored.
        {"WatchdogThenCancel",
         [](auto& t) {
             t.clock.advance(179s);
             t.settle();
             EXPECT_FALSE(t.outcome.has_value());
             t.clock.advance(1s);
             t.settle();
             EXPECT_FALSE(t.authenticator.isShowing());
             t.authenticator.reportAlthoughClosed(Failure::userCancelled);
         },
         BetaError(BetaError::signInTimedOut)},
    };
    for (const auto& test : cases) {
        outcome.reset();
        resumed = 0;
        startAuthenticating();
        test.end(*this);
        settle();
        EXPECT_EQ(outcome, test.outcome) << test.name;
        EXPECT_EQ(resumed, 1) << test.name;
    }
}

TEST_F(OAuthBrowserTest, SecondAttemptWhileOneWaitsFailsAndLeavesTheFirstWaiting) {
    startAuthenticating();
    const QUuid first = browser.authenticationID();
    EXPECT_EQ(
        test::codeThrownBy<BetaError>([this] {
            test::runToCompletion(browser.authenticate(kAuthorization, u"com.tidyword.beta"_s));
        }),
        BetaError::signInFailed);
    EXPECT_EQ(browser.authenticationID(), first);
    EXPECT_TRUE(browser.isWaiting());

    authenticator.report(kCallback);
    settle();
    EXPECT_EQ(outcome, (std::variant<QUrl, BetaError>(kCallback)));
}

TEST_F(OAuthBrowserTest, NoWindowOrNoBrowserFailsToSignInAndLeavesNothingWaiting) {
    for (const bool window : {false, true}) {
        anchor = window ? &this->window : nullptr;
        authenticator.refuseToStart(window);
        startAuthenticating();
        settle();
        EXPECT_EQ(errorOutcome(), BetaError::signInFailed) << window;
        EXPECT_EQ(authenticator.shown().size(), window ? 1 : 0);
        EXPECT_FALSE(browser.isWaiting()) << window;
        EXPECT_EQ(clock.pendingAlarmCount(), 0) << window;
    }
}

TEST_F(OAuthBrowserTest, DestroyingTheBrowserReleasesItsCaller) {
    startAuthenticating();
    owned.reset();
    test::runEventLoopUntil([this] { return outcome.has_value(); });
    EXPECT_EQ(errorOutcome(), BetaError::signInCancelled);
}

}  // namespace
}  // namespace tidyword
