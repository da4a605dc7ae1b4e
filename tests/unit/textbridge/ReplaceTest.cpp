// Replacing the captured selection only when nothing changed, with the user's clipboard put back
// whatever happens.
#include "textbridge/ClipboardSnapshot.h"
#include "unit/textbridge/EditorDesktop.h"

#include <functional>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace test;
using Shortcut = platform::KeyEvents::Shortcut;
using Moment = SimulatedDesktop::Moment;

// What the clipboard holds afterwards, compared with what it held when the replacement began.
enum class ClipboardAfter { users, untouched, theirs };

const QList<SimulatedDesktop::ScriptedItem> kTheirs{{{kPlainText, QByteArray("theirs")}}};

struct ReplaceCase {
    const char* name;
    std::optional<TextBridgeError::Code> error;  // none: replaced
    ClipboardAfter clipboard;
    bool pasted;  // whether the paste shortcut went out
    // Runs after the capture, before the replacement starts.
    std::function<void(EditorDesktop&)> arrange;
    // Changes what the capture recorded, for selections a replacement must refuse.
    std::function<void(TextSelection&)> spoil = [](TextSelection&) {};
    friend void PrintTo(const ReplaceCase& row, std::ostream* out) { *out << row.name; }
};

class ReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceTest, ReplacesOnlyWhatIsProvenUnchanged) {
    const ReplaceCase& test = GetParam();
    EditorDesktop editor;
    TextSelection selection = editor.capture();
    test.arrange(editor);
    test.spoil(selection);
    const qint64 changeCount = editor.desktop.changeCount();
    const auto clipboard = editor.desktop.clipboard();
    const auto before = editor.desktop.text(editor.field);

    EXPECT_EQ(codeThrownBy<TextBridgeError>([&] { editor.replace(selection, u"good"_s); }),
              test.error);
    const bool pasted = editor.desktop.postedKeys().contains({Shortcut::paste, kEditor});
    EXPECT_EQ(pasted, test.pasted);
    EXPECT_FALSE(editor.desktop.pasteSessionOpen());
    if (!test.error) {
        EXPECT_EQ(editor.desktop.text(editor.field), u"Not good at all"_s);
    } else if (!pasted) {
        EXPECT_EQ(editor.desktop.text(editor.field), before);
    }
    switch (test.clipboard) {
        case ClipboardAfter::untouched:
            EXPECT_EQ(editor.desktop.changeCount(), changeCount);
            EXPECT_EQ(editor.desktop.clipboard(), clipboard);
            break;
        case ClipboardAfter::users:
            EXPECT_EQ(normalized(editor.desktop.clipboard()), normalized(clipboard));
            break;
        case ClipboardAfter::theirs:
            EXPECT_EQ(editor.desktop.clipboard(), kTheirs);
            break;
    }
}

constexpr auto stale = TextBridgeError::staleSelection;
constexpr auto closed = TextBridgeError::sourceClosed;
constexpr auto unverified = TextBridgeError::pasteUnverified;
constexpr auto noClipboard = TextBridgeError::clipboardUnavailable;
constexpr auto refused = TextBridgeError::replacementUnavailable;
constexpr auto untouched = ClipboardAfter::untouched;
constexpr auto users = ClipboardAfter::users;
constexpr auto theirs = ClipboardAfter::theirs;
constexpr std::nullopt_t replaced = std::nullopt;

// Something happens at `moment`, inside the replacement.
std::function<void(EditorDesktop&)> atMoment(Moment moment,
                                             const std::function<void(EditorDesktop&)>& event) {
    return [=](EditorDesktop& e) { e.desktop.onNext(moment, [&e, event] { event(e); }); };
}

void selectionMoves(EditorDesktop& e) {
    e.set(Attribute::selectedRange, TextRange{4, 2});
}

void anotherProgramWrites(EditorDesktop& e) {
    e.desktop.writeClipboard(kTheirs);
}

void anotherApplicationInFront(EditorDesktop& e) {
    e.desktop.addApplication({77, u"com.example.other"_s, {}, {}});
    e.desktop.setFrontmost(77);
}

