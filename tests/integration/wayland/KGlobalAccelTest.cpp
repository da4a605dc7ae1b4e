// The global shortcut through KDE's global shortcut service. On a private KWin: each preset's
// chord pressed on KWin's keyboard reaches the handler once per press, however long it is held; a
// chord is one application's at a time, refused to the other with the usual message; System
// Settings taking the chord away, or giving it back, is told. On a private bus with KDE's
// stand-alone daemon (kglobalaccel5), which binds no keys without a windowing platform but keeps
// the same books over D-Bus as KWin does: the service missing, frozen, or started again.
#include "KWinKeyboard.h"
#include "hotkey/GlobalHotKey.h"
#include "integration/desktop/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/KGlobalAccelHotKeys.h"
#include "platform/linux/LinuxDesktop.h"
#include "support/Printers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QKeyCombination>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stop_token>
#include <thread>

// Another client of KDE's global shortcut service on the session bus: it registers actions of
// its own, asks the service what it holds, plays System Settings, and counts what the service
// tells a component.
namespace tidyword::test {

// A request to the service. A busy machine gets time; the test fails rather than hangs if the
// service never answers.
inline QDBusMessage callKGlobalAccel(
    const QString& method, const QList<QVariant>& arguments,
    const QString& path = QStringLiteral("/kglobalaccel"),
    const QString& interface = QStringLiteral("org.kde.KGlobalAccel")) {
    qDBusRegisterMetaType<QList<int>>();
    qDBusRegisterMetaType<QList<QStringList>>();
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"),
                                                          path, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 10'000);
}

inline QList<int> keysIn(const QDBusMessage& reply) {
    return qdbus_cast<QList<int>>(reply.arguments().value(0));
}

// One application's action in the service's books.
struct GlobalAction {
    QString component;
    QString action;

    QStringList id() const { return {component, action, component, action}; }
    QString name() const { return component + u'/' + action; }
    // Registers the action with `keys` as Tidyword does; the keys granted.
    QList<int> take(int keys) const {
        callKGlobalAccel(QStringLiteral("doRegister"), {id()});
        return keysIn(callKGlobalAccel(QStringLiteral("setShortcut"),
                                       {id(), QVariant::fromValue(QList<int>{keys}), 2U | 4U}));
    }
    void free() const { callKGlobalAccel(QStringLiteral("unregister"), {component, action}); }
    QList<int> keys() const { return keysIn(callKGlobalAccel(QStringLiteral("shortcut"), {id()})); }
    // What System Settings does when the user gives an action of another application new keys.
    void reassign(const QList<int>& keys) const {
        callKGlobalAccel(QStringLiteral("setForeignShortcut"), {id(), QVariant::fromValue(keys)});
    }
    void invoke() const {
        callKGlobalAccel(QStringLiteral("invokeShortcut"), {action},
                         QStringLiteral("/component/") + component,
                         QStringLiteral("org.kde.kglobalaccel.Component"));
    }
    // The ids of the actions the component has registered.
    QList<QStringList> actionsOfComponent() const {
        return qdbus_cast<QList<QStringList>>(
            callKGlobalAccel(QStringLiteral("allActionsForComponent"), {id()})
                .arguments()
                .value(0));
    }
};

// The name of the action that holds `keys`; empty when none does.
inline QString holderOf(int keys) {
    const QDBusMessage reply = callKGlobalAccel(QStringLiteral("action"), {keys});
    return reply.arguments().value(0).toStringList().mid(0, 2).join(u'/');
}

// Counts what the service tells one component of its actions being pressed and released.
class ComponentSignals : public QObject {
    Q_OBJECT

public:
    explicit ComponentSignals(const QString& component) {
        const QString path = QStringLiteral("/component/") + component;
        const QString interface = QStringLiteral("org.kde.kglobalaccel.Component");
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.connect(QStringLiteral("org.kde.kglobalaccel"), path, interface,
                    QStringLiteral("globalShortcutPressed"), this,
                    SLOT(countPress(QString, QString, qlonglong)));
        bus.connect(QStringLiteral("org.kde.kglobalaccel"), path, interface,
                    QStringLiteral("globalShortcutReleased"), this,
                    SLOT(countRelease(QString, QString, qlonglong)));
    }

