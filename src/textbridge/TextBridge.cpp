#include "textbridge/TextBridge.h"

#include "async/Sleep.h"
#include "platform/DesktopSpace.h"
#include "textbridge/ClipboardSnapshot.h"
#include "textbridge/TextBridgeError.h"

#include <QStringList>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;
using Attribute = platform::Accessibility::Attribute;
using platform::TextRange;

constexpr int kProtectedSearchDepth = 8;
constexpr auto kSlack = u"com.tinyspeck.slackmacgap";

[[noreturn]] void fail(TextBridgeError::Code code) {
    throw TextBridgeError(code);
}

const QStringList& copyRoles() {
    static const QStringList roles{u"AXTextArea"_s, u"AXTextField"_s, u"AXComboBox"_s,
                                   u"AXStaticText"_s};
    return roles;
}

const QStringList& editableRoles() {
    static const QStringList roles{u"AXTextArea"_s, u"AXTextField"_s, u"AXComboBox"_s};
    return roles;
}

// A non-empty range that lies inside `value`.
bool usable(const TextRange& range, const QString& value) {
    return range.location >= 0 && range.length > 0 && range.location <= value.size() &&
           range.length <= value.size() - range.location;
}

QString within(const QString& value, const TextRange& range) {
    return value.mid(range.location, range.length);
}

// Closes the keys' paste session however the replacement ends: every exit has put the user's
// clipboard back by then.
class PasteSessionClosing {
public:
    explicit PasteSessionClosing(platform::KeyEvents& keys) : keys_(keys) {}
    ~PasteSessionClosing() { keys_.closePasteSession(); }
    PasteSessionClosing(const PasteSessionClosing&) = delete;
    PasteSessionClosing& operator=(const PasteSessionClosing&) = delete;

private:
    platform::KeyEvents& keys_;
};

bool sameOptional(const std::optional<QString>& lhs, const std::optional<QString>& rhs) {
    return lhs == rhs;
}

// The element's whole text once `replacement` is in place of the captured range.
QString replacedValue(const TextSelection& selection, const QString& replacement) {
    const TextRange range = *selection.range;
    const QString& original = *selection.originalValue;
    return original.left(range.location) + replacement +
           original.mid(range.location + range.length);
}

}  // namespace

TextBridge::TextBridge(Platform platform) : platform_(platform) {}

std::optional<TextRange> TextBridge::selectedRange(const Element& element) {
    const auto range = platform_.accessibility.rangeAttribute(element, Attribute::selectedRange);
    if (!range || range->location < 0 || range->length < 0) {
        return std::nullopt;
    }
    return range;
}

std::optional<QString> TextBridge::boundedValue(const Element& element) {
    auto value = platform_.accessibility.stringAttribute(element, Attribute::value);
    if (value && value->size() > longestValue) {
        return std::nullopt;
    }
    return value;
}

bool TextBridge::isProtected(const Element& element) {
    auto& accessibility = platform_.accessibility;
    Element current = element;
    for (int examined = 0; examined < kProtectedSearchDepth; ++examined) {
        const QString subrole =
            accessibility.stringAttribute(current, Attribute::subrole).value_or(QString());
        if (subrole == u"AXSecureTextField" || subrole.contains(u"secure", Qt::CaseInsensitive) ||
            accessibility.booleanAttribute(current, Attribute::protectedContent) == true) {
            return true;
        }
        const auto parent = accessibility.elementAttribute(current, Attribute::parent);
        if (!parent) {
            return false;
        }
        current = *parent;
    }
    return false;
}

bool TextBridge::isEditableTextControl(const Element& element) {
    auto& accessibility = platform_.accessibility;
    const auto role = accessibility.stringAttribute(element, Attribute::role);
    if (!role || !editableRoles().contains(*role)) {
        return false;
    }
    if (accessibility.booleanAttribute(element, Attribute::enabled) == false) {
        return false;
    }
    if (const auto editable = accessibility.booleanAttribute(element, Attribute::editable)) {
        return *editable;
    }
    if (accessibility.isSettable(element, Attribute::value) == true) {
        return true;
    }
    return accessibility.isSettable(element, Attribute::selectedText) == true;
}

bool TextBridge::sameFocusedTarget(const Element& application, const Element& element,
                                   const std::optional<Element>& window) {
    auto& accessibility = platform_.accessibility;
    const auto focused = accessibility.elementAttribute(application, Attribute::focusedElement);
    if (!focused || *focused != element) {
        return false;
    }
    if (!window) {
        return true;
    }
    const auto focusedWindow =
        accessibility.elementAttribute(application, Attribute::focusedWindow);
    return focusedWindow && *focusedWindow == *window;
}

