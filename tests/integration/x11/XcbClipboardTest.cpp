// The X11 clipboard against another program's (Qt's) clipboard code on a private X server:
// every target byte for byte, large transfers in parts both ways, the size bound, and the
// change count.
#include "platform/linux/XcbClipboard.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char& byte : bytes) {
        byte = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

class XcbClipboardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(clipboard, nullptr); }
    void TearDown() override {
        for (QProcess* process : {&owner, &peer}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    // A client that speaks the selection protocol itself starts in `mode` and says `ready`.
    void startPeer(const QStringList& arguments, const QByteArray& ready) {
        peer.start(QStringLiteral(TIDYWORD_SELECTION_PEER), arguments);
        ASSERT_EQ(peerSays(), ready) << peer.readAllStandardError().toStdString();
    }

    // The client's next whole line: a wakeup can bring part of one, or only its stderr.
    QByteArray peerSays() {
        const QDeadlineTimer deadline(5s);
        while (!peer.canReadLine() && !deadline.hasExpired() &&
               peer.state() != QProcess::NotRunning) {
            peer.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        }
        return peer.readLine().trimmed();
    }

    // What `program` (either peer) reads of these targets, while this process serves them.
    static QJsonObject readBy(const char* program, const QStringList& targets) {
        QProcess reader;
        reader.start(QString::fromLatin1(program), QStringList{u"read"_s} + targets);
        test::pollUntil([&] { return reader.state() == QProcess::NotRunning; });
        return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    }

    // The text another client reads of the clipboard.
    static QJsonValue textReadByAnother() {
        return readBy(TIDYWORD_SELECTION_PEER, {u"UTF8_STRING"_s})
            .value(u"UTF8_STRING")
            .toObject()
            .value(u"value");
    }

    // Another program takes the clipboard with these contents.
    void peerOwns(const QList<QPair<QString, QByteArray>>& contents) {
        QStringList arguments{u"own"_s};
        for (const auto& [type, bytes] : contents) {
            QFile file(directory.filePath(QString::number(arguments.size())));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            arguments << type + u'=' + file.fileName();
        }
        owner.start(QStringLiteral(TIDYWORD_CLIPBOARD_PEER), arguments);
        ASSERT_TRUE(owner.waitForReadyRead(5000));
        ASSERT_EQ(owner.readLine().trimmed(), "owned");
    }

    QTemporaryDir directory;
    QProcess owner;
    QProcess peer;
    std::unique_ptr<XcbClipboard> clipboard = XcbClipboard::open();
};

const QByteArray kLarge = randomBytes(3 * 1024 * 1024 + 17);  // far past one request: INCR
const QByteArray kBinary("\0\x01\x02\xff binary\0", 11);

TEST_F(XcbClipboardTest, EveryTargetOfAnotherOwnerIsReadByteForByte) {
    peerOwns({{u"text/plain"_s, "theirs"_ba},
              {u"image/png"_s, kLarge},
              {u"application/x-tidyword-test"_s, kBinary}});
    const QList<QStringList> items = clipboard->itemTypes().value_or(QList<QStringList>{});
    ASSERT_EQ(items.size(), 1);
    for (const QString& type : {u"image/png"_s, u"application/x-tidyword-test"_s}) {
        EXPECT_TRUE(items[0].contains(type)) << type.toStdString();
    }
    for (const QString& meta : XcbClipboard::metaTargets()) {
        EXPECT_FALSE(items[0].contains(meta)) << meta.toStdString();
    }
    EXPECT_EQ(clipboard->data(0, u"application/x-tidyword-test"_s, 1024), kBinary);
    EXPECT_EQ(clipboard->data(0, u"image/png"_s, 32 << 20), kLarge);
    EXPECT_EQ(clipboard->data(1, u"image/png"_s, 32 << 20), std::nullopt);  // X holds one item
    EXPECT_EQ(clipboard->string(), u"theirs"_s);
}

TEST_F(XcbClipboardTest, ContentsOverTheBoundAreNotRead) {
    peerOwns({{u"image/png"_s, kLarge}, {u"application/x-tidyword-test"_s, kBinary}});
    EXPECT_EQ(clipboard->data(0, u"image/png"_s, kLarge.size() - 1), std::nullopt);
    EXPECT_EQ(clipboard->data(0, u"application/x-tidyword-test"_s, kBinary.size() - 1),
              std::nullopt);
    // The owner is still there to answer the next read whole.
    EXPECT_EQ(clipboard->data(0, u"application/x-tidyword-test"_s, kBinary.size()), kBinary);
    EXPECT_EQ(clipboard->data(0, u"image/png"_s, kLarge.size()), kLarge);
}

TEST_F(XcbClipboardTest, RestoredContentsAreServedExactlyAndByteForByte) {
    // As a restore does it: our transient text, cleared, then the saved contents.
    ASSERT_TRUE(clipboard->setTransientString(u"transient"_s));
    clipboard->clearContents();
    clipboard->writeItems({{{u"application/x-tidyword-test"_s, kBinary},
                            {u"image/png"_s, kLarge},
                            {u"text/plain"_s, "ours"_ba}}});
    const QJsonObject read = readBy(TIDYWORD_CLIPBOARD_PEER, {u"application/x-tidyword-test"_s,
                                                              u"image/png"_s, u"text/plain"_s});
    QStringList types;
    for (const QJsonValue offered : read.value(u"types").toArray()) {
        // Qt lists the protocol's own targets too, and adds an image type of its own making.
        const QString type = offered.toString();
        if (!XcbClipboard::metaTargets().contains(type) && type != u"application/x-qt-image") {
            types << type;
        }
    }
    types.sort();
    EXPECT_EQ(types,
              (QStringList{u"application/x-tidyword-test"_s, u"image/png"_s, u"text/plain"_s}));
    EXPECT_EQ(read.value(u"image/png").toObject().value(u"sha256").toString(), sha256(kLarge));
    EXPECT_EQ(read.value(u"application/x-tidyword-test").toObject().value(u"sha256").toString(),
              sha256(kBinary));
    EXPECT_EQ(read.value(u"text/plain").toObject().value(u"size").toInt(), 4);
    // Read back here, each type is its own, within the same bound as another owner's.
    EXPECT_EQ(clipboard->data(0, u"application/x-tidyword-test"_s, 1024), kBinary);
    EXPECT_EQ(clipboard->data(0, u"image/png"_s, kLarge.size() - 1), std::nullopt);
}

TEST_F(XcbClipboardTest, TheChangeCountRisesWithEveryNewOwnerAndNotWithReads) {
    const qint64 start = clipboard->changeCount();
    peerOwns({{u"text/plain"_s, "theirs"_ba}});
    test::pollUntil([&] { return clipboard->changeCount() > start; });
    const qint64 theirs = clipboard->changeCount();
    clipboard->string();
    clipboard->itemTypes();
    EXPECT_EQ(clipboard->changeCount(), theirs);

    ASSERT_TRUE(clipboard->setString(u"ours"_s));
    EXPECT_GT(clipboard->changeCount(), theirs);
    const qint64 ours = clipboard->changeCount();
    clipboard->clearContents();
    EXPECT_GT(clipboard->changeCount(), ours);
    EXPECT_EQ(clipboard->itemTypes(), QList<QStringList>{});
    EXPECT_EQ(clipboard->string(), std::nullopt);
}

TEST_F(XcbClipboardTest, AnOwnerThatDoesNotAnswerInTimeIsUnreadableNeverEmpty) {
    const struct {
        const char* name;
        QStringList options;
        bool listed;  // whether the types can be read, and only the text cannot
    } cases[] = {
        {"TypesAfter1.5s", {u"--targets-after"_s, u"1.5"_s}, false},
        {"TypesNever", {u"--silent-targets"_s}, false},
        {"TextAfter1.5s", {u"--slow"_s, u"TEXT"_s, u"1.5"_s}, true},
    };
    for (const auto& test : cases) {
        startPeer(QStringList{u"own"_s} + test.options + QStringList{u"TEXT=TEXT/8:theirs"_s},
                  "owned");
        const auto types = clipboard->itemTypes();
        if (test.listed) {
            EXPECT_EQ(types, QList<QStringList>{{u"TEXT"_s}}) << test.name;
        } else {
            EXPECT_EQ(types, std::nullopt) << test.name;
        }
        EXPECT_EQ(clipboard->data(0, u"TEXT"_s, 1024).has_value(), !test.listed) << test.name;
        peer.kill();
        peer.waitForFinished();
    }
}

TEST_F(XcbClipboardTest, RestoredDataKeepsTheTypeAndFormatItsOwnerGaveIt) {
    startPeer({u"own"_s, u"TEXT=UTF8_STRING/8:words"_s, u"X-NUMBERS=INTEGER/32:7,65536"_s},
              "owned");
    const auto text = clipboard->data(0, u"TEXT"_s, 1024);
    const auto numbers = clipboard->data(0, u"X-NUMBERS"_s, 1024);
    ASSERT_TRUE(text && numbers);
    peer.kill();
    peer.waitForFinished();

    clipboard->writeItems({{{u"TEXT"_s, *text}, {u"X-NUMBERS"_s, *numbers}}});
    const QJsonObject read = readBy(TIDYWORD_SELECTION_PEER, {u"TEXT"_s, u"X-NUMBERS"_s});
    EXPECT_EQ(
        read.value(u"TEXT").toObject(),
        (QJsonObject{{u"type"_s, u"UTF8_STRING"_s}, {u"format"_s, 8}, {u"value"_s, u"words"_s}}));
    EXPECT_EQ(
        read.value(u"X-NUMBERS").toObject(),
        (QJsonObject{
            {u"type"_s, u"INTEGER"_s}, {u"format"_s, 32}, {u"value"_s, QJsonArray{7, 65536}}}));
}

TEST_F(XcbClipboardTest, AtExitTheClipboardManagerKeepsWhatWeServeButNeverAPasteText) {
    startPeer({u"manager"_s}, "managing");
    ASSERT_TRUE(clipboard->setTransientString(u"suggestion"_s));
    clipboard->keepAfterExit();
    clipboard->writeItems({{{u"UTF8_STRING"_s, "kept"_ba}, {u"image/png"_s, kBinary}}});
    clipboard->keepAfterExit();
    // The one hand-over the manager saw is the second.
    EXPECT_EQ(QJsonDocument::fromJson(peerSays()).object().value(u"saved").toArray(),
              (QJsonArray{u"UTF8_STRING"_s, u"image/png"_s}));
    clipboard.reset();
    EXPECT_EQ(textReadByAnother(), u"kept"_s);
}

TEST_F(XcbClipboardTest, AManagerThatNeverAnswersHoldsTheExitUpOnlyForTheBound) {
    startPeer({u"manager"_s, u"--silent"_s}, "managing");
    clipboard->writeItems({{{u"UTF8_STRING"_s, "kept"_ba}}});
    clipboard->keepAfterExit();  // without its bound, this never returns
    EXPECT_EQ(textReadByAnother(), u"kept"_s);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
