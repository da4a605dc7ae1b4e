#include "ui/AppDelegate.h"

#include "ui/BrandMark.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace tidyword::ui {

namespace {

const QString kDefaultTooltip = QStringLiteral("Tidyword · Improve selected text");
const QString kNoTrayNote =
    QStringLiteral("No tray icon on this desktop: start Tidyword again to open this window.");

constexpr QSize kSettingsSize{600, 695};

QIcon brandIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(BrandMark::pixmap(size));
    }
    return icon;
}

}  // namespace

QString statusTooltip(ShortcutPreset shortcut) {
    return QStringLiteral("Tidyword · ") + displayLabel(shortcut);
}

AppDelegate::AppDelegate(AppModel& model, Platform platform)
    : model_(model), platform_(std::move(platform)), self_(std::make_shared<AppDelegate*>(this)) {}

AppDelegate::~AppDelegate() {
    terminate();
    // The model may outlive the shell; its callbacks must not reach a delegate that is gone.
    model_.onShowPopup = nullptr;
    model_.onDismissPopup = nullptr;
    model_.onOpenSettings = nullptr;
    model_.onShortcutChanged = nullptr;
    model_.onAddDesktopShortcut = nullptr;
    model_.onRemoveDesktopShortcut = nullptr;
}

void AppDelegate::launch(bool preview) {
    QApplication::setWindowIcon(brandIcon());
    buildStatusItem();
    installCallbacks();
    hotKey_ = std::make_unique<GlobalHotKey>(platform_.hotKeys, platform_.clock,
                                             [this] { shortcutPressed(); });
    hotKey_->onSystemChange = [this](const std::optional<HotKeyError>& error) {
        model_.setHotKeyError(error ? std::optional(error->errorDescription()) : std::nullopt);
    };
    registerShortcut();

    permissionTimer_.setInterval(permissionPollInterval);
    QObject::connect(&permissionTimer_, &QTimer::timeout, this, [this] { pollPermission(); });
    permissionTimer_.start();
    // Coming back from the desktop's settings shows a new permission at once.
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, this,
                     [this](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) {
                             pollPermission();
                         }
                     });

    if (preview) {
        model_.preview();
    } else {
        showSettings();
    }
}

void AppDelegate::reopen() {
    showSettings();
}

void AppDelegate::terminate() {
    if (hotKey_) {
        hotKey_->unregister();
    }
    permissionTimer_.stop();
}

void AppDelegate::buildStatusItem() {
    statusMenu_ = std::make_unique<QMenu>();
    statusMenu_->addAction(QStringLiteral("Improve selected text"), this,
                           [this] { model_.capture(); });
    statusMenu_->addAction(QStringLiteral("Preview popup"), this, [this] { model_.preview(); });
    statusMenu_->addSeparator();
    statusMenu_->addAction(QStringLiteral("Settings…"), this, [this] { showSettings(); });
    statusMenu_->addSeparator();
    statusMenu_->addAction(QStringLiteral("Quit Tidyword"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                           qApp, &QApplication::quit);

    statusItem_ = std::make_unique<QSystemTrayIcon>(brandIcon());
    statusItem_->setToolTip(kDefaultTooltip);
    statusItem_->setContextMenu(statusMenu_.get());
    // A left click opens the same menu as a right click.
    QObject::connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             statusMenu_->popup(QCursor::pos());
                         }
                     });
    statusItem_->show();
}

void AppDelegate::installCallbacks() {
    const std::weak_ptr<AppDelegate*> weak = self_;
    const auto onDelegate = [weak](void (AppDelegate::*action)()) {
        return [weak, action] {
            if (const auto self = weak.lock()) {
                ((*self)->*action)();
            }
        };
    };
    model_.onShowPopup = onDelegate(&AppDelegate::showPopup);
    model_.onDismissPopup = [weak] {
        if (const auto self = weak.lock(); self && (*self)->popup_) {
            (*self)->popup_->hide();
        }
    };
    model_.onOpenSettings = onDelegate(&AppDelegate::showSettings);
    model_.onShortcutChanged = onDelegate(&AppDelegate::registerShortcut);
    model_.onAddDesktopShortcut = onDelegate(&AppDelegate::addDesktopShortcut);
    model_.onRemoveDesktopShortcut = onDelegate(&AppDelegate::removeDesktopShortcut);
}

