// The transport against a real server on loopback: what it keeps, what it follows, how it ends.
#include "platform/SystemClock.h"
#include "platform/sim/VirtualClock.h"
#include "service/BetaError.h"
#include "service/BetaHTTP.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "support/StandInServer.h"

#include <QSslConfiguration>
#include <QTimer>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using test::StandInServer;

class BetaHTTPTest : public ::testing::Test {
protected:
    HTTPRequest get(const QString& path, const QJsonObject& fault = {}) const {
        HTTPRequest request;
        request.method = "GET";
        request.url = server.url(path);
        if (!fault.isEmpty()) {
            request.headers.append(
                {"X-Standin-Fault", QJsonDocument(fault).toJson(QJsonDocument::Compact)});
        }
        return request;
    }

    StandInServer server;
    platform::SystemClock clock;
    BetaHTTP http{clock};
};

TEST_F(BetaHTTPTest, CookieFromOneAnswerIsNeverSentAgain) {
    test::runToCompletion(
        http.perform(get(u"v1/account"_s, {{u"set_cookie"_s, u"session=abc; Path=/"_s}})));
    test::runToCompletion(http.perform(get(u"v1/account"_s)));
    const QJsonArray requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_FALSE(requests[1].toObject().value(u"headers"_s).toObject().contains(u"cookie"_s));
}

TEST_F(BetaHTTPTest, CancellingMidTransferIsCancelledNotNetwork) {
    CancellationSource cancellation;
    QTimer::singleShot(200, [&cancellation] { cancellation.cancel(); });
    HTTPRequest request =
        get(u"v1/account"_s,
            {{u"status"_s, 200}, {u"body_size"_s, 1000}, {u"delay_between_bytes_ms"_s, 20}});
    EXPECT_THROW(test::runToCompletion(http.perform(request, cancellation.token())), Cancelled);
}

// The transport's own limit, with the length announced and without: the client's size test
// over HTTPS does not tell an announced length at the limit from one over it.
TEST_F(BetaHTTPTest, BodyIsReadUpToTheLimitAndNoFurther) {
    for (const auto& [name, size, chunked, tooLarge] :
         {std::tuple{"AtTheLimit", 1'048'576, false, false},
          {"OverTheLimit", 1'048'577, false, true},
          {"ChunkedAtTheLimit", 1'048'576, true, false},
          {"ChunkedFarOverTheLimit", 8'000'000, true, true}}) {
        HTTPRequest request =
            get(u"v1/account"_s, {{u"body_size"_s, size}, {u"chunked"_s, chunked}});
        request.maximumBodySize = 1'048'576;
        const auto response = test::runToCompletion(http.perform(request));
        EXPECT_EQ(response.bodyTooLarge, tooLarge) << name;
        EXPECT_EQ(response.body.size(), tooLarge ? 0 : size) << name;
    }
}

// Time-outs on the virtual clock: the server is real, time is not. Before each step the real
// server works for a moment; then virtual time moves on by the step.
TEST_F(BetaHTTPTest, EndsOnlyWhenItsTimeIsUp) {
    const QJsonObject drip{
        {u"status"_s, 200}, {u"body_size"_s, 100}, {u"delay_between_bytes_ms"_s, 50}};
    const struct {
        const char* name;
        QJsonObject fault;
        std::chrono::seconds timeout;
        std::vector<std::chrono::seconds> steps;
        std::optional<BetaError::Code> outcome;
    } cases[] = {
        {"SilentServerAfterTheRequestsOwnTimeOut",
         {{u"silent"_s, true}},
         45s,
         {44s, 1s},
         BetaError::timedOut},
        // 30 s of virtual time pass in all, but never 20 s without data.
        {"ArrivingDataRestartsTheInactivityTimeOut", drip, 20s, {15s, 15s}, std::nullopt},
        {"NoTransferOutlivesSixtySecondsWhileDataFlows",
         drip,
         600s,
         {59s, 1s},
         BetaError::timedOut},
    };
    for (const auto& test : cases) {
        platform::sim::VirtualClock virtualClock;
        BetaHTTP virtualHTTP{virtualClock};
        HTTPRequest request = get(u"v1/account"_s, test.fault);
        request.timeout = test.timeout;
        test::Outcome<HTTPResponse> outcome;
        auto observer = test::observe(virtualHTTP.perform(request), outcome);
        for (const auto step : test.steps) {
            test::processEventsFor(150ms);
            EXPECT_FALSE(outcome.finished) << test.name << " ended before " << step.count() << " s";
            virtualClock.advance(step);
        }
        test::runEventLoopUntil([&outcome] { return outcome.finished; });
        EXPECT_EQ(test::codeThrownBy<BetaError>([&outcome] { outcome.take(); }), test.outcome)
            << test.name;
    }
}

// A local test service's certificate authority is trusted for the loopback host names and
// nowhere else, and only by the transport told to.
TEST(BetaHTTPLocalAuthorityTest, IsTrustedForTheLoopbackNamesOnly) {
    using Transport = StandInServer::Transport;
    const StandInServer loopback(Transport::httpsUntrusted);
    const StandInServer other(Transport::httpsUntrusted,
                              {u"--host"_s, u"127.0.0.2"_s, u"--tls-name"_s, u"127.0.0.2"_s});
    platform::SystemClock clock;
    const auto answer = [&clock](const StandInServer& server, const QString& host,
                                 const std::optional<QString>& authority) {
        BetaHTTP http(clock);
        BetaConfig config;
        config.certificateAuthority = authority;
        http.trustAuthorityOf(config);
        HTTPRequest request;
        request.method = "GET";
        request.url = server.url(u"v1/account"_s);
        request.url.setHost(host);
        std::optional<int> status;
        const auto error = test::codeThrownBy<BetaError>(
            [&] { status = test::runToCompletion(http.perform(request)).status; });
        EXPECT_TRUE(!error || *error == BetaError::network) << host.toStdString();
        return status;
    };
    // 401: the stand-in answered, and wants a sign-in.
    EXPECT_EQ(answer(loopback, u"127.0.0.1"_s, loopback.authorityFile()), 401);
    EXPECT_EQ(answer(loopback, u"localhost"_s, loopback.authorityFile()), 401);
    EXPECT_EQ(answer(loopback, u"127.0.0.1"_s, std::nullopt), std::nullopt);
    EXPECT_EQ(answer(other, u"127.0.0.2"_s, other.authorityFile()), std::nullopt);

    // The certificate names 127.0.0.2: trusted the way a public authority is, it is reached.
    QSslConfiguration defaults = QSslConfiguration::defaultConfiguration();
    defaults.addCaCertificates(QSslCertificate::fromPath(other.authorityFile()));
    QSslConfiguration::setDefaultConfiguration(defaults);
    EXPECT_EQ(answer(other, u"127.0.0.2"_s, std::nullopt), 401);
}

TEST(BetaHTTPLocalAuthorityTest, AFileWithoutACertificateIsNotAConfiguration) {
    platform::SystemClock clock;
    BetaHTTP http(clock);
    BetaConfig config;
    config.certificateAuthority = u"/nonexistent/ca.pem"_s;
    EXPECT_EQ(test::codeThrownBy<BetaError>([&] { http.trustAuthorityOf(config); }),
              BetaError::notConfigured);
}

}  // namespace
}  // namespace tidyword
