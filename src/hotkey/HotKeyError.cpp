#include "hotkey/HotKeyError.h"

namespace tidyword {

HotKeyError::HotKeyError(QString message)
    : message_(std::move(message)), utf8_(message_.toUtf8()) {}

HotKeyError HotKeyError::handlerNotInstalled(std::int32_t status) {
    return HotKeyError(QStringLiteral("Tidyword could not install its shortcut (%1). Restart the "
                                      "app and try again.")
                           .arg(status));
}

HotKeyError HotKeyError::hotKeyRefused(ShortcutPreset preset, std::int32_t status) {
    return HotKeyError(displayLabel(preset) +
                       QStringLiteral(" is unavailable or is already assigned to another app. "
                                      "Choose a different shortcut in Settings. (%1)")
                           .arg(status));
}

HotKeyError HotKeyError::inAppMonitorNotInstalled() {
    return HotKeyError(QStringLiteral(
        "Tidyword could not install its in-app shortcut. Restart the app and try again."));
}

}  // namespace tidyword
