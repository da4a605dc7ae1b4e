// The tidyword executable ends on a termination signal as it does on Quit: through the end of
// its event loop, where it hands the clipboard it serves to the clipboard manager.
#include "support/EventLoop.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

// Whether the process has a handler of its own for `signal` (from Linux's process status).
bool catches(qint64 pid, int signal) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    // Its size reads as 0, so it is read whole rather than line by line up to its end.
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1U;
        }
    }
    return false;
}

TEST(TerminationSignalTest, TerminationAndInterruptQuitAsTheQuitCommandDoes) {
    for (const int signal : {SIGTERM, SIGINT}) {
        QTemporaryDir runtime;
        QTemporaryDir pictures;
        QProcess tidyword;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        tidyword.setProcessEnvironment(environment);
        // A run that would end by itself later, after saving pictures.
        tidyword.start(QStringLiteral(TIDYWORD_EXECUTABLE), {u"--screenshots"_s, pictures.path()});
        ASSERT_TRUE(tidyword.waitForStarted());
        test::pollUntil([&] { return catches(tidyword.processId(), signal); });
        ASSERT_TRUE(catches(tidyword.processId(), signal)) << signal;

        ::kill(static_cast<pid_t>(tidyword.processId()), signal);
        test::runEventLoopUntil([&] { return tidyword.state() == QProcess::NotRunning; });
        EXPECT_EQ(tidyword.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(tidyword.exitCode(), 0) << signal;
        // It ended on the signal, before its own time.
        EXPECT_FALSE(QFile::exists(pictures.filePath(u"settings.png"_s))) << signal;
    }
}

}  // namespace
}  // namespace tidyword
