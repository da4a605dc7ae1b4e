// The clipboard of a Wayland desktop that offers no data control (GNOME), through the desktop
// portal's Clipboard interface, which lends it only to a RemoteDesktop session that asked for it
// before it started: the keys' session of a paste (PortalKeyEvents) lends it from `lend` until
// `endLoan`, and outside a loan every read fails and every write is refused.
//
// The change count rises with every owner the portal announces, ours included, and is brought
// up to date, with a call to the portal, whenever it is read. Requests for our contents are
// answered from the Qt event loop as they arrive, and also while this backend waits for the portal.
#pragma once

#include "platform/Pasteboard.h"
#include "platform/linux/OwnedHandle.h"
#include "platform/linux/PipeAnswers.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tags, declared here so that
// its header stays out of ours
typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GVariant GVariant;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

class PortalClipboard final : public Pasteboard {
public:
    // How long a call, a read, or the answer to a write may take.
    static constexpr std::chrono::milliseconds answerWait{1000};
    static constexpr qint64 longestString = qint64{32} * 1024 * 1024;
    // How long one read may take in all, however its owner trickles it.
    static constexpr std::chrono::milliseconds longestRead{5000};
    // How long a lent clipboard's contents may take to be told once the session has started.
    static constexpr std::chrono::milliseconds announcementWait{500};

    // None without a session bus whose portal offers the Clipboard interface.
    static std::unique_ptr<PortalClipboard> open();
    ~PortalClipboard() override;
    PortalClipboard(const PortalClipboard&) = delete;
    PortalClipboard& operator=(const PortalClipboard&) = delete;

    // The session at `sessionPath`, started with the clipboard enabled, lends it from now on.
    void lend(const QByteArray& sessionPath);
    // The session goes: our contents, if the clipboard holds them, go with it.
    void endLoan();
    bool lent() const { return !session_.isEmpty(); }
    // Whether the clipboard holds what this backend wrote last; `onLoss` is told once it no
    // longer does, or the loan ends.
    bool holdsOurs() const { return lent() && (ours_ || writing_); }
    void onLossOfOurs(std::function<void()> onLoss) { onLoss_ = std::move(onLoss); }

    qint64 changeCount() override;
    std::optional<QList<QStringList>> itemTypes() override;
    std::optional<Data> data(int item, const QString& type, qint64 maximumSize) override;
    void clearContents() override;
    void writeItems(const QList<Item>& items) override;
    bool setString(const QString& text) override;
    bool setTransientString(const QString& text) override;
    std::optional<QString> string() override;
    // No hand-over: GNOME keeps a copy of a text of ours (and, in later versions, an image)
    // once our session goes, if it has finished reading it by then.
    void keepAfterExit() override {}

private:
    explicit PortalClipboard(GDBusConnection* bus);

    static void ownerChanged(GDBusConnection* bus, const char* sender, const char* path,
                             const char* interface, const char* signal, GVariant* parameters,
                             void* self);
    static void transferAsked(GDBusConnection* bus, const char* sender, const char* path,
                              const char* interface, const char* signal, GVariant* parameters,
                              void* self);
    // Runs what has arrived from the portal, waiting up to `wait` for something first.
    void dispatch(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    bool takeOwnership(const Item& contents);
    void serve(const QString& type, unsigned serial);
    // What we serve as `type`, while the clipboard holds (or is about to hold) our contents.
    const Data* servedData(const QString& type) const;
    void lose();

    GDBusConnection* bus_;
    GMainContext* context_;  // the portal's signals, dispatched only by this object
    unsigned ownerSubscription_ = 0;
    unsigned transferSubscription_ = 0;
    // Wakes the Qt event loop when the portal's signals arrive on our context: no polling.
    std::unique_ptr<QSocketNotifier> arrival_;
    QByteArray session_;
    qint64 changeCount_ = 0;
    QStringList types_;                             // the current owner's
    std::pair<QByteArray, QStringList> announced_;  // to a session not yet lent: its owner's types
    bool ours_ = false;             // the portal says the clipboard holds what we wrote last
    bool writing_ = false;          // a write of ours the portal has not confirmed yet
    bool awaitingWrite_ = false;    // that write's caller still waits for it
    bool announcedToLoan_ = false;  // the portal has said what the lent clipboard holds
    Item served_;
    PipeAnswers answers_;
    std::function<void()> onLoss_;
};

}  // namespace tidyword::platform::linux_desktop
