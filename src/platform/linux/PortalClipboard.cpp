#include "platform/linux/PortalClipboard.h"

#include "platform/linux/ClipboardText.h"
#include "platform/linux/PortalRequest.h"

#include <gio/gio.h>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace tidyword::platform::linux_desktop {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kClipboard[] = "org.freedesktop.portal.Clipboard";

// Waits up to what is left of the time to `deadline` for `events` on `descriptor`.
bool ready(int descriptor, short events, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return false;
    }
    pollfd watched{descriptor, events, 0};
    int result = 0;
    do {
        result = ::poll(&watched, 1, static_cast<int>(left));
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

// A portal names the types in `mime_types` (as); GNOME's compositor, under it, wraps them in a
// tuple ((as)). Either is read.
QStringList typesIn(GVariant* options) {
    QStringList types;
    OwnedVariant value(g_variant_lookup_value(options, "mime_types", nullptr));
    if (value && g_variant_is_of_type(value.get(), G_VARIANT_TYPE("(as)"))) {
        value.reset(g_variant_get_child_value(value.get(), 0));
    }
    if (value && g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY)) {
        gsize count = 0;
        const OwnedGMemory<const gchar*> names(g_variant_get_strv(value.get(), &count));
        for (gsize index = 0; index < count; ++index) {
            types << QString::fromUtf8(names.get()[index]);
        }
    }
    return types;
}

}  // namespace

std::unique_ptr<PortalClipboard> PortalClipboard::open() {
    const auto portal = connectToPortal(kClipboard, answerWait);
    return portal ? std::unique_ptr<PortalClipboard>(new PortalClipboard(portal->bus)) : nullptr;
}

PortalClipboard::PortalClipboard(GDBusConnection* bus) : bus_(bus), context_(g_main_context_new()) {
    g_main_context_push_thread_default(context_);
    ownerSubscription_ = g_dbus_connection_signal_subscribe(
        bus_, kPortalService, kClipboard, "SelectionOwnerChanged", kPortalPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &PortalClipboard::ownerChanged, this, nullptr);
    transferSubscription_ = g_dbus_connection_signal_subscribe(
        bus_, kPortalService, kClipboard, "SelectionTransfer", kPortalPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &PortalClipboard::transferAsked, this, nullptr);
    g_main_context_pop_thread_default(context_);
    // A context with nothing attached polls only its wake-up descriptor, which anything queued
    // on it (the signals' deliveries) signals: the Qt event loop watches it for us. The context
    // stays this thread's, so that it is dispatched nowhere else.
    g_main_context_acquire(context_);
    gint priority = 0;
    g_main_context_prepare(context_, &priority);
    GPollFD wakeUp{};
    gint timeout = 0;
    if (g_main_context_query(context_, priority, &timeout, &wakeUp, 1) >= 1) {
        arrival_ = std::make_unique<QSocketNotifier>(wakeUp.fd, QSocketNotifier::Read);
        QObject::connect(arrival_.get(), &QSocketNotifier::activated, [this] { dispatch(); });
    }
}

PortalClipboard::~PortalClipboard() {
    arrival_.reset();
    g_dbus_connection_signal_unsubscribe(bus_, ownerSubscription_);
    g_dbus_connection_signal_unsubscribe(bus_, transferSubscription_);
    while (g_main_context_iteration(context_, FALSE)) {
    }
    g_main_context_release(context_);
    g_main_context_unref(context_);
    g_object_unref(bus_);
}

void PortalClipboard::lend(const QByteArray& sessionPath) {
    // Whatever the portal has sent so far is taken in first, for this session's announcement.
    dispatch();
    session_ = sessionPath;
    announcedToLoan_ = announced_.first == sessionPath;
    types_ = announcedToLoan_ ? announced_.second : QStringList();
    announced_ = {};
    ours_ = writing_ = awaitingWrite_ = false;
    served_.clear();
    ++changeCount_;  // what it holds is not known to be what it held before the loan
    dispatch();
}

void PortalClipboard::endLoan() {
    answers_.clear();
    lose();
    session_.clear();
    types_.clear();
    announcedToLoan_ = false;
}