std::optional<platform::ScreenRect> TextBridge::selectionBounds(
    const Element& element, const std::optional<TextRange>& range) {
    if (!range) {
        return std::nullopt;
    }
    const auto bounds = platform_.accessibility.boundsForRange(element, *range);
    if (!bounds || bounds->width <= 0 || bounds->height <= 0) {
        return std::nullopt;
    }
    const QList<platform::ScreenRect> screens = platform_.workspace.screenFrames();
    if (screens.isEmpty()) {
        return std::nullopt;
    }
    return platform::toDesktopSpace(*bounds, screens.front());
}

bool TextBridge::isFrontmost(qint32 processIdentifier) {
    const auto frontmost = platform_.workspace.frontmostApplication();
    return frontmost && frontmost->processIdentifier == processIdentifier;
}

bool TextBridge::hasTerminated(qint32 processIdentifier) {
    const auto application = platform_.workspace.runningApplication(processIdentifier);
    return !application || application->terminated;
}

QCoro::Task<TextSelection> TextBridge::captureSelection(CancellationToken cancellation) {
    auto& accessibility = platform_.accessibility;
    auto& workspace = platform_.workspace;
    if (!accessibility.isTrusted()) {
        fail(TextBridgeError::accessibilityRequired);
    }
    const auto source = workspace.frontmostApplication();
    if (!source || source->processIdentifier == workspace.currentProcessIdentifier() ||
        source->terminated) {
        fail(TextBridgeError::noApplication);
    }
    const Element application = accessibility.applicationElement(source->processIdentifier);
    accessibility.setMessagingTimeout(application, messagingTimeout);
    if (source->bundleIdentifier == kSlack) {
        accessibility.setBoolean(application, Attribute::manualAccessibility, true);
    }
    const auto element = accessibility.elementAttribute(application, Attribute::focusedElement);
    if (!element) {
        fail(TextBridgeError::unsupportedControl);
    }
    // Nothing of the element's text is read before this.
    if (isProtected(*element)) {
        fail(TextBridgeError::secureField);
    }

    const auto window = accessibility.elementAttribute(application, Attribute::focusedWindow);
    auto range = selectedRange(*element);
    auto value = boundedValue(*element);
    const auto selectedText = accessibility.stringAttribute(*element, Attribute::selectedText);
    std::optional<QString> candidate;
    if (selectedText && !selectedText->isEmpty()) {
        candidate = selectedText;
    } else if (value && range && usable(*range, *value)) {
        candidate = within(*value, *range);
    }
    if (!candidate || candidate->isEmpty()) {
        const auto role = accessibility.stringAttribute(*element, Attribute::role);
        if (!role || !copyRoles().contains(*role)) {
            fail(TextBridgeError::unsupportedControl);
        }
        candidate = co_await copySelection(*source, application, *element, window, cancellation);
        range = selectedRange(*element);
        value = boundedValue(*element);
    }
    if (candidate->trimmed().isEmpty()) {
        fail(TextBridgeError::noSelection);
    }
    if (!sameFocusedTarget(application, *element, window) ||
        !isFrontmost(source->processIdentifier)) {
        fail(TextBridgeError::staleSelection);
    }

    const bool consistent =
        value && range && usable(*range, *value) && within(*value, *range) == *candidate;
    TextSelection selection;
    selection.text = *candidate;
    selection.sourceAppName = source->localizedName.value_or(u"Original app"_s);
    selection.anchorRect = selectionBounds(*element, range);
    selection.canReplace = consistent && window && isEditableTextControl(*element);
    selection.processIdentifier = source->processIdentifier;
    selection.launchDate = source->launchDate;
    selection.application = application;
    selection.element = *element;
    selection.window = window;
    if (window) {
        selection.windowTitle = accessibility.stringAttribute(*window, Attribute::title);
        selection.documentIdentifier = accessibility.stringAttribute(*window, Attribute::document);
    }
    selection.range = range;
    selection.originalValue = value;
    co_return selection;
}

