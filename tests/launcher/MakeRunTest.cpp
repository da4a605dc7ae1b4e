// `make run` as a newcomer meets it, on a private desktop: the launcher starts the stand-in and
// Tidyword configured for it, sign-in goes through a browser and the scheme handler, the
// shortcut improves a draft in mousepad and Replace writes it back, and the end of Tidyword
// stops the stand-in and gives the scheme its earlier handler back. It tells what it did and
// saves two pictures (into TIDYWORD_SCREENSHOTS when set): the headless `make run` is this run.
#include "e2e/AccessibleUi.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/XcbClipboard.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using platform::Accessibility;

constexpr std::chrono::milliseconds kPatience{30'000};

// Short enough for mousepad to show whole.
const QString kDraft = u"i think teh results was good and we dont need alot more"_s;
const QString kRewrite = u"I think the results were good and we don't need a lot more."_s;
const QString kUsersClipboard = u"what the user had copied"_s;
// Another association, and an earlier handler of the sign-in scheme, that must outlive the run.
const QByteArray kUsersMimeapps =
    "[Default Applications]\ntext/plain=mousepad.desktop\n"
    "x-scheme-handler/com.tidyword.beta=earlier-tidyword.desktop\n";

void tell(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class MakeRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        // It rewrites the scheme's handler: only ever in the temporary home of a private bus.
        ASSERT_TRUE(QDir::homePath().startsWith(QDir::tempPath()) &&
                    mimeapps.startsWith(QDir::homePath()) && entry.startsWith(QDir::homePath()))
            << "run it with tests/integration/run-on-private-bus.sh";
        ASSERT_TRUE(accessibility && clipboard);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(mimeapps).absolutePath()));
        QFile list(mimeapps);
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write(kUsersMimeapps);
    }

    void TearDown() override {
        for (QProcess* process : {&editor, &launcher}) {
            process->terminate();
            if (!process->waitForFinished(kPatience.count())) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    // Starts the launcher with a browser that follows the stand-in's redirect and opens the
    // callback through the desktop's scheme handler; returns the service's address.
    QString startLauncher() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"TIDYWORD_EXECUTABLE"_s);
        environment.insert(u"DEFAULT_BROWSER"_s, QStringLiteral(TIDYWORD_TEST_BROWSER));
        environment.insert(u"BROWSER"_s, QStringLiteral(TIDYWORD_TEST_BROWSER));
        environment.insert(u"STANDIN_CA"_s, authority());
        launcher.setProcessEnvironment(environment);
        launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launcher.start(u"/usr/bin/python3"_s,
                       {QStringLiteral(TIDYWORD_LAUNCHER), u"--state"_s, state.path(),
                        QStringLiteral(TIDYWORD_EXECUTABLE), QStringLiteral(TIDYWORD_STANDIN)});
        QString said;
        test::pollUntil(
            [&] {
                said += QString::fromUtf8(launcher.readAllStandardOutput());
                return said.contains(u'\n') || launcher.state() == QProcess::NotRunning;
            },
            50ms, kPatience);
        return QRegularExpression(u"https://127\\.0\\.0\\.1:\\d+"_s).match(said).captured();
    }

    QString authority() const { return state.filePath(u"tls/ca.pem"_s); }
    QString executable() const { return state.filePath(u"prefix/bin/tidyword"_s); }

    // Tidyword, as the launcher started it.
    qint64 tidywordProcess() {
        QProcess search;
        search.start(u"pgrep"_s,
                     {u"-P"_s, QString::number(launcher.processId()), u"-x"_s, u"tidyword"_s});
        search.waitForFinished();
        return search.readAllStandardOutput().trimmed().toLongLong();
    }

    // The stand-in's record of requests; none when it does not answer.
    std::optional<QByteArray> standInRecord(const QString& service) {
        QProcess curl;
        curl.start(u"curl"_s, {u"--silent"_s, u"--fail"_s, u"--cacert"_s, authority(),
                               service + u"/_standin/requests"_s});
        curl.waitForFinished();
        if (curl.exitCode() != 0) {
            return std::nullopt;
        }
        return curl.readAllStandardOutput();
    }

    void openDraft() {
        QFile file(state.filePath(u"draft.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kDraft.toUtf8());
        file.close();
        editor.start(u"mousepad"_s, {file.fileName()});
        ASSERT_TRUE(editor.waitForStarted());
        test::pollUntil([this] { return editorText() == kDraft; }, 50ms, kPatience);
        ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+a"_s}), 0);
    }

    std::optional<QString> editorText() {
        const auto field = accessibility->elementAttribute(
            accessibility->applicationElement(static_cast<qint32>(editor.processId())),
            Accessibility::Attribute::focusedElement);
        return field ? accessibility->stringAttribute(*field, Accessibility::Attribute::value)
                     : std::nullopt;
    }

    // The whole screen, as the user sees it.
    QString picture(const QString& name) {
        const QString folder = qEnvironmentVariableIsSet("TIDYWORD_SCREENSHOTS")
                                   ? qEnvironmentVariable("TIDYWORD_SCREENSHOTS")
                                   : state.path();
        QDir().mkpath(folder);
        QString path = QDir(folder).absoluteFilePath(name);
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(path))
            << name.toStdString();
        return path;
    }

    std::unique_ptr<platform::linux_desktop::AtspiAccessibility> accessibility =
        platform::linux_desktop::AtspiAccessibility::open();
    std::unique_ptr<platform::linux_desktop::XcbClipboard> clipboard =
        platform::linux_desktop::XcbClipboard::open();
    QTemporaryDir state;
    QString mimeapps = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mimeapps.list"_s;
    QString entry = qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/tidyword.desktop"_s;
    QProcess launcher;
    QProcess editor;
};

