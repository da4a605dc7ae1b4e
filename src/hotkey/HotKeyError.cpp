#include "hotkey/HotKeyError.h"

#include "platform/HotKeys.h"

namespace tidyword {

HotKeyError::HotKeyError(QString message)
    : message_(std::move(message)), utf8_(message_.toUtf8()) {}

HotKeyError HotKeyError::handlerNotInstalled(std::int32_t status) {
    return HotKeyError(QStringLiteral("Tidyword could not install its shortcut (%1). Restart the "
                                      "app and try again.")
                           .arg(status));
}

HotKeyError HotKeyError::hotKeyRefused(ShortcutPreset preset, std::int32_t status,
                                       const QString& subject) {
    const QString label = displayLabel(preset);
    switch (status) {
        case platform::HotKeys::commandNotBound:
            return HotKeyError(QStringLiteral("To use %1 in every app, bind the command “%2” to it "
                                              "in your desktop's keyboard settings.")
                                   .arg(label, subject));
        case platform::HotKeys::gnomeShortcutMissing:
            return HotKeyError(QStringLiteral("%1 is not one of GNOME's keyboard shortcuts yet: "
                                              "choose “%2” to add it.")
                                   .arg(label, addToGnomeShortcuts()));
        case platform::HotKeys::gnomeShortcutTaken:
            return HotKeyError(QStringLiteral("%1 is already assigned to “%2” in GNOME's keyboard "
                                              "shortcuts. Choose a different shortcut in "
                                              "Tidyword's settings, or change that one in GNOME "
                                              "Settings › Keyboard.")
                                   .arg(label, subject));
        case platform::HotKeys::gnomeShortcutsUnavailable:
            return HotKeyError(QStringLiteral("Tidyword cannot change GNOME's keyboard shortcuts "
                                              "here. Add a custom shortcut for %1 that runs “%2” "
                                              "in GNOME Settings › Keyboard.")
                                   .arg(label, subject));
        case platform::HotKeys::shortcutServiceMissing:
            return HotKeyError(QStringLiteral("The desktop's shortcut service is not running, so "
                                              "%1 is not set. Tidyword sets it as soon as the "
                                              "service is back.")
                                   .arg(label));
        case platform::HotKeys::shortcutServiceSilent:
            return HotKeyError(QStringLiteral("The desktop's shortcut service did not answer, so "
                                              "%1 is not set. Choose it again in Settings in a "
                                              "moment.")
                                   .arg(label));
        default:
            break;
    }
    return HotKeyError(label +
                       QStringLiteral(" is unavailable or is already assigned to another app. "
                                      "Choose a different shortcut in Settings. (%1)")
                           .arg(status));
}

QString HotKeyError::addToGnomeShortcuts() {
    return QStringLiteral("Add to GNOME Shortcuts");
}

HotKeyError HotKeyError::inAppMonitorNotInstalled() {
    return HotKeyError(QStringLiteral(
        "Tidyword could not install its in-app shortcut. Restart the app and try again."));
}

}  // namespace tidyword