QCoro::Task<QString> TextBridge::copySelection(platform::RunningApplication application,
                                               Element applicationElement, Element element,
                                               std::optional<Element> window,
                                               CancellationToken cancellation) {
    auto& pasteboard = platform_.pasteboard;
    const qint32 source = application.processIdentifier;
    // A copy posted while the user's shortcut is down would merge with its keys into another
    // chord. Their release is heard on the event loop, which this wait keeps running.
    for (int poll = 0; platform_.keys.keysHeld(); ++poll) {
        if (poll == heldKeyPolls) {
            fail(TextBridgeError::noSelection);
        }
        co_await sleep(platform_.clock, heldKeyPollInterval, cancellation);
    }
    const ClipboardSnapshot snapshot = ClipboardSnapshot::take(pasteboard);
    cancellation.throwIfCancelled();
    // Checked before the copy and once more right before its keys, after any wait of the key
    // backend's (the user's consent, with the event loop running): the keys must reach the field
    // that was read, and a writer that got in meanwhile would pass for the copy.
    const std::function<bool()> unchanged = [&] {
        return !isProtected(element) && sameFocusedTarget(applicationElement, element, window) &&
               isFrontmost(source) && pasteboard.changeCount() == snapshot.changeCount;
    };
    if (!unchanged()) {
        fail(TextBridgeError::staleSelection);
    }
    if (co_await platform_.keys.post(platform::KeyEvents::Shortcut::copy, source, unchanged) !=
        platform::KeyEvents::Posted::yes) {
        fail(unchanged() ? TextBridgeError::noSelection : TextBridgeError::staleSelection);
    }
    for (int poll = 0; poll < copyPolls; ++poll) {
        co_await sleep(platform_.clock, copyPollInterval);
        if (pasteboard.changeCount() == snapshot.changeCount) {
            if (hasTerminated(source) || !isFrontmost(source)) {
                fail(TextBridgeError::staleSelection);
            }
            continue;
        }
        const qint64 copiedAt = pasteboard.changeCount();
        const std::optional<QString> copied = pasteboard.string();
        const qint64 afterReading = pasteboard.changeCount();
        // The user's clipboard goes back before any check can fail.
        snapshot.restore(pasteboard, {copiedAt, copied});
        cancellation.throwIfCancelled();
        if (afterReading != copiedAt || hasTerminated(source) ||
            !sameFocusedTarget(applicationElement, element, window) || !isFrontmost(source)) {
            fail(TextBridgeError::staleSelection);
        }
        if (!copied || copied->isEmpty()) {
            fail(TextBridgeError::noSelection);
        }
        co_return *copied;
    }
    // Nothing was copied, so nothing is restored; a copy that lands later stays.
    fail(TextBridgeError::noSelection);
}

void TextBridge::validate(const TextSelection& selection) {
    auto& accessibility = platform_.accessibility;
    const auto application = platform_.workspace.runningApplication(selection.processIdentifier);
    if (!application || application->terminated ||
        application->launchDate != selection.launchDate) {
        fail(TextBridgeError::sourceClosed);
    }
    if (isProtected(selection.element) ||
        !sameFocusedTarget(selection.application, selection.element, selection.window) ||
        !selection.originalValue) {
        fail(TextBridgeError::staleSelection);
    }
    if (accessibility.stringAttribute(selection.element, Attribute::value) !=
            selection.originalValue ||
        selectedRange(selection.element) != selection.range) {
        fail(TextBridgeError::staleSelection);
    }
    if (selection.window &&
        (!sameOptional(accessibility.stringAttribute(*selection.window, Attribute::title),
                       selection.windowTitle) ||
         !sameOptional(accessibility.stringAttribute(*selection.window, Attribute::document),
                       selection.documentIdentifier))) {
        fail(TextBridgeError::staleSelection);
    }
    // Controls that do not tell their selected text are judged by value and range alone.
    const auto selectedText =
        accessibility.stringAttribute(selection.element, Attribute::selectedText);
    if (selectedText && *selectedText != selection.text) {
        fail(TextBridgeError::staleSelection);
    }
}