    int presses = 0;
    int releases = 0;

private Q_SLOTS:
    void countPress(const QString&, const QString&, qlonglong) { ++presses; }
    void countRelease(const QString&, const QString&, qlonglong) { ++releases; }
};

// A signal this process sends itself through the bus. Its return shows that Qt delivers what the
// bus sends, in order: a new connection holds messages back until the event loop has run.
class BusEcho : public QObject {
    Q_OBJECT

public:
    bool heard() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString path = QStringLiteral("/tidyword/test");
        const QString interface = QStringLiteral("org.tidyword.Test");
        bus.connect(QString(), path, interface, QStringLiteral("Echo"), this, SLOT(hear()));
        bus.send(QDBusMessage::createSignal(path, interface, QStringLiteral("Echo")));
        return eventually([this] { return heard_; });
    }

private Q_SLOTS:
    void hear() { heard_ = true; }

private:
    bool heard_ = false;
};

}  // namespace tidyword::test

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using test::holderOf;

const test::GlobalAction kOurs{KGlobalAccelHotKeys::componentUnique,
                               KGlobalAccelHotKeys::actionUnique};
const test::GlobalAction kRival{u"rival"_s, u"act"_s};  // another application's

const int kAltShiftD = (Qt::ALT | Qt::SHIFT | Qt::Key_D).toCombined();
const QList<quint32> kAltShiftDKeys{KEY_LEFTALT, KEY_LEFTSHIFT, KEY_D};

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> registerAltShiftD(
    HotKeys& hotKeys) {
    return hotKeys.registerHotKey(keyCode(ShortcutPreset::optionShiftD),
                                  hotKeyModifiers(ShortcutPreset::optionShiftD),
                                  GlobalHotKey::identifier);
}

class KGlobalAccelOnKWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(keyboard, nullptr)
            << "KWin offers no fake input: it runs with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1";
        auto [status, handler] =
            hotKeys->installHandler([this](std::optional<HotKeys::Identifier> pressed) {
                heard.append(pressed);
                return HotKeys::success;
            });
        ASSERT_EQ(status, HotKeys::success);
        handlerRegistration = std::move(handler);
        // Before Qt delivers anything on this new connection, a chord's release was seen to
        // arrive ahead of its press (which the bus had carried first).
        ASSERT_TRUE(test::BusEcho().heard());
    }
    void TearDown() override { kRival.free(); }

    // Taps the keys, and waits until kglobalaccel has told `component` that they are up again.
    bool tapped(const QList<quint32>& keys, const test::ComponentSignals& component) {
        const int released = component.releases;
        return keyboard->tap(keys) &&
               test::eventually([&] { return component.releases > released; });
    }

    QList<std::optional<HotKeys::Identifier>> heard;
    std::unique_ptr<test::KWinKeyboard> keyboard = test::KWinKeyboard::open();
    std::unique_ptr<KGlobalAccelHotKeys> hotKeys = std::make_unique<KGlobalAccelHotKeys>();
    std::unique_ptr<HotKeys::Registration> handlerRegistration;
    test::ComponentSignals toldUs{KGlobalAccelHotKeys::componentUnique};
    test::ComponentSignals toldRival{kRival.component};
};

TEST_F(KGlobalAccelOnKWinTest, EachPresetsChordReachesTheHandlerOncePerPress) {
    const struct {
        const char* name;
        ShortcutPreset preset;
        QKeyCombination chord;
        QList<quint32> keys;
    } rows[] = {
        {"Alt+Shift+D", ShortcutPreset::optionShiftD, Qt::ALT | Qt::SHIFT | Qt::Key_D,
         kAltShiftDKeys},
        {"Alt+Space",
         ShortcutPreset::optionSpace,
         Qt::ALT | Qt::Key_Space,
         {KEY_LEFTALT, KEY_SPACE}},
        {"Alt+Shift+Space",
         ShortcutPreset::optionShiftSpace,
         Qt::ALT | Qt::SHIFT | Qt::Key_Space,
         {KEY_LEFTALT, KEY_LEFTSHIFT, KEY_SPACE}},
        {"Ctrl+Alt+Space",
         ShortcutPreset::controlOptionSpace,
         Qt::CTRL | Qt::ALT | Qt::Key_Space,
         {KEY_LEFTCTRL, KEY_LEFTALT, KEY_SPACE}},
    };
    for (const auto& row : rows) {
        heard.clear();
        const auto [status, registration] = hotKeys->registerHotKey(
            keyCode(row.preset), hotKeyModifiers(row.preset), GlobalHotKey::identifier);
        ASSERT_EQ(status, HotKeys::success) << row.name;
        EXPECT_EQ(holderOf(row.chord.toCombined()), kOurs.name()) << row.name;
        ASSERT_TRUE(tapped(row.keys, toldUs)) << row.name;
        ASSERT_TRUE(tapped(row.keys, toldUs)) << row.name;
        EXPECT_EQ(heard, (QList<std::optional<HotKeys::Identifier>>{GlobalHotKey::identifier,
                                                                    GlobalHotKey::identifier}))
            << row.name;
    }
}

