// The system-wide shortcut where no application may take keys for itself (a Wayland session
// without a shortcut service Tidyword can use): the desktop runs `tidyword --improve` for the
// chord, and that second process hands the press to this running instance (CallbackHandoff.h).
//
// On GNOME the chord is Tidyword's own custom shortcut, which it adds only when the user asks
// (GnomeCustomShortcut.h); registering a chord finds it there, or rewrites it to a new chord.
// Elsewhere the user binds the command in the desktop's own settings, which no application can
// read: the first hand-off is what proves that binding, and until one arrives the chord is
// refused with a status that says which command to bind.
#pragma once

#include "platform/HotKeys.h"
#include "platform/linux/GnomeCustomShortcut.h"

#include <functional>
#include <memory>

namespace tidyword::platform::linux_desktop {

class CommandHotKeys final : public HotKeys {
public:
    // `executable` is this program's absolute path. With `gnome`, the chord is GNOME's custom
    // shortcut; without, one the user binds.
    CommandHotKeys(QString executable, std::unique_ptr<GnomeCustomShortcut> gnome);
    ~CommandHotKeys() override;

    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler handler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16 keyCode,
                                                                    quint32 modifiers,
                                                                    Identifier identifier) override;
    std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) override;
    // No renewals: nothing here tells when a desktop's settings change.
    void setRenewalHandler(RenewalHandler) override {}
    QString statusSubject(Status status) const override;

    // The desktop ran the command: one press of the registered chord. Where the user binds the
    // command, the first hand-off proves the binding, so a chord refused for want of that proof
    // is registered again (by `registerAgain`, the owner of the registration) before the press.
    void handOff();
    void setRegisterAgain(std::function<void()> registerAgain) {
        registerAgain_ = std::move(registerAgain);
    }

    // What the user binds: `tidyword --improve`, with the full path where the name alone would
    // not start this executable.
    QString command() const;

    bool canAddGnomeShortcut() const { return gnome_ != nullptr; }
    // Adds the chord as Tidyword's GNOME custom shortcut, or rewrites it; a status of the seam's.
    Status addGnomeShortcut(quint16 keyCode, quint32 modifiers);
    // Takes it away again; gnomeShortcutsUnavailable when GNOME's settings cannot be changed.
    Status removeGnomeShortcut();

private:
    Status statusOf(const GnomeCustomShortcut::Answer& answer);

    QString executable_;
    std::unique_ptr<GnomeCustomShortcut> gnome_;
    std::shared_ptr<PressHandler> handler_;
    std::shared_ptr<Identifier> registered_;
    std::function<void()> registerAgain_;
    bool commandSeen_ = false;
    QString holder_;  // the shortcut that had the chord at the last refusal
};

}  // namespace tidyword::platform::linux_desktop