void PortalClipboard::lose() {
    const bool wasOurs = ours_ || writing_;
    ours_ = false;
    writing_ = false;
    served_.clear();
    if (wasOurs && onLoss_) {
        onLoss_();
    }
}

void PortalClipboard::ownerChanged(GDBusConnection* /*bus*/, const char* /*sender*/,
                                   const char* /*path*/, const char* /*interface*/,
                                   const char* /*signal*/, GVariant* parameters, void* self) {
    auto& clipboard = *static_cast<PortalClipboard*>(self);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa{sv})"))) {
        return;
    }
    const char* session = nullptr;
    GVariant* options = nullptr;
    g_variant_get(parameters, "(&o@a{sv})", &session, &options);
    const OwnedVariant owned(options);
    if (clipboard.session_ != session) {
        // The portal tells a session what the clipboard holds as soon as it is enabled, which is
        // before the session is lent to us; the owner's types then wait for the loan.
        if (clipboard.session_.isEmpty()) {
            clipboard.announced_ = {QByteArray(session), typesIn(options)};
        }
        return;
    }
    // The first word of a loan says what the clipboard held already, no change: the loan's
    // start counted as one.
    if (std::exchange(clipboard.announcedToLoan_, true)) {
        ++clipboard.changeCount_;
    }
    clipboard.types_ = typesIn(options);
    gboolean ours = FALSE;
    if (g_variant_lookup(options, "session_is_owner", "b", &ours) && ours) {
        clipboard.ours_ = true;
        clipboard.writing_ = false;
    } else if (!clipboard.awaitingWrite_) {
        // Another owner's: ours, if a write of ours was still to be confirmed, came before it.
        clipboard.lose();
    }
}

void PortalClipboard::transferAsked(GDBusConnection* /*bus*/, const char* /*sender*/,
                                    const char* /*path*/, const char* /*interface*/,
                                    const char* /*signal*/, GVariant* parameters, void* self) {
    auto& clipboard = *static_cast<PortalClipboard*>(self);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osu)"))) {
        return;
    }
    const char* session = nullptr;
    const char* type = nullptr;
    guint32 serial = 0;
    g_variant_get(parameters, "(&o&su)", &session, &type, &serial);
    if (clipboard.session_ == session) {
        clipboard.serve(QString::fromUtf8(type), serial);
    }
}

void PortalClipboard::serve(const QString& type, unsigned serial) {
    const QByteArray session = session_;
    const auto writeDone = [this, session, serial](bool complete) {
        portalCall(bus_, kPortalPath, kClipboard, "SelectionWriteDone",
                   g_variant_new("(oub)", session.constData(), serial, complete), answerWait);
    };
    const Data* found = servedData(type);
    if (!found) {
        writeDone(false);
        return;
    }
    const int descriptor =
        portalCallForDescriptor(bus_, kClipboard, "SelectionWrite",
                                g_variant_new("(ou)", session_.constData(), serial), answerWait);
    if (descriptor < 0) {
        writeDone(false);
        return;
    }
    // The reader may be a program whose output this process is reading: the answer goes as it
    // is taken in, from the event loop.
    answers_.answer(descriptor, found->bytes, writeDone);
}

const Pasteboard::Data* PortalClipboard::servedData(const QString& type) const {
    if (!(ours_ || writing_)) {
        return nullptr;
    }
    const auto found = std::find_if(served_.cbegin(), served_.cend(),
                                    [&type](const auto& entry) { return entry.first == type; });
    return found != served_.cend() ? &found->second : nullptr;
}

void PortalClipboard::dispatch(std::chrono::milliseconds wait) {
    if (wait.count() > 0) {
        dispatchWithin(context_, wait);
    }
    while (g_main_context_iteration(context_, FALSE)) {
    }
}

qint64 PortalClipboard::changeCount() {
    if (lent()) {
        // The portal's answer comes after every signal it sent before it.
        portalInterfaceVersion(bus_, kClipboard, answerWait);
        dispatch();
    }
    return changeCount_;
}

