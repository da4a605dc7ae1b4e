// The service client against the stand-in over HTTPS: the exact requests, the status mapping and
// the validation of every answer.
#include "platform/SystemClock.h"
#include "service/BetaAPI.h"
#include "service/BetaError.h"
#include "service/BetaHTTP.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "support/StandInServer.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::StandInServer;

const QUuid kRequestID = QUuid::fromString(u"8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60"_s);

class BetaAPITest : public ::testing::Test {
protected:
    BetaAPI api() {
        BetaConfig config;
        config.apiBaseURL = server.baseURL();
        return BetaAPI(config, http.transport());
    }

    BetaEditResult improve(const QString& text = u"i dont know"_s,
                           EditMode mode = EditMode::grammar, const QString& instruction = {}) {
        return test::runToCompletion(api().improve(text, mode, instruction, token, kRequestID));
    }

    std::optional<BetaError::Code> improveError() {
        return test::codeThrownBy<BetaError>([this] { improve(); });
    }
    std::optional<BetaError::Code> accountError() {
        return test::codeThrownBy<BetaError>(
            [this] { test::runToCompletion(api().account(token)); });
    }

    StandInServer server{StandInServer::Transport::https};
    platform::SystemClock clock;
    BetaHTTP http{clock};
    QString token = server.accessToken();
};

QJsonObject bodyOf(const QJsonObject& request) {
    return QJsonDocument::fromJson(request.value(u"body"_s).toString().toUtf8()).object();
}

