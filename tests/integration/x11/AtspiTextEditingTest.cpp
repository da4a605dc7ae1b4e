// The direct edits on an X11 desktop (AT-SPI is the same there), the selection made with keys as
// the user makes it; the clipboard is left alone.
#include "integration/desktop/DirectEdits.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeyEvents.h"
#include "platform/linux/XcbClipboard.h"

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(AtspiTextEditingTest, TheSelectionIsEditedInPlaceInBothToolkits) {
    auto accessibility = AtspiAccessibility::open();
    auto workspace = X11Workspace::open();
    auto keys = XTestKeyEvents::open();
    auto clipboard = XcbClipboard::open();
    ASSERT_TRUE(accessibility && workspace && keys && clipboard);
    ASSERT_TRUE(accessibility->isTrusted());
    test::expectDirectEditsInPlace(
        *accessibility, *workspace, *clipboard, *keys, clipboard.get(),
        [](const test::DirectEditCase& editor, qint32) {
            QStringList keys{u"key"_s, u"ctrl+Home"_s};
            for (int step = 0; step < test::kCharactersBeforeSelection; ++step) {
                keys.append(u"Right"_s);
            }
            for (int step = 0; step < test::kCharactersSelected; ++step) {
                keys.append(u"shift+Right"_s);
            }
            ASSERT_EQ(QProcess::execute(u"xdotool"_s, keys), 0) << editor.name;
        });
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
