// A simulated browser for sign-in tests: it follows the authorization URL through a transport,
// as a browser would, and reports where the identity provider redirects it.
#pragma once

#include "platform/sim/SimulatedWebAuthenticator.h"
#include "service/BetaError.h"
#include "service/HTTP.h"

namespace tidyword::test {

// Follows `url` and reports the redirect's Location, or a failure when there is none.
inline void followAuthorization(HTTPTransport transport,
                                platform::sim::SimulatedWebAuthenticator& browser, QUrl url) {
    [](HTTPTransport transport, platform::sim::SimulatedWebAuthenticator& browser,
       QUrl url) -> QCoro::Task<void> {
        HTTPRequest request;
        request.method = "GET";
        request.url = std::move(url);
        try {
            const HTTPResponse response = co_await transport(std::move(request), {});
            if (const auto location = response.header("location")) {
                browser.report(QUrl(QString::fromUtf8(*location)));
                co_return;
            }
        } catch (const BetaError&) {
        }
        browser.report(platform::WebAuthenticator::Failure::other);
    }(std::move(transport), browser, std::move(url));
}

// A behaviour that follows every authorization URL shown.
inline platform::sim::SimulatedWebAuthenticator::Behaviour followingWith(
    const HTTPTransport& transport) {
    return [transport](platform::sim::SimulatedWebAuthenticator& browser,
                       const platform::sim::SimulatedWebAuthenticator::Shown& shown) {
        followAuthorization(transport, browser, shown.url);
    };
}

}  // namespace tidyword::test