// The editor is in the background and comes to the front `lag` after it is asked to.
std::function<void(EditorDesktop&)> activatedAfter(std::chrono::milliseconds lag) {
    return [lag](EditorDesktop& e) {
        e.desktop.setFrontmost(std::nullopt);
        e.desktop.setActivationLag(kEditor, lag);
    };
}

// The application pastes after 10 ms, passing the text through `transform`.
std::function<void(EditorDesktop&)> pastingAs(
    const std::function<QString(const QString&)>& transform) {
    return [=](EditorDesktop& e) { e.desktop.setPasteEffect(kEditor, {10ms, transform}); };
}

const ReplaceCase kReplacements[] = {
    {"Replaced", replaced, users, true, [](auto&) {}},
    {"EmptyClipboardIsEmptyAgain", replaced, users, true,
     [](auto& e) { e.desktop.writeClipboard({}); }},
    {"NotTrusted", TextBridgeError::accessibilityRequired, untouched, false,
     [](auto& e) { e.desktop.setTrusted(false); }},
    {"CharacterTypedAfterTheCapture", stale, untouched, false,
     [](auto& e) { e.desktop.type(e.field, u"!"_s); }},
    {"ApplicationQuit", closed, untouched, false, [](auto& e) { e.desktop.quit(kEditor); }},
    {"RelaunchedWithTheSameProcessIdentifier", closed, untouched, false,
     [](auto& e) { e.desktop.relaunch(kEditor, e.launched.addSecs(60)); }},
    {"ActivationRefused", closed, untouched, false,
     [](auto& e) { e.desktop.refuseActivation(kEditor, true); }},
    {"BroughtToTheFrontWhileItIsAwaited", replaced, users, true, activatedAfter(400ms)},
    // Sixteen polls of 40 ms and the pause of 120 ms have passed: too late.
    {"BroughtToTheFrontOnlyAfterTheLastPollAndThePause", stale, untouched, false,
     activatedAfter(780ms)},
    {"WindowRetitled", stale, untouched, false,
     [](auto& e) { e.desktop.setAttribute(e.window, Attribute::title, u"Draft 2"_s); }},
    {"DocumentGone", stale, untouched, false,
     [](auto& e) { e.desktop.setAttribute(e.window, Attribute::document, std::nullopt); }},
    {"SelectionMoved", stale, untouched, false, selectionMoves},
    {"SelectedTextDisagrees", stale, untouched, false,
     [](auto& e) { e.set(Attribute::selectedText, u"ba"_s); }},
    {"FieldBecameProtected", stale, untouched, false,
     [](auto& e) { e.set(Attribute::protectedContent, true); }},
    {"FocusMovesDuringThePause", stale, untouched, false,
     [](auto& e) {
         const ElementId other = e.desktop.addElement(kEditor, {});
         e.desktop.at(60ms, [&e, other] { e.desktop.focus(kEditor, other, e.window); });
     }},
    {"AnotherApplicationInFrontAfterThePause", stale, untouched, false,
     [](auto& e) { e.desktop.at(60ms, [&e] { anotherApplicationInFront(e); }); }},
    {"ClipboardOver32MiB", noClipboard, untouched, false,
     [](auto& e) {
         constexpr qsizetype half = ClipboardSnapshot::maximumBytes / 2;
         e.desktop.writeClipboard(
             {{{kPlainText, QByteArray(half, 'a')}}, {{kPlainText, QByteArray(half + 1, 'b')}}});
     }},
    {"ClipboardOwnerDoesNotSayWhatItHolds", noClipboard, untouched, false,
     [](auto& e) { e.desktop.refuseListing(true); }},
    {"UnreadableClipboardItem", noClipboard, untouched, false,
     [](auto& e) {
         auto items = e.usersClipboard;
         items[1].append({u"application/x-private"_s, std::nullopt});
         e.desktop.writeClipboard(items);
     }},
    {"SelectionMovesRightAfterTheSnapshot", stale, untouched, false,
     atMoment(Moment::clipboardListed, selectionMoves)},
    {"SelectionMovesRightAfterOurWrite", stale, users, false,
     atMoment(Moment::clipboardWritten, selectionMoves)},
    {"AnotherApplicationInFrontRightAfterOurWrite", stale, users, false,
     atMoment(Moment::clipboardWritten, anotherApplicationInFront)},
    {"AnotherProgramWritesRightAfterOurWrite", TextBridgeError::clipboardChanged, theirs, false,
     atMoment(Moment::clipboardWritten, anotherProgramWrites)},
    {"ClipboardManagerServesOurTextInstead", replaced, users, true,
     atMoment(Moment::keyPosted,
              [](auto& e) {
                  e.desktop.writeClipboard({{{kPlainText, "good"_ba}}});
              })},
    {"AnotherProgramWritesRightAfterThePasteKey", TextBridgeError::foreignPaste, theirs, true,
     [](auto& e) {
         e.desktop.setPasteEffect(kEditor, {10ms, {}});
         atMoment(Moment::keyPosted, anotherProgramWrites)(e);
     }},
    {"AllowedAfterTheDesktopAsks", replaced, users, true,
     [](auto& e) { e.desktop.askBeforeKeys(1000ms); }},
    // The checks once more after the desktop's dialog, which keeps the event loop running.
    {"SelectionMovesWhileTheDesktopAsks", stale, users, false,
     [](auto& e) {
         e.desktop.askBeforeKeys(1000ms);
         e.desktop.at(500ms, [&e] { selectionMoves(e); });
     }},
    {"AnotherApplicationInFrontWhileTheDesktopAsks", stale, users, false,
     [](auto& e) {
         e.desktop.askBeforeKeys(1000ms);
         e.desktop.at(500ms, [&e] { anotherApplicationInFront(e); });
     }},
    {"AnotherProgramWritesWhileTheDesktopAsks", TextBridgeError::clipboardChanged, theirs, false,
     [](auto& e) {
         e.desktop.askBeforeKeys(1000ms);
         e.desktop.at(500ms, [&e] { anotherProgramWrites(e); });
     }},
    {"StringRefused", noClipboard, users, false, [](auto& e) { e.desktop.refuseStrings(true); }},
    {"PasteCannotBePosted", refused, users, false,
     [](auto& e) { e.desktop.refuseKeyEvents(platform::KeyEvents::Posted::no); }},
    {"PasteKeysRefusedByTheUser", TextBridgeError::keysRefused, users, false,
     [](auto& e) { e.desktop.refuseKeyEvents(platform::KeyEvents::Posted::refusedByUser); }},
    // A clipboard lent only inside the keys' session, which may need the user's consent.
    {"ClipboardLentWithTheKeysSession", replaced, users, true,
     [](auto& e) { e.desktop.lendClipboardInSession(platform::KeyEvents::Posted::yes); }},
    {"KeysSessionRefusedByTheUser", TextBridgeError::keysRefused, untouched, false,
     [](auto& e) { e.desktop.lendClipboardInSession(platform::KeyEvents::Posted::refusedByUser); }},
    {"KeysSessionCannotOpen", refused, untouched, false,
     [](auto& e) { e.desktop.lendClipboardInSession(platform::KeyEvents::Posted::no); }},
    {"LineEndingsChanged", unverified, users, true,
     pastingAs([](const QString& text) { return text + u"\r\n"_s; })},
    {"ApplicationIgnoresThePaste", unverified, users, true,
     [](auto& e) {
         e.desktop.setPasteEffect(kEditor, {std::nullopt, {}});
     }},
    {"AnotherProgramCopiesDuringVerification", unverified, theirs, true,
     [](auto& e) {
         e.desktop.setPasteEffect(kEditor, {std::nullopt, {}});
         e.desktop.at(210ms, [&e] { anotherProgramWrites(e); });
     }},
    {"NoSelectedTextAttribute", replaced, users, true,
     [](auto& e) { e.desktop.makeUnreadable(e.field, Attribute::selectedText); }},
    {"CaptureFoundItNotReplaceable", refused, untouched, false, [](auto&) {},
     [](auto& s) { s.canReplace = false; }},
    {"NoRange", refused, untouched, false, [](auto&) {}, [](auto& s) { s.range.reset(); }},
    {"NoOriginalValue", refused, untouched, false, [](auto&) {},
     [](auto& s) { s.originalValue.reset(); }},
};

