#include "platform/linux/PipeAnswers.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tidyword::platform::linux_desktop {

struct PipeAnswers::Outgoing {
    int descriptor = -1;
    QByteArray bytes;
    qsizetype written = 0;
    std::function<void(bool)> done;
    std::unique_ptr<QSocketNotifier> notifier;

    ~Outgoing() {
        notifier.reset();  // before its descriptor goes
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
};

PipeAnswers::~PipeAnswers() = default;

void PipeAnswers::answer(int descriptor, QByteArray bytes, std::function<void(bool)> done) {
    auto outgoing = std::make_shared<Outgoing>();
    outgoing->descriptor = descriptor;
    outgoing->bytes = std::move(bytes);
    outgoing->done = std::move(done);
    if (::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK) != 0) {
        outgoing->written = -1;  // cannot be written without holding this process up
    }
    outgoing_.append(outgoing);
    proceed(outgoing);
}

void PipeAnswers::proceed(const std::shared_ptr<Outgoing>& outgoing) {
    while (outgoing->written >= 0 && outgoing->written < outgoing->bytes.size()) {
        const ssize_t put =
            ::write(outgoing->descriptor, outgoing->bytes.constData() + outgoing->written,
                    static_cast<size_t>(outgoing->bytes.size() - outgoing->written));
        if (put > 0) {
            outgoing->written += put;
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && errno == EAGAIN) {
            // The reader's pipe is full: the rest goes as it reads.
            if (!outgoing->notifier) {
                outgoing->notifier =
                    std::make_unique<QSocketNotifier>(outgoing->descriptor, QSocketNotifier::Write);
                QObject::connect(outgoing->notifier.get(), &QSocketNotifier::activated,
                                 [this, weak = std::weak_ptr(outgoing)] {
                                     if (const auto held = weak.lock()) {
                                         proceed(held);
                                     }
                                 });
            }
            return;
        }
        break;  // the reader has gone
    }
    outgoing_.removeOne(outgoing);
    outgoing->notifier.reset();
    ::close(outgoing->descriptor);
    outgoing->descriptor = -1;
    if (outgoing->done) {
        outgoing->done(outgoing->written == outgoing->bytes.size());
    }
}

void PipeAnswers::finish(std::chrono::milliseconds wait) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait;
    while (!outgoing_.isEmpty()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const auto outgoing = outgoing_.front();
        pollfd writable{outgoing->descriptor, POLLOUT, 0};
        if (left <= 0 || ::poll(&writable, 1, static_cast<int>(left)) <= 0) {
            break;
        }
        const qsizetype before = outgoing->written;
        proceed(outgoing);
        if (outgoing_.contains(outgoing) && outgoing->written == before) {
            break;
        }
    }
}

void PipeAnswers::clear() {
    outgoing_.clear();
}

}  // namespace tidyword::platform::linux_desktop
