// The secret store on the freedesktop Secret Service (GNOME Keyring, KWallet), through
// libsecret. Items go to the default collection, which is local to this machine. A locked
// collection or item is unlocked through the service's own prompt; a call that takes longer than
// the time limit (a prompt left unanswered, a service that does not answer) is cancelled and
// fails.
#pragma once

#include "platform/SecretStore.h"

#include <chrono>

namespace tidyword::platform::linux_desktop {

class LibsecretStore final : public SecretStore {
public:
    explicit LibsecretStore(std::chrono::milliseconds timeLimit = std::chrono::seconds(5));

    FoundSecret find(const SecretItemIdentity& item) override;
    Status update(const SecretItemIdentity& item, const QByteArray& data) override;
    Status add(const SecretItemIdentity& item, const QString& label,
               const QByteArray& data) override;
    Status remove(const SecretItemIdentity& item) override;

private:
    std::chrono::milliseconds timeLimit_;
};

}  // namespace tidyword::platform::linux_desktop
