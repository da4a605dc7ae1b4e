#include "model/AppModel.h"

#include "base/Characters.h"
#include "base/DesktopWords.h"
#include "model/DemoSamples.h"
#include "service/BetaError.h"
#include "textbridge/TextBridgeError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr qsizetype kLongestText = 4'000;
constexpr qsizetype kLongestInstruction = 2'000;
const auto kShortcutKey = u"shortcut"_s;
const auto kSignedInStatus = u"Signed in. Your free requests are ready."_s;

// The message an error shows the user; none for a cancellation, which is never shown.
std::optional<QString> describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Cancelled&) {
        return std::nullopt;
    } catch (const BetaError& failure) {
        return failure.errorDescription();
    } catch (const TextBridgeError& failure) {
        return failure.errorDescription();
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }
}

bool isBetaError(const std::exception_ptr& error, BetaError::Code code) {
    try {
        std::rethrow_exception(error);
    } catch (const BetaError& failure) {
        return failure.code() == code;
    } catch (...) {
        return false;
    }
}

}  // namespace

AppModel::AppModel(Environment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {
    accessibilityGranted_ = environment_.accessibility.isTrusted();
    shortcut_ = fromRawValue<ShortcutPreset>(environment_.settings.value(kShortcutKey).toString())
                    .value_or(ShortcutPreset::optionShiftD);
    try {
        const auto file = environment_.readConfiguration();
        if (!file) {
            throw BetaError(BetaError::notConfigured);
        }
        session_ = environment_.openSession(BetaConfig::parse(*file));
    } catch (...) {
        setAccountStatus(describe(std::current_exception()).value_or(QString()), true);
        return;
    }
    assign(configured_, true, Field::configured);
    assign(signedIn_, session_->hasTokens(), Field::signedIn);
    if (signedIn_) {
        refreshAccount();  // runs on by itself
    } else if (session_->storedSetUnread()) {
        setAccountStatus(BetaError(BetaError::keychain).errorDescription(), true);
    } else {
        setAccountStatus(u"Sign in to start using your free beta requests."_s, false);
    }
}

AppModel::~AppModel() = default;

void AppModel::setCustomInstruction(const QString& instruction) {
    assign(customInstruction_, instruction, Field::customInstruction);
}

void AppModel::setDisplayMode(PreviewDisplay display) {
    assign(displayMode_, display, Field::displayMode);
}

void AppModel::setShortcut(ShortcutPreset preset) {
    assign(shortcut_, preset, Field::shortcut);
}

void AppModel::setHotKeyError(const std::optional<QString>& message) {
    assign(hotKeyError_, message, Field::hotKeyError);
}

void AppModel::setAccessibilityGranted(bool granted) {
    assign(accessibilityGranted_, granted, Field::accessibilityGranted);
}

void AppModel::setShortcutBinding(ShortcutBinding binding, const QString& command) {
    shortcutCommand_ = command;
    assign(shortcutBinding_, binding, Field::shortcutBinding);
}

void AppModel::setDesktopShortcutAdded(bool added) {
    assign(desktopShortcutAdded_, added, Field::desktopShortcutAdded);
}

void AppModel::setAccountStatus(const QString& status, bool isError) {
    assign(accountStatus_, status, Field::accountStatus);
    assign(accountStatusIsError_, isError, Field::accountStatusIsError);
}

void AppModel::signedOutBy(const QString& message) {
    assign(signedIn_, false, Field::signedIn);
    setAccountStatus(message, true);
}

void AppModel::call(const std::function<void()>& callback) const {
    if (callback) {
        callback();
    }
}

void AppModel::abandonGeneration() {
    generation_.cancel();
    requestID_ = QUuid::createUuid();
}

// --- Capture and generation

void AppModel::capture() {
    if (capturing_ || replacing_) {
        return;
    }
    setAccessibilityGranted(environment_.accessibility.isTrusted());
    if (!accessibilityGranted_) {
        call(onOpenSettings);
        setAccountStatus(QString::fromUtf16(desktopWords().grantBeforeShortcut) +
                             displayLabel(shortcut_) + u"."_s,
                         true);
        return;
    }
    capturing_ = true;
    // What the popup shows stays, its request included, until a new selection replaces it.
    runCapture();  // runs on by itself; it always ends by clearing capturing_
}

QCoro::Task<void> AppModel::runCapture() {
    std::optional<TextSelection> captured;
    std::optional<QString> failure;
    try {
        // The popup may have the focus (the tray menu works while it is up): the source of
        // what it shows is still the application to read from.
        if (selection_) {
            co_await environment_.bridge.returnTo(*selection_);
        }
        captured = co_await environment_.bridge.captureSelection();
    } catch (...) {
        failure = describe(std::current_exception());
    }
    if (!captured && selection_) {
        // A suggestion the user has not dismissed outlives a capture that found nothing new.
        if (failure) {
            assign(errorMessage_, failure, Field::errorMessage);
        }
        capturing_ = false;
        co_return;
    }
    reset();
    if (captured) {
        selection_ = captured;
        assign(original_, captured->text, Field::original);
        assign(sourceName_, captured->sourceAppName, Field::sourceName);
        assign(canReplace_, captured->canReplace, Field::canReplace);
        call(onShowPopup);
        generate();
    } else {
        assign(errorMessage_, failure, Field::errorMessage);
        assign(sourceName_, u"Select a draft to begin"_s, Field::sourceName);
        call(onShowPopup);
    }
    capturing_ = false;
}

void AppModel::generate() {
    if (isDemo_) {
        updateDemo();
        return;
    }
    if (original_.isEmpty()) {
        return;
    }
    generation_.cancel();
    const QUuid request = QUuid::createUuid();
    requestID_ = request;
    assign(suggestion_, QString(), Field::suggestion);
    assign(errorMessage_, std::optional<QString>(), Field::errorMessage);
    assign(copyLabel_, u"Copy"_s, Field::copyLabel);

    const auto refuse = [this](const QString& message) {
        assign(busy_, false, Field::busy);
        assign(errorMessage_, std::optional(message), Field::errorMessage);
    };
    // A keyring that could not be read may have a sign-in waiting: the request reads it again.
    if (!session_ || (!signedIn_ && !session_->storedSetUnread())) {
        refuse(BetaError(configured_ ? BetaError::signInRequired : BetaError::notConfigured)
                   .errorDescription());
        return;
    }
    if (scalarCount(original_) > kLongestText) {
        refuse(u"This selection is too long. Select up to 4,000 characters at a time."_s);
        return;
    }
    const QString instruction = mode_ == EditMode::custom ? customInstruction_ : QString();
    if (mode_ == EditMode::custom &&
        (instruction.trimmed().isEmpty() || scalarCount(instruction) > kLongestInstruction)) {
        refuse(BetaError(BetaError::customInstruction).errorDescription());
        return;
    }
    assign(busy_, true, Field::busy);

    // The same request again after it failed (a retry) keeps its idempotency key; anything else,
    // the same request after a success included, gets a new one.
    const RequestFingerprint fingerprint{original_, mode_, instruction};
    if (!lastRequest_ || !(*lastRequest_ == fingerprint)) {
        idempotencyID_ = QUuid::createUuid();
        lastRequest_ = fingerprint;
    }
    generation_ =
        TaskHandle<>::start([this, text = original_, mode = mode_, instruction,
                             key = idempotencyID_, request](CancellationToken cancellation) {
            return runGeneration(text, mode, instruction, key, request, std::move(cancellation));
        });
}

QCoro::Task<void> AppModel::runGeneration(QString text, EditMode mode, QString instruction,
                                          QUuid idempotencyKey, QUuid request,
                                          CancellationToken cancellation) {
    BetaSession* const session = session_.get();
    const auto current = [this, &cancellation, request] {
        return !cancellation.isCancelled() && requestID_ == request;
    };
    std::exception_ptr error;
    QString token;
    try {
        token = co_await session->accessToken();
        const BetaAPI api(session->config(), environment_.transport);
        const BetaEditResult result =
            co_await api.improve(text, mode, instruction, token, idempotencyKey, cancellation);
        // The key is spent: only a retry of a request that did not succeed may reuse it.
        if (idempotencyKey == idempotencyID_) {
            lastRequest_.reset();
        }
        if (current()) {
            assign(suggestion_, result.text, Field::suggestion);
            assign(usage_, std::optional(result.usage), Field::usage);
            assign(busy_, false, Field::busy);
            if (!signedIn_) {
                // The sign-in came back from a keyring that could not be read before.
                assign(signedIn_, true, Field::signedIn);
                setAccountStatus(kSignedInStatus, false);
            }
        }
    } catch (...) {
        error = std::current_exception();
    }
    if (!error || !current()) {
        co_return;  // a stale or cancelled outcome changes nothing
    }
    const auto message = describe(error);
    if (!message) {
        co_return;
    }
    assign(busy_, false, Field::busy);
    assign(errorMessage_, message, Field::errorMessage);
    if (isBetaError(error, BetaError::signInRequired)) {
        session->tokenRefused(token);
        signedOutBy(*message);
    }
    if (isBetaError(error, BetaError::quotaExceeded) ||
        isBetaError(error, BetaError::alreadyReceived)) {
        co_await refreshAccount();
    }
}

void AppModel::chooseMode(EditMode mode) {
    if (mode == mode_ || replacing_) {
        return;
    }
    assign(mode_, mode, Field::mode);
    if (isDemo_) {
        updateDemo();
        return;
    }
    if (mode != EditMode::custom) {
        generate();
        return;
    }
    // Custom waits for the user's instructions; nothing is sent yet.
    abandonGeneration();
    assign(busy_, false, Field::busy);
    assign(suggestion_, QString(), Field::suggestion);
}

// --- Replacement, copy, dismissal, reset

void AppModel::replaceSuggestion() {
    if (!selection_ || !canReplace_ || suggestion_.isEmpty() || busy_ || replacing_ || capturing_) {
        return;
    }
    assign(replacing_, true, Field::replacing);
    assign(errorMessage_, std::optional<QString>(), Field::errorMessage);
    runReplacement(*selection_, suggestion_);  // runs on by itself; never cancelled
}

QCoro::Task<void> AppModel::runReplacement(TextSelection target, QString replacement) {
    std::optional<QString> failure;
    bool replaced = false;
    try {
        co_await environment_.bridge.replace(std::move(target), std::move(replacement));
        replaced = true;
    } catch (...) {
        failure = describe(std::current_exception());
    }
    assign(canReplace_, false, Field::canReplace);
    if (replaced) {
        // dismiss() does nothing while a replacement runs.
        assign(replacing_, false, Field::replacing);
        dismiss();
    } else {
        assign(errorMessage_, failure, Field::errorMessage);
        call(onShowPopup);
    }
    assign(replacing_, false, Field::replacing);
}

void AppModel::finishBeforeExit(std::chrono::milliseconds patience) {
    onShowPopup = nullptr;
    if (!replacing_) {
        return;
    }
    environment_.bridge.abandonWaits();
    const QDeadlineTimer deadline(patience);
    while (replacing_ && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void AppModel::copySuggestion() {
    if (suggestion_.isEmpty()) {
        return;
    }
    environment_.clipboard.setString(suggestion_);
    assign(copyLabel_, u"Copied"_s, Field::copyLabel);
}

void AppModel::dismiss() {
    if (replacing_ || capturing_) {
        return;
    }
    abandonGeneration();
    assign(busy_, false, Field::busy);
    call(onDismissPopup);
    if (selection_) {
        environment_.bridge.restoreFocus(*selection_);
    }
    reset();
}

void AppModel::reset() {
    abandonGeneration();
    selection_.reset();
    assign(original_, QString(), Field::original);
    assign(suggestion_, QString(), Field::suggestion);
    assign(sourceName_, QString(), Field::sourceName);
    assign(mode_, EditMode::grammar, Field::mode);
    assign(customInstruction_, QString(), Field::customInstruction);
    lastRequest_.reset();
    assign(busy_, false, Field::busy);
    assign(errorMessage_, std::optional<QString>(), Field::errorMessage);
    assign(canReplace_, false, Field::canReplace);
    assign(isDemo_, false, Field::isDemo);
    assign(copyLabel_, u"Copy"_s, Field::copyLabel);
}

// --- Account

void AppModel::signIn() {
    // A refresh runs to its end; a sign-in left waiting in the browser is started over.
    if ((accountBusy_ && !signingIn_) || !session_) {
        return;
    }
    assign(accountBusy_, true, Field::accountBusy);
    assign(signingIn_, true, Field::signingIn);
    const QUuid revision = QUuid::createUuid();
    accountRevision_ = revision;
    // The token a running generation would use is about to change.
    abandonGeneration();
    assign(busy_, false, Field::busy);
    setAccountStatus(u"Finish signing in in your browser\u2026"_s, false);
    runSignIn(revision);  // runs on by itself
}

QCoro::Task<void> AppModel::runSignIn(QUuid revision) {
    // A sign-in abandoned in the browser is resumed later, maybe after the model is gone.
    const QPointer<AppModel> alive(this);
    std::exception_ptr error;
    try {
        co_await session_->signIn();
    } catch (...) {
        error = std::current_exception();
    }
    if (!alive || accountRevision_ != revision) {
        co_return;  // a sign-out or a newer sign-in took over
    }
    assign(signingIn_, false, Field::signingIn);
    if (error) {
        setAccountStatus(describe(error).value_or(QString()), true);
    } else {
        assign(signedIn_, true, Field::signedIn);
        co_await refreshAccount();
    }
    if (accountRevision_ == revision) {
        assign(accountBusy_, false, Field::accountBusy);
    }
}

void AppModel::cancelSignIn() {
    if (!signingIn_) {
        return;
    }
    signOut();
    if (!accountStatusIsError_) {
        setAccountStatus(u"Sign-in cancelled."_s, false);
    }
}

void AppModel::signOut() {
    accountRevision_ = QUuid::createUuid();
    assign(accountBusy_, false, Field::accountBusy);
    assign(signingIn_, false, Field::signingIn);
    generation_.cancel();
    reset();
    assign(signedIn_, false, Field::signedIn);
    assign(usage_, std::optional<BetaUsage>(), Field::usage);
    if (session_) {
        try {
            session_->signOut();
        } catch (...) {
            setAccountStatus(describe(std::current_exception()).value_or(QString()), true);
            return;
        }
    }
    setAccountStatus(u"Signed out of Tidyword."_s, false);
}

QCoro::Task<void> AppModel::refreshAccount() {
    if (!session_) {
        co_return;
    }
    BetaSession* const session = session_.get();
    const QUuid revision = accountRevision_;
    std::optional<BetaUsage> fetched;
    std::exception_ptr error;
    QString token;
    try {
        token = co_await session->accessToken();
        const BetaAPI api(session->config(), environment_.transport);
        fetched = co_await api.account(token);
    } catch (...) {
        error = std::current_exception();
    }
    if (accountRevision_ != revision) {
        co_return;
    }
    if (fetched) {
        assign(usage_, fetched, Field::usage);
        assign(signedIn_, true, Field::signedIn);
        setAccountStatus(kSignedInStatus, false);
        co_return;
    }
    const auto message = describe(error);
    if (!message) {
        co_return;
    }
    if (isBetaError(error, BetaError::signInRequired)) {
        session->tokenRefused(token);
        signedOutBy(*message);
        co_return;
    }
    setAccountStatus(*message, true);
}

QString AppModel::usageLabel() const {
    if (!usage_) {
        return signedIn_ ? u"Free beta \u00B7 Checking requests\u2026"_s : u"Free beta"_s;
    }
    return QString::number(usage_->remaining) + u" of "_s + QString::number(usage_->limit) +
           u" free requests remaining"_s;
}

bool AppModel::onLocalTestService() const {
    return session_ && session_->config().provider == IdentityProvider::local;
}

QString AppModel::serviceNote() const {
    if (!onLocalTestService()) {
        return {};
    }
    const QUrl service = session_->config().apiBaseURL;
    return u"Connected to a local test service (tidyword-standin at %1:%2), not the Tidyword "
           "editing service. Its rewrites are examples, and your text stays on this computer."_s
               .arg(service.host())
               .arg(service.port());
}

QString AppModel::privacyNote() const {
    if (onLocalTestService()) {
        return u"Your selection and editing instructions go to the local test service on this "
               "computer and nowhere else."_s;
    }
    return u"Your selection and editing instructions are sent securely to Tidyword, then "
           "processed by Gemini. The service records account usage to enforce free limits. "
           "Tidyword keeps no draft history."_s;
}

QString AppModel::popupPrivacyNote() const {
    if (onLocalTestService()) {
        return u"Your selection and editing instructions go to the local test service on this "
               "computer. You choose what to apply."_s;
    }
    return u"Your selection and editing instructions pass through Tidyword to Gemini. You "
           "choose what to apply."_s;
}

QString AppModel::resetLabel() const {
    return usage_ ? resetLabelFor(usage_->resetsAt) : QString();
}

void AppModel::saveSettings() {
    environment_.settings.setValue(kShortcutKey, rawValue(shortcut_));
    environment_.settings.sync();
    call(onShortcutChanged);
    setAccountStatus(u"Shortcut saved."_s, false);
}

QString AppModel::shortcutCommandNote() const {
    switch (shortcutBinding_) {
        case ShortcutBinding::hotKey:
            break;
        case ShortcutBinding::gnomeCustomShortcut:
            if (desktopShortcutAdded_) {
                return u"GNOME runs “%1” for %2."_s.arg(shortcutCommand_, displayLabel(shortcut_));
            }
            break;
        case ShortcutBinding::userCommand:
            return u"Bind %1 to the command “%2” in your desktop's keyboard settings."_s.arg(
                displayLabel(shortcut_), shortcutCommand_);
    }
    return {};
}

void AppModel::addDesktopShortcut() {
    // GNOME then runs the command for the shortcut this window shows: Tidyword keeps the same one.
    environment_.settings.setValue(kShortcutKey, rawValue(shortcut_));
    environment_.settings.sync();
    call(onAddDesktopShortcut);
}

void AppModel::removeDesktopShortcut() {
    call(onRemoveDesktopShortcut);
}

// --- Demo

void AppModel::preview() {
    if (replacing_ || capturing_) {
        return;
    }
    reset();
    assign(isDemo_, true, Field::isDemo);
    assign(sourceName_, DemoSamples::sourceName(), Field::sourceName);
    assign(original_, DemoSamples::draft(), Field::original);
    updateDemo();
    call(onShowPopup);
}

void AppModel::updateDemo() {
    assign(suggestion_, DemoSamples::suggestion(mode_), Field::suggestion);
}

// --- Helpers

QString resetLabelFor(const QString& resetsAt, const QLocale& locale) {
    const auto date = BetaUsage::resetDate(resetsAt);
    if (!date) {
        return {};
    }
    // The locale's long date without the weekday and with the month abbreviated: the
    // "Dec 6, 2026" of a United States English locale.
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(u"d{4}[,.]?\\s*"_s));
    format.replace(u"MMMM"_s, u"MMM"_s);
    return u"Requests reset "_s + locale.toString(date->toLocalTime().date(), format.trimmed()) +
           u"."_s;
}

std::optional<QByteArray> readConfigurationFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // One byte more than the parser accepts is enough for it to refuse the file.
    return file.read(BetaConfig::maximumFileSize + 1);
}

}  // namespace tidyword
