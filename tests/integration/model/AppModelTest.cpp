// The application model driven as the popup, the settings window and the shortcut drive it.
#include "integration/model/ModelHarness.h"
#include "model/DemoSamples.h"
#include "service/BetaError.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using namespace test;
using Shortcut = platform::KeyEvents::Shortcut;

QString message(BetaError::Code code) {
    return BetaError(code).errorDescription();
}
QString message(TextBridgeError::Code code) {
    return TextBridgeError(code).errorDescription();
}

class AppModelTest : public ::testing::Test {
protected:
    void setDraft(const QString& value, TextRange selection) {
        harness.editor.desktop.setText(harness.editor.field, value, selection);
    }

    ModelHarness harness;
    std::unique_ptr<AppModel>& model = harness.model;
};

TEST_F(AppModelTest, CaptureShowsTheSuggestionFromTheService) {
    harness.openSignedIn();
    setDraft(u"i dont want to wait in order to ship"_s, {0, 36});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(model->original(), u"i dont want to wait in order to ship"_s);
    EXPECT_EQ(model->sourceName(), u"Editor"_s);
    EXPECT_EQ(model->suggestion(), u"I don't want to wait in order to ship."_s);
    EXPECT_TRUE(model->canReplace());
    EXPECT_EQ(model->usage()->used, 1);
    EXPECT_EQ(harness.shown, 1);
}

TEST_F(AppModelTest, ShortcutDuringACaptureOrAReplacementDoesNothing) {
    harness.openSignedIn();
    // A capture through the copy fallback waits for the application.
    harness.editor.hideSelection();
    harness.editor.desktop.setCopyEffect(kEditor, {std::nullopt});
    model->capture();
    model->capture();
    harness.advanceUntil([this] { return harness.shown == 1; });
    EXPECT_EQ(harness.editor.desktop.postedKeys().size(), 1);
    EXPECT_EQ(model->errorMessage(), message(TextBridgeError::noSelection));
    EXPECT_EQ(model->sourceName(), u"Select a draft to begin"_s);
}

TEST_F(AppModelTest, ShortcutDuringAReplacementDoesNothing) {
    harness.openSignedIn();
    harness.captureAndWait();
    model->replaceSuggestion();
    ASSERT_TRUE(model->replacing());
    model->capture();
    model->dismiss();
    harness.advanceUntil([this] { return !model->replacing(); });
    // The stand-in's grammar rewrite of "bad" is "Bad.".
    EXPECT_EQ(harness.editor.desktop.text(harness.editor.field), u"Not Bad. at all"_s);
    EXPECT_EQ(harness.dismissed, 1);  // only the replacement's own dismissal
}

TEST_F(AppModelTest, FailedCaptureShowsTheBridgesMessage) {
    harness.openSignedIn();
    harness.editor.desktop.setFrontmost({});
    model->capture();
    runEventLoopUntil([this] { return harness.shown == 1; });
    EXPECT_EQ(model->errorMessage(), message(TextBridgeError::noApplication));
    EXPECT_EQ(model->sourceName(), u"Select a draft to begin"_s);
    EXPECT_EQ(model->original(), QString());
    EXPECT_FALSE(model->selection().has_value());
}

TEST_F(AppModelTest, CaptureWhileThePopupHasTheFocusReadsFromItsSource) {
    for (const bool sourceQuits : {false, true}) {
        SCOPED_TRACE(sourceQuits ? "SourceQuit" : "SourceRuns");
        ModelHarness harness;
        auto& model = harness.model;
        harness.openSignedIn();
        harness.captureAndWait();
        const QString suggestion = model->suggestion();
        ASSERT_FALSE(suggestion.isEmpty());
        // The tray menu is used while the popup, Tidyword's own window, has the focus.
        harness.editor.desktop.addApplication({1, u"com.tidyword"_s, u"Tidyword"_s, {}});
        harness.editor.desktop.setFrontmost(1);
        harness.editor.desktop.setText(harness.editor.field, u"Not bad at all"_s, {0, 3});
        if (sourceQuits) {
            harness.editor.desktop.quit(kEditor);
        }
        model->capture();
        harness.advanceUntil([&] {
            return model->errorMessage() || (model->original() == u"Not" && !model->busy());
        });

        if (sourceQuits) {
            EXPECT_EQ(model->errorMessage(), message(TextBridgeError::noApplication));
            EXPECT_EQ(model->suggestion(), suggestion);
            EXPECT_EQ(model->original(), u"bad"_s);
        } else {
            EXPECT_EQ(model->errorMessage(), std::nullopt);
            EXPECT_EQ(model->original(), u"Not"_s);
            EXPECT_EQ(harness.editor.desktop.activations(), QList<qint32>{kEditor});
        }
    }
}

