// Synthetic copy and paste chords on Wayland through the desktop's RemoteDesktop portal: a
// keyboard-only session is opened for one chord and closed after it, and Control+C or
// Control+V goes in as keysyms (so any keyboard layout types them), only while the given process
// is in front: a compositor delivers them to whatever has the keyboard focus. The copy, which
// follows the user's shortcut at once, is posted only where the shortcut's backend can say that
// its modifiers are up.
//
// Opening the session is where the desktop asks the user, if it does: on Plasma 5.27 it does
// not; Plasma 6 and GNOME ask once. A refusal, or a portal that does not answer in time, fails
// the post; nothing is typed then.
#pragma once

#include "platform/KeyEvents.h"
#include "platform/SecretStore.h"
#include "platform/Workspace.h"

#include <QByteArray>

#include <chrono>
#include <functional>
#include <glib.h>
#include <memory>
#include <optional>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tag, declared here so that
// its header stays out of ours
typedef struct _GDBusConnection GDBusConnection;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

class PortalKeyEvents final : public KeyEvents {
public:
    // How long the portal may take to answer a request; the start of a session may wait on the
    // user's consent.
    static constexpr std::chrono::milliseconds answerWait{2000};
    static constexpr std::chrono::milliseconds consentWait{60'000};

    // None without a session bus whose portal offers RemoteDesktop. Where the portal can
    // remember the user's consent (version 2 and later), the token that restores it is kept in
    // `restoreTokens`, so that the user is asked once. `heldModifiers`, where the shortcut's
    // backend can tell, says whether the user still holds a modifier of the shortcut; the post
    // waits (up to `modifierWait`) until none is, as a held Alt would turn Control+V into another
    // chord.
    static std::unique_ptr<PortalKeyEvents> open(Workspace& workspace,
                                                 SecretStore* restoreTokens = nullptr,
                                                 std::function<bool()> heldModifiers = {});
    // Where the restore token is kept.
    static const SecretItemIdentity& restoreTokenItem();
    ~PortalKeyEvents() override;
    PortalKeyEvents(const PortalKeyEvents&) = delete;
    PortalKeyEvents& operator=(const PortalKeyEvents&) = delete;

    static constexpr std::chrono::milliseconds modifierWait{1000};
    // How long the source may take to have the keyboard back after a consent dialog.
    static constexpr std::chrono::milliseconds activationWait{1000};

    QCoro::Task<Posted> post(Shortcut shortcut, qint32 processIdentifier,
                             std::function<bool()> lastCheck = {}) override;
    bool keysHeld() override { return heldModifiers_ && heldModifiers_(); }
    void abandonWaits() override { abandoned_ = true; }

private:
    PortalKeyEvents(GDBusConnection* bus, Workspace& workspace);

    bool inFront(qint32 processIdentifier);
    QByteArray nextToken();
    // The chord in the session at `sessionPath`, once its devices are chosen and it has started.
    QCoro::Task<Posted> postIn(QByteArray sessionPath, Shortcut shortcut, qint32 processIdentifier,
                               std::function<bool()> lastCheck);
    std::optional<QByteArray> restoreToken();
    void keepRestoreToken(const QByteArray& token);

    GDBusConnection* bus_;
    Workspace& workspace_;
    guint32 version_ = 1;
    SecretStore* tokens_ = nullptr;
    std::function<bool()> heldModifiers_;
    int requests_ = 0;  // for unique request tokens
    bool abandoned_ = false;
};

}  // namespace tidyword::platform::linux_desktop
