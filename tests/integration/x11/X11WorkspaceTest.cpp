// The X11 workspace against real applications on a private desktop with a window manager.
#include "integration/desktop/DesktopApplications.h"
#include "platform/linux/X11Workspace.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(workspace, nullptr) << "no X server"; }

    std::unique_ptr<X11Workspace> workspace = X11Workspace::open();
    test::DesktopApplications applications{*workspace};
};

// The front application is the process of the active window, by the server's record of it (a
// sandboxed application's _NET_WM_PID counts in its own namespace); once ended it is gone, and
// started again it is a new application.
TEST_F(X11WorkspaceTest, TheFrontmostApplicationIsTheActiveWindowsProcess) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-2);
    const qint32 editor = applications.startInFront(u"mousepad"_s);
    const auto front = workspace->frontmostApplication();
    test::expectEditorIdentity(*workspace, front, editor, before);
    EXPECT_EQ(front->localizedName, u"Mousepad"_s);

    const auto x = XcbConnection::open();
    const std::uint32_t elsewhere = 2;
    xcb_change_property(x->get(), XCB_PROP_MODE_REPLACE, *workspace->activeWindow(),
                        x->atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &elsewhere);
    ASSERT_EQ(x->cardinal(*workspace->activeWindow(), "_NET_WM_PID"), elsewhere);
    EXPECT_EQ(workspace->frontmostApplication()->processIdentifier, editor);

    applications.stop(editor);
    EXPECT_EQ(workspace->runningApplication(editor), std::nullopt);
    const qint32 second = applications.startInFront(u"mousepad"_s);
    const auto relaunched = workspace->runningApplication(second)->launchDate;
    ASSERT_TRUE(front->launchDate && relaunched);
    EXPECT_GT(*relaunched, *front->launchDate);
}

TEST_F(X11WorkspaceTest, ActivationBringsAnApplicationWithAWindowBackToTheFront) {
    const qint32 editor = applications.startInFront(u"mousepad"_s);
    const qint32 dialog = applications.startInFront(u"zenity"_s, {u"--entry"_s});
    ASSERT_EQ(workspace->frontmostApplication()->processIdentifier, dialog);

    for (const qint32 wanted : {editor, dialog}) {
        EXPECT_TRUE(workspace->activate(wanted));
        test::pollUntil(
            [&] { return workspace->frontmostApplication()->processIdentifier == wanted; },
            std::chrono::milliseconds(20), test::kDesktopPatience);
    }
    // A process without windows, or none at all, cannot be.
    const qint32 sleeper = applications.start(u"sleep"_s, {u"30"_s});
    const auto application = workspace->runningApplication(sleeper);
    ASSERT_TRUE(application.has_value());
    EXPECT_EQ(application->localizedName, u"sleep"_s);
    EXPECT_FALSE(workspace->activate(sleeper));
    EXPECT_FALSE(workspace->activate(0));
}

TEST_F(X11WorkspaceTest, ActivationBringsBackTheWindowLastSeenInFrontNotTheTopmostOne) {
    QTemporaryDir directory;
    const qint32 editor = applications.startInFront(
        u"mousepad"_s, {u"--disable-server"_s, u"--opening-mode=window"_s,
                        directory.filePath(u"one.txt"_s), directory.filePath(u"two.txt"_s)});
    ASSERT_EQ(workspace->frontmostApplication()->processIdentifier, editor);
    const xcb_window_t captured = *workspace->activeWindow();
    // The user goes to the editor's other window, then to another application.
    QProcess search;
    search.start(u"xdotool"_s,
                 {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(editor)});
    search.waitForFinished();
    std::optional<xcb_window_t> other;
    for (const QByteArray& line : search.readAllStandardOutput().split('\n')) {
        const auto window = static_cast<xcb_window_t>(line.toULong());
        if (window != 0 && window != captured && workspace->activeWindow() != window &&
            QProcess::execute(u"xdotool"_s,
                              {u"windowactivate"_s, u"--sync"_s, QString::fromLatin1(line)}) == 0) {
            other = window;
            break;
        }
    }
    ASSERT_TRUE(other.has_value());
    // Watched without asking for the frontmost application, which Tidyword does not do
    // while the user is elsewhere.
    applications.start(u"zenity"_s, {u"--entry"_s});
    test::pollUntil(
        [&] {
            const auto active = workspace->activeWindow();
            return active && *active != captured && *active != *other;
        },
        std::chrono::milliseconds(20), test::kDesktopPatience);

    ASSERT_TRUE(workspace->activate(editor));
    test::pollUntil([&] { return workspace->activeWindow() == captured; },
                    std::chrono::milliseconds(20), test::kDesktopPatience);
}

TEST(ProcessRecordTest, ThisProcessIsKnownAndNoProcessIsNot) {
    const auto self = processRecord(static_cast<qint32>(QCoreApplication::applicationPid()));
    ASSERT_TRUE(self.has_value());
    EXPECT_FALSE(self->terminated);
    EXPECT_TRUE(self->started.isValid());
    EXPECT_EQ(processRecord(0), std::nullopt);
    EXPECT_EQ(processRecord(-1), std::nullopt);
    EXPECT_EQ(processRecord(std::numeric_limits<qint32>::max()), std::nullopt);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
