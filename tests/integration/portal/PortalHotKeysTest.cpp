// The system-wide shortcut through a GlobalShortcuts portal that answers as the test says (a
// stand-in on a private bus): named to the portal first, bound once per session with the chord
// as the preferred trigger, a press reaching the one handler, and a refusal reported.
#include "integration/portal/FakePortal.h"
#include "platform/linux/CommandHotKeys.h"
#include "platform/linux/FallbackHotKeys.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/PortalHotKeys.h"
#include "platform/linux/PortalRequest.h"

#include <QJsonArray>

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::FakePortal;

// Alt+Shift+D, and Control+Command+Space, in the seam's Mac key codes and masks.
constexpr quint16 kKeyD = 2;
constexpr quint16 kSpace = 49;
constexpr quint32 kAltShift = 0x0800 | 0x0200;
constexpr quint32 kControlCommand = 0x1000 | 0x0100;

TEST(PortalHotKeysTest, TriggersUseThePortalsModifierAndKeyNames) {
    EXPECT_EQ(PortalHotKeys::triggerOf(kKeyD, kAltShift), "ALT+SHIFT+d");
    EXPECT_EQ(PortalHotKeys::triggerOf(kSpace, kControlCommand), "CTRL+LOGO+space");
    EXPECT_EQ(PortalHotKeys::triggerOf(999, kAltShift), QByteArray());
}

TEST(PortalHotKeysTest, ABoundShortcutsPressesReachTheHandlerAndARefusalSaysSo) {
    const struct {
        const char* name;
        int bindResponse;
        HotKeys::Status status;
    } cases[] = {
        {"Bound", 0, HotKeys::success},
        {"RefusedByTheUser", 1, PortalHotKeys::refused},
        {"DialogEndedOtherwise", 2, PortalHotKeys::refused},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const FakePortal portal(1, row.bindResponse);
        const auto keys = PortalHotKeys::open(u"tidyword"_s);
        ASSERT_NE(keys, nullptr);
        QList<std::optional<HotKeys::Identifier>> presses;
        const auto handler = keys->installHandler([&presses](auto identifier) {
            presses << identifier;
            return HotKeys::success;
        });
        const auto [status, registration] = keys->registerHotKey(kKeyD, kAltShift, {7, 3});
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(registration != nullptr, row.status == HotKeys::success);

        const QList<QJsonObject> asked = portal.requests();
        ASSERT_GE(asked.size(), 3);
        // The application names itself before anything else is asked of the portal.
        EXPECT_EQ(asked[0][u"registered"].toString(), u"tidyword"_s);
        QJsonArray bound;
        for (const QJsonObject& line : asked) {
            if (line[u"method"] == u"BindShortcuts"_s) {
                bound = line[u"shortcuts"].toArray();
            }
        }
        ASSERT_EQ(bound.size(), 1);
        EXPECT_EQ(bound[0][0].toString(), u"improve"_s);
        EXPECT_EQ(bound[0][1][u"preferred_trigger"].toString(), u"ALT+SHIFT+d"_s);
        EXPECT_EQ(bound[0][1][u"description"].toString(), u"Improve selected text"_s);

        // In order: once our press is heard, another shortcut's before it has been too.
        FakePortal::press(u"another"_s);
        FakePortal::press(u"improve"_s);
        if (row.status == HotKeys::success) {
            test::runEventLoopUntil([&presses] { return !presses.isEmpty(); });
        } else {
            test::processEventsFor(std::chrono::milliseconds(200));
        }
        using Presses = QList<std::optional<HotKeys::Identifier>>;
        const Presses expected =
            row.status == HotKeys::success ? Presses{HotKeys::Identifier{7, 3}} : Presses{};
        EXPECT_EQ(presses, expected);
        // A session that bound nothing is not kept.
        EXPECT_EQ(portal.closedSessions(), row.status == HotKeys::success ? 0 : 1);
    }
}

// A dialog nobody answers in time is closed, not left to answer later.
TEST(PortalRequestTest, ARequestWithoutAnAnswerInTimeIsClosed) {
    const FakePortal portal(1, -1);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(bus, nullptr);
    const PortalAnswer answer = portalRequest(
        bus, "org.freedesktop.portal.GlobalShortcuts", "BindShortcuts",
        g_variant_new_parsed("(@o '/s', @a(sa{sv}) [], '', {'handle_token': <'t1'>})"), "t1",
        std::chrono::milliseconds(300));
    g_object_unref(bus);
    EXPECT_FALSE(answer.arrived);
    EXPECT_EQ(portal.closedRequests(), 1);
}

