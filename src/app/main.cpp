// The composition root: picks the desktop backends, builds the model and the shell, and reads
// the command line. `tidyword` starts Tidyword (or shows the settings window of the one that
// runs); `tidyword --preview` opens the demo popup instead of the settings window;
// `tidyword <callback URL>` hands a sign-in callback to the running instance;
// `tidyword --improve` hands it a press of the global shortcut, for desktops that run a command
// for a shortcut where no application may take keys for itself; and
// `tidyword --screenshots <folder>` saves pictures of both windows and exits, for machines
// without a display of their own.
#include "app/TerminationSignals.h"
#include "hotkey/HotKeyError.h"
#include "model/AppModel.h"
#include "platform/SystemClock.h"
#include "platform/linux/CallbackHandoff.h"
#include "platform/linux/EveryDesktop.h"
#include "platform/linux/LibsecretStore.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/SchemeHandlerRegistration.h"
#include "platform/linux/SystemBrowserAuthenticator.h"
#include "platform/linux/SystemRandomSource.h"
#include "service/BetaHTTP.h"
#include "textbridge/TextBridge.h"
#include "ui/AppDelegate.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

using namespace tidyword;
namespace desktop = platform::linux_desktop;

constexpr int kUsageError = 2;

struct CommandLine {
    bool preview = false;
    bool improve = false;
    std::optional<QUrl> callback;
    std::optional<QString> screenshots;
};

// None (after saying why) when the arguments make no sense.
std::optional<CommandLine> parse(const QStringList& arguments) {
    CommandLine line;
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (argument == u"--preview") {
            line.preview = true;
        } else if (argument == u"--improve" && arguments.size() == 2) {
            line.improve = true;
        } else if (argument == u"--screenshots" && index + 1 < arguments.size()) {
            line.screenshots = arguments[++index];
        } else if (!argument.startsWith(u'-') && !line.callback && argument.contains(u':')) {
            line.callback = QUrl::fromUserInput(argument);
        } else {
            std::fprintf(stderr,
                         "usage: tidyword [--preview] [--screenshots <folder>] [<callback URL>] | "
                         "tidyword --improve\n");
            return std::nullopt;
        }
    }
    return line;
}

// The deployment configuration sits in share/tidyword beside the bin folder.
QString configurationPath() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../share/tidyword/beta-config.json"));
}

