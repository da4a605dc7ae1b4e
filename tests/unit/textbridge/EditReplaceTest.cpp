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
    std::optional<TextBridgeError::Code> error;  // none: replaced
    bool asked;                                  // whether the edit was asked of the editor
    std::optional<QString> after;                // none: the text as the replacement found it
    // Runs after the capture, before the replacement starts.
    std::function<void(EditorDesktop&, TextSelection&)> arrange;
    friend void PrintTo(const EditCase& row, std::ostream* out) { *out << row.name; }
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

    EXPECT_EQ(codeThrownBy<TextBridgeError>(
                  [&] { runOnVirtualTime(bridge.replace(selection, u"good"_s), editor.clock); }),
              test.error);
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
constexpr auto refused = TextBridgeError::replacementUnavailable;
const std::optional<QString> unchanged;

// The editor answers direct edits this way.
std::function<void(EditorDesktop&, TextSelection&)> answering(const EditEffect& effect) {
    return [effect](EditorDesktop& e, TextSelection&) { e.desktop.setEditEffect(kEditor, effect); };
}

const EditCase kEdits[] = {
    {"Edited", std::nullopt, true, u"Not good at all"_s, [](auto&, auto&) {}},
    {"NotTrusted", TextBridgeError::accessibilityRequired, false, unchanged,
     [](auto& e, auto&) { e.desktop.setTrusted(false); }},
    {"CaptureFoundItNotReplaceable", refused, false, unchanged,
     [](auto&, auto& s) { s.canReplace = false; }},
    {"CharacterTypedAfterTheCapture", stale, false, unchanged,
     [](auto& e, auto&) { e.desktop.type(e.field, u"!"_s); }},
    {"ApplicationQuit", closed, false, unchanged, [](auto& e, auto&) { e.desktop.quit(kEditor); }},
    {"ActivationRefused", closed, false, unchanged,
     [](auto& e, auto&) { e.desktop.refuseActivation(kEditor, true); }},
    {"NeverBroughtToTheFront", stale, false, unchanged,
     [](auto& e, auto&) {
         e.desktop.setFrontmost(std::nullopt);
         e.desktop.setActivationLag(kEditor, 5s);
     }},
    {"FocusMovesDuringThePause", stale, false, unchanged,
     [](auto& e, auto&) {
         const ElementId other = e.desktop.addElement(kEditor, {});
         e.desktop.at(60ms, [&e, other] { e.desktop.focus(kEditor, other, e.window); });
     }},
    {"EditRefused", refused, true, unchanged,
     answering({[](const QString&) { return std::nullopt; }, false})},
    {"RefusedAfterDeleting", unverified, true, u"Not  at all"_s,
     answering({[](const QString&) { return QString(); }, false})},
    {"TypographicQuotes", unverified, true, u"Not \u2018good\u2019 at all"_s,
     answering({[](const QString& text) { return u"\u2018"_s + text + u"\u2019"_s; }})},
    {"AcceptedButIgnored", unverified, true, unchanged,
     answering({[](const QString&) { return std::nullopt; }})},
};

INSTANTIATE_TEST_SUITE_P(Edits, EditReplaceTest, ::testing::ValuesIn(kEdits), rowName);

}  // namespace
}  // namespace tidyword
