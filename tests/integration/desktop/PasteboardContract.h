// The contract every desktop clipboard keeps, run by each backend's suite against the other
// clients of its own private desktop.
#pragma once

#include "platform/Pasteboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

namespace tidyword::platform::linux_desktop {

// Another client of the same clipboard, played by programs of the backend's desktop. Each call
// returns once done, running this process's events meanwhile so that it serves what it holds.
class OtherClipboardClient {
public:
    virtual ~OtherClipboardClient() = default;
    // Takes the clipboard with `bytes` as `type` (and whatever aliases its toolkit adds).
    virtual void copy(const QString& type, const QByteArray& bytes) = 0;
    // The types it sees on the clipboard, in order, less those its protocol or toolkit adds.
    virtual QStringList types() = 0;
    // What it pastes as `type`.
    virtual QByteArray paste(const QString& type) = 0;
    // Takes the clipboard but answers no read of it before the reader's deadline; the types it
    // offers.
    virtual QStringList ownWithoutAnswering() = 0;
};

// One backend under the contract: its clipboard and another client on its desktop.
struct PasteboardBackend {
    const char* name;
    std::function<std::unique_ptr<Pasteboard>()> open;
    std::function<std::unique_ptr<OtherClipboardClient>()> otherClient;
    friend void PrintTo(const PasteboardBackend& backend, std::ostream* out) {
        *out << backend.name;
    }
};

// Instantiated by each backend's suite with INSTANTIATE_TEST_SUITE_P(<suite>, PasteboardContract,
// ::testing::Values(backend), test::rowName).
class PasteboardContract : public ::testing::TestWithParam<PasteboardBackend> {
protected:
    void SetUp() override { ASSERT_NE(clipboard, nullptr); }
    // The other client copies, and this clipboard's change count has seen it.
    void copyElsewhere(const QString& type, const QByteArray& bytes);

    std::unique_ptr<Pasteboard> clipboard = GetParam().open();
    std::unique_ptr<OtherClipboardClient> other = GetParam().otherClient();
};

}  // namespace tidyword::platform::linux_desktop
