// The one observable object behind the popup and the settings window, and the controller of the
// pipeline: capture the selection, ask the service for a rewrite, publish it, replace or copy it,
// keep the account status current, and show the demo preview. Every field the views show tells
// them on every assignment, through changed(); the views re-render and call the operations.
#pragma once

#include "async/TaskHandle.h"
#include "hotkey/ShortcutPreset.h"
#include "model/PreviewDisplay.h"
#include "model/RequestFingerprint.h"
#include "platform/Accessibility.h"
#include "platform/Pasteboard.h"
#include "service/BetaAPI.h"
#include "service/BetaConfig.h"
#include "service/EditMode.h"
#include "service/HTTP.h"
#include "signin/BetaSession.h"
#include "textbridge/TextBridge.h"

#include <QObject>
#include <QSettings>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace tidyword {

class AppModel : public QObject {
    Q_OBJECT

public:
    // The observable fields, in the order the views know them.
    enum class Field {
        signedIn,
        configured,
        accountBusy,
        usage,
        customInstruction,
        shortcut,
        accountStatus,
        accountStatusIsError,
        accessibilityGranted,
        hotKeyError,
        original,
        suggestion,
        sourceName,
        mode,
        busy,
        replacing,
        errorMessage,
        isDemo,
        copyLabel,
        displayMode,
        canReplace,
        signingIn,
        shortcutBinding,
        desktopShortcutAdded,
    };
    Q_ENUM(Field)

    // How the desktop runs the global shortcut: as a hot key Tidyword holds itself, or as the
    // command `tidyword --improve` bound in the desktop's keyboard settings, by Tidyword among
    // GNOME's custom shortcuts or by the user.
    enum class ShortcutBinding { hotKey, gnomeCustomShortcut, userCommand };

    // What the composition root hands the model; every reference outlives it.
    struct Environment {
        TextBridge& bridge;
        platform::Accessibility& accessibility;  // for the trust check
        platform::Pasteboard& clipboard;         // where copySuggestion() writes
        QSettings& settings;                     // holds the "shortcut" setting
        // The deployment configuration's bytes, or none when the file is missing or unreadable.
        std::function<std::optional<QByteArray>()> readConfiguration;
        // Creates the session for a configuration.
        std::function<std::unique_ptr<BetaSession>(const BetaConfig&)> openSession;
        HTTPTransport transport;  // for the service's requests
    };

    explicit AppModel(Environment environment, QObject* parent = nullptr);
    ~AppModel() override;

    // --- Observable fields
    bool signedIn() const { return signedIn_; }
    bool configured() const { return configured_; }
    bool accountBusy() const { return accountBusy_; }
    // A sign-in waits for the browser: it can be cancelled, or started over.
    bool signingIn() const { return signingIn_; }
    const std::optional<BetaUsage>& usage() const { return usage_; }
    const QString& customInstruction() const { return customInstruction_; }
    ShortcutPreset shortcut() const { return shortcut_; }
    const QString& accountStatus() const { return accountStatus_; }
    bool accountStatusIsError() const { return accountStatusIsError_; }
    bool accessibilityGranted() const { return accessibilityGranted_; }
    const std::optional<QString>& hotKeyError() const { return hotKeyError_; }
    const QString& original() const { return original_; }
    const QString& suggestion() const { return suggestion_; }
    const QString& sourceName() const { return sourceName_; }
    EditMode mode() const { return mode_; }
    bool busy() const { return busy_; }
    bool replacing() const { return replacing_; }
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    bool isDemo() const { return isDemo_; }
    const QString& copyLabel() const { return copyLabel_; }
    PreviewDisplay displayMode() const { return displayMode_; }
    bool canReplace() const { return canReplace_; }
    ShortcutBinding shortcutBinding() const { return shortcutBinding_; }
    // The command the desktop runs for the shortcut, as the user would bind it; empty where
    // Tidyword holds a hot key.
    const QString& shortcutCommand() const { return shortcutCommand_; }
    // Whether GNOME's custom shortcuts run the command for the chosen shortcut.
    bool desktopShortcutAdded() const { return desktopShortcutAdded_; }

    // Written by the views and the shell directly.
    void setCustomInstruction(const QString& instruction);
    void setDisplayMode(PreviewDisplay display);
    void setShortcut(ShortcutPreset preset);
    void setHotKeyError(const std::optional<QString>& message);
    void setAccessibilityGranted(bool granted);
    void setShortcutBinding(ShortcutBinding binding, const QString& command);
    void setDesktopShortcutAdded(bool added);

