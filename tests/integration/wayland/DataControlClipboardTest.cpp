// The Wayland clipboard without the keyboard focus, on a private KWin: the contract against
// wl-copy and wl-paste, while this test program has no window at all; and answers under way.
#include "integration/desktop/PasteboardContract.h"
#include "platform/linux/DataControlClipboard.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

// wl-copy and wl-paste; the owner that never answers is a second clipboard of this very
// process, which cannot serve while the first one waits.
class WaylandClients final : public OtherClipboardClient {
public:
    void copy(const QString& type, const QByteArray& bytes) override {
        // wl-copy forks a server of its own and returns once the selection is set.
        outputOf(u"wl-copy"_s, {u"--type"_s, type}, bytes);
    }
    QStringList types() override {
        return QString::fromUtf8(outputOf(u"wl-paste"_s, {u"--list-types"_s}))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    QByteArray paste(const QString& type) override {
        return outputOf(u"wl-paste"_s, {u"--no-newline"_s, u"--type"_s, type});
    }
    QStringList ownWithoutAnswering() override {
        silent = DataControlClipboard::open();
        return silent && silent->setString(u"never sent"_s) ? silent->itemTypes().value().front()
                                                            : QStringList();
    }

private:
    std::unique_ptr<DataControlClipboard> silent;
};

INSTANTIATE_TEST_SUITE_P(DataControlClipboardTest, PasteboardContract,
                         ::testing::Values(PasteboardBackend{
                             "Wayland", [] { return DataControlClipboard::open(); },
                             [] { return std::make_unique<WaylandClients>(); }}),
                         test::rowName);

// Larger than a pipe holds, an answer is still being written when its reader goes away, or when
// this process ends.
TEST(DataControlClipboardTest, AnAnswerUnderWayEndsWithItsReaderAndIsFinishedBeforeExit) {
    auto clipboard = DataControlClipboard::open();
    ASSERT_NE(clipboard, nullptr);
    const QByteArray bytes(1'000'000, '\x7f');
    clipboard->writeItems({{{u"image/png"_s, bytes}}});
    EXPECT_EQ(outputOf(u"sh"_s, {u"-c"_s, u"wl-paste --type image/png | head -c 3"_s}),
              "\x7f\x7f\x7f");

    const QTemporaryDir directory;
    QFile pasted(directory.filePath(u"pasted"_s));
    QProcess paste;  // into a file: it reads on while this process does not run its events
    paste.start(u"sh"_s,
                {u"-c"_s, u"wl-paste --no-newline --type image/png > \"$0\""_s, pasted.fileName()});
    test::pollUntil([&] { return pasted.size() > 0; });
    clipboard->keepAfterExit();
    clipboard.reset();
    ASSERT_TRUE(paste.waitForFinished() && pasted.open(QIODevice::ReadOnly));
    EXPECT_EQ(pasted.readAll(), bytes);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