// A session binds once: a new chord goes into a new session, and the old one is closed and
// heard no more.
TEST(PortalHotKeysTest, ANewChordBindsInANewSession) {
    const FakePortal portal(1, 0);
    const auto keys = PortalHotKeys::open(u"tidyword"_s);
    ASSERT_NE(keys, nullptr);
    int presses = 0;
    const auto handler = keys->installHandler([&presses](auto) {
        ++presses;
        return HotKeys::success;
    });
    auto first = keys->registerHotKey(kKeyD, kAltShift, {7, 3});
    ASSERT_EQ(first.first, HotKeys::success);
    auto second = keys->registerHotKey(kSpace, kControlCommand, {7, 3});
    ASSERT_EQ(second.first, HotKeys::success);
    EXPECT_EQ(portal.closedSessions(), 1);
    FakePortal::press(u"improve"_s);
    test::runEventLoopUntil([&presses] { return presses > 0; });
    EXPECT_EQ(presses, 1);
    // The first registration, destroyed late, leaves the second one bound.
    first.second.reset();
    EXPECT_EQ(portal.closedSessions(), 1);
    second.second.reset();
    EXPECT_EQ(portal.closedSessions(), 2);
}

// The portal holds the chord while it binds it; after its first failure the command does, and
// the portal is not asked again in that run.
TEST(FallbackHotKeysTest, TheCommandHoldsTheChordOnceThePortalFails) {
    for (const auto& [name, bindResponse] : {std::pair{"PortalBinds", 0}, {"UserRefuses", 1}}) {
        SCOPED_TRACE(name);
        const FakePortal portal(1, bindResponse);
        CommandHotKeys command(u"/usr/bin/tidyword"_s, nullptr);
        FallbackHotKeys keys(PortalHotKeys::open(u"tidyword"_s), command);
        int presses = 0;
        const auto handler = keys.installHandler([&presses](auto) {
            ++presses;
            return HotKeys::success;
        });
        const bool binds = bindResponse == 0;
        std::unique_ptr<HotKeys::Registration> registration;
        for (const auto& chord : {std::pair{kKeyD, kAltShift}, {kSpace, kControlCommand}}) {
            registration.reset();
            HotKeys::Status status = 0;
            std::tie(status, registration) = keys.registerHotKey(chord.first, chord.second, {7, 3});
            // Without a hand-off yet, nothing proves that the user has bound the command.
            EXPECT_EQ(status, binds ? HotKeys::success : HotKeys::commandNotBound);
            EXPECT_EQ(keys.fellBack(), !binds);
        }
        // The first hand-off proves the binding: the refused chord is registered again.
        command.setRegisterAgain([&] {
            registration = keys.registerHotKey(kSpace, kControlCommand, {7, 3}).second;
        });
        // The desktop presses the portal's shortcut, and runs the command where it is bound.
        FakePortal::press(u"improve"_s);
        if (!binds) {
            command.handOff();
        }
        test::runEventLoopUntil([&presses] { return presses == 1; });
        int binding = 0;
        for (const QJsonObject& line : portal.requests()) {
            binding += line[u"method"] == u"BindShortcuts"_s ? 1 : 0;
        }
        EXPECT_EQ(binding, binds ? 2 : 1);
    }
}

// A GNOME session whose portal offers GlobalShortcuts with the host registry: the application
// takes the chord through the portal, and through GNOME's custom shortcut where it refuses.
TEST(FallbackHotKeysTest, OnGnomeThePortalGoesFirstAndItsCustomShortcutAfter) {
    for (const auto& [name, bindResponse] : {std::pair{"PortalBinds", 0}, {"UserRefuses", 1}}) {
        SCOPED_TRACE(name);
        const FakePortal portal(1, bindResponse);
        const QByteArray names[] = {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP"};
        std::optional<QByteArray> saved[3];
        for (const auto& [index, value] :
             {std::pair{0, "wayland"}, {1, "wayland-absent"}, {2, "GNOME"}}) {
            if (qEnvironmentVariableIsSet(names[index])) {
                saved[index] = qgetenv(names[index]);
            }
            qputenv(names[index], value);
        }
        LinuxDesktop desktop;
        for (int index = 0; index < 3; ++index) {
            saved[index] ? qputenv(names[index], *saved[index]) : qunsetenv(names[index]);
        }
        ASSERT_EQ(desktop.session().shortcut, DesktopSession::Shortcut::globalShortcutsPortal);
        const auto [status, registration] =
            desktop.hotKeys().registerHotKey(kKeyD, kAltShift, {7, 3});
        const bool binds = bindResponse == 0;
        EXPECT_EQ(status == HotKeys::success, binds);
        EXPECT_EQ(desktop.shortcutThroughCommand(), !binds);
        ASSERT_NE(desktop.commandHotKeys(), nullptr);
        EXPECT_TRUE(desktop.commandHotKeys()->canAddGnomeShortcut());
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
