// How a sign-in callback reaches the running Tidyword on Linux: the desktop opens the callback
// URL of our private scheme by starting a second `tidyword` process with the URL as argument;
// that process hands it over this user-only local socket and exits. The same way, a second start
// asks the running instance to show itself, and `tidyword --improve`, which a desktop without
// global shortcuts for applications runs for the chord, hands over a press of the shortcut.
#pragma once

#include <QLocalServer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace tidyword::platform::linux_desktop {

// The socket of this user's running instance (in the user's runtime directory).
QString defaultCallbackSocket();

// What a second start of Tidyword without a callback URL sends: the running instance shows its
// settings window, the desktop's way of reopening an application.
QUrl reopenRequest();
// What `tidyword --improve` sends: the running instance acts as if its shortcut had been pressed.
QUrl improveRequest();

// How a hand-off ended, as the second process can tell it: the running instance answers each
// URL with one line, so a URL it dropped is not mistaken for one it took.
enum class Delivery {
    delivered,    // the running instance took the URL
    notRunning,   // nobody listens on the socket
    refused,      // the running instance answered that the URL is too long
    unconfirmed,  // it could not be sent, or no answer that it arrived came back in time
};

// The one-line reason a hand-off of `url` that was not delivered gives the user.
QString describe(Delivery delivery, const QUrl& url = {});

// The second process's side: delivers `url` (a callback, the reopen or improve request) to the
// running instance and waits a couple of seconds at most for each step.
Delivery deliverCallback(const QUrl& url, const QString& socket = defaultCallbackSocket());

// The running instance's side: listens on the socket and passes each URL it receives to
// `received`, on the main thread, after answering that it took it. A connection that sends more
// than a callback can be long is answered with a refusal and dropped unread; one that sends
// nothing for a while is dropped.
class CallbackReceiver {
public:
    static constexpr qint64 maximumURLLength = 65'536;

    CallbackReceiver(std::function<void(const QUrl&)> received,
                     const QString& socket = defaultCallbackSocket());
    ~CallbackReceiver();
    CallbackReceiver(const CallbackReceiver&) = delete;
    CallbackReceiver& operator=(const CallbackReceiver&) = delete;

    // False when another running instance already holds the socket.
    bool isListening() const;

private:
    void accept();

    std::function<void(const QUrl&)> received_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace tidyword::platform::linux_desktop
