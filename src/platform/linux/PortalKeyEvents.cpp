#include "platform/linux/PortalKeyEvents.h"

#include "platform/linux/OwnedHandle.h"
#include "platform/linux/PortalRequest.h"

#include <QByteArray>
#include <QTimer>
#include <qcoro/qcorotimer.h>

#include <gio/gio.h>

#include <optional>

namespace tidyword::platform::linux_desktop {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kRemoteDesktop[] = "org.freedesktop.portal.RemoteDesktop";
constexpr guint32 kKeyboard = 1;
constexpr gint32 kControl = 0xffe3;  // Control_L
constexpr gint32 kLetterC = 0x63;
constexpr gint32 kLetterV = 0x76;

QCoro::Task<PortalAnswer> request(GDBusConnection* bus, const char* method, GVariant* parameters,
                                  QByteArray token, std::chrono::milliseconds wait,
                                  const bool& abandoned) {
    return portalRequestWhileRunning(bus, kRemoteDesktop, method, parameters, std::move(token),
                                     wait, [&abandoned] { return abandoned; });
}

bool call(GDBusConnection* bus, const char* path, const char* interface, const char* method,
          GVariant* parameters) {
    return portalCall(bus, path, interface, method, parameters, PortalKeyEvents::answerWait);
}

}  // namespace

std::unique_ptr<PortalKeyEvents> PortalKeyEvents::open(Workspace& workspace,
                                                       SecretStore* restoreTokens,
                                                       std::function<bool()> heldModifiers,
                                                       PortalClipboard* clipboard) {
    const auto portal = connectToPortal(kRemoteDesktop, answerWait);
    if (!portal) {
        return nullptr;
    }
    auto keys = std::unique_ptr<PortalKeyEvents>(new PortalKeyEvents(portal->bus, workspace));
    keys->version_ = portal->version;
    keys->tokens_ = restoreTokens;
    keys->heldModifiers_ = std::move(heldModifiers);
    keys->clipboard_ = clipboard;
    return keys;
}

PortalKeyEvents::PortalKeyEvents(GDBusConnection* bus, Workspace& workspace)
    : bus_(bus), workspace_(workspace) {}

PortalKeyEvents::~PortalKeyEvents() {
    if (!pasteSession_.isEmpty()) {
        endPasteSession();
    }
    g_object_unref(bus_);
}

bool PortalKeyEvents::inFront(qint32 processIdentifier) {
    const auto front = workspace_.frontmostApplication();
    return front && front->processIdentifier == processIdentifier;
}

QCoro::Task<KeyEvents::Posted> PortalKeyEvents::post(Shortcut shortcut, qint32 processIdentifier,
                                                     std::function<bool()> lastCheck) {
    // The copy comes right after the user's shortcut, whose modifiers may still be down: keys
    // merged with them would make another chord. Without a way to tell, no copy.
    if (!inFront(processIdentifier) || (shortcut == Shortcut::copy && !heldModifiers_)) {
        co_return Posted::no;
    }
    if (heldModifiers_) {
        const Clock::time_point deadline = Clock::now() + modifierWait;
        while (heldModifiers_()) {
            if (Clock::now() >= deadline || abandoned_) {
                co_return Posted::no;
            }
            co_await QCoro::sleepFor(std::chrono::milliseconds(10));
        }
    }
    if (pasting_ && clipboard_) {
        // The paste's keys go in its session, or not at all: one of their own would ask the
        // user again, for a paste whose clipboard went with the session.
        if (pasteSession_.isEmpty()) {
            co_return Posted::no;
        }
        co_return co_await typeChord(pasteSession_, shortcut, processIdentifier,
                                     std::move(lastCheck));
    }
    const auto [opened, sessionPath] = co_await openSession(false);
    if (opened != Posted::yes) {
        co_return opened;
    }
    const Posted posted =
        co_await typeChord(sessionPath, shortcut, processIdentifier, std::move(lastCheck));
    closeSession(sessionPath);
    co_return posted;
}

