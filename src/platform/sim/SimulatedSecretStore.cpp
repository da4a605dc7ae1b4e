#include "platform/sim/SimulatedSecretStore.h"

namespace tidyword::platform::sim {

SimulatedSecretStore::StoredItem* SimulatedSecretStore::itemFor(const SecretItemIdentity& item) {
    for (auto& stored : items_) {
        if (stored.identity == item) {
            return &stored;
        }
    }
    return nullptr;
}

SecretStore::FoundSecret SimulatedSecretStore::find(const SecretItemIdentity& item) {
    if (const auto failure = failures_.find(Operation::find); failure != failures_.end()) {
        return {failure->second, {}};
    }
    if (const auto* stored = itemFor(item)) {
        return {Status::success, stored->data};
    }
    return {Status::notFound, {}};
}

SecretStore::Status SimulatedSecretStore::update(const SecretItemIdentity& item,
                                                 const QByteArray& data) {
    if (const auto failure = failures_.find(Operation::update); failure != failures_.end()) {
        return failure->second;
    }
    auto* stored = itemFor(item);
    if (!stored) {
        return Status::notFound;
    }
    stored->data = data;
    return Status::success;
}

SecretStore::Status SimulatedSecretStore::add(const SecretItemIdentity& item, const QString& label,
                                              const QByteArray& data) {
    if (const auto failure = failures_.find(Operation::add); failure != failures_.end()) {
        return failure->second;
    }
    if (itemFor(item)) {
        return Status::failure;  // a duplicate, as the real stores refuse it
    }
    items_.append({item, label, data});
    return Status::success;
}

SecretStore::Status SimulatedSecretStore::remove(const SecretItemIdentity& item) {
    if (const auto failure = failures_.find(Operation::remove); failure != failures_.end()) {
        return failure->second;
    }
    const auto removed =
        items_.removeIf([&item](const StoredItem& stored) { return stored.identity == item; });
    return removed > 0 ? Status::success : Status::notFound;
}

void SimulatedSecretStore::failWith(Operation operation, std::optional<Status> status) {
    if (status) {
        failures_[operation] = *status;
    } else {
        failures_.erase(operation);
    }
}

void SimulatedSecretStore::plant(const SecretItemIdentity& item, const QByteArray& data) {
    if (auto* stored = itemFor(item)) {
        stored->data = data;
    } else {
        items_.append({item, QStringLiteral("planted"), data});
    }
}

}  // namespace tidyword::platform::sim
