// The one deadline of a seam call of the AT-SPI backends, for all the D-Bus requests it makes,
// however many: no request waits past it, and none is made after it. Calls never overlap:
// libatspi is used on the main thread only, and no seam call makes another.
#pragma once

#include <QtGlobal>

#include <atspi/atspi-constants.h>

#include <chrono>
#include <optional>

// NOLINTBEGIN(bugprone-reserved-identifier): the C libraries' own tags, declared here so
// that their headers stay out of ours
typedef struct _AtspiAccessible AtspiAccessible;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

// The deadline of the seam call under way, from its start to the end of this object's life.
class CallDeadline {
public:
    explicit CallDeadline(std::chrono::milliseconds allowance);
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

    bool passed() const;

private:
    std::chrono::milliseconds allowance_;
};

// Runs one seam call that reads, with `allowance` for all the requests it makes. What it found
// once the deadline has passed reads as absent, as a whole: a request it rests on may have been
// cut short or never made, and part of an answer can be a wrong one.
template <typename Call>
auto withinDeadline(std::chrono::milliseconds allowance, Call call) -> decltype(call()) {
    const CallDeadline deadline(allowance);
    auto answer = call();
    if (deadline.passed()) {
        return {};
    }
    return answer;
}

// How long the next request may wait, in whole milliseconds: what is left of the call's time,
// made libatspi's time-out too. None once the deadline has passed, and then the request is not
// made; nor is one outside a call. Every libatspi request of a call comes right after one of
// these two, so that it waits no longer than the call has left.
std::optional<int> timeLeft();
bool outOfTime();

// The states an element reported in one answer.
class StateSet {
public:
    explicit StateSet(quint64 bits) : bits_(bits) {}
    bool has(AtspiStateType state) const { return state < 64 && ((bits_ >> state) & 1U) != 0; }

private:
    quint64 bits_;
};

// The element's states as it reports them now. The library's cached states follow the
// application's events, and one missed event would leave a stale state forever; this asks the
// application, over its own connection where it has one, without dispatching anything else
// meanwhile (the library's own handlers must not run inside one of our requests). None when it
// does not answer in time.
std::optional<StateSet> statesOf(AtspiAccessible* accessible);
// One state of `statesOf`.
std::optional<bool> hasState(AtspiAccessible* accessible, AtspiStateType state);

// The process of the application that `accessible` belongs to, as the accessibility bus knows
// its connection (no application can claim another's); none when the bus does not say in time.
// The bus is asked once per connection.
std::optional<qint32> processIdentifierOf(AtspiAccessible* accessible);

}  // namespace tidyword::platform::linux_desktop
