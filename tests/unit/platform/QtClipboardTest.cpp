// The clipboard through Qt's, on the offscreen platform's in-process clipboard: the change
// count, typed items, the size bound and plain text.
#include "platform/linux/QtClipboard.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(QtClipboardTest, EveryWriteCountsAndReadsDoNot) {
    QtClipboard clipboard;
    const qint64 before = clipboard.changeCount();
    ASSERT_TRUE(clipboard.setString(u"first"_s));
    const qint64 afterOne = clipboard.changeCount();
    EXPECT_GT(afterOne, before);
    EXPECT_EQ(clipboard.string(), u"first"_s);
    EXPECT_EQ(clipboard.itemTypes().value().size(), 1);
    EXPECT_EQ(clipboard.changeCount(), afterOne);

    clipboard.clearContents();
    EXPECT_GT(clipboard.changeCount(), afterOne);
    EXPECT_EQ(clipboard.string(), std::nullopt);
    EXPECT_EQ(clipboard.itemTypes(), QList<QStringList>{});
}

TEST(QtClipboardTest, ItemsComeBackByteForByteWithinTheBound) {
    QtClipboard clipboard;
    const QByteArray image("\x89PNG\r\n\x1a\n\0\0binary", 16);
    clipboard.writeItems({{{u"text/plain"_s, "text"_ba}, {u"image/png"_s, image}}});

    const QList<QStringList> types = clipboard.itemTypes().value();
    ASSERT_EQ(types.size(), 1);
    EXPECT_TRUE(types[0].contains(u"image/png"_s));
    EXPECT_TRUE(types[0].contains(u"text/plain"_s));
    EXPECT_EQ(clipboard.data(0, u"image/png"_s, 1024), image);
    EXPECT_EQ(clipboard.data(0, u"image/png"_s, image.size()), image);
    EXPECT_EQ(clipboard.data(0, u"image/png"_s, image.size() - 1), std::nullopt);
    EXPECT_EQ(clipboard.data(1, u"image/png"_s, 1024), std::nullopt);
    EXPECT_EQ(clipboard.data(0, u"application/x-none"_s, 1024), std::nullopt);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
