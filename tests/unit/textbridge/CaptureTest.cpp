// Reading the selection of the frontmost application, on the simulated desktop.
#include "unit/textbridge/EditorDesktop.h"

#include <functional>
#include <tuple>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace test;

struct CaptureCase {
    const char* name;
    std::optional<TextBridgeError::Code> error;  // none: the capture succeeds
    bool clipboardUntouched;
    std::function<void(EditorDesktop&)> arrange;
    friend void PrintTo(const CaptureCase& row, std::ostream* out) { *out << row.name; }
};

class CaptureErrorTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureErrorTest, EndsAsExpected) {
    EditorDesktop editor;
    GetParam().arrange(editor);
    const qint64 changeCount = editor.desktop.changeCount();
    EXPECT_EQ(editor.captureError(), GetParam().error);
    if (GetParam().clipboardUntouched) {
        EXPECT_EQ(editor.desktop.changeCount(), changeCount);
        EXPECT_TRUE(editor.clipboardIsTheUsers());
    }
}

// A chain of `depth` ancestors above the field, the last with `subrole`.
std::function<void(EditorDesktop&)> ancestorWithSubrole(int depth, const QString& subrole) {
    return [depth, subrole](EditorDesktop& editor) {
        ElementId child = editor.field;
        for (int level = 1; level <= depth; ++level) {
            std::map<Attribute, AttributeValue> attributes{{Attribute::role, u"AXGroup"_s}};
            if (level == depth) {
                attributes[Attribute::subrole] = subrole;
            }
            const ElementId parent = editor.desktop.addElement(kEditor, attributes);
            editor.desktop.setAttribute(child, Attribute::parent, parent);
            child = parent;
        }
    };
}

// Only the copy shortcut can get the selection, and the editor answers it this way; `meanwhile`
// happens 100 ms into the wait.
std::function<void(EditorDesktop&)> copying(
    SimulatedDesktop::CopyEffect effect,
    const std::function<void(EditorDesktop&)>& meanwhile = {}) {
    return [=](EditorDesktop& e) {
        e.hideSelection();
        e.desktop.setCopyEffect(kEditor, effect);
        if (meanwhile) {
            e.desktop.at(100ms, [&e, meanwhile] { meanwhile(e); });
        }
    };
}

constexpr auto noSelection = TextBridgeError::noSelection;
constexpr auto secureField = TextBridgeError::secureField;
constexpr auto unsupported = TextBridgeError::unsupportedControl;
constexpr auto noApplication = TextBridgeError::noApplication;
constexpr auto stale = TextBridgeError::staleSelection;
constexpr std::nullopt_t captured = std::nullopt;
const std::optional<std::chrono::milliseconds> never;

