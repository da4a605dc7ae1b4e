#include "platform/linux/LinuxDesktop.h"

#include "platform/linux/AccessibilityStatus.h"
#include "platform/linux/OwnedHandle.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

#include <gio/gio.h>

namespace tidyword::platform::linux_desktop {

LinuxDesktop::LinuxDesktop(SecretStore* secrets)
    : session_(DesktopSession::decide(probeSession())) {
    if (session_.isWayland()) {
        atspi_ = AtspiAccessibility::open();
        if (session_.frontApplication == DesktopSession::FrontApplication::atspiActiveWindow) {
            workspace_ = AtspiWorkspace::open();
        }
        const QString executable = QCoreApplication::applicationFilePath();
        const bool portal = session_.shortcut == DesktopSession::Shortcut::globalShortcutsPortal;
        if (session_.shortcut == DesktopSession::Shortcut::kglobalaccel) {
            hotKeys_ = std::make_unique<KGlobalAccelHotKeys>();
        } else if (session_.shortcut == DesktopSession::Shortcut::gnomeCustomShortcut ||
                   (portal && session_.desktop == DesktopSession::Desktop::gnomeWayland)) {
            commandHotKeys_ = std::make_unique<CommandHotKeys>(
                executable, std::make_unique<GnomeCustomShortcut>(executable));
        } else if (session_.shortcut == DesktopSession::Shortcut::userCommand || portal) {
            commandHotKeys_ = std::make_unique<CommandHotKeys>(executable, nullptr);
        }
        if (session_.replacement == DesktopSession::Replacement::remoteDesktopPaste && workspace_) {
            // Both halves of the paste, or neither: keys without a clipboard that proves its
            // writes would paste whatever it holds. No copy through these keys: nothing here
            // tells when the user's shortcut is all up (KDE's service reports the chord released
            // as soon as its letter is), and Control+C with Alt+Shift held is another chord.
            auto keys = PortalKeyEvents::open(*workspace_, secrets);
            auto clipboard = DataControlClipboard::open();
            if (keys && clipboard) {
                keys_ = std::move(keys);
                waylandClipboard_ = std::move(clipboard);
            }
        }
        if (session_.replacement == DesktopSession::Replacement::portalClipboardPaste &&
            workspace_) {
            // The portal lends its clipboard to the keys' session, so each paste opens one.
            if (auto clipboard = PortalClipboard::open()) {
                if (auto keys = PortalKeyEvents::open(*workspace_, secrets, {}, clipboard.get())) {
                    portalClipboard_ = std::move(clipboard);
                    keys_ = std::move(keys);
                }
            }
        }
        if (!keys_) {
            textEditing_ = std::make_unique<AtspiTextEditing>();
        }
        // The portal's shortcut first; the command serves wherever it fails.
        if (portal) {
            if (auto portalKeys = PortalHotKeys::open(QGuiApplication::desktopFileName())) {
                auto portalFirst =
                    std::make_unique<FallbackHotKeys>(std::move(portalKeys), *commandHotKeys_);
                portalFirst_ = portalFirst.get();
                hotKeys_ = std::move(portalFirst);
            }
        }
    } else if (QGuiApplication::platformName() == u"xcb") {
        atspi_ = AtspiAccessibility::open();
        workspace_ = X11Workspace::open();
        keys_ = XTestKeyEvents::open();
        x11Clipboard_ = XcbClipboard::open();
        hotKeys_ = X11HotKeys::open();
    }
}

bool LinuxDesktop::requestAccessibility() {
    // The switches are the whole desktop's and stay set: once on, they are left alone.
    if (accessibility().isTrusted()) {
        openAccessibilitySettings();
        return true;
    }
    const bool accepted = enableAccessibility(std::chrono::milliseconds(2000));
    // GNOME keeps its own switch; applications started from now on read it.
    if (GSettingsSchemaSource* schemas = g_settings_schema_source_get_default()) {
        const Owned<GSettingsSchema, g_settings_schema_unref> schema(
            g_settings_schema_source_lookup(schemas, "org.gnome.desktop.interface", TRUE));
        if (schema && g_settings_schema_has_key(schema.get(), "toolkit-accessibility")) {
            const auto settings = adoptObject(g_settings_new("org.gnome.desktop.interface"));
            g_settings_set_boolean(settings.get(), "toolkit-accessibility", TRUE);
            g_settings_sync();
        }
    }
    openAccessibilitySettings();
    return accepted;
}

void LinuxDesktop::openAccessibilitySettings() {
    // The desktops whose accessibility page we know; elsewhere there is none to open.
    const QList<QStringList> pages{
        {u"gnome-control-center"_s, u"universal-access"_s},
        {u"systemsettings"_s, u"kcm_access"_s},
        {u"xfce4-accessibility-settings"_s},
        {u"mate-at-properties"_s},
    };
    for (const QStringList& page : pages) {
        if (!QStandardPaths::findExecutable(page.front()).isEmpty()) {
            QProcess::startDetached(page.front(), page.mid(1));
            return;
        }
    }
}

}  // namespace tidyword::platform::linux_desktop
