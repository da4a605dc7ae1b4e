#include "platform/linux/SystemBrowserAuthenticator.h"

#include <QDesktopServices>
#include <QUrlQuery>

namespace tidyword::platform::linux_desktop {

namespace {

const QString kState = QStringLiteral("state");

}  // namespace

class SystemBrowserAuthenticator::BrowserAttempt final : public WebAuthenticator::Attempt {
public:
    BrowserAttempt(SystemBrowserAuthenticator& owner, std::shared_ptr<Waiting> waiting)
        : owner_(owner), waiting_(std::move(waiting)) {}
    // The browser tab cannot be closed from here; forgetting the attempt is what closing means.
    ~BrowserAttempt() override {
        if (owner_.waiting_ == waiting_) {
            owner_.waiting_.reset();
        }
    }

private:
    SystemBrowserAuthenticator& owner_;
    std::shared_ptr<Waiting> waiting_;
};

SystemBrowserAuthenticator::SystemBrowserAuthenticator(Opener opener, const QString& socket)
    : opener_(opener ? std::move(opener) : Opener(&QDesktopServices::openUrl)),
      receiver_([this](const QUrl& url) { received(url); }, socket) {}

SystemBrowserAuthenticator::~SystemBrowserAuthenticator() = default;

std::unique_ptr<WebAuthenticator::Attempt> SystemBrowserAuthenticator::start(const QUrl& url,
                                                                             const QString& scheme,
                                                                             Report report) {
    if (!opener_(url)) {
        return nullptr;
    }
    const QUrlQuery query(url);
    waiting_ = std::make_shared<Waiting>(Waiting{
        scheme,
        query.hasQueryItem(kState) ? std::optional(query.queryItemValue(kState, QUrl::FullyDecoded))
                                   : std::nullopt,
        std::move(report)});
    return std::make_unique<BrowserAttempt>(*this, waiting_);
}

void SystemBrowserAuthenticator::received(const QUrl& url) {
    if (url == reopenRequest() || url == improveRequest()) {
        if (const auto& handler = url == reopenRequest() ? reopen_ : improve_) {
            handler();
        }
        return;
    }
    if (!waiting_ || !url.isValid() || url.scheme() != waiting_->scheme) {
        return;
    }
    const QUrlQuery query(url);
    if (waiting_->state && query.hasQueryItem(kState) &&
        query.queryItemValue(kState, QUrl::FullyDecoded) != *waiting_->state) {
        return;
    }
    const Report report = std::exchange(waiting_, nullptr)->report;  // one report per attempt
    report(url);
}

}  // namespace tidyword::platform::linux_desktop
