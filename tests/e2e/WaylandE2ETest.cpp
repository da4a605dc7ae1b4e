// Tidyword end to end on a Wayland desktop (headless mutter or KWin, as XDG_CURRENT_DESKTOP
// says): the production binary on Qt's Wayland platform, the shortcut as that desktop delivers
// it, mousepad as a native Wayland client, driven only from outside through AT-SPI, and on KWin
// the user's clipboard as another client reads it.
#include "e2e/InstalledTidyword.h"
#include "wayland/KWinKeyboard.h"

#include <linux/input-event-codes.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using test::kPatience;

QProcessEnvironment nativeWayland() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    environment.insert(u"GDK_BACKEND"_s, u"wayland"_s);
    return environment;
}

class WaylandE2ETest : public test::InstalledTidyword {
protected:
    // What Tidyword's windows read, to tell why a step did not come.
    std::string shownTexts() {
        QStringList texts;
        for (const auto& window : ui->windows()) {
            for (const auto& control : window.controls) {
                if (!control.name.isEmpty()) {
                    texts << control.name;
                }
            }
        }
        return texts.join(u" | "_s).toStdString();
    }

    bool onGnome() const { return qEnvironmentVariable("XDG_CURRENT_DESKTOP") == u"GNOME"; }

    // The user presses the shortcut. On GNOME it runs `tidyword --improve`, as a custom shortcut
    // does (the headless desktop has no settings daemon to run one, so the test runs the command
    // itself); KDE's global shortcut service tells Tidyword itself of the keys KWin sees.
    void pressShortcut() {
        if (onGnome()) {
            ASSERT_EQ(QProcess::execute(executable(), {u"--improve"_s}), 0);
        } else {
            const auto keyboard = test::KWinKeyboard::open();
            ASSERT_NE(keyboard, nullptr);
            ASSERT_TRUE(keyboard->tap({KEY_LEFTALT, KEY_LEFTSHIFT, KEY_D}));
        }
    }
};

TEST_F(WaylandE2ETest, TheShortcutImprovesTheSelectionAndReplaceEditsItInPlace) {
    startTidyword(nativeWayland());
    // The settings say how a replacement reaches the editor here: pasted where the portal's keys
    // and data control serve, else edited in place.
    const QString route =
        onGnome() ? u"Allows Tidyword to read your selection and write an accepted improvement "
                    u"into the same field, in place. Your clipboard is not used."_s
                  : u"Allows Tidyword to read your selection and paste an accepted improvement "
                    u"into the same editor."_s;
    test::pollUntil([&] { return showsLabel(route); }, 50ms, kPatience);
    signIn();
    startEditorOnTheDraft(nativeWayland());
    // The compositor gives the new window the keyboard; Tidyword's own stays open behind it.
    test::pollUntil([this] { return editorUi->hasActiveWindow() && !ui->hasActiveWindow(); }, 50ms,
                    kPatience);
    ASSERT_TRUE(editorUi->selectText());
    // What the user had copied (KWin only: mutter offers no client a clipboard without focus).
    if (!onGnome()) {
        ASSERT_EQ(QProcess::execute(u"wl-copy"_s, {u"the user's own words"_s}), 0);
    }

    pressShortcut();
    test::pollUntil([this] { return showsLabel(u"YOUR DRAFT, REFINED"_s); }, 50ms, kPatience);
    ASSERT_TRUE(showsLabel(u"Mousepad"_s)) << shownTexts();
    ASSERT_TRUE(ui->press(u"Replace selection"_s));
    test::pollUntil([this] { return editorUi->editableText() == test::kRewrite; }, 50ms, kPatience);
    // Tidyword puts it back once it has read the replacement back.
    if (!onGnome()) {
        test::pollUntil(
            [] {
                QProcess paste;
                paste.start(u"wl-paste"_s, {u"--no-newline"_s});
                paste.waitForFinished();
                return paste.readAllStandardOutput() == "the user's own words";
            },
            50ms, kPatience);
    }
    // The popup is gone and the editor has the keyboard again.
    test::pollUntil([this] { return !showsButton(u"Dismiss"_s) && editorUi->hasActiveWindow(); },
                    50ms, kPatience);

    // The next time, the popup that shows again has the keyboard too, so Esc dismisses it.
    ASSERT_TRUE(editorUi->selectText());
    pressShortcut();
    test::pollUntil([this] { return showsButton(u"Dismiss"_s) && ui->hasActiveWindow(); }, 50ms,
                    kPatience);
    EXPECT_TRUE(ui->hasActiveWindow()) << "the popup was shown without the keyboard";
}

}  // namespace
}  // namespace tidyword
