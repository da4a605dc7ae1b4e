#include "hotkey/GlobalHotKey.h"

namespace tidyword {

GlobalHotKey::GlobalHotKey(platform::HotKeys& hotKeys, platform::Clock& clock,
                           std::function<void()> handler)
    : hotKeys_(hotKeys),
      clock_(clock),
      handler_(std::move(handler)),
      self_(std::make_shared<GlobalHotKey*>(this)) {}

GlobalHotKey::~GlobalHotKey() {
    unregister();
}

void GlobalHotKey::registerPreset(ShortcutPreset preset) {
    unregister();
    auto [handlerStatus, handler] =
        hotKeys_.installHandler([this](std::optional<platform::HotKeys::Identifier> pressed) {
            return handlePress(pressed);
        });
    if (handlerStatus != platform::HotKeys::success) {
        throw HotKeyError::handlerNotInstalled(handlerStatus);
    }
    eventHandler_ = std::move(handler);

    auto [hotKeyStatus, hotKey] =
        hotKeys_.registerHotKey(keyCode(preset), hotKeyModifiers(preset), identifier);
    if (hotKeyStatus != platform::HotKeys::success) {
        unregister();
        throw HotKeyError::hotKeyRefused(preset, hotKeyStatus,
                                         hotKeys_.statusSubject(hotKeyStatus));
    }
    hotKey_ = std::move(hotKey);
    hotKeys_.setRenewalHandler(
        [weak = std::weak_ptr<GlobalHotKey*>(self_), preset](platform::HotKeys::Status status) {
            const auto self = weak.lock();
            if (!self || !(*self)->onSystemChange) {
                return;
            }
            (*self)->onSystemChange(
                status == platform::HotKeys::success
                    ? std::nullopt
                    : std::optional(HotKeyError::hotKeyRefused(
                          preset, status, (*self)->hotKeys_.statusSubject(status))));
        });

    localMonitor_ = hotKeys_.addLocalMonitor([weak = std::weak_ptr<GlobalHotKey*>(self_),
                                              preset](const platform::HotKeys::KeyDown& event) {
        const auto self = weak.lock();
        return self && (*self)->handleKeyDown(preset, event);
    });
    if (!localMonitor_) {
        unregister();
        throw HotKeyError::inAppMonitorNotInstalled();
    }
}

void GlobalHotKey::unregister() {
    localMonitor_.reset();
    if (hotKey_) {
        hotKeys_.setRenewalHandler({});
    }
    hotKey_.reset();
    eventHandler_.reset();
    // The first press after a new registration always goes through.
    lastDispatchTime_.reset();
}

platform::HotKeys::Status GlobalHotKey::handlePress(
    std::optional<platform::HotKeys::Identifier> pressed) {
    if (!pressed || *pressed != identifier) {
        return platform::HotKeys::eventNotHandled;
    }
    dispatch();
    return platform::HotKeys::success;
}

bool GlobalHotKey::handleKeyDown(ShortcutPreset preset, const platform::HotKeys::KeyDown& event) {
    // Caps lock and device flags do not matter; any other modifier makes a different chord.
    if (event.keyCode != keyCode(preset) ||
        (event.modifierFlags & ShortcutKeys::inAppRelevantFlags) != inAppModifierFlags(preset)) {
        return false;
    }
    if (!event.isRepeat) {
        dispatch();
    }
    return true;
}

void GlobalHotKey::dispatch() {
    const auto now = clock_.uptime();
    if (lastDispatchTime_ && now - *lastDispatchTime_ < debounce) {
        return;
    }
    lastDispatchTime_ = now;
    handler_();
}

}  // namespace tidyword
