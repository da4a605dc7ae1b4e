// The direct edits on a Wayland desktop, with the backends a Wayland session runs on. No client
// can press keys into another here: the selection is made through the accessibility bus, in the
// toolkit's own offsets. The clipboard of a client without the keyboard is not its to write.
#include "integration/desktop/DirectEdits.h"
#include "integration/wayland/WaylandDesktop.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/UnavailableDesktop.h"

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

TEST(AtspiTextEditingTest, TheSelectionIsEditedInPlaceInBothToolkits) {
    auto accessibility = AtspiAccessibility::open();
    auto workspace = AtspiWorkspace::open();
    ASSERT_TRUE(accessibility && workspace);
    ASSERT_TRUE(accessibility->isTrusted());
    QtClipboard clipboard;
    UnavailableDesktop noKeys;
    test::expectDirectEditsInPlace(
        *accessibility, *workspace, clipboard, noKeys, nullptr,
        [&](const test::DirectEditCase& editor, qint32 pid) {
            const int start = editor.countsCodePoints
                                  ? test::kCharactersBeforeSelection
                                  : static_cast<int>(test::kSelectedUtf16.location);
            const int end =
                start + (editor.countsCodePoints ? test::kCharactersSelected
                                                 : static_cast<int>(test::kSelectedUtf16.length));
            const QString selected =
                editor.draft.mid(test::kSelectedUtf16.location, test::kSelectedUtf16.length);
            ASSERT_TRUE(test::selectInFocusedField(*accessibility, pid, start, end, selected))
                << editor.name;
        });
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