TEST_F(KGlobalAccelOnKWinTest, AChordHeldDownIsOnePress) {
    const auto [status, registration] = registerAltShiftD(*hotKeys);
    ASSERT_EQ(status, HotKeys::success);
    const int pressed = toldUs.presses;
    const int released = toldUs.releases;
    ASSERT_TRUE(keyboard->press(kAltShiftDKeys));
    // KWin repeats the chord while it is held: let it, a few times.
    ASSERT_TRUE(test::eventually([&] { return toldUs.presses >= pressed + 4; }));
    ASSERT_TRUE(keyboard->release(kAltShiftDKeys));
    ASSERT_TRUE(test::eventually([&] { return toldUs.releases > released; }));
    EXPECT_EQ(heard.size(), 1);
    // Once it is up, the next press counts again.
    ASSERT_TRUE(tapped(kAltShiftDKeys, toldUs));
    EXPECT_EQ(heard.size(), 2);
}

// A chord is one application's at a time: while ours holds it the rival is refused, and once our
// registration is gone the keys work for the rival; then ours is refused with the usual message,
// leaving nothing half-made for System Settings to show, until the rival lets go.
TEST_F(KGlobalAccelOnKWinTest, AChordIsOneApplicationsAtATime) {
    auto [status, registration] = registerAltShiftD(*hotKeys);
    ASSERT_EQ(status, HotKeys::success);
    ASSERT_EQ(kRival.take(kAltShiftD), QList<int>{0});
    registration.reset();
    EXPECT_EQ(kRival.take(kAltShiftD), QList<int>{kAltShiftD});
    const int rivalPresses = toldRival.presses;
    ASSERT_TRUE(tapped(kAltShiftDKeys, toldRival));
    EXPECT_EQ(toldRival.presses, rivalPresses + 1);
    EXPECT_TRUE(heard.isEmpty());

    SystemClock clock;
    GlobalHotKey hotKey(*hotKeys, clock, [] {});
    try {
        hotKey.registerPreset(ShortcutPreset::optionShiftD);
        FAIL() << "another application holds the chord";
    } catch (const HotKeyError& error) {
        EXPECT_EQ(error.errorDescription(),
                  u"Alt+Shift+D is unavailable or is already assigned to another app. Choose a "
                  u"different shortcut in Settings. (1)"_s);
    }
    EXPECT_FALSE(hotKey.isRegistered());
    EXPECT_TRUE(kOurs.actionsOfComponent().isEmpty());
    kRival.free();
    EXPECT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    EXPECT_EQ(holderOf(kAltShiftD), kOurs.name());
}

TEST_F(KGlobalAccelOnKWinTest, SystemSettingsTakingTheChordAwayOrGivingItBackIsTold) {
    SystemClock clock;
    GlobalHotKey hotKey(*hotKeys, clock, [] {});
    QList<std::optional<QString>> changes;
    hotKey.onSystemChange = [&](const std::optional<HotKeyError>& lost) {
        changes.append(lost ? std::optional(lost->errorDescription()) : std::nullopt);
    };
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    kOurs.reassign({});
    ASSERT_TRUE(test::eventually([&] { return changes.size() == 1; }));
    EXPECT_EQ(changes[0], HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD,
                                                     KGlobalAccelHotKeys::keysHeldElsewhere)
                              .errorDescription());
    kOurs.reassign({kAltShiftD});
    ASSERT_TRUE(test::eventually([&] { return changes.size() == 2; }));
    EXPECT_EQ(changes[1], std::nullopt);
}

