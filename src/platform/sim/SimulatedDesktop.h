// A scriptable desktop for tests: running applications with accessibility trees, a clipboard
// with a change count, and applications that react to the copy and paste shortcuts after a
// chosen (virtual) delay, or never, and to direct edits of their text as scripted. Events can be
// scheduled at virtual times: the user types, focus moves, another program writes the clipboard,
// an application quits or is relaunched.
#pragma once

#include "async/Cancellation.h"
#include "platform/Accessibility.h"
#include "platform/KeyEvents.h"
#include "platform/Pasteboard.h"
#include "platform/TextEditing.h"
#include "platform/Workspace.h"
#include "platform/sim/VirtualClock.h"

#include <QMap>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <variant>
#include <vector>

namespace tidyword::platform::sim {

using ElementId = int;
using Attribute = Accessibility::Attribute;
using AttributeValue = std::variant<QString, bool, TextRange, ElementId>;

class SimulatedDesktop final : public Accessibility,
                               public Workspace,
                               public Pasteboard,
                               public KeyEvents,
                               public TextEditing {
public:
    // The type under which plain text sits on the simulated clipboard.
    static constexpr char16_t plainTextType[] = u"text/plain;charset=utf-8";

    struct ApplicationIdentity {
        qint32 processIdentifier = 0;
        QString bundleIdentifier;
        std::optional<QString> name;
        std::optional<QDateTime> launchDate;
    };
    // What an application does when the copy shortcut reaches it: after `after` of virtual
    // time, it puts its focused element's selected text on the clipboard; never when none.
    struct CopyEffect {
        std::optional<std::chrono::milliseconds> after = std::chrono::milliseconds(0);
    };
    // What it does with the paste shortcut: after `after`, it puts the clipboard's text, passed
    // through `transform` when there is one, in place of its focused element's selection.
    struct PasteEffect {
        std::optional<std::chrono::milliseconds> after = std::chrono::milliseconds(0);
        std::function<QString(const QString&)> transform;
    };
    // What it does with a direct edit of its text: the range gets `result` of the text asked for
    // (the text itself when there is no `result`; nothing changes when it gives none), and the
    // edit reports `accepted`.
    struct EditEffect {
        std::function<std::optional<QString>(const QString&)> result;
        bool accepted = true;
    };
    // One direct edit asked of an application.
    struct Edit {
        ElementId element = 0;
        TextRange range;
        QString text;
        friend bool operator==(const Edit&, const Edit&) = default;
    };
    // A clipboard item as a test writes it: none for data that cannot be read.
    using ScriptedItem = QList<QPair<QString, std::optional<Data>>>;
    // Moments inside Tidyword's own use of the desktop at which a test can make something
    // happen: the races between two checks that no timed event can produce.
    enum class Moment {
        clipboardListed,   // right after the clipboard's types were read
        clipboardWritten,  // right after a write of ours
        stringRead,        // right after a read of the plain-text string
        keyPosted,         // right after a key shortcut was posted
    };

    explicit SimulatedDesktop(VirtualClock& clock, qint32 ownProcessIdentifier = 1);
    ~SimulatedDesktop() override;

    // --- Scripting the applications and their interfaces.
    // Adds a running application and returns its application element.
    ElementId addApplication(const ApplicationIdentity& identity);
    ElementId addElement(qint32 processIdentifier,
                         const std::map<Attribute, AttributeValue>& attributes);
    void setAttribute(ElementId element, Attribute attribute, std::optional<AttributeValue> value);
    // Reads of this attribute fail from now on.
    void makeUnreadable(ElementId element, Attribute attribute);
    // The settable answer; none makes the question itself fail.
    void setSettable(ElementId element, Attribute attribute, std::optional<bool> settable);
    // The rectangle (top-left origin) of any range of the element.
    void setBounds(ElementId element, std::optional<ScreenRect> bounds);
    // The value, the selected range and the selected text that goes with them.
    void setText(ElementId element, const QString& value, TextRange selection);
    // The user types at the selection, as in any editor.
    void type(ElementId element, const QString& text);
    void focus(qint32 processIdentifier, ElementId element, std::optional<ElementId> window);
    void setFrontmost(std::optional<qint32> processIdentifier);
    void setTrusted(bool trusted) { trusted_ = trusted; }
    void refuseActivation(qint32 processIdentifier, bool refuse);
    // The window manager takes this long to bring the application to the front.
    void setActivationLag(qint32 processIdentifier, std::chrono::milliseconds lag);
    void quit(qint32 processIdentifier);
    // The same process identifier, a new launch date: another instance of the application.
    void relaunch(qint32 processIdentifier, const QDateTime& launchDate);
    void setScreens(QList<ScreenRect> frames) { screens_ = std::move(frames); }
    void setCopyEffect(qint32 processIdentifier, CopyEffect effect);
    void setPasteEffect(qint32 processIdentifier, PasteEffect effect);
    void setEditEffect(qint32 processIdentifier, EditEffect effect);
    // Every post ends so, until it is `Posted::yes` again.
    void refuseKeyEvents(Posted outcome) { keysOutcome_ = outcome; }
    // The desktop asks the user before each post's keys go, and the user allows it after `wait`.
    void askBeforeKeys(std::chrono::milliseconds wait) { askFor_ = wait; }
    // The user holds keys from now on, and lets go after `release` (none: never).
    void holdKeys(std::optional<std::chrono::milliseconds> release);
    // From now on the clipboard and the keys work only inside a paste session, which opens so.
    void lendClipboardInSession(Posted opening) {
        lentInSession_ = true;
        sessionOpening_ = opening;
    }
    bool pasteSessionOpen() const { return sessionOpen_; }

    // --- Scripting the clipboard.
    // Another program writes these items.
    void writeClipboard(const QList<ScriptedItem>& items);
    void refuseStrings(bool refuse) { refuseStrings_ = refuse; }
    // The clipboard's owner will not say what it holds, as one that never answers.
    void refuseListing(bool refuse) { refuseListing_ = refuse; }
    QList<ScriptedItem> clipboard() const { return items_; }

    // --- Events at virtual times, from now, or at the next such moment.
    void at(std::chrono::milliseconds delay, std::function<void()> event);
    void onNext(Moment moment, std::function<void()> event);

    // --- What happened.
    const QList<qint32>& activations() const { return activations_; }
    const QList<std::pair<Shortcut, qint32>>& postedKeys() const { return posted_; }
    const QList<Edit>& edits() const { return edits_; }
    std::optional<QString> text(ElementId element) const;

    // --- Accessibility
    bool isTrusted() override { return trusted_; }
    AccessibleElement applicationElement(qint32 processIdentifier) override;
    void setMessagingTimeout(const AccessibleElement& application,
                             std::chrono::milliseconds timeout) override;
    std::optional<AccessibleElement> elementAttribute(const AccessibleElement& element,
                                                      Attribute attribute) override;
    std::optional<QString> stringAttribute(const AccessibleElement& element,
                                           Attribute attribute) override;
    std::optional<bool> booleanAttribute(const AccessibleElement& element,
                                         Attribute attribute) override;
    std::optional<TextRange> rangeAttribute(const AccessibleElement& element,
                                            Attribute attribute) override;
    std::optional<ScreenRect> boundsForRange(const AccessibleElement& element,
                                             TextRange range) override;
    std::optional<bool> isSettable(const AccessibleElement& element, Attribute attribute) override;
    void setBoolean(const AccessibleElement& element, Attribute attribute, bool value) override;

    // --- Workspace
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(qint32 processIdentifier) override;
    bool activate(qint32 processIdentifier) override;
    qint32 currentProcessIdentifier() override { return ownProcessIdentifier_; }
    QList<ScreenRect> screenFrames() override { return screens_; }

    // --- Pasteboard
    qint64 changeCount() override { return changeCount_; }
    std::optional<QList<QStringList>> itemTypes() override;
    std::optional<Data> data(int item, const QString& type, qint64 maximumSize) override;
    void clearContents() override;
    void writeItems(const QList<Item>& items) override;
    bool setString(const QString& text) override;
    bool setTransientString(const QString& text) override;
    std::optional<QString> string() override;
    void keepAfterExit() override { keptAfterExit_ = true; }
    bool keptAfterExit() const { return keptAfterExit_; }

    // --- KeyEvents
    QCoro::Task<Posted> post(Shortcut shortcut, qint32 processIdentifier,
                             std::function<bool()> lastCheck = {}) override;
    bool keysHeld() override { return keysHeld_; }
    void abandonWaits() override { askAbandoned_.cancel(); }
    QCoro::Task<Posted> openPasteSession(qint32 processIdentifier) override;
    void closePasteSession() override { sessionOpen_ = false; }

    // --- TextEditing
    bool replaceText(const AccessibleElement& element, TextRange range,
                     const QString& text) override;

private:
    struct Element {
        qint32 processIdentifier = 0;
        std::map<Attribute, AttributeValue> attributes;
        std::set<Attribute> unreadable;
        std::map<Attribute, std::optional<bool>> settable;
        std::optional<ScreenRect> bounds;
    };
    struct Application {
        ApplicationIdentity identity;
        ElementId element = 0;
        bool terminated = false;
        bool refuseActivation = false;
        std::chrono::milliseconds activationLag{0};
        CopyEffect copy;
        PasteEffect paste;
        EditEffect edit;
    };
    class Reference;

    AccessibleElement handle(ElementId id) const;
    // The element behind a handle, when its application still runs.
    Element* live(const AccessibleElement& element);
    std::optional<AttributeValue> read(const AccessibleElement& element, Attribute attribute);
    // The attribute when it reads and holds a T.
    template <typename T>
    std::optional<T> readAs(const AccessibleElement& element, Attribute attribute);
    RunningApplication describe(const Application& application) const;
    std::optional<ElementId> focusedElement(qint32 processIdentifier) const;
    void copyFrom(qint32 processIdentifier);
    void pasteInto(qint32 processIdentifier);
    std::optional<QString> plainText() const;
    void happen(Moment moment);
    bool clipboardLent() const { return !lentInSession_ || sessionOpen_; }

    VirtualClock& clock_;
    qint32 ownProcessIdentifier_;
    bool trusted_ = true;
    Posted keysOutcome_ = Posted::yes;
    bool keysHeld_ = false;
    std::optional<std::chrono::milliseconds> askFor_;
    CancellationSource askAbandoned_;
    bool refuseStrings_ = false;
    bool refuseListing_ = false;
    bool lentInSession_ = false;
    Posted sessionOpening_ = Posted::yes;
    bool sessionOpen_ = false;
    bool keptAfterExit_ = false;
    std::map<qint32, Application> applications_;
    std::map<ElementId, Element> elements_;
    ElementId nextElement_ = 1;
    std::optional<qint32> frontmost_;
    QList<ScreenRect> screens_{ScreenRect{0, 0, 1440, 900}};
    QList<ScriptedItem> items_;
    std::multimap<Moment, std::function<void()>> moments_;
    qint64 changeCount_ = 1;
    QList<qint32> activations_;
    QList<std::pair<Shortcut, qint32>> posted_;
    QList<Edit> edits_;
    std::vector<std::unique_ptr<Clock::Alarm>> scheduled_;
};

}  // namespace tidyword::platform::sim
