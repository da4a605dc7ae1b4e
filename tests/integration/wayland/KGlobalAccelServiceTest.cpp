// The global shortcut when KDE's global shortcut service is missing, silent, or started again. On
// a private bus with KDE's stand-alone daemon (kglobalaccel5): without a windowing platform it
// binds no keys, but keeps the same books over D-Bus as KWin does, and it can be frozen and
// started again.
#include "KGlobalAccelPeer.h"
#include "hotkey/GlobalHotKey.h"
#include "platform/linux/KGlobalAccelHotKeys.h"

#include <QDBusConnectionInterface>
#include <QKeyCombination>
#include <QProcess>

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using test::KGlobalAccelPeer;

const int kAltShiftD = (Qt::ALT | Qt::SHIFT | Qt::Key_D).toCombined();

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> registerAltShiftD(
    HotKeys& hotKeys) {
    return hotKeys.registerHotKey(keyCode(ShortcutPreset::optionShiftD),
                                  hotKeyModifiers(ShortcutPreset::optionShiftD),
                                  GlobalHotKey::identifier);
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
            return KGlobalAccelPeer::callService(u"allComponents"_s, {}).type() ==
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
            thaw = std::jthread([pid](std::stop_token stop) {
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
    EXPECT_EQ(KGlobalAccelPeer::keysOf(KGlobalAccelHotKeys::componentUnique,
                                       KGlobalAccelHotKeys::actionUnique),
              QList<int>{kAltShiftD});
    KGlobalAccelPeer::invoke(KGlobalAccelHotKeys::componentUnique,
                             KGlobalAccelHotKeys::actionUnique);
    EXPECT_TRUE(test::eventually([&] { return presses == 1; }));
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
