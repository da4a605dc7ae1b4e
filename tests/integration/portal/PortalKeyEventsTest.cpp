// The paste keys through a RemoteDesktop portal that answers as the test says (a stand-in on a
// private bus): what a refusal and a cancelled dialog give, and that the user's consent is
// remembered where the portal can (its restore token, kept in the secret store).
#include "platform/linux/PortalKeyEvents.h"
#include "platform/sim/SimulatedDesktop.h"
#include "platform/sim/SimulatedSecretStore.h"
#include "platform/sim/VirtualClock.h"
#include "support/EventLoop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using Posted = KeyEvents::Posted;
using sim::SimulatedDesktop;
using sim::SimulatedSecretStore;
using sim::VirtualClock;
using Shortcut = KeyEvents::Shortcut;

constexpr qint32 kEditor = 42;

class FakePortal {
public:
    FakePortal(int version, int startResponse) {
        portal_.start(QStringLiteral(TIDYWORD_FAKE_PORTAL),
                      {record(), u"--version"_s, QString::number(version), u"--start-response"_s,
                       QString::number(startResponse)});
        test::pollUntil([] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                u"org.freedesktop.portal.Desktop"_s);
        });
    }
    ~FakePortal() {
        portal_.kill();
        portal_.waitForFinished();
        // The next row's portal takes the name only once the bus has let this one's go.
        test::pollUntil([] {
            return !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                u"org.freedesktop.portal.Desktop"_s);
        });
    }
    FakePortal(const FakePortal&) = delete;
    FakePortal& operator=(const FakePortal&) = delete;

    // What the portal was asked, in order.
    QList<QJsonObject> requests() const {
        QFile file(record());
        QList<QJsonObject> lines;
        if (file.open(QIODevice::ReadOnly)) {
            while (!file.atEnd()) {
                lines << QJsonDocument::fromJson(file.readLine()).object();
            }
        }
        return lines;
    }
    QStringList keys() const {
        QStringList pressed;
        for (const QJsonObject& line : requests()) {
            if (line.contains(u"key")) {
                pressed << u"%1%2"_s.arg(line[u"pressed"].toInt() ? u"+" : u"-")
                               .arg(line[u"key"].toInt(), 0, 16);
            }
        }
        return pressed;
    }
    QJsonObject optionsOf(const QString& method, int occurrence = 0) const {
        for (const QJsonObject& line : requests()) {
            if (line[u"method"] == method && occurrence-- == 0) {
                return line[u"options"].toObject();
            }
        }
        return {};
    }
    int closedSessions() const {
        int closed = 0;
        for (const QJsonObject& line : requests()) {
            closed += line.contains(u"closed") ? 1 : 0;
        }
        return closed;
    }

private:
    QString record() const { return directory_.filePath(u"record"_s); }

    QTemporaryDir directory_;
    QProcess portal_;
};

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
        EXPECT_EQ(keys->post(Shortcut::paste, kEditor), row.posted);
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
        EXPECT_EQ(keys->post(row.shortcut, kEditor), Posted::no);
        EXPECT_TRUE(portal.requests().isEmpty());
    }
}

TEST_F(PortalKeyEventsTest, AConsentTheUserGaveIsRestoredNextTime) {
    const FakePortal portal(2, 0);
    const auto keys = PortalKeyEvents::open(desktop, &store);
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(keys->post(Shortcut::paste, kEditor), Posted::yes);
    ASSERT_EQ(keys->post(Shortcut::paste, kEditor), Posted::yes);

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
