#include "platform/linux/CallbackHandoff.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

namespace tidyword::platform::linux_desktop {

namespace {

constexpr int kClientWaitMilliseconds = 2000;
constexpr int kIdleConnectionMilliseconds = 5000;

// The running instance's answers, one line each.
const QByteArray kAccepted = QByteArrayLiteral("accepted\n");
const QByteArray kTooLong = QByteArrayLiteral("too long\n");
// Room for either answer; whatever does not fit is no answer of ours.
constexpr qint64 kAnswerLimit = 16;

// The connection's last word: nothing more it sends is read.
void answer(QLocalSocket* connection, const QByteArray& line) {
    QObject::disconnect(connection, &QLocalSocket::readyRead, nullptr, nullptr);
    connection->write(line);
    connection->disconnectFromServer();
}

}  // namespace

QString defaultCallbackSocket() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/tidyword-callback");
}

QUrl reopenRequest() {
    return QUrl(QStringLiteral("tidyword-instance:reopen"));
}

QUrl improveRequest() {
    return QUrl(QStringLiteral("tidyword-instance:improve"));
}

QString describe(Delivery delivery, const QUrl& url) {
    switch (delivery) {
        case Delivery::delivered:
            return QStringLiteral("Tidyword received the URL.");
        case Delivery::notRunning:
            return url == improveRequest()
                       ? QStringLiteral(
                             "Tidyword is not running: start it, then press the "
                             "shortcut again.")
                       : QStringLiteral("Tidyword is not running: start it and sign in again.");
        case Delivery::refused:
            return QStringLiteral("Tidyword refused the URL: it is longer than %1 characters.")
                .arg(CallbackReceiver::maximumURLLength);
        case Delivery::unconfirmed:
            return QStringLiteral("Tidyword is running but did not answer: try again.");
    }
    return {};
}

Delivery deliverCallback(const QUrl& url, const QString& socket) {
    QLocalSocket connection;
    connection.connectToServer(socket);
    if (!connection.waitForConnected(kClientWaitMilliseconds)) {
        return Delivery::notRunning;
    }
    connection.setReadBufferSize(kAnswerLimit);
    connection.write(url.toEncoded() + '\n');
    // The URL goes out while this waits. An instance that closes without a word may have
    // dropped it, so only its answer counts.
    while (!connection.canReadLine() && connection.bytesAvailable() < kAnswerLimit &&
           connection.waitForReadyRead(kClientWaitMilliseconds)) {
    }
    const QByteArray reply = connection.readLine(kAnswerLimit + 1);
    connection.abort();
    if (reply == kAccepted) {
        return Delivery::delivered;
    }
    if (reply == kTooLong) {
        return Delivery::refused;
    }
    return Delivery::unconfirmed;
}

CallbackReceiver::CallbackReceiver(std::function<void(const QUrl&)> received, const QString& socket)
    : received_(std::move(received)), server_(std::make_unique<QLocalServer>()) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socket)) {
        // A socket file left by an instance that died is taken over; a live one is not.
        QLocalSocket probe;
        probe.connectToServer(socket);
        if (probe.waitForConnected(200)) {
            return;
        }
        QLocalServer::removeServer(socket);
        server_->listen(socket);
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(),
                     [this] { accept(); });
}

CallbackReceiver::~CallbackReceiver() = default;

bool CallbackReceiver::isListening() const {
    return server_->isListening();
}

void CallbackReceiver::accept() {
    while (QLocalSocket* connection = server_->nextPendingConnection()) {
        QObject::connect(connection, &QLocalSocket::disconnected, connection,
                         &QObject::deleteLater);
        QTimer::singleShot(kIdleConnectionMilliseconds, connection,
                           [connection] { connection->abort(); });
        // Qt takes no more than a URL and its line end off the socket.
        connection->setReadBufferSize(maximumURLLength + 1);
        QObject::connect(connection, &QLocalSocket::readyRead, connection, [this, connection] {
            if (connection->canReadLine()) {
                const QByteArray line = connection->readLine(maximumURLLength + 2).trimmed();
                answer(connection, kAccepted);
                received_(QUrl::fromEncoded(line));
            } else if (connection->bytesAvailable() > maximumURLLength) {
                answer(connection, kTooLong);
            }
        });
    }
}

}  // namespace tidyword::platform::linux_desktop