TEST_F(AppModelTest, AnswerToAModeTheUserLeftIsDiscarded) {
    harness.openSignedIn();
    setDraft(u"i dont want to wait in order to ship"_s, {0, 36});
    harness.server.queueFault({{u"path"_s, u"v1/improve"_s}, {u"delay_before_headers_ms"_s, 600}});
    QStringList suggestions;
    QObject::connect(model.get(), &AppModel::changed, [&](AppModel::Field field) {
        if (field == AppModel::Field::suggestion && !model->suggestion().isEmpty()) {
            suggestions << model->suggestion();
        }
    });
    model->capture();
    processEventsFor(100ms);
    model->chooseMode(EditMode::clearer);
    EXPECT_TRUE(model->busy());
    runEventLoopUntil([this] { return !model->busy(); });
    processEventsFor(700ms);  // the first answer arrives meanwhile, and is dropped
    EXPECT_EQ(suggestions, QStringList{u"I don't want to wait to ship."_s});
    EXPECT_EQ(model->mode(), EditMode::clearer);
    EXPECT_FALSE(model->busy());
}

TEST_F(AppModelTest, DismissingDuringAGenerationDropsItsAnswer) {
    harness.openSignedIn();
    harness.server.queueFault({{u"path"_s, u"v1/improve"_s}, {u"delay_before_headers_ms"_s, 300}});
    model->capture();
    processEventsFor(50ms);
    model->dismiss();
    EXPECT_FALSE(model->busy());
    processEventsFor(500ms);
    EXPECT_EQ(model->suggestion(), QString());
    EXPECT_EQ(model->original(), QString());
    EXPECT_EQ(harness.editor.desktop.activations(), QList<qint32>{kEditor});
}

TEST_F(AppModelTest, OnlyARetryAfterAFailureKeepsTheIdempotencyKey) {
    harness.openSignedIn();
    harness.server.queueFault({{u"path"_s, u"v1/improve"_s}, {u"status"_s, 503}});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), message(BetaError::unavailable));
    model->generate();
    runEventLoopUntil([this] { return !model->busy(); });
    EXPECT_FALSE(model->suggestion().isEmpty());
    // The same text, mode and instruction again after a success is a new request.
    model->generate();
    runEventLoopUntil([this] { return !model->busy(); });
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    harness.captureAndWait();

    const QStringList keys = harness.idempotencyKeys();
    ASSERT_EQ(keys.size(), 4);
    EXPECT_EQ(keys[0], keys[1]);
    EXPECT_NE(keys[2], keys[1]);
    EXPECT_NE(keys[3], keys[2]);
}

TEST_F(AppModelTest, CustomWaitsForValidInstructions) {
    harness.openSignedIn();
    harness.captureAndWait();
    const qsizetype sent = harness.requestsTo(u"/v1/improve"_s).size();

    model->chooseMode(EditMode::custom);
    EXPECT_EQ(model->suggestion(), QString());
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), sent);

    const QString emoji = u"\U0001F600"_s;
    for (const QString& refused : {u" \n "_s, emoji.repeated(2'001)}) {
        model->setCustomInstruction(refused);
        model->generate();
        EXPECT_EQ(model->errorMessage(), message(BetaError::customInstruction));
        EXPECT_FALSE(model->busy());
    }
    EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), sent);

    model->setCustomInstruction(emoji.repeated(2'000));
    model->generate();
    runEventLoopUntil([this] { return !model->busy(); });
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), sent + 1);
}

TEST_F(AppModelTest, TextOf4000ScalarsIsSentAndOf4001IsNot) {
    harness.openSignedIn();
    const QString emoji = u"\U0001F600"_s;
    setDraft(emoji.repeated(4'001), {0, 8'002});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(),
              u"This selection is too long. Select up to 4,000 characters at a time."_s);
    EXPECT_TRUE(harness.requestsTo(u"/v1/improve"_s).isEmpty());

    setDraft(emoji.repeated(4'000), {0, 8'000});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), 1);
}

TEST_F(AppModelTest, SpentQuotaShowsItsMessageAndRefreshesTheAccount) {
    harness.openSignedIn();
    harness.server.setQuota({{u"limit"_s, 3}, {u"used"_s, 3}});
    const qsizetype accountCalls = harness.requestsTo(u"/v1/account"_s).size();
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), message(BetaError::quotaExceeded));
    runEventLoopUntil([this] { return model->usage() && model->usage()->remaining == 0; });
    EXPECT_EQ(harness.requestsTo(u"/v1/account"_s).size(), accountCalls + 1);
    EXPECT_EQ(model->usageLabel(), u"0 of 3 free requests remaining"_s);
}

