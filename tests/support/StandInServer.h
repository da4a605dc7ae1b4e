// Starts the stand-in service and identity provider for one test, on loopback, and talks to its
// control interface: recorded requests, queued faults, quota, tokens.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

namespace tidyword::test {

class StandInServer {
public:
    // With https, the stand-in's CA is added to this process's default TLS configuration, so
    // that real clients trust it the way they would trust a public CA; httpsUntrusted leaves it
    // in authorityFile() alone, for a client that must be told to trust it.
    enum class Transport { http, https, httpsUntrusted };

    explicit StandInServer(Transport transport = Transport::http, QStringList arguments = {});
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    // The server's root, e.g. "https://127.0.0.1:40123/".
    QUrl baseURL() const { return baseURL_; }
    QUrl url(const QString& path) const { return baseURL_.resolved(QUrl(path)); }
    QString authorityFile() const { return directory_.filePath(QStringLiteral("ca.pem")); }

    QJsonArray requests() const;
    void clearRequests() const;
    void queueFault(const QJsonObject& fault) const;
    void setQuota(const QJsonObject& quota) const;
    // A valid access token, as if the user had signed in.
    QString accessToken() const;
    QJsonDocument control(const QByteArray& method, const QString& what,
                          const QJsonDocument& body = QJsonDocument(QJsonObject())) const;

private:
    QTemporaryDir directory_;
    QProcess process_;
    QUrl baseURL_;
};

}  // namespace tidyword::test
