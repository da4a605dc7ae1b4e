// The application shell: the tray icon with its menu and tooltips, the global shortcut that
// opens and closes the popup, the floating suggestion panel, the settings window, and the
// 2-second poll of the accessibility permission. It installs the model's four callbacks and is
// the only place that opens, places and hides windows.
#pragma once

#include "hotkey/GlobalHotKey.h"
#include "model/AppModel.h"
#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/HotKeys.h"
#include "ui/SettingsView.h"
#include "ui/SuggestionPanel.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

namespace tidyword::ui {

class AppDelegate : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds permissionPollInterval{2000};

    // Where the desktop runs the command `tidyword --improve` for the global shortcut.
    struct CommandShortcut {
        // The command as the user binds it; empty where Tidyword holds a hot key itself.
        QString command;
        // Where Tidyword can add the chord to the desktop's own shortcuts (GNOME's): adds or
        // rewrites it, or takes it away; each answers the message to show when it cannot.
        std::function<std::optional<QString>(ShortcutPreset)> add;
        std::function<std::optional<QString>()> remove;
        // Whether the command holds the chord after the last registration, where a route of
        // the desktop's (its shortcut portal) may hold it instead; unset: it always does.
        std::function<bool()> holdsChord;
    };

    struct Platform {
        platform::HotKeys& hotKeys;
        platform::Clock& clock;
        platform::Accessibility& accessibility;
        // Asks the desktop for the accessibility permission and opens its settings.
        std::function<void()> requestAccessibility;
        // Puts the floating panel on every virtual desktop, where the desktop has several.
        std::function<void(QWindow&)> showOnEveryDesktop;
        CommandShortcut commandShortcut = {};
        ReplacementRoute replacementRoute = ReplacementRoute::paste;
    };

    // Everything referenced outlives the delegate.
    AppDelegate(AppModel& model, Platform platform);
    ~AppDelegate() override;

    // Builds the tray icon and menus, installs the callbacks, registers the shortcut, starts the
    // permission poll, and opens the demo popup (`preview`) or the settings window.
    void launch(bool preview);
    // Another start of Tidyword while this one runs.
    void reopen();
    // Before the process ends: the shortcut goes, the poll stops.
    void terminate();

    void showPopup();
    void showSettings();
    void registerShortcut();
    // What a press of the global shortcut does.
    void shortcutPressed();
    // Adds the chosen shortcut to the desktop's own shortcuts, or takes it away, then registers it
    // anew so that the settings tell where it stands.
    void addDesktopShortcut();
    void removeDesktopShortcut();

    QSystemTrayIcon* statusItem() const { return statusItem_.get(); }
    QMenu* statusMenu() const { return statusMenu_.get(); }
    SuggestionPanel* popup() const { return popup_.get(); }
    QWidget* preferences() const { return preferences_.get(); }
    // The window a sign-in belongs to: the active window of ours, else the first one shown;
    // none while no window of ours is shown.
    static QWidget* signInAnchor();
    SettingsView* settingsView() const { return settingsView_; }
    const QTimer& permissionTimer() const { return permissionTimer_; }

private:
    void buildStatusItem();
    void installCallbacks();
    void pollPermission();
    void addWindowShortcuts(QWidget* window);

    AppModel& model_;
    Platform platform_;
    std::unique_ptr<QMenu> statusMenu_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    std::unique_ptr<GlobalHotKey> hotKey_;
    std::unique_ptr<SuggestionPanel> popup_;
    std::unique_ptr<QWidget> preferences_;
    SettingsView* settingsView_ = nullptr;
    QTimer permissionTimer_;
    // The model's callbacks hold this weakly: a callback after the delegate is gone does nothing.
    std::shared_ptr<AppDelegate*> self_;
};

// The tray icon's tooltip with a shortcut registered.
QString statusTooltip(ShortcutPreset shortcut);

}  // namespace tidyword::ui
