// The Wayland clipboard without the keyboard focus, on a private KWin: the contract against
// wl-copy and wl-paste, while this test program has no window at all; and answers under way.
#include "integration/desktop/PasteboardContract.h"
#include "integration/wayland/WaylandClients.h"
#include "platform/linux/DataControlClipboard.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

INSTANTIATE_TEST_SUITE_P(DataControlClipboardTest, PasteboardContract,
                         ::testing::Values(PasteboardBackend{
                             "Wayland", [] { return DataControlClipboard::open(); },
                             [] {
                                 return std::make_unique<WaylandClients>(
                                     [] { return DataControlClipboard::open(); });
                             }}),
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