TEST(AppModelSignOutTest, RefusedSignInSignsOutEverywhereAndForgetsTheStoredSet) {
    const struct {
        const char* name;
        std::function<void(ModelHarness&)> refuse;
        bool throughCapture;
    } cases[] = {
        {"ServiceRefusesTheToken",
         [](ModelHarness& harness) { harness.server.control("POST", u"expire-tokens"_s); }, true},
        {"RefreshIsRefused",
         [](ModelHarness& harness) {
             harness.editor.clock.advance(3600s);
             harness.server.queueFault({{u"path"_s, u"token"_s}, {u"status"_s, 401}});
         },
         true},
        {"AccountCallRefusesTheToken",
         [](ModelHarness& harness) { harness.server.control("POST", u"expire-tokens"_s); }, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ModelHarness harness;
        const auto& model = harness.model;
        harness.openSignedIn();
        test.refuse(harness);
        if (test.throughCapture) {
            harness.captureAndWait();
            EXPECT_EQ(model->errorMessage(), message(BetaError::signInRequired));
        } else {
            model->refreshAccount();
            runEventLoopUntil([&model] { return !model->signedIn(); });
        }
        EXPECT_FALSE(model->signedIn());
        EXPECT_EQ(model->accountStatus(), message(BetaError::signInRequired));
        EXPECT_TRUE(model->accountStatusIsError());
        EXPECT_TRUE(harness.secrets.items().isEmpty());

        harness.open();  // the next start
        EXPECT_FALSE(model->signedIn());
    }
}

// A keyring that is locked or not running: every operation of the store fails until it is back.
void setKeyringAvailable(platform::sim::SimulatedSecretStore& secrets, bool available) {
    using Operation = platform::sim::SimulatedSecretStore::Operation;
    for (const auto operation :
         {Operation::find, Operation::update, Operation::add, Operation::remove}) {
        secrets.failWith(operation, available
                                        ? std::nullopt
                                        : std::optional(platform::SecretStore::Status::failure));
    }
}

TEST_F(AppModelTest, KeyringLockedAtStartIsTriedAgainByTheNextRequest) {
    harness.storeSignIn();
    setKeyringAvailable(harness.secrets, false);
    harness.open();
    EXPECT_TRUE(model->configured());
    EXPECT_FALSE(model->signedIn());
    EXPECT_EQ(model->accountStatus(), message(BetaError::keychain));
    EXPECT_TRUE(model->accountStatusIsError());

    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), message(BetaError::keychain));

    setKeyringAvailable(harness.secrets, true);
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_FALSE(model->suggestion().isEmpty());
    EXPECT_TRUE(model->signedIn());
    EXPECT_EQ(model->accountStatus(), u"Signed in. Your free requests are ready."_s);
}

TEST_F(AppModelTest, SignOutWhileTheKeyringIsLockedIsNotUndoneWhenItOpens) {
    harness.storeSignIn();
    setKeyringAvailable(harness.secrets, false);
    harness.open();
    model->signOut();

    setKeyringAvailable(harness.secrets, true);
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), message(BetaError::signInRequired));
    EXPECT_FALSE(model->signedIn());
}

TEST_F(AppModelTest, SignInTriesTheKeyringAgainAndKeepsNoSignInItCannotSave) {
    setKeyringAvailable(harness.secrets, false);
    harness.open();
    const auto signIn = [this] {
        model->signIn();
        runEventLoopUntil([this] { return !model->accountBusy(); });
    };
    signIn();
    EXPECT_EQ(model->accountStatus(), message(BetaError::keychain));
    EXPECT_TRUE(harness.authenticator.shown().isEmpty());

    // Writable no more: the browser sign-in succeeds, and is not kept.
    setKeyringAvailable(harness.secrets, true);
    harness.secrets.failWith(platform::sim::SimulatedSecretStore::Operation::add,
                             platform::SecretStore::Status::failure);
    signIn();
    EXPECT_EQ(harness.authenticator.shown().size(), 1);
    EXPECT_EQ(model->accountStatus(), message(BetaError::keychain));
    EXPECT_FALSE(model->signedIn());
    EXPECT_TRUE(harness.secrets.items().isEmpty());

    setKeyringAvailable(harness.secrets, true);
    signIn();
    EXPECT_TRUE(model->signedIn());
    EXPECT_EQ(model->accountStatus(), u"Signed in. Your free requests are ready."_s);
}

