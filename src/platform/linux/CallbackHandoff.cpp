#include "platform/linux/CallbackHandoff.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

namespace tidyword::platform::linux_desktop {

namespace {

constexpr int kClientWaitMilliseconds = 2000;
constexpr int kIdleConnectionMilliseconds = 5000;

}  // namespace

QString defaultCallbackSocket() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/tidyword-callback");
}

QUrl reopenRequest() {
    return QUrl(QStringLiteral("tidyword-instance:reopen"));
}

bool deliverCallback(const QUrl& url, const QString& socket) {
    QLocalSocket connection;
    connection.connectToServer(socket);
    if (!connection.waitForConnected(kClientWaitMilliseconds)) {
        return false;
    }
    connection.write(url.toEncoded() + '\n');
    const bool written = connection.waitForBytesWritten(kClientWaitMilliseconds);
    connection.disconnectFromServer();
    if (connection.state() != QLocalSocket::UnconnectedState) {
        connection.waitForDisconnected(kClientWaitMilliseconds);
    }
    return written;
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
        QObject::connect(connection, &QLocalSocket::readyRead, connection, [this, connection] {
            if (connection->bytesAvailable() > maximumURLLength + 1) {
                connection->abort();
                return;
            }
            if (!connection->canReadLine()) {
                return;
            }
            const QByteArray line = connection->readLine(maximumURLLength + 2).trimmed();
            connection->disconnectFromServer();
            received_(QUrl::fromEncoded(line));
        });
    }
}

}  // namespace tidyword::platform::linux_desktop
