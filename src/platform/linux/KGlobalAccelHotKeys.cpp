#include "platform/linux/KGlobalAccelHotKeys.h"

#include "platform/linux/AppKeyMonitor.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QKeyCombination>
#include <QTimer>

namespace tidyword::platform::linux_desktop {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr QLatin1String kService{"org.kde.kglobalaccel"};
constexpr QLatin1String kPath{"/kglobalaccel"};
constexpr QLatin1String kInterface{"org.kde.KGlobalAccel"};
constexpr QLatin1String kComponentInterface{"org.kde.kglobalaccel.Component"};

// setShortcut's flags, as kglobalaccel numbers them.
constexpr uint kSetPresent = 2;     // the action is there to be triggered
constexpr uint kNoAutoloading = 4;  // these keys, not the ones kept from an earlier run

// kglobalaccel takes its name on the bus a moment before it puts its object there.
constexpr std::chrono::milliseconds kRenewalRetry{100};
constexpr int kRenewalAttempts = 20;

}  // namespace

KGlobalAccelHotKeys::KGlobalAccelHotKeys(QDBusConnection bus)
    : bus_(std::move(bus)), watcher_(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    qDBusRegisterMetaType<QList<int>>();
    QObject::connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString& newOwner) {
                         serviceOwnerChanged(newOwner);
                     });
    // What System Settings says when it gives the action other keys.
    bus_.connect(kService, kPath, kInterface, u"yourShortcutsChanged"_s, this,
                 SLOT(handleShortcutsChanged(QDBusMessage)));
}