TEST_F(AppModelTest, WithoutAConfigurationNothingReachesTheService) {
    harness.configuration = std::nullopt;
    harness.open();
    EXPECT_FALSE(model->configured());
    EXPECT_EQ(model->accountStatus(), message(BetaError::notConfigured));
    EXPECT_TRUE(model->accountStatusIsError());

    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), message(BetaError::notConfigured));

    model->signIn();
    EXPECT_FALSE(model->accountBusy());
    EXPECT_TRUE(harness.authenticator.shown().isEmpty());
    EXPECT_EQ(model->accountStatus(), message(BetaError::notConfigured));
    EXPECT_TRUE(harness.server.requests().isEmpty());
}

TEST_F(AppModelTest, InvalidConfigurationShowsTheSameMessage) {
    harness.configuration = configFile(auth0Members(), {{u"redirect_uri"_s, u"x://y"_s}});
    harness.open();
    EXPECT_FALSE(model->configured());
    EXPECT_EQ(model->accountStatus(), message(BetaError::notConfigured));
}

TEST_F(AppModelTest, SignInRunsOneBrowserFlowAndShowsTheQuota) {
    harness.open();
    EXPECT_EQ(model->accountStatus(), u"Sign in to start using your free beta requests."_s);
    EXPECT_EQ(model->usageLabel(), u"Free beta"_s);
    model->signIn();
    EXPECT_EQ(model->accountStatus(), u"Finish signing in in your browser\u2026"_s);
    runEventLoopUntil([this] { return !model->accountBusy(); });
    EXPECT_EQ(harness.authenticator.shown().size(), 1);
    EXPECT_FALSE(model->signingIn());
    EXPECT_TRUE(model->signedIn());
    EXPECT_EQ(model->accountStatus(), u"Signed in. Your free requests are ready."_s);
    EXPECT_EQ(model->usageLabel(), u"50 of 50 free requests remaining"_s);
}

TEST_F(AppModelTest, SigningOutWhileTheBrowserWaitsWins) {
    harness.followBrowser = false;
    harness.open();
    model->signIn();
    processEventsFor(20ms);
    model->signOut();
    EXPECT_FALSE(model->accountBusy());
    EXPECT_EQ(model->accountStatus(), u"Signed out of Tidyword."_s);

    // The browser's answer comes too late to matter.
    harness.authenticator.reportAlthoughClosed(
        QUrl(u"com.tidyword.beta://oauth/callback?code=c&state=s"_s));
    processEventsFor(100ms);
    EXPECT_FALSE(model->signedIn());
    EXPECT_EQ(model->accountStatus(), u"Signed out of Tidyword."_s);
    EXPECT_FALSE(model->accountStatusIsError());
}

TEST_F(AppModelTest, RefreshFinishingAfterSignOutIsDiscarded) {
    harness.storeSignIn();
    harness.server.queueFault({{u"path"_s, u"v1/account"_s}, {u"delay_before_headers_ms"_s, 300}});
    harness.open();
    EXPECT_EQ(model->usageLabel(), u"Free beta \u00B7 Checking requests\u2026"_s);
    model->signOut();
    processEventsFor(500ms);
    EXPECT_EQ(model->usage(), std::nullopt);
    EXPECT_EQ(model->accountStatus(), u"Signed out of Tidyword."_s);
}

TEST_F(AppModelTest, UsageLabelsFollowTheAccount) {
    harness.server.setQuota({{u"limit"_s, 50}, {u"used"_s, 38}});
    harness.openSignedIn();
    EXPECT_EQ(model->usageLabel(), u"12 of 50 free requests remaining"_s);
    EXPECT_TRUE(model->resetLabel().startsWith(u"Requests reset "_s));
}

TEST(ResetLabelTest, AbbreviatedDateInTheUsersLocaleOrNothing) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(resetLabelFor(u"2026-12-06T12:00:00Z"_s, english), u"Requests reset Dec 6, 2026."_s);
    EXPECT_EQ(resetLabelFor(u"2026-12-06T12:00:00.250Z"_s, english),
              u"Requests reset Dec 6, 2026."_s);
    EXPECT_EQ(resetLabelFor(u"2026-12-06"_s, english), QString());
}

