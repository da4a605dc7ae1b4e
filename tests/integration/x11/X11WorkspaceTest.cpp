// The X11 workspace against real applications on a private desktop with a window manager.
#include "integration/x11/DesktopApplications.h"
#include "platform/linux/X11Workspace.h"

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

TEST_F(X11WorkspaceTest, TheFrontmostApplicationIsTheActiveWindowsProcess) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-2);
    const qint32 editor = applications.startInFront(u"mousepad"_s);
    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->processIdentifier, editor);
    EXPECT_FALSE(front->terminated);
    EXPECT_EQ(front->localizedName, u"Mousepad"_s);
    EXPECT_TRUE(front->bundleIdentifier.endsWith(u"/mousepad"_s))
        << front->bundleIdentifier.toStdString();
    ASSERT_TRUE(front->launchDate.has_value());
    EXPECT_GE(*front->launchDate, before);
    EXPECT_LE(*front->launchDate, QDateTime::currentDateTimeUtc().addSecs(2));
    EXPECT_EQ(workspace->runningApplication(editor)->launchDate, front->launchDate);
}

TEST_F(X11WorkspaceTest, ActivationBringsAnApplicationBackToTheFront) {
    const qint32 editor = applications.startInFront(u"mousepad"_s);
    const qint32 dialog = applications.startInFront(u"zenity"_s, {u"--entry"_s});
    ASSERT_EQ(workspace->frontmostApplication()->processIdentifier, dialog);

    EXPECT_TRUE(workspace->activate(editor));
    EXPECT_EQ(workspace->frontmostApplication()->processIdentifier, editor);
    EXPECT_TRUE(workspace->activate(dialog));
    EXPECT_EQ(workspace->frontmostApplication()->processIdentifier, dialog);
}

TEST_F(X11WorkspaceTest, AProcessWithoutWindowsCannotBeActivated) {
    const qint32 sleeper = applications.start(u"sleep"_s, {u"30"_s});
    const auto application = workspace->runningApplication(sleeper);
    ASSERT_TRUE(application.has_value());
    EXPECT_EQ(application->localizedName, u"sleep"_s);
    EXPECT_FALSE(workspace->activate(sleeper));
    EXPECT_FALSE(workspace->activate(0));
}

TEST_F(X11WorkspaceTest, AnEndedProcessIsGoneAndARestartIsANewApplication) {
    const qint32 first = applications.startInFront(u"mousepad"_s);
    const auto launched = workspace->runningApplication(first)->launchDate;
    applications.stop(first);
    EXPECT_EQ(workspace->runningApplication(first), std::nullopt);

    const qint32 second = applications.startInFront(u"mousepad"_s);
    const auto relaunched = workspace->runningApplication(second)->launchDate;
    ASSERT_TRUE(launched && relaunched);
    EXPECT_GT(*relaunched, *launched);
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
