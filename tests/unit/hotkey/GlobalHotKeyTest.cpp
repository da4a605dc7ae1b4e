#include "hotkey/GlobalHotKey.h"
#include "platform/sim/SimulatedHotKeys.h"
#include "platform/sim/VirtualClock.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using platform::HotKeys;
using KeyDown = HotKeys::KeyDown;

constexpr quint64 kCapsLock = 0x10000;
constexpr quint64 kCommand = 0x100000;

class GlobalHotKeyTest : public ::testing::Test {
protected:
    bool nothingInstalled() const {
        return !hotKeys.hasHandler() && !hotKeys.hasHotKey() && !hotKeys.hasMonitor() &&
               !hotKey.isRegistered();
    }

    platform::sim::SimulatedHotKeys hotKeys;
    platform::sim::VirtualClock clock;
    int presses = 0;
    GlobalHotKey hotKey{hotKeys, clock, [this] { ++presses; }};
};

TEST_F(GlobalHotKeyTest, RegistersThePresetsKeyAndModifiers) {
    hotKey.registerPreset(ShortcutPreset::controlOptionSpace);
    EXPECT_EQ(hotKeys.registeredKey(), 49);
    EXPECT_EQ(hotKeys.registeredModifiers(), 0x1800u);
    EXPECT_TRUE(hotKeys.hasHandler());
    EXPECT_TRUE(hotKeys.hasMonitor());
    EXPECT_EQ(hotKeys.pressHotKey(), HotKeys::success);
    EXPECT_EQ(presses, 1);
}

TEST_F(GlobalHotKeyTest, FailedRegistrationSaysWhyAndLeavesNothingInstalled) {
    using Keys = platform::sim::SimulatedHotKeys;
    const struct {
        const char* name;
        std::function<void(Keys&)> refuse;
        HotKeyError error;
    } cases[] = {
        {"Handler", [](Keys& keys) { keys.refuseHandler(-50); },
         HotKeyError::handlerNotInstalled(-50)},
        {"HotKey", [](Keys& keys) { keys.refuseHotKey(-9878); },
         HotKeyError::hotKeyRefused(ShortcutPreset::optionSpace, -9878)},
        {"Monitor", [](Keys& keys) { keys.refuseMonitor(true); },
         HotKeyError::inAppMonitorNotInstalled()},
    };
    for (const auto& test : cases) {
        Keys refusing;
        GlobalHotKey failing(refusing, clock, [] {});
        test.refuse(refusing);
        try {
            failing.registerPreset(ShortcutPreset::optionSpace);
            ADD_FAILURE() << test.name << " registered";
        } catch (const HotKeyError& error) {
            EXPECT_EQ(error.message(), test.error.message()) << test.name;
        }
        EXPECT_FALSE(refusing.hasHandler() || refusing.hasHotKey() || refusing.hasMonitor())
            << test.name;
        EXPECT_FALSE(failing.isRegistered()) << test.name;
    }
}

TEST_F(GlobalHotKeyTest, OnlyOurHotKeyIsHandled) {
    hotKey.registerPreset(ShortcutPreset::optionShiftD);
    EXPECT_EQ(hotKeys.pressWith(std::nullopt), HotKeys::eventNotHandled);
    EXPECT_EQ(hotKeys.pressWith(HotKeys::Identifier{0x54445957, 2}), HotKeys::eventNotHandled);
    EXPECT_EQ(hotKeys.pressWith(HotKeys::Identifier{0x41424344, 1}), HotKeys::eventNotHandled);
    EXPECT_EQ(presses, 0);
}

TEST_F(GlobalHotKeyTest, InAppMonitorMatchesTheChordExactlyButIgnoresCapsLock) {
    hotKey.registerPreset(ShortcutPreset::optionShiftD);
    const quint64 optionShift = 0xA0000;
    const struct {
        KeyDown event;
        bool swallowed;
    } cases[] = {
        {{2, optionShift, false}, true},
        {{2, optionShift | kCapsLock, false}, true},
        {{2, optionShift | kCommand, false}, false},
        {{2, 0x80000, false}, false},
        {{49, optionShift, false}, false},
    };
    for (const auto& [event, swallowed] : cases) {
        clock.advance(1s);
        EXPECT_EQ(hotKeys.keyDown(event), swallowed) << event.modifierFlags;
    }
    EXPECT_EQ(presses, 2);
}

TEST_F(GlobalHotKeyTest, OnePressReachingBothPathsOrHeldDownStartsOneCapture) {
    hotKey.registerPreset(ShortcutPreset::optionShiftD);
    hotKeys.pressHotKey();
    hotKeys.keyDown({2, 0xA0000, false});
    clock.advance(1s);
    EXPECT_TRUE(hotKeys.keyDown({2, 0xA0000, true}));  // the repeats are swallowed
    EXPECT_TRUE(hotKeys.keyDown({2, 0xA0000, true}));
    EXPECT_EQ(presses, 1);
}

TEST_F(GlobalHotKeyTest, PressesWithin150MillisecondsCountOnce) {
    hotKey.registerPreset(ShortcutPreset::optionSpace);
    hotKeys.pressHotKey();
    clock.advance(100ms);
    hotKeys.pressHotKey();
    EXPECT_EQ(presses, 1);
    clock.advance(50ms);  // 150 ms after the accepted press
    hotKeys.pressHotKey();
    clock.advance(200ms);
    hotKeys.pressHotKey();
    EXPECT_EQ(presses, 3);
}

TEST_F(GlobalHotKeyTest, ReRegisteringRemovesTheOldAndLetsTheNextPressThrough) {
    hotKey.registerPreset(ShortcutPreset::optionShiftD);
    hotKeys.pressHotKey();
    hotKey.registerPreset(ShortcutPreset::optionSpace);
    hotKeys.pressHotKey();
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(hotKeys.registeredKey(), 49);
    EXPECT_FALSE(hotKeys.keyDown({2, 0xA0000, false}));  // the old chord is gone
}

TEST_F(GlobalHotKeyTest, UnregisteringTwiceOrNeverRegisteredIsHarmless) {
    hotKey.unregister();
    EXPECT_TRUE(nothingInstalled());
    hotKey.registerPreset(ShortcutPreset::optionShiftD);
    hotKey.unregister();
    hotKey.unregister();
    EXPECT_TRUE(nothingInstalled());
}

TEST(GlobalHotKeyLifetimeTest, DestructionRemovesEverything) {
    platform::sim::SimulatedHotKeys hotKeys;
    platform::sim::VirtualClock clock;
    std::make_unique<GlobalHotKey>(hotKeys, clock, [] {
    })->registerPreset(ShortcutPreset::optionShiftD);
    EXPECT_FALSE(hotKeys.hasHandler() || hotKeys.hasHotKey() || hotKeys.hasMonitor());
}

}  // namespace
}  // namespace tidyword
