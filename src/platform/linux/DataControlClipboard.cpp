#include "platform/linux/DataControlClipboard.h"

#include "platform/linux/ClipboardText.h"
#include "platform/linux/WaylandWait.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

namespace tidyword::platform::linux_desktop {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

// The compositor's events, handed to the clipboard they are for.
struct DataControlClipboard::Listeners {
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t /*version*/) {
        auto& self = *static_cast<DataControlClipboard*>(data);
        if (!self.seat_ && std::strcmp(interface, wl_seat_interface.name) == 0) {
            self.seat_ =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (!self.manager_ &&
                   std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
            self.manager_ = static_cast<zwlr_data_control_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
        }
    }
    static void globalRemoved(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

    static void dataOffer(void* data, zwlr_data_control_device_v1* /*device*/,
                          zwlr_data_control_offer_v1* offer) {
        auto& self = *static_cast<DataControlClipboard*>(data);
        self.announced_.insert(offer, {});
        zwlr_data_control_offer_v1_add_listener(offer, &offerListener, data);
    }
    static void selection(void* data, zwlr_data_control_device_v1* /*device*/,
                          zwlr_data_control_offer_v1* offer) {
        auto& self = *static_cast<DataControlClipboard*>(data);
        ++self.changeCount_;
        if (self.selection_) {
            zwlr_data_control_offer_v1_destroy(self.selection_);
        }
        self.selection_ = offer;
        self.selectionTypes_ = offer ? self.announced_.take(offer) : QStringList();
    }
    static void finished(void* data, zwlr_data_control_device_v1* /*device*/) {
        static_cast<DataControlClipboard*>(data)->finished_ = true;
    }
    static void primarySelection(void* data, zwlr_data_control_device_v1* /*device*/,
                                 zwlr_data_control_offer_v1* offer) {
        // Only the clipboard is ours to read; the primary selection's offers are let go.
        if (offer) {
            static_cast<DataControlClipboard*>(data)->announced_.remove(offer);
            zwlr_data_control_offer_v1_destroy(offer);
        }
    }

    static void offered(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
        auto& self = *static_cast<DataControlClipboard*>(data);
        const auto found = self.announced_.find(offer);
        const QString name = QString::fromUtf8(type);
        if (found != self.announced_.end() && !found->contains(name)) {
            found->append(name);
        }
    }

    static void send(void* data, zwlr_data_control_source_v1* source, const char* type,
                     int32_t descriptor) {
        auto& self = *static_cast<DataControlClipboard*>(data);
        if (source != self.source_) {
            ::close(descriptor);
            return;
        }
        self.send(QString::fromUtf8(type), descriptor);
    }
    static void cancelled(void* data, zwlr_data_control_source_v1* source) {
        auto& self = *static_cast<DataControlClipboard*>(data);
        if (source == self.source_) {
            self.dropSource();
        } else {
            zwlr_data_control_source_v1_destroy(source);
        }
    }

    static constexpr wl_registry_listener registryListener{&global, &globalRemoved};
    static constexpr zwlr_data_control_device_v1_listener deviceListener{
        &dataOffer, &selection, &finished, &primarySelection};
    static constexpr zwlr_data_control_offer_v1_listener offerListener{&offered};
    static constexpr zwlr_data_control_source_v1_listener sourceListener{&send, &cancelled};
};

std::unique_ptr<DataControlClipboard> DataControlClipboard::open() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return nullptr;
    }
    std::unique_ptr<DataControlClipboard> clipboard(new DataControlClipboard(display));
    DataControlClipboard& self = *clipboard;
    self.registry_ = wl_display_get_registry(display);
    wl_registry_add_listener(self.registry_, &Listeners::registryListener, &self);
    if (!self.roundTrip() || !self.seat_ || !self.manager_) {
        return nullptr;
    }
    self.device_ = zwlr_data_control_manager_v1_get_data_device(self.manager_, self.seat_);
    zwlr_data_control_device_v1_add_listener(self.device_, &Listeners::deviceListener, &self);
    // The device announces the current selection at once: the count starts from it.
    if (!self.roundTrip()) {
        return nullptr;
    }
    self.changeCount_ = 0;
    // A reader that goes away before our answer is written must not end Tidyword.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(SIGPIPE, SIG_IGN);
    }
    self.notifier_ =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    QObject::connect(self.notifier_.get(), &QSocketNotifier::activated, [&self] { self.pump(); });
    return clipboard;
}

DataControlClipboard::DataControlClipboard(wl_display* display) : display_(display) {}

DataControlClipboard::~DataControlClipboard() {
    notifier_.reset();
    answers_.clear();
    for (auto* offer : announced_.keys()) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
    if (selection_) {
        zwlr_data_control_offer_v1_destroy(selection_);
    }
    if (source_) {
        zwlr_data_control_source_v1_destroy(source_);
    }
    if (device_) {
        zwlr_data_control_device_v1_destroy(device_);
    }
    if (manager_) {
        zwlr_data_control_manager_v1_destroy(manager_);
    }
    if (seat_) {
        wl_seat_destroy(seat_);
    }
    if (registry_) {
        wl_registry_destroy(registry_);
    }
    wl_display_disconnect(display_);
}

bool DataControlClipboard::usable() const {
    return !finished_ && wl_display_get_error(display_) == 0;
}

void DataControlClipboard::pump() {
    if (!usable()) {
        // The connection stays readable once it has failed: its notifier would fire forever.
        if (notifier_) {
            notifier_->setEnabled(false);
        }
        return;
    }
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            return;
        }
    }
    wl_display_flush(display_);
    pollfd readable{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&readable, 1, 0) > 0) {
        wl_display_read_events(display_);
    } else {
        wl_display_cancel_read(display_);
    }
    wl_display_dispatch_pending(display_);
}

