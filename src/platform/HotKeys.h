// The seam to the system-wide hot key and to this application's own key presses: install a
// handler for hot-key presses, register one hot key, and watch key-down events inside the
// application. Each registration is undone by destroying it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace tidyword::platform {

class HotKeys {
public:
    // Statuses: 0 is success; anything else is the platform's own code, shown to the user.
    using Status = qint32;
    static constexpr Status success = 0;
    static constexpr Status eventNotHandled = -9874;
    // Where no application may take keys for itself, the desktop runs the command
    // `tidyword --improve` for the chord, bound in its own keyboard settings. These statuses say
    // why the chord does not run it yet.
    static constexpr Status commandNotBound = -9880;            // the user binds the command
    static constexpr Status gnomeShortcutMissing = -9881;       // Tidyword can add it to GNOME's
    static constexpr Status gnomeShortcutTaken = -9882;         // another GNOME shortcut has it
    static constexpr Status gnomeShortcutsUnavailable = -9883;  // GNOME's cannot be changed here
    // Where the desktop's own shortcut service binds the chord, that service is gone (the chord
    // is bound again once it is back) or did not answer in time.
    static constexpr Status shortcutServiceMissing = -9884;
    static constexpr Status shortcutServiceSilent = -9885;

    struct Identifier {
        quint32 signature = 0;
        quint32 id = 0;
        friend bool operator==(const Identifier&, const Identifier&) = default;
    };

    struct KeyDown {
        quint16 keyCode = 0;
        quint64 modifierFlags = 0;  // the in-app flags of ShortcutPreset
        bool isRepeat = false;
    };

    class Registration {
    public:
        virtual ~Registration() = default;
    };

    // A registration that runs `undo` when destroyed, as most backends hand out.
    class Undo final : public Registration {
    public:
        explicit Undo(std::function<void()> undo) : undo_(std::move(undo)) {}
        ~Undo() override { undo_(); }
        Undo(const Undo&) = delete;
        Undo& operator=(const Undo&) = delete;

    private:
        std::function<void()> undo_;
    };

    // Called on the main thread for each hot-key press, with the pressed key's identifier (none
    // when it cannot be read); answers success or eventNotHandled.
    using PressHandler = std::function<Status(std::optional<Identifier>)>;
    // Called on the main thread for each key-down event of this application; true swallows it.
    using Monitor = std::function<bool(const KeyDown&)>;
    // Called on the main thread each time the system makes the registered hot key be installed
    // anew (a new keyboard layout), with that installation's status: anything but success
    // means the hot key is gone until the next one.
    using RenewalHandler = std::function<void(Status)>;

    virtual ~HotKeys() = default;

    // A status, and the registration when it is success.
    virtual std::pair<Status, std::unique_ptr<Registration>> installHandler(
        PressHandler handler) = 0;
    // `modifiers` are the hot-key masks of ShortcutPreset; each backend maps them to its keyboard.
    virtual std::pair<Status, std::unique_ptr<Registration>> registerHotKey(
        quint16 keyCode, quint32 modifiers, Identifier identifier) = 0;
    // None when the monitor cannot be added.
    virtual std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) = 0;
    // Replaces the renewal handler; an empty one stops the reports.
    virtual void setRenewalHandler(RenewalHandler handler) = 0;
    // What the message of the last such status names besides the chord: the command to bind, or
    // the shortcut that has the chord; empty where the status's number says it all.
    virtual QString statusSubject(Status status) const {
        Q_UNUSED(status);
        return {};
    }
};

}  // namespace tidyword::platform
