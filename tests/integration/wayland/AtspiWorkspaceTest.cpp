// The workspace of a Wayland session against real applications on a private compositor (mutter
// or KWin): which application is in front as windows map, take the keyboard and unmap, and
// activation as the text bridge relies on it. This test program stands for Tidyword: its own
// window is Tidyword's popup.
#include "integration/wayland/WaylandDesktop.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/UnavailableDesktop.h"
#include "support/Errors.h"
#include "support/Printers.h"
#include "textbridge/TextBridge.h"
#include "textbridge/TextBridgeError.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::eventually;
using test::frontmostProcess;

class AtspiWorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(accessibility && workspace);
        ASSERT_TRUE(accessibility->isTrusted());
    }

    // Whether `pid` comes to the front and stays there while the desktop settles (a new window
    // may be activated more than once while it maps).
    bool settlesInFront(qint32 pid) {
        int looks = 0;
        return eventually([&] {
            looks = frontmostProcess(*workspace) == pid ? looks + 1 : 0;
            return looks >= 10;
        });
    }

    // Shows a popup of Tidyword's; true once it has the keyboard.
    bool show(QWidget& popup) {
        popup.resize(320, 160);
        popup.show();
        return settlesInFront(self);
    }

    const qint32 self = static_cast<qint32>(QCoreApplication::applicationPid());
    std::unique_ptr<AtspiAccessibility> accessibility = AtspiAccessibility::open();
    std::unique_ptr<AtspiWorkspace> workspace = AtspiWorkspace::open();
    test::DesktopApplications applications{*workspace};
};

TEST_F(AtspiWorkspaceTest, TheFrontApplicationFollowsWindowsAsTheyMapTakeTheKeyboardAndUnmap) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-2);
    QWidget popup;
    qint32 editor = 0;
    qint32 field = 0;
    const struct {
        const char* name;
        std::function<qint32()> act;  // does the step; the pid that should then be in front
    } steps[] = {
        {"an editor maps", [&] { return editor = applications.start(u"mousepad"_s); }},
        {"a Qt window maps over it",
         [&] {
             return field = applications.start(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                               {u"--open"_s, u"a field"_s});
         }},
        {"the Qt window unmaps",
         [&] {
             applications.stop(field);
             return editor;
         }},
        {"Tidyword's popup takes the keyboard",
         [&] {
             popup.resize(320, 160);
             popup.show();
             return self;
         }},
        {"Tidyword steps aside for the editor",
         [&] {
             EXPECT_TRUE(workspace->activate(editor));
             return editor;
         }},
    };
    for (const auto& step : steps) {
        const qint32 expected = step.act();
        ASSERT_TRUE(settlesInFront(expected))
            << step.name << ": in front " << frontmostProcess(*workspace) << ", not " << expected;
    }
    EXPECT_FALSE(popup.isVisible());

    // In front, the editor has the identity of its process.
    test::expectEditorIdentity(*workspace, workspace->frontmostApplication(), editor, before);
}

TEST_F(AtspiWorkspaceTest, AnApplicationIsNamedAsItsToolkitNamesIt) {
    const qint32 field = applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                   {u"--open"_s, u"a field"_s});
    const auto front = workspace->frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->localizedName, u"Plain Field"_s);
    // Asked by its pid alone, it is the process's command.
    EXPECT_EQ(workspace->runningApplication(field)->localizedName, u"plain-field"_s);
}

// Electron's windows keep the ACTIVE state in the background: with two applications in that
// state, which one has the keyboard is unknown.
TEST_F(AtspiWorkspaceTest, SeveralActiveApplicationsMeanNoneIsKnownToBeInFront) {
    const qint32 stale = applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                   {u"--stays-active"_s, u"stays"_s});
    const qint32 editor = applications.start(u"mousepad"_s);
    ASSERT_TRUE(eventually([&] { return test::hasActiveWindow(*accessibility, editor); }));
    ASSERT_TRUE(test::hasActiveWindow(*accessibility, stale));
    EXPECT_EQ(frontmostProcess(*workspace), 0) << "the editor and the window that stays active";

    applications.stop(stale);
    EXPECT_TRUE(settlesInFront(editor));
}

// The replacement puts the editor back in front by hiding the popup, and goes ahead only if the
// editor is then what the user types into.
TEST_F(AtspiWorkspaceTest, TheReplacementGoesAheadOnlyWhenTheSourceIsBackInFront) {
    AtspiTextEditing editing;
    QtClipboard clipboard;
    UnavailableDesktop noKeys;
    SystemClock clock;
    TextBridge bridge{{*accessibility, *workspace, clipboard, noKeys, clock, &editing}};
    QTemporaryDir directory;
    const QString file = directory.filePath(u"draft.txt"_s);
    const struct {
        const char* name;
        bool somethingElseTakesTheKeyboard;
        std::optional<TextBridgeError::Code> failure;
        QString draftAfter;
    } cases[] = {
        {"the editor gets the keyboard back", false, std::nullopt, u"Goodbye world"_s},
        {"another window took the keyboard", true, TextBridgeError::staleSelection,
         u"Hello world"_s},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        QFile draft(file);
        ASSERT_TRUE(draft.open(QIODevice::WriteOnly | QIODevice::Truncate));
        draft.write("Hello world");
        draft.close();
        test::DesktopApplications rowApplications(*workspace);
        const qint32 editor = rowApplications.startInFront(u"mousepad"_s, {file});
        ASSERT_TRUE(test::selectInFocusedField(*accessibility, editor, 0, 5, u"Hello"_s));
        const TextSelection selection = test::runToCompletion(bridge.captureSelection());
        ASSERT_TRUE(selection.canReplace);
        QWidget popup;
        ASSERT_TRUE(show(popup));
        if (row.somethingElseTakesTheKeyboard) {
            rowApplications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                         {u"--open"_s, u"elsewhere"_s});
        }

        EXPECT_EQ(test::codeThrownBy<TextBridgeError>(
                      [&] { test::runToCompletion(bridge.replace(selection, u"Goodbye"_s)); }),
                  row.failure);
        EXPECT_FALSE(popup.isVisible());
        const auto value =
            accessibility->stringAttribute(selection.element, Accessibility::Attribute::value);
        EXPECT_EQ(value, row.draftAfter);
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
