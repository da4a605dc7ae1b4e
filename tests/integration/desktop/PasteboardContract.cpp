#include "integration/desktop/PasteboardContract.h"

#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QProcess>
#include <QRandomGenerator>

namespace tidyword::platform::linux_desktop {

using namespace Qt::Literals::StringLiterals;

QByteArray outputOf(const QString& program, const QStringList& arguments, const QByteArray& input) {
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    test::runEventLoopUntil([&] { return process.state() == QProcess::NotRunning; });
    return process.readAllStandardOutput();
}

void PasteboardContract::copyElsewhere(const QString& type, const QByteArray& bytes) {
    const qint64 before = clipboard->changeCount();
    other->copy(type, bytes);
    test::pollUntil([&] { return clipboard->changeCount() > before; });
}

namespace {

QByteArray randomBytes(qsizetype words) {
    QByteArray bytes(words * 4, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(bytes.data()), words);
    return bytes;
}

// Another client's contents are counted and read within the bound, then, as a restore does it,
// written back after a text of ours and a clear: every type comes back with the very bytes it had.
TEST_P(PasteboardContract, AnotherOwnersContentsAreReadWithinTheBoundAndRestoredByteForByte) {
    const struct {
        const char* name;
        QString type;
        QByteArray bytes;
    } cases[] = {
        {"Text", u"text/plain;charset=utf-8"_s, QByteArray("Caf\xc3\xa9 \xf0\x9f\x98\x80 line\n")},
        {"BinaryWithNul", u"application/x-tidyword-test"_s, QByteArray("\0\x01\x02\xff bin\0", 8)},
        // Far past one request or one pipe: read and served in parts (on X11, INCR).
        {"LargeImage", u"image/png"_s, randomBytes(768 * 1024 + 5)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const qint64 size = test.bytes.size();
        copyElsewhere(test.type, test.bytes);
        const qint64 theirs = clipboard->changeCount();
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
        EXPECT_EQ(clipboard->changeCount(), theirs);  // reads are no change

        ASSERT_TRUE(clipboard->setString(u"ours"_s));
        const qint64 ours = clipboard->changeCount();
        EXPECT_GT(ours, theirs);
        clipboard->clearContents();
        EXPECT_GT(clipboard->changeCount(), ours);
        EXPECT_EQ(clipboard->itemTypes(),
                  GetParam().clearLeavesTheMark
                      ? QList<QStringList>{{QString::fromUtf16(Pasteboard::transientMarkType)}}
                      : QList<QStringList>{});
        EXPECT_EQ(clipboard->string(), std::nullopt);
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

// Under whichever text type the owner offers alone; an owner asked for one it does not list may
// answer with nothing rather than a refusal.
TEST_P(PasteboardContract, AnotherOwnersPlainTextIsItsString) {
    for (const QString& type :
         {u"text/plain"_s, u"text/plain;charset=utf-8"_s, u"text/plain;charset=UTF-8"_s}) {
        copyElsewhere(type, "theirs \xc3\xa9");
        EXPECT_EQ(clipboard->string(), u"theirs \u00e9"_s) << type.toStdString();
    }
}

TEST_P(PasteboardContract, APasteTextOfOursIsMarkedForManagersToSkip) {
    const QString text = u"Caf\u00e9 \U0001F600"_s;
    const QString mark = QString::fromUtf16(Pasteboard::transientMarkType);
    ASSERT_TRUE(clipboard->setTransientString(text));
    // Another client pastes only listed types: the mark is one of them.
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
    EXPECT_EQ(clipboard->data(0, offered.value(0), 1024), std::nullopt);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
