#include "service/BetaAPI.h"

#include "base/Characters.h"
#include "service/BetaError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr qsizetype kMaximumPlanLength = 100;
// Integers beyond this cannot have come through a JSON number exactly.
constexpr double kLargestExactInteger = 9007199254740992.0;

[[noreturn]] void fail(BetaError::Code code) {
    throw BetaError(code);
}

std::optional<QJsonObject> objectFrom(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

std::optional<QString> stringMember(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

// A JSON number without a fraction; 5.5 is not an integer.
std::optional<qint64> integerMember(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number ||
        std::fabs(number) > kLargestExactInteger) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

std::optional<BetaUsage> decodeUsage(const QJsonObject& object) {
    const auto plan = stringMember(object, u"plan"_s);
    const auto limit = integerMember(object, u"limit"_s);
    const auto used = integerMember(object, u"used"_s);
    const auto remaining = integerMember(object, u"remaining"_s);
    const auto resetsAt = stringMember(object, u"resets_at"_s);
    if (!plan || !limit || !used || !remaining || !resetsAt) {
        return std::nullopt;
    }
    return BetaUsage{*plan, *limit, *used, *remaining, *resetsAt};
}

bool validUsage(const BetaUsage& usage) {
    return characterCount(usage.plan) <= kMaximumPlanLength && usage.limit >= 0 &&
           usage.used >= 0 && usage.remaining >= 0 && usage.remaining <= usage.limit &&
           BetaUsage::resetDate(usage.resetsAt).has_value();
}

std::optional<BetaEditResult> decodeResult(const QByteArray& json) {
    const auto object = objectFrom(json);
    if (!object) {
        return std::nullopt;
    }
    const auto text = stringMember(*object, u"text"_s);
    const auto requestID = stringMember(*object, u"request_id"_s);
    const QJsonValue usage = object->value(u"usage"_s);
    if (!text || !requestID || !usage.isObject()) {
        return std::nullopt;
    }
    const auto decodedUsage = decodeUsage(usage.toObject());
    if (!decodedUsage) {
        return std::nullopt;
    }
    return BetaEditResult{*text, *decodedUsage, *requestID};
}

// The "code" of an error body {"error": {"code": ...}}, when there is a readable one.
std::optional<QString> errorCode(const QByteArray& json) {
    const auto object = objectFrom(json);
    if (!object || !object->value(u"error"_s).isObject()) {
        return std::nullopt;
    }
    return stringMember(object->value(u"error"_s).toObject(), u"code"_s);
}

// The error for a status, or none for success.
std::optional<BetaError::Code> errorForStatus(int status, const std::optional<QString>& code) {
    if (status >= 200 && status <= 299) {
        return std::nullopt;
    }
    switch (status) {
        case 401:
            return BetaError::signInRequired;
        case 403:
            return code == u"email_verification_required"_s ? BetaError::emailVerificationRequired
                                                            : BetaError::inviteRequired;
        case 408:
        case 504:
            return BetaError::timedOut;
        case 409:
            return BetaError::alreadyReceived;
        case 429:
            return code == u"quota_exceeded"_s ? BetaError::quotaExceeded : BetaError::rateLimited;
        default:
            return status >= 500 && status <= 599 ? BetaError::unavailable : BetaError::rejected;
    }
}

// The 36-character form, hyphens in the 8-4-4-4-12 places, either letter case.
bool sameUUID(const QString& text, const QUuid& expected) {
    static const QRegularExpression canonical(QRegularExpression::anchoredPattern(
        u"[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}"_s));
    return canonical.match(text).hasMatch() && QUuid::fromString(text) == expected;
}

}  // namespace

std::optional<QDateTime> BetaUsage::resetDate(const QString& text) {
    static const QRegularExpression internetDateTime(QRegularExpression::anchoredPattern(
        u"([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(?:\\.([0-9]+))?"
        "(Z|([+-])([0-9]{2}):([0-9]{2}))"_s));
    const auto match = internetDateTime.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const auto number = [&match](int group) { return match.captured(group).toInt(); };
    const QDate date(number(1), number(2), number(3));
    const int milliseconds = match.captured(7).leftJustified(3, u'0').left(3).toInt();
    const QTime time(number(4), number(5), number(6), milliseconds);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    int offset = 0;
    if (match.captured(8) != u"Z") {
        if (number(10) > 23 || number(11) > 59) {
            return std::nullopt;
        }
        offset = (number(10) * 3600 + number(11) * 60) * (match.captured(9) == u"-" ? -1 : 1);
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, offset).toUTC();
}

QByteArray EditBody::toJson() const {
    const QJsonObject object{
        {u"text"_s, text},
        {u"mode"_s, rawValue(mode)},
        {u"custom_instruction"_s, mode == EditMode::custom ? customInstruction : QString()},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

BetaAPI::BetaAPI(BetaConfig config, HTTPTransport transport)
    : config_(std::move(config)), transport_(std::move(transport)) {}

bool BetaAPI::validToken(const QString& token) {
    if (token.isEmpty() || token.size() > maximumTokenLength) {
        return false;
    }
    return std::all_of(token.begin(), token.end(), [](QChar character) {
        return character.unicode() >= 0x21 && character.unicode() <= 0x7E;
    });
}

QCoro::Task<BetaEditResult> BetaAPI::improve(QString text, EditMode mode, QString customInstruction,
                                             QString token, QUuid requestID,
                                             CancellationToken cancellation) const {
    return improveWith(*this, std::move(text), mode, std::move(customInstruction), std::move(token),
                       requestID, std::move(cancellation));
}

QCoro::Task<BetaUsage> BetaAPI::account(QString token, CancellationToken cancellation) const {
    return accountWith(*this, std::move(token), std::move(cancellation));
}

QCoro::Task<BetaEditResult> BetaAPI::improveWith(BetaAPI api, QString text, EditMode mode,
                                                 QString customInstruction, QString token,
                                                 QUuid requestID, CancellationToken cancellation) {
    if (text.trimmed().isEmpty()) {
        fail(BetaError::emptyInput);
    }
    if (scalarCount(text) > maximumTextScalars) {
        fail(BetaError::inputTooLong);
    }
    if (mode == EditMode::custom && (customInstruction.trimmed().isEmpty() ||
                                     scalarCount(customInstruction) > maximumInstructionScalars)) {
        fail(BetaError::customInstruction);
    }
    const QByteArray body = EditBody{text, mode, customInstruction}.toJson();
    if (body.size() > maximumRequestBody) {
        fail(BetaError::inputTooLong);
    }

    const QByteArray answer =
        co_await api.send(u"v1/improve"_s, token, body, requestID, cancellation);
    const auto result = decodeResult(answer);
    if (!result || result->text.trimmed().isEmpty() ||
        scalarCount(result->text) > maximumResultScalars || !validUsage(result->usage) ||
        !sameUUID(result->requestID, requestID)) {
        fail(BetaError::invalidResponse);
    }
    co_return *result;
}

QCoro::Task<BetaUsage> BetaAPI::accountWith(BetaAPI api, QString token,
                                            CancellationToken cancellation) {
    const QByteArray answer =
        co_await api.send(u"v1/account"_s, token, std::nullopt, std::nullopt, cancellation);
    const auto object = objectFrom(answer);
    const auto usage = object ? decodeUsage(*object) : std::nullopt;
    if (!usage || !validUsage(*usage)) {
        fail(BetaError::invalidResponse);
    }
    co_return *usage;
}

QCoro::Task<QByteArray> BetaAPI::send(QString path, QString token, std::optional<QByteArray> body,
                                      std::optional<QUuid> requestID,
                                      CancellationToken cancellation) const {
    if (!validToken(token)) {
        fail(BetaError::signInRequired);
    }
    HTTPRequest request;
    request.method = body ? "POST" : "GET";
    request.url = appendingPathComponent(config_.apiBaseURL, path);
    request.headers = {{"Authorization", "Bearer " + token.toLatin1()},
                       {"Accept", "application/json"}};
    if (body) {
        request.headers.append(
            qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    }
    if (requestID) {
        request.headers.append(
            qMakePair(QByteArray("Idempotency-Key"),
                      requestID->toString(QUuid::WithoutBraces).toUpper().toLatin1()));
    }
    request.body = std::move(body);

    const HTTPResponse response =
        co_await sendBounded(transport_, std::move(request), requestTimeout, maximumResponseBody,
                             BetaError::invalidResponse, cancellation);
    if (const auto error = errorForStatus(response.status, errorCode(response.body))) {
        fail(*error);
    }
    co_return response.body;
}

}  // namespace tidyword
