#include "StandIn.h"

#include "Rewrites.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <httplib.h>
#include <thread>

namespace tidyword::standin {

namespace {

using namespace Qt::Literals::StringLiterals;
using Clock = std::chrono::steady_clock;

constexpr qsizetype kRecordedRequests = 1000;

// The fault of the request this thread is answering, from before routing to after it.
thread_local std::optional<Fault> currentFault;

QString randomToken() {
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / 4);
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString s256(const QString& verifier) {
    return QString::fromLatin1(
        QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

void answerJson(httplib::Response& response, int status, const QJsonObject& object) {
    response.status = status;
    response.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

void answerError(httplib::Response& response, int status, const QString& code) {
    answerJson(response, status, {{u"error"_s, QJsonObject{{u"code"_s, code}}}});
}

QString parameter(const httplib::Request& request, const char* name) {
    return QString::fromStdString(request.get_param_value(name));
}

QString header(const httplib::Request& request, const char* name) {
    return QString::fromStdString(request.get_header_value(name));
}

QUrlQuery formBody(const httplib::Request& request) {
    return QUrlQuery(QString::fromStdString(request.body));
}

QString formValue(const QUrlQuery& form, const QString& name) {
    return form.queryItemValue(name, QUrl::FullyDecoded);
}

// Query items appended to `base` as an identity provider writes them: form-style, so a space
// is a "+".
std::string withQuery(const QString& base, const QList<std::pair<QString, QString>>& items) {
    QString url = base + (base.contains(u'?') ? u'&' : u'?');
    QStringList pairs;
    for (const auto& [name, value] : items) {
        pairs << name + u'=' +
                     QString::fromLatin1(QUrl::toPercentEncoding(value, " ")).replace(u' ', u'+');
    }
    return (url + pairs.join(u'&')).toStdString();
}

QString firstOfNextMonth() {
    const QDate today = QDateTime::currentDateTimeUtc().date();
    const QDate next = QDate(today.year(), today.month(), 1).addMonths(1);
    return QDateTime(next, QTime(0, 0), Qt::UTC).toString(Qt::ISODate);
}

std::optional<std::chrono::milliseconds> millisecondsMember(const QJsonObject& object,
                                                            const QString& key) {
    if (!object.contains(key)) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(object.value(key).toInteger());
}

}  // namespace

std::optional<Fault> Fault::fromJson(const QJsonObject& object) {
    Fault fault;
    fault.path = object.value(u"path"_s).toString();
    fault.times = static_cast<int>(object.value(u"times"_s).toInteger(1));
    if (object.contains(u"status"_s)) {
        fault.status = static_cast<int>(object.value(u"status"_s).toInteger());
    }
    if (object.contains(u"code"_s)) {
        fault.code = object.value(u"code"_s).toString();
    }
    if (object.contains(u"body"_s)) {
        fault.body = object.value(u"body"_s).toString().toUtf8();
    }
    if (object.contains(u"body_size"_s)) {
        fault.bodySize = object.value(u"body_size"_s).toInteger();
    }
    if (object.contains(u"redirect"_s)) {
        fault.redirect = object.value(u"redirect"_s).toString();
    }
    if (object.contains(u"pad_to"_s)) {
        fault.padTo = object.value(u"pad_to"_s).toInteger();
    }
    if (object.contains(u"set_cookie"_s)) {
        fault.setCookie = object.value(u"set_cookie"_s).toString().toUtf8();
    }
    fault.malformed = object.value(u"malformed"_s).toBool();
    fault.silent = object.value(u"silent"_s).toBool();
    fault.chunked = object.value(u"chunked"_s).toBool();
    fault.delayBeforeHeaders =
        millisecondsMember(object, u"delay_before_headers_ms"_s).value_or(fault.delayBeforeHeaders);
    fault.delayBetweenBytes =
        millisecondsMember(object, u"delay_between_bytes_ms"_s).value_or(fault.delayBetweenBytes);
    if (fault.times < 1) {
        return std::nullopt;
    }
    return fault;
}

bool Fault::replacesAnswer() const {
    return status || code || body || bodySize || redirect || malformed || silent;
}

StandIn::StandIn(Settings settings) : settings_(settings) {}

StandIn::~StandIn() {
    shutDown();
}

void StandIn::shutDown() {
    {
        const std::lock_guard lock(mutex_);
        shuttingDown_ = true;
    }
    shutDown_.notify_all();
}

void StandIn::install(httplib::Server& server) {
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        selectFault(request);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Every answer goes through the fault of its request, if it has one; a request for any
    // other path finds one only through a fault, else 404.
    const auto route =
        [this](void (StandIn::*handler)(const httplib::Request&, httplib::Response&)) {
            return [this, handler](const httplib::Request& request, httplib::Response& response) {
                answer(request, response, handler);
            };
        };
    server.Get(R"(/_standin/.*)", route(&StandIn::control));
    server.Post(R"(/_standin/.*)", route(&StandIn::control));
    server.Delete(R"(/_standin/.*)", route(&StandIn::control));
    server.Get(R"(/.*authorize)", route(&StandIn::authorize));
    server.Post(R"(/.*token)", route(&StandIn::token));
    server.Post(R"(/(.*/)?v1/improve)", route(&StandIn::improve));
    server.Get(R"(/(.*/)?v1/account)", route(&StandIn::account));
    server.Get(R"(.*)", route(nullptr));
    server.Post(R"(.*)", route(nullptr));
    server.Put(R"(.*)", route(nullptr));
    server.Delete(R"(.*)", route(nullptr));
}

void StandIn::selectFault(const httplib::Request& request) {
    currentFault.reset();
    const QString path = QString::fromStdString(request.path);
    if (path.startsWith(u"/_standin/")) {
        return;
    }
    const std::string requested = request.get_header_value("X-Standin-Fault");
    if (!requested.empty()) {
        currentFault = Fault::fromJson(QJsonDocument::fromJson(requested.c_str()).object());
        return;
    }
    const std::lock_guard lock(mutex_);
    const auto matching = std::find_if(faults_.begin(), faults_.end(), [&](const Fault& fault) {
        return path.endsWith(fault.path);
    });
    if (matching != faults_.end()) {
        currentFault = *matching;
        if (--matching->times == 0) {
            faults_.erase(matching);
        }
    }
}

void StandIn::record(const httplib::Request& request) {
    QJsonObject headers;
    for (const auto& [name, value] : request.headers) {
        headers.insert(QString::fromStdString(name).toLower(), QString::fromStdString(value));
    }
    const QJsonObject record{
        {u"method"_s, QString::fromStdString(request.method)},
        {u"target"_s, QString::fromStdString(request.target)},
        {u"path"_s, QString::fromStdString(request.path)},
        {u"headers"_s, headers},
        {u"body"_s, QString::fromUtf8(request.body.substr(0, 65536))},
        {u"body_size"_s, static_cast<qint64>(request.body.size())},
    };
    const std::lock_guard lock(mutex_);
    // The newest requests are what tests ask about; a long run must not grow without bound.
    if (requests_.size() >= kRecordedRequests) {
        requests_.removeFirst();
    }
    requests_.append(record);
}

void StandIn::answer(const httplib::Request& request, httplib::Response& response,
                     void (StandIn::*handler)(const httplib::Request&, httplib::Response&)) {
    const std::optional<Fault> fault = std::exchange(currentFault, std::nullopt);
    if (handler != &StandIn::control) {
        record(request);
    }
    if (fault && fault->replacesAnswer()) {
        answerWith(*fault, response);
    } else if (handler) {
        (this->*handler)(request, response);
    } else {
        response.status = 404;
    }
    if (fault) {
        decorate(*fault, response);
    }
}

void StandIn::answerSilently() {
    std::unique_lock lock(mutex_);
    shutDown_.wait_for(lock, std::chrono::minutes(5), [this] { return shuttingDown_; });
}

void StandIn::answerWith(const Fault& fault, httplib::Response& response) {
    if (fault.silent) {
        answerSilently();
        response.status = 503;
        return;
    }
    response.status = fault.status.value_or(fault.redirect ? 302 : 200);
    if (fault.redirect) {
        response.set_header("Location", fault.redirect->toStdString());
        response.set_content("Moved to " + fault.redirect->toStdString(), "text/plain");
    } else if (fault.body) {
        response.set_content(fault.body->toStdString(), "application/json");
    } else if (fault.bodySize) {
        response.set_content(std::string(static_cast<std::size_t>(*fault.bodySize), 'x'),
                             "application/octet-stream");
    } else if (fault.malformed) {
        response.set_content(R"({"text": "unterminated)", "application/json");
    } else if (fault.code) {
        answerError(response, response.status, *fault.code);
    }
}

void StandIn::decorate(const Fault& fault, httplib::Response& response) {
    if (fault.setCookie) {
        response.set_header("Set-Cookie", fault.setCookie->toStdString());
    }
    if (fault.padTo && static_cast<qint64>(response.body.size()) < *fault.padTo) {
        response.body.append(static_cast<std::size_t>(*fault.padTo) - response.body.size(), ' ');
    }
    if (fault.delayBeforeHeaders.count() > 0) {
        std::unique_lock lock(mutex_);
        shutDown_.wait_for(lock, fault.delayBeforeHeaders, [this] { return shuttingDown_; });
    }
    if (!fault.chunked && fault.delayBetweenBytes.count() == 0) {
        return;
    }
    // Stream the body instead: one byte at a time when dripping, without a length when chunked.
    auto body = std::make_shared<std::string>(std::move(response.body));
    response.body.clear();
    const std::string type = response.get_header_value("Content-Type");
    response.headers.erase("Content-Type");  // the content provider sets it again
    const auto delay = fault.delayBetweenBytes;
    const auto piece = [body, delay](std::size_t offset, std::size_t room) {
        const std::size_t size = delay.count() > 0 ? 1 : std::min<std::size_t>(room, 65536);
        if (delay.count() > 0) {
            std::this_thread::sleep_for(delay);
        }
        return std::string_view(*body).substr(offset, size);
    };
    if (fault.chunked) {
        response.set_chunked_content_provider(
            type, [body, piece](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= body->size()) {
                    sink.done();
                    return true;
                }
                const auto part = piece(offset, body->size() - offset);
                return sink.write(part.data(), part.size());
            });
    } else {
        response.set_content_provider(
            body->size(), type,
            [piece](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                const auto part = piece(offset, length);
                return sink.write(part.data(), part.size());
            });
    }
}

QJsonObject StandIn::issueTokens() {
    const QString access = randomToken();
    const QString refresh = randomToken();
    accessTokens_[access] = Clock::now() + std::chrono::seconds(settings_.expiresIn);
    refreshTokens_.insert(refresh);
    return {{u"access_token"_s, access},
            {u"refresh_token"_s, refresh},
            {u"token_type"_s, u"Bearer"_s},
            {u"expires_in"_s, settings_.expiresIn}};
}

bool StandIn::authorized(const httplib::Request& request) {
    const QString value = header(request, "Authorization");
    if (!value.startsWith(u"Bearer ")) {
        return false;
    }
    const auto found = accessTokens_.find(value.mid(7));
    return found != accessTokens_.end() && Clock::now() < found->second;
}

QJsonObject StandIn::usage() const {
    return {{u"plan"_s, plan_},
            {u"limit"_s, settings_.limit},
            {u"used"_s, used_},
            {u"remaining"_s, std::max<qint64>(0, settings_.limit - used_)},
            {u"resets_at"_s, firstOfNextMonth()}};
}

void StandIn::authorize(const httplib::Request& request, httplib::Response& response) {
    const QString redirectURI = parameter(request, "redirect_uri");
    const QString state = parameter(request, "state");
    if (redirectURI.isEmpty() || state.isEmpty()) {
        response.status = 400;
        response.set_content("redirect_uri and state are required", "text/plain");
        return;
    }
    QList<std::pair<QString, QString>> items;
    const std::lock_guard lock(mutex_);
    if (authorizationError_) {
        items = {{u"error"_s, authorizationError_->value(u"error"_s).toString()}};
        if (authorizationError_->contains(u"error_description"_s)) {
            items.append({u"error_description"_s,
                          authorizationError_->value(u"error_description"_s).toString()});
        }
        authorizationError_.reset();
    } else if (parameter(request, "response_type") != u"code" ||
               parameter(request, "code_challenge_method") != u"S256" ||
               parameter(request, "code_challenge").isEmpty()) {
        items = {{u"error"_s, u"invalid_request"_s}};
    } else {
        const QString code = randomToken();
        grants_[code] = {parameter(request, "code_challenge"), redirectURI,
                         parameter(request, "client_id"), Clock::now() + std::chrono::minutes(5)};
        items = {{u"code"_s, code}};
    }
    items.append({u"state"_s, state});
    response.status = 302;
    response.set_header("Location", withQuery(redirectURI, items));
}

void StandIn::token(const httplib::Request& request, httplib::Response& response) {
    const QUrlQuery form = formBody(request);
    const QString grantType = formValue(form, u"grant_type"_s);
    const std::lock_guard lock(mutex_);
    if (grantType == u"authorization_code") {
        const auto grant = grants_.find(formValue(form, u"code"_s));
        if (grant == grants_.end()) {
            answerJson(response, 400, {{u"error"_s, u"invalid_grant"_s}});
            return;
        }
        const Grant granted = grant->second;
        grants_.erase(grant);  // a code is good once
        if (Clock::now() > granted.expires ||
            formValue(form, u"redirect_uri"_s) != granted.redirectURI ||
            formValue(form, u"client_id"_s) != granted.clientID ||
            s256(formValue(form, u"code_verifier"_s)) != granted.challenge) {
            answerJson(response, 400, {{u"error"_s, u"invalid_grant"_s}});
            return;
        }
        answerJson(response, 200, issueTokens());
    } else if (grantType == u"refresh_token") {
        // Refresh tokens rotate: each is good once.
        if (refreshTokens_.erase(formValue(form, u"refresh_token"_s)) == 0) {
            answerJson(response, 400, {{u"error"_s, u"invalid_grant"_s}});
            return;
        }
        answerJson(response, 200, issueTokens());
    } else {
        answerJson(response, 400, {{u"error"_s, u"unsupported_grant_type"_s}});
    }
}

void StandIn::improve(const httplib::Request& request, httplib::Response& response) {
    const QString key = header(request, "Idempotency-Key");
    const QJsonObject body =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
    const QString text = body.value(u"text"_s).toString();
    const QString mode = body.value(u"mode"_s).toString();
    const QString instruction = body.value(u"custom_instruction"_s).toString();
    static const QStringList modes{u"Grammar"_s, u"Clearer"_s, u"Shorter"_s, u"Professional"_s,
                                   u"Casual"_s,  u"Prompt"_s,  u"Custom"_s};
    QJsonObject usageAfter;
    {
        const std::lock_guard lock(mutex_);
        if (!authorized(request)) {
            answerError(response, 401, u"unauthorized"_s);
            return;
        }
        if (key.isEmpty() || !body.value(u"text"_s).isString() || !modes.contains(mode) ||
            !body.value(u"custom_instruction"_s).isString()) {
            answerError(response, 400, u"invalid_request"_s);
            return;
        }
        if (idempotencyKeys_.contains(key)) {
            answerError(response, 409, u"already_received"_s);
            return;
        }
        if (used_ >= settings_.limit) {
            answerError(response, 429, u"quota_exceeded"_s);
            return;
        }
        ++used_;
        idempotencyKeys_.insert(key);
        usageAfter = usage();
    }
    answerJson(response, 200,
               {{u"text"_s, rewrite(text, mode, instruction)},
                {u"usage"_s, usageAfter},
                {u"request_id"_s, key}});
}

void StandIn::account(const httplib::Request& request, httplib::Response& response) {
    const std::lock_guard lock(mutex_);
    if (!authorized(request)) {
        answerError(response, 401, u"unauthorized"_s);
        return;
    }
    answerJson(response, 200, usage());
}

void StandIn::control(const httplib::Request& request, httplib::Response& response) {
    const QString what =
        QString::fromStdString(request.path).mid(QStringLiteral("/_standin/").size());
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(request.body));
    const QJsonObject object = document.object();
    const bool removing = request.method == "DELETE";
    const std::lock_guard lock(mutex_);
    if (what == u"requests") {
        if (removing) {
            requests_ = {};
        }
        response.set_content(QJsonDocument(requests_).toJson().toStdString(), "application/json");
        return;
    }
    if (what == u"faults") {
        if (removing) {
            faults_.clear();
        }
        const QJsonArray list = document.isArray() ? document.array() : QJsonArray{object};
        for (const auto& entry : list) {
            if (const auto fault = Fault::fromJson(entry.toObject()); fault && !removing) {
                faults_.push_back(*fault);
            }
        }
        answerJson(response, 200, {{u"queued"_s, static_cast<qint64>(faults_.size())}});
        return;
    }
    if (what == u"quota") {
        settings_.limit = object.value(u"limit"_s).toInteger(settings_.limit);
        used_ = object.value(u"used"_s).toInteger(used_);
        plan_ = object.value(u"plan"_s).toString(plan_);
        answerJson(response, 200, usage());
        return;
    }
    if (what == u"settings") {
        settings_.expiresIn = object.value(u"expires_in"_s).toInteger(settings_.expiresIn);
        answerJson(response, 200, {{u"expires_in"_s, settings_.expiresIn}});
        return;
    }
    if (what == u"authorization-error") {
        authorizationError_ = removing ? std::nullopt : std::optional(object);
        answerJson(response, 200, {});
        return;
    }
    if (what == u"tokens") {
        answerJson(response, 200, issueTokens());
        return;
    }
    if (what == u"expire-tokens") {
        for (auto& [token, expires] : accessTokens_) {
            expires = Clock::now();
        }
        answerJson(response, 200, {});
        return;
    }
    answerError(response, 404, u"unknown_control"_s);
}

}  // namespace tidyword::standin
