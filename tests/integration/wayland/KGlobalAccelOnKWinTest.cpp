// The global shortcut through KDE's global shortcut service on a private KWin: each preset's chord
// pressed on KWin's keyboard reaches the handler once per press, however long it is held; a chord
// another application holds is refused with the usual message; the keys are free for others once
// the registration is gone; System Settings taking the chord away, or giving it back, is told.
#include "KGlobalAccelPeer.h"
#include "KWinKeyboard.h"
#include "hotkey/GlobalHotKey.h"
#include "platform/SystemClock.h"
#include "platform/linux/KGlobalAccelHotKeys.h"
#include "platform/linux/LinuxDesktop.h"
#include "support/Printers.h"

#include <QKeyCombination>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::KGlobalAccelPeer;

// Another application's action, as the tests register it.
const QString kRival = u"rival"_s;
const QString kRivalAction = u"act"_s;

const int kAltShiftD = (Qt::ALT | Qt::SHIFT | Qt::Key_D).toCombined();
const QList<quint32> kAltShiftDKeys{KEY_LEFTALT, KEY_LEFTSHIFT, KEY_D};

QString ours() {
    return KGlobalAccelHotKeys::componentUnique + u"/"_s + KGlobalAccelHotKeys::actionUnique;
}

QString holderOf(int keys) {
    return KGlobalAccelPeer::holderOf(keys).join(u'/');
}

class KGlobalAccelOnKWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(keyboard, nullptr)
            << "KWin offers no fake input: it runs with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1";
        auto [status, handler] =
            hotKeys->installHandler([this](std::optional<HotKeys::Identifier> pressed) {
                heard.append(pressed);
                return HotKeys::success;
            });
        ASSERT_EQ(status, HotKeys::success);
        handlerRegistration = std::move(handler);
        // Before Qt delivers anything on this new connection, a chord's release was seen to
        // arrive ahead of its press (which the bus had carried first).
        ASSERT_TRUE(test::BusEcho().heard());
    }
    void TearDown() override { KGlobalAccelPeer::free(kRival, kRivalAction); }

    // Taps the keys, and waits until kglobalaccel has told `component` that they are up again.
    bool tapped(const QList<quint32>& keys, const test::ComponentSignals& component) {
        const int released = component.releases;
        return keyboard->tap(keys) &&
               test::eventually([&] { return component.releases > released; });
    }

    QList<std::optional<HotKeys::Identifier>> heard;
    std::unique_ptr<test::KWinKeyboard> keyboard = test::KWinKeyboard::open();
    std::unique_ptr<KGlobalAccelHotKeys> hotKeys = std::make_unique<KGlobalAccelHotKeys>();
    std::unique_ptr<HotKeys::Registration> handlerRegistration;
    test::ComponentSignals toldUs{KGlobalAccelHotKeys::componentUnique};
    test::ComponentSignals toldRival{kRival};
};

TEST_F(KGlobalAccelOnKWinTest, EachPresetsChordReachesTheHandlerOncePerPress) {
    const struct {
        const char* name;
        ShortcutPreset preset;
        QKeyCombination chord;
        QList<quint32> keys;
    } rows[] = {
        {"Alt+Shift+D", ShortcutPreset::optionShiftD, Qt::ALT | Qt::SHIFT | Qt::Key_D,
         kAltShiftDKeys},
        {"Alt+Space",
         ShortcutPreset::optionSpace,
         Qt::ALT | Qt::Key_Space,
         {KEY_LEFTALT, KEY_SPACE}},
        {"Alt+Shift+Space",
         ShortcutPreset::optionShiftSpace,
         Qt::ALT | Qt::SHIFT | Qt::Key_Space,
         {KEY_LEFTALT, KEY_LEFTSHIFT, KEY_SPACE}},
        {"Ctrl+Alt+Space",
         ShortcutPreset::controlOptionSpace,
         Qt::CTRL | Qt::ALT | Qt::Key_Space,
         {KEY_LEFTCTRL, KEY_LEFTALT, KEY_SPACE}},
    };
    for (const auto& row : rows) {
        heard.clear();
        const auto [status, registration] = hotKeys->registerHotKey(
            keyCode(row.preset), hotKeyModifiers(row.preset), GlobalHotKey::identifier);
        ASSERT_EQ(status, HotKeys::success) << row.name;
        EXPECT_EQ(holderOf(row.chord.toCombined()), ours()) << row.name;
        ASSERT_TRUE(tapped(row.keys, toldUs)) << row.name;
        ASSERT_TRUE(tapped(row.keys, toldUs)) << row.name;
        EXPECT_EQ(heard, (QList<std::optional<HotKeys::Identifier>>{GlobalHotKey::identifier,
                                                                    GlobalHotKey::identifier}))
            << row.name;
    }
}