// On Plasma the application takes its shortcut through kglobalaccel, and the chosen chord wins
// over one that a run which ended without letting go (killed) left in kglobalaccel's books.
TEST_F(KGlobalAccelOnKWinTest, TheApplicationOnPlasmaTakesItsChordOverOneKeptFromAnEarlierRun) {
    const int altSpace = (Qt::ALT | Qt::Key_Space).toCombined();
    ASSERT_EQ(kOurs.take(altSpace), QList<int>{altSpace});
    LinuxDesktop desktop;
    ASSERT_EQ(desktop.session().shortcut, DesktopSession::Shortcut::kglobalaccel);
    SystemClock clock;
    GlobalHotKey hotKey(desktop.hotKeys(), clock, [] {});
    ASSERT_NO_THROW(hotKey.registerPreset(ShortcutPreset::optionShiftD));
    EXPECT_EQ(holderOf(kAltShiftD), kOurs.name());
    EXPECT_EQ(holderOf(altSpace), QString());
}

class KGlobalAccelServiceTest : public ::testing::Test {
protected:
    void TearDown() override { stopService(); }

    void startService() {
        service = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"KGLOBALACCEL_TEST_MODE"_s, u"1"_s);  // it keeps nothing on disk
        service->setProcessEnvironment(environment);
        service->setStandardErrorFile(QProcess::nullDevice());  // "no platform plugin"
        service->start(u"kglobalaccel5"_s, {});
        ASSERT_TRUE(service->waitForStarted());
        ASSERT_TRUE(test::eventually([] {
            return test::callKGlobalAccel(u"allComponents"_s, {}).type() ==
                   QDBusMessage::ReplyMessage;
        }));
    }
    void stopService() {
        if (service) {
            service->kill();
            service->waitForFinished();
            service.reset();
        }
    }

    std::unique_ptr<QProcess> service;
};

TEST_F(KGlobalAccelServiceTest, ARegistrationTheServiceCannotAnswerSaysWhy) {
    const struct {
        const char* name;
        bool serviceThere;
        HotKeys::Status expected;
    } rows[] = {
        {"nobody owns the name", false, KGlobalAccelHotKeys::serviceMissing},
        // It answers at last, long after the deadline: a call that waits for it is a hang.
        {"its owner is frozen", true, KGlobalAccelHotKeys::serviceSilent},
    };
    for (const auto& row : rows) {
        std::jthread thaw;
        if (row.serviceThere) {
            ASSERT_NO_FATAL_FAILURE(startService()) << row.name;
            const auto pid = static_cast<pid_t>(service->processId());
            ASSERT_EQ(::kill(pid, SIGSTOP), 0) << row.name;
            // Lets it go on after 10 s, unless the registration has returned by then.
            thaw = std::jthread([pid](const std::stop_token& stop) {
                std::mutex mutex;
                std::condition_variable_any stopped;
                std::unique_lock lock(mutex);
                if (!stopped.wait_for(lock, stop, 10s, [] { return false; })) {
                    ::kill(pid, SIGCONT);
                }
            });
        }
        KGlobalAccelHotKeys hotKeys;
        const auto [status, registration] = registerAltShiftD(hotKeys);
        thaw = std::jthread();
        EXPECT_EQ(status, row.expected) << row.name;
        EXPECT_EQ(registration, nullptr) << row.name;
        stopService();
    }
}

TEST_F(KGlobalAccelServiceTest, AServiceThatComesBackGetsTheChordAgain) {
    ASSERT_NO_FATAL_FAILURE(startService());
    KGlobalAccelHotKeys hotKeys;
    QList<HotKeys::Status> renewals;
    hotKeys.setRenewalHandler([&](HotKeys::Status status) { renewals.append(status); });
    int presses = 0;
    const auto [handlerStatus, handler] =
        hotKeys.installHandler([&](std::optional<HotKeys::Identifier>) {
            ++presses;
            return HotKeys::success;
        });
    const auto [status, registration] = registerAltShiftD(hotKeys);
    ASSERT_EQ(status, HotKeys::success);

    stopService();
    ASSERT_TRUE(test::eventually([&] { return !renewals.isEmpty(); }));
    EXPECT_EQ(renewals, QList<HotKeys::Status>{KGlobalAccelHotKeys::serviceMissing});

    ASSERT_NO_FATAL_FAILURE(startService());
    ASSERT_TRUE(test::eventually([&] { return renewals.size() == 2; }));
    EXPECT_EQ(renewals.back(), HotKeys::success);
    // The new service knew nothing of Tidyword: it heard of the chord anew.
    EXPECT_EQ(kOurs.keys(), QList<int>{kAltShiftD});
    kOurs.invoke();
    EXPECT_TRUE(test::eventually([&] { return presses == 1; }));
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop

#include "KGlobalAccelTest.moc"
