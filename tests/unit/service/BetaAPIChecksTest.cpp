// The service client's own checks, with a transport double: what never reaches the network,
// and the reading of reset dates.
#include "service/BetaAPI.h"
#include "service/BetaError.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;

const QUuid kRequestID = QUuid::fromString(u"8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60"_s);

// Answers every request with a valid improve result and counts what it was asked.
struct CountingTransport {
    int requests = 0;
    CancellationSource* cancelAfterAnswer = nullptr;

    HTTPTransport transport() {
        return [this](HTTPRequest, CancellationToken) -> QCoro::Task<HTTPResponse> {
            ++requests;
            if (cancelAfterAnswer) {
                cancelAfterAnswer->cancel();
            }
            co_return HTTPResponse{
                200,
                {},
                R"({"text":"Fixed.","request_id":"8F0E5C1A-3B2D-4C5E-9F7A-1B2C3D4E5F60",)"
                R"("usage":{"plan":"Beta","limit":5,"used":1,"remaining":4,)"
                R"("resets_at":"2027-01-01T00:00:00Z"}})",
                false};
        };
    }
};

const QString kToken = u"token-123"_s;
const QString kEmoji = u"\U0001F600"_s;

struct InputCase {
    const char* name;
    std::optional<BetaError::Code> error = {};  // none: the request is sent
    QString text = u"hello"_s;
    EditMode mode = EditMode::grammar;
    QString instruction = {};
    QString token = kToken;

    friend void PrintTo(const InputCase& row, std::ostream* out) { *out << row.name; }
};

class BetaAPIInputTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(BetaAPIInputTest, InputsAreCheckedBeforeAnythingIsSent) {
    const auto& input = GetParam();
    CountingTransport transport;
    const BetaAPI api(BetaConfig{}, transport.transport());
    const auto error = test::codeThrownBy<BetaError>([&] {
        test::runToCompletion(
            api.improve(input.text, input.mode, input.instruction, input.token, kRequestID));
    });
    EXPECT_EQ(error, input.error);
    EXPECT_EQ(transport.requests, input.error ? 0 : 1);
}

constexpr auto custom = EditMode::custom;
constexpr auto instruction = BetaError::customInstruction;
constexpr auto signIn = BetaError::signInRequired;

const InputCase kInputs[] = {
    {.name = "Plain"},
    {.name = "Blank", .error = BetaError::emptyInput, .text = u" \n\t\r "_s},
    {.name = "Empty", .error = BetaError::emptyInput, .text = {}, .mode = EditMode::clearer},
    {.name = "Emoji4000", .text = kEmoji.repeated(4'000)},
    {.name = "Emoji4001", .error = BetaError::inputTooLong, .text = kEmoji.repeated(4'001)},
    {.name = "CustomBlankInstruction",
     .error = instruction,
     .mode = custom,
     .instruction = u"  \n"_s},
    {.name = "CustomInstruction2000", .mode = custom, .instruction = kEmoji.repeated(2'000)},
    {.name = "CustomInstruction2001",
     .error = instruction,
     .mode = custom,
     .instruction = kEmoji.repeated(2'001)},
    {.name = "OtherModeIgnoresInstruction",
     .mode = EditMode::shorter,
     .instruction = kEmoji.repeated(3'000)},
    // Every character escaped, at both limits: the largest body there can be stays below
    // 40,000 bytes and is sent.
    {.name = "LargestPossibleBody",
     .text = QString(4'000, QChar(1)),
     .mode = custom,
     .instruction = QString(2'000, QChar(1))},
    {.name = "EmptyToken", .error = signIn, .token = {}},
    {.name = "TokenWithSpace", .error = signIn, .token = u"a b"_s},
    {.name = "TokenWithDelete", .error = signIn, .token = u"ab\u007F"_s},
    {.name = "Token65536", .token = QString(65'536, u'a')},
    {.name = "Token65537", .error = signIn, .token = QString(65'537, u'a')},
};

INSTANTIATE_TEST_SUITE_P(Inputs, BetaAPIInputTest, ::testing::ValuesIn(kInputs), test::rowName);

// Every character escaped, at both limits, and the custom instruction in the body.
TEST(BetaAPIChecksTest, WorstCaseBodyStaysUnderTheLimit) {
    const QByteArray body =
        EditBody{QString(4'000, QChar(1)), EditMode::custom, QString(2'000, QChar(1))}.toJson();
    EXPECT_GT(body.size(), 36'000);
    EXPECT_LE(body.size(), BetaAPI::maximumRequestBody);
}

TEST(BetaAPIChecksTest, CancellationWhileTheAnswerArrivesWins) {
    CountingTransport transport;
    CancellationSource cancellation;
    transport.cancelAfterAnswer = &cancellation;
    const BetaAPI api(BetaConfig{}, transport.transport());
    EXPECT_THROW(test::runToCompletion(api.improve(u"hello"_s, EditMode::grammar, {}, kToken,
                                                   kRequestID, cancellation.token())),
                 Cancelled);
}

TEST(BetaAPIChecksTest, ResetDateReadsInternetDateTimesOnly) {
    const auto utc = [](int day, int hour, int minute, int second, int ms = 0) {
        return QDateTime(QDate(2027, 1, day), QTime(hour, minute, second, ms), Qt::UTC);
    };
    const struct {
        const char* text;
        std::optional<QDateTime> expected;
    } cases[] = {
        {"2027-01-01T00:00:00Z", utc(1, 0, 0, 0)},
        {"2027-01-01T01:30:00+01:30", utc(1, 0, 0, 0)},
        {"2027-01-01T00:00:00-05:00", utc(1, 5, 0, 0)},
        {"2027-01-01T00:00:00.5Z", utc(1, 0, 0, 0, 500)},
        {"2027-01-01T00:00:00.123456Z", utc(1, 0, 0, 0, 123)},
        {"2027-01-01T00:00:00", std::nullopt},
        {"2027-01-01T00:00:00+0100", std::nullopt},
        {"2027-02-30T00:00:00Z", std::nullopt},
        {"2027-01-01T24:00:00Z", std::nullopt},
        {"2027-01-01T00:00:00.Z", std::nullopt},
        {"2027-01-01T00:00:00Z\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(BetaUsage::resetDate(QString::fromLatin1(text)), expected) << text;
    }
}

}  // namespace
}  // namespace tidyword
