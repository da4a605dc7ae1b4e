#include "integration/desktop/PasteboardContract.h"

#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QRandomGenerator>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& byte : bytes) {
        byte = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}

}  // namespace

void PasteboardContract::copyElsewhere(const QString& type, const QByteArray& bytes) {
    const qint64 before = clipboard->changeCount();
    other->copy(type, bytes);
    test::pollUntil([&] { return clipboard->changeCount() > before; });
}

namespace {

TEST_P(PasteboardContract, TheChangeCountMovesWithEveryWriteAndNotWithReads) {
    copyElsewhere(u"text/plain"_s, "theirs");
    const qint64 theirs = clipboard->changeCount();
    const auto types = clipboard->itemTypes();
    ASSERT_TRUE(types.has_value() && types->size() == 1);
    EXPECT_TRUE(types->front().contains(u"text/plain"_s));
    EXPECT_EQ(clipboard->data(0, u"text/plain"_s, 100), Pasteboard::Data("theirs"));
    EXPECT_EQ(clipboard->string(), u"theirs"_s);
    EXPECT_EQ(clipboard->changeCount(), theirs);

    ASSERT_TRUE(clipboard->setString(u"ours"_s));
    const qint64 ours = clipboard->changeCount();
    EXPECT_GT(ours, theirs);
    clipboard->clearContents();
    EXPECT_GT(clipboard->changeCount(), ours);
    EXPECT_EQ(clipboard->itemTypes(), QList<QStringList>{});
    EXPECT_EQ(clipboard->string(), std::nullopt);
}

// A snapshot of another client's contents, the clipboard emptied, and the snapshot written
// back: every type comes back with the very bytes it had, and nothing is read past the bound.
TEST_P(PasteboardContract, WhatAnotherOwnerHoldsIsReadWithinTheBoundAndRestoredByteForByte) {
    const struct {
        const char* name;
        QString type;
        QByteArray bytes;
    } cases[] = {
        {"Text", u"text/plain;charset=utf-8"_s, QByteArray("Caf\xc3\xa9 \xf0\x9f\x98\x80 line\n")},
        {"BinaryWithNul", u"application/x-tidyword-test"_s, QByteArray("\0\x01\x02\xff bin\0", 8)},
        // Far past one request or one pipe: read and served in parts (on X11, INCR).
        {"LargeImage", u"image/png"_s, randomBytes(3 * 1024 * 1024 + 17)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const qint64 size = test.bytes.size();
        copyElsewhere(test.type, test.bytes);
        const auto types = clipboard->itemTypes();
        ASSERT_TRUE(types.has_value() && types->size() == 1);
        ASSERT_TRUE(types->front().contains(test.type));
        // One byte less than it holds: not read whole, and the owner still answers in full.
        EXPECT_EQ(clipboard->data(0, test.type, size - 1), std::nullopt);
        EXPECT_EQ(clipboard->data(0, test.type, size), test.bytes);
        EXPECT_EQ(clipboard->data(1, test.type, size), std::nullopt);  // one item only
        Pasteboard::Item saved;
        for (const QString& type : types->front()) {
            const auto data = clipboard->data(0, type, size);
            ASSERT_TRUE(data.has_value()) << type.toStdString();
            saved.append({type, *data});
        }

        // As a restore does it: after our paste text, cleared, then the saved contents.
        ASSERT_TRUE(clipboard->setTransientString(u"transient"_s));
        clipboard->clearContents();
        EXPECT_EQ(clipboard->itemTypes(), QList<QStringList>{});
        clipboard->writeItems({saved});
        EXPECT_EQ(other->types(), types->front());
        for (const auto& [type, data] : std::as_const(saved)) {
            EXPECT_EQ(other->paste(type), data.bytes) << type.toStdString();
        }
        // Read back here, each type is its own, within the same bound as another owner's.
        EXPECT_EQ(clipboard->data(0, test.type, size), test.bytes);
        EXPECT_EQ(clipboard->data(0, test.type, size - 1), std::nullopt);
        EXPECT_EQ(clipboard->data(1, test.type, size), std::nullopt);
    }
}

TEST_P(PasteboardContract, APasteTextOfOursIsMarkedForManagersToSkip) {
    const QString text = u"Caf\u00e9 \U0001F600"_s;
    const QString mark = QString::fromUtf16(Pasteboard::transientMarkType);
    ASSERT_TRUE(clipboard->setTransientString(text));
    const QStringList types = other->types();
    EXPECT_TRUE(types.contains(mark)) << types.join(u' ').toStdString();
    EXPECT_EQ(QString::fromUtf8(other->paste(u"text/plain;charset=utf-8"_s)), text);
    EXPECT_EQ(other->paste(mark), "secret");
    EXPECT_EQ(clipboard->string(), text);
    EXPECT_EQ(clipboard->data(0, mark, 100), Pasteboard::Data("secret"));
}

// An owner that lists its types but does not send the data in time: the read gives up and says
// it found nothing.
TEST_P(PasteboardContract, AnOwnerThatDoesNotAnswerInTimeReadsAsNothing) {
    const qint64 before = clipboard->changeCount();
    const QStringList offered = other->ownWithoutAnswering();
    test::pollUntil([&] { return clipboard->changeCount() > before; });
    EXPECT_EQ(clipboard->itemTypes(), QList<QStringList>{offered});
    EXPECT_EQ(clipboard->data(0, offered.front(), 1024), std::nullopt);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