    // --- Computed
    bool unchanged() const { return !suggestion_.isEmpty() && suggestion_ == original_; }
    QString usageLabel() const;
    // Says that Tidyword is connected to a local test service, whose rewrites are examples and
    // must not be taken for the editing service's; empty for any other configuration.
    QString serviceNote() const;
    bool onLocalTestService() const;
    // Where the user's text goes, in the words of the settings window and of the popup.
    QString privacyNote() const;
    QString popupPrivacyNote() const;
    QString resetLabel() const;
    // Where the desktop runs a command for the shortcut: what runs it, or which command to bind
    // to which keys; empty where Tidyword holds a hot key, or GNOME does not run it yet.
    QString shortcutCommandNote() const;
    const std::optional<TextSelection>& selection() const { return selection_; }

    // --- Operations; none lets an error escape.
    void capture();
    void generate();
    void chooseMode(EditMode mode);
    void replaceSuggestion();
    void copySuggestion();
    void dismiss();
    // Starts a sign-in in the browser; while one waits there, starts it over.
    void signIn();
    // Abandons a sign-in that waits for the browser, as signing out does.
    void cancelSignIn();
    void signOut();
    QCoro::Task<void> refreshAccount();
    void saveSettings();
    void preview();
    // Where Tidyword can add the shortcut to GNOME's own: saves the chosen shortcut and asks the
    // shell to add it there, or to take it away again.
    void addDesktopShortcut();
    void removeDesktopShortcut();
    // Before the process ends: a replacement still waiting (for the desktop's consent) holds the
    // user's clipboard, so it is ended now and given up to `patience` to put it back. Nothing is
    // shown any more.
    void finishBeforeExit(std::chrono::milliseconds patience);

    // --- The shell's callbacks
    std::function<void()> onShowPopup;
    std::function<void()> onDismissPopup;
    std::function<void()> onOpenSettings;
    std::function<void()> onShortcutChanged;
    std::function<void()> onAddDesktopShortcut;
    std::function<void()> onRemoveDesktopShortcut;

Q_SIGNALS:
    // Emitted on every assignment of an observable field, changed value or not.
    void changed(tidyword::AppModel::Field field);

private:
    template <typename T>
    void assign(T& field, T value, Field which) {
        field = std::move(value);
        Q_EMIT changed(which);
    }

    void reset();
    void updateDemo();
    void abandonGeneration();
    void setAccountStatus(const QString& status, bool isError);
    // The service or the session no longer accepts the sign-in: every view says so.
    void signedOutBy(const QString& message);
    void call(const std::function<void()>& callback) const;

    QCoro::Task<void> runCapture();
    QCoro::Task<void> runGeneration(QString text, EditMode mode, QString instruction,
                                    QUuid idempotencyKey, QUuid request,
                                    CancellationToken cancellation);
    QCoro::Task<void> runReplacement(TextSelection target, QString replacement);
    QCoro::Task<void> runSignIn(QUuid revision);

    Environment environment_;

    bool signedIn_ = false;
    bool configured_ = false;
    bool accountBusy_ = false;
    bool signingIn_ = false;
    std::optional<BetaUsage> usage_;
    QString customInstruction_;
    ShortcutPreset shortcut_ = ShortcutPreset::optionShiftD;
    QString accountStatus_;
    bool accountStatusIsError_ = false;
    bool accessibilityGranted_ = false;
    std::optional<QString> hotKeyError_;
    QString original_;
    QString suggestion_;
    QString sourceName_;
    EditMode mode_ = EditMode::grammar;
    bool busy_ = false;
    bool replacing_ = false;
    std::optional<QString> errorMessage_;
    bool isDemo_ = false;
    QString copyLabel_ = QStringLiteral("Copy");
    PreviewDisplay displayMode_ = PreviewDisplay::changes;
    bool canReplace_ = false;
    ShortcutBinding shortcutBinding_ = ShortcutBinding::hotKey;
    QString shortcutCommand_;
    bool desktopShortcutAdded_ = false;

    std::optional<TextSelection> selection_;
    TaskHandle<> generation_;
    QUuid requestID_ = QUuid::createUuid();
    bool capturing_ = false;
    std::unique_ptr<BetaSession> session_;
    QUuid accountRevision_ = QUuid::createUuid();
    std::optional<RequestFingerprint> lastRequest_;
    QUuid idempotencyID_ = QUuid::createUuid();
};

// "Requests reset" and the date in the locale's abbreviated style, or empty when `resetsAt`
// does not parse.
QString resetLabelFor(const QString& resetsAt, const QLocale& locale = QLocale());

// Reads the deployment configuration file, never more than one byte past what the parser
// accepts; none when it is missing or unreadable.
std::optional<QByteArray> readConfigurationFile(const QString& path);

}  // namespace tidyword
