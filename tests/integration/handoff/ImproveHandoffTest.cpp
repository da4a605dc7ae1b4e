// The global shortcut where the desktop runs `tidyword --improve` for it: that second process hands
// the press to the running instance, whose hot-key backend calls the handler it was given once per
// hand-off. Where the user binds the command themselves, the first hand-off is what proves it
// bound.
#include "platform/linux/CommandHotKeys.h"
#include "platform/linux/SystemBrowserAuthenticator.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::HotKeys;
using platform::linux_desktop::CommandHotKeys;
using platform::linux_desktop::SystemBrowserAuthenticator;

constexpr HotKeys::Identifier kIdentifier{0x54445957, 1};
constexpr quint16 kKeyD = 2;
constexpr quint32 kOptionShift = 0x800 | 0x200;

struct Outcome {
    int status = -1;
    QString complaint;
};

// Runs `tidyword --improve` and waits for it to end.
Outcome improve() {
    QProcess second;
    second.start(QStringLiteral(TIDYWORD_EXECUTABLE), {u"--improve"_s});
    test::runEventLoopUntil([&second] { return second.state() == QProcess::NotRunning; });
    return {second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1,
            QString::fromUtf8(second.readAllStandardError())};
}

// The running instance as main() wires it where the user binds the command: the hand-off goes to
// the backend, and a refused chord is registered again by its owner.
class ImproveHandoffTest : public ::testing::Test {
protected:
    ImproveHandoffTest() {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
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

    QTemporaryDir runtime;
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
            const Outcome outcome = improve();
            EXPECT_EQ(outcome.status, 0) << row.name << ": " << outcome.complaint.toStdString();
            // The instance acts on a request before its answer leaves: once the second process
            // has ended, the press has happened.
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
    EXPECT_EQ(improve().status, 0);
    EXPECT_EQ(presses.size(), expected);
}

}  // namespace
}  // namespace tidyword
