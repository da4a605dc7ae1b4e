// The shell over the model, the simulated hot keys and the simulated desktop: launch, the
// shortcut opening and closing the popup, registration failures, and the permission poll.
#include "integration/model/ModelHarness.h"
#include "integration/ui/Widgets.h"
#include "platform/linux/X11Workspace.h"
#include "platform/sim/SimulatedHotKeys.h"
#include "ui/AppDelegate.h"

#include <QAccessible>
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

namespace tidyword::ui {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using platform::ScreenRect;

class AppDelegateTest : public ::testing::Test {
public:
    void launch(bool preview = false) {
        if (!harness.model) {
            harness.open();
        }
        delegate = std::make_unique<AppDelegate>(
            *harness.model,
            AppDelegate::Platform{
                hotKeys, harness.editor.clock, harness.editor.desktop, {}, {}, commandShortcut});
        delegate->launch(preview);
    }

    bool popupShown() const { return delegate->popup() && delegate->popup()->isVisible(); }
    bool settingsShown() const {
        return delegate->preferences() && delegate->preferences()->isVisible();
    }

    void triggerMenuItem(const QString& text) {
        for (QAction* action : delegate->statusMenu()->actions()) {
            if (action->text() == text) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
    }

    template <typename T>
    T* inSettings(const QString& name) {
        return test::find<T>(delegate->settingsView(), name);
    }
    bool shownInSettings(const QWidget* widget) {
        return test::shownIn(widget, delegate->settingsView());
    }

    test::ModelHarness harness;
    platform::sim::SimulatedHotKeys hotKeys;
    AppDelegate::CommandShortcut commandShortcut;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, LaunchRegistersTheShortcutAndShowsTheSettingsTerminationUnregisters) {
    launch();
    EXPECT_TRUE(settingsShown());
    EXPECT_FALSE(popupShown());
    EXPECT_EQ(delegate->statusItem()->toolTip(), u"Tidyword · Alt+Shift+D"_s);
    EXPECT_EQ(harness.model->hotKeyError(), std::nullopt);
    EXPECT_EQ(delegate->preferences()->size(), QSize(600, 695));
    EXPECT_EQ(delegate->preferences()->windowTitle(), u"Tidyword Settings"_s);
    QStringList menu;
    for (const QAction* action : delegate->statusMenu()->actions()) {
        menu << (action->isSeparator() ? u"-"_s : action->text());
    }
    EXPECT_EQ(menu, (QStringList{u"Improve selected text"_s, u"Preview popup"_s, u"-"_s,
                                 u"Settings…"_s, u"-"_s, u"Quit Tidyword"_s}));
    EXPECT_TRUE(hotKeys.hasHotKey());
    EXPECT_TRUE(delegate->permissionTimer().isActive());
    delegate->terminate();
    EXPECT_FALSE(hotKeys.hasHotKey());
    EXPECT_FALSE(delegate->permissionTimer().isActive());
}

// A sign-in belongs to a window that is shown.
TEST_F(AppDelegateTest, PreviewLaunchOpensTheDemoAndReopenTheSettings) {
    launch(true);
    EXPECT_TRUE(popupShown());
    EXPECT_EQ(delegate->preferences(), nullptr);
    EXPECT_TRUE(harness.model->isDemo());
    EXPECT_EQ(AppDelegate::signInAnchor(), delegate->popup());
    delegate->reopen();
    EXPECT_TRUE(settingsShown());
    delegate->popup()->hide();
    EXPECT_EQ(AppDelegate::signInAnchor(), delegate->preferences());
    // A settings window that was closed is no window to show a sign-in over.
    delegate->preferences()->hide();
    EXPECT_EQ(AppDelegate::signInAnchor(), nullptr);
}

// Tall content never narrows the panel.
TEST_F(AppDelegateTest, TheShortcutOpensAndClosesThePopup) {
    harness.openSignedIn();
    launch();
    const QString tall = QString(3000, u'w').replace(u'w', u"word "_s);
    harness.editor.desktop.setText(harness.editor.field, tall, {0, 100});
    hotKeys.pressHotKey();
    harness.advanceUntil([this] { return popupShown() && !harness.model->busy(); });
    EXPECT_EQ(harness.model->original(), tall.left(100));
    const QSize size = delegate->popup()->size();
    EXPECT_EQ(size.width(), 620);
    EXPECT_GE(size.height(), 410);

    harness.editor.clock.advance(200ms);
    hotKeys.pressHotKey();
    EXPECT_FALSE(popupShown());
    EXPECT_EQ(harness.dismissed, 0);  // the shell's own callback hid it
}

// The ctest entries ScreenLayout.* run this on desktops of several monitors as well: the
// selection's rectangle, as the desktop reports it, and the panel's placement agree on each.
TEST_F(AppDelegateTest, ThePanelOpensOnTheMonitorOfTheSelection) {
    launch();
    harness.editor.desktop.setScreens(platform::linux_desktop::qtScreenFrames());
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        harness.editor.desktop.setBounds(harness.editor.field,
                                         ScreenRect{area.x() + 100.0, area.y() + 100.0, 80, 20});
        triggerMenuItem(u"Improve selected text"_s);
        harness.advanceUntil([this] { return popupShown() && !harness.model->busy(); });
        EXPECT_EQ(delegate->popup()->pos(), QPoint(area.x() + 100, area.y() + 130))
            << screen->name().toStdString();
        harness.model->dismiss();
        harness.advanceUntil([this] { return !popupShown(); });
    }
}

// Whatever the panel shows first or later, it has the height of that content and stands where
// presenting it afresh would put it, inside the screen's margin.
struct Fit {
    const char* name;
    std::function<void(AppDelegateTest&)> open;
};

class PanelFitTest : public AppDelegateTest, public ::testing::WithParamInterface<Fit> {};

TEST_P(PanelFitTest, HeightAndPlaceFollowTheContent) {
    GetParam().open(*this);
    QCoreApplication::processEvents();  // the queued fitting after the last change
    const QRect shown = delegate->popup()->geometry();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(shown.width(), 620);
    EXPECT_TRUE(area.adjusted(16, 16, -16, -16).contains(shown))
        << shown.y() << "+" << shown.height();
    // No blank space in the result box beyond its least height.
    const auto* result = test::find<QScrollArea>(delegate->popup(), u"resultPanel"_s);
    const int content =
        result->widget()->heightForWidth(result->viewport()->width()) + 2 * result->frameWidth();
    EXPECT_EQ(result->height(), std::max(result->minimumHeight(), content));
    delegate->showPopup();
    EXPECT_EQ(delegate->popup()->geometry(), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Content, PanelFitTest,
    ::testing::Values(
        Fit{"TheDemoAtFirstShow", [](AppDelegateTest& t) { t.launch(true); }},
        // The error box arrives after the panel was pushed up to the bottom margin.
        Fit{"AnErrorArrivingNearTheBottom",
            [](AppDelegateTest& t) {
                t.harness.openSignedIn();
                t.launch();
                t.harness.server.control(
                    "POST", u"faults"_s,
                    QJsonDocument(QJsonObject{{u"path"_s, u"v1/improve"_s}, {u"status"_s, 503}}));
                t.harness.editor.desktop.setScreens(platform::linux_desktop::qtScreenFrames());
                const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
                t.harness.editor.desktop.setBounds(t.harness.editor.field,
                                                   ScreenRect{100, area.bottom() - 40.0, 80, 20});
                t.harness.editor.desktop.setText(
                    t.harness.editor.field, QString(40, u'w').replace(u'w', u"word "_s), {0, 200});
                t.triggerMenuItem(u"Improve selected text"_s);
                t.harness.advanceUntil(
                    [&t] { return t.popupShown() && t.harness.model->errorMessage(); });
            }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, ARefusedShortcutKeepsTheOldTooltipAndTheMenuWorks) {
    launch();
    hotKeys.refuseHotKey(-9878);
    harness.model->setShortcut(ShortcutPreset::optionSpace);
    harness.model->saveSettings();

    EXPECT_EQ(harness.model->hotKeyError(),
              HotKeyError::hotKeyRefused(ShortcutPreset::optionSpace, -9878).errorDescription());
    EXPECT_EQ(delegate->statusItem()->toolTip(), u"Tidyword · Alt+Shift+D"_s);
    EXPECT_FALSE(hotKeys.hasHotKey());  // the previous shortcut is gone too

    triggerMenuItem(u"Improve selected text"_s);
    harness.advanceUntil([this] { return popupShown(); });
    EXPECT_EQ(harness.model->original(), u"bad"_s);
}

TEST_F(AppDelegateTest, ThePollNoticesAGrantedPermission) {
    harness.editor.desktop.setTrusted(false);
    launch();
    EXPECT_FALSE(harness.model->accessibilityGranted());
    EXPECT_EQ(delegate->permissionTimer().interval(), 2000);
    test::processEventsFor(100ms);  // the settings window's activation has come and gone
    int activations = 0;
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, harness.model.get(),
                     [&activations] { ++activations; });

    harness.editor.desktop.setTrusted(true);
    // The poll runs on real time; the watchdog is far longer than one interval.
    test::runEventLoopUntil([this] { return harness.model->accessibilityGranted(); });
    EXPECT_EQ(activations, 0);  // so it was the poll that looked
    EXPECT_TRUE(delegate->permissionTimer().isActive());
}

// Where the desktop runs `tidyword --improve` for the shortcut, the shortcut's row says how: on
// GNOME with the button that adds it to GNOME's shortcuts (below), elsewhere with the command to
// bind.
TEST_F(AppDelegateTest, TheShortcutRowSaysHowTheDesktopRunsTheShortcut) {
    const struct {
        const char* name;
        AppDelegate::CommandShortcut commandShortcut;
        QString note;
    } rows[] = {
        {"a hot key of Tidyword's own", {}, {}},
        {"a command the user binds",
         {u"tidyword --improve"_s, {}, {}, {}},
         u"Bind Alt+Shift+D to the command “tidyword --improve” in your desktop's keyboard "
         "settings."_s},
        {"a command, while the desktop's shortcut portal holds the chord",
         {u"tidyword --improve"_s, {}, {}, [] { return false; }},
         {}},
    };
    for (const auto& row : rows) {
        delegate.reset();
        commandShortcut = row.commandShortcut;
        launch();
        EXPECT_FALSE(shownInSettings(inSettings<QPushButton>(u"desktopShortcutButton"_s)))
            << row.name;
        auto* note = inSettings<QLabel>(u"shortcutCommand"_s);
        EXPECT_EQ(shownInSettings(note), !row.note.isEmpty()) << row.name;
        EXPECT_EQ(note->text(), row.note) << row.name;
    }
}

TEST_F(AppDelegateTest, TheGnomeButtonAddsTheShortcutAndTakesItAway) {
    QList<ShortcutPreset> added;
    int removed = 0;
    std::optional<QString> refusal;
    commandShortcut = {u"tidyword --improve"_s,
                       [&](ShortcutPreset preset) {
                           added << preset;
                           if (!refusal) {
                               hotKeys.acceptHotKeys();
                           }
                           return refusal;
                       },
                       [&] {
                           ++removed;
                           hotKeys.refuseHotKey(platform::HotKeys::gnomeShortcutMissing);
                           return std::optional<QString>();
                       },
                       {}};
    hotKeys.refuseHotKey(platform::HotKeys::gnomeShortcutMissing);
    launch();
    auto* button = inSettings<QPushButton>(u"desktopShortcutButton"_s);
    EXPECT_TRUE(shownInSettings(button));
    auto* note = inSettings<QLabel>(u"shortcutCommand"_s);
    const QString missing = HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD,
                                                       platform::HotKeys::gnomeShortcutMissing)
                                .errorDescription();

    const struct {
        const char* name;
        std::optional<QString> refusal;  // what GNOME's settings answer an addition
        QString buttonText;
        std::optional<QString> error;
        bool registered;
        qsizetype added;
        int removed;
    } steps[] = {
        {"before anything is added", {}, u"Add to GNOME Shortcuts"_s, missing, false, 0, 0},
        {"added", {}, u"Remove from GNOME Shortcuts"_s, {}, true, 1, 0},
        {"taken away", {}, u"Add to GNOME Shortcuts"_s, missing, false, 1, 1},
        {"refused by GNOME's settings", u"Refused."_s, u"Add to GNOME Shortcuts"_s, u"Refused."_s,
         false, 2, 1},
    };
    bool first = true;
    for (const auto& step : steps) {
        refusal = step.refusal;
        if (!std::exchange(first, false)) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCoreApplication::processEvents();  // the open window renders at the turn's end
        }
        EXPECT_EQ(button->text(), step.buttonText) << step.name;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name),
                  step.buttonText)
            << step.name;
        EXPECT_EQ(harness.model->hotKeyError(), step.error) << step.name;
        EXPECT_EQ(hotKeys.hasHotKey(), step.registered) << step.name;
        EXPECT_EQ(
            shownInSettings(note) ? note->text() : QString(),
            step.registered ? u"GNOME runs “tidyword --improve” for Alt+Shift+D."_s : QString())
            << step.name;
        EXPECT_EQ(added.size(), step.added) << step.name;
        EXPECT_EQ(removed, step.removed) << step.name;
    }
    EXPECT_TRUE(std::all_of(added.cbegin(), added.cend(), [](ShortcutPreset preset) {
        return preset == ShortcutPreset::optionShiftD;
    }));
}

}  // namespace
}  // namespace tidyword::ui
