// An in-memory secret store for tests, which can be told to fail any operation with a chosen
// status, and which shows what it holds.
#pragma once

#include "platform/SecretStore.h"

#include <QList>

#include <map>
#include <optional>

namespace tidyword::platform::sim {

class SimulatedSecretStore final : public SecretStore {
public:
    enum class Operation { find, update, add, remove };

    struct StoredItem {
        SecretItemIdentity identity;
        QString label;
        QByteArray data;
    };

    FoundSecret find(const SecretItemIdentity& item) override;
    Status update(const SecretItemIdentity& item, const QByteArray& data) override;
    Status add(const SecretItemIdentity& item, const QString& label,
               const QByteArray& data) override;
    Status remove(const SecretItemIdentity& item) override;

    // From now on `operation` answers `status` without touching the items; none lifts it.
    void failWith(Operation operation, std::optional<Status> status);
    // Puts an item in place directly, as another program (or an older Tidyword) would have.
    void plant(const SecretItemIdentity& item, const QByteArray& data);

    const QList<StoredItem>& items() const { return items_; }

private:
    StoredItem* itemFor(const SecretItemIdentity& item);

    QList<StoredItem> items_;
    std::map<Operation, Status> failures_;
};

}  // namespace tidyword::platform::sim
