// The Wayland clipboard without the keyboard focus, on a private KWin: what other clients copy
// (wl-copy) is counted and read byte for byte, and what this backend serves is what they paste
// (wl-paste), while this test program has no window at all.
#include "platform/linux/DataControlClipboard.h"
#include "support/EventLoop.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

// Another client's copy: wl-copy serves `bytes` as `type` until the selection changes.
void copyElsewhere(const QByteArray& bytes, const QString& type) {
    QProcess copy;
    copy.start(u"wl-copy"_s, {u"--type"_s, type});
    ASSERT_TRUE(copy.waitForStarted());
    copy.write(bytes);
    copy.closeWriteChannel();
    // wl-copy forks a server of its own and returns once the selection is set.
    ASSERT_TRUE(copy.waitForFinished());
}

// What another client pastes as `type` (or lists, with "-l"), read while this process's event
// loop runs to serve it.
QByteArray pasteElsewhere(const QStringList& arguments, const QString& program = u"wl-paste"_s) {
    QProcess paste;
    paste.start(program, arguments);
    test::runEventLoopUntil([&] { return paste.state() == QProcess::NotRunning; });
    return paste.readAllStandardOutput();
}

class DataControlClipboardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(clipboard, nullptr); }

    std::unique_ptr<DataControlClipboard> clipboard = DataControlClipboard::open();
};

TEST_F(DataControlClipboardTest, CountsEveryCopyButNoRead) {
    const qint64 start = clipboard->changeCount();
    copyElsewhere("first", u"text/plain"_s);
    const qint64 afterCopy = clipboard->changeCount();
    EXPECT_GT(afterCopy, start);
    const auto types = clipboard->itemTypes();
    ASSERT_TRUE(types.has_value() && types->size() == 1);
    EXPECT_TRUE(types->front().contains(u"text/plain"_s));
    EXPECT_EQ(clipboard->data(0, u"text/plain"_s, 100).value_or(QByteArray()).bytes, "first");
    EXPECT_EQ(clipboard->string(), u"first"_s);
    EXPECT_EQ(clipboard->changeCount(), afterCopy);
    ASSERT_TRUE(clipboard->setString(u"ours"_s));
    EXPECT_GT(clipboard->changeCount(), afterCopy);
}

// A snapshot of another client's contents, the clipboard emptied, and the snapshot written
// back: every type comes back with the very bytes it had.
TEST_F(DataControlClipboardTest, WhatIsReadIsRestoredByteForByte) {
    const struct {
        const char* name;
        QString type;
        QByteArray bytes;
    } cases[] = {
        {"Text", u"text/plain;charset=utf-8"_s, QByteArray("Caf\xc3\xa9 \xf0\x9f\x98\x80 line\n")},
        {"ImageWithNul", u"image/png"_s, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        // Larger than a pipe holds: read in parts, and served in parts as the reader reads.
        {"LargeImage", u"image/png"_s, QByteArray(300'000, '\x7f')},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        copyElsewhere(test.bytes, test.type);
        clipboard->changeCount();
        const auto types = clipboard->itemTypes();
        ASSERT_TRUE(types.has_value() && types->size() == 1);
        ASSERT_TRUE(types->front().contains(test.type));
        Pasteboard::Item saved;
        for (const QString& type : types->front()) {
            const auto data = clipboard->data(0, type, test.bytes.size());
            ASSERT_TRUE(data.has_value()) << type.toStdString();
            saved.append({type, *data});
        }
        // One byte less than it holds: not read whole, not read at all.
        EXPECT_FALSE(clipboard->data(0, test.type, test.bytes.size() - 1).has_value());

        clipboard->clearContents();
        EXPECT_EQ(clipboard->itemTypes(), QList<QStringList>{});
        clipboard->writeItems({saved});
        EXPECT_EQ(pasteElsewhere({u"--list-types"_s}), types->front().join(u'\n').toUtf8() + '\n');
        for (const auto& [type, data] : std::as_const(saved)) {
            EXPECT_EQ(pasteElsewhere({u"--no-newline"_s, u"--type"_s, type}), data.bytes)
                << type.toStdString();
        }
        EXPECT_EQ(pasteElsewhere({u"--no-newline"_s, u"--type"_s, test.type}), test.bytes);
        // A reader that goes away after the first bytes ends its answer, not this process.
        EXPECT_EQ(pasteElsewhere({u"-c"_s, u"wl-paste --type '%1' | head -c 3"_s.arg(test.type)},
                                 u"sh"_s),
                  test.bytes.left(3));
        EXPECT_EQ(clipboard->data(0, test.type, test.bytes.size()).value_or(QByteArray()).bytes,
                  test.bytes);
        EXPECT_FALSE(clipboard->data(1, test.type, test.bytes.size()).has_value());
    }
}

TEST_F(DataControlClipboardTest, APasteTextOfOursIsMarkedForManagersToSkip) {
    const QString text = u"Caf\u00e9 \U0001F600"_s;
    ASSERT_TRUE(clipboard->setTransientString(text));
    const QByteArray types = pasteElsewhere({u"--list-types"_s});
    EXPECT_TRUE(types.contains("x-kde-passwordManagerHint\n")) << types.constData();
    EXPECT_TRUE(types.contains("text/plain;charset=utf-8\n")) << types.constData();
    EXPECT_EQ(QString::fromUtf8(pasteElsewhere({u"--no-newline"_s})), text);
    EXPECT_EQ(clipboard->string(), text);
    EXPECT_EQ(clipboard->data(0, u"x-kde-passwordManagerHint"_s, 100).value_or(QByteArray()).bytes,
              "secret");
}

// An owner that never writes its answer (here, a second clipboard of this very process, which
// cannot serve while the first one waits): the read gives up and says it found nothing.
TEST_F(DataControlClipboardTest, AnOwnerThatNeverAnswersReadsAsNothing) {
    const auto silent = DataControlClipboard::open();
    ASSERT_NE(silent, nullptr);
    ASSERT_TRUE(silent->setString(u"never sent"_s));
    clipboard->changeCount();
    ASSERT_TRUE(clipboard->itemTypes().has_value());
    EXPECT_EQ(clipboard->data(0, u"text/plain"_s, 100), std::nullopt);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
