// Real applications on the test's private desktop: started, waited for until their window is
// in front, and ended when the test ends.
#pragma once

#include "platform/Workspace.h"
#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace tidyword::test {

// How long a test waits for a real application to start, map and take the keyboard: far more
// than it needs, so that a busy machine (a sanitizer build, tests in parallel) only slows it.
inline constexpr std::chrono::milliseconds kDesktopPatience{30'000};

// The user's keyboard and mouse on an X11 desktop.
inline void xdotool(const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0)
        << arguments.join(u' ').toStdString();
}

// Whether `condition` comes to hold within `patience`, looked at again every 10 ms while this
// process's events run: for what real applications and services do, in their own time.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds patience = kDesktopPatience) {
    const QDeadlineTimer deadline(patience);
    QTimer ticks;
    ticks.start(std::chrono::milliseconds(10));  // each tick wakes the loop to look again
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// That `application` is mousepad's process `editor`, started no earlier than `before`, with the
// identity the workspace also gives it when asked by its process identifier.
inline void expectEditorIdentity(platform::Workspace& workspace,
                                 const std::optional<platform::RunningApplication>& application,
                                 qint32 editor, const QDateTime& before) {
    ASSERT_TRUE(application.has_value());
    EXPECT_EQ(application->processIdentifier, editor);
    EXPECT_FALSE(application->terminated);
    EXPECT_TRUE(application->bundleIdentifier.endsWith(u"/mousepad"))
        << application->bundleIdentifier.toStdString();
    ASSERT_TRUE(application->launchDate.has_value());
    EXPECT_GE(*application->launchDate, before);
    EXPECT_LE(*application->launchDate, QDateTime::currentDateTimeUtc().addSecs(2));
    EXPECT_EQ(workspace.runningApplication(editor)->launchDate, application->launchDate);
}

class DesktopApplications {
public:
    explicit DesktopApplications(platform::Workspace& workspace) : workspace_(workspace) {}
    ~DesktopApplications() {
        for (auto& process : processes_) {
            process->kill();
            process->waitForFinished(2000);
        }
    }

    // Starts `program` and waits until its window is the active one and stays so (a new
    // window may be activated more than once while it maps); its process identifier.
    qint32 startInFront(const QString& program, const QStringList& arguments = {}) {
        const qint32 pid = start(program, arguments);
        int inFront = 0;
        pollUntil(
            [&] {
                const auto front = workspace_.frontmostApplication();
                inFront = front && front->processIdentifier == pid ? inFront + 1 : 0;
                return inFront >= kSettledLooks;
            },
            std::chrono::milliseconds(20), kDesktopPatience);
        return pid;
    }

    qint32 start(const QString& program, const QStringList& arguments = {}) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000)) << program.toStdString();
        const auto pid = static_cast<qint32>(process->processId());
        processes_.push_back(std::move(process));
        return pid;
    }

    void stop(qint32 pid) {
        for (auto& process : processes_) {
            if (process->processId() == pid) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }

private:
    static constexpr int kSettledLooks = 10;  // 200 ms at the polling interval

    platform::Workspace& workspace_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

}  // namespace tidyword::test