TEST_F(BetaAPITest, ImproveAndAccountSendExactlyTheDocumentedRequests) {
    const auto result = improve(u"i dont think so"_s, EditMode::custom, u"Be brief"_s);
    EXPECT_EQ(result.requestID, kRequestID.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(result.usage.used, 1);
    const BetaUsage usage = test::runToCompletion(api().account(token));
    EXPECT_EQ(usage.plan, u"Beta"_s);
    EXPECT_EQ(usage.remaining, usage.limit - usage.used);

    const QJsonArray requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    for (const auto& [index, method, target] :
         {std::tuple{0, "POST", "/v1/improve"}, {1, "GET", "/v1/account"}}) {
        const QJsonObject request = requests[index].toObject();
        const QJsonObject headers = request.value(u"headers"_s).toObject();
        EXPECT_EQ(request.value(u"method"_s).toString(), QLatin1String(method));
        EXPECT_EQ(request.value(u"target"_s).toString(), QLatin1String(target));
        EXPECT_EQ(headers.value(u"authorization"_s).toString(), u"Bearer "_s + token) << target;
        EXPECT_EQ(headers.value(u"accept"_s).toString(), u"application/json"_s) << target;
        EXPECT_EQ(headers.value(u"content-type"_s).toString(),
                  index == 0 ? u"application/json"_s : QString())
            << target;
        EXPECT_EQ(headers.value(u"idempotency-key"_s).toString(),
                  index == 0 ? u"8F0E5C1A-3B2D-4C5E-9F7A-1B2C3D4E5F60"_s : QString())
            << target;
    }
    EXPECT_EQ(bodyOf(requests[0].toObject()),
              (QJsonObject{{u"text"_s, u"i dont think so"_s},
                           {u"mode"_s, u"Custom"_s},
                           {u"custom_instruction"_s, u"Be brief"_s}}));
    EXPECT_EQ(requests[1].toObject().value(u"body_size"_s).toInteger(), 0);
}

TEST_F(BetaAPITest, InstructionIsSentOnlyForCustom) {
    improve(u"hello"_s, EditMode::prompt, u"ignored"_s);
    const QJsonObject body = bodyOf(server.requests()[0].toObject());
    EXPECT_EQ(body.value(u"mode"_s).toString(), u"Prompt"_s);
    EXPECT_EQ(body.value(u"custom_instruction"_s).toString(), QString());
}

struct StatusCase {
    const char* name;
    QJsonObject fault;
    std::optional<BetaError::Code> error;

    friend void PrintTo(const StatusCase& row, std::ostream* out) { *out << row.name; }
};

class BetaAPIStatusTest : public BetaAPITest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(BetaAPIStatusTest, StatusMapsToItsError) {
    server.queueFault(GetParam().fault);
    EXPECT_EQ(accountError(), GetParam().error);
}

QJsonObject status(int code, std::optional<QString> errorCode = std::nullopt) {
    QJsonObject fault{{u"status"_s, code}, {u"body"_s, QString()}};
    if (errorCode) {
        fault.remove(u"body"_s);
        fault.insert(u"code"_s, *errorCode);
    }
    return fault;
}

QJsonObject statusWithBody(int code, const QString& body) {
    return {{u"status"_s, code}, {u"body"_s, body}};
}

const QString kUsage =
    uR"({"plan":"Beta","limit":5,"used":1,"remaining":4,"resets_at":"2027-01-01T00:00:00Z"})"_s;

const StatusCase kStatuses[] = {
    {"Created", statusWithBody(201, kUsage), std::nullopt},
    // More remaining than the limit allows.
    {"UsageThatDoesNotAddUp",
     statusWithBody(200,
                    uR"({"plan":"Beta","limit":5,"used":1,"remaining":6,)"
                    uR"("resets_at":"2027-01-01T00:00:00Z"})"_s),
     BetaError::invalidResponse},
    {"NoContent", status(204), BetaError::invalidResponse},
    {"Unauthorized", status(401, u"anything"_s), BetaError::signInRequired},
    {"ForbiddenUnverified", status(403, u"email_verification_required"_s),
     BetaError::emailVerificationRequired},
    {"ForbiddenOtherCode", status(403, u"not_invited"_s), BetaError::inviteRequired},
    {"ForbiddenCodeInCapitals", status(403, u"EMAIL_VERIFICATION_REQUIRED"_s),
     BetaError::inviteRequired},
    {"ForbiddenEmptyBody", status(403), BetaError::inviteRequired},
    {"RequestTimeout", status(408), BetaError::timedOut},
    {"Conflict", status(409, u"already_received"_s), BetaError::alreadyReceived},
    {"TooManyQuota", status(429, u"quota_exceeded"_s), BetaError::quotaExceeded},
    {"TooManyOtherCode", status(429, u"slow_down"_s), BetaError::rateLimited},
    {"TooManyNoBody", status(429), BetaError::rateLimited},
    {"TooManyCodeNotString", statusWithBody(429, uR"({"error":{"code":429}})"_s),
     BetaError::rateLimited},
    {"InternalError", status(500), BetaError::unavailable},
    {"Unavailable", status(503, u"maintenance"_s), BetaError::unavailable},
    {"GatewayTimeout", status(504), BetaError::timedOut},
    {"LastServerError", status(599), BetaError::unavailable},
    {"Redirect", {{u"redirect"_s, u"https://example.invalid/"_s}}, BetaError::rejected},
    {"BadRequest", status(400, u"invalid_request"_s), BetaError::rejected},
    {"Informational600", status(600), BetaError::rejected},
};

INSTANTIATE_TEST_SUITE_P(Statuses, BetaAPIStatusTest, ::testing::ValuesIn(kStatuses),
                         test::rowName);

struct ResultCase {
    const char* name;
    QString body;  // "%1" stands for the request identifier
    bool accepted;

    friend void PrintTo(const ResultCase& row, std::ostream* out) { *out << row.name; }
};

class BetaAPIResultTest : public BetaAPITest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(BetaAPIResultTest, ResultIsValidatedBeforeItIsReturned) {
    const QString id = kRequestID.toString(QUuid::WithoutBraces).toUpper();
    server.queueFault({{u"status"_s, 200}, {u"body"_s, GetParam().body.arg(id)}});
    EXPECT_EQ(improveError(),
              GetParam().accepted ? std::nullopt : std::optional(BetaError::invalidResponse));
}

QString result(const QString& text = u"\"Fixed.\""_s, const QString& usage = kUsage,
               const QString& requestID = u"\"%1\""_s) {
    return uR"({"text":)"_s + text + uR"(,"usage":)"_s + usage + uR"(,"request_id":)"_s +
           requestID + u"}"_s;
}

QString usageWith(const QString& member, const QString& value) {
    QJsonObject usage = QJsonDocument::fromJson(kUsage.toUtf8()).object();
    usage.remove(member);
    QString json = QString::fromUtf8(QJsonDocument(usage).toJson(QJsonDocument::Compact));
    if (!value.isNull()) {
        json.insert(1, u'"' + member + u"\":"_s + value + u',');
    }
    return json;
}

// The valid result with its text, or the request identifier, or one usage member replaced.
QString withText(const QString& text) {
    return result(text);
}
QString withRequestID(const QString& id) {
    return result(u"\"Fixed.\""_s, kUsage, u'"' + id + u'"');
}
QString withUsage(const QString& member, const QString& value) {
    return result(u"\"Fixed.\""_s, usageWith(member, value));
}
QString quoted(qsizetype size, QChar character) {
    return u'"' + QString(size, character) + u'"';
}

const ResultCase kResults[] = {
    {"Valid", result(), true},
    {"UnknownMembersIgnored", u"{\"extra\":[1],"_s + result().mid(1), true},
    {"LowerCaseRequestID", withRequestID(kRequestID.toString(QUuid::WithoutBraces).toLower()),
     true},
    {"OtherRequestID", withRequestID(u"00000000-0000-4000-8000-000000000000"_s), false},
    {"RequestIDInBraces", withRequestID(u"{%1}"_s), false},
    {"RequestIDNotAUUID", withRequestID(u"request-1"_s), false},
    {"RequestIDMissing", uR"({"text":"Fixed.","usage":)"_s + kUsage + u"}"_s, false},
    {"BlankText", withText(u"\" \\n \""_s), false},
    {"TextOf16000Scalars", withText(quoted(16'000, u'a')), true},
    {"TextOf16001Scalars", withText(quoted(16'001, u'a')), false},
    {"TextNotString", withText(u"42"_s), false},
    {"UsageMissing", uR"({"text":"Fixed.","request_id":"%1"})"_s, false},
    {"RemainingOverLimit", withUsage(u"remaining"_s, u"6"_s), false},
    {"RemainingAtLimit", withUsage(u"remaining"_s, u"5"_s), true},
    {"NegativeUsed", withUsage(u"used"_s, u"-1"_s), false},
    {"UsedOverLimitIsFine", withUsage(u"used"_s, u"9"_s), true},
    {"FractionalCount", withUsage(u"used"_s, u"1.5"_s), false},
    {"CountAsString", withUsage(u"limit"_s, u"\"5\""_s), false},
    {"CountMissing", withUsage(u"limit"_s, QString()), false},
    {"Plan100", withUsage(u"plan"_s, quoted(100, u'p')), true},
    {"Plan101", withUsage(u"plan"_s, quoted(101, u'p')), false},
    {"ResetWithoutZone", withUsage(u"resets_at"_s, u"\"2027-01-01T00:00:00\""_s), false},
    {"ResetWithFraction", withUsage(u"resets_at"_s, u"\"2027-01-01T00:00:00.250+01:00\""_s), true},
    {"Malformed", u"{\"text\": \"Fixed."_s, false},
};

INSTANTIATE_TEST_SUITE_P(Results, BetaAPIResultTest, ::testing::ValuesIn(kResults), test::rowName);

// The body is read up to the limit and no further, whether its length is announced or not, and
// an error answer's body too.
TEST_F(BetaAPITest, AnswerAtTheSizeLimitIsReadAndOneByteMoreIsNot) {
    const QString body = result().arg(kRequestID.toString(QUuid::WithoutBraces).toUpper());
    for (const auto& [name, status, size, chunked, accepted] :
         {std::tuple{"AtTheLimit", 200, 1'048'576, false, true},
          {"OverTheLimit", 200, 1'048'577, false, false},
          {"ChunkedAtTheLimit", 200, 1'048'576, true, true},
          {"ChunkedOverTheLimit", 200, 1'048'577, true, false},
          {"ErrorChunkedOverTheLimit", 500, 1'048'577, true, false}}) {
        server.queueFault({{u"status"_s, status},
                           {u"body"_s, body},
                           {u"pad_to"_s, size},
                           {u"chunked"_s, chunked}});
        EXPECT_EQ(improveError(),
                  accepted ? std::nullopt : std::optional(BetaError::invalidResponse))
            << name;
    }
}

}  // namespace
}  // namespace tidyword