QCoro::Task<KeyEvents::Posted> PortalKeyEvents::openPasteSession(qint32 /*processIdentifier*/) {
    if (!clipboard_) {
        co_return Posted::yes;
    }
    pasting_ = true;
    // The last paste's session, still serving what it put back, serves this one too.
    if (!pasteSession_.isEmpty()) {
        co_return Posted::yes;
    }
    const auto [opened, sessionPath] = co_await openSession(true);
    if (opened != Posted::yes) {
        co_return opened;
    }
    pasteSession_ = sessionPath;
    // The user may end it from the desktop (GNOME's indicator), and the portal says so.
    closedSubscription_ = g_dbus_connection_signal_subscribe(
        bus_, kPortalService, "org.freedesktop.portal.Session", "Closed", pasteSession_.constData(),
        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &PortalKeyEvents::pasteSessionClosed, this, nullptr);
    clipboard_->lend(pasteSession_);
    clipboard_->onLossOfOurs([this] {
        // Told from inside the clipboard's dispatch: the session goes after it returns, and
        // not while a paste uses it.
        QTimer::singleShot(0, &guard_, [this] { endPasteSessionUnlessServing(); });
    });
    co_return Posted::yes;
}

void PortalKeyEvents::closePasteSession() {
    pasting_ = false;
    if (!pasteSession_.isEmpty()) {
        clipboard_->changeCount();  // brought up to date: a later owner may have come meanwhile
        endPasteSessionUnlessServing();
    }
}

void PortalKeyEvents::endPasteSessionUnlessServing() {
    // What the paste put back is served from the session; it goes once another program writes.
    if (!pasting_ && !pasteSession_.isEmpty() && !clipboard_->holdsOurs()) {
        endPasteSession();
    }
}

void PortalKeyEvents::endPasteSession() {
    closeSession(pasteSession_);
    forgetPasteSession();
}

void PortalKeyEvents::forgetPasteSession() {
    g_dbus_connection_signal_unsubscribe(bus_, closedSubscription_);
    closedSubscription_ = 0;
    clipboard_->onLossOfOurs({});
    clipboard_->endLoan();
    pasteSession_.clear();
}

void PortalKeyEvents::pasteSessionClosed(GDBusConnection* /*bus*/, const char* /*sender*/,
                                         const char* /*path*/, const char* /*interface*/,
                                         const char* /*signal*/, GVariant* /*parameters*/,
                                         void* self) {
    static_cast<PortalKeyEvents*>(self)->forgetPasteSession();
}

QByteArray PortalKeyEvents::nextToken() {
    // Unique in the process, not only in this object: the portal names a session or a request
    // by the connection and the token, and every backend shares the one session bus connection.
    static int issued = 0;
    return QByteArray("tidyword") + QByteArray::number(++issued);
}

QCoro::Task<std::pair<KeyEvents::Posted, QByteArray>> PortalKeyEvents::createSession() {
    const QByteArray handleToken = nextToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token",
                          g_variant_new_string(handleToken.constData()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(nextToken().constData()));
    const PortalAnswer created =
        co_await request(bus_, "CreateSession", g_variant_new("(a{sv})", &options), handleToken,
                         answerWait, abandoned_);
    const char* session = nullptr;
    if (!created.granted() ||
        !g_variant_lookup(created.results.get(), "session_handle", "&s", &session)) {
        co_return std::pair{created.refused() ? Posted::refusedByUser : Posted::no, QByteArray()};
    }
    co_return std::pair{Posted::yes, QByteArray(session)};
}

QCoro::Task<std::pair<KeyEvents::Posted, QByteArray>> PortalKeyEvents::openSession(
    bool withClipboard) {
    const auto [created, sessionPath] = co_await createSession();
    if (created != Posted::yes) {
        co_return std::pair{created, QByteArray()};
    }
    const Posted started = co_await startSession(sessionPath, withClipboard);
    if (started != Posted::yes) {
        closeSession(sessionPath);
        co_return std::pair{started, QByteArray()};
    }
    co_return std::pair{Posted::yes, sessionPath};
}

void PortalKeyEvents::closeSession(const QByteArray& sessionPath) {
    call(bus_, sessionPath.constData(), "org.freedesktop.portal.Session", "Close", nullptr);
}

