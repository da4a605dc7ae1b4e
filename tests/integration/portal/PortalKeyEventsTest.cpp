// The paste keys through a RemoteDesktop portal that answers as the test says (a stand-in on a
// private bus): what a refusal and a cancelled dialog give, and that the user's consent is
// remembered where the portal can (its restore token, kept in the secret store).
#include "integration/portal/FakePortal.h"
#include "platform/linux/PortalKeyEvents.h"
#include "platform/sim/SimulatedDesktop.h"
#include "platform/sim/SimulatedSecretStore.h"
#include "platform/sim/VirtualClock.h"
#include "support/EventLoop.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using Posted = KeyEvents::Posted;
using sim::SimulatedDesktop;
using sim::SimulatedSecretStore;
using sim::VirtualClock;
using test::FakePortal;
using Shortcut = KeyEvents::Shortcut;

constexpr qint32 kEditor = 42;

class PortalKeyEventsTest : public ::testing::Test {
protected:
    PortalKeyEventsTest() {
        desktop.addApplication({kEditor, u"org.example.editor"_s, u"Editor"_s, {}});
        desktop.setFrontmost(kEditor);
    }

    VirtualClock clock;
    SimulatedDesktop desktop{clock};
    SimulatedSecretStore store;
};

TEST_F(PortalKeyEventsTest, OnlyAGrantedSessionTypesAndEverySessionIsClosed) {
    const struct {
        const char* name;
        int startResponse;
        Posted posted;
        QStringList keys;
    } cases[] = {
        {"Granted", 0, Posted::yes, {u"+ffe3"_s, u"+76"_s, u"-76"_s, u"-ffe3"_s}},
        {"RefusedByTheUser", 1, Posted::refusedByUser, {}},
        {"DialogEndedOtherwise", 2, Posted::no, {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const FakePortal portal(1, row.startResponse);
        const auto keys = PortalKeyEvents::open(desktop, &store);
        ASSERT_NE(keys, nullptr);
        EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, kEditor)), row.posted);
        EXPECT_EQ(portal.keys(), row.keys);
        EXPECT_EQ(portal.closedSessions(), 1);
        // The first version of the portal cannot remember a consent: nothing is asked of it.
        EXPECT_FALSE(portal.optionsOf(u"SelectDevices"_s).contains(u"persist_mode"));
        EXPECT_TRUE(store.items().isEmpty());
    }
}

// No session is opened, nor a key pressed, for an application not in front, nor for a copy
// while nothing can tell whether the user still holds the shortcut's modifiers.
TEST_F(PortalKeyEventsTest, NoSessionIsOpenedForKeysThatCouldGoAstray) {
    const struct {
        const char* name;
        bool inFront;
        Shortcut shortcut;
    } cases[] = {
        {"PasteNotInFront", false, Shortcut::paste},
        {"CopyWithoutModifierState", true, Shortcut::copy},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const FakePortal portal(1, 0);
        const auto keys = PortalKeyEvents::open(desktop, &store);
        ASSERT_NE(keys, nullptr);
        desktop.setFrontmost(row.inFront ? std::optional(kEditor) : std::nullopt);
        EXPECT_EQ(test::runToCompletion(keys->post(row.shortcut, kEditor)), Posted::no);
        EXPECT_TRUE(portal.requests().isEmpty());
    }
}

// While the user reads the consent dialog, Tidyword's event loop runs; what changed meanwhile is
// judged by the caller's last check, right before the keys.
TEST_F(PortalKeyEventsTest, TheEventLoopRunsWhileTheUserIsAskedAndTheLastCheckDecides) {
    for (const auto& [name, safe, posted, typed] : {std::tuple{"StillSafe", true, Posted::yes, 4},
                                                    {"ChangedMeanwhile", false, Posted::no, 0}}) {
        SCOPED_TRACE(name);
        const FakePortal portal(1, 0, std::chrono::milliseconds(300));
        const auto keys = PortalKeyEvents::open(desktop, &store);
        ASSERT_NE(keys, nullptr);
        bool timerRan = false;
        QTimer::singleShot(std::chrono::milliseconds(50), [&timerRan] { timerRan = true; });
        bool ranBeforeTheCheck = false;
        EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, kEditor,
                                                   [&, safe = safe] {
                                                       ranBeforeTheCheck = timerRan;
                                                       return safe;
                                                   })),
                  posted);
        EXPECT_TRUE(ranBeforeTheCheck);
        EXPECT_EQ(portal.keys().size(), typed);
        EXPECT_EQ(portal.closedSessions(), 1);
    }
}

// At the end of the process nobody will answer: the wait ends at once, and the dialog with it.
TEST_F(PortalKeyEventsTest, AnAbandonedWaitEndsUnpostedAndClosesTheDialog) {
    const FakePortal portal(1, -1);
    const auto keys = PortalKeyEvents::open(desktop, &store);
    ASSERT_NE(keys, nullptr);
    QTimer::singleShot(std::chrono::milliseconds(100), [&keys] { keys->abandonWaits(); });
    EXPECT_EQ(test::runToCompletion(keys->post(Shortcut::paste, kEditor),
                                    std::chrono::milliseconds(5000)),
              Posted::no);
    EXPECT_EQ(portal.closedRequests(), 1);
    EXPECT_EQ(portal.closedSessions(), 1);
}

TEST_F(PortalKeyEventsTest, AConsentTheUserGaveIsRestoredNextTime) {
    const FakePortal portal(2, 0);
    const auto keys = PortalKeyEvents::open(desktop, &store);
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::paste, kEditor)), Posted::yes);
    ASSERT_EQ(test::runToCompletion(keys->post(Shortcut::paste, kEditor)), Posted::yes);

    const QJsonObject first = portal.optionsOf(u"SelectDevices"_s, 0);
    EXPECT_EQ(first[u"persist_mode"].toInt(), 2);
    EXPECT_FALSE(first.contains(u"restore_token"));
    EXPECT_EQ(portal.optionsOf(u"SelectDevices"_s, 1)[u"restore_token"].toString(), u"token-1"_s);
    // The token of the last session is the one kept: each is good for one restore.
    const auto kept = store.find(PortalKeyEvents::restoreTokenItem());
    EXPECT_EQ(kept.status, SecretStore::Status::success);
    EXPECT_EQ(kept.data, "token-2");
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
