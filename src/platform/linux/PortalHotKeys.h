// The system-wide hot key through the desktop portal's GlobalShortcuts (GNOME 48 and later, where
// no client may grab keys): Tidyword names itself to the portal first where the portal asks
// applications outside a sandbox to (org.freedesktop.host.portal.Registry), opens a session,
// and binds its one shortcut there with the chord as the preferred trigger. The desktop may ask
// the user to confirm, and binds the trigger it chooses; a refusal, or no answer in time, is a
// status, and the desktop's own custom shortcut serves instead (FallbackHotKeys).
//
// A session binds once: a new chord closes the session and opens another. The portal's
// Activated signal for the shortcut is the press; it arrives through the main loop.
#pragma once

#include "platform/HotKeys.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tag, declared here so that
// its header stays out of ours
typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

class PortalHotKeys final : public HotKeys {
public:
    static constexpr Status refused = 1;     // the user or the desktop bound nothing
    static constexpr Status unknownKey = 2;  // no trigger names the seam's key code
    static constexpr Status portalSilent = shortcutServiceSilent;  // no answer in answerWait
    // The user may be asked to confirm the shortcut.
    static constexpr std::chrono::milliseconds answerWait{30'000};
    static constexpr std::chrono::milliseconds callWait{2000};
    // The shortcut's id, and what the desktop's settings call it.
    static constexpr char shortcutId[] = "improve";
    static constexpr char description[] = "Improve selected text";

    // None without a session bus whose portal offers GlobalShortcuts. `applicationId` names the
    // installed desktop entry the portal shows the shortcut under.
    static std::unique_ptr<PortalHotKeys> open(const QString& applicationId);
    ~PortalHotKeys() override;
    PortalHotKeys(const PortalHotKeys&) = delete;
    PortalHotKeys& operator=(const PortalHotKeys&) = delete;

    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler handler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16 keyCode,
                                                                    quint32 modifiers,
                                                                    Identifier identifier) override;
    std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) override;
    void setRenewalHandler(RenewalHandler /*handler*/) override {}

    // The trigger the portal's shortcut description names for a chord ("ALT+SHIFT+d"), or empty.
    static QByteArray triggerOf(quint16 keyCode, quint32 modifiers);

private:
    PortalHotKeys(GDBusConnection* bus, QString applicationId);

    QByteArray nextToken();
    void closeSession();
    static void activated(GDBusConnection* bus, const char* sender, const char* path,
                          const char* interface, const char* signal, GVariant* parameters,
                          void* self);

    GDBusConnection* bus_;
    QString applicationId_;
    bool named_ = false;  // the portal knows our application id
    QByteArray session_;
    unsigned subscription_ = 0;
    Identifier identifier_;
    PressHandler handler_;
    int requests_ = 0;
};

}  // namespace tidyword::platform::linux_desktop