const CaptureCase kCaptures[] = {
    {"Plain", captured, true, [](auto&) {}},
    {"NotTrusted", TextBridgeError::accessibilityRequired, true,
     [](auto& e) { e.desktop.setTrusted(false); }},
    {"NothingFrontmost", noApplication, true, [](auto& e) { e.desktop.setFrontmost({}); }},
    {"TidywordFrontmost", noApplication, true, [](auto& e) { e.desktop.setFrontmost(1); }},
    {"FrontmostTerminated", noApplication, true,
     [](auto& e) {
         e.desktop.quit(kEditor);
         e.desktop.setFrontmost(kEditor);
     }},
    {"NoFocusedElement", unsupported, true,
     [](auto& e) {
         e.desktop.setAttribute(e.application, Attribute::focusedElement, std::nullopt);
     }},
    {"ThreeSpacesSelected", noSelection, true,
     [](auto& e) {
         e.desktop.setText(e.field, u"a   b"_s, {1, 3});
     }},
    {"ThreeSpacesCopied", noSelection, false,
     [](auto& e) {
         e.desktop.setText(e.field, u"a   b"_s, {1, 3});
         e.hideSelection();
     }},
    {"SecureSubroleOnTheSeventhAncestor", secureField, true,
     ancestorWithSubrole(7, u"AXSecureTextField"_s)},
    {"SecureSubroleOnTheEighthAncestorIsNotExamined", captured, true,
     ancestorWithSubrole(8, u"AXSecureTextField"_s)},
    {"SecureInsideALongerSubroleInAnyCase", secureField, true,
     ancestorWithSubrole(1, u"AXMySECUREInput"_s)},
    {"ProtectedContent", secureField, true,
     [](auto& e) { e.set(Attribute::protectedContent, true); }},
    {"UnsupportedRoleWithoutSelection", unsupported, true,
     [](auto& e) { e.hideSelection(u"AXButton"_s); }},
    {"NoRoleWithoutSelection", unsupported, true,
     [](auto& e) {
         e.hideSelection();
         e.desktop.makeUnreadable(e.field, Attribute::role);
     }},
    {"StaticTextThatNeverCopies", noSelection, true, copying({never})},
    {"CopyShortcutCannotBePosted", noSelection, true,
     [](auto& e) {
         e.hideSelection();
         e.desktop.refuseKeyEvents(platform::KeyEvents::Posted::no);
     }},
    {"UnreadableClipboard", TextBridgeError::clipboardUnavailable, false,
     [](auto& e) {
         e.hideSelection();
         e.desktop.writeClipboard({{{u"image/png"_s, std::nullopt}}});
     }},
    {"FocusMovesDuringTheCopy", stale, false,
     copying(
         {150ms},
         [](auto& e) {
             const auto other = e.desktop.addElement(kEditor, {{Attribute::selectedText, u"o"_s}});
             e.desktop.focus(kEditor, other, e.window);
         })},
    // Another program's write while the desktop asks before the copy would pass for the copy.
    {"AnotherProgramWritesWhileTheDesktopAsksBeforeTheCopy", stale, false,
     [](auto& e) {
         copying({100ms}, [](auto& e) {
             e.desktop.writeClipboard({{{kPlainText, QByteArray("theirs")}}});
         })(e);
         e.desktop.askBeforeKeys(500ms);
     }},
    {"FocusMovesWhileTheDesktopAsksBeforeTheCopy", stale, true,
     [](auto& e) {
         copying({100ms}, [](auto& e) {
             const auto other = e.desktop.addElement(kEditor, {{Attribute::selectedText, u"o"_s}});
             e.desktop.focus(kEditor, other, e.window);
         })(e);
         e.desktop.askBeforeKeys(500ms);
     }},
    {"ApplicationQuitsWhileWaitingForTheCopy", stale, true,
     copying({never}, [](auto& e) { e.desktop.quit(kEditor); })},
    // The workspace still names it frontmost: its end alone must stop the wait.
    {"ApplicationEndsInFrontWhileWaitingForTheCopy", stale, true,
     copying({never},
             [](auto& e) {
                 e.desktop.quit(kEditor);
                 e.desktop.setFrontmost(kEditor);
             })},
    {"AnotherApplicationInFrontWhileWaitingForTheCopy", stale, true,
     copying({never},
             [](auto& e) {
                 e.desktop.addApplication({77, u"com.example.other"_s, {}, {}});
                 e.desktop.setFrontmost(77);
             })},
};

INSTANTIATE_TEST_SUITE_P(Captures, CaptureErrorTest, ::testing::ValuesIn(kCaptures), rowName);

TEST(CaptureTest, DirectSelectionRecordsEverythingAReplacementChecks) {
    EditorDesktop editor;
    const TextSelection selection = editor.capture();
    EXPECT_EQ(selection.text, u"bad"_s);
    EXPECT_EQ(selection.sourceAppName, u"Editor"_s);
    EXPECT_EQ(selection.anchorRect, (ScreenRect{100, 780, 50, 20}));
    EXPECT_TRUE(selection.canReplace);
    EXPECT_EQ(selection.processIdentifier, kEditor);
    EXPECT_EQ(selection.launchDate, editor.launched);
    EXPECT_EQ(selection.windowTitle, u"Draft"_s);
    EXPECT_EQ(selection.documentIdentifier, u"file:///draft.txt"_s);
    EXPECT_EQ(selection.range, (TextRange{4, 3}));
    EXPECT_EQ(selection.originalValue, u"Not bad at all"_s);
}

