// The system-wide hot key on KDE Plasma (Wayland, where no client may grab keys): one action of
// a "tidyword" component in KDE's global shortcut service, kglobalaccel, reached over the session
// bus (`org.kde.kglobalaccel`, hosted by KWin).
//
// Registering asks kglobalaccel for the chord as the action's only shortcut. It grants no key
// that another component holds: then the status is keysHeldElsewhere and the action is
// unregistered again, so that nothing half-made shows in System Settings. The chord is set as
// given, never the one kglobalaccel remembers from an earlier run: the setting in Tidyword wins.
// Destroying the registration unregisters the action, which frees the keys for anyone else;
// merely marking it inactive would keep them reserved.
//
// kglobalaccel tells every press on the component's object. KWin's key repeat makes it tell one
// more for each repeat while the chord is held, and one release when a key comes up: everything
// from the first press up to that release is one press. (An invocation that is no key, such as
// the component's invokeShortcut, is followed by no release: the press after it is then taken
// for a repeat of it, and only the one after that counts.)
//
// No call waits longer than callDeadline for an answer, and a registration stops at the first
// that does not come (after one more to unregister what it began), so a kglobalaccel that falls
// silent holds the caller at most twice that long. Nothing ever starts kglobalaccel on demand:
// where nobody owns its name the status is serviceMissing.
//
// Renewal: kglobalaccel follows the keys across keyboard layouts itself, so a new layout needs
// nothing here. A renewal is kglobalaccel going away (reported as serviceMissing) and coming back
// (KWin started again: the chord is registered anew and that status reported), or someone else
// (System Settings) taking the chord from the action (keysHeldElsewhere) or giving it back
// (success).
#pragma once

#include "platform/HotKeys.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QLatin1String>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <memory>

namespace tidyword::platform::linux_desktop {

class KGlobalAccelHotKeys final : public QObject, public HotKeys {
    Q_OBJECT

public:
    static constexpr Status keysHeldElsewhere = 1;  // another component holds the chord
    static constexpr Status unknownKey = 2;         // no Qt key stands for the seam's key code
    static constexpr Status serviceMissing = shortcutServiceMissing;  // nobody owns its name
    static constexpr Status serviceSilent = shortcutServiceSilent;    // no answer in callDeadline
    static constexpr Status serviceRefused = 5;  // an error, or an answer of another shape

    static constexpr std::chrono::milliseconds callDeadline{1000};

    // The action as kglobalaccel and System Settings know it.
    static constexpr QLatin1String componentUnique{"tidyword"};
    static constexpr QLatin1String actionUnique{"improve-selected-text"};

    // Registrations are destroyed before this object is.
    explicit KGlobalAccelHotKeys(QDBusConnection bus = QDBusConnection::sessionBus());

    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler handler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16 keyCode,
                                                                    quint32 modifiers,
                                                                    Identifier identifier) override;
    std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) override;
    void setRenewalHandler(RenewalHandler handler) override { renewal_ = std::move(handler); }

private Q_SLOTS:
    void handlePressed(const QString& component, const QString& action, qlonglong timestamp);
    void handleReleased(const QString& component, const QString& action, qlonglong timestamp);
    void handleShortcutsChanged(const QDBusMessage& message);

private:
    struct Chord {
        int keys;  // the Qt key combined with the Qt modifiers
        Identifier identifier;
    };

    static QStringList actionId();
    // The reply, or an error reply; never waits past callDeadline.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments);
    // The status of a call that did not succeed.
    Status failure(const QDBusMessage& reply);
    // Registers the action with the chord and listens to its component; undone on failure.
    Status bind(const Chord& chord);
    void unbind();
    void serviceOwnerChanged(const QString& newOwner);
    void renew();
    void report(Status status);

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    std::shared_ptr<PressHandler> handler_;
    RenewalHandler renewal_;
    std::shared_ptr<Chord> chord_;  // the registered chord, if any
    QString componentPath_;         // the component's object, once we listen to it
    bool held_ = false;             // a press was handled and its release has not come yet
    bool objectMissing_ = false;    // the last call found the name but not yet its object
    int renewalAttempts_ = 0;
};

}  // namespace tidyword::platform::linux_desktop
