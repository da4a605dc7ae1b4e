// The X11 clipboard on a private X server: the contract against Qt's clipboard code (a client
// nobody here wrote the protocol code of), and what only X11 has against a client speaking the
// selection protocol itself (the TARGETS answer, owners' property types and formats, the
// hand-over to a clipboard manager).
#include "integration/desktop/PasteboardContract.h"
#include "platform/linux/XcbClipboard.h"
#include "support/Printers.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

// The process's next whole line: a wakeup can bring part of one, or only its stderr.
QByteArray nextLine(QProcess& process) {
    const QDeadlineTimer deadline(5s);
    while (!process.canReadLine() && !deadline.hasExpired() &&
           process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    return process.readLine().trimmed();
}

// `program` (either peer) started with `arguments` and `input`, once it has said `ready`.
void start(QProcess& process, const char* program, const QStringList& arguments,
           const QByteArray& ready, const QByteArray& input = {}) {
    process.start(QString::fromLatin1(program), arguments);
    process.write(input);
    process.closeWriteChannel();
    ASSERT_EQ(nextLine(process), ready) << process.readAllStandardError().toStdString();
}

void stop(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

// What `program` (either peer) reads of these targets, while this process serves them.
QJsonObject readBy(const char* program, const QStringList& targets) {
    return QJsonDocument::fromJson(
               outputOf(QString::fromLatin1(program), QStringList{u"read"_s} + targets))
        .object();
}

// What Qt's clipboard pastes as `type`, while this process serves it.
QByteArray pastedByQt(const QString& type) {
    return QByteArray::fromBase64(
        readBy(TIDYWORD_CLIPBOARD_PEER, {type}).value(type).toString().toLatin1());
}

// Qt's clipboard copies and pastes; the selection peer is the owner too slow to answer.
class X11Clients final : public OtherClipboardClient {
public:
    ~X11Clients() override { stop(owner); }
    void copy(const QString& type, const QByteArray& bytes) override {
        stop(owner);
        start(owner, TIDYWORD_CLIPBOARD_PEER, {u"own"_s, type}, "owned", bytes);
    }
    QStringList types() override {
        QStringList types =
            readBy(TIDYWORD_CLIPBOARD_PEER, {}).value(u"types").toVariant().toStringList();
        // Qt lists the protocol's own targets too, and adds an image type of its own making.
        types.removeIf([](const QString& type) {
            return XcbClipboard::metaTargets().contains(type) || type == u"application/x-qt-image";
        });
        return types;
    }
    QByteArray paste(const QString& type) override { return pastedByQt(type); }
    QStringList ownWithoutAnswering() override {
        stop(owner);
        start(owner, TIDYWORD_SELECTION_PEER,
              {u"own"_s, u"--slow"_s, u"TEXT"_s, u"1.5"_s, u"TEXT=TEXT/8:theirs"_s}, "owned");
        return {u"TEXT"_s};
    }

private:
    QProcess owner;
};

INSTANTIATE_TEST_SUITE_P(XcbClipboardTest, PasteboardContract,
                         ::testing::Values(PasteboardBackend{
                             "X11", [] { return XcbClipboard::open(); },
                             [] { return std::make_unique<X11Clients>(); }}),
                         test::rowName);

class XcbClipboardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(clipboard, nullptr); }
    void TearDown() override { stop(peer); }

    QProcess peer;
    std::unique_ptr<XcbClipboard> clipboard = XcbClipboard::open();
};

TEST_F(XcbClipboardTest, AnOwnerThatDoesNotSayWhatItHoldsInTimeIsUnreadableNeverEmpty) {
    const struct {
        const char* name;
        QStringList arguments;
    } cases[] = {
        {"TypesAfter1.5s", {u"--targets-after"_s, u"1.5"_s}},
        {"TypesNever", {u"--silent-targets"_s}},
    };
    for (const auto& test : cases) {
        start(peer, TIDYWORD_SELECTION_PEER,
              QStringList{u"own"_s} + test.arguments + QStringList{u"TEXT=TEXT/8:theirs"_s},
              "owned");
        EXPECT_EQ(clipboard->itemTypes(), std::nullopt) << test.name;
        // Only the list is late: the text itself answers.
        EXPECT_EQ(clipboard->data(0, u"TEXT"_s, 1024), Pasteboard::Data("theirs")) << test.name;
        stop(peer);
    }
}

TEST_F(XcbClipboardTest, RestoredDataKeepsTheTypeAndFormatItsOwnerGaveIt) {
    start(peer, TIDYWORD_SELECTION_PEER,
          {u"own"_s, u"TEXT=UTF8_STRING/8:words"_s, u"X-NUMBERS=INTEGER/32:7,65536"_s}, "owned");
    const auto text = clipboard->data(0, u"TEXT"_s, 1024);
    const auto numbers = clipboard->data(0, u"X-NUMBERS"_s, 1024);
    ASSERT_TRUE(text && numbers);
    stop(peer);

    clipboard->writeItems({{{u"TEXT"_s, *text}, {u"X-NUMBERS"_s, *numbers}}});
    const QJsonObject typedText{
        {u"type"_s, u"UTF8_STRING"_s}, {u"format"_s, 8}, {u"value"_s, u"words"_s}};
    const QJsonObject typedNumbers{
        {u"type"_s, u"INTEGER"_s}, {u"format"_s, 32}, {u"value"_s, QJsonArray{7, 65536}}};
    EXPECT_EQ(readBy(TIDYWORD_SELECTION_PEER, {u"TEXT"_s, u"X-NUMBERS"_s}),
              (QJsonObject{{u"TEXT"_s, typedText}, {u"X-NUMBERS"_s, typedNumbers}}));
}

TEST_F(XcbClipboardTest, AtExitTheClipboardManagerKeepsWhatWeServeButNeverAPasteText) {
    start(peer, TIDYWORD_SELECTION_PEER, {u"manager"_s}, "managing");
    ASSERT_TRUE(clipboard->setTransientString(u"suggestion"_s));
    clipboard->keepAfterExit();
    clipboard->writeItems({{{u"UTF8_STRING"_s, "kept"_ba}, {u"image/png"_s, "\0\xff"_ba}}});
    clipboard->keepAfterExit();
    // The one hand-over the manager saw is the second.
    EXPECT_EQ(QJsonDocument::fromJson(nextLine(peer)).object().value(u"saved").toArray(),
              (QJsonArray{u"UTF8_STRING"_s, u"image/png"_s}));
    clipboard.reset();
    EXPECT_EQ(pastedByQt(u"text/plain"_s), "kept");
}

TEST_F(XcbClipboardTest, AManagerThatNeverAnswersHoldsTheExitUpOnlyForTheBound) {
    start(peer, TIDYWORD_SELECTION_PEER, {u"manager"_s, u"--silent"_s}, "managing");
    clipboard->writeItems({{{u"UTF8_STRING"_s, "kept"_ba}}});
    clipboard->keepAfterExit();  // without its bound, this never returns
    EXPECT_EQ(pastedByQt(u"text/plain"_s), "kept");
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
