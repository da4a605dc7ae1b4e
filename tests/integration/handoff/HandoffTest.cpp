// A second `tidyword` process hands what it was started for to the running instance. The sign-in
// callback's way back on Linux: the instance takes the URL only for a waiting attempt of its
// scheme. A start without a URL asks it to show itself. And the global shortcut where the desktop
// runs `tidyword --improve` for it: each such process is one press for the instance's hot-key
// backend, and where the user binds the command themselves, the first is what proves it bound.
// Without an instance that confirms it, the second process fails and says why.
#include "platform/linux/CommandHotKeys.h"
#include "platform/linux/SystemBrowserAuthenticator.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::HotKeys;
using platform::WebAuthenticator;
using platform::linux_desktop::CallbackReceiver;
using platform::linux_desktop::CommandHotKeys;
using platform::linux_desktop::defaultCallbackSocket;
using platform::linux_desktop::Delivery;
using platform::linux_desktop::describe;
using platform::linux_desktop::improveRequest;
using platform::linux_desktop::SystemBrowserAuthenticator;

const QUrl kCallback(u"com.tidyword.beta://oauth/callback?state=S&code=C%2B1"_s);

// A runtime directory of the test's own, where both processes look for the socket as they would
// in the desktop's.
struct RuntimeDirectory {
    RuntimeDirectory() { qputenv("XDG_RUNTIME_DIR", directory.path().toUtf8()); }
    QTemporaryDir directory;
};

struct Second {
    int status = -1;
    QString complaint;  // what it said on standard error
};

// Runs a second tidyword with `arguments` until it ends. The instance acts on what it is handed
// before its answer leaves: once the second process has ended, it has.
Second runSecond(const QStringList& arguments) {
    QProcess second;
    second.start(QStringLiteral(TIDYWORD_EXECUTABLE), arguments);
    test::runEventLoopUntil([&second] { return second.state() == QProcess::NotRunning; });
    return {second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1,
            QString::fromUtf8(second.readAllStandardError())};
}

class CallbackHandoffTest : public ::testing::Test {
protected:
    int handOff(const QUrl& url) {
        const Second second = runSecond({QString::fromUtf8(url.toEncoded())});
        complaint = second.complaint;
        return second.status;
    }

    QString complaint;

    RuntimeDirectory runtime;  // first: the authenticator listens in it
    QList<QUrl> opened;
    SystemBrowserAuthenticator authenticator{[this](const QUrl& url) {
        opened << url;
        return true;
    }};
    QList<WebAuthenticator::Outcome> reports;
    WebAuthenticator::Report record = [this](const WebAuthenticator::Outcome& outcome) {
        reports << outcome;
    };
};

