#include "signin/OAuthTokens.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;

const QDateTime& referenceInstant() {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return reference;
}

// Far beyond any real expiry, and well inside what a QDateTime holds.
constexpr double kLargestOffsetSeconds = 1e11;

}  // namespace

QByteArray OAuthTokens::toJson() const {
    QJsonObject object{
        {u"accessToken"_s, accessToken},
        {u"expiresAt"_s, static_cast<double>(referenceInstant().msecsTo(expiresAt)) / 1000.0},
        {u"configuration"_s, configuration},
    };
    if (refreshToken) {
        object.insert(u"refreshToken"_s, *refreshToken);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<OAuthTokens> OAuthTokens::fromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QJsonValue accessToken = object.value(u"accessToken"_s);
    const QJsonValue refreshToken = object.value(u"refreshToken"_s);
    const QJsonValue expiresAt = object.value(u"expiresAt"_s);
    const QJsonValue configuration = object.value(u"configuration"_s);
    if (!accessToken.isString() || !configuration.isString() || !expiresAt.isDouble() ||
        !(refreshToken.isUndefined() || refreshToken.isNull() || refreshToken.isString())) {
        return std::nullopt;
    }
    const double seconds = expiresAt.toDouble();
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestOffsetSeconds) {
        return std::nullopt;
    }
    OAuthTokens tokens;
    tokens.accessToken = accessToken.toString();
    if (refreshToken.isString()) {
        tokens.refreshToken = refreshToken.toString();
    }
    // Rounded, not truncated: a millisecond instant survives the trip through a double.
    tokens.expiresAt = referenceInstant().addMSecs(std::llround(seconds * 1000.0));
    tokens.configuration = configuration.toString();
    return tokens;
}

}  // namespace tidyword