TEST_F(KGlobalAccelOnKWinTest, AChordHeldDownIsOnePress) {
    const auto [status, registration] = hotKeys->registerHotKey(
        keyCode(ShortcutPreset::optionShiftD), hotKeyModifiers(ShortcutPreset::optionShiftD),
        GlobalHotKey::identifier);
    ASSERT_EQ(status, HotKeys::success);
    const int pressed = toldUs.presses;
    const int released = toldUs.releases;
    ASSERT_TRUE(keyboard->press(kAltShiftDKeys));
    // KWin repeats the chord while it is held: let it, a few times.
    ASSERT_TRUE(test::eventually([&] { return toldUs.presses >= pressed + 4; }));
    ASSERT_TRUE(keyboard->release(kAltShiftDKeys));
    ASSERT_TRUE(test::eventually([&] { return toldUs.releases > released; }));
    EXPECT_EQ(heard.size(), 1);
    // Once it is up, the next press counts again.
    ASSERT_TRUE(tapped(kAltShiftDKeys, toldUs));
    EXPECT_EQ(heard.size(), 2);
}

// A chord is one application's at a time: while ours holds it the rival is refused, and once our
// registration is gone the keys work for the rival; then ours is refused with the usual message,
// leaving nothing half-made for System Settings to show, until the rival lets go.
TEST_F(KGlobalAccelOnKWinTest, AChordIsOneApplicationsAtATime) {
    auto [status, registration] = hotKeys->registerHotKey(
        keyCode(ShortcutPreset::optionShiftD), hotKeyModifiers(ShortcutPreset::optionShiftD),
        GlobalHotKey::identifier);
    ASSERT_EQ(status, HotKeys::success);
    ASSERT_EQ(KGlobalAccelPeer::take(kRival, kRivalAction, kAltShiftD), QList<int>{0});
    registration.reset();
    EXPECT_EQ(KGlobalAccelPeer::take(kRival, kRivalAction, kAltShiftD), QList<int>{kAltShiftD});
    const int rivalPresses = toldRival.presses;
    ASSERT_TRUE(tapped(kAltShiftDKeys, toldRival));
    EXPECT_EQ(toldRival.presses, rivalPresses + 1);
    EXPECT_TRUE(heard.isEmpty());

    SystemClock clock;
    GlobalHotKey hotKey(*hotKeys, clock, [] {});
    try {
        hotKey.registerPreset(ShortcutPreset::optionShiftD);
        FAIL() << "another application holds the chord";
    } catch (const HotKeyError& error) {
        EXPECT_EQ(error.errorDescription(),
                  u"Alt+Shift+D is unavailable or is already assigned to another app. Choose a "
                  u"different shortcut in Settings. (1)"_s);
    }
    EXPECT_FALSE(hotKey.isRegistered());
    EXPECT_TRUE(KGlobalAccelPeer::actionsOf(KGlobalAccelHotKeys::componentUnique).isEmpty());
    KGlobalAccelPeer::free(kRival, kRivalAction);
    EXPECT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    EXPECT_EQ(holderOf(kAltShiftD), ours());
}

TEST_F(KGlobalAccelOnKWinTest, SystemSettingsTakingTheChordAwayOrGivingItBackIsTold) {
    SystemClock clock;
    GlobalHotKey hotKey(*hotKeys, clock, [] {});
    QList<std::optional<QString>> changes;
    hotKey.onSystemChange = [&](const std::optional<HotKeyError>& lost) {
        changes.append(lost ? std::optional(lost->errorDescription()) : std::nullopt);
    };
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    KGlobalAccelPeer::reassign(KGlobalAccelHotKeys::componentUnique,
                               KGlobalAccelHotKeys::actionUnique, {});
    ASSERT_TRUE(test::eventually([&] { return changes.size() == 1; }));
    EXPECT_EQ(changes[0], HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD,
                                                     KGlobalAccelHotKeys::keysHeldElsewhere)
                              .errorDescription());
    KGlobalAccelPeer::reassign(KGlobalAccelHotKeys::componentUnique,
                               KGlobalAccelHotKeys::actionUnique, {kAltShiftD});
    ASSERT_TRUE(test::eventually([&] { return changes.size() == 2; }));
    EXPECT_EQ(changes[1], std::nullopt);
}

// On Plasma the application takes its shortcut through kglobalaccel, and the chosen chord wins
// over one that a run which ended without letting go (killed) left in kglobalaccel's books.
TEST_F(KGlobalAccelOnKWinTest, TheApplicationOnPlasmaTakesItsChordOverOneKeptFromAnEarlierRun) {
    const int altSpace = (Qt::ALT | Qt::Key_Space).toCombined();
    ASSERT_EQ(KGlobalAccelPeer::take(KGlobalAccelHotKeys::componentUnique,
                                     KGlobalAccelHotKeys::actionUnique, altSpace),
              QList<int>{altSpace});
    LinuxDesktop desktop;
    ASSERT_EQ(desktop.session().shortcut, DesktopSession::Shortcut::kglobalaccel);
    SystemClock clock;
    GlobalHotKey hotKey(desktop.hotKeys(), clock, [] {});
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    EXPECT_EQ(holderOf(kAltShiftD), ours());
    EXPECT_EQ(holderOf(altSpace), QString());
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
