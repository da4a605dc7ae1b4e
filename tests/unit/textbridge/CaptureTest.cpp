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
    std::function<void(EditorDesktop&)> arrange;
    std::optional<TextBridgeError::Code> error;  // none: the capture succeeds
    bool clipboardUntouched;

    friend void PrintTo(const CaptureCase& test, std::ostream* out) { *out << test.name; }
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

constexpr auto noSelection = TextBridgeError::noSelection;
constexpr auto secureField = TextBridgeError::secureField;
constexpr auto unsupported = TextBridgeError::unsupportedControl;
constexpr auto noApplication = TextBridgeError::noApplication;
constexpr auto stale = TextBridgeError::staleSelection;

INSTANTIATE_TEST_SUITE_P(
    Captures, CaptureErrorTest,
    ::testing::Values(
        CaptureCase{"Plain", [](EditorDesktop&) {}, std::nullopt, true},
        CaptureCase{"NotTrusted", [](EditorDesktop& e) { e.desktop.setTrusted(false); },
                    TextBridgeError::accessibilityRequired, true},
        CaptureCase{"NothingFrontmost", [](EditorDesktop& e) { e.desktop.setFrontmost({}); },
                    noApplication, true},
        CaptureCase{"TidywordFrontmost", [](EditorDesktop& e) { e.desktop.setFrontmost(1); },
                    noApplication, true},
        CaptureCase{"FrontmostTerminated",
                    [](EditorDesktop& e) {
                        e.desktop.quit(kEditor);
                        e.desktop.setFrontmost(kEditor);
                    },
                    noApplication, true},
        CaptureCase{"NoFocusedElement",
                    [](EditorDesktop& e) {
                        e.desktop.setAttribute(e.application, Attribute::focusedElement,
                                               std::nullopt);
                    },
                    unsupported, true},
        CaptureCase{"ThreeSpacesSelected",
                    [](EditorDesktop& e) {
                        e.desktop.setText(e.field, u"a   b"_s, {1, 3});
                    },
                    noSelection, true},
        CaptureCase{"ThreeSpacesCopied",
                    [](EditorDesktop& e) {
                        e.desktop.setText(e.field, u"a   b"_s, {1, 3});
                        e.hideSelection();
                    },
                    noSelection, false},
        CaptureCase{"SecureSubroleOnTheThirdAncestor",
                    ancestorWithSubrole(3, u"AXSecureTextField"_s), secureField, true},
        CaptureCase{"SecureSubroleOnTheEighthAncestorIsNotExamined",
                    ancestorWithSubrole(8, u"AXSecureTextField"_s), std::nullopt, true},
        CaptureCase{"SecureSubroleOnTheSeventhAncestor",
                    ancestorWithSubrole(7, u"AXSecureTextField"_s), secureField, true},
        CaptureCase{"SecureInsideALongerSubroleInAnyCase",
                    ancestorWithSubrole(1, u"AXMySECUREInput"_s), secureField, true},
        CaptureCase{"ProtectedContent",
                    [](EditorDesktop& e) {
                        e.desktop.setAttribute(e.field, Attribute::protectedContent, true);
                    },
                    secureField, true},
        CaptureCase{"UnsupportedRoleWithoutSelection",
                    [](EditorDesktop& e) { e.hideSelection(u"AXButton"_s); }, unsupported, true},
        CaptureCase{"NoRoleWithoutSelection",
                    [](EditorDesktop& e) {
                        e.hideSelection();
                        e.desktop.makeUnreadable(e.field, Attribute::role);
                    },
                    unsupported, true},
        CaptureCase{"StaticTextThatNeverCopies",
                    [](EditorDesktop& e) {
                        e.hideSelection();
                        e.desktop.setCopyEffect(kEditor, {std::nullopt});
                    },
                    noSelection, true},
        CaptureCase{"CopyShortcutCannotBePosted",
                    [](EditorDesktop& e) {
                        e.hideSelection();
                        e.desktop.refuseKeyEvents(true);
                    },
                    noSelection, true},
        CaptureCase{"UnreadableClipboard",
                    [](EditorDesktop& e) {
                        e.hideSelection();
                        e.desktop.writeClipboard({{{u"image/png"_s, std::nullopt}}});
                    },
                    TextBridgeError::clipboardUnavailable, false},
        CaptureCase{"FocusMovesDuringTheCopy",
                    [](EditorDesktop& e) {
                        e.hideSelection();
                        e.desktop.setCopyEffect(kEditor, {100ms});
                        const ElementId other =
                            e.desktop.addElement(kEditor, {{Attribute::selectedText, u"other"_s}});
                        e.desktop.at(60ms,
                                     [&e, other] { e.desktop.focus(kEditor, other, e.window); });
                    },
                    stale, false},
        CaptureCase{"ApplicationQuitsWhileWaitingForTheCopy",
                    [](EditorDesktop& e) {
                        e.hideSelection();
                        e.desktop.setCopyEffect(kEditor, {std::nullopt});
                        e.desktop.at(100ms, [&e] { e.desktop.quit(kEditor); });
                    },
                    stale, true}),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST(CaptureTest, EmptySelectedTextFallsBackToTheValueAtTheRange) {
    EditorDesktop editor;
    editor.desktop.setText(editor.field, u"Hello world"_s, {6, 5});
    editor.desktop.setAttribute(editor.field, Attribute::selectedText, u""_s);
    const TextSelection selection = editor.capture();
    EXPECT_EQ(selection.text, u"world"_s);
    EXPECT_TRUE(selection.canReplace);
}

TEST(CaptureTest, LongValueIsNotKeptAndCannotBeReplaced) {
    EditorDesktop editor;
    editor.desktop.setText(editor.field, QString(250'001, u'x'), {0, 5});
    const TextSelection selection = editor.capture();
    EXPECT_EQ(selection.text, u"xxxxx"_s);
    EXPECT_EQ(selection.originalValue, std::nullopt);
    EXPECT_FALSE(selection.canReplace);
}

TEST(CaptureTest, NoWindowMeansNoTitleNoDocumentAndNoReplacement) {
    EditorDesktop editor;
    editor.desktop.focus(kEditor, editor.field, std::nullopt);
    const TextSelection selection = editor.capture();
    EXPECT_EQ(selection.window, std::nullopt);
    EXPECT_EQ(selection.windowTitle, std::nullopt);
    EXPECT_EQ(selection.documentIdentifier, std::nullopt);
    EXPECT_FALSE(selection.canReplace);
}

// The anchor's y grows upwards from the primary screen's bottom edge, here 2160 below the top
// of the monitor above it that holds the selection.
TEST(CaptureTest, TheAnchorIsMeasuredFromThePrimaryScreen) {
    EditorDesktop editor;
    editor.desktop.setScreens({ScreenRect{0, 1080, 1920, 1080}, ScreenRect{0, 0, 1920, 1080}});
    EXPECT_EQ(editor.capture().anchorRect, (ScreenRect{100, 1940, 50, 20}));
}

TEST(CaptureTest, DegenerateBoundsOrNoScreensGiveNoAnchor) {
    const std::function<void(EditorDesktop&)> arrangements[] = {
        [](EditorDesktop& e) {
            e.desktop.setBounds(e.field, ScreenRect{100, 200, 0, 20});
        },
        [](EditorDesktop& e) {
            e.desktop.setBounds(e.field, ScreenRect{100, 200, 50, 0});
        },
        [](EditorDesktop& e) { e.desktop.setBounds(e.field, std::nullopt); },
        [](EditorDesktop& e) { e.desktop.setScreens({}); },
    };
    for (const auto& arrange : arrangements) {
        EditorDesktop editor;
        arrange(editor);
        EXPECT_EQ(editor.capture().anchorRect, std::nullopt);
    }
}

TEST(CaptureTest, EditabilityDecidesWhetherTheSelectionCanBeReplaced) {
    const struct {
        const char* name;
        std::function<void(EditorDesktop&)> arrange;
        bool canReplace;
    } cases[] = {
        {"EditableFalse",
         [](EditorDesktop& e) { e.desktop.setAttribute(e.field, Attribute::editable, false); },
         false},
        {"Disabled",
         [](EditorDesktop& e) { e.desktop.setAttribute(e.field, Attribute::enabled, false); },
         false},
        {"StaticText",
         [](EditorDesktop& e) {
             e.desktop.setAttribute(e.field, Attribute::role, u"AXStaticText"_s);
         },
         false},
        {"ValueSettable",
         [](EditorDesktop& e) {
             e.desktop.setAttribute(e.field, Attribute::editable, std::nullopt);
             e.desktop.setSettable(e.field, Attribute::value, true);
         },
         true},
        {"SelectedTextSettable",
         [](EditorDesktop& e) {
             e.desktop.setAttribute(e.field, Attribute::editable, std::nullopt);
             e.desktop.setSettable(e.field, Attribute::value, std::nullopt);
             e.desktop.setSettable(e.field, Attribute::selectedText, true);
         },
         true},
        {"NothingSettable",
         [](EditorDesktop& e) {
             e.desktop.setAttribute(e.field, Attribute::editable, std::nullopt);
         },
         false},
        {"SelectionNotInTheValue",
         [](EditorDesktop& e) {
             e.desktop.setAttribute(e.field, Attribute::selectedText, u"good"_s);
         },
         false},
    };
    for (const auto& test : cases) {
        EditorDesktop editor;
        test.arrange(editor);
        EXPECT_EQ(editor.capture().canReplace, test.canReplace) << test.name;
    }
}

TEST(CaptureTest, CopyFallbackPutsTheUsersClipboardBack) {
    EditorDesktop editor;
    editor.hideSelection();
    editor.desktop.setCopyEffect(kEditor, {100ms});
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

TEST(CaptureTest, ApplicationThatNeverCopiesIsPolled16TimesAndLeftAlone) {
    EditorDesktop editor;
    editor.hideSelection();
    editor.desktop.setCopyEffect(kEditor, {std::nullopt});
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
        editor.hideSelection();
        editor.desktop.setCopyEffect(kEditor, {40ms});
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
    editor.hideSelection();
    editor.desktop.setCopyEffect(kEditor, {100ms});
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
    const TextSelection selection = editor.capture();
    EXPECT_EQ(selection.text, u"hi"_s);
    EXPECT_EQ(editor.desktop.booleanAttribute(editor.desktop.applicationElement(7),
                                              Attribute::manualAccessibility),
              true);
}

}  // namespace
}  // namespace tidyword
