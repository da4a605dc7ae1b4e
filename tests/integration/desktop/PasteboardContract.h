// The contract every desktop clipboard keeps, run by each backend's suite against the other
// clients of its own private desktop.
#pragma once

#include "platform/Pasteboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

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
    virtual QByteArray paste(const QString& type) = 0;
    // Takes the clipboard but answers no read before the reader's deadline; the types it offers.
    virtual QStringList ownWithoutAnswering() = 0;
};

// Each backend's suite runs the contract with INSTANTIATE_TEST_SUITE_P(<suite>,
// PasteboardContract, ::testing::Values(PasteboardBackend{...}), test::rowName).
struct PasteboardBackend {
    const char* name;
    std::function<std::unique_ptr<Pasteboard>()> open;
    std::function<std::unique_ptr<OtherClipboardClient>()> otherClient;
    // A clear leaves the transient mark alone: an empty clipboard, the desktop would refill with
    // its copy of the last text.
    bool clearLeavesTheMark = false;
};

class PasteboardContract : public ::testing::TestWithParam<PasteboardBackend> {
protected:
    void SetUp() override { ASSERT_NE(clipboard, nullptr); }
    // The other client copies, and this clipboard's change count has risen on it.
    void copyElsewhere(const QString& type, const QByteArray& bytes);

    std::unique_ptr<Pasteboard> clipboard = GetParam().open();
    std::unique_ptr<OtherClipboardClient> other = GetParam().otherClient();
};

// What `program` prints, given `input`, read while this process's events run (it may be reading
// from us).
QByteArray outputOf(const QString& program, const QStringList& arguments,
                    const QByteArray& input = {});

}  // namespace tidyword::platform::linux_desktop