QCoro::Task<KeyEvents::Posted> PortalKeyEvents::startSession(QByteArray sessionPath,
                                                             bool withClipboard) {
    QByteArray handleToken = nextToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token",
                          g_variant_new_string(handleToken.constData()));
    g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(kKeyboard));
    if (version_ >= 2) {
        // The user's consent is remembered until revoked, and the next session restores it.
        g_variant_builder_add(&options, "{sv}", "persist_mode", g_variant_new_uint32(2));
        if (const auto kept = restoreToken()) {
            g_variant_builder_add(&options, "{sv}", "restore_token",
                                  g_variant_new_string(kept->constData()));
        }
    }
    const PortalAnswer selected = co_await request(
        bus_, "SelectDevices", g_variant_new("(oa{sv})", sessionPath.constData(), &options),
        handleToken, answerWait, abandoned_);
    if (!selected.granted()) {
        co_return selected.refused() ? Posted::refusedByUser : Posted::no;
    }
    // The clipboard is asked for before the start, which the user allows for both at once.
    if (withClipboard &&
        !call(bus_, kPortalPath, "org.freedesktop.portal.Clipboard", "RequestClipboard",
              g_variant_new("(o@a{sv})", sessionPath.constData(),
                            g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)))) {
        co_return Posted::no;
    }

    handleToken = nextToken();
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token",
                          g_variant_new_string(handleToken.constData()));
    const PortalAnswer started = co_await request(
        bus_, "Start", g_variant_new("(osa{sv})", sessionPath.constData(), "", &options),
        handleToken, consentWait, abandoned_);
    if (!started.granted()) {
        co_return started.refused() ? Posted::refusedByUser : Posted::no;
    }
    guint32 devices = 0;
    gboolean clipboard = FALSE;
    if (!g_variant_lookup(started.results.get(), "devices", "u", &devices) ||
        (devices & kKeyboard) == 0 ||
        (withClipboard &&
         (!g_variant_lookup(started.results.get(), "clipboard_enabled", "b", &clipboard) ||
          !clipboard))) {
        co_return Posted::no;
    }
    // Only a consent to all that was asked is remembered: a narrower one, restored, would fail
    // every paste without asking the user again.
    const char* restore = nullptr;
    if (g_variant_lookup(started.results.get(), "restore_token", "&s", &restore)) {
        keepRestoreToken(restore);
    }
    co_return Posted::yes;
}

QCoro::Task<KeyEvents::Posted> PortalKeyEvents::typeChord(QByteArray sessionPath, Shortcut shortcut,
                                                          qint32 processIdentifier,
                                                          std::function<bool()> lastCheck) {
    // A consent dialog may have had the keyboard: the source must have it back, which the
    // compositor gives in its own time after the dialog closes.
    const Clock::time_point deadline = Clock::now() + activationWait;
    while (!inFront(processIdentifier)) {
        if (Clock::now() >= deadline || abandoned_) {
            co_return Posted::no;
        }
        co_await QCoro::sleepFor(std::chrono::milliseconds(20));
    }
    if (lastCheck && !lastCheck()) {
        co_return Posted::no;
    }
    const gint32 letter = shortcut == Shortcut::copy ? kLetterC : kLetterV;
    bool posted = true;
    for (const auto& [keysym, pressed] :
         {std::pair{kControl, 1U}, {letter, 1U}, {letter, 0U}, {kControl, 0U}}) {
        // Every release is sent even after a failure: no key is left down.
        posted = call(bus_, kPortalPath, kRemoteDesktop, "NotifyKeyboardKeysym",
                      g_variant_new("(o@a{sv}iu)", sessionPath.constData(),
                                    g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0), keysym,
                                    pressed)) &&
                 posted;
    }
    co_return posted ? Posted::yes : Posted::no;
}

std::optional<QByteArray> PortalKeyEvents::restoreToken() {
    if (!tokens_) {
        return std::nullopt;
    }
    const auto found = tokens_->find(restoreTokenItem());
    if (found.status != SecretStore::Status::success || found.data.isEmpty()) {
        return std::nullopt;
    }
    return found.data;
}

void PortalKeyEvents::keepRestoreToken(const QByteArray& token) {
    // Each session's token replaces the last one, which the portal no longer honours.
    if (tokens_ && tokens_->update(restoreTokenItem(), token) == SecretStore::Status::notFound) {
        tokens_->add(restoreTokenItem(), QStringLiteral("Tidyword: permission to paste"), token);
    }
}

const SecretItemIdentity& PortalKeyEvents::restoreTokenItem() {
    static const SecretItemIdentity item{QStringLiteral("com.tidyword.remote-desktop"),
                                         QStringLiteral("restore-token")};
    return item;
}

}  // namespace tidyword::platform::linux_desktop
