// Synthetic copy and paste into a real editor (mousepad) on a private desktop, with the
// modifiers of the global shortcut still held or already released.
#include "integration/desktop/DesktopApplications.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeyEvents.h"
#include "platform/linux/XcbConnection.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using test::xdotool;
using Shortcut = KeyEvents::Shortcut;

class XTestKeyEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(workspace, nullptr);
        ASSERT_NE(keys, nullptr);
        QFile file(draft());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("hello");
        file.close();
        editor = applications.startInFront(u"mousepad"_s, {draft()});
        // The window manager names the active window before the application takes the focus.
        test::pollUntil([this] { return keys->keysWouldReach(editor); }, 20ms,
                        test::kDesktopPatience);
    }

    QString draft() const { return directory.filePath(u"draft.txt"_s); }

    // Saves the editor's text and reads it back from the file.
    QByteArray savedText() {
        xdotool({u"key"_s, u"ctrl+s"_s});
        QByteArray text;
        test::pollUntil(
            [&] {
                QFile file(draft());
                return file.open(QIODevice::ReadOnly) && (text = file.readAll()) != lastSaved;
            },
            20ms, 2000ms + test::kWatchdog);
        lastSaved = text;
        return text;
    }

    QTemporaryDir directory;
    std::unique_ptr<X11Workspace> workspace = X11Workspace::open();
    std::unique_ptr<XTestKeyEvents> keys = XTestKeyEvents::open();
    test::DesktopApplications applications{*workspace};
    qint32 editor = 0;
    QByteArray lastSaved = "hello";
};

TEST_F(XTestKeyEventsTest, NothingIsPostedWhereTheKeysWouldNotLand) {
    const auto other = XcbConnection::open();
    xcb_connection_t* c = other->get();
    // Another client holds the keyboard, as an open menu does.
    std::free(xcb_grab_keyboard_reply(c,
                                      xcb_grab_keyboard(c, 0, other->root(), XCB_CURRENT_TIME,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                      nullptr));
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, editor)), KeyEvents::Posted::no);
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);

    // The input focus goes to a window the window manager does not manage, while the root
    // still names the editor's window as the active one.
    const xcb_window_t editorWindow = *workspace->activeWindow();
    const xcb_window_t popup = xcb_generate_id(c);
    const std::uint32_t overrideRedirect = 1;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, popup, other->root(), 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                      &overrideRedirect);
    xcb_map_window(c, popup);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, popup, XCB_CURRENT_TIME);
    xcb_flush(c);
    test::processEventsFor(std::chrono::milliseconds(300));  // the window manager's answer
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, other->root(), other->atom("_NET_ACTIVE_WINDOW"),
                        XCB_ATOM_WINDOW, 32, 1, &editorWindow);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const bool premise = workspace->frontmostApplication()->processIdentifier == editor;
    EXPECT_TRUE(premise &&
                test::runToCompletion(keys->post(Shortcut::paste, editor)) == KeyEvents::Posted::no)
        << premise;
    xcb_destroy_window(c, popup);
    xcb_flush(c);

    // Nor to an application that is not in front; to one that is, it is.
    const qint32 dialog = applications.startInFront(u"zenity"_s, {u"--entry"_s});
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, editor)), KeyEvents::Posted::no);
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, dialog)), KeyEvents::Posted::yes);
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::copy, 0)), KeyEvents::Posted::no);
}

TEST_F(XTestKeyEventsTest, ModifiersReleasedSoonLetTheChordsLandPlain) {
    xdotool({u"key"_s, u"ctrl+a"_s});
    xdotool({u"keydown"_s, u"alt+shift"_s});
    ASSERT_TRUE(keys->modifiersHeld());
    QProcess::startDetached(u"sh"_s, {u"-c"_s, u"sleep 0.3; xdotool keyup alt+shift"_s});
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::copy, editor)),
              KeyEvents::Posted::yes);  // after the release
    EXPECT_FALSE(keys->modifiersHeld());
    xdotool({u"key"_s, u"End"_s});
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::paste, editor)), KeyEvents::Posted::yes);
    EXPECT_EQ(savedText(), "hellohello");
}

TEST_F(XTestKeyEventsTest, ModifiersHeldOnMeanNoPost) {
    xdotool({u"key"_s, u"ctrl+a"_s});
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::copy, editor)), KeyEvents::Posted::yes);
    xdotool({u"key"_s, u"End"_s});
    xdotool({u"keydown"_s, u"alt+shift"_s});
    QProcess::startDetached(u"sh"_s, {u"-c"_s, u"sleep 3; xdotool keyup alt+shift"_s});
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, editor)), KeyEvents::Posted::no);
    // The user's keys are still down: nothing faked their release.
    EXPECT_TRUE(keys->modifiersHeld());
    test::pollUntil([this] { return !keys->modifiersHeld(); }, 20ms, 5000ms);
    xdotool({u"key"_s, u"ctrl+End"_s, u"exclam"_s});
    EXPECT_EQ(savedText(), "hello!");
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
