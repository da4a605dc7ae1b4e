// The only part of Tidyword that touches another application's text: it reads the selection of
// the frontmost application (through the accessibility service, or a guarded copy through the
// clipboard where a control hides it), and replaces it only after proving that nothing about the
// source has changed, with the result read back: by a paste, with the user's clipboard saved and
// put back, or, where no paste can reach the source, by editing the field in place.
#pragma once

#include "async/Cancellation.h"
#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/KeyEvents.h"
#include "platform/Pasteboard.h"
#include "platform/TextEditing.h"
#include "platform/Workspace.h"
#include "textbridge/TextSelection.h"

#include <qcoro/qcorotask.h>

namespace tidyword {

class TextBridge {
public:
    // Whole texts longer than this (UTF-16 units) are not kept or compared.
    static constexpr qsizetype longestValue = 250'000;
    static constexpr std::chrono::milliseconds messagingTimeout{500};
    static constexpr int copyPolls = 16;
    static constexpr std::chrono::milliseconds copyPollInterval{40};
    // How long a copy waits for the user to let go of the shortcut's keys.
    static constexpr int heldKeyPolls = 100;
    static constexpr std::chrono::milliseconds heldKeyPollInterval{10};
    static constexpr std::chrono::milliseconds pauseBeforePaste{120};
    static constexpr int verificationReads = 12;
    static constexpr std::chrono::milliseconds verificationInterval{60};

    // Every reference must outlive the bridge and every operation it runs.
    struct Platform {
        platform::Accessibility& accessibility;
        platform::Workspace& workspace;
        platform::Pasteboard& pasteboard;
        platform::KeyEvents& keys;
        platform::Clock& clock;
        // Given only on sessions without a paste route (no synthetic keys or no clipboard that
        // proves its writes reach the source): replacements then edit the field through it and
        // never touch the clipboard.
        platform::TextEditing* editing = nullptr;
    };

    explicit TextBridge(Platform platform);

    // The frontmost application's selection. Throws TextBridgeError (accessibilityRequired,
    // noApplication, noSelection, unsupportedControl, secureField, staleSelection,
    // clipboardUnavailable), or Cancelled when `cancellation` fires during the copy fallback.
    QCoro::Task<TextSelection> captureSelection(CancellationToken cancellation = {});

    // Puts `replacement` in place of the captured selection. Throws TextBridgeError
    // (accessibilityRequired, replacementUnavailable, sourceClosed, staleSelection,
    // clipboardUnavailable, clipboardChanged, pasteUnverified, foreignPaste; editing in place:
    // editUnverified instead of the clipboard's and the paste's own), or Cancelled during the
    // pause before the paste or edit. However it ends, the user's clipboard holds what it held,
    // unless another program wrote to it meanwhile.
    QCoro::Task<void> replace(TextSelection selection, QString replacement,
                              CancellationToken cancellation = {});

    // Ends every wait of the key backend for the user at once, for good: a replacement waiting
    // for the desktop's consent then ends, putting the user's clipboard back. For the exit.
    void abandonWaits() { platform_.keys.abandonWaits(); }

    // Brings the source application back to the front, if that same instance still runs.
    void restoreFocus(const TextSelection& selection);

    // When Tidyword's own window (the popup) has taken the focus from the source of `shown`,
    // gives it back and waits, within the copy polling's time, until that application is in
    // front, so that a capture reads from it rather than from us. Never fails: a capture after
    // it reports whatever is then in front.
    QCoro::Task<void> returnTo(TextSelection shown);

private:
    using Element = platform::AccessibleElement;

    QCoro::Task<QString> copySelection(platform::RunningApplication application,
                                       Element applicationElement, Element element,
                                       std::optional<Element> window,
                                       CancellationToken cancellation);
    void validate(const TextSelection& selection);
    QCoro::Task<void> editInPlace(TextSelection selection, QString replacement);

    std::optional<platform::TextRange> selectedRange(const Element& element);
    std::optional<QString> boundedValue(const Element& element);
    bool isProtected(const Element& element);
    bool isEditableTextControl(const Element& element);
    bool sameFocusedTarget(const Element& application, const Element& element,
                           const std::optional<Element>& window);
    std::optional<platform::ScreenRect> selectionBounds(
        const Element& element, const std::optional<platform::TextRange>& range);
    bool isFrontmost(qint32 processIdentifier);
    bool hasTerminated(qint32 processIdentifier);

    Platform platform_;
};

}  // namespace tidyword
