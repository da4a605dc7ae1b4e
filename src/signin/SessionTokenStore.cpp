#include "signin/SessionTokenStore.h"

#include "service/BetaError.h"

namespace tidyword {

namespace {

using Status = platform::SecretStore::Status;

[[noreturn]] void failKeychain() {
    throw BetaError(BetaError::keychain);
}

}  // namespace

SessionTokenStore::SessionTokenStore(platform::SecretStore& store, bool localTestService)
    : store_(store), item_(item(localTestService)) {}

platform::SecretItemIdentity SessionTokenStore::item(bool localTestService) {
    return {QStringLiteral("com.personal.Tidyword.beta-session"),
            localTestService ? QStringLiteral("oauth-tokens-local-test-service")
                             : QStringLiteral("oauth-tokens")};
}

QString SessionTokenStore::label() {
    return QStringLiteral("Tidyword beta sign-in");
}

std::optional<OAuthTokens> SessionTokenStore::load() const {
    const auto found = store_.find(item_);
    if (found.status == Status::notFound) {
        return std::nullopt;
    }
    if (found.status != Status::success || found.data.size() > maximumItemSize) {
        failKeychain();
    }
    auto tokens = OAuthTokens::fromJson(found.data);
    if (!tokens) {
        failKeychain();
    }
    return tokens;
}

void SessionTokenStore::save(const OAuthTokens& tokens) const {
    const QByteArray data = tokens.toJson();
    switch (store_.update(item_, data)) {
        case Status::success:
            return;
        case Status::notFound:
            if (store_.add(item_, label(), data) != Status::success) {
                failKeychain();
            }
            return;
        case Status::failure:
            failKeychain();
    }
}

bool SessionTokenStore::deleteItem() const {
    return store_.remove(item_) != Status::failure;
}

}  // namespace tidyword
