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
protected:
    // No caller may still wait once the fixture is gone: its outcome lives here.
    void TearDown() override {
        browser.finish(BetaError(BetaError::signInCancelled), browser.authenticationID());
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
    OAuthBrowser browser{authenticator, clock, [this] { return anchor; }};
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

TEST_F(OAuthBrowserTest, BrowserFailuresBecomeTheirErrors) {
    const struct {
        Failure failure;
        BetaError::Code error;
    } cases[] = {{Failure::userCancelled, BetaError::signInCancelled},
                 {Failure::other, BetaError::signInFailed}};
    for (const auto& [failure, error] : cases) {
        outcome.reset();
        startAuthenticating();
        authenticator.report(failure);
        settle();
        EXPECT_EQ(errorOutcome(), error);
    }
}

TEST_F(OAuthBrowserTest, WatchdogEndsAnAttemptAfter180SecondsAndIgnoresTheLateReport) {
    startAuthenticating();
    clock.advance(179s);
    settle();
    EXPECT_FALSE(outcome.has_value());

    clock.advance(1s);
    settle();
    EXPECT_EQ(errorOutcome(), BetaError::signInTimedOut);
    EXPECT_FALSE(authenticator.isShowing());

    authenticator.reportAlthoughClosed(Failure::userCancelled);
    settle();
    EXPECT_EQ(errorOutcome(), BetaError::signInTimedOut);
    EXPECT_EQ(resumed, 1);
}

TEST_F(OAuthBrowserTest, ReportAfterSignOutFinishedTheAttemptIsIgnored) {
    startAuthenticating();
    browser.finish(BetaError(BetaError::signInCancelled), browser.authenticationID());
    authenticator.reportAlthoughClosed(kCallback);
    settle();
    EXPECT_EQ(errorOutcome(), BetaError::signInCancelled);
    EXPECT_EQ(resumed, 1);
}

TEST_F(OAuthBrowserTest, TwoReportsForOneAttemptResumeTheCallerOnce) {
    startAuthenticating();
    const QUuid attempt = browser.authenticationID();
    browser.finish(kCallback, attempt);
    browser.finish(BetaError(BetaError::timedOut), attempt);
    settle();
    EXPECT_EQ(outcome, (std::variant<QUrl, BetaError>(kCallback)));
    EXPECT_EQ(resumed, 1);
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

TEST_F(OAuthBrowserTest, NoWindowOrNoBrowserFailsToSignIn) {
    anchor = nullptr;
    startAuthenticating();
    settle();
    EXPECT_EQ(errorOutcome(), BetaError::signInFailed);
    EXPECT_TRUE(authenticator.shown().isEmpty());

    anchor = &window;
    authenticator.refuseToStart(true);
    startAuthenticating();
    settle();
    EXPECT_EQ(errorOutcome(), BetaError::signInFailed);
    EXPECT_FALSE(browser.isWaiting());
    EXPECT_EQ(clock.pendingAlarmCount(), 0);
}

TEST(OAuthBrowserLifetimeTest, DestroyingTheBrowserReleasesItsCaller) {
    platform::sim::SimulatedWebAuthenticator authenticator;
    platform::sim::VirtualClock clock;
    QObject window;
    std::optional<BetaError::Code> error;
    auto browser =
        std::make_unique<OAuthBrowser>(authenticator, clock, [&window] { return &window; });
    auto task = [](OAuthBrowser& browser,
                   std::optional<BetaError::Code>& error) -> QCoro::Task<void> {
        try {
            co_await browser.authenticate(kAuthorization, u"com.tidyword.beta"_s);
        } catch (const BetaError& thrown) {
            error = thrown.code();
        }
    }(*browser, error);
    browser.reset();
    test::runEventLoopUntil([&error] { return error.has_value(); });
    EXPECT_EQ(error, BetaError::signInCancelled);
}

}  // namespace
}  // namespace tidyword
