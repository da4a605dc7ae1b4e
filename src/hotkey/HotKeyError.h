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
    static HotKeyError hotKeyRefused(ShortcutPreset preset, std::int32_t status);
    // The watch on this application's own key presses could not be added.
    static HotKeyError inAppMonitorNotInstalled();

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
