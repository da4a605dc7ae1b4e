#include "support/StandInServer.h"

#include "support/EventLoop.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <gtest/gtest.h>

#include <stdexcept>

namespace tidyword::test {

namespace {

using namespace Qt::Literals::StringLiterals;

void trustAuthority(const QString& path) {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(path));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

}  // namespace

StandInServer::StandInServer(Transport transport, QStringList arguments) {
    if (transport != Transport::http) {
        arguments << u"--tls-dir"_s << directory_.path();
    }
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(TIDYWORD_STANDIN), arguments);
    QByteArray announced;
    runEventLoopUntil([&] {
        if (process_.state() == QProcess::NotRunning) {
            return true;
        }
        announced += process_.readAllStandardOutput();
        return announced.contains('\n');
    });
    const auto match =
        QRegularExpression(u"listening on (\\S+)"_s).match(QString::fromUtf8(announced));
    if (!match.hasMatch()) {
        throw std::runtime_error("the stand-in did not start: " + announced.toStdString());
    }
    baseURL_ = QUrl(match.captured(1) + u'/');
    if (transport == Transport::https) {
        trustAuthority(authorityFile());
    }
}

StandInServer::~StandInServer() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

QJsonDocument StandInServer::control(const QByteArray& method, const QString& what,
                                     const QJsonDocument& body) const {
    QNetworkAccessManager manager;
    QNetworkRequest request(url(u"_standin/"_s + what));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply* reply = manager.sendCustomRequest(request, method, body.toJson());
    runEventLoopUntil([reply] { return reply->isFinished(); });
    const QByteArray answer = reply->readAll();
    EXPECT_EQ(reply->error(), QNetworkReply::NoError) << answer.toStdString();
    delete reply;
    return QJsonDocument::fromJson(answer);
}

QJsonArray StandInServer::requests() const {
    return control("GET", u"requests"_s).array();
}

void StandInServer::clearRequests() const {
    control("DELETE", u"requests"_s);
}

void StandInServer::queueFault(const QJsonObject& fault) const {
    control("POST", u"faults"_s, QJsonDocument(fault));
}

void StandInServer::setQuota(const QJsonObject& quota) const {
    control("POST", u"quota"_s, QJsonDocument(quota));
}

QString StandInServer::accessToken() const {
    return control("POST", u"tokens"_s).object().value(u"access_token"_s).toString();
}

}  // namespace tidyword::test
