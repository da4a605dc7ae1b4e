// A clipboard owner's answers to its readers, each written into the reader's pipe as the reader
// takes it in, from the Qt event loop: a reader that reads slowly, or waits on this very process
// to read what it passes on, holds nothing else up.
#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>
#include <functional>
#include <memory>

namespace tidyword::platform::linux_desktop {

class PipeAnswers {
public:
    PipeAnswers() = default;
    ~PipeAnswers();
    PipeAnswers(const PipeAnswers&) = delete;
    PipeAnswers& operator=(const PipeAnswers&) = delete;

    // Writes `bytes` into `descriptor`, which it takes over; `done` is told, once, whether all of
    // them went before the reader went away.
    void answer(int descriptor, QByteArray bytes, std::function<void(bool complete)> done = {});
    // Writes the answers under way to their ends, waiting up to `wait` for their readers.
    void finish(std::chrono::milliseconds wait);
    // Drops every answer under way, telling no one: for an owner that goes.
    void clear();

private:
    struct Outgoing;
    void proceed(const std::shared_ptr<Outgoing>& outgoing);

    QList<std::shared_ptr<Outgoing>> outgoing_;
};

}  // namespace tidyword::platform::linux_desktop
