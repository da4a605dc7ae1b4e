// Copy and paste chords through the RemoteDesktop portal on a private KWin with KDE's portal
// backend, into mousepad as a native Wayland client; the clipboard is read and set over data
// control, as the paste route does.
#include "e2e/AccessibleUi.h"
#include "integration/desktop/DesktopApplications.h"
#include "platform/linux/AtspiWorkspace.h"
#include "platform/linux/DataControlClipboard.h"
#include "platform/linux/PortalKeyEvents.h"
#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::eventually;
using Shortcut = KeyEvents::Shortcut;

class PortalKeyEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(workspace && clipboard && keys);
        QFile file(directory.filePath(u"draft.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the first words");
        file.close();
        editor = applications.startInFront(u"mousepad"_s, {file.fileName()});
        ASSERT_TRUE(eventually([&] { return ui().editableText() == u"the first words"_s; }));
    }

    test::AccessibleUi ui() { return test::AccessibleUi(editor); }

    std::unique_ptr<AtspiWorkspace> workspace = AtspiWorkspace::open();
    std::unique_ptr<DataControlClipboard> clipboard = DataControlClipboard::open();
    std::unique_ptr<PortalKeyEvents> keys = workspace ? PortalKeyEvents::open(*workspace) : nullptr;
    test::DesktopApplications applications{*workspace};
    QTemporaryDir directory;
    qint32 editor = 0;
};

TEST_F(PortalKeyEventsTest, CopyAndPasteReachTheApplicationInFront) {
    ASSERT_TRUE(ui().selectText(4, 9));
    ASSERT_TRUE(clipboard->setString(u"before"_s));
    ASSERT_TRUE(keys->post(Shortcut::copy, editor));
    EXPECT_TRUE(eventually([&] { return clipboard->string() == u"first"_s; }));

    ASSERT_TRUE(clipboard->setString(u"last"_s));
    ASSERT_TRUE(keys->post(Shortcut::paste, editor));
    EXPECT_TRUE(eventually([&] { return ui().editableText() == u"the last words"_s; }));
}

TEST_F(PortalKeyEventsTest, NothingIsTypedForAnApplicationNotInFront) {
    ASSERT_TRUE(ui().selectText(0, 3));
    ASSERT_TRUE(clipboard->setString(u"kept"_s));
    const auto self = static_cast<qint32>(QCoreApplication::applicationPid());
    EXPECT_FALSE(keys->post(Shortcut::paste, self));
    EXPECT_FALSE(keys->post(Shortcut::copy, self));
    test::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(ui().editableText(), u"the first words"_s);
    EXPECT_EQ(clipboard->string(), u"kept"_s);
}

TEST_F(PortalKeyEventsTest, AModifierStillHeldStopsThePost) {
    bool held = true;
    const auto waiting = PortalKeyEvents::open(*workspace, [&held] { return held; });
    ASSERT_TRUE(ui().selectText(0, 3));
    ASSERT_TRUE(clipboard->setString(u"kept"_s));
    EXPECT_FALSE(waiting->post(Shortcut::paste, editor));
    held = false;
    EXPECT_TRUE(waiting->post(Shortcut::paste, editor));
    EXPECT_TRUE(eventually([&] { return ui().editableText() == u"kept first words"_s; }));
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
