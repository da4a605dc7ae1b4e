#include "app/TerminationSignals.h"

#include <QCoreApplication>

#include <sys/socket.h>

#include <csignal>
#include <unistd.h>

namespace tidyword::app {

namespace {

// A signal handler may do next to nothing: it writes one byte, and the event loop does the rest.
int wakeUp[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakeUp[0], &byte, 1);
}

}  // namespace

QuitOnTerminationSignals::QuitOnTerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeUp) != 0) {
        return;  // the default action stays: the process ends as it did before
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakeUp[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [] {
        char byte = 0;
        while (::read(wakeUp[1], &byte, 1) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

QuitOnTerminationSignals::~QuitOnTerminationSignals() = default;

}  // namespace tidyword::app
