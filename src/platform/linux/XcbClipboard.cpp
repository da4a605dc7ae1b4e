#include "platform/linux/XcbClipboard.h"

#include "platform/linux/ClipboardText.h"
#include "platform/linux/OwnedHandle.h"

#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>
#include <poll.h>

namespace tidyword::platform::linux_desktop {

namespace {

// Parts of a large answer; well under any server's request size limit.
constexpr qsizetype kChunkSize = qsizetype{64} * 1024;
constexpr std::uint32_t kLongestTargetList = 4096;

std::uint8_t kind(const xcb_generic_event_t* event) {
    return event->response_type & 0x7f;
}

// A property's length counts units of its format, not bytes.
std::uint32_t units(qsizetype bytes, int format) {
    return static_cast<std::uint32_t>(bytes / (format / 8));
}

}  // namespace

struct XcbClipboard::Outgoing {
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    int format;
    QByteArray data;
    qsizetype sent = 0;
};

const QStringList& XcbClipboard::metaTargets() {
    static const QStringList targets{u"TARGETS"_qs, u"MULTIPLE"_qs, u"TIMESTAMP"_qs,
                                     u"SAVE_TARGETS"_qs, u"DELETE"_qs};
    return targets;
}

std::unique_ptr<XcbClipboard> XcbClipboard::open() {
    auto connection = XcbConnection::open();
    if (!connection) {
        return nullptr;
    }
    xcb_connection_t* c = connection->get();
    const auto* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!extension || !extension->present) {
        return nullptr;
    }
    // XFixes answers nothing until the client has said which version it speaks.
    if (!adoptMemory(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr))) {
        return nullptr;
    }
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection->root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    xcb_xfixes_select_selection_input(c, window, connection->atom("CLIPBOARD"),
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
    return std::unique_ptr<XcbClipboard>(
        new XcbClipboard(std::move(connection), window, extension->first_event));
}

XcbClipboard::XcbClipboard(std::unique_ptr<XcbConnection> connection, xcb_window_t window,
                           std::uint8_t xfixesEvent)
    : x_(std::move(connection)), window_(window), xfixesEvent_(xfixesEvent) {
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x_->get()),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { pump(); });
}

XcbClipboard::~XcbClipboard() {
    notifier_.reset();
    xcb_destroy_window(x_->get(), window_);
    xcb_flush(x_->get());
}

void XcbClipboard::pump() {
    while (const auto event = adoptMemory(xcb_poll_for_event(x_->get()))) {
        handle(event.get());
    }
}

void XcbClipboard::handle(xcb_generic_event_t* event) {
    const std::uint8_t type = kind(event);
    if (type == xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
        ++changeCount_;
    } else if (type == XCB_SELECTION_REQUEST) {
        serve(*reinterpret_cast<xcb_selection_request_event_t*>(event));
    } else if (type == XCB_SELECTION_CLEAR) {
        // A clear can be older news than our latest ownership (we cleared, then took it
        // again): only the server knows whether we still own it.
        if (owner() != window_) {
            owning_ = false;
            served_.clear();
        }
    } else if (type == XCB_PROPERTY_NOTIFY) {
        continueOutgoing(*reinterpret_cast<xcb_property_notify_event_t*>(event));
    }
}

