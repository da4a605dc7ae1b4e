#include "service/BetaHTTP.h"

#include "service/BetaError.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <qcoro/qcorosignal.h>

#include <algorithm>

namespace tidyword {

namespace {

// How much Qt may buffer ahead of the body limit check.
constexpr qint64 kReadBufferSize = qint64{64} * 1024;

// Stores nothing and sends nothing.
class ForgetfulCookieJar final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

// Qt reports 4xx and 5xx answers as errors (400 as an invalid operation, 407 as a proxy's,
// the others in the content and server ranges); they are answers all the same.
bool isStatusError(QNetworkReply::NetworkError error) {
    return error == QNetworkReply::ProtocolInvalidOperationError ||
           error == QNetworkReply::ProxyAuthenticationRequiredError ||
           (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

struct ReplyDeleter {
    void operator()(QNetworkReply* reply) const {
        reply->disconnect();
        if (!reply->isFinished()) {
            reply->abort();
        }
        reply->deleteLater();
    }
};

bool isLoopbackName(const QUrl& url) {
    const QString host = url.host(QUrl::FullyEncoded).toLower();
    return host == u"127.0.0.1" || host == u"localhost";
}

QNetworkRequest outgoingRequest(const HTTPRequest& request,
                                const QList<QSslCertificate>& loopbackAuthorities) {
    QNetworkRequest outgoing(request.url);
    if (!loopbackAuthorities.isEmpty() && isLoopbackName(request.url)) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates(loopbackAuthorities);
        outgoing.setSslConfiguration(tls);
    }
    outgoing.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                          QNetworkRequest::ManualRedirectPolicy);
    outgoing.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                          QNetworkRequest::AlwaysNetwork);
    outgoing.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    outgoing.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    outgoing.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    outgoing.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    for (const auto& [name, value] : request.headers) {
        outgoing.setRawHeader(name, value);
    }
    return outgoing;
}

}  // namespace

QCoro::Task<HTTPResponse> sendBounded(const HTTPTransport& transport, HTTPRequest request,
                                      std::chrono::milliseconds timeout, qsizetype maximumBodySize,
                                      BetaError::Code unreadable, CancellationToken cancellation) {
    request.timeout = timeout;
    request.maximumBodySize = maximumBodySize;
    HTTPResponse response = co_await transport(std::move(request), cancellation);
    cancellation.throwIfCancelled();
    if (!response.isReadable(maximumBodySize)) {
        throw BetaError(unreadable);
    }
    co_return response;
}

std::optional<QByteArray> HTTPResponse::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

BetaHTTP::BetaHTTP(platform::Clock& clock) : clock_(clock) {}

BetaHTTP::~BetaHTTP() = default;

QNetworkAccessManager& BetaHTTP::manager() {
    if (!manager_) {
        manager_ = std::make_unique<QNetworkAccessManager>();
        manager_->setCookieJar(new ForgetfulCookieJar(manager_.get()));
        manager_->setCache(nullptr);
        manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        manager_->setStrictTransportSecurityEnabled(false);
        manager_->setAutoDeleteReplies(false);
    }
    return *manager_;
}

HTTPTransport BetaHTTP::transport() {
    return [this](HTTPRequest request, CancellationToken token) {
        return perform(std::move(request), std::move(token));
    };
}

void BetaHTTP::trustAuthorityOf(const BetaConfig& config) {
    if (!config.certificateAuthority) {
        return;
    }
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(
        *config.certificateAuthority, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (certificates.isEmpty()) {
        throw BetaError(BetaError::notConfigured);
    }
    loopbackAuthorities_ = certificates;
}

QCoro::Task<HTTPResponse> BetaHTTP::perform(HTTPRequest request, CancellationToken token) {
    token.throwIfCancelled();
    const QNetworkRequest outgoing = outgoingRequest(request, loopbackAuthorities_);
    const std::unique_ptr<QNetworkReply, ReplyDeleter> reply(
        request.body ? manager().sendCustomRequest(outgoing, request.method, *request.body)
                     : manager().sendCustomRequest(outgoing, request.method));
    reply->setReadBufferSize(kReadBufferSize);

    enum class Ending { none, cancelled, timedOut, tooLarge };
    Ending ending = Ending::none;
    QByteArray body;

    // The abort is queued: whoever asked for it (a canceller, an alarm, a signal of the reply)
    // finishes first, and the task resumes from the event loop.
    const auto stop = [&ending, &reply](Ending why) {
        if (ending == Ending::none) {
            ending = why;
            QMetaObject::invokeMethod(reply.get(), &QNetworkReply::abort, Qt::QueuedConnection);
        }
    };
    const auto drain = [&] {
        while (ending == Ending::none && reply->bytesAvailable() > 0) {
            const qint64 room = request.maximumBodySize - body.size() + 1;
            body += reply->read(std::min(reply->bytesAvailable(), room));
            if (body.size() > request.maximumBodySize) {
                body.clear();
                stop(Ending::tooLarge);
            }
        }
    };

    std::unique_ptr<platform::Clock::Alarm> idle;
    const auto rearm = [&] {
        idle = clock_.setAlarm(request.timeout, [&stop] { stop(Ending::timedOut); });
    };
    rearm();
    const auto overall = clock_.setAlarm(longestTransfer, [&stop] { stop(Ending::timedOut); });
    const auto subscription = token.subscribe([&stop] { stop(Ending::cancelled); });

    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > request.maximumBodySize) {
            stop(Ending::tooLarge);
        }
        rearm();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] {
        drain();
        rearm();
    });
    QObject::connect(reply.get(), &QNetworkReply::uploadProgress, [&] { rearm(); });

    if (!reply->isFinished()) {
        co_await qCoro(reply.get(), &QNetworkReply::finished);
    }
    drain();

    if (ending == Ending::cancelled || token.isCancelled()) {
        throw Cancelled{};
    }
    if (ending == Ending::timedOut) {
        throw BetaError(BetaError::timedOut);
    }
    HTTPResponse response;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    response.status = status.isValid() ? status.toInt() : 0;
    response.headers = reply->rawHeaderPairs();
    if (ending == Ending::tooLarge) {
        response.bodyTooLarge = true;
        co_return response;
    }
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError || (response.status != 0 && isStatusError(error))) {
        response.body = std::move(body);
        co_return response;
    }
    if (error == QNetworkReply::OperationCanceledError) {
        throw Cancelled{};  // aborted by someone else: an aborted load is a cancellation
    }
    if (error == QNetworkReply::TimeoutError) {
        throw BetaError(BetaError::timedOut);
    }
    throw BetaError(BetaError::network);
}

}  // namespace tidyword