std::optional<QList<QStringList>> PortalClipboard::itemTypes() {
    if (!lent()) {
        return std::nullopt;
    }
    changeCount();
    // The portal tells what the clipboard holds once it has enabled it, which may come after the
    // session's start; an empty clipboard it does not tell at all. Until it has told, the
    // clipboard may hold anything: taken for empty, it would be cleared by the restore.
    const Clock::time_point deadline = Clock::now() + announcementWait;
    while (!announcedToLoan_ && Clock::now() < deadline) {
        dispatch(std::chrono::milliseconds(10));
    }
    if (!announcedToLoan_) {
        return std::nullopt;
    }
    if (types_.isEmpty()) {
        return QList<QStringList>{};
    }
    return QList<QStringList>{types_};
}

std::optional<Pasteboard::Data> PortalClipboard::data(int item, const QString& type,
                                                      qint64 maximumSize) {
    if (!lent() || item != 0 || !types_.contains(type)) {
        return std::nullopt;
    }
    if (ours_ || writing_) {
        // The portal does not read a session's own contents back to it.
        const Data* found = servedData(type);
        return found && found->bytes.size() <= maximumSize ? std::optional(*found) : std::nullopt;
    }
    const int descriptor = portalCallForDescriptor(
        bus_, kClipboard, "SelectionRead",
        g_variant_new("(os)", session_.constData(), type.toUtf8().constData()), answerWait);
    if (descriptor < 0) {
        return std::nullopt;
    }
    // Each part may take up to the wait, as a large answer comes in many; the whole, no longer
    // than the longest read.
    const Clock::time_point last = Clock::now() + longestRead;
    QByteArray bytes;
    bool complete = false;
    char buffer[65536];
    while (bytes.size() <= maximumSize &&
           ready(descriptor, POLLIN, std::min(last, Clock::now() + answerWait))) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got == 0) {
            complete = true;
            break;
        }
        if (got < 0 && errno != EINTR && errno != EAGAIN) {
            break;
        }
        bytes.append(buffer, got > 0 ? got : 0);
    }
    ::close(descriptor);
    if (!complete || bytes.size() > maximumSize) {
        return std::nullopt;
    }
    return Data(bytes);
}

bool PortalClipboard::takeOwnership(const Item& contents) {
    if (!lent()) {
        return false;
    }
    GVariantBuilder types;
    g_variant_builder_init(&types, G_VARIANT_TYPE_STRING_ARRAY);
    for (const auto& [type, data] : contents) {
        g_variant_builder_add(&types, "s", type.toUtf8().constData());
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "mime_types", g_variant_builder_end(&types));
    changeCount();
    // Until the portal confirms it, the write is ours to serve: an owner it announces first
    // (another program's, written just before) does not take it away.
    const Item previous = std::exchange(served_, contents);
    const bool previouslyOurs = std::exchange(ours_, false);
    writing_ = true;
    awaitingWrite_ = true;
    if (!portalCall(bus_, kPortalPath, kClipboard, "SetSelection",
                    g_variant_new("(oa{sv})", session_.constData(), &options), answerWait)) {
        // Refused: what we served before, if still the clipboard's, is served on.
        served_ = previous;
        ours_ = previouslyOurs;
        writing_ = awaitingWrite_ = false;
        return false;
    }
    const Clock::time_point deadline = Clock::now() + answerWait;
    while (!ours_ && Clock::now() < deadline) {
        dispatch(std::chrono::milliseconds(10));
    }
    // Unconfirmed in time, it stays ours to serve until the portal names any owner.
    awaitingWrite_ = false;
    return ours_;
}

void PortalClipboard::clearContents() {
    // Left without an owner, GNOME puts back its copy of the last text, which may be a paste's;
    // held with no text, it keeps nothing, and clipboard managers skip the mark.
    takeOwnership({{QString::fromUtf16(transientMarkType), QByteArrayLiteral("secret")}});
}

void PortalClipboard::writeItems(const QList<Item>& items) {
    // The portal's clipboard holds one item; the first is the one a reader pastes.
    takeOwnership(items.isEmpty() ? Item{} : items.front());
}

bool PortalClipboard::setString(const QString& text) {
    return takeOwnership(textItem(text));
}

bool PortalClipboard::setTransientString(const QString& text) {
    return takeOwnership(textItem(text, true));
}

std::optional<QString> PortalClipboard::string() {
    return plainText(*this, longestString);
}

}  // namespace tidyword::platform::linux_desktop