void XcbClipboard::serve(const xcb_selection_request_event_t& request) {
    xcb_connection_t* c = x_->get();
    // Clients older than ICCCM 2 name no property: the target stands for it.
    const xcb_atom_t property =
        request.property == XCB_ATOM_NONE ? request.target : request.property;
    xcb_selection_notify_event_t answer{};
    answer.response_type = XCB_SELECTION_NOTIFY;
    answer.time = request.time;
    answer.requestor = request.requestor;
    answer.selection = request.selection;
    answer.target = request.target;
    answer.property = XCB_ATOM_NONE;

    if (owning_ && request.selection == x_->atom("CLIPBOARD")) {
        if (request.target == x_->atom("TARGETS")) {
            QList<xcb_atom_t> targets{x_->atom("TARGETS"), x_->atom("TIMESTAMP")};
            for (const auto& [name, bytes] : std::as_const(served_)) {
                targets.append(x_->atom(name.toUtf8().constData()));
            }
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                XCB_ATOM_ATOM, 32, static_cast<std::uint32_t>(targets.size()),
                                targets.constData());
            answer.property = property;
        } else if (request.target == x_->atom("TIMESTAMP")) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                XCB_ATOM_INTEGER, 32, 1, &ownedSince_);
            answer.property = property;
        } else {
            const auto found =
                std::find_if(served_.cbegin(), served_.cend(), [&](const auto& entry) {
                    return x_->atom(entry.first.toUtf8().constData()) == request.target;
                });
            if (found != served_.cend()) {
                const Data& data = found->second;
                const xcb_atom_t type = data.encoding.isEmpty()
                                            ? request.target
                                            : x_->atom(data.encoding.toUtf8().constData());
                if (data.bytes.size() <= kChunkSize) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, type,
                                        data.format, units(data.bytes.size(), data.format),
                                        data.bytes.constData());
                } else {
                    // Too large for one request: announce INCR and send parts as the
                    // requestor deletes each one.
                    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
                    xcb_change_window_attributes(c, request.requestor, XCB_CW_EVENT_MASK, &events);
                    const auto size = static_cast<std::uint32_t>(data.bytes.size());
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                        x_->atom("INCR"), 32, 1, &size);
                    outgoing_.append(std::make_shared<Outgoing>(
                        Outgoing{request.requestor, property, type, data.format, data.bytes}));
                }
                answer.property = property;
            }
        }
    }
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&answer));
    xcb_flush(c);
}

void XcbClipboard::continueOutgoing(const xcb_property_notify_event_t& notify) {
    if (notify.state != XCB_PROPERTY_DELETE) {
        return;
    }
    for (qsizetype index = 0; index < outgoing_.size(); ++index) {
        Outgoing& part = *outgoing_[index];
        if (part.requestor != notify.window || part.property != notify.atom) {
            continue;
        }
        const qsizetype length = std::min(kChunkSize, part.data.size() - part.sent);
        // The last part is empty: it tells the requestor that the transfer is complete.
        xcb_change_property(x_->get(), XCB_PROP_MODE_REPLACE, part.requestor, part.property,
                            part.type, part.format, units(length, part.format),
                            part.data.constData() + part.sent);
        xcb_flush(x_->get());
        if (length == 0) {
            outgoing_.removeAt(index);
        } else {
            part.sent += length;
        }
        return;
    }
}

XcbClipboard::Event XcbClipboard::waitFor(const std::function<bool(xcb_generic_event_t*)>& wanted,
                                          std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        while (auto event = adoptMemory(xcb_poll_for_event(x_->get()))) {
            if (wanted(event.get())) {
                return event;
            }
            handle(event.get());
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(x_->get())) {
            return nullptr;
        }
        pollfd descriptor{xcb_get_file_descriptor(x_->get()), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left.count()));
    }
}

