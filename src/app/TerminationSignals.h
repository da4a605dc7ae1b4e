// Turns SIGTERM and SIGINT (a logout, an update, Ctrl+C in a terminal) into an ordinary quit of
// the application, so that what an ordinary quit does at the end (handing the clipboard that
// Tidyword serves to the clipboard manager) happens then too.
#pragma once

#include <QSocketNotifier>

#include <memory>

namespace tidyword::app {

class QuitOnTerminationSignals {
public:
    // Call with the application object in place; the handlers stay for the life of the process.
    QuitOnTerminationSignals();
    ~QuitOnTerminationSignals();
    QuitOnTerminationSignals(const QuitOnTerminationSignals&) = delete;
    QuitOnTerminationSignals& operator=(const QuitOnTerminationSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tidyword::app
