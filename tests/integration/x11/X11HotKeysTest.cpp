// The global shortcut on a real X server: presses from the keyboard (XTest) reach the handler
// through the root-window grab, with or without lock modifiers, and a chord another client
// holds is refused with its status in the user's message.
#include "hotkey/GlobalHotKey.h"
#include "integration/desktop/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/AppKeyMonitor.h"
#include "platform/linux/X11HotKeys.h"
#include "platform/linux/XcbConnection.h"
#include "support/EventLoop.h"

#include <QKeyEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QWidget>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using test::xdotool;

class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(hotKeys, nullptr); }

    // Presses a chord and says whether the handler heard it, within a second and once; waits out
    // the debounce.
    bool heard(const QString& chord) {
        const int before = presses;
        xdotool({u"key"_s, chord});
        test::eventually([&] { return presses > before; }, 1s);
        test::processEventsFor(2 * GlobalHotKey::debounce);
        return presses == before + 1;
    }

    std::unique_ptr<X11HotKeys> hotKeys = X11HotKeys::open();
    SystemClock clock;
    int presses = 0;
    GlobalHotKey hotKey{*hotKeys, clock, [this] { ++presses; }};
};

TEST_F(X11HotKeysTest, TheChordReachesTheHandlerWhateverTheLocks) {
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    EXPECT_TRUE(heard(u"alt+shift+d"_s));
    EXPECT_FALSE(heard(u"alt+d"_s));
    EXPECT_FALSE(heard(u"ctrl+alt+shift+d"_s));
    xdotool({u"key"_s, u"Caps_Lock"_s});
    EXPECT_TRUE(heard(u"alt+shift+d"_s));
    xdotool({u"key"_s, u"Caps_Lock"_s});
    xdotool({u"key"_s, u"Num_Lock"_s});
    EXPECT_TRUE(heard(u"alt+shift+d"_s));
    xdotool({u"key"_s, u"Num_Lock"_s});

    hotKey.unregister();
    EXPECT_FALSE(heard(u"alt+shift+d"_s));
}

TEST_F(X11HotKeysTest, ASpaceChordWorksAndAnotherPresetReplacesIt) {
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::controlOptionSpace));
    EXPECT_TRUE(heard(u"ctrl+alt+space"_s));
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftSpace));
    EXPECT_FALSE(heard(u"ctrl+alt+space"_s));
    EXPECT_TRUE(heard(u"alt+shift+space"_s));
}

TEST_F(X11HotKeysTest, AChordAnotherClientHoldsIsRefusedAndLeavesNothingGrabbed) {
    auto other = X11HotKeys::open();  // a connection of its own: another client to the server
    GlobalHotKey holder(*other, clock, [] {});
    ASSERT_NO_THROW(holder.registerPreset(ShortcutPreset::optionShiftSpace));

    try {
        hotKey.registerPreset(ShortcutPreset::optionShiftSpace);
        FAIL() << "the chord is held by another client";
    } catch (const HotKeyError& error) {
        EXPECT_EQ(error.errorDescription(),
                  u"Alt+Shift+Space is unavailable or is already assigned to another app. Choose a "
                  u"different shortcut in Settings. (10)"_s);
    }
    EXPECT_FALSE(hotKey.isRegistered());
    // Once the other client lets go, the chord is ours to take.
    holder.unregister();
    EXPECT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftSpace));
    EXPECT_TRUE(heard(u"alt+shift+space"_s));
}

