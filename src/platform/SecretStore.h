// The seam to the operating system's secret store: one data blob per item identity, kept on this
// machine only, with three outcomes that callers tell apart.
#pragma once

#include <QByteArray>
#include <QString>

namespace tidyword::platform {

struct SecretItemIdentity {
    QString service;
    QString account;

    friend bool operator==(const SecretItemIdentity&, const SecretItemIdentity&) = default;
};

class SecretStore {
public:
    enum class Status { success, notFound, failure };

    struct FoundSecret {
        Status status;
        QByteArray data;  // only with success
    };

    virtual ~SecretStore() = default;

    // Every operation is synchronous and ends within a few seconds: a locked store may ask the
    // user to unlock it through its own prompt, and one that stays locked or does not answer in
    // time ends with `failure`.

    // The data of the item, or notFound when there is no such item.
    virtual FoundSecret find(const SecretItemIdentity& item) = 0;
    // Replaces the data of an existing item, keeping its other attributes; notFound when there
    // is none.
    virtual Status update(const SecretItemIdentity& item, const QByteArray& data) = 0;
    // Creates the item with a label the user sees in the store's own tools.
    virtual Status add(const SecretItemIdentity& item, const QString& label,
                       const QByteArray& data) = 0;
    // Deletes the item; notFound when there is none.
    virtual Status remove(const SecretItemIdentity& item) = 0;
};

}  // namespace tidyword::platform