QCoro::Task<void> TextBridge::replace(TextSelection selection, QString replacement,
                                      CancellationToken cancellation) {
    auto& pasteboard = platform_.pasteboard;
    const qint32 source = selection.processIdentifier;
    if (!platform_.accessibility.isTrusted()) {
        fail(TextBridgeError::accessibilityRequired);
    }
    if (!selection.canReplace || !selection.range || !selection.originalValue) {
        fail(TextBridgeError::replacementUnavailable);
    }
    validate(selection);
    if (!platform_.workspace.runningApplication(source) || !platform_.workspace.activate(source)) {
        fail(TextBridgeError::sourceClosed);
    }
    for (int poll = 0; poll < copyPolls && !isFrontmost(source); ++poll) {
        co_await sleep(platform_.clock, copyPollInterval, cancellation);
    }
    co_await sleep(platform_.clock, pauseBeforePaste, cancellation);
    cancellation.throwIfCancelled();
    if (!isFrontmost(source)) {
        fail(TextBridgeError::staleSelection);
    }
    validate(selection);
    if (platform_.editing) {
        co_await editInPlace(std::move(selection), std::move(replacement));
        co_return;
    }
    // Where the clipboard comes with the keys' session, the session (and the user's consent) comes
    // first, and lasts until the clipboard is put back.
    const auto opened = co_await platform_.keys.openPasteSession(source);
    const PasteSessionClosing closing{platform_.keys};
    if (opened == platform::KeyEvents::Posted::refusedByUser) {
        fail(TextBridgeError::keysRefused);
    }
    if (opened != platform::KeyEvents::Posted::yes) {
        fail(TextBridgeError::replacementUnavailable);
    }
    const ClipboardSnapshot snapshot = ClipboardSnapshot::take(pasteboard);
    validate(selection);
    if (pasteboard.changeCount() != snapshot.changeCount) {
        fail(TextBridgeError::clipboardUnavailable);
    }
    if (!pasteboard.setTransientString(replacement)) {
        snapshot.restore(pasteboard, {pasteboard.changeCount(), std::nullopt});
        fail(TextBridgeError::clipboardUnavailable);
    }
    // From here every exit puts the user's clipboard back, unless someone else wrote since.
    const ClipboardMark ours{pasteboard.changeCount(), replacement};
    const auto failRestoring = [&](TextBridgeError::Code code) {
        snapshot.restore(pasteboard, ours);
        fail(code);
    };
    // Checked once more at the last moment, after any wait of the key backend's (which runs the
    // event loop): once the key is posted, the application pastes whatever the clipboard holds
    // over whatever is selected.
    std::optional<TextBridgeError::Code> unsafe;
    const std::function<bool()> stillSafe = [&] {
        try {
            validate(selection);
        } catch (const TextBridgeError& error) {
            unsafe = error.code();
            return false;
        }
        if (!isFrontmost(source)) {
            unsafe = TextBridgeError::staleSelection;
            return false;
        }
        // A writer that got in after ours: what is there now is not ours to replace.
        if (!ours.isHeldBy(pasteboard)) {
            unsafe = TextBridgeError::clipboardChanged;
            return false;
        }
        return true;
    };
    const auto failUnsafe = [&] {
        if (*unsafe == TextBridgeError::clipboardChanged) {
            fail(*unsafe);
        }
        failRestoring(*unsafe);
    };
    if (!stillSafe()) {
        failUnsafe();
    }
    const auto posted =
        co_await platform_.keys.post(platform::KeyEvents::Shortcut::paste, source, stillSafe);
    if (unsafe) {
        failUnsafe();
    }
    if (posted == platform::KeyEvents::Posted::refusedByUser) {
        failRestoring(TextBridgeError::keysRefused);
    }
    if (posted != platform::KeyEvents::Posted::yes) {
        failRestoring(TextBridgeError::replacementUnavailable);
    }

    const QString& original = *selection.originalValue;
    const QString expected = replacedValue(selection, replacement);
    for (int read = 1;; ++read) {
        co_await sleep(platform_.clock, verificationInterval);
        const auto value = boundedValue(selection.element);
        if (value == expected) {
            snapshot.restore(pasteboard, ours);
            co_return;
        }
        if (!ours.isHeldBy(pasteboard)) {
            // Someone else's contents may be what the application pasted.
            failRestoring(value && *value != original ? TextBridgeError::foreignPaste
                                                      : TextBridgeError::pasteUnverified);
        }
        if (read >= verificationReads) {
            failRestoring(TextBridgeError::pasteUnverified);
        }
    }
}

// This departs from the paste: with nothing on the clipboard there is no clipboard to guard, and
// the edit goes to the element itself, so the check right before it is the last one needed.
QCoro::Task<void> TextBridge::editInPlace(TextSelection selection, QString replacement) {
    const QString& original = *selection.originalValue;
    if (!platform_.editing->replaceText(selection.element, *selection.range, replacement)) {
        // A refusal that left the draft as it was is a plain refusal; one that did not leaves a
        // draft the user must look at.
        fail(boundedValue(selection.element) == original ? TextBridgeError::replacementUnavailable
                                                         : TextBridgeError::editUnverified);
    }
    const QString expected = replacedValue(selection, replacement);
    for (int read = 1;; ++read) {
        co_await sleep(platform_.clock, verificationInterval);
        if (boundedValue(selection.element) == expected) {
            co_return;
        }
        if (read >= verificationReads) {
            fail(TextBridgeError::editUnverified);
        }
    }
}

QCoro::Task<void> TextBridge::returnTo(TextSelection shown) {
    const auto frontmost = platform_.workspace.frontmostApplication();
    if (!frontmost ||
        frontmost->processIdentifier != platform_.workspace.currentProcessIdentifier()) {
        co_return;
    }
    restoreFocus(shown);
    for (int poll = 0; poll < copyPolls && !isFrontmost(shown.processIdentifier); ++poll) {
        co_await sleep(platform_.clock, copyPollInterval);
    }
}

void TextBridge::restoreFocus(const TextSelection& selection) {
    const auto application = platform_.workspace.runningApplication(selection.processIdentifier);
    if (application && !application->terminated &&
        application->launchDate == selection.launchDate) {
        platform_.workspace.activate(selection.processIdentifier);
    }
}

}  // namespace tidyword