INSTANTIATE_TEST_SUITE_P(Replacements, ReplaceTest, ::testing::ValuesIn(kReplacements), rowName);

TEST(ReplaceClipboardTest, ThePasteTextIsMarkedAndTheUsersComesBackInOneWrite) {
    EditorDesktop editor;
    std::optional<QList<SimulatedDesktop::ScriptedItem>> atPaste;
    editor.desktop.setPasteEffect(kEditor, {10ms, [&](const QString& text) {
                                                atPaste = normalized(editor.desktop.clipboard());
                                                return text;
                                            }});
    const TextSelection selection = editor.capture();
    const qint64 before = editor.desktop.changeCount();
    editor.replace(selection, u"good"_s);
    // Our paste text, then the user's contents back in one write: an empty clipboard between
    // the two would be refilled by a clipboard manager that keeps it from staying empty.
    EXPECT_EQ(editor.desktop.changeCount(), before + 2);
    EXPECT_EQ(atPaste,
              (QList<SimulatedDesktop::ScriptedItem>{
                  {{kPlainText, "good"_ba},
                   {QString::fromUtf16(platform::Pasteboard::transientMarkType), "secret"_ba}}}));
    EXPECT_EQ(normalized(editor.desktop.clipboard()), normalized(editor.usersClipboard));
}

