// The stand-in's identity provider, driven through the real transport the way a sign-in will:
// authorize, exchange the code with its PKCE verifier, refresh with rotation.
#include "platform/SystemClock.h"
#include "service/BetaHTTP.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "support/StandInServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;

class StandInIdentityTest : public ::testing::Test {
protected:
    HTTPResponse send(const QByteArray& method, const QUrl& url, const QString& form = {}) {
        HTTPRequest request;
        request.method = method;
        request.url = url;
        if (!form.isNull()) {
            request.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                               {"Accept", "application/json"}};
            request.body = form.toUtf8();
        }
        return test::runToCompletion(http.perform(request));
    }

    QJsonObject tokenAnswer(const QString& form, int expectedStatus) {
        const HTTPResponse response = send("POST", server.url(u"oauth/token"_s), form);
        EXPECT_EQ(response.status, expectedStatus) << response.body.toStdString();
        return QJsonDocument::fromJson(response.body).object();
    }

    // The query items of the redirect an authorization answers with.
    QUrlQuery authorize(const QString& challenge, const QString& state) {
        QUrl url = server.url(u"contoso/oauth2/v2.0/authorize"_s);
        url.setQuery(
            u"client_id=app&response_type=code&response_mode=query"
            "&redirect_uri=com.tidyword.beta://oauth/callback&code_challenge="_s +
            challenge + u"&code_challenge_method=S256&state="_s + state);
        const HTTPResponse response = send("GET", url);
        EXPECT_EQ(response.status, 302);
        const QUrl location(QString::fromUtf8(response.header("location").value_or(QByteArray())));
        EXPECT_EQ(location.toString(QUrl::RemoveQuery), u"com.tidyword.beta://oauth/callback"_s);
        return QUrlQuery(location.query(QUrl::FullyEncoded).replace(u'+', u"%20"_s));
    }

    test::StandInServer server;
    platform::SystemClock clock;
    BetaHTTP http{clock};
};

const QString kVerifier = u"dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"_s;
const QString kChallenge = u"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"_s;

QString codeForm(const QString& code, const QString& verifier) {
    return u"client_id=app&code="_s + code + u"&code_verifier="_s + verifier +
           u"&grant_type=authorization_code&redirect_uri=com.tidyword.beta%3A%2F%2Foauth%2Fcallback"_s;
}

TEST_F(StandInIdentityTest, CodeIsExchangedOnceWithItsVerifierAndRefreshTokensRotate) {
    const QUrlQuery callback = authorize(kChallenge, u"S1"_s);
    EXPECT_EQ(callback.queryItemValue(u"state"_s), u"S1"_s);
    const QString code = callback.queryItemValue(u"code"_s);
    ASSERT_FALSE(code.isEmpty());

    const QJsonObject tokens = tokenAnswer(codeForm(code, kVerifier), 200);
    EXPECT_EQ(tokens.value(u"token_type"_s).toString(), u"Bearer"_s);
    EXPECT_EQ(tokens.value(u"expires_in"_s).toInteger(), 3600);
    EXPECT_FALSE(tokens.value(u"access_token"_s).toString().isEmpty());
    tokenAnswer(codeForm(code, kVerifier), 400);
    const QString second = authorize(kChallenge, u"S2"_s).queryItemValue(u"code"_s);
    tokenAnswer(codeForm(second, u"another-verifier-of-the-right-length-0123456"_s), 400);

    const QString refresh = u"client_id=app&grant_type=refresh_token&refresh_token="_s;
    const QString first = tokens.value(u"refresh_token"_s).toString();
    const QString next = tokenAnswer(refresh + first, 200).value(u"refresh_token"_s).toString();
    EXPECT_NE(next, first);
    tokenAnswer(refresh + first, 400);
    tokenAnswer(refresh + next, 200);
}

TEST_F(StandInIdentityTest, AuthorizationCanAnswerWithTheUnverifiedEmailSignal) {
    server.control(
        "POST", u"authorization-error"_s,
        QJsonDocument(QJsonObject{
            {u"error"_s, u"access_denied"_s},
            {u"error_description"_s, u"Verify your email, then sign in to Tidyword again."_s}}));
    const QUrlQuery callback = authorize(kChallenge, u"S"_s);
    EXPECT_EQ(callback.queryItemValue(u"error"_s), u"access_denied"_s);
    EXPECT_EQ(callback.queryItemValue(u"error_description"_s, QUrl::FullyDecoded),
              u"Verify your email, then sign in to Tidyword again."_s);
    EXPECT_FALSE(callback.hasQueryItem(u"code"_s));
    // The next authorization is approved again.
    EXPECT_TRUE(authorize(kChallenge, u"S"_s).hasQueryItem(u"code"_s));
}

}  // namespace
}  // namespace tidyword
