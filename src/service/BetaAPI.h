// The client of the editing service: "v1/improve" and "v1/account", with every input checked
// before anything is sent, every status mapped to a BetaError, and every success body validated.
#pragma once

#include "async/Cancellation.h"
#include "service/BetaConfig.h"
#include "service/EditMode.h"
#include "service/HTTP.h"

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <optional>

namespace tidyword {

// The user's quota: the "usage" of an improve result, and the whole answer of "v1/account".
struct BetaUsage {
    QString plan;
    qint64 limit = 0;
    qint64 used = 0;
    qint64 remaining = 0;
    QString resetsAt;  // as received; read with resetDate

    // An internet date-time with seconds and "Z" or an offset, optionally with fractional
    // seconds; none for any other form.
    static std::optional<QDateTime> resetDate(const QString& text);

    friend bool operator==(const BetaUsage&, const BetaUsage&) = default;
};

struct BetaEditResult {
    QString text;  // as received, untrimmed
    BetaUsage usage;
    QString requestID;

    friend bool operator==(const BetaEditResult&, const BetaEditResult&) = default;
};

// The JSON body of an improve request.
struct EditBody {
    QString text;
    EditMode mode;
    QString customInstruction;  // sent only for `custom`; the empty text otherwise

    QByteArray toJson() const;
};

class BetaAPI {
public:
    static constexpr qsizetype maximumTextScalars = 4'000;
    static constexpr qsizetype maximumInstructionScalars = 2'000;
    static constexpr qsizetype maximumRequestBody = 40'000;
    static constexpr qsizetype maximumResponseBody = 1'048'576;
    static constexpr qsizetype maximumResultScalars = 16'000;
    static constexpr qsizetype maximumTokenLength = 65'536;
    static constexpr std::chrono::seconds requestTimeout{45};

    BetaAPI(BetaConfig config, HTTPTransport transport);

    // Throws BetaError (input, status and validation failures, and the transport's), or
    // Cancelled. `requestID` goes out as the "Idempotency-Key" and must come back in the result.
    QCoro::Task<BetaEditResult> improve(QString text, EditMode mode, QString customInstruction,
                                        QString token, QUuid requestID,
                                        CancellationToken cancellation = {}) const;
    QCoro::Task<BetaUsage> account(QString token, CancellationToken cancellation = {}) const;

    // Whether `token` may travel in a header: 1 to 65,536 characters of visible ASCII.
    static bool validToken(const QString& token);

private:
    // The operations copy the client into their own frame, so a temporary BetaAPI may be awaited.
    static QCoro::Task<BetaEditResult> improveWith(BetaAPI api, QString text, EditMode mode,
                                                   QString customInstruction, QString token,
                                                   QUuid requestID, CancellationToken cancellation);
    static QCoro::Task<BetaUsage> accountWith(BetaAPI api, QString token,
                                              CancellationToken cancellation);
    // The request path both share; returns the success body.
    QCoro::Task<QByteArray> send(QString path, QString token, std::optional<QByteArray> body,
                                 std::optional<QUuid> requestID,
                                 CancellationToken cancellation) const;

    BetaConfig config_;
    HTTPTransport transport_;
};

}  // namespace tidyword
