// One HTTP exchange as the service client and the sign-in see it, and the replaceable function
// that carries it out (BetaHTTP in the application, a double in tests).
#pragma once

#include "async/Cancellation.h"
#include "service/BetaError.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

namespace tidyword {

using HTTPHeaders = QList<QPair<QByteArray, QByteArray>>;

struct HTTPRequest {
    QByteArray method;
    QUrl url;
    HTTPHeaders headers;
    std::optional<QByteArray> body;
    // The longest wait for more data, in either direction.
    std::chrono::milliseconds timeout{45'000};
    // The largest response body the caller accepts; a longer one is not read beyond it.
    qsizetype maximumBodySize = 1'048'576;
};

struct HTTPResponse {
    int status = 0;  // 0 when the answer was not an HTTP response
    HTTPHeaders headers;
    QByteArray body;
    // The body would have crossed maximumBodySize: the transfer was stopped and `body` is empty.
    bool bodyTooLarge = false;

    // Whether this is an HTTP answer whose body was read whole within `maximumBodySize`.
    bool isReadable(qsizetype maximumBodySize) const {
        return status != 0 && !bodyTooLarge && body.size() <= maximumBodySize;
    }

    // The first header of that name (compared case-insensitively), or none.
    std::optional<QByteArray> header(const QByteArray& name) const;
};

// Sends one request. Throws BetaError(network) or BetaError(timedOut) when the transfer fails,
// Cancelled when `token` is cancelled first; any HTTP status is a normal return.
using HTTPTransport = std::function<QCoro::Task<HTTPResponse>(HTTPRequest, CancellationToken)>;

// Sends `request` with no wait longer than `timeout` and no body read past `maximumBodySize`,
// and returns an HTTP answer read whole within that bound (any status); throws
// BetaError(`unreadable`) for anything else, and what the transport throws.
QCoro::Task<HTTPResponse> sendBounded(const HTTPTransport& transport, HTTPRequest request,
                                      std::chrono::milliseconds timeout, qsizetype maximumBodySize,
                                      BetaError::Code unreadable, CancellationToken cancellation);

}  // namespace tidyword