// A new keyboard layout moves the grab with its key, or says that the chord is lost: on a layout
// without D, or where another client holds the key that has D there; the next one brings it back.
TEST_F(X11HotKeysTest, TheChordFollowsItsKeyAcrossKeyboardLayouts) {
    std::optional<QString> error;
    hotKey.onSystemChange = [&](const std::optional<HotKeyError>& lost) {
        error = lost ? std::optional(lost->errorDescription()) : std::nullopt;
    };
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    const auto useLayout = [](const QStringList& layout) {
        return QProcess::execute(u"setxkbmap"_s, QStringList{u"-layout"_s} + layout) == 0;
    };
    // The other tests in this program expect QWERTY, whatever happens here.
    auto restore = qScopeGuard([&] { useLayout({u"us"_s}); });
    const auto other = XcbConnection::open();
    const QStringList dvorak{u"us"_s, u"-variant"_s, u"dvorak"_s};  // D where QWERTY has H
    const struct {
        const char* name;
        QStringList layout;
        bool otherHoldsDvorakD;  // Alt+Shift on it, from now on
        std::optional<HotKeys::Status> lost;
    } rows[] = {
        {"Dvorak", dvorak, false, std::nullopt},
        {"a layout without D", {u"ru"_s}, false, X11HotKeys::unknownKey},
        {"Dvorak, its D held by another client", dvorak, true, X11HotKeys::badAccess},
    };
    for (const auto& row : rows) {
        if (row.otherHoldsDvorakD) {
            const auto dvorakD = other->keycodeOf('h');
            ASSERT_TRUE(dvorakD.has_value());
            xcb_grab_key(other->get(), 1, other->root(), XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT,
                         *dvorakD, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            xcb_flush(other->get());
        }
        ASSERT_TRUE(useLayout(row.layout)) << row.name;
        if (row.lost) {
            const QString expected =
                HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD, *row.lost)
                    .errorDescription();
            EXPECT_TRUE(test::eventually([&] { return error == expected; }, 5s)) << row.name;
        } else {
            // Pressed until the new mapping has reached every client, as below.
            EXPECT_TRUE(test::eventually([&] { return heard(u"alt+shift+d"_s); })) << row.name;
            EXPECT_FALSE(heard(u"alt+shift+e"_s)) << row.name;  // where D was on QWERTY
        }
        ASSERT_TRUE(useLayout({u"us"_s})) << row.name;
        EXPECT_TRUE(test::eventually([&] { return !error && heard(u"alt+shift+d"_s); }))
            << row.name;
    }
}

TEST_F(X11HotKeysTest, AChordHeldDownIsOnePress) {
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    xdotool({u"keydown"_s, u"alt+shift+d"_s});
    test::processEventsFor(250ms);
    // What the keyboard's auto-repeat sends while the key stays down, each past the debounce.
    for (int repeat = 0; repeat < 2; ++repeat) {
        xdotool({u"keydown"_s, u"d"_s});
        test::processEventsFor(250ms);
    }
    xdotool({u"keyup"_s, u"d"_s});
    EXPECT_EQ(presses, 1);
    EXPECT_TRUE(heard(u"d"_s));  // pressed again while the modifiers are still down
    xdotool({u"keyup"_s, u"alt+shift"_s});
}

TEST_F(X11HotKeysTest, KeyPressesInsideTidywordAreWatchedToo) {
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    QWidget window;
    const auto send = [&](Qt::KeyboardModifiers modifiers, bool repeat) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_D, modifiers, u"D"_s, repeat);
        QCoreApplication::sendEvent(&window, &press);
        return press.isAccepted();
    };
    send(Qt::AltModifier | Qt::ShiftModifier, false);
    EXPECT_EQ(presses, 1);
    send(Qt::AltModifier | Qt::ShiftModifier, true);  // the key held down: swallowed, no call
    test::processEventsFor(200ms);
    send(Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier, false);  // another chord
    EXPECT_EQ(presses, 1);
    hotKey.unregister();
    send(Qt::AltModifier | Qt::ShiftModifier, false);
    EXPECT_EQ(presses, 1);
}

TEST(MacKeyMappingTest, LettersAndSpaceMapBothWays) {
    EXPECT_EQ(keysymOfMacKey(2), 'd');
    EXPECT_EQ(keysymOfMacKey(49), 0x20U);
    EXPECT_EQ(keysymOfMacKey(10), std::nullopt);  // not a letter on any keyboard here
    EXPECT_EQ(keysymOfMacKey(300), std::nullopt);
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) {
        const auto mac = macKeyOfQtKey(key);
        ASSERT_TRUE(mac.has_value()) << key;
        EXPECT_EQ(keysymOfMacKey(*mac), static_cast<std::uint32_t>('a' + key - Qt::Key_A));
        EXPECT_EQ(qtKeyOfMacKey(*mac), key);
    }
    EXPECT_EQ(macKeyOfQtKey(Qt::Key_Space), 49);
    EXPECT_EQ(qtKeyOfMacKey(49), Qt::Key_Space);
    EXPECT_EQ(macKeyOfQtKey(Qt::Key_Escape), std::nullopt);
    EXPECT_EQ(qtKeyOfMacKey(10), std::nullopt);
    // Option is Alt and Command is Meta on a Linux keyboard.
    EXPECT_EQ(qtModifiersOfHotKeyMask(0x800 | 0x200), Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(qtModifiersOfHotKeyMask(0x1000 | 0x100), Qt::ControlModifier | Qt::MetaModifier);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