// Other schemes, callbacks nobody waits for and an attempt closed change nothing; the waiting
// attempt has one report. The socket is for this user only.
TEST_F(CallbackHandoffTest, OnlyTheWaitingAttemptHearsItsCallbackAndOnlyOnce) {
    const QFileInfo socket(defaultCallbackSocket());
    ASSERT_TRUE(socket.exists());
    EXPECT_FALSE(socket.permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
    auto closed =
        authenticator.start(QUrl(u"https://login.example/"_s), u"com.tidyword.beta"_s, record);
    closed.reset();
    EXPECT_EQ(handOff(kCallback), 0);
    const QUrl authorize(u"https://login.example/authorize?state=S"_s);
    const auto attempt = authenticator.start(authorize, u"com.tidyword.beta"_s, record);
    ASSERT_NE(attempt, nullptr);
    EXPECT_EQ(opened.back(), authorize);
    EXPECT_EQ(handOff(QUrl(u"https://evil.example/oauth/callback?code=C"_s)), 0);
    // The tab of an earlier attempt finishes after this one began.
    EXPECT_EQ(handOff(QUrl(u"com.tidyword.beta://oauth/callback?state=EARLIER&code=C"_s)), 0);
    EXPECT_TRUE(reports.isEmpty());

    EXPECT_EQ(handOff(kCallback), 0);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(std::get<QUrl>(reports[0]), kCallback);
    EXPECT_EQ(handOff(kCallback), 0);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(CallbackHandoffTest, ASecondStartShowsTheRunningInstance) {
    int reopened = 0;
    authenticator.setReopenHandler([&reopened] { ++reopened; });
    const auto attempt =
        authenticator.start(QUrl(u"https://login.example/"_s), u"com.tidyword.beta"_s, record);
    EXPECT_EQ(runSecond({}).status, 0);
    EXPECT_EQ(reopened, 1);
    EXPECT_TRUE(reports.isEmpty());  // a sign-in in progress goes on waiting

    EXPECT_EQ(runSecond({u"--no-such-option"_s}).status, 2);
    EXPECT_EQ(reopened, 1);
}

// A callback URL of `length` encoded characters.
QUrl callbackOfLength(qint64 length) {
    QByteArray encoded = kCallback.toEncoded() + "&pad=";
    encoded.append(length - encoded.size(), 'a');
    return QUrl::fromEncoded(encoded);
}

TEST_F(CallbackHandoffTest, ACallbackPastTheBoundIsRefusedAndSaysSo) {
    const auto attempt =
        authenticator.start(QUrl(u"https://login.example/"_s), u"com.tidyword.beta"_s, record);
    const qint64 bound = CallbackReceiver::maximumURLLength;

    const QUrl tooLong = callbackOfLength(bound + 1);
    EXPECT_EQ(handOff(tooLong), 1);
    EXPECT_EQ(complaint, describe(Delivery::refused) + u'\n');
    EXPECT_TRUE(reports.isEmpty());

    const QUrl longest = callbackOfLength(bound);
    EXPECT_EQ(handOff(longest), 0);
    EXPECT_EQ(complaint, QString());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(std::get<QUrl>(reports[0]), longest);
}

constexpr HotKeys::Identifier kIdentifier{0x54445957, 1};
constexpr quint16 kKeyD = 2;
constexpr quint32 kOptionShift = 0x800 | 0x200;

// The running instance as main() wires it where the user binds the command: the hand-off goes to
// the backend, and a refused chord is registered again by its owner.
class ImproveHandoffTest : public ::testing::Test {
protected:
    ImproveHandoffTest() {
        authenticator =
            std::make_unique<SystemBrowserAuthenticator>([](const QUrl&) { return true; });
        authenticator->setReopenHandler([this] { ++reopened; });
        authenticator->setImproveHandler([this] { hotKeys.handOff(); });
        hotKeys.setRegisterAgain([this] { registerChord(); });
        handler = hotKeys
                      .installHandler([this](std::optional<HotKeys::Identifier> pressed) {
                          presses << pressed;
                          return HotKeys::success;
                      })
                      .second;
    }

    HotKeys::Status registerChord() {
        auto [status, registration] = hotKeys.registerHotKey(kKeyD, kOptionShift, kIdentifier);
        chord = std::move(registration);
        return status;
    }

    RuntimeDirectory runtime;
    CommandHotKeys hotKeys{QStringLiteral(TIDYWORD_EXECUTABLE), nullptr};
    std::unique_ptr<SystemBrowserAuthenticator> authenticator;
    std::unique_ptr<HotKeys::Registration> handler;
    std::unique_ptr<HotKeys::Registration> chord;
    QList<std::optional<HotKeys::Identifier>> presses;
    int reopened = 0;
};

TEST_F(ImproveHandoffTest, EachHandOffIsOnePressAndTheFirstProvesTheBinding) {
    // Nothing has run the command yet: the chord is refused, and the message names the command.
    ASSERT_EQ(registerChord(), HotKeys::commandNotBound);
    EXPECT_EQ(chord, nullptr);
    EXPECT_EQ(hotKeys.statusSubject(HotKeys::commandNotBound),
              QStringLiteral(TIDYWORD_EXECUTABLE) + u" --improve"_s);

    const struct {
        const char* name;
        int handOffs;
    } rows[] = {{"the first hand-off, which registers the refused chord", 1},
                {"three more, on the chord now registered", 3}};
    qsizetype expected = 0;
    for (const auto& row : rows) {
        for (int handOff = 0; handOff < row.handOffs; ++handOff) {
            const Second second = runSecond({u"--improve"_s});
            EXPECT_EQ(second.status, 0) << row.name << ": " << second.complaint.toStdString();
            EXPECT_EQ(presses.size(), ++expected) << row.name;
        }
        EXPECT_TRUE(std::all_of(presses.cbegin(), presses.cend(), [](const auto& pressed) {
            return pressed == kIdentifier;
        })) << row.name;
        EXPECT_NE(chord, nullptr) << row.name;
        EXPECT_EQ(reopened, 0) << row.name;
    }
    EXPECT_EQ(registerChord(), HotKeys::success);

    // Without a handler, a hand-off presses nothing.
    handler.reset();
    EXPECT_EQ(runSecond({u"--improve"_s}).status, 0);
    EXPECT_EQ(presses.size(), expected);
}

// Whatever listens must say it took the request: one that reads it and hangs up may have dropped
// it.
TEST(HandoffWithoutInstanceTest, TheSecondProcessFailsAndSaysWhy) {
    const QString callback = QString::fromUtf8(kCallback.toEncoded());
    const struct {
        const char* name;
        QString argument;
        bool silentListener;
        QString complaint;
    } rows[] = {
        {"a callback, no instance", callback, false, describe(Delivery::notRunning)},
        {"a callback, a listener that does not confirm", callback, true,
         describe(Delivery::unconfirmed)},
        {"--improve, no instance", u"--improve"_s, false,
         describe(Delivery::notRunning, improveRequest())},
    };
    for (const auto& row : rows) {
        const RuntimeDirectory runtime;
        QLocalServer silent;
        if (row.silentListener) {
            ASSERT_TRUE(silent.listen(defaultCallbackSocket())) << row.name;
            QObject::connect(&silent, &QLocalServer::newConnection, &silent, [&silent] {
                QLocalSocket* connection = silent.nextPendingConnection();
                QObject::connect(connection, &QLocalSocket::readyRead, connection,
                                 [connection] { connection->disconnectFromServer(); });
            });
        }
        const Second second = runSecond({row.argument});
        EXPECT_EQ(second.status, 1) << row.name;
        EXPECT_EQ(second.complaint, row.complaint + u'\n') << row.name;
    }
}

TEST(BrowserOpeningTest, BrowserThatCannotOpenMeansNoAttempt) {
    const RuntimeDirectory runtime;
    SystemBrowserAuthenticator authenticator([](const QUrl&) { return false; });
    EXPECT_EQ(authenticator.start(QUrl(u"https://login.example/"_s), u"com.tidyword.beta"_s,
                                  [](const WebAuthenticator::Outcome&) {}),
              nullptr);
}

}  // namespace
}  // namespace tidyword
