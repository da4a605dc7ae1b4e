// The paste route of a Wayland session on a private KWin with KDE's portal backend: copy and
// paste chords through the RemoteDesktop portal, the clipboard read and set over data control,
// and the text bridge's whole replacement through them, into mousepad and into a Qt field that
// offers no way to edit it over the accessibility bus. All are native Wayland clients.
#include "e2e/AccessibleUi.h"
#include "integration/desktop/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiWorkspace.h"
#include "platform/linux/DataControlClipboard.h"
#include "platform/linux/PortalKeyEvents.h"
#include "support/EventLoop.h"
#include "textbridge/TextBridge.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::eventually;
using Shortcut = KeyEvents::Shortcut;

// A replacement makes three portal requests and reads another client's clipboard several
// times: on a busy machine, more than the usual watchdog.
constexpr std::chrono::milliseconds kReplacementPatience{30'000};

class WaylandPasteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(workspace && clipboard && keys && accessibility); }

    // Starts mousepad on `text`, or the Qt field that offers no editing, and waits until its
    // field has the keyboard.
    qint32 openEditor(const QString& text, bool qtField = false) {
        QFile file(directory.filePath(u"draft.txt"_s));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        const qint32 editor = qtField
                                  ? applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                              {u"--read-only-interface"_s, text})
                                  : applications.startInFront(u"mousepad"_s, {file.fileName()});
        EXPECT_TRUE(eventually([&] { return textOf(editor) == text; }));
        return editor;
    }
    static std::optional<QString> textOf(qint32 editor) {
        return test::AccessibleUi(editor).editableText();
    }

    std::unique_ptr<AtspiAccessibility> accessibility = AtspiAccessibility::open();
    std::unique_ptr<AtspiWorkspace> workspace = AtspiWorkspace::open();
    std::unique_ptr<DataControlClipboard> clipboard = DataControlClipboard::open();
    // Nothing holds a modifier here: the test presses no keys of its own.
    std::unique_ptr<PortalKeyEvents> keys =
        workspace ? PortalKeyEvents::open(*workspace, nullptr, [] { return false; }) : nullptr;
    test::DesktopApplications applications{*workspace};
    QTemporaryDir directory;
};

TEST_F(WaylandPasteTest, CopyAndPasteReachTheApplicationInFront) {
    const qint32 editor = openEditor(u"the first words"_s);
    ASSERT_TRUE(test::AccessibleUi(editor).selectText(4, 9));
    ASSERT_TRUE(clipboard->setString(u"before"_s));
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::copy, editor)), KeyEvents::Posted::yes);
    EXPECT_TRUE(eventually([&] { return clipboard->string() == u"first"_s; }));

    ASSERT_TRUE(clipboard->setString(u"last"_s));
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::paste, editor)), KeyEvents::Posted::yes);
    EXPECT_TRUE(eventually([&] { return textOf(editor) == u"the last words"_s; }));
}

TEST_F(WaylandPasteTest, NothingIsTypedForAnApplicationNotInFront) {
    const qint32 editor = openEditor(u"the first words"_s);
    ASSERT_TRUE(test::AccessibleUi(editor).selectText(0, 3));
    ASSERT_TRUE(clipboard->setString(u"kept"_s));
    const auto self = static_cast<qint32>(QCoreApplication::applicationPid());
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, self)), KeyEvents::Posted::no);
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::copy, self)), KeyEvents::Posted::no);
    test::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(textOf(editor), u"the first words"_s);
    EXPECT_EQ(clipboard->string(), u"kept"_s);
}

TEST_F(WaylandPasteTest, AModifierStillHeldStopsThePost) {
    bool held = true;
    const auto waiting = PortalKeyEvents::open(*workspace, nullptr, [&held] { return held; });
    const qint32 editor = openEditor(u"the first words"_s);
    ASSERT_TRUE(test::AccessibleUi(editor).selectText(0, 3));
    ASSERT_TRUE(clipboard->setString(u"kept"_s));
    EXPECT_EQ(test::runToCompletion(waiting->post(Shortcut::paste, editor)), KeyEvents::Posted::no);
    held = false;
    EXPECT_EQ(test::runToCompletion(waiting->post(Shortcut::paste, editor)),
              KeyEvents::Posted::yes);
    EXPECT_TRUE(eventually([&] { return textOf(editor) == u"kept first words"_s; }));
}

// The whole replacement, verified and with the user's clipboard put back as another client
// pastes it: in mousepad, and in a field only keys can edit.
TEST_F(WaylandPasteTest, AReplacementPastesAndLeavesTheUsersClipboard) {
    platform::SystemClock clock;
    TextBridge bridge({*accessibility, *workspace, *clipboard, *keys, clock});
    for (const bool qtField : {false, true}) {
        SCOPED_TRACE(qtField ? "QtFieldWithoutEditing" : "Mousepad");
        const qint32 editor = openEditor(u"Caf\u00e9 \U0001F600 cr\u00e8me and more"_s, qtField);
        QProcess copy;
        copy.start(u"wl-copy"_s, {u"the user's own words"_s});
        ASSERT_TRUE(copy.waitForFinished());
        // Seven characters on screen: code points in GTK, UTF-16 units in Qt.
        const int start = qtField ? 8 : 7;
        ASSERT_TRUE(test::AccessibleUi(editor).selectText(start, start + 5));
        const TextSelection selection =
            test::runToCompletion(bridge.captureSelection(), kReplacementPatience);
        ASSERT_EQ(selection.text, u"cr\u00e8me"_s);
        ASSERT_TRUE(selection.canReplace);
        // Nothing but keys can change the Qt field.
        EXPECT_EQ(accessibility->isSettable(selection.element, Accessibility::Attribute::value),
                  !qtField);

        test::runToCompletion(bridge.replace(selection, u"CR\u00c8ME"_s), kReplacementPatience);
        EXPECT_EQ(textOf(editor), u"Caf\u00e9 \U0001F600 CR\u00c8ME and more"_s);
        QProcess paste;
        paste.start(u"wl-paste"_s, {u"--no-newline"_s});
        test::runEventLoopUntil([&] { return paste.state() == QProcess::NotRunning; });
        EXPECT_EQ(paste.readAllStandardOutput(), "the user's own words");
        applications.stop(editor);
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
