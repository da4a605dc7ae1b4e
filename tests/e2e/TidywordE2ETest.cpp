// Tidyword end to end: the production binary with a deployment configuration, on a private
// desktop and network where the deployment's hosts are the stand-in, driven only from outside
// (XTest and xdotool for keys, AT-SPI to read and press Tidyword's controls, the stand-in's
// control API) against mousepad.
#include "e2e/InstalledTidyword.h"
#include "hotkey/GlobalHotKey.h"
#include "integration/desktop/DesktopApplications.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XcbClipboard.h"
#include "service/BetaError.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QMap>
#include <QProcess>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

using test::kPatience;
using test::kRewrite;
using test::xdotool;
const QString kUsersClipboard = u"what the user had copied"_s;

// A request to the stand-in's control API.
void control(const QString& what, const QByteArray& body) {
    ASSERT_EQ(QProcess::execute(u"curl"_s,
                                {u"--silent"_s, u"--fail"_s, u"-X"_s, u"POST"_s, u"--data"_s,
                                 QString::fromUtf8(body),
                                 qEnvironmentVariable("STANDIN_URL") + u"/_standin/"_s + what}),
              0);
}

// Where the X server has the shown window titled `title`. (xdotool's own geometry counts the
// window manager's frame twice.)
QRect windowGeometry(const QString& title) {
    QProcess search;
    search.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, title});
    search.waitForFinished();
    QProcess info;
    info.start(u"xwininfo"_s, {u"-id"_s, QString::fromLatin1(search.readLine().trimmed())});
    info.waitForFinished();
    QMap<QString, int> geometry;
    for (const QByteArray& line : info.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> pair = line.split(':');
        if (pair.size() == 2) {
            geometry.insert(QString::fromLatin1(pair[0].trimmed()), pair[1].trimmed().toInt());
        }
    }
    return {geometry.value(u"Absolute upper-left X"_s), geometry.value(u"Absolute upper-left Y"_s),
            geometry.value(u"Width"_s), geometry.value(u"Height"_s)};
}

class TidywordE2ETest : public test::InstalledTidyword {
protected:
    void SetUp() override {
        ASSERT_TRUE(workspace && clipboard);
        InstalledTidyword::SetUp();
    }

    bool inFront(const QProcess& process) {
        const auto front = workspace->frontmostApplication();
        return front && front->processIdentifier == process.processId();
    }

    void pressShortcut() { xdotool({u"key"_s, u"alt+shift+d"_s}); }

    std::unique_ptr<platform::linux_desktop::X11Workspace> workspace =
        platform::linux_desktop::X11Workspace::open();
    std::unique_ptr<platform::linux_desktop::XcbClipboard> clipboard =
        platform::linux_desktop::XcbClipboard::open();
};

