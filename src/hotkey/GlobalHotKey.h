// The one system-wide shortcut: the chosen preset installed as a hot key, so that it works
// whichever application is in front, and watched inside Tidyword too, so that it works the same
// while one of its windows has the keyboard. Both paths call one handler, at most once per
// 0.15 seconds.
#pragma once

#include "hotkey/HotKeyError.h"
#include "hotkey/ShortcutPreset.h"
#include "platform/Clock.h"
#include "platform/HotKeys.h"

#include <functional>
#include <memory>
#include <optional>

namespace tidyword {

class GlobalHotKey {
public:
    static constexpr std::chrono::milliseconds debounce{150};
    // The identifier of our hot key: the four characters "TDYW", and 1.
    static constexpr platform::HotKeys::Identifier identifier{0x54445957, 1};

    // The handler is called on the main thread. The platform and the clock outlive this object.
    GlobalHotKey(platform::HotKeys& hotKeys, platform::Clock& clock, std::function<void()> handler);
    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Installs `preset` in place of whatever was installed. Throws HotKeyError; a failed
    // registration leaves nothing installed.
    void registerPreset(ShortcutPreset preset);
    // Removes whatever is installed; harmless when nothing is.
    void unregister();

    bool isRegistered() const { return hotKey_ != nullptr; }

    // Told when the system takes the installed shortcut away (with the error its registration
    // would have thrown) or gives it back (with none), as a new keyboard layout can.
    std::function<void(const std::optional<HotKeyError>&)> onSystemChange;

private:
    platform::HotKeys::Status handlePress(std::optional<platform::HotKeys::Identifier> pressed);
    bool handleKeyDown(ShortcutPreset preset, const platform::HotKeys::KeyDown& event);
    void dispatch();

    platform::HotKeys& hotKeys_;
    platform::Clock& clock_;
    std::function<void()> handler_;
    std::unique_ptr<platform::HotKeys::Registration> hotKey_;
    std::unique_ptr<platform::HotKeys::Registration> eventHandler_;
    std::unique_ptr<platform::HotKeys::Registration> localMonitor_;
    std::optional<platform::Clock::Duration> lastDispatchTime_;
    // The in-app monitor holds this weakly: an event after this object is gone passes through.
    std::shared_ptr<GlobalHotKey*> self_;
};

}  // namespace tidyword
