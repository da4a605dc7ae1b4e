// The settings page rendered from real model states, and its controls reaching the model.
#include "hotkey/HotKeyError.h"
#include "integration/model/ModelHarness.h"
#include "integration/ui/Widgets.h"
#include "service/BetaError.h"
#include "ui/SettingsView.h"
#include "ui/Spinner.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tidyword::ui {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::find;
using test::shownIn;

class SettingsViewTest : public ::testing::Test {
protected:
    // Opens the model, and the settings page over it.
    void openView() {
        harness.open();
        view = std::make_unique<SettingsView>(*harness.model, [this] { ++accessibilityRequests; });
    }

    QPushButton* button(const QString& name) { return find<QPushButton>(view.get(), name); }
    QLabel* label(const QString& name) { return find<QLabel>(view.get(), name); }
    bool shown(const QWidget* widget) { return shownIn(widget, view.get()); }
    bool spinning() { return shown(view->findChild<Spinner*>()); }

    test::ModelHarness harness;
    std::unique_ptr<SettingsView> view;
    int accessibilityRequests = 0;
};

TEST_F(SettingsViewTest, AnUnconfiguredBuildCannotSignInButPreviews) {
    harness.configuration.reset();
    openView();
    EXPECT_TRUE(shown(button(u"signInButton"_s)));
    EXPECT_FALSE(button(u"signInButton"_s)->isEnabled());
    EXPECT_EQ(label(u"status"_s)->text(), BetaError(BetaError::notConfigured).errorDescription());
    EXPECT_EQ(label(u"status"_s)->palette().color(QPalette::WindowText), orange());
    QTest::mouseClick(button(u"previewButton"_s), Qt::LeftButton);
    EXPECT_TRUE(harness.model->isDemo());
    EXPECT_EQ(harness.shown, 1);
}

TEST_F(SettingsViewTest, SigningInShowsProgressThenTheAccountControls) {
    harness.server.setQuota({{u"limit"_s, 50}, {u"used"_s, 38}});
    openView();
    EXPECT_EQ(label(u"status"_s)->text(), u"Sign in to start using your free beta requests."_s);
    EXPECT_EQ(label(u"requests"_s)->text(), u"Free beta"_s);
    EXPECT_FALSE(shown(label(u"resetDate"_s)));  // nothing to reset before an account is known
    EXPECT_FALSE(spinning());
    QTest::mouseClick(button(u"signInButton"_s), Qt::LeftButton);
    EXPECT_TRUE(spinning());
    EXPECT_EQ(label(u"status"_s)->text(), u"Finish signing in in your browser\u2026"_s);

    test::runEventLoopUntil(
        [this] { return harness.model->signedIn() && !harness.model->accountBusy(); });
    EXPECT_EQ(harness.authenticator.shown().size(), 1);
    EXPECT_FALSE(harness.model->signingIn());
    EXPECT_EQ(label(u"status"_s)->text(), u"Signed in. Your free requests are ready."_s);
    EXPECT_FALSE(harness.model->accountStatusIsError());
    EXPECT_FALSE(shown(button(u"signInButton"_s)));
    EXPECT_TRUE(shown(button(u"refreshButton"_s)));
    EXPECT_TRUE(shown(button(u"signOutButton"_s)));
    EXPECT_FALSE(spinning());
    EXPECT_EQ(label(u"requests"_s)->text(), u"12 of 50 free requests remaining"_s);
    EXPECT_TRUE(shown(label(u"resetDate"_s)));
    EXPECT_TRUE(label(u"resetDate"_s)->text().startsWith(u"Requests reset "_s));

    harness.server.setQuota({{u"limit"_s, 50}, {u"used"_s, 7}});
    QTest::mouseClick(button(u"refreshButton"_s), Qt::LeftButton);
    test::runEventLoopUntil([this] { return harness.model->usage()->used == 7; });
    EXPECT_EQ(label(u"requests"_s)->text(), u"43 of 50 free requests remaining"_s);

    QTest::mouseClick(button(u"signOutButton"_s), Qt::LeftButton);
    test::runEventLoopUntil([this] { return !harness.model->signedIn(); });
    EXPECT_TRUE(shown(button(u"signInButton"_s)));
}

TEST_F(SettingsViewTest, ASignInLeftInTheBrowserCanBeStartedOverOrCancelled) {
    harness.followBrowser = false;
    openView();
    EXPECT_FALSE(shown(button(u"cancelSignInButton"_s)));
    QTest::mouseClick(button(u"signInButton"_s), Qt::LeftButton);
    test::runEventLoopUntil([this] { return harness.authenticator.shown().size() == 1; });
    EXPECT_TRUE(shown(button(u"cancelSignInButton"_s)));

    // "Sign in" again opens a new attempt in place of the one left in the browser.
    ASSERT_TRUE(button(u"signInButton"_s)->isEnabled());
    QTest::mouseClick(button(u"signInButton"_s), Qt::LeftButton);
    test::runEventLoopUntil([this] { return harness.authenticator.shown().size() == 2; });
    EXPECT_TRUE(harness.authenticator.isShowing());

    QTest::mouseClick(button(u"cancelSignInButton"_s), Qt::LeftButton);
    EXPECT_FALSE(harness.authenticator.isShowing());
    EXPECT_FALSE(harness.model->accountBusy());
    EXPECT_FALSE(shown(button(u"cancelSignInButton"_s)));
    EXPECT_EQ(label(u"status"_s)->text(), u"Sign-in cancelled."_s);
    EXPECT_TRUE(button(u"signInButton"_s)->isEnabled());
}