// The journey from the demo to a spent quota. In each state of the popup both windows read from
// outside as a screen reader reads them: labels by their visible text, images only where they
// mean something, buttons by their titles, the suggestion whole through the Text interface with
// its changes in words, and every control where it is on the screen. The replacement leaves the
// user's clipboard as it was, and it outlives Tidyword: a logout hands it to a clipboard manager.
TEST_F(TidywordE2ETest, EveryPopupStateReadsAsItShowsAndTheUsersClipboardOutlivesTidyword) {
    const QString spent = BetaError(BetaError::quotaExceeded).errorDescription();
    struct State {
        const char* name;
        std::function<void()> reach;
        QStringList labels;  // among those of both windows
        QStringList popupButtons;
        QStringList images;  // all of both windows, in reading order
        QString text;
        QString description;
    };
    const QList<State> states{
        {"DemoPreview",
         [&] {
             ASSERT_TRUE(ui->press(u"Preview popup"_s));
             test::pollUntil([&] { return showsLabel(u"PREVIEW"_s); }, 50ms, kPatience);
         },
         {u"Interface preview"_s, u"PREVIEW"_s, u"Free beta"_s, u"YOUR DRAFT, REFINED"_s,
          u"Sample text only. This preview makes no API requests."_s},
         {u"Settings"_s, u"Dismiss"_s, u"Copy"_s, u"Replace selection"_s},
         {u"Enabled"_s},
         u"Hey team, I have send → sent the updated designs. Let me know if there is → are any "
         u"changes needed before we ships → ship tomorrow."_s,
         u"Removed “send”, added “sent”; removed “is”, added “are”; removed “ships”, added "
         u"“ship”."_s},
        {"Suggestion",
         [&] {
             ASSERT_TRUE(ui->press(u"Dismiss"_s));
             signIn();
             startEditorOnTheDraft();
             // Once Tidyword has heard that its window lost the keyboard, all of the draft.
             test::pollUntil([&] { return !ui->hasActiveWindow(); }, 20ms, kPatience);
             xdotool({u"key"_s, u"ctrl+a"_s});
             ASSERT_TRUE(clipboard->setString(kUsersClipboard));
             pressShortcut();
             test::pollUntil([&] { return showsLabel(u"Mousepad"_s); }, 50ms, kPatience);
             test::pollUntil([&] { return showsLabel(u"YOUR DRAFT, REFINED"_s); }, 50ms, kPatience);
         },
         {u"Mousepad"_s, u"FREE BETA"_s, u"49 of 50 free requests remaining"_s},
         {u"Settings"_s, u"Dismiss"_s, u"Copy"_s, u"Replace selection"_s},
         {u"Enabled"_s},
         u"i → I dont → don't want to wait in order to ship."_s,
         u"Removed “i”, added “I”; removed “dont”, added “don't”; added “.”."_s},
        {"LooksGood",
         [&] {
             ASSERT_TRUE(ui->press(u"Replace selection"_s));
             // Until the replacement has ended with the popup: it ignores the shortcut till then.
             // Tidyword puts the clipboard back once its own read-back has seen the rewrite.
             test::pollUntil(
                 [&] {
                     return editorUi->editableText() == kRewrite && !showsButton(u"Dismiss"_s) &&
                            inFront(editor) && clipboard->string() == kUsersClipboard;
                 },
                 50ms, kPatience);
             xdotool({u"key"_s, u"ctrl+a"_s});
             pressShortcut();
             test::pollUntil([&] { return showsLabel(u"LOOKS GOOD"_s); }, 50ms, kPatience);
         },
         {u"No corrections needed."_s, u"48 of 50 free requests remaining"_s},
         {u"Settings"_s, u"Dismiss"_s, u"Copy"_s, u"Replace selection"_s},
         {u"Enabled"_s, u"Looks good"_s},
         kRewrite,
         {}},
        {"Error",
         [&] {
             control(u"quota"_s, R"({"limit": 50, "used": 50})");
             // The shortcut closes the popup it opened, and the editor comes back in front.
             // Each press comes past the debounce of the one before.
             test::processEventsFor(2 * GlobalHotKey::debounce);
             pressShortcut();
             test::pollUntil([&] { return !showsButton(u"Dismiss"_s) && inFront(editor); }, 50ms,
                             kPatience);
             test::processEventsFor(2 * GlobalHotKey::debounce);
             pressShortcut();
             test::pollUntil([&] { return showsLabel(spent); }, 50ms, kPatience);
         },
         {spent, u"0 of 50 free requests remaining"_s},
         {u"Settings"_s, u"Dismiss"_s, u"Retry"_s, u"Copy"_s, u"Replace selection"_s},
         {u"Enabled"_s, u"Error"_s},
         kRewrite,
         {}},
    };

    startTidyword();
    for (const State& state : states) {
        SCOPED_TRACE(state.name);
        state.reach();
        // Until what arrived last has been laid out and placed.
        QList<test::AccessibleUi::Window> windows;
        test::pollUntil(
            [&] {
                const auto previous = std::exchange(windows, ui->windows());
                return windows.size() == 2 && windows == previous;
            },
            100ms, kPatience);

        QStringList labels;
        QStringList popupButtons;
        QStringList images;
        std::optional<test::AccessibleUi::Control> text;
        for (const auto& [window, controls] : windows) {
            const bool popup = window.name == u"Tidyword — Improve text"_s;
            EXPECT_EQ(window.extents, windowGeometry(window.name)) << window.name.toStdString();
            for (const auto& control : controls) {
                if (!control.extents.isEmpty()) {
                    EXPECT_TRUE(window.extents.contains(control.extents))
                        << control.name.toStdString() << " at " << control.extents.x() << ","
                        << control.extents.y();
                }
                if (control.role == ATSPI_ROLE_LABEL) {
                    labels << control.name;
                } else if (control.role == ATSPI_ROLE_IMAGE) {
                    images << control.name;
                } else if (popup && control.role == ATSPI_ROLE_PUSH_BUTTON) {
                    popupButtons << control.name;
                } else if (popup && control.role == ATSPI_ROLE_TEXT) {
                    text = control;
                }
            }
        }
        for (const QString& label : state.labels) {
            EXPECT_TRUE(labels.contains(label)) << label.toStdString();
        }
        EXPECT_EQ(popupButtons, state.popupButtons);
        EXPECT_EQ(images, state.images);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->text, state.text);
        EXPECT_EQ(text->description, state.description);
        EXPECT_TRUE(text->focusable);
    }

    // Tidyword serves the restored clipboard; a clipboard manager runs, and the session ends
    // Tidyword as a logout does.
    QProcess manager;
    manager.start(QStringLiteral(TIDYWORD_SELECTION_PEER), {u"manager"_s});
    ASSERT_TRUE(manager.waitForReadyRead(kPatience.count()));
    ASSERT_EQ(manager.readLine().trimmed(), "managing");
    tidyword.terminate();
    ASSERT_TRUE(tidyword.waitForFinished(kPatience.count()));
    EXPECT_EQ(tidyword.exitStatus(), QProcess::NormalExit);
    // What the manager saw is what explains a loss.
    EXPECT_EQ(clipboard->string(), kUsersClipboard) << manager.readAll().toStdString();
    manager.kill();
    manager.waitForFinished();
}

}  // namespace
}  // namespace tidyword