// Saves both windows, and the whole screen as the user would see it where the window system
// lets a client read it (a Wayland compositor does not), then ends the process.
void saveScreenshots(ui::AppDelegate& delegate, const QString& folder) {
    QTimer::singleShot(std::chrono::milliseconds(1500), qApp, [&delegate, folder] {
        QDir().mkpath(folder);
        bool saved = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QPixmap desktop = screen->grabWindow(0);
            if (!desktop.isNull()) {
                saved &= desktop.save(QDir(folder).filePath(QStringLiteral("desktop.png")));
            } else if (QGuiApplication::platformName() == u"xcb") {
                saved = false;
            } else {
                std::fprintf(stderr,
                             "tidyword: this desktop does not let an application take a "
                             "picture of the whole screen; the windows' pictures are "
                             "saved.\n");
            }
        }
        if (QWidget* settings = delegate.preferences()) {
            saved &= settings->grab().save(QDir(folder).filePath(QStringLiteral("settings.png")));
        }
        if (QWidget* popup = delegate.popup()) {
            saved &= popup->grab().save(QDir(folder).filePath(QStringLiteral("popup.png")));
        }
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<CommandLine> line;
    {
        // The hand-off needs no display: a second process started by the browser's redirect
        // delivers the callback and is gone.
        QCoreApplication probe(argc, argv);
        line = parse(QCoreApplication::arguments());
        if (!line) {
            return kUsageError;
        }
        // One instance per user: a second start shows the first one's settings window, and only
        // when none runs goes on to become the instance.
        if (line->callback || line->improve || !line->screenshots) {
            const QUrl request = line->callback  ? *line->callback
                                 : line->improve ? desktop::improveRequest()
                                                 : desktop::reopenRequest();
            const desktop::Delivery delivery = desktop::deliverCallback(request);
            if (delivery == desktop::Delivery::delivered) {
                return 0;
            }
            if (line->callback || line->improve || delivery != desktop::Delivery::notRunning) {
                std::fprintf(stderr, "%s\n", qPrintable(desktop::describe(delivery, request)));
                return 1;
            }
        }
    }

    // Pictures for a headless machine must not change the desktop's settings either: where
    // registering the shortcut writes GNOME's custom shortcut, it writes to memory.
    if (line->screenshots) {
        qputenv("GSETTINGS_BACKEND", "memory");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidyword"));
    QApplication::setOrganizationName(QStringLiteral("Tidyword"));
    QApplication::setDesktopFileName(QStringLiteral("tidyword"));
    // A tray application lives on with every window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    const app::QuitOnTerminationSignals quitOnSignals;

    // Pictures for a headless machine must not touch this user's running Tidyword or settings.
    QTemporaryDir privateState;
    const QString socket = line->screenshots ? privateState.filePath(QStringLiteral("handoff"))
                                             : desktop::defaultCallbackSocket();
    QSettings settings =
        line->screenshots
            ? QSettings(privateState.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
            : QSettings(QStringLiteral("Tidyword"), QStringLiteral("Tidyword"));

    platform::SystemClock clock;
    desktop::SystemRandomSource random;
    desktop::LibsecretStore secrets;
    desktop::SystemBrowserAuthenticator browser({}, socket);
    desktop::LinuxDesktop linux(&secrets);
    BetaHTTP http(clock);

    TextBridge bridge({linux.accessibility(), linux.workspace(), linux.pasteboard(), linux.keys(),
                       clock, linux.textEditing()});
    std::unique_ptr<ui::AppDelegate> delegate;
    const QString configuration = configurationPath();
    AppModel model({bridge, linux.accessibility(), linux.clipboardForCopy(), settings,
                    [configuration] { return readConfigurationFile(configuration); },
                    [&](const BetaConfig& config) {
                        http.trustAuthorityOf(config);  // a local test service's own, if any
                        return std::make_unique<BetaSession>(
                            config,
                            BetaSession::Platform{secrets, browser, clock, random, http.transport(),
                                                  [] { return ui::AppDelegate::signInAnchor(); }});
                    },
                    http.transport()});

    const auto requestAccessibility = [&model, &linux] {
        linux.requestAccessibility();
        model.setAccessibilityGranted(linux.accessibility().isTrusted());
    };
    ui::AppDelegate::CommandShortcut commandShortcut;
    desktop::CommandHotKeys* command = linux.commandHotKeys();
    if (command) {
        commandShortcut.command = command->command();
        commandShortcut.holdsChord = [&linux] { return linux.shortcutThroughCommand(); };
        // The refusal of the desktop's settings, in the words the shortcut's row uses.
        const auto refusal = [command](ShortcutPreset preset, platform::HotKeys::Status status) {
            return status == platform::HotKeys::success
                       ? std::nullopt
                       : std::optional(HotKeyError::hotKeyRefused(preset, status,
                                                                  command->statusSubject(status))
                                           .errorDescription());
        };
        if (command->canAddGnomeShortcut()) {
            commandShortcut.add = [command, refusal](ShortcutPreset preset) {
                return refusal(preset,
                               command->addGnomeShortcut(keyCode(preset), hotKeyModifiers(preset)));
            };
            commandShortcut.remove = [command, refusal, &model] {
                return refusal(model.shortcut(), command->removeGnomeShortcut());
            };
        }
    }
    delegate = std::make_unique<ui::AppDelegate>(
        model,
        ui::AppDelegate::Platform{
            linux.hotKeys(), clock, linux.accessibility(), requestAccessibility,
            &desktop::showOnEveryDesktop, commandShortcut,
            linux.textEditing() ? ui::ReplacementRoute::editInPlace : ui::ReplacementRoute::paste});
    browser.setReopenHandler([&delegate] { delegate->reopen(); });
    if (command) {
        command->setRegisterAgain([&delegate] { delegate->registerShortcut(); });
        browser.setImproveHandler([command, &linux, &delegate] {
            if (linux.shortcutThroughCommand()) {
                command->handOff();
            } else {
                delegate->shortcutPressed();  // the portal holds the chord: a command of the user's
            }
        });
    } else {
        // A desktop whose shortcut Tidyword holds may still run the command for one of its own.
        browser.setImproveHandler([&delegate] { delegate->shortcutPressed(); });
    }

    if (!line->screenshots && model.configured()) {
        // The browser's redirect to our scheme must start this executable.
        if (const auto config = readConfigurationFile(configuration)) {
            desktop::registerSchemeHandler(QCoreApplication::applicationFilePath(),
                                           BetaConfig::parse(*config).redirectURI.scheme());
        }
    }

    delegate->launch(line->preview);
    if (line->screenshots) {
        model.preview();
        saveScreenshots(*delegate, *line->screenshots);
    }
    const int status = QApplication::exec();
    model.finishBeforeExit(std::chrono::seconds(10));
    // The shell goes first: its windows observe the model.
    delegate.reset();
    // Every way out but a crash comes through here: the user's clipboard, which this process may
    // be serving since a replacement restored it, must outlive us.
    linux.clipboardForCopy().keepAfterExit();
    return status;
}