TEST_F(MakeRunTest, DoesTheJobOnTheStandInAndLeavesNothingBehind) {
    const QString service = startLauncher();
    ASSERT_FALSE(service.isEmpty());
    test::pollUntil([this] { return tidywordProcess() > 0; }, 50ms, kPatience);
    test::AccessibleUi ui(tidywordProcess());
    test::pollUntil([&] { return ui.shows(ATSPI_ROLE_PUSH_BUTTON, u"Save settings"_s); }, 50ms,
                    kPatience);
    EXPECT_TRUE(ui.shows(ATSPI_ROLE_LABEL, [](const QString& text) {
        return text.contains(u"local test service"_s);
    }));
    // Nothing says the text goes anywhere else.
    EXPECT_FALSE(
        ui.shows(ATSPI_ROLE_LABEL, [](const QString& text) { return text.contains(u"Gemini"_s); }));
    tell(u"Started tidyword-standin at %1 and Tidyword configured for it."_s.arg(service));

    ASSERT_TRUE(ui.press(u"Sign in"_s));
    test::pollUntil(
        [&] { return ui.shows(ATSPI_ROLE_LABEL, u"50 of 50 free requests remaining"_s); }, 50ms,
        kPatience);
    // The callback came back through the handler Tidyword registered for its scheme.
    EXPECT_TRUE(contents(entry).contains(("Exec=\"" + executable() + "\" %u").toUtf8()));
    EXPECT_TRUE(contents(mimeapps).contains("x-scheme-handler/com.tidyword.beta=tidyword.desktop"));
    tell(u"Signed in through the browser and the scheme handler: 50 free requests. %1"_s.arg(
        picture(u"job-settings.png"_s)));
    // Out of the way of the next pictures, as a user would put it.
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"search"_s, u"--name"_s, u"Tidyword Settings"_s,
                                               u"windowminimize"_s}),
              0);

    openDraft();
    ASSERT_TRUE(clipboard->setString(kUsersClipboard));
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"key"_s, u"alt+shift+d"_s}), 0);
    test::pollUntil([&] { return ui.shows(ATSPI_ROLE_LABEL, u"YOUR DRAFT, REFINED"_s); }, 50ms,
                    kPatience);
    tell(
        u"Selected \"%1\" in Mousepad and pressed Alt+Shift+D: the popup shows the local "
        "service's suggestion. %2"_s.arg(kDraft, picture(u"job-popup.png"_s)));

    ASSERT_TRUE(ui.press(u"Replace selection"_s));
    test::pollUntil([this] { return editorText() == kRewrite; }, 50ms, kPatience);
    test::pollUntil([this] { return clipboard->string() == kUsersClipboard; }, 50ms, kPatience);
    test::pollUntil([&] { return !ui.shows(ATSPI_ROLE_PUSH_BUTTON, u"Dismiss"_s); }, 50ms,
                    kPatience);
    tell(u"Replaced: Mousepad holds \"%1\", and the clipboard holds what it held before. %2"_s.arg(
        kRewrite, picture(u"job-replaced.png"_s)));

    const auto record = standInRecord(service);
    ASSERT_TRUE(record.has_value());
    const QJsonArray requests = QJsonDocument::fromJson(*record).array();
    EXPECT_EQ(std::count_if(
                  requests.begin(), requests.end(),
                  [](const QJsonValue& request) { return request[u"path"_s] == u"/v1/improve"_s; }),
              1);

    const qint64 tidyword = tidywordProcess();
    ::kill(static_cast<pid_t>(launcher.processId()), SIGTERM);
    ASSERT_TRUE(launcher.waitForFinished(kPatience.count()));
    EXPECT_EQ(launcher.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(u"/proc/%1"_s.arg(tidyword)));
    EXPECT_EQ(standInRecord(service), std::nullopt);
    EXPECT_EQ(contents(mimeapps), kUsersMimeapps);
    EXPECT_FALSE(QFileInfo::exists(entry));
    tell(u"Quit: the stand-in stopped, and the sign-in scheme has its earlier handler back."_s);
}

}  // namespace
}  // namespace tidyword
