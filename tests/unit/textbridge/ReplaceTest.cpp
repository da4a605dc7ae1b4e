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
    // Runs after the capture, before the replacement starts.
    std::function<void(EditorDesktop&)> arrange;
    std::optional<TextBridgeError::Code> error;  // none: replaced
    ClipboardAfter clipboard;
    bool pasted;  // whether the paste shortcut went out

    friend void PrintTo(const ReplaceCase& test, std::ostream* out) { *out << test.name; }
};

class ReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceTest, ReplacesOnlyWhatIsProvenUnchanged) {
    const ReplaceCase& test = GetParam();
    EditorDesktop editor;
    const TextSelection selection = editor.capture();
    test.arrange(editor);
    const qint64 changeCount = editor.desktop.changeCount();
    const auto clipboard = editor.desktop.clipboard();
    const QString before = editor.desktop.text(editor.field).value_or(QString());

    std::optional<TextBridgeError::Code> error;
    try {
        editor.replace(selection, u"good"_s);
    } catch (const TextBridgeError& thrown) {
        error = thrown.code();
    }

    EXPECT_EQ(error, test.error);
    if (!test.error) {
        EXPECT_EQ(editor.desktop.text(editor.field), u"Not good at all"_s);
    }
    const bool pasted = editor.desktop.postedKeys().contains({Shortcut::paste, kEditor});
    EXPECT_EQ(pasted, test.pasted);
    if (!pasted) {
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
constexpr auto clipboardUnavailable = TextBridgeError::clipboardUnavailable;
constexpr auto untouched = ClipboardAfter::untouched;
constexpr auto users = ClipboardAfter::users;

// Something happens at `moment`, inside the replacement.
std::function<void(EditorDesktop&)> atMoment(SimulatedDesktop::Moment moment,
                                             std::function<void(EditorDesktop&)> event) {
    return
        [moment, event](EditorDesktop& e) { e.desktop.onNext(moment, [&e, event] { event(e); }); };
}

void selectionMoves(EditorDesktop& e) {
    e.desktop.setAttribute(e.field, Attribute::selectedRange, TextRange{4, 2});
}

void anotherProgramWrites(EditorDesktop& e) {
    e.desktop.writeClipboard(kTheirs);
}

// The application pastes after 10 ms, passing the text through `transform`.
std::function<void(EditorDesktop&)> pastingAs(
    const std::function<QString(const QString&)>& transform) {
    return [transform](EditorDesktop& e) { e.desktop.setPasteEffect(kEditor, {10ms, transform}); };
}

INSTANTIATE_TEST_SUITE_P(Replacements, ReplaceTest,
                         ::
                             testing::
                                 Values(ReplaceCase{"Replaced", [](EditorDesktop&) {}, std::nullopt,
                                                    users, true},
                                        ReplaceCase{
                                            "EmptyClipboardIsEmptyAgain",
                                            [](EditorDesktop& e) { e.desktop.writeClipboard({}); },
                                            std::nullopt, users, true},
                                        ReplaceCase{
                                            "NotTrusted",
                                            [](EditorDesktop& e) { e.desktop.setTrusted(false); },
                                            TextBridgeError::accessibilityRequired, untouched,
                                            false},
                                        ReplaceCase{"CharacterTypedAfterTheCapture",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.type(e.field, u"!"_s);
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{
                                            "ApplicationQuit",
                                            [](EditorDesktop& e) { e.desktop.quit(kEditor); },
                                            closed, untouched, false},
                                        ReplaceCase{"RelaunchedWithTheSameProcessIdentifier",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.relaunch(kEditor,
                                                                           e.launched.addSecs(60));
                                                    },
                                                    closed, untouched, false},
                                        ReplaceCase{"ActivationRefused",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.refuseActivation(kEditor, true);
                                                    },
                                                    closed, untouched, false},
                                        ReplaceCase{"BroughtToTheFrontLate",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setFrontmost(std::nullopt);
                                                        e.desktop.setActivationLag(kEditor, 400ms);
                                                    },
                                                    std::nullopt, users, true},
                                        ReplaceCase{"NeverBroughtToTheFront",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setFrontmost(std::nullopt);
                                                        e.desktop.setActivationLag(kEditor, 5s);
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"WindowRetitled",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setAttribute(e.window,
                                                                               Attribute::title,
                                                                               u"Draft 2"_s);
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"DocumentGone",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setAttribute(e.window,
                                                                               Attribute::document,
                                                                               std::nullopt);
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"SelectionMoved",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setAttribute(
                                                            e.field, Attribute::selectedRange,
                                                            TextRange{4, 2});
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"SelectedTextDisagrees",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setAttribute(
                                                            e.field, Attribute::selectedText,
                                                            u"ba"_s);
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"FieldBecameProtected",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setAttribute(
                                                            e.field, Attribute::protectedContent,
                                                            true);
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"FocusMovesDuringThePause",
                                                    [](EditorDesktop& e) {
                                                        const ElementId other =
                                                            e.desktop.addElement(kEditor, {});
                                                        e.desktop.at(60ms, [&e, other] {
                                                            e.desktop.focus(kEditor, other,
                                                                            e.window);
                                                        });
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{"AnotherApplicationInFrontAfterThePause",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.addApplication(
                                                            {77, u"com.example.other"_s, {}, {}});
                                                        e.desktop.at(60ms, [&e] {
                                                            e.desktop.setFrontmost(77);
                                                        });
                                                    },
                                                    stale, untouched, false},
                                        ReplaceCase{
                                            "ClipboardOver32MiB",
                                            [](EditorDesktop& e) {
                                                e.desktop.writeClipboard(
                                                    {{{kPlainText,
                                                       QByteArray(
                                                           ClipboardSnapshot::maximumBytes / 2,
                                                           'a')}},
                                                     {{kPlainText,
                                                       QByteArray(
                                                           ClipboardSnapshot::maximumBytes / 2 + 1,
                                                           'b')}}});
                                            },
                                            clipboardUnavailable, untouched, false},
                                        ReplaceCase{
                                            "ClipboardOwnerDoesNotSayWhatItHolds",
                                            [](EditorDesktop& e) { e.desktop.refuseListing(true); },
                                            clipboardUnavailable, untouched, false},
                                        ReplaceCase{
                                            "SelectionMovesRightAfterTheSnapshot",
                                            atMoment(Moment::clipboardListed, selectionMoves),
                                            stale, untouched, false},
                                        ReplaceCase{
                                            "SelectionMovesRightAfterOurWrite",
                                            atMoment(Moment::clipboardWritten, selectionMoves),
                                            stale, users, false},
                                        ReplaceCase{
                                            "AnotherApplicationInFrontRightAfterOurWrite",
                                            atMoment(Moment::clipboardWritten,
                                                     [](EditorDesktop& e) {
                                                         e.desktop.addApplication(
                                                             {77, u"com.example.other"_s, {}, {}});
                                                         e.desktop.setFrontmost(77);
                                                     }),
                                            stale, users, false},
                                        ReplaceCase{"AnotherProgramWritesRightAfterOurWrite",
                                                    atMoment(Moment::clipboardWritten,
                                                             anotherProgramWrites),
                                                    TextBridgeError::clipboardChanged,
                                                    ClipboardAfter::theirs, false},
                                        ReplaceCase{"ClipboardManagerServesOurTextInstead",
                                                    atMoment(Moment::keyPosted,
                                                             [](EditorDesktop& e) {
                                                                 e.desktop.writeClipboard(
                                                                     {{{kPlainText, "good"_ba}}});
                                                             }),
                                                    std::nullopt, users, true},
                                        ReplaceCase{
                                            "AnotherProgramWritesRightAfterThePasteKey",
                                            [](EditorDesktop& e) {
                                                e.desktop.setPasteEffect(kEditor, {10ms, {}});
                                                atMoment(Moment::keyPosted,
                                                         anotherProgramWrites)(e);
                                            },
                                            TextBridgeError::foreignPaste,
                                            ClipboardAfter::theirs, true},
                                        ReplaceCase{"UnreadableClipboardItem",
                                                    [](EditorDesktop& e) {
                                                        auto items = e.usersClipboard;
                                                        items[1].append({u"application/x-private"_s,
                                                                         std::nullopt});
                                                        e.desktop.writeClipboard(items);
                                                    },
                                                    clipboardUnavailable, untouched, false},
                                        ReplaceCase{
                                            "StringRefused",
                                            [](EditorDesktop& e) { e.desktop.refuseStrings(true); },
                                            clipboardUnavailable, users, false},
                                        ReplaceCase{"PasteCannotBePosted",
                                                    [](EditorDesktop&
                                                           e) { e.desktop.refuseKeyEvents(true); },
                                                    TextBridgeError::replacementUnavailable, users,
                                                    false},
                                        ReplaceCase{"LineEndingsChanged",
                                                    pastingAs([](const QString& text) {
                                                        return text + u"\r\n"_s;
                                                    }),
                                                    unverified, users, true},
                                        ReplaceCase{"TypographicQuotes",
                                                    pastingAs([](const QString&) {
                                                        return u"\u2018good\u2019"_s;
                                                    }),
                                                    unverified, users, true},
                                        ReplaceCase{"ApplicationIgnoresThePaste",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setPasteEffect(
                                                            kEditor, {std::nullopt, {}});
                                                    },
                                                    unverified, users, true},
                                        ReplaceCase{"AnotherProgramCopiesDuringVerification",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.setPasteEffect(
                                                            kEditor, {std::nullopt, {}});
                                                        e.desktop.at(210ms, [&e] {
                                                            e.desktop.writeClipboard(kTheirs);
                                                        });
                                                    },
                                                    unverified, ClipboardAfter::theirs, true},
                                        ReplaceCase{"NoSelectedTextAttribute",
                                                    [](EditorDesktop& e) {
                                                        e.desktop.makeUnreadable(
                                                            e.field, Attribute::selectedText);
                                                    },
                                                    std::nullopt, users, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceRefusalTest, SelectionThatCannotBeReplacedIsRefusedUntouched) {
    EditorDesktop editor;
    TextSelection selection = editor.capture();
    const std::function<void(TextSelection&)> spoil[] = {
        [](TextSelection& s) { s.canReplace = false; },
        [](TextSelection& s) { s.range.reset(); },
        [](TextSelection& s) { s.originalValue.reset(); },
    };
    for (const auto& change : spoil) {
        TextSelection spoilt = selection;
        change(spoilt);
        const qint64 changeCount = editor.desktop.changeCount();
        EXPECT_THROW(editor.replace(spoilt, u"good"_s), TextBridgeError);
        EXPECT_TRUE(editor.desktop.activations().isEmpty());
        EXPECT_EQ(editor.desktop.changeCount(), changeCount);
    }
}

TEST(ReplaceClipboardTest, ThePasteTextIsMarkedForClipboardManagersToSkip) {
    EditorDesktop editor;
    std::optional<QList<SimulatedDesktop::ScriptedItem>> atPaste;
    editor.desktop.setPasteEffect(kEditor, {10ms, [&](const QString& text) {
                                                atPaste = normalized(editor.desktop.clipboard());
                                                return text;
                                            }});
    editor.replace(editor.capture(), u"good"_s);
    ASSERT_TRUE(atPaste.has_value());
    EXPECT_EQ(*atPaste,
              (QList<SimulatedDesktop::ScriptedItem>{
                  {{kPlainText, "good"_ba},
                   {QString::fromUtf16(platform::Pasteboard::transientMarkType), "secret"_ba}}}));
    EXPECT_EQ(normalized(editor.desktop.clipboard()), normalized(editor.usersClipboard));
}

TEST(ReplaceTimingTest, VerificationReadsTwelveTimesAfterThePause) {
    EditorDesktop editor;
    editor.desktop.setPasteEffect(kEditor, {std::nullopt, {}});
    const TextSelection selection = editor.capture();
    const auto start = editor.clock.uptime();
    EXPECT_THROW(editor.replace(selection, u"good"_s), TextBridgeError);
    EXPECT_EQ(editor.clock.uptime() - start, 120ms + 12 * 60ms);
}

TEST(ReplaceTimingTest, ClipboardTakenOverStopsVerificationAtTheNextRead) {
    EditorDesktop editor;
    editor.desktop.setPasteEffect(kEditor, {std::nullopt, {}});
    const TextSelection selection = editor.capture();
    const auto start = editor.clock.uptime();
    editor.desktop.at(210ms, [&editor] { editor.desktop.writeClipboard(kTheirs); });
    EXPECT_THROW(editor.replace(selection, u"good"_s), TextBridgeError);
    EXPECT_EQ(editor.clock.uptime() - start, 120ms + 2 * 60ms);
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
