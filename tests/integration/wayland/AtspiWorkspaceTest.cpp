// The backends of a Wayland session against real applications on a private compositor (mutter
// or KWin): which application is in front as windows map, take the keyboard and unmap, and the
// replacement that steps aside for its source and edits it in place over AT-SPI. This test
// program stands for Tidyword: its own window is Tidyword's popup. No client can press keys into
// another here: selections are made through the accessibility bus.
#include "e2e/AccessibleUi.h"
#include "integration/desktop/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/AtspiWorkspace.h"
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

class AtspiWorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(accessibility && workspace);
        ASSERT_TRUE(accessibility->isTrusted());
    }

    // The pid of the frontmost application, 0 for none.
    qint32 frontmost() {
        const auto front = workspace->frontmostApplication();
        return front ? front->processIdentifier : 0;
    }

    // Whether `pid` comes to the front and stays there while the desktop settles (a new window
    // may be activated more than once while it maps).
    bool settlesInFront(qint32 pid) {
        int looks = 0;
        return eventually([&] {
            looks = frontmost() == pid ? looks + 1 : 0;
            return looks >= 10;
        });
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
             // In front, it is named as its toolkit names it; asked by its pid alone, as its
             // process's command.
             EXPECT_EQ(workspace->frontmostApplication()->localizedName, u"Plain Field"_s);
             EXPECT_EQ(workspace->runningApplication(field)->localizedName, u"plain-field"_s);
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
            << step.name << ": in front " << frontmost() << ", not " << expected;
    }
    EXPECT_FALSE(popup.isVisible());

    // In front, the editor has the identity of its process.
    test::expectEditorIdentity(*workspace, workspace->frontmostApplication(), editor, before);
}

// Electron's windows keep the ACTIVE state in the background: with two applications in that
// state, which one has the keyboard is unknown.
TEST_F(AtspiWorkspaceTest, SeveralActiveApplicationsMeanNoneIsKnownToBeInFront) {
    const qint32 stale = applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                   {u"--stays-active"_s, u"stays"_s});
    const qint32 editor = applications.start(u"mousepad"_s);
    ASSERT_TRUE(eventually([&] { return test::AccessibleUi(editor).hasActiveWindow(); }));
    ASSERT_TRUE(test::AccessibleUi(stale).hasActiveWindow());
    EXPECT_EQ(frontmost(), 0) << "the editor and the window that stays active";

    applications.stop(stale);
    EXPECT_TRUE(settlesInFront(editor));
}

// The replacement hides the popup, and edits the source in place only if the source is then what
// the user types into: in both toolkits, with an emoji before the selection and in the
// replacement, and the selection made in the toolkit's own offsets (code points in GTK, UTF-16
// units in Qt). Each selection is the two characters on screen after the first seven: in UTF-16
// units, the two after the first eight. A Qt application in the background names no focused
// window, which the bridge takes for a stale selection: Qt's row has no popup in front of it.
TEST_F(AtspiWorkspaceTest, TheReplacementEditsInPlaceOnlyWhenTheSourceIsBackInFront) {
    AtspiTextEditing editing;
    QtClipboard clipboard;
    UnavailableDesktop noKeys;
    SystemClock clock;
    TextBridge bridge{{*accessibility, *workspace, clipboard, noKeys, clock, &editing}};
    QTemporaryDir directory;
    const QString file = directory.filePath(u"draft.txt"_s);
    // The start of a run of one letter: a range read in UTF-16 units in GTK finds the selected
    // text too, one place further. "é" is two bytes of UTF-8 and "👍" four.
    const QString run = u"Caf\u00e9 \U0001F600 mmmm and more"_s;
    const QString word = u"Caf\u00e9 \U0001F600 cr\u00e8me and more"_s;
    enum class InFront { source, popup, anotherApplication };  // when the replacement starts
    const struct {
        const char* name;
        bool qt;  // else GTK's mousepad
        QString draft;
        InFront inFront;
        QString edited;
    } cases[] = {
        {"GTK", false, run, InFront::popup,
         u"Caf\u00e9 \U0001F600 CR\u00c8ME \U0001F44Dmm and more"_s},
        {"Qt", true, word, InFront::source,
         u"Caf\u00e9 \U0001F600 CR\u00c8ME \U0001F44D\u00e8me and more"_s},
        {"another window took the keyboard", false, run, InFront::anotherApplication, run},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        QFile draft(file);
        ASSERT_TRUE(draft.open(QIODevice::WriteOnly | QIODevice::Truncate));
        draft.write(row.draft.toUtf8());
        draft.close();
        test::DesktopApplications rowApplications(*workspace);
        const qint32 source =
            row.qt ? rowApplications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                  {u"--open"_s, row.draft})
                   : rowApplications.startInFront(u"mousepad"_s, {file});
        const auto focused = [&](Accessibility::Attribute attribute) {
            const auto field =
                accessibility->elementAttribute(accessibility->applicationElement(source),
                                                Accessibility::Attribute::focusedElement);
            return field ? accessibility->stringAttribute(*field, attribute) : std::nullopt;
        };
        ASSERT_TRUE(
            eventually([&] { return focused(Accessibility::Attribute::value) == row.draft; }));
        const int start = row.qt ? 8 : 7;
        ASSERT_TRUE(test::AccessibleUi(source).selectText(start, start + 2));
        ASSERT_TRUE(eventually([&] {
            return focused(Accessibility::Attribute::selectedText) == row.draft.mid(8, 2);
        }));
        const TextSelection selection = test::runToCompletion(bridge.captureSelection());
        ASSERT_EQ(selection.range, (TextRange{8, 2}));
        ASSERT_TRUE(selection.canReplace);
        QWidget popup;
        if (row.inFront != InFront::source) {
            popup.resize(320, 160);
            popup.show();
            ASSERT_TRUE(settlesInFront(self));
        }
        if (row.inFront == InFront::anotherApplication) {
            rowApplications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                         {u"--open"_s, u"elsewhere"_s});
        }

        EXPECT_EQ(test::codeThrownBy<TextBridgeError>([&] {
                      test::runToCompletion(bridge.replace(selection, u"CR\u00c8ME \U0001F44D"_s));
                  }),
                  row.inFront == InFront::anotherApplication
                      ? std::optional(TextBridgeError::staleSelection)
                      : std::nullopt);
        EXPECT_FALSE(popup.isVisible());
        EXPECT_EQ(
            accessibility->stringAttribute(selection.element, Accessibility::Attribute::value),
            row.edited);
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
