// The clipboard of an X11 desktop (the CLIPBOARD selection), spoken to directly rather than
// through a toolkit's format mapping: every target the owner offers is an item type, read
// byte for byte (large transfers, INCR, included) within the caller's bound, and restoring
// means owning the selection and serving exactly the saved targets.
//
// The change count rises with every change of owner that XFixes reports on this backend's own
// connection, ours included; it is brought up to date, with a round trip, whenever it is read.
// Requests for our contents are answered from the Qt event loop, and also while this backend
// waits for another owner's answer.
#pragma once

#include "platform/Pasteboard.h"
#include "platform/linux/OwnedHandle.h"
#include "platform/linux/XcbConnection.h"

#include <QHash>
#include <QList>
#include <QSocketNotifier>

#include <chrono>
#include <memory>

namespace tidyword::platform::linux_desktop {

class XcbClipboard final : public Pasteboard {
public:
    // How long a read waits for the owner's answer, and for each part of a large one.
    static constexpr std::chrono::milliseconds answerWait{1000};
    // How long the end of the process waits for the clipboard manager to take our contents.
    static constexpr std::chrono::milliseconds handOverWait{3000};
    // The most a string() read takes in.
    static constexpr qint64 longestString = qint64{32} * 1024 * 1024;
    // Targets that describe the selection rather than hold its contents.
    static const QStringList& metaTargets();

    // None without an X server or without the XFixes extension.
    static std::unique_ptr<XcbClipboard> open();
    ~XcbClipboard() override;

    qint64 changeCount() override;
    std::optional<QList<QStringList>> itemTypes() override;
    std::optional<Data> data(int item, const QString& type, qint64 maximumSize) override;
    void clearContents() override;
    void writeItems(const QList<Item>& items) override;
    bool setString(const QString& text) override;
    bool setTransientString(const QString& text) override;
    std::optional<QString> string() override;
    // Asks the clipboard manager (the CLIPBOARD_MANAGER selection's owner) to save what we
    // serve, and serves it until the manager says it has, or handOverWait has passed.
    void keepAfterExit() override;

private:
    struct Outgoing;  // a large answer sent in parts

    XcbClipboard(std::unique_ptr<XcbConnection> connection, xcb_window_t window,
                 std::uint8_t xfixesEvent);

    void pump();
    void handle(xcb_generic_event_t* event);
    void serve(const xcb_selection_request_event_t& request);
    void continueOutgoing(const xcb_property_notify_event_t& notify);
    using Event = OwnedMemory<xcb_generic_event_t>;
    // Waits for an event that `wanted` accepts, handling every other one; none on time-out.
    Event waitFor(const std::function<bool(xcb_generic_event_t*)>& wanted,
                  std::chrono::milliseconds wait = answerWait);
    xcb_timestamp_t serverTime();
    bool takeOwnership(const Item& contents);
    // The selection's owner, CLIPBOARD unless another is named; none when nobody owns it.
    std::optional<xcb_window_t> owner(const char* selection = "CLIPBOARD");
    std::optional<Data> convert(xcb_atom_t target, qint64 maximumSize);
    QString atomName(xcb_atom_t atom);

    std::unique_ptr<XcbConnection> x_;
    xcb_window_t window_;
    std::uint8_t xfixesEvent_;
    std::unique_ptr<QSocketNotifier> notifier_;
    qint64 changeCount_ = 0;
    xcb_timestamp_t ownedSince_ = XCB_CURRENT_TIME;
    Item served_;  // what we serve while we own the selection
    bool owning_ = false;
    QList<std::shared_ptr<Outgoing>> outgoing_;
    QHash<xcb_atom_t, QString> names_;
};

}  // namespace tidyword::platform::linux_desktop
