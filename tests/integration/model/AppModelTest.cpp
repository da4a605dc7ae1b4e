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

const QString kDraft = u"i dont want to wait in order to ship"_s;
const QString kSignedIn = u"Signed in. Your free requests are ready."_s;
const QString kSignedOut = u"Signed out of Tidyword."_s;

class AppModelTest : public ::testing::Test {
protected:
    void setDraft(const QString& value, TextRange selection) {
        harness.editor.desktop.setText(harness.editor.field, value, selection);
    }
    // The request and its answer: the model is idle again.
    void generateAndWait() {
        model->generate();
        runEventLoopUntil([this] { return !model->busy(); });
    }

    ModelHarness harness;
    std::unique_ptr<AppModel>& model = harness.model;
};

TEST_F(AppModelTest, DuringACaptureShortcutAndPreviewDoNothingAndItsFailureIsShown) {
    harness.openSignedIn();
    // A capture through the copy fallback waits for the application, which never copies.
    harness.editor.hideSelection();
    harness.editor.desktop.setCopyEffect(kEditor, {std::nullopt});
    model->capture();
    model->capture();
    model->preview();
    EXPECT_FALSE(model->isDemo());
    harness.advanceUntil([this] { return harness.shown == 1; });
    EXPECT_EQ(harness.editor.desktop.postedKeys().size(), 1);
    EXPECT_EQ(model->errorMessage(), message(TextBridgeError::noSelection));
    EXPECT_EQ(model->sourceName(), u"Select a draft to begin"_s);
    EXPECT_EQ(model->original(), QString());
    EXPECT_FALSE(model->selection().has_value());
}

TEST_F(AppModelTest, DuringAReplacementOnlyItRunsOnceAndTheDisplayStays) {
    harness.openSignedIn();
    harness.captureAndWait();
    model->setDisplayMode(PreviewDisplay::improved);
    model->replaceSuggestion();
    ASSERT_TRUE(model->replacing());
    model->replaceSuggestion();
    model->capture();
    model->dismiss();
    harness.advanceUntil([this] { return !model->replacing(); });

    const auto& posted = harness.editor.desktop.postedKeys();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), std::pair{Shortcut::paste, kEditor}), 1);
    // The stand-in's grammar rewrite of "bad" is "Bad.".
    EXPECT_EQ(harness.editor.desktop.text(harness.editor.field), u"Not Bad. at all"_s);
    EXPECT_EQ(harness.dismissed, 1);  // only the replacement's own dismissal
    EXPECT_EQ(model->original(), QString());
    EXPECT_EQ(model->displayMode(), PreviewDisplay::improved);
}

TEST(AppModelPopupFocusTest, CaptureWhileThePopupHasTheFocusReadsFromItsSource) {
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

// The answer to a request the user has moved on from arrives after the next one's, or after
// nothing is shown any more: it never shows.
TEST(AppModelLateAnswerTest, AnAnswerToARequestTheUserLeftIsDropped) {
    const struct {
        const char* name;
        std::function<void(ModelHarness&)> leave;
        QString shown;  // the suggestion shown in the end, the only one
        bool focusReturned;
    } cases[] = {
        {"SelectedAgain",
         [](ModelHarness& h) {
             h.editor.desktop.setText(h.editor.field, kDraft, {0, 6});
             h.model->capture();
         },
         u"I don't."_s, false},
        {"OtherModeChosen", [](ModelHarness& h) { h.model->chooseMode(EditMode::clearer); },
         u"I don't want to wait to ship."_s, false},
        {"Dismissed", [](ModelHarness& h) { h.model->dismiss(); }, QString(), true},
        {"SignedOut", [](ModelHarness& h) { h.model->signOut(); }, QString(), false},
        {"PreviewShown", [](ModelHarness& h) { h.model->preview(); },
         DemoSamples::suggestion(EditMode::grammar), false},
    };
    for (const auto& test : cases) {
        ModelHarness harness;
        auto& model = harness.model;
        harness.openSignedIn();
        QStringList shown;
        QObject::connect(model.get(), &AppModel::changed, [&](AppModel::Field field) {
            if (field == AppModel::Field::suggestion && !model->suggestion().isEmpty()) {
                shown << model->suggestion();
            }
        });
        harness.editor.desktop.setText(harness.editor.field, kDraft, {0, 36});
        harness.held.holdNext(u"/v1/improve"_s);
        model->capture();
        runEventLoopUntil([&] { return harness.held.waiting() == 1; });

        test.leave(harness);
        runEventLoopUntil([&] { return !model->busy(); });
        harness.held.letThrough();

        EXPECT_EQ(shown, test.shown.isEmpty() ? QStringList() : QStringList{test.shown})
            << test.name;
        EXPECT_EQ(model->suggestion(), test.shown) << test.name;
        EXPECT_FALSE(model->busy()) << test.name;
        EXPECT_EQ(harness.editor.desktop.activations().contains(kEditor), test.focusReturned)
            << test.name;
    }
}

TEST_F(AppModelTest, OnlyARetryAfterAFailureKeepsTheIdempotencyKey) {
    harness.openSignedIn();
    harness.server.queueFault({{u"path"_s, u"v1/improve"_s}, {u"status"_s, 503}});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), message(BetaError::unavailable));
    generateAndWait();
    EXPECT_FALSE(model->suggestion().isEmpty());
    // The same text, mode and instruction again after a success is a new request.
    generateAndWait();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    harness.captureAndWait();

    const QStringList keys = harness.idempotencyKeys();
    ASSERT_EQ(keys.size(), 4);
    EXPECT_EQ(keys[0], keys[1]);
    EXPECT_NE(keys[2], keys[1]);
    EXPECT_NE(keys[3], keys[2]);
}

