// GNOME's paste route on a private mutter: the portal's clipboard, lent to the keys' session of a
// paste, with the stand-in portal passing both through to mutter's own RemoteDesktop sessions as
// GNOME's portal backend does. The clipboard contract against wl-copy and wl-paste, and the
// whole replacement into mousepad and into a Qt field only keys can edit.
#include "e2e/AccessibleUi.h"
#include "integration/desktop/DesktopApplications.h"
#include "integration/desktop/PasteboardContract.h"
#include "integration/portal/FakePortal.h"
#include "integration/wayland/WaylandClients.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiWorkspace.h"
#include "platform/linux/PortalClipboard.h"
#include "platform/linux/PortalKeyEvents.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "textbridge/TextBridge.h"
#include "textbridge/TextBridgeError.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using Posted = KeyEvents::Posted;

// The portal's clipboard with a paste's session open, as a replacement has it.
class LentClipboard final : public Pasteboard {
public:
    LentClipboard() {
        if (workspace && clipboard) {
            keys = PortalKeyEvents::open(
                *workspace, nullptr, [] { return false; }, clipboard.get());
        }
    }
    ~LentClipboard() override {
        if (keys) {
            keys->closePasteSession();
        }
    }
    LentClipboard(const LentClipboard&) = delete;
    LentClipboard& operator=(const LentClipboard&) = delete;

    static std::unique_ptr<Pasteboard> open() {
        auto lent = std::make_unique<LentClipboard>();
        if (!lent->keys || test::runToCompletion(lent->keys->openPasteSession(0)) != Posted::yes) {
            return nullptr;
        }
        return lent;
    }

    qint64 changeCount() override { return clipboard->changeCount(); }
    std::optional<QList<QStringList>> itemTypes() override { return clipboard->itemTypes(); }
    std::optional<Data> data(int item, const QString& type, qint64 maximumSize) override {
        return clipboard->data(item, type, maximumSize);
    }
    void clearContents() override { clipboard->clearContents(); }
    void writeItems(const QList<Item>& items) override { clipboard->writeItems(items); }
    bool setString(const QString& text) override { return clipboard->setString(text); }
    bool setTransientString(const QString& text) override {
        return clipboard->setTransientString(text);
    }
    std::optional<QString> string() override { return clipboard->string(); }
    void keepAfterExit() override {}

private:
    test::FakePortal portal{1, 0};
    std::unique_ptr<AtspiWorkspace> workspace = AtspiWorkspace::open();
    std::unique_ptr<PortalClipboard> clipboard = PortalClipboard::open();
    std::unique_ptr<PortalKeyEvents> keys;  // goes before the clipboard it lends to
};

// mutter's clipboard manager puts its copy of the last text back on an empty clipboard.
INSTANTIATE_TEST_SUITE_P(PortalClipboardTest, PasteboardContract,
                         ::testing::Values(PasteboardBackend{
                             "GnomePortal", &LentClipboard::open,
                             [] { return std::make_unique<WaylandClients>(&LentClipboard::open); },
                             true}),
                         test::rowName);

