// Another client of KDE's global shortcut service on the session bus, for tests: it registers
// components of its own, asks the service what it holds, plays System Settings, and counts what
// the service tells a component.
#pragma once

#include "integration/desktop/DesktopApplications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QObject>
#include <QStringList>

namespace tidyword::test {

class KGlobalAccelPeer {
public:
    static QStringList actionId(const QString& component, const QString& action) {
        return {component, action, component, action};
    }

    // A busy machine gets time; the test fails rather than hangs if the service never answers.
    static QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                             const QList<QVariant>& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.kglobalaccel"), path, interface, method);
        message.setArguments(arguments);
        message.setAutoStartService(false);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, 10'000);
    }
    static QDBusMessage callService(const QString& method, const QList<QVariant>& arguments) {
        qDBusRegisterMetaType<QList<int>>();
        return call(QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"), method,
                    arguments);
    }
    static QList<int> keysOf(const QDBusMessage& reply) {
        return reply.arguments().isEmpty() ? QList<int>{}
                                           : qdbus_cast<QList<int>>(reply.arguments().constFirst());
    }

    // Registers `action` of `component` with `keys` as Tidyword does; the keys granted.
    static QList<int> take(const QString& component, const QString& action, int keys) {
        const QStringList id = actionId(component, action);
        callService(QStringLiteral("doRegister"), {id});
        return keysOf(callService(QStringLiteral("setShortcut"),
                                  {id, QVariant::fromValue(QList<int>{keys}), 2U | 4U}));
    }
    static void free(const QString& component, const QString& action) {
        callService(QStringLiteral("unregister"), {component, action});
    }
    // The component and action that hold `keys`; empty when none does.
    static QStringList holderOf(int keys) {
        const QDBusMessage reply = callService(QStringLiteral("action"), {keys});
        const QStringList id = reply.arguments().value(0).toStringList();
        return id.mid(0, 2);
    }
    static QList<int> keysOf(const QString& component, const QString& action) {
        return keysOf(callService(QStringLiteral("shortcut"), {actionId(component, action)}));
    }
    // The unique names of the actions `component` has registered.
    static QStringList actionsOf(const QString& component) {
        qDBusRegisterMetaType<QList<QStringList>>();
        const QDBusMessage reply =
            callService(QStringLiteral("allActionsForComponent"), {actionId(component, QString())});
        QStringList actions;
        for (const QStringList& id : qdbus_cast<QList<QStringList>>(reply.arguments().value(0))) {
            actions.append(id.value(1));
        }
        return actions;
    }
    // What System Settings does when the user gives an action of another application new keys.
    static void reassign(const QString& component, const QString& action, const QList<int>& keys) {
        callService(QStringLiteral("setForeignShortcut"),
                    {actionId(component, action), QVariant::fromValue(keys)});
    }
    static void invoke(const QString& component, const QString& action) {
        call(QStringLiteral("/component/") + component,
             QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("invokeShortcut"),
             {action});
    }
};

// Counts what the service tells one component of its actions being pressed and released.
class ComponentSignals : public QObject {
    Q_OBJECT

public:
    explicit ComponentSignals(const QString& component) {
        const QString path = QStringLiteral("/component/") + component;
        const QString interface = QStringLiteral("org.kde.kglobalaccel.Component");
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.connect(QStringLiteral("org.kde.kglobalaccel"), path, interface,
                    QStringLiteral("globalShortcutPressed"), this,
                    SLOT(countPress(QString, QString, qlonglong)));
        bus.connect(QStringLiteral("org.kde.kglobalaccel"), path, interface,
                    QStringLiteral("globalShortcutReleased"), this,
                    SLOT(countRelease(QString, QString, qlonglong)));
    }

    int presses = 0;
    int releases = 0;

private Q_SLOTS:
    void countPress(const QString&, const QString&, qlonglong) { ++presses; }
    void countRelease(const QString&, const QString&, qlonglong) { ++releases; }
};

// A signal this process sends itself through the bus. Its return shows that Qt delivers what the
// bus sends, in order: a new connection holds messages back until the event loop has run.
class BusEcho : public QObject {
    Q_OBJECT

public:
    bool heard() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString path = QStringLiteral("/tidyword/test");
        const QString interface = QStringLiteral("org.tidyword.Test");
        bus.connect(QString(), path, interface, QStringLiteral("Echo"), this, SLOT(hear()));
        bus.send(QDBusMessage::createSignal(path, interface, QStringLiteral("Echo")));
        return eventually([this] { return heard_; });
    }

private Q_SLOTS:
    void hear() { heard_ = true; }

private:
    bool heard_ = false;
};

}  // namespace tidyword::test
