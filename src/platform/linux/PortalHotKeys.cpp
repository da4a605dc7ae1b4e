#include "platform/linux/PortalHotKeys.h"

#include "platform/linux/AppKeyMonitor.h"
#include "platform/linux/PortalRequest.h"

#include <gio/gio.h>

namespace tidyword::platform::linux_desktop {

namespace {

constexpr char kGlobalShortcuts[] = "org.freedesktop.portal.GlobalShortcuts";

// Adds a string entry to an a{sv} builder.
void addString(GVariantBuilder& options, const char* key, const QByteArray& value) {
    g_variant_builder_add(&options, "{sv}", key, g_variant_new_string(value.constData()));
}

}  // namespace

std::unique_ptr<PortalHotKeys> PortalHotKeys::open(const QString& applicationId) {
    const auto portal = connectToPortal(kGlobalShortcuts, callWait);
    return portal ? std::unique_ptr<PortalHotKeys>(new PortalHotKeys(portal->bus, applicationId))
                  : nullptr;
}

PortalHotKeys::PortalHotKeys(GDBusConnection* bus, QString applicationId)
    : bus_(bus), applicationId_(std::move(applicationId)) {
    // One subscription for as long as we live, heard for whichever session is bound: one made
    // anew with each session was seen to miss a press right after it, while the client library
    // still looked up who owns the portal's name.
    subscription_ = g_dbus_connection_signal_subscribe(
        bus_, kPortalService, kGlobalShortcuts, "Activated", kPortalPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &PortalHotKeys::activated, this, nullptr);
}

PortalHotKeys::~PortalHotKeys() {
    closeSession();
    g_dbus_connection_signal_unsubscribe(bus_, subscription_);
    g_object_unref(bus_);
}

QByteArray PortalHotKeys::nextToken() {
    return QByteArray("tidyword_shortcut") + QByteArray::number(++requests_);
}

QByteArray PortalHotKeys::triggerOf(quint16 keyCode, quint32 modifiers) {
    const auto keysym = keysymOfMacKey(keyCode);
    if (!keysym) {
        return {};
    }
    // The modifier and key names that the portal's preferred_trigger takes.
    QByteArray trigger;
    const Qt::KeyboardModifiers held = qtModifiersOfHotKeyMask(modifiers);
    for (const auto& [modifier, name] : {std::pair{Qt::ControlModifier, "CTRL+"},
                                         {Qt::AltModifier, "ALT+"},
                                         {Qt::ShiftModifier, "SHIFT+"},
                                         {Qt::MetaModifier, "LOGO+"}}) {
        if (held.testFlag(modifier)) {
            trigger += name;
        }
    }
    // Letters are their own keysym names, in lower case; the one other key is Space.
    return trigger + (*keysym == 0x20 ? QByteArray("space") : QByteArray(1, char(*keysym)));
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> PortalHotKeys::installHandler(
    PressHandler handler) {
    handler_ = std::move(handler);
    return {success, std::make_unique<Undo>([this] { handler_ = nullptr; })};
}

std::unique_ptr<HotKeys::Registration> PortalHotKeys::addLocalMonitor(Monitor monitor) {
    return addAppKeyMonitor(std::move(monitor));
}

void PortalHotKeys::closeSession() {
    if (!session_.isEmpty()) {
        portalCall(bus_, session_.constData(), "org.freedesktop.portal.Session", "Close", nullptr,
                   callWait);
        session_.clear();
    }
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> PortalHotKeys::registerHotKey(
    quint16 keyCode, quint32 modifiers, Identifier identifier) {
    const QByteArray trigger = triggerOf(keyCode, modifiers);
    if (trigger.isEmpty()) {
        return {unknownKey, nullptr};
    }
    // A session binds once: whatever was bound before goes with it.
    closeSession();
    if (!named_) {
        // The portal takes an application outside a sandbox for the one it names, on this
        // connection, before anything else is asked; a portal without the registry needs none.
        named_ = portalCall(bus_, kPortalPath, "org.freedesktop.host.portal.Registry", "Register",
                            g_variant_new("(s@a{sv})", applicationId_.toUtf8().constData(),
                                          g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                            callWait);
    }

    QByteArray token = nextToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    addString(options, "handle_token", token);
    addString(options, "session_handle_token", nextToken());
    const PortalAnswer created = portalRequest(bus_, kGlobalShortcuts, "CreateSession",
                                               g_variant_new("(a{sv})", &options), token, callWait);
    const char* session = nullptr;
    if (!created.granted() ||
        !g_variant_lookup(created.results.get(), "session_handle", "&s", &session)) {
        return {created.arrived ? refused : portalSilent, nullptr};
    }
    session_ = session;

    GVariantBuilder shortcut;
    g_variant_builder_init(&shortcut, G_VARIANT_TYPE_VARDICT);
    addString(shortcut, "description", description);
    addString(shortcut, "preferred_trigger", trigger);
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_builder_add(&shortcuts, "(sa{sv})", shortcutId, &shortcut);
    token = nextToken();
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    addString(options, "handle_token", token);
    const PortalAnswer bound = portalRequest(
        bus_, kGlobalShortcuts, "BindShortcuts",
        g_variant_new("(oa(sa{sv})sa{sv})", session_.constData(), &shortcuts, "", &options), token,
        answerWait);
    // Bound means our shortcut is among those the portal says it bound.
    bool ours = false;
    GVariant* list = bound.granted() ? g_variant_lookup_value(bound.results.get(), "shortcuts",
                                                              G_VARIANT_TYPE("a(sa{sv})"))
                                     : nullptr;
    const OwnedVariant boundShortcuts(list);
    for (gsize index = 0; list && index < g_variant_n_children(list); ++index) {
        const char* id = nullptr;
        g_variant_get_child(list, index, "(&s@a{sv})", &id, nullptr);
        ours = ours || QByteArray(id) == shortcutId;
    }
    if (!ours) {
        closeSession();
        return {bound.arrived ? refused : portalSilent, nullptr};
    }
    identifier_ = identifier;
    const QByteArray registered = session_;
    return {success, std::make_unique<Undo>([this, registered] {
                if (session_ == registered) {
                    closeSession();
                }
            })};
}

void PortalHotKeys::activated(GDBusConnection* /*bus*/, const char* /*sender*/,
                              const char* /*path*/, const char* /*interface*/,
                              const char* /*signal*/, GVariant* parameters, void* self) {
    auto& keys = *static_cast<PortalHotKeys*>(self);
    const char* session = nullptr;
    const char* id = nullptr;
    g_variant_get(parameters, "(&o&sta{sv})", &session, &id, nullptr, nullptr);
    if (keys.handler_ && QByteArray(session) == keys.session_ && QByteArray(id) == shortcutId) {
        keys.handler_(keys.identifier_);
    }
}

}  // namespace tidyword::platform::linux_desktop
