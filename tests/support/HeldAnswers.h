// A transport whose answers to chosen requests wait until the test lets them through: a slow
// server whose answer arrives exactly when the test says, with no delay for a test to race.
#pragma once

#include "async/Sleep.h"
#include "platform/sim/VirtualClock.h"
#include "service/HTTP.h"

#include <optional>

namespace tidyword::test {

class HeldAnswers {
public:
    // The next answer to a request whose path ends with `path` is held once it has arrived.
    void holdNext(const QString& path) { held_ = path; }
    // How many answers are held now.
    int waiting() const { return gate_.pendingAlarmCount(); }
    // Lets every held answer through, in the order they arrived.
    void letThrough() { gate_.advance(kLongerThanAnyTest); }

    // `transport`, with the holding.
    HTTPTransport around(const HTTPTransport& transport) {
        return [this, transport](HTTPRequest request, CancellationToken cancellation) {
            const bool hold = held_ && request.url.path().endsWith(*held_);
            if (hold) {
                held_.reset();
            }
            return answer(transport, std::move(request), std::move(cancellation),
                          hold ? &gate_ : nullptr);
        };
    }

private:
    static constexpr std::chrono::hours kLongerThanAnyTest{1};

    static QCoro::Task<HTTPResponse> answer(HTTPTransport transport, HTTPRequest request,
                                            CancellationToken cancellation, platform::Clock* gate) {
        HTTPResponse response = co_await transport(std::move(request), std::move(cancellation));
        if (gate) {
            co_await sleep(*gate, kLongerThanAnyTest);
        }
        co_return response;
    }

    std::optional<QString> held_;
    platform::sim::VirtualClock gate_;
};

}  // namespace tidyword::test
