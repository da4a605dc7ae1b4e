#include "platform/linux/XcbConnection.h"

#include <xcb/res.h>

#include <cstring>

namespace tidyword::platform::linux_desktop {

std::unique_ptr<XcbConnection> XcbConnection::open() {
    int screenNumber = 0;
    Connection connection(xcb_connect(nullptr, &screenNumber));
    if (!connection || xcb_connection_has_error(connection.get())) {
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int skip = 0; skip < screenNumber && screens.rem > 0; ++skip) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return nullptr;
    }
    return std::unique_ptr<XcbConnection>(
        new XcbConnection(std::move(connection), screens.data->root));
}

XcbConnection::XcbConnection(Connection connection, xcb_window_t root)
    : connection_(std::move(connection)), root_(root) {}

xcb_atom_t XcbConnection::atom(const char* name) {
    const QByteArray key(name);
    if (const auto known = atoms_.constFind(key); known != atoms_.constEnd()) {
        return *known;
    }
    const auto reply = adoptMemory(xcb_intern_atom_reply(
        get(), xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(key.size()), key.constData()),
        nullptr));
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    if (atom != XCB_ATOM_NONE) {
        atoms_.insert(key, atom);
    }
    return atom;
}

std::optional<QByteArray> XcbConnection::property(xcb_window_t window, xcb_atom_t property,
                                                  xcb_atom_t type, std::uint32_t maximumLength) {
    if (window == XCB_WINDOW_NONE || property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto reply = adoptMemory(xcb_get_property_reply(
        get(), xcb_get_property(get(), 0, window, property, type, 0, maximumLength), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

std::optional<std::uint32_t> XcbConnection::cardinal(xcb_window_t window, const char* name) {
    const auto value = property(window, atom(name), XCB_ATOM_CARDINAL, 1);
    if (!value || value->size() < 4) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    std::memcpy(&number, value->constData(), sizeof number);
    return number;
}

std::optional<xcb_window_t> XcbConnection::windowProperty(xcb_window_t window, const char* name) {
    const auto value = property(window, atom(name), XCB_ATOM_WINDOW, 1);
    if (!value || value->size() < 4) {
        return std::nullopt;
    }
    xcb_window_t found = XCB_WINDOW_NONE;
    std::memcpy(&found, value->constData(), sizeof found);
    if (found == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return found;
}

QList<xcb_window_t> XcbConnection::windowList(xcb_window_t window, const char* name) {
    const auto value = property(window, atom(name), XCB_ATOM_WINDOW, 4096);
    QList<xcb_window_t> windows;
    if (!value) {
        return windows;
    }
    for (qsizetype offset = 0; offset + 4 <= value->size(); offset += 4) {
        xcb_window_t entry = XCB_WINDOW_NONE;
        std::memcpy(&entry, value->constData() + offset, sizeof entry);
        windows.append(entry);
    }
    return windows;
}

std::optional<xcb_keycode_t> XcbConnection::keycodeOf(std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(get());
    const xcb_keycode_t first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
    const auto mapping = adoptMemory(xcb_get_keyboard_mapping_reply(
        get(), xcb_get_keyboard_mapping(get(), first, count), nullptr));
    if (!mapping || mapping->keysyms_per_keycode == 0) {
        return std::nullopt;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int total = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    const int perKeycode = mapping->keysyms_per_keycode;
    // The unshifted symbol of a key is its first column.
    for (int index = 0; index + perKeycode <= total; index += perKeycode) {
        if (keysyms[index] == keysym) {
            return static_cast<xcb_keycode_t>(first + index / perKeycode);
        }
    }
    return std::nullopt;
}

std::optional<std::int32_t> XcbConnection::processOf(xcb_window_t window) {
    // The server's record comes first: a sandboxed application writes a pid of its own
    // namespace into _NET_WM_PID, which names some other process here.
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const auto reply = adoptMemory(xcb_res_query_client_ids_reply(
        get(), xcb_res_query_client_ids(get(), 1, &wanted), nullptr));
    for (auto ids = reply ? xcb_res_query_client_ids_ids_iterator(reply.get())
                          : xcb_res_client_id_value_iterator_t{};
         ids.rem > 0; xcb_res_client_id_value_next(&ids)) {
        // Each value opens with the description of the client it answers for.
        const auto* client = reinterpret_cast<const xcb_res_client_id_spec_t*>(ids.data);
        if ((client->mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            xcb_res_client_id_value_value_length(ids.data) >= 1) {
            return static_cast<std::int32_t>(*xcb_res_client_id_value_value(ids.data));
        }
    }
    // A client of another machine has no local pid on record; only its own word is left.
    if (const auto pid = cardinal(window, "_NET_WM_PID"); pid && *pid > 0) {
        return static_cast<std::int32_t>(*pid);
    }
    return std::nullopt;
}

QList<xcb_window_t> XcbConnection::clientWindowsOf(std::int32_t pid) {
    QList<xcb_window_t> windows;
    QList<xcb_window_t> clients = windowList(root_, "_NET_CLIENT_LIST_STACKING");
    if (clients.isEmpty()) {
        clients = windowList(root_, "_NET_CLIENT_LIST");
    }
    // The stacking list runs from the bottom up.
    for (auto client = clients.crbegin(); client != clients.crend(); ++client) {
        if (processOf(*client) == pid) {
            windows.append(*client);
        }
    }
    return windows;
}

std::optional<xcb_window_t> XcbConnection::clientWindowOf(xcb_window_t window) {
    const QList<xcb_window_t> clients = windowList(root_, "_NET_CLIENT_LIST");
    // A focus window may be a child of its client; no real tree is deeper than this.
    for (int depth = 0; depth < 64 && window != XCB_WINDOW_NONE && window != root_; ++depth) {
        if (clients.contains(window) || (clients.isEmpty() && processOf(window))) {
            return window;
        }
        const auto tree =
            adoptMemory(xcb_query_tree_reply(get(), xcb_query_tree(get(), window), nullptr));
        if (!tree) {
            return std::nullopt;
        }
        window = tree->parent;
    }
    return std::nullopt;
}

std::optional<xcb_window_t> XcbConnection::activeWindow() {
    if (const auto active = windowProperty(root_, "_NET_ACTIVE_WINDOW")) {
        return active;
    }
    const auto focus =
        adoptMemory(xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
        return std::nullopt;
    }
    return clientWindowOf(focus->focus);
}

void XcbConnection::roundTrip() {
    const auto answer =
        adoptMemory(xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
}

}  // namespace tidyword::platform::linux_desktop