QStringList KGlobalAccelHotKeys::actionId() {
    return {componentUnique, actionUnique, u"Tidyword"_s, u"Improve selected text"_s};
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>>
KGlobalAccelHotKeys::installHandler(PressHandler handler) {
    handler_ = std::make_shared<PressHandler>(std::move(handler));
    return {success, std::make_unique<Undo>([this, installed = handler_] {
                if (handler_ == installed) {
                    handler_.reset();
                }
            })};
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>>
KGlobalAccelHotKeys::registerHotKey(quint16 keyCode, quint32 modifiers, Identifier identifier) {
    const auto key = qtKeyOfMacKey(keyCode);
    if (!key) {
        return {unknownKey, nullptr};
    }
    auto wanted = std::make_shared<Chord>(
        Chord{QKeyCombination(qtModifiersOfHotKeyMask(modifiers), *key).toCombined(), identifier});
    // There is one action: whatever it had before is replaced, or gone if this fails.
    chord_.reset();
    if (const Status status = bind(*wanted); status != success) {
        return {status, nullptr};
    }
    chord_ = wanted;
    return {success, std::make_unique<Undo>([this, wanted] {
                if (chord_ == wanted) {
                    unbind();
                    chord_.reset();
                }
            })};
}

std::unique_ptr<HotKeys::Registration> KGlobalAccelHotKeys::addLocalMonitor(Monitor monitor) {
    return addAppKeyMonitor(std::move(monitor));
}

QDBusMessage KGlobalAccelHotKeys::call(const QString& path, const QString& interface,
                                       const QString& method, const QList<QVariant>& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    // What the bus would start in KWin's absence is the X11 daemon, which binds nothing here.
    message.setAutoStartService(false);
    return bus_.call(message, QDBus::Block, static_cast<int>(callDeadline.count()));
}

HotKeys::Status KGlobalAccelHotKeys::failure(const QDBusMessage& reply) {
    if (reply.errorName() == u"org.freedesktop.DBus.Error.NameHasNoOwner"_s) {
        return serviceMissing;  // what the bus says when it may not start the service
    }
    switch (QDBusError(reply).type()) {
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            return serviceSilent;
        case QDBusError::ServiceUnknown:
        case QDBusError::Disconnected:
            return serviceMissing;
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            objectMissing_ = true;
            return serviceRefused;
        default:
            return serviceRefused;
    }
}

HotKeys::Status KGlobalAccelHotKeys::bind(const Chord& chord) {
    objectMissing_ = false;
    held_ = false;
    if (!bus_.isConnected()) {
        return serviceMissing;
    }
    const QStringList id = actionId();
    const QDBusMessage registered = call(kPath, kInterface, u"doRegister"_s, {id});
    if (registered.type() != QDBusMessage::ReplyMessage) {
        return failure(registered);
    }
    const QDBusMessage granted =
        call(kPath, kInterface, u"setShortcut"_s,
             {id, QVariant::fromValue(QList<int>{chord.keys}), kSetPresent | kNoAutoloading});
    if (granted.type() != QDBusMessage::ReplyMessage) {
        return failure(granted);
    }
    if (granted.signature() != u"ai"_s) {
        unbind();
        return serviceRefused;
    }
    // A key another component holds comes back as 0.
    if (!qdbus_cast<QList<int>>(granted.arguments().constFirst()).contains(chord.keys)) {
        unbind();
        return keysHeldElsewhere;
    }
    const QDBusMessage component =
        call(kPath, kInterface, u"getComponent"_s, {QString(componentUnique)});
    if (component.type() != QDBusMessage::ReplyMessage || component.signature() != u"o"_s) {
        unbind();
        return component.type() == QDBusMessage::ErrorMessage ? failure(component) : serviceRefused;
    }
    const QString path = qdbus_cast<QDBusObjectPath>(component.arguments().constFirst()).path();
    if (path != componentPath_) {
        if (!componentPath_.isEmpty()) {
            bus_.disconnect(kService, componentPath_, kComponentInterface,
                            u"globalShortcutPressed"_s, this,
                            SLOT(handlePressed(QString, QString, qlonglong)));
            bus_.disconnect(kService, componentPath_, kComponentInterface,
                            u"globalShortcutReleased"_s, this,
                            SLOT(handleReleased(QString, QString, qlonglong)));
        }
        componentPath_.clear();
        if (!bus_.connect(kService, path, kComponentInterface, u"globalShortcutPressed"_s, this,
                          SLOT(handlePressed(QString, QString, qlonglong))) ||
            !bus_.connect(kService, path, kComponentInterface, u"globalShortcutReleased"_s, this,
                          SLOT(handleReleased(QString, QString, qlonglong)))) {
            unbind();
            return serviceRefused;
        }
        componentPath_ = path;
    }
    return success;
}

void KGlobalAccelHotKeys::unbind() {
    held_ = false;
    // Waiting for the answer makes sure the keys are free by the time anyone is told so, even
    // when this process ends right after.
    call(kPath, kInterface, u"unregister"_s, {QString(componentUnique), QString(actionUnique)});
}

void KGlobalAccelHotKeys::handlePressed(const QString& component, const QString& action,
                                        qlonglong) {
    if (component != componentUnique || action != actionUnique || !chord_ || held_) {
        return;
    }
    held_ = true;
    const Identifier identifier = chord_->identifier;
    if (const auto handler = handler_; handler && *handler) {  // the handler may unregister us
        (*handler)(identifier);
    }
}

void KGlobalAccelHotKeys::handleReleased(const QString& component, const QString& action,
                                         qlonglong) {
    if (component == componentUnique && action == actionUnique) {
        held_ = false;
    }
}

void KGlobalAccelHotKeys::handleShortcutsChanged(const QDBusMessage& message) {
    // The action's id, and its shortcuts: each a key sequence of four keys, unused ones 0.
    if (!chord_ || message.signature() != u"asa(ai)"_s) {
        return;
    }
    const QStringList id = message.arguments().at(0).toStringList();
    if (id.size() < 2 || id[0] != componentUnique || id[1] != actionUnique) {
        return;
    }
    const QList<int> ours{chord_->keys, 0, 0, 0};
    bool kept = false;
    const auto sequences = message.arguments().at(1).value<QDBusArgument>();
    sequences.beginArray();
    while (!sequences.atEnd()) {
        QList<int> keys;
        sequences.beginStructure();
        sequences >> keys;
        sequences.endStructure();
        kept = kept || keys == ours;
    }
    sequences.endArray();
    report(kept ? success : keysHeldElsewhere);
}

void KGlobalAccelHotKeys::serviceOwnerChanged(const QString& newOwner) {
    held_ = false;
    renewalAttempts_ = 0;
    if (!chord_) {
        return;
    }
    if (newOwner.isEmpty()) {
        report(serviceMissing);
        return;
    }
    renew();
}

void KGlobalAccelHotKeys::renew() {
    if (!chord_) {
        return;
    }
    const Status status = bind(*chord_);
    if (status == serviceRefused && objectMissing_ && ++renewalAttempts_ < kRenewalAttempts) {
        QTimer::singleShot(kRenewalRetry, this, [this] { renew(); });
        return;
    }
    report(status);
}

void KGlobalAccelHotKeys::report(Status status) {
    if (const RenewalHandler report = renewal_) {  // it may replace itself
        report(status);
    }
}

}  // namespace tidyword::platform::linux_desktop