TEST_F(SettingsViewTest, TheAccessibilityRowFollowsTheTrust) {
    openView();
    auto* symbol = find<SymbolLabel>(view.get(), u"accessSymbol"_s);
    ASSERT_NE(symbol, nullptr);
    struct Expected {
        bool granted;
        const char16_t* symbol;
        const char16_t* title;
        const char16_t* button;
    };
    for (const Expected& expected :
         {Expected{false, u"circle.dashed", u"Enable Accessibility", u"Enable…"},
          Expected{true, u"checkmark.circle.fill", u"Accessibility is enabled", u"Open settings"},
          Expected{false, u"circle.dashed", u"Enable Accessibility", u"Enable…"}}) {
        harness.model->setAccessibilityGranted(expected.granted);
        EXPECT_EQ(symbol->symbol(), QString::fromUtf16(expected.symbol));
        EXPECT_EQ(label(u"accessTitle"_s)->text(), QString::fromUtf16(expected.title));
        // What "Enable…" would change is said before it is chosen.
        EXPECT_EQ(shown(view->findChild<QLabel*>(u"enableExplanation"_s)), !expected.granted);
        EXPECT_EQ(button(u"accessButton"_s)->text(), QString::fromUtf16(expected.button));
        QTest::mouseClick(button(u"accessButton"_s), Qt::LeftButton);
    }
    EXPECT_EQ(accessibilityRequests, 3);
}

TEST_F(SettingsViewTest, AChosenShortcutShowsAtOnceAndIsKeptOnlyBySaving) {
    openView();
    auto* picker = find<QComboBox>(view.get(), u"shortcutPicker"_s);
    EXPECT_EQ(label(u"shortcutStep"_s)->text(), u"Alt+Shift+D"_s);
    Q_EMIT picker->activated(picker->findText(u"Alt+Space"_s));
    EXPECT_EQ(label(u"shortcutStep"_s)->text(), u"Alt+Space"_s);
    EXPECT_EQ(harness.shortcutChanged, 0);
    EXPECT_FALSE(harness.settings.contains(u"shortcut"_s));

    QTest::mouseClick(button(u"saveButton"_s), Qt::LeftButton);
    EXPECT_EQ(harness.shortcutChanged, 1);
    EXPECT_TRUE(shown(label(u"status"_s)));
    EXPECT_EQ(label(u"status"_s)->text(), u"Shortcut saved."_s);

    // The next start reads it back, and one it does not know as the default.
    view.reset();
    harness.open();
    EXPECT_EQ(harness.model->shortcut(), ShortcutPreset::optionSpace);
    harness.settings.setValue(u"shortcut"_s, u"OptionSpace"_s);
    harness.open();
    EXPECT_EQ(harness.model->shortcut(), ShortcutPreset::optionShiftD);
}

TEST_F(SettingsViewTest, TheWheelChangesTheShortcutOnlyOnceTheUserFocusedThePicker) {
    openView();
    view->show();
    QApplication::setActiveWindow(view.get());
    auto* picker = view->findChild<QComboBox*>(u"shortcutPicker"_s);
    ASSERT_NE(picker, nullptr);
    const ShortcutPreset first = harness.model->shortcut();
    test::wheelOver(picker);
    EXPECT_EQ(harness.model->shortcut(), first);
    picker->setFocus(Qt::TabFocusReason);
    test::wheelOver(picker);
    EXPECT_NE(harness.model->shortcut(), first);
}

TEST_F(SettingsViewTest, AShortcutErrorShowsUnderThePicker) {
    openView();
    EXPECT_FALSE(shown(label(u"shortcutError"_s)));
    const QString message =
        HotKeyError::hotKeyRefused(ShortcutPreset::optionSpace, -9878).errorDescription();
    harness.model->setHotKeyError(message);
    EXPECT_TRUE(shown(label(u"shortcutError"_s)));
    EXPECT_EQ(label(u"shortcutError"_s)->text(), message);
    EXPECT_EQ(label(u"shortcutError"_s)->palette().color(QPalette::WindowText), orange());
    harness.model->setHotKeyError(std::nullopt);
    EXPECT_FALSE(shown(label(u"shortcutError"_s)));
}

}  // namespace
}  // namespace tidyword::ui