void AppDelegate::registerShortcut() {
    hotKey_->unregister();
    std::optional<QString> refusal;
    try {
        hotKey_->registerPreset(model_.shortcut());
    } catch (const HotKeyError& error) {
        refusal = error.errorDescription();
    }
    // The settings describe the route that took the chord, or that refused it last.
    const CommandShortcut& command = platform_.commandShortcut;
    const bool throughCommand =
        !command.command.isEmpty() && (!command.holdsChord || command.holdsChord());
    model_.setShortcutBinding(!throughCommand ? AppModel::ShortcutBinding::hotKey
                              : command.add   ? AppModel::ShortcutBinding::gnomeCustomShortcut
                                              : AppModel::ShortcutBinding::userCommand,
                              command.command);
    model_.setHotKeyError(refusal);
    if (refusal) {
        model_.setDesktopShortcutAdded(false);
        return;
    }
    // On GNOME a registered chord is one its custom shortcuts run the command for.
    model_.setDesktopShortcutAdded(model_.shortcutBinding() ==
                                   AppModel::ShortcutBinding::gnomeCustomShortcut);
    statusItem_->setToolTip(statusTooltip(model_.shortcut()));
}

void AppDelegate::addDesktopShortcut() {
    if (!platform_.commandShortcut.add) {
        return;
    }
    if (const auto refusal = platform_.commandShortcut.add(model_.shortcut())) {
        model_.setHotKeyError(refusal);
        return;
    }
    registerShortcut();
}

void AppDelegate::removeDesktopShortcut() {
    if (!platform_.commandShortcut.remove) {
        return;
    }
    if (const auto refusal = platform_.commandShortcut.remove()) {
        model_.setHotKeyError(refusal);
        return;
    }
    registerShortcut();
}

void AppDelegate::shortcutPressed() {
    if (!popup_ || !popup_->isVisible()) {
        model_.capture();
    } else {
        model_.dismiss();
    }
}

void AppDelegate::showPopup() {
    if (!popup_) {
        popup_ = std::make_unique<SuggestionPanel>(model_);
        addWindowShortcuts(popup_.get());
        popup_->winId();  // the native window, to be marked before it is first shown
        if (platform_.showOnEveryDesktop && popup_->windowHandle()) {
            platform_.showOnEveryDesktop(*popup_->windowHandle());
        }
    }
    std::optional<platform::ScreenRect> anchor;
    if (const auto& selection = model_.selection()) {
        anchor = selection->anchorRect;
    }
    popup_->present(anchor);
}

void AppDelegate::showSettings() {
    if (!preferences_) {
        preferences_ = std::make_unique<QWidget>();
        preferences_->setWindowTitle(QStringLiteral("Tidyword Settings"));
        auto* layout = new QVBoxLayout(preferences_.get());
        layout->setContentsMargins(0, 0, 0, 0);
        // The page scrolls rather than clips where the screen is shorter than the window.
        auto* scroll = new QScrollArea(preferences_.get());
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        settingsView_ = new SettingsView(model_, platform_.requestAccessibility);
        settingsView_->setReplacementRoute(platform_.replacementRoute);
        // Closed, the window is rendered when it opens again: a capture changes a dozen fields.
        settingsView_->schedule().setRendersWhileHidden(false);
        scroll->setWidget(settingsView_);
        layout->addWidget(scroll);
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            settingsView_->setDesktopNote(kNoTrayNote);
        }
        preferences_->setFixedSize(kSettingsSize);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), kSettingsSize);
            frame.moveCenter(screen->availableGeometry().center());
            preferences_->move(frame.topLeft());
        }
        addWindowShortcuts(preferences_.get());
    }
    model_.setAccessibilityGranted(platform_.accessibility.isTrusted());
    preferences_->show();
    preferences_->raise();
    preferences_->activateWindow();
}

void AppDelegate::pollPermission() {
    const bool granted = platform_.accessibility.isTrusted();
    // Only a change is news: re-rendering both windows every two seconds would cost for nothing.
    if (granted != model_.accessibilityGranted()) {
        model_.setAccessibilityGranted(granted);
    }
}

void AppDelegate::addWindowShortcuts(QWidget* window) {
    auto* settings = new QAction(QStringLiteral("Settings…"), window);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QObject::connect(settings, &QAction::triggered, this, [this] { showSettings(); });
    auto* quit = new QAction(QStringLiteral("Quit Tidyword"), window);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::quit);
    window->addActions({settings, quit});
}

QWidget* AppDelegate::signInAnchor() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto shown =
        std::find_if(windows.cbegin(), windows.cend(), [](QWidget* w) { return w->isVisible(); });
    return shown == windows.cend() ? nullptr : *shown;
}

}  // namespace tidyword::ui
