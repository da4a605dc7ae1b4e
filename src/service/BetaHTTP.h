// The one HTTP transport of the application, on Qt Network. It keeps nothing between requests
// (no cookies, no cache, no credentials), never follows a redirect (a 3xx is the answer), and
// bounds each transfer: by the request's own inactivity time-out, by 60 seconds in all, and by
// the largest body the caller accepts.
#pragma once

#include "platform/Clock.h"
#include "service/BetaConfig.h"
#include "service/HTTP.h"

#include <QList>
#include <QSslCertificate>

#include <memory>

class QNetworkAccessManager;

namespace tidyword {

class BetaHTTP {
public:
    // No transfer runs longer than this, however steadily data arrives.
    static constexpr std::chrono::seconds longestTransfer{60};

    // Time-outs run on `clock`, which must outlive this transport.
    explicit BetaHTTP(platform::Clock& clock);
    ~BetaHTTP();
    BetaHTTP(const BetaHTTP&) = delete;
    BetaHTTP& operator=(const BetaHTTP&) = delete;

    // Sends `request` as it is (adding no headers) and returns the answer as received. Throws
    // BetaError(timedOut) when no data moves within the request's time-out or the transfer
    // outlives longestTransfer, Cancelled when `token` is cancelled or the load is aborted,
    // BetaError(network) for every other failure. Must be called on the main thread, and this
    // object must outlive the call.
    QCoro::Task<HTTPResponse> perform(HTTPRequest request, CancellationToken token = {});

    // perform() as a replaceable transport.
    HTTPTransport transport();

    // Trusts the certificate authority that `config` names (a local test service's), for
    // requests to 127.0.0.1 and localhost only, and for them instead of the system's: nothing is
    // added to the system's trust or this process's defaults. Nothing changes for a configuration
    // without one. Throws BetaError(notConfigured) when the named file holds no certificate.
    void trustAuthorityOf(const BetaConfig& config);

private:
    QNetworkAccessManager& manager();

    platform::Clock& clock_;
    std::unique_ptr<QNetworkAccessManager> manager_;  // created on first use
    QList<QSslCertificate> loopbackAuthorities_;
};

}  // namespace tidyword
