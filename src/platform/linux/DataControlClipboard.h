// The clipboard of a Wayland seat read and written without the keyboard focus, through the
// data-control protocol (zwlr_data_control_manager_v1, which KWin and wlroots compositors offer
// to any client) on a Wayland connection of this backend's own: every type the owner offers is
// an item type, read byte for byte within the caller's bound, and restoring means offering
// exactly the saved types again.
//
// The change count rises with every selection the compositor announces on this connection, ours
// included; it is brought up to date, with a round trip, whenever it is read. Requests for our
// contents are answered from the Qt event loop, and also while this backend waits for a round
// trip or for another owner's answer.
#pragma once

#include "platform/Pasteboard.h"
#include "platform/linux/PipeAnswers.h"

#include <QHash>
#include <QList>
#include <QSocketNotifier>

#include <chrono>
#include <functional>
#include <memory>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_offer_v1;

namespace tidyword::platform::linux_desktop {

class DataControlClipboard final : public Pasteboard {
public:
    // How long a read or a round trip waits for an answer, and a read for each part of one.
    static constexpr std::chrono::milliseconds answerWait{1000};
    // The most a string() read takes in.
    static constexpr qint64 longestString = qint64{32} * 1024 * 1024;

    // None without a Wayland compositor that offers data control and a seat.
    static std::unique_ptr<DataControlClipboard> open();
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    qint64 changeCount() override;
    std::optional<QList<QStringList>> itemTypes() override;
    std::optional<Data> data(int item, const QString& type, qint64 maximumSize) override;
    void clearContents() override;
    void writeItems(const QList<Item>& items) override;
    bool setString(const QString& text) override;
    bool setTransientString(const QString& text) override;
    std::optional<QString> string() override;
    // Wayland has no hand-over to a clipboard manager: managers on data control copy each
    // selection as it comes. This finishes the answers under way.
    void keepAfterExit() override;

private:
    struct Listeners;

    explicit DataControlClipboard(wl_display* display);

    // Takes in and handles what the compositor has sent, without waiting.
    void pump();
    // Handles events until `done` holds; false when the wait or the connection ends first.
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds wait = answerWait);
    bool roundTrip();
    bool usable() const;
    bool takeOwnership(const Item& contents);
    void dropSource();
    void send(const QString& type, int descriptor);
    std::optional<Data> receive(const QString& type, qint64 maximumSize);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_data_control_manager_v1* manager_ = nullptr;
    zwlr_data_control_device_v1* device_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool finished_ = false;  // the compositor took the device away
    qint64 changeCount_ = 0;
    // Offers announced but not yet made the selection, with the types each lists so far.
    QHash<zwlr_data_control_offer_v1*, QStringList> announced_;
    zwlr_data_control_offer_v1* selection_ = nullptr;
    QStringList selectionTypes_;
    zwlr_data_control_source_v1* source_ = nullptr;  // ours, while it is the selection
    Item served_;
    PipeAnswers answers_;
};

}  // namespace tidyword::platform::linux_desktop