// What the capture keeps of a selection it could read: its text, whether a replacement may be
// tried, and where the panel is anchored.
TEST(CaptureTest, KeepsTheTextAndJudgesReplacementAndAnchor) {
    const std::optional<ScreenRect> none;
    const struct {
        const char* name;
        bool canReplace;
        std::function<void(EditorDesktop&)> arrange;
        QString text = u"bad"_s;
        std::optional<ScreenRect> anchor = ScreenRect{100, 780, 50, 20};
    } cases[] = {
        {"EditableFalse", false, [](auto& e) { e.set(Attribute::editable, false); }},
        {"Disabled", false, [](auto& e) { e.set(Attribute::enabled, false); }},
        {"StaticText", false, [](auto& e) { e.set(Attribute::role, u"AXStaticText"_s); }},
        {"ValueSettable", true,
         [](auto& e) {
             e.set(Attribute::editable, std::nullopt);
             e.desktop.setSettable(e.field, Attribute::value, true);
         }},
        {"SelectedTextSettable", true,
         [](auto& e) {
             e.set(Attribute::editable, std::nullopt);
             e.desktop.setSettable(e.field, Attribute::value, std::nullopt);
             e.desktop.setSettable(e.field, Attribute::selectedText, true);
         }},
        {"NothingSettable", false, [](auto& e) { e.set(Attribute::editable, std::nullopt); }},
        {"SelectionNotInTheValue", false,
         [](auto& e) { e.set(Attribute::selectedText, u"good"_s); }, u"good"_s},
        {"EmptySelectedTextFallsBackToTheValueAtTheRange", true,
         [](auto& e) {
             e.desktop.setText(e.field, u"Hello world"_s, {6, 5});
             e.set(Attribute::selectedText, u""_s);
         },
         u"world"_s},
        {"ValueTooLongToKeep", false,
         [](auto& e) {
             e.desktop.setText(e.field, QString(250'001, u'x'), {0, 5});
         },
         u"xxxxx"_s},
        // A selection that only the copy shortcut reads, in a control that tells only its caret:
        // the caret still places the panel.
        {"CopiedWhereOnlyTheCaretIsKnown", false,
         [](auto& e) {
             e.set(Attribute::role, u"AXStaticText"_s);
             e.desktop.makeUnreadable(e.field, Attribute::selectedText);
             e.desktop.makeUnreadable(e.field, Attribute::value);
             e.set(Attribute::selectedRange, TextRange{4, 0});
         }},
        {"NoWindow", false, [](auto& e) { e.desktop.focus(kEditor, e.field, std::nullopt); }},
        {"ZeroWidthBounds", true,
         [](auto& e) {
             e.desktop.setBounds(e.field, ScreenRect{100, 200, 0, 20});
         },
         u"bad"_s, none},
        {"ZeroHeightBounds", true,
         [](auto& e) {
             e.desktop.setBounds(e.field, ScreenRect{100, 200, 50, 0});
         },
         u"bad"_s, none},
        {"NoBounds", true, [](auto& e) { e.desktop.setBounds(e.field, std::nullopt); }, u"bad"_s,
         none},
        {"NoScreens", true, [](auto& e) { e.desktop.setScreens({}); }, u"bad"_s, none},
        // The anchor's y grows upwards from the primary screen's bottom edge, here 2160 below
        // the top of the monitor above it that holds the selection.
        {"PrimaryScreenBelow", true,
         [](auto& e) {
             e.desktop.setScreens({ScreenRect{0, 1080, 1920, 1080}, ScreenRect{0, 0, 1920, 1080}});
         },
         u"bad"_s, ScreenRect{100, 1940, 50, 20}},
    };
    for (const auto& test : cases) {
        EditorDesktop editor;
        test.arrange(editor);
        const TextSelection selection = editor.capture();
        EXPECT_EQ(selection.text, test.text) << test.name;
        EXPECT_EQ(selection.canReplace, test.canReplace) << test.name;
        EXPECT_EQ(selection.anchorRect, test.anchor) << test.name;
    }
}

TEST(CaptureTest, CopyFallbackPutsTheUsersClipboardBack) {
    EditorDesktop editor;
    copying({100ms})(editor);
    const qint64 before = editor.desktop.changeCount();
    const auto start = editor.clock.uptime();

    const TextSelection selection = editor.capture();

    EXPECT_EQ(selection.text, u"bad"_s);
    EXPECT_FALSE(selection.canReplace);
    EXPECT_TRUE(editor.clipboardIsTheUsers());
    EXPECT_GT(editor.desktop.changeCount(), before + 1);  // the copy, then the restore
    EXPECT_EQ(editor.clock.uptime() - start, 120ms);      // three polls of 40 ms
    EXPECT_EQ(editor.desktop.postedKeys().size(), 1);
}

// The copy waits for the user's shortcut to come up, on the event loop, and gives up after 1 s.
TEST(CaptureTest, CopyWaitsUntilTheShortcutsKeysAreUp) {
    for (const auto& [name, release, copied] :
         {std::tuple{"LetGoAfter300ms", std::optional(300ms), true},
          {"HeldForever", std::optional<std::chrono::milliseconds>(), false}}) {
        EditorDesktop editor;
        copying({100ms})(editor);
        editor.desktop.holdKeys(release);
        const auto start = editor.clock.uptime();
        if (copied) {
            EXPECT_EQ(editor.capture().text, u"bad"_s) << name;
            EXPECT_EQ(editor.clock.uptime() - start, 300ms + 120ms) << name;
        } else {
            EXPECT_EQ(editor.captureError(), TextBridgeError::noSelection) << name;
            EXPECT_EQ(editor.clock.uptime() - start, 1000ms) << name;
        }
        EXPECT_EQ(editor.desktop.postedKeys().size(), copied ? 1 : 0) << name;
        EXPECT_TRUE(editor.clipboardIsTheUsers()) << name;
    }
}

TEST(CaptureTest, ApplicationThatNeverCopiesIsPolled16TimesAndLeftAlone) {
    EditorDesktop editor;
    copying({never})(editor);
    const auto start = editor.clock.uptime();
    EXPECT_EQ(editor.captureError(), TextBridgeError::noSelection);
    EXPECT_EQ(editor.clock.uptime() - start, 640ms);
}

TEST(CaptureTest, WritesWhileTheCopyIsReadAreTheirsUnlessTheyServeTheCopy) {
    using Moment = SimulatedDesktop::Moment;
    const QList<SimulatedDesktop::ScriptedItem> theirs{{{kPlainText, QByteArray("theirs")}}};
    // A clipboard manager takes each new owner's contents over unchanged.
    const QList<SimulatedDesktop::ScriptedItem> copiedAgain{{{kPlainText, QByteArray("bad")}}};
    for (const auto& [name, written, usersAfter] :
         {std::tuple{"AnotherProgram", theirs, false}, std::tuple{"Manager", copiedAgain, true}}) {
        EditorDesktop editor;
        copying({40ms})(editor);
        editor.desktop.onNext(Moment::stringRead,
                              [&, items = written] { editor.desktop.writeClipboard(items); });
        EXPECT_EQ(editor.captureError(), TextBridgeError::staleSelection) << name;
        EXPECT_EQ(editor.clipboardIsTheUsers(), usersAfter) << name;
        if (!usersAfter) {
            EXPECT_EQ(editor.desktop.clipboard(), written) << name;
        }
    }
}

TEST(CaptureTest, CancellationAfterTheCopyLandsRestoresAndStops) {
    EditorDesktop editor;
    copying({100ms})(editor);
    CancellationSource cancellation;
    editor.desktop.at(60ms, [&cancellation] { cancellation.cancel(); });
    EXPECT_THROW(editor.capture(cancellation.token()), Cancelled);
    EXPECT_TRUE(editor.clipboardIsTheUsers());
}

TEST(CaptureTest, SlackIsAskedToPublishItsInterface) {
    EditorDesktop editor;
    editor.desktop.addApplication({7, u"com.tinyspeck.slackmacgap"_s, u"Slack"_s, std::nullopt});
    const ElementId composer = editor.desktop.addElement(7, {{Attribute::role, u"AXTextArea"_s}});
    editor.desktop.setText(composer, u"hi there"_s, {0, 2});
    editor.desktop.focus(7, composer, std::nullopt);
    editor.desktop.setFrontmost(7);
    EXPECT_EQ(editor.capture().text, u"hi"_s);
    EXPECT_EQ(editor.desktop.booleanAttribute(editor.desktop.applicationElement(7),
                                              Attribute::manualAccessibility),
              true);
}

}  // namespace
}  // namespace tidyword
