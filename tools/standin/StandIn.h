// The stand-in editing service and identity provider: what Tidyword talks to in tests and local
// runs. It keeps its state in memory, records every request, and can be told to misbehave.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tidyword::standin {

// One way to misbehave, for the next matching request(s). Read from JSON (the members below in
// snake case); see the README of the tool.
struct Fault {
    QString path;  // applies to requests whose path ends with this; empty: any
    int times = 1;
    // Replacing the answer:
    std::optional<int> status;
    std::optional<QString> code;  // {"error":{"code":...}}
    std::optional<QByteArray> body;
    std::optional<qint64> bodySize;   // a body of that many "x"
    std::optional<QString> redirect;  // 302 to this location
    bool malformed = false;           // a body that is not JSON
    bool silent = false;              // never answer
    // Decorating whatever the answer is:
    std::optional<qint64> padTo;  // spaces after the body up to this many bytes
    bool chunked = false;         // no Content-Length
    std::optional<QByteArray> setCookie;
    std::chrono::milliseconds delayBeforeHeaders{0};
    std::chrono::milliseconds delayBetweenBytes{0};

    static std::optional<Fault> fromJson(const QJsonObject& object);
    bool replacesAnswer() const;
};

struct Settings {
    qint64 expiresIn = 3600;  // seconds, for issued access tokens
    qint64 limit = 50;        // requests per period
};

class StandIn {
public:
    explicit StandIn(Settings settings);
    ~StandIn();

    // Routes everything on `server`; `server` must outlive this object's use of it.
    void install(httplib::Server& server);
    // Ends every silent answer so that the server can stop.
    void shutDown();

private:
    struct Grant {
        QString challenge;
        QString redirectURI;
        QString clientID;
        std::chrono::steady_clock::time_point expires;
    };

    using Handler = void (StandIn::*)(const httplib::Request&, httplib::Response&);

    // Picks the fault of this request (its own header, else the first queued one for its path).
    void selectFault(const httplib::Request& request);
    void record(const httplib::Request& request);
    // Answers through the request's fault, if any, else through `handler` (none: 404).
    void answer(const httplib::Request& request, httplib::Response& response, Handler handler);
    void decorate(const Fault& fault, httplib::Response& response);

    void authorize(const httplib::Request& request, httplib::Response& response);
    void token(const httplib::Request& request, httplib::Response& response);
    void improve(const httplib::Request& request, httplib::Response& response);
    void account(const httplib::Request& request, httplib::Response& response);
    void control(const httplib::Request& request, httplib::Response& response);

    QJsonObject issueTokens();                         // with mutex_ held
    bool authorized(const httplib::Request& request);  // with mutex_ held
    QJsonObject usage() const;                         // with mutex_ held
    void answerSilently();
    void answerWith(const Fault& fault, httplib::Response& response);

    std::mutex mutex_;
    Settings settings_;
    qint64 used_ = 0;
    QString plan_ = QStringLiteral("Beta");
    std::map<QString, Grant> grants_;  // by authorization code
    std::map<QString, std::chrono::steady_clock::time_point> accessTokens_;
    std::set<QString> refreshTokens_;  // unused ones
    std::set<QString> idempotencyKeys_;
    std::deque<Fault> faults_;
    std::optional<QJsonObject> authorizationError_;
    QJsonArray requests_;
    bool shuttingDown_ = false;
    std::condition_variable shutDown_;
};

}  // namespace tidyword::standin
