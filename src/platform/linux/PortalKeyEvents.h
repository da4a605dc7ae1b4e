// Synthetic copy and paste chords on Wayland through the desktop's RemoteDesktop portal: where
// the clipboard is not the portal's, a keyboard-only session is opened for one chord and closed
// after it, and Control+C or
// Control+V goes in as keysyms (so any keyboard layout types them), only while the given process
// is in front: a compositor delivers them to whatever has the keyboard focus. The copy, which
// follows the user's shortcut at once, is posted only where the shortcut's backend can say that
// its modifiers are up.
//
// Opening the session is where the desktop asks the user, if it does: on Plasma 5.27 it does
// not; Plasma 6 and GNOME ask once. A refusal, or a portal that does not answer in time, fails
// the post; nothing is typed then.
//
// Where the portal lends its clipboard only to such a session (GNOME), a paste's session is
// opened before the clipboard is touched, with the clipboard, and the chord goes inside it. It
// stays open while the clipboard holds what the paste put back, as the user's contents are
// served from it, and closes once another program writes.
#pragma once

#include "platform/KeyEvents.h"
#include "platform/SecretStore.h"
#include "platform/Workspace.h"
#include "platform/linux/PortalClipboard.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <functional>
#include <glib.h>
#include <memory>
#include <optional>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tag, declared here so that
// its header stays out of ours
typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;
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
    // `clipboard`, where given, is lent each paste's session.
    static std::unique_ptr<PortalKeyEvents> open(Workspace& workspace,
                                                 SecretStore* restoreTokens = nullptr,
                                                 std::function<bool()> heldModifiers = {},
                                                 PortalClipboard* clipboard = nullptr);
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
    QCoro::Task<Posted> openPasteSession(qint32 processIdentifier) override;
    void closePasteSession() override;
    bool keysHeld() override { return heldModifiers_ && heldModifiers_(); }
    void abandonWaits() override { abandoned_ = true; }

private:
    PortalKeyEvents(GDBusConnection* bus, Workspace& workspace);

    bool inFront(qint32 processIdentifier);
    static QByteArray nextToken();
    // A new session's path, or none with what became of the request.
    QCoro::Task<std::pair<Posted, QByteArray>> createSession();
    // Chooses the keyboard (and asks for the clipboard) and starts the session: where the
    // desktop asks the user.
    QCoro::Task<Posted> startSession(QByteArray sessionPath, bool withClipboard);
    // The chord in the started session at `sessionPath`, once the source is in front.
    QCoro::Task<Posted> typeChord(QByteArray sessionPath, Shortcut shortcut,
                                  qint32 processIdentifier, std::function<bool()> lastCheck);
    // A started session's path, or none (closed again) with what became of it.
    QCoro::Task<std::pair<Posted, QByteArray>> openSession(bool withClipboard);
    void closeSession(const QByteArray& sessionPath);
    void endPasteSession();
    // Ends the paste's session once no paste uses it and it serves nothing of ours.
    void endPasteSessionUnlessServing();
    // The paste's session is gone (closed by us, or by the desktop): nothing more goes through it.
    void forgetPasteSession();
    static void pasteSessionClosed(GDBusConnection* bus, const char* sender, const char* path,
                                   const char* interface, const char* signal, GVariant* parameters,
                                   void* self);
    std::optional<QByteArray> restoreToken();
    void keepRestoreToken(const QByteArray& token);

    GDBusConnection* bus_;
    Workspace& workspace_;
    guint32 version_ = 1;
    SecretStore* tokens_ = nullptr;
    std::function<bool()> heldModifiers_;
    bool abandoned_ = false;
    PortalClipboard* clipboard_ = nullptr;
    QByteArray pasteSession_;  // started, lending the clipboard
    unsigned closedSubscription_ = 0;
    bool pasting_ = false;  // between the opening and the closing of a paste's session
    QObject guard_;         // ends the deferred closing with this object
};

}  // namespace tidyword::platform::linux_desktop