TEST(ReplaceTimingTest, VerificationReadsTwelveTimesAfterThePauseOrUntilTheClipboardIsTaken) {
    for (const auto& [name, takenAt, verified] :
         {std::tuple{"Ignored", std::optional<std::chrono::milliseconds>(), 12 * 60ms},
          std::tuple{"TakenOverAfterTheFirstRead", std::optional(210ms), 2 * 60ms}}) {
        EditorDesktop editor;
        editor.desktop.setPasteEffect(kEditor, {std::nullopt, {}});
        const TextSelection selection = editor.capture();
        const auto start = editor.clock.uptime();
        if (takenAt) {
            editor.desktop.at(*takenAt, [&editor] { anotherProgramWrites(editor); });
        }
        EXPECT_THROW(editor.replace(selection, u"good"_s), TextBridgeError) << name;
        EXPECT_EQ(editor.clock.uptime() - start, 120ms + verified) << name;
    }
}

TEST(ReplaceCancellationTest, CancellationDuringThePauseStopsBeforeTheClipboard) {
    EditorDesktop editor;
    const TextSelection selection = editor.capture();
    CancellationSource cancellation;
    editor.desktop.at(50ms, [&cancellation] { cancellation.cancel(); });
    const qint64 changeCount = editor.desktop.changeCount();
    EXPECT_THROW(editor.replace(selection, u"good"_s, cancellation.token()), Cancelled);
    EXPECT_EQ(editor.desktop.changeCount(), changeCount);
    EXPECT_EQ(editor.desktop.text(editor.field), u"Not bad at all"_s);
}

TEST(RestoreFocusTest, ActivatesOnlyTheSameRunningInstance) {
    const struct {
        const char* name;
        std::function<void(EditorDesktop&)> arrange;
        bool activated;
    } cases[] = {
        {"Running", [](EditorDesktop&) {}, true},
        {"Quit", [](EditorDesktop& e) { e.desktop.quit(kEditor); }, false},
        {"Relaunched", [](EditorDesktop& e) { e.desktop.relaunch(kEditor, e.launched.addSecs(1)); },
         false},
    };
    for (const auto& test : cases) {
        EditorDesktop editor;
        const TextSelection selection = editor.capture();
        test.arrange(editor);
        editor.bridge.restoreFocus(selection);
        EXPECT_EQ(editor.desktop.activations().size(), test.activated ? 1 : 0) << test.name;
    }
}

}  // namespace
}  // namespace tidyword