TEST_F(AppModelTest, OnlyTextsAndInstructionsWithinTheirLimitsAreSent) {
    harness.openSignedIn();
    const QString emoji = u"\U0001F600"_s;
    const auto sent = [this] { return harness.requestsTo(u"/v1/improve"_s).size(); };
    setDraft(emoji.repeated(4'001), {0, 8'002});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(),
              u"This selection is too long. Select up to 4,000 characters at a time."_s);
    EXPECT_EQ(sent(), 0);
    setDraft(emoji.repeated(4'000), {0, 8'000});
    harness.captureAndWait();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(sent(), 1);

    // Custom waits for instructions: nothing is sent until they are valid.
    model->chooseMode(EditMode::custom);
    EXPECT_EQ(model->suggestion(), QString());
    EXPECT_FALSE(model->busy());
    for (const QString& refused : {u" \n "_s, emoji.repeated(2'001)}) {
        model->setCustomInstruction(refused);
        model->generate();
        EXPECT_EQ(model->errorMessage(), message(BetaError::customInstruction));
        EXPECT_FALSE(model->busy());
    }
    EXPECT_EQ(sent(), 1);
    model->setCustomInstruction(emoji.repeated(2'000));
    generateAndWait();
    EXPECT_EQ(model->errorMessage(), std::nullopt);
    EXPECT_EQ(sent(), 2);
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

TEST_F(AppModelTest, FailedAccountRefreshSaysWhyAndKeepsTheSignIn) {
    harness.openSignedIn();
    harness.server.queueFault({{u"path"_s, u"v1/account"_s}, {u"status"_s, 503}});
    model->refreshAccount();
    runEventLoopUntil([this] { return model->accountStatus() != kSignedIn; });
    EXPECT_EQ(model->accountStatus(), message(BetaError::unavailable));
    EXPECT_TRUE(model->accountStatusIsError());
    EXPECT_TRUE(model->signedIn());
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
    EXPECT_EQ(model->accountStatus(), kSignedIn);
    EXPECT_FALSE(model->accountStatusIsError());
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
    EXPECT_TRUE(model->accountStatusIsError());
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
    EXPECT_EQ(model->accountStatus(), kSignedIn);
}

TEST(AppModelConfigurationTest, WithoutAValidConfigurationNothingReachesTheService) {
    for (const auto& [name, configuration] :
         {std::pair{"Missing", std::optional<QByteArray>()},
          std::pair{"InvalidRedirect", std::optional(configFile(
                                           auth0Members(), {{u"redirect_uri"_s, u"x://y"_s}}))}}) {
        ModelHarness harness;
        const auto& model = harness.model;
        harness.configuration = configuration;
        harness.open();
        EXPECT_FALSE(model->configured()) << name;
        EXPECT_EQ(model->accountStatus(), message(BetaError::notConfigured)) << name;
        EXPECT_TRUE(model->accountStatusIsError()) << name;

        harness.captureAndWait();
        EXPECT_EQ(model->errorMessage(), message(BetaError::notConfigured)) << name;
        model->signIn();
        EXPECT_FALSE(model->accountBusy()) << name;
        EXPECT_TRUE(harness.authenticator.shown().isEmpty()) << name;
        EXPECT_EQ(model->accountStatus(), message(BetaError::notConfigured)) << name;
        EXPECT_TRUE(harness.server.requests().isEmpty()) << name;
    }
}

// Only as much of the file is read as the parser needs to refuse it.
TEST(ConfigurationFileTest, IsReadUpToOneByteOverTheLimitOrNotAtAll) {
    QTemporaryDir directory;
    const QString path = directory.filePath(u"beta-config.json"_s);
    EXPECT_EQ(readConfigurationFile(path), std::nullopt);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(BetaConfig::maximumFileSize + 10, ' '));
    file.close();
    EXPECT_EQ(readConfigurationFile(path), QByteArray(BetaConfig::maximumFileSize + 1, ' '));
}

TEST(ResetLabelTest, AbbreviatedDateInTheUsersLocaleOrNothing) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(resetLabelFor(u"2026-12-06T12:00:00Z"_s, english), u"Requests reset Dec 6, 2026."_s);
    EXPECT_EQ(resetLabelFor(u"2026-12-06T12:00:00.250Z"_s, english),
              u"Requests reset Dec 6, 2026."_s);
    EXPECT_EQ(resetLabelFor(u"2026-12-06"_s, english), QString());
}

TEST(AppModelSignInTest, LeavingWhileTheBrowserWaitsWinsOverItsLateAnswer) {
    for (const auto& [name, leave, status] :
         {std::tuple{"SignedOut", &AppModel::signOut, kSignedOut},
          std::tuple{"Cancelled", &AppModel::cancelSignIn, u"Sign-in cancelled."_s}}) {
        ModelHarness harness;
        const auto& model = harness.model;
        harness.followBrowser = false;
        harness.open();
        model->signIn();
        runEventLoopUntil([&harness] { return harness.authenticator.isShowing(); });
        (model.get()->*leave)();
        EXPECT_FALSE(model->accountBusy()) << name;

        // The browser's answer comes too late to matter.
        harness.authenticator.reportAlthoughClosed(
            QUrl(u"com.tidyword.beta://oauth/callback?code=c&state=s"_s));
        processEventsFor(100ms);
        EXPECT_FALSE(model->signedIn()) << name;
        EXPECT_EQ(model->accountStatus(), status) << name;
        EXPECT_FALSE(model->accountStatusIsError()) << name;
    }
}

TEST_F(AppModelTest, RefreshFinishingAfterSignOutIsDiscarded) {
    harness.storeSignIn();
    harness.held.holdNext(u"/v1/account"_s);
    harness.open();
    runEventLoopUntil([this] { return harness.held.waiting() == 1; });
    EXPECT_EQ(model->usageLabel(), u"Free beta \u00B7 Checking requests\u2026"_s);
    model->signOut();
    harness.held.letThrough();
    EXPECT_EQ(model->usage(), std::nullopt);
    EXPECT_EQ(model->accountStatus(), kSignedOut);
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

// Quitting while the desktop asks to allow the paste: the user's clipboard is put back first.
TEST_F(AppModelTest, AReplacementWaitingForConsentAtExitPutsTheClipboardBack) {
    harness.openSignedIn();
    harness.captureAndWait();
    const auto draft = harness.editor.desktop.text(harness.editor.field);
    harness.editor.desktop.askBeforeKeys(60s);
    model->replaceSuggestion();
    harness.advanceUntil([this] { return !harness.editor.clipboardIsTheUsers(); });
    const int shown = harness.shown;

    model->finishBeforeExit(5s);
    EXPECT_FALSE(model->replacing());
    EXPECT_TRUE(harness.editor.clipboardIsTheUsers());
    EXPECT_EQ(harness.editor.desktop.text(harness.editor.field), draft);
    EXPECT_EQ(harness.shown, shown);  // nothing is shown on the way out
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

}  // namespace
}  // namespace tidyword