bool DataControlClipboard::waitFor(const std::function<bool()>& done,
                                   std::chrono::milliseconds wait) {
    // A finished connection ends the wait as a failure, whatever `done` says.
    return dispatchUntil(
               display_, [this, &done] { return finished_ || done(); }, wait) &&
           usable();
}

bool DataControlClipboard::roundTrip() {
    return usable() && linux_desktop::roundTrip(display_, answerWait) && usable();
}

qint64 DataControlClipboard::changeCount() {
    // Every selection announced before the round trip's answer has arrived once it has. Without
    // the answer, what happened meanwhile is unknown: it counts as a change, so that no caller
    // takes the clipboard for unchanged.
    if (!roundTrip()) {
        ++changeCount_;
    }
    return changeCount_;
}

std::optional<QList<QStringList>> DataControlClipboard::itemTypes() {
    pump();
    if (!usable()) {
        return std::nullopt;
    }
    QStringList types;
    if (source_) {
        for (const auto& [name, data] : std::as_const(served_)) {
            if (!types.contains(name)) {
                types << name;
            }
        }
    } else if (selection_) {
        types = selectionTypes_;
    }
    return types.isEmpty() ? QList<QStringList>{} : QList<QStringList>{types};
}

std::optional<Pasteboard::Data> DataControlClipboard::data(int item, const QString& type,
                                                           qint64 maximumSize) {
    pump();
    if (item != 0 || !usable()) {
        return std::nullopt;
    }
    if (source_) {
        for (const auto& [name, data] : std::as_const(served_)) {
            if (name == type) {
                return data.bytes.size() <= maximumSize ? std::optional(data) : std::nullopt;
            }
        }
        return std::nullopt;
    }
    if (!selection_ || !selectionTypes_.contains(type)) {
        return std::nullopt;
    }
    return receive(type, maximumSize);
}

std::optional<Pasteboard::Data> DataControlClipboard::receive(const QString& type,
                                                              qint64 maximumSize) {
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return std::nullopt;
    }
    zwlr_data_control_offer_v1_receive(selection_, type.toUtf8().constData(), pipe[1]);
    wl_display_flush(display_);
    ::close(pipe[1]);
    QByteArray collected;
    bool complete = false;
    Clock::time_point deadline = Clock::now() + answerWait;
    while (!complete) {
        // The compositor's events are taken in meanwhile: a reader of ours may be waiting on it.
        pollfd ready[2] = {{pipe[0], POLLIN, 0}, {wl_display_get_fd(display_), POLLIN, 0}};
        const int left = millisecondsUntil(deadline);
        if (left <= 0) {
            break;
        }
        const int count = ::poll(ready, 2, left);
        if (count < 0 && errno != EINTR) {
            break;
        }
        if ((ready[1].revents & (POLLHUP | POLLERR)) != 0) {
            break;
        }
        if (ready[1].revents != 0) {
            pump();
        }
        if (ready[0].revents == 0) {
            continue;
        }
        char chunk[65536];
        const ssize_t got = ::read(pipe[0], chunk, sizeof chunk);
        if (got == 0) {
            complete = true;
        } else if (got > 0) {
            // Not read whole: what is past the bound is not taken in.
            if (collected.size() + got > maximumSize) {
                break;
            }
            collected.append(chunk, got);
            deadline = Clock::now() + answerWait;
        } else if (errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    ::close(pipe[0]);
    if (!complete) {
        return std::nullopt;
    }
    return Data(collected);
}

void DataControlClipboard::send(const QString& type, int descriptor) {
    const auto found = std::find_if(served_.cbegin(), served_.cend(),
                                    [&type](const auto& entry) { return entry.first == type; });
    if (found == served_.cend()) {
        ::close(descriptor);
        return;
    }
    answers_.answer(descriptor, found->second.bytes);
}

void DataControlClipboard::dropSource() {
    if (source_) {
        zwlr_data_control_source_v1_destroy(source_);
        source_ = nullptr;
    }
    served_.clear();
}

bool DataControlClipboard::takeOwnership(const Item& contents) {
    if (!usable()) {
        return false;
    }
    auto* source = zwlr_data_control_manager_v1_create_data_source(manager_);
    zwlr_data_control_source_v1_add_listener(source, &Listeners::sourceListener, this);
    QStringList offered;
    for (const auto& [name, data] : contents) {
        if (!offered.contains(name)) {
            offered << name;
            zwlr_data_control_source_v1_offer(source, name.toUtf8().constData());
        }
    }
    zwlr_data_control_device_v1_set_selection(device_, source);
    dropSource();
    source_ = source;
    served_ = contents;
    // The compositor announces the new selection before it answers the round trip: if nothing
    // took the selection from us meanwhile, the clipboard holds our contents.
    return roundTrip() && source_ == source;
}

void DataControlClipboard::clearContents() {
    if (!usable()) {
        return;
    }
    zwlr_data_control_device_v1_set_selection(device_, nullptr);
    dropSource();
    roundTrip();
}

void DataControlClipboard::writeItems(const QList<Item>& items) {
    // The Wayland clipboard holds one item; a second has nowhere to go.
    if (items.isEmpty()) {
        clearContents();
    } else {
        takeOwnership(items.front());
    }
}

bool DataControlClipboard::setString(const QString& text) {
    return takeOwnership(textItem(text));
}

bool DataControlClipboard::setTransientString(const QString& text) {
    return takeOwnership(textItem(text, true));
}

std::optional<QString> DataControlClipboard::string() {
    return plainText(*this, longestString);
}

void DataControlClipboard::keepAfterExit() {
    answers_.finish(answerWait);
}

}  // namespace tidyword::platform::linux_desktop