xcb_timestamp_t XcbClipboard::serverTime() {
    // Appending nothing to a property of ours earns a notification with the server's time.
    const xcb_atom_t marker = x_->atom("TIDYWORD_TIME");
    xcb_change_property(x_->get(), XCB_PROP_MODE_APPEND, window_, marker, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(x_->get());
    const Event event(waitFor([&](xcb_generic_event_t* candidate) {
        if (kind(candidate) != XCB_PROPERTY_NOTIFY) {
            return false;
        }
        const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(candidate);
        return notify->window == window_ && notify->atom == marker;
    }));
    return event ? reinterpret_cast<xcb_property_notify_event_t*>(event.get())->time
                 : XCB_CURRENT_TIME;
}

std::optional<xcb_window_t> XcbClipboard::owner(const char* selection) {
    const auto reply = adoptMemory(xcb_get_selection_owner_reply(
        x_->get(), xcb_get_selection_owner(x_->get(), x_->atom(selection)), nullptr));
    if (!reply || reply->owner == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return reply->owner;
}

bool XcbClipboard::takeOwnership(const Item& contents) {
    // Waiting for the time handles events, among them the clear of an earlier ownership of
    // ours: the new contents are set only after it.
    const xcb_timestamp_t now = serverTime();
    served_ = contents;
    xcb_set_selection_owner(x_->get(), window_, x_->atom("CLIPBOARD"), now);
    owning_ = owner() == window_;
    ownedSince_ = now;
    if (!owning_) {
        served_.clear();
    }
    pump();
    return owning_;
}

QString XcbClipboard::atomName(xcb_atom_t atom) {
    if (const auto known = names_.constFind(atom); known != names_.constEnd()) {
        return *known;
    }
    const auto reply = adoptMemory(
        xcb_get_atom_name_reply(x_->get(), xcb_get_atom_name(x_->get(), atom), nullptr));
    if (!reply) {
        return {};
    }
    QString name = QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                     xcb_get_atom_name_name_length(reply.get()));
    names_.insert(atom, name);
    return name;
}

std::optional<Pasteboard::Data> XcbClipboard::convert(xcb_atom_t target, qint64 maximumSize) {
    xcb_connection_t* c = x_->get();
    const xcb_atom_t clipboard = x_->atom("CLIPBOARD");
    const xcb_atom_t property = x_->atom("TIDYWORD_SELECTION");
    xcb_delete_property(c, window_, property);
    xcb_convert_selection(c, window_, clipboard, target, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    const Event answer(waitFor([&](xcb_generic_event_t* event) {
        if (kind(event) != XCB_SELECTION_NOTIFY) {
            return false;
        }
        const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
        return notify->requestor == window_ && notify->selection == clipboard &&
               notify->target == target;
    }));
    if (!answer ||
        reinterpret_cast<xcb_selection_notify_event_t*>(answer.get())->property == XCB_ATOM_NONE) {
        return std::nullopt;
    }

    // First only the size and the type: nothing is read whole before it is known to fit.
    const auto header = adoptMemory(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
    if (!header) {
        return std::nullopt;
    }
    const auto readAndDelete = [&](std::uint32_t bytes) {
        return adoptMemory(
            xcb_get_property_reply(c,
                                   xcb_get_property(c, 1, window_, property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, (bytes + 3) / 4),
                                   nullptr));
    };
    // How the owner typed the bytes, kept so that a restore serves them the same way.
    const auto typed = [&](QByteArray bytes, xcb_atom_t type, std::uint8_t format) {
        return Data(std::move(bytes), type == target ? QString() : atomName(type),
                    format == 0 ? 8 : format);
    };
    if (header->type != x_->atom("INCR")) {
        if (static_cast<qint64>(header->bytes_after) > maximumSize) {
            xcb_delete_property(c, window_, property);
            xcb_flush(c);
            return std::nullopt;
        }
        const auto value = readAndDelete(header->bytes_after);
        if (!value) {
            return std::nullopt;
        }
        return typed(QByteArray(static_cast<const char*>(xcb_get_property_value(value.get())),
                                xcb_get_property_value_length(value.get())),
                     value->type, value->format);
    }

    // INCR: deleting the announcement asks for the first part; each deletion for the next.
    readAndDelete(16);
    xcb_flush(c);
    QByteArray collected;
    while (true) {
        const Event part(waitFor([&](xcb_generic_event_t* event) {
            if (kind(event) != XCB_PROPERTY_NOTIFY) {
                return false;
            }
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            return notify->window == window_ && notify->atom == property &&
                   notify->state == XCB_PROPERTY_NEW_VALUE;
        }));
        if (!part) {
            return std::nullopt;
        }
        const auto size = adoptMemory(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
            nullptr));
        if (!size) {
            return std::nullopt;
        }
        if (collected.size() + static_cast<qint64>(size->bytes_after) > maximumSize) {
            // The owner gives up on its own once nobody deletes the parts.
            xcb_delete_property(c, window_, property);
            xcb_flush(c);
            return std::nullopt;
        }
        const auto value = readAndDelete(size->bytes_after);
        xcb_flush(c);
        if (!value) {
            return std::nullopt;
        }
        const int length = xcb_get_property_value_length(value.get());
        if (length == 0) {
            return typed(collected, size->type, size->format);
        }
        collected.append(static_cast<const char*>(xcb_get_property_value(value.get())), length);
    }
}

qint64 XcbClipboard::changeCount() {
    // A round trip: every notification sent before it has arrived once its answer has.
    x_->roundTrip();
    pump();
    return changeCount_;
}

std::optional<QList<QStringList>> XcbClipboard::itemTypes() {
    pump();
    QStringList types;
    if (owning_) {
        for (const auto& [name, data] : std::as_const(served_)) {
            types << name;
        }
    } else if (owner()) {
        // An owner that does not say what it holds is unreadable, never empty: taken for empty,
        // its contents would be lost to the next restore.
        const auto targets = convert(x_->atom("TARGETS"), qint64{kLongestTargetList} * 4);
        if (!targets) {
            return std::nullopt;
        }
        for (qsizetype offset = 0; offset + 4 <= targets->bytes.size(); offset += 4) {
            xcb_atom_t atom = XCB_ATOM_NONE;
            std::memcpy(&atom, targets->bytes.constData() + offset, sizeof atom);
            const QString name = atomName(atom);
            if (!name.isEmpty() && !metaTargets().contains(name) && !types.contains(name)) {
                types << name;
            }
        }
    }
    pump();
    return types.isEmpty() ? QList<QStringList>{} : QList<QStringList>{types};
}

std::optional<Pasteboard::Data> XcbClipboard::data(int item, const QString& type,
                                                   qint64 maximumSize) {
    if (item != 0 || metaTargets().contains(type)) {
        return std::nullopt;
    }
    std::optional<Data> found;
    if (owning_) {
        for (const auto& [name, data] : std::as_const(served_)) {
            if (name == type && data.bytes.size() <= maximumSize) {
                found = data;
            }
        }
    } else {
        found = convert(x_->atom(type.toUtf8().constData()), maximumSize);
    }
    pump();
    return found;
}

void XcbClipboard::clearContents() {
    served_.clear();
    owning_ = false;
    xcb_set_selection_owner(x_->get(), XCB_WINDOW_NONE, x_->atom("CLIPBOARD"), serverTime());
    xcb_flush(x_->get());
    pump();
}

void XcbClipboard::writeItems(const QList<Item>& items) {
    // The X clipboard holds one item; a second has nowhere to go.
    if (items.isEmpty()) {
        clearContents();
    } else {
        takeOwnership(items.front());
    }
}

bool XcbClipboard::setString(const QString& text) {
    return takeOwnership(textItem(text));
}

bool XcbClipboard::setTransientString(const QString& text) {
    return takeOwnership(textItem(text, true));
}

std::optional<QString> XcbClipboard::string() {
    return plainText(*this, longestString);
}

void XcbClipboard::keepAfterExit() {
    pump();
    xcb_connection_t* c = x_->get();
    const xcb_atom_t manager = x_->atom("CLIPBOARD_MANAGER");
    // A paste text of ours is only ever meant to live for the paste.
    const bool transient = std::any_of(served_.cbegin(), served_.cend(), [](const auto& entry) {
        return entry.first == QString::fromUtf16(transientMarkType);
    });
    if (!owning_ || transient || !owner("CLIPBOARD_MANAGER")) {
        return;
    }
    // The manager answers SAVE_TARGETS once it has read our contents, which it asks us for
    // meanwhile: the wait serves them.
    xcb_convert_selection(c, window_, manager, x_->atom("SAVE_TARGETS"), x_->atom("TIDYWORD_SAVED"),
                          XCB_CURRENT_TIME);
    xcb_flush(c);
    const Event saved(waitFor(
        [&](xcb_generic_event_t* event) {
            return kind(event) == XCB_SELECTION_NOTIFY &&
                   reinterpret_cast<xcb_selection_notify_event_t*>(event)->selection == manager;
        },
        handOverWait));
}

}  // namespace tidyword::platform::linux_desktop