// The whole replacement, verified, with the user's clipboard put back, and still served after the
// replacement, as another client pastes it, also by a second paste in the same session; and a
// refused consent, which leaves both the text and the clipboard as they were.
TEST(PortalClipboardTest, AReplacementPastesThroughTheLentClipboardOnlyWithConsent) {
    std::optional<test::FakePortal> portal(std::in_place, 1, 0);
    std::unique_ptr<AtspiAccessibility> accessibility = AtspiAccessibility::open();
    std::unique_ptr<AtspiWorkspace> workspace = AtspiWorkspace::open();
    std::unique_ptr<PortalClipboard> clipboard = PortalClipboard::open();
    ASSERT_TRUE(accessibility && workspace && clipboard);
    test::DesktopApplications applications{*workspace};
    const QTemporaryDir directory;
    platform::SystemClock clock;
    const QString text = u"Caf\u00e9 \U0001F600 cr\u00e8me and more"_s;
    // An image: mutter 43 keeps its own copy of a text, not of an image, once its owner goes.
    const QByteArray users("\x89PNG\r\n\x1a\n the user's own image", 29);
    const struct {
        const char* name;
        bool qtField;
        int startResponse;
        // The last paste's session, kept for the user's image it put back, serves this one.
        bool keptSession;
        std::optional<TextBridgeError::Code> error;
    } cases[] = {
        {"Mousepad", false, 0, false, std::nullopt},
        {"QtFieldWithoutEditingInTheKeptSession", true, 0, true, std::nullopt},
        {"ConsentRefused", false, 1, false, TextBridgeError::keysRefused},
    };
    std::unique_ptr<PortalKeyEvents> keys;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        if (!test.keptSession) {
            keys.reset();
            portal.emplace(1, test.startResponse);
            keys = PortalKeyEvents::open(*workspace, nullptr, {}, clipboard.get());
            // Copied before the editor starts: wl-copy takes the keyboard for a moment on mutter.
            outputOf(u"wl-copy"_s, {u"--type"_s, u"image/png"_s}, users);
        }
        ASSERT_NE(keys, nullptr);
        TextBridge bridge({*accessibility, *workspace, *clipboard, *keys, clock});
        QFile file(directory.filePath(u"draft.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        const qint32 editor = test.qtField
                                  ? applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                              {u"--read-only-interface"_s, text})
                                  : applications.startInFront(u"mousepad"_s, {file.fileName()});
        ASSERT_TRUE(
            test::eventually([&] { return test::AccessibleUi(editor).editableText() == text; }));
        // Seven characters on screen: code points in GTK, UTF-16 units in Qt.
        const int start = test.qtField ? 8 : 7;
        ASSERT_TRUE(test::AccessibleUi(editor).selectText(start, start + 5));
        // mutter's applications take a moment to tell the selection made.
        std::optional<TextSelection> captured;
        std::string failure;
        ASSERT_TRUE(test::eventually([&] {
            try {
                captured = test::runToCompletion(bridge.captureSelection());
            } catch (const TextBridgeError& error) {
                failure = error.what();
            }
            return captured && captured->text == u"cr\u00e8me"_s;
        })) << failure;
        const TextSelection& selection = *captured;

        std::optional<TextBridgeError::Code> error;
        try {
            test::runToCompletion(bridge.replace(selection, u"CR\u00c8ME"_s),
                                  std::chrono::seconds(30));
        } catch (const TextBridgeError& thrown) {
            error = thrown.code();
        }
        EXPECT_EQ(error, test.error);
        EXPECT_EQ(test::AccessibleUi(editor).editableText(),
                  test.error ? text : u"Caf\u00e9 \U0001F600 CR\u00c8ME and more"_s);
        EXPECT_EQ(outputOf(u"wl-paste"_s, {u"--type"_s, u"image/png"_s}), users);
        const QList<QJsonObject> asked = portal->requests();
        const auto starts = std::count_if(
            asked.cbegin(), asked.cend(),
            [](const QJsonObject& request) { return request[u"method"] == u"Start"_s; });
        EXPECT_EQ(starts, 1);
        applications.stop(editor);
    }
}

// A paste's session is kept only while the clipboard holds what the paste put back: it ends with
// a paste that leaves nothing of ours, once another program writes, or when the user ends it from
// the desktop; and an ended session is not used again.
TEST(PortalClipboardTest, ASessionIsKeptOnlyForOurContentsAndNotUsedOnceEnded) {
    const test::FakePortal portal(1, 0);
    std::unique_ptr<AtspiWorkspace> workspace = AtspiWorkspace::open();
    std::unique_ptr<PortalClipboard> clipboard = PortalClipboard::open();
    ASSERT_TRUE(workspace && clipboard);
    auto keys = PortalKeyEvents::open(*workspace, nullptr, {}, clipboard.get());
    const auto paste = [&](const std::optional<QString>& putBack) {
        ASSERT_EQ(test::runToCompletion(keys->openPasteSession(0)), Posted::yes);
        if (putBack) {
            ASSERT_TRUE(clipboard->setString(*putBack));
        }
        keys->closePasteSession();
    };
    const auto ends = [&] {
        return test::eventually([&] { return !clipboard->lent(); }, std::chrono::seconds(5));
    };
    paste(std::nullopt);
    EXPECT_FALSE(clipboard->lent());

    paste(u"put back"_s);
    ASSERT_TRUE(clipboard->lent());
    outputOf(u"wl-copy"_s, {u"another program's words"_s});
    EXPECT_TRUE(ends());

    paste(u"put back again"_s);
    ASSERT_TRUE(clipboard->lent());
    test::FakePortal::closeSessions();
    EXPECT_TRUE(ends());
    ASSERT_EQ(test::runToCompletion(keys->openPasteSession(0)), Posted::yes);
    EXPECT_TRUE(clipboard->setString(u"the next paste"_s));
    keys->closePasteSession();
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