TEST_F(AppModelTest, TwoQuickReplacePressesReplaceOnceAndKeepTheDisplay) {
    harness.openSignedIn();
    harness.captureAndWait();
    model->setDisplayMode(PreviewDisplay::improved);
    model->replaceSuggestion();
    model->replaceSuggestion();
    harness.advanceUntil([this] { return !model->replacing(); });

    const auto& posted = harness.editor.desktop.postedKeys();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), std::pair{Shortcut::paste, kEditor}), 1);
    EXPECT_EQ(harness.editor.desktop.text(harness.editor.field), u"Not Bad. at all"_s);
    EXPECT_EQ(harness.dismissed, 1);
    EXPECT_EQ(model->original(), QString());
    EXPECT_FALSE(model->replacing());
    EXPECT_EQ(model->displayMode(), PreviewDisplay::improved);
}

TEST_F(AppModelTest, FailedReplacementLeavesOnlyCopying) {
    harness.openSignedIn();
    harness.captureAndWait();
    const QString suggestion = model->suggestion();
    harness.editor.desktop.type(harness.editor.field, u"!"_s);
    model->replaceSuggestion();
    harness.advanceUntil([this] { return !model->replacing(); });
    EXPECT_EQ(model->errorMessage(), message(TextBridgeError::staleSelection));
    EXPECT_EQ(harness.shown, 2);
    EXPECT_FALSE(model->canReplace());
    EXPECT_EQ(model->suggestion(), suggestion);

    model->copySuggestion();
    EXPECT_EQ(harness.editor.desktop.string(), suggestion);
    EXPECT_EQ(model->copyLabel(), u"Copied"_s);
}

TEST_F(AppModelTest, DemoPreviewShowsTheSamplesWithoutAnyRequest) {
    harness.openSignedIn();
    harness.server.queueFault({{u"path"_s, u"v1/improve"_s}, {u"delay_before_headers_ms"_s, 300}});
    model->capture();
    processEventsFor(50ms);
    model->preview();
    EXPECT_TRUE(model->isDemo());
    EXPECT_FALSE(model->busy());
    EXPECT_EQ(model->sourceName(), u"Interface preview"_s);
    EXPECT_EQ(model->original(), DemoSamples::draft());
    EXPECT_EQ(model->suggestion(), DemoSamples::suggestion(EditMode::grammar));
    processEventsFor(500ms);  // the abandoned answer arrives and is dropped
    EXPECT_EQ(model->suggestion(), DemoSamples::suggestion(EditMode::grammar));

    model->chooseMode(EditMode::custom);
    EXPECT_EQ(model->suggestion(), DemoSamples::suggestion(EditMode::custom));
    model->generate();
    EXPECT_EQ(model->suggestion(), DemoSamples::suggestion(EditMode::custom));

    model->copySuggestion();
    EXPECT_EQ(harness.editor.desktop.string(), DemoSamples::suggestion(EditMode::custom));
    EXPECT_EQ(model->copyLabel(), u"Copied"_s);
    EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), 1);  // the abandoned one only
}

TEST_F(AppModelTest, DemoIsIgnoredDuringACapture) {
    harness.openSignedIn();
    harness.editor.hideSelection();
    harness.editor.desktop.setCopyEffect(kEditor, {std::nullopt});
    model->capture();
    model->preview();
    EXPECT_FALSE(model->isDemo());
    harness.advanceUntil([this] { return harness.shown == 1; });
}

TEST_F(AppModelTest, NoAccessibilityOpensTheSettingsWithTheShortcutsHint) {
    harness.editor.desktop.setTrusted(false);
    harness.settings.setValue(u"shortcut"_s, u"controlOptionSpace"_s);
    harness.open();
    model->capture();
    EXPECT_EQ(harness.settingsOpened, 1);
    EXPECT_EQ(harness.shown, 0);
    EXPECT_EQ(
        model->accountStatus(),
        u"Turn on desktop accessibility for Tidyword, then return to your draft and press Ctrl+Alt+Space."_s);
    EXPECT_TRUE(model->accountStatusIsError());
}

TEST_F(AppModelTest, SavedShortcutIsReadBackAtTheNextStart) {
    harness.open();
    EXPECT_EQ(model->shortcut(), ShortcutPreset::optionShiftD);
    model->setShortcut(ShortcutPreset::optionSpace);
    model->saveSettings();
    EXPECT_EQ(harness.shortcutChanged, 1);
    EXPECT_EQ(model->accountStatus(), u"Shortcut saved."_s);
    harness.open();
    EXPECT_EQ(model->shortcut(), ShortcutPreset::optionSpace);

    harness.settings.setValue(u"shortcut"_s, u"OptionSpace"_s);
    harness.open();
    EXPECT_EQ(model->shortcut(), ShortcutPreset::optionShiftD);
}

}  // namespace
}  // namespace tidyword
