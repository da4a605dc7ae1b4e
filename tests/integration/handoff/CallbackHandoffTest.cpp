// The sign-in callback's way back on Linux: a second `tidyword` process hands the URL to the
// running instance, which takes it only for a waiting attempt of its scheme. A second start
// without a URL asks the running instance to show itself. Without an instance that confirms it,
// the second process fails and says why.
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

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using platform::WebAuthenticator;
using platform::linux_desktop::CallbackReceiver;
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

class CallbackHandoffTest : public ::testing::Test {
protected:
    int handOff(const QUrl& url) { return startSecond({QString::fromUtf8(url.toEncoded())}); }

    // Runs a second tidyword with `arguments` and returns its exit status; what it said on
    // standard error is kept in `complaint`.
    int startSecond(const QStringList& arguments) {
        QProcess second;
        second.start(QStringLiteral(TIDYWORD_EXECUTABLE), arguments);
        test::runEventLoopUntil([&second] { return second.state() == QProcess::NotRunning; });
        test::processEventsFor(50ms);  // the instance reads what was handed over
        complaint = QString::fromUtf8(second.readAllStandardError());
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
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
    EXPECT_EQ(startSecond({}), 0);
    EXPECT_EQ(reopened, 1);
    EXPECT_TRUE(reports.isEmpty());  // a sign-in in progress goes on waiting

    EXPECT_EQ(startSecond({u"--no-such-option"_s}), 2);
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
        QProcess second;
        second.start(QStringLiteral(TIDYWORD_EXECUTABLE), {row.argument});
        test::runEventLoopUntil([&second] { return second.state() == QProcess::NotRunning; });
        EXPECT_EQ(second.exitCode(), 1) << row.name;
        EXPECT_EQ(QString::fromUtf8(second.readAllStandardError()), row.complaint + u'\n')
            << row.name;
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
