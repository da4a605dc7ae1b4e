// Why the global shortcut could not be installed, as the message the settings window shows.
#pragma once

#include "hotkey/ShortcutPreset.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>

namespace tidyword {

class HotKeyError : public std::exception {
public:
    explicit HotKeyError(QString message);

    // The keyboard-event handler could not be installed; `status` is the platform's status code.
    static HotKeyError handlerNotInstalled(std::int32_t status);
    // The platform refused the hot key itself, typically because another application holds it.
    // Where the desktop runs a command for the chord, the status says what the user can do, and
    // `subject` is the command to bind or the shortcut that has the chord (HotKeys::statusSubject).
    static HotKeyError hotKeyRefused(ShortcutPreset preset, std::int32_t status,
                                     const QString& subject = {});
    // The watch on this application's own key presses could not be added.
    static HotKeyError inAppMonitorNotInstalled();

    // The settings' button that adds the chord to GNOME's keyboard shortcuts, as messages name it.
    static QString addToGnomeShortcuts();

    const QString& message() const noexcept { return message_; }
    QString errorDescription() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

    friend bool operator==(const HotKeyError& lhs, const HotKeyError& rhs) {
        return lhs.message_ == rhs.message_;
    }

private:
    QString message_;
    QByteArray utf8_;
};

}  // namespace tidyword
