// Replacing by a direct edit of the field, on sessions without a paste route: the same checks as
// the paste (one case for each place the checks run; what each check compares is ReplaceTest's),
// the clipboard never touched, and the result read back.
#include "unit/textbridge/EditorDesktop.h"

#include <functional>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace test;
using Edit = SimulatedDesktop::Edit;
using EditEffect = SimulatedDesktop::EditEffect;

struct EditCase {
    const char* name;
    // Runs after the capture, before the replacement starts.
    std::function<void(EditorDesktop&, TextSelection&)> arrange;
    std::optional<TextBridgeError::Code> error;   // none: replaced
    bool asked = false;                           // whether the edit was asked of the editor
    std::optional<QString> after = std::nullopt;  // none: the text as the replacement found it

    friend void PrintTo(const EditCase& test, std::ostream* out) { *out << test.name; }
};

class EditReplaceTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditReplaceTest, EditsOnlyWhatIsProvenUnchangedAndLeavesTheClipboardAlone) {
    const EditCase& test = GetParam();
    EditorDesktop editor;
    TextBridge bridge{{editor.desktop, editor.desktop, editor.desktop, editor.desktop, editor.clock,
                       &editor.desktop}};
    TextSelection selection = editor.capture();
    test.arrange(editor, selection);
    const qint64 changeCount = editor.desktop.changeCount();
    const auto clipboard = editor.desktop.clipboard();
    const auto before = editor.desktop.text(editor.field);

    std::optional<TextBridgeError::Code> error;
    try {
        runOnVirtualTime(bridge.replace(selection, u"good"_s), editor.clock);
    } catch (const TextBridgeError& thrown) {
        error = thrown.code();
    }

    EXPECT_EQ(error, test.error);
    const QList<Edit> asked{{editor.field, TextRange{4, 3}, u"good"_s}};
    EXPECT_EQ(editor.desktop.edits(), test.asked ? asked : QList<Edit>());
    EXPECT_EQ(editor.desktop.text(editor.field), test.after ? test.after : before);
    EXPECT_TRUE(editor.desktop.postedKeys().isEmpty());
    EXPECT_EQ(editor.desktop.changeCount(), changeCount);
    EXPECT_EQ(editor.desktop.clipboard(), clipboard);
}

constexpr auto stale = TextBridgeError::staleSelection;
constexpr auto closed = TextBridgeError::sourceClosed;
constexpr auto unverified = TextBridgeError::editUnverified;

// The editor answers direct edits this way.
std::function<void(EditorDesktop&, TextSelection&)> answering(EditEffect effect) {
    return [effect](EditorDesktop& e, TextSelection&) { e.desktop.setEditEffect(kEditor, effect); };
}

INSTANTIATE_TEST_SUITE_P(
    Edits, EditReplaceTest,
    ::testing::Values(
        EditCase{"Edited", [](EditorDesktop&, TextSelection&) {}, std::nullopt, true,
                 u"Not good at all"_s},
        EditCase{"NotTrusted",
                 [](EditorDesktop& e, TextSelection&) { e.desktop.setTrusted(false); },
                 TextBridgeError::accessibilityRequired},
        EditCase{"CaptureFoundItNotReplaceable",
                 [](EditorDesktop&, TextSelection& s) { s.canReplace = false; },
                 TextBridgeError::replacementUnavailable},
        EditCase{"CharacterTypedAfterTheCapture",
                 [](EditorDesktop& e, TextSelection&) { e.desktop.type(e.field, u"!"_s); }, stale},
        EditCase{"ApplicationQuit",
                 [](EditorDesktop& e, TextSelection&) { e.desktop.quit(kEditor); }, closed},
        EditCase{
            "ActivationRefused",
            [](EditorDesktop& e, TextSelection&) { e.desktop.refuseActivation(kEditor, true); },
            closed},
        EditCase{"NeverBroughtToTheFront",
                 [](EditorDesktop& e, TextSelection&) {
                     e.desktop.setFrontmost(std::nullopt);
                     e.desktop.setActivationLag(kEditor, 5s);
                 },
                 stale},
        EditCase{"FocusMovesDuringThePause",
                 [](EditorDesktop& e, TextSelection&) {
                     const ElementId other = e.desktop.addElement(kEditor, {});
                     e.desktop.at(60ms, [&e, other] { e.desktop.focus(kEditor, other, e.window); });
                 },
                 stale},
        EditCase{"EditRefused", answering({[](const QString&) { return std::nullopt; }, false}),
                 TextBridgeError::replacementUnavailable, true},
        EditCase{"RefusedAfterDeleting",
                 answering({[](const QString&) { return QString(); }, false}), unverified, true,
                 u"Not  at all"_s},
        EditCase{"TypographicQuotes",
                 answering({[](const QString& text) { return u"\u2018"_s + text + u"\u2019"_s; }}),
                 unverified, true, u"Not \u2018good\u2019 at all"_s},
        EditCase{"AcceptedButIgnored", answering({[](const QString&) { return std::nullopt; }}),
                 unverified, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tidyword
