// Replacement by a direct edit over AT-SPI into real applications of both toolkits, the route of
// sessions without a paste: the text bridge as a Wayland session wires it, here on an X11 desktop
// (AT-SPI is the same there), with an emoji before the selection and in the replacement.
#include "integration/x11/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeyEvents.h"
#include "platform/linux/XcbClipboard.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "textbridge/TextBridge.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using Attribute = Accessibility::Attribute;

// GTK counts "😀" as one offset and Qt as two; "é" is two bytes of UTF-8 and "👍" four.
const QString kReplacement = u"CR\u00c8ME \U0001F44D"_s;

TEST(AtspiTextEditingTest, TheSelectionIsEditedInPlaceInBothToolkits) {
    auto accessibility = AtspiAccessibility::open();
    auto workspace = X11Workspace::open();
    auto keys = XTestKeyEvents::open();
    auto clipboard = XcbClipboard::open();
    ASSERT_TRUE(accessibility && workspace && keys && clipboard);
    ASSERT_TRUE(accessibility->isTrusted());
    AtspiTextEditing editing;
    SystemClock clock;
    TextBridge bridge{{*accessibility, *workspace, *clipboard, *keys, clock, &editing}};
    QTemporaryDir directory;
    const QString file = directory.filePath(u"draft.txt"_s);

    // The start of a run of one letter: a range read in UTF-16 units in GTK finds the selected
    // text too, one place further.
    const QString run = u"Caf\u00e9 \U0001F600 mmmm and more"_s;
    const QString word = u"Caf\u00e9 \U0001F600 cr\u00e8me and more"_s;
    // Each selection is the two characters on screen after the first seven.
    const struct {
        const char* name;
        QString program;
        QStringList arguments;
        QString draft;
        QString edited;
    } editors[] = {
        {"GTK",
         u"mousepad"_s,
         {file},
         run,
         u"Caf\u00e9 \U0001F600 CR\u00c8ME \U0001F44Dmm and more"_s},
        {"Qt",
         QStringLiteral(TIDYWORD_PLAIN_FIELD),
         {u"--open"_s, word},
         word,
         u"Caf\u00e9 \U0001F600 CR\u00c8ME \U0001F44D\u00e8me and more"_s},
    };
    for (const auto& editor : editors) {
        SCOPED_TRACE(editor.name);
        QFile draft(file);
        ASSERT_TRUE(draft.open(QIODevice::WriteOnly | QIODevice::Truncate));
        draft.write(editor.draft.toUtf8());
        draft.close();
        test::DesktopApplications applications(*workspace);
        const qint32 pid = applications.startInFront(editor.program, editor.arguments);
        const auto focusedValue = [&] {
            const auto field = accessibility->elementAttribute(
                accessibility->applicationElement(pid), Attribute::focusedElement);
            return field ? accessibility->stringAttribute(*field, Attribute::value) : std::nullopt;
        };
        test::pollUntil([&] { return focusedValue() == editor.draft; }, 20ms,
                        test::kDesktopPatience);
        ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+Home"_s, u"Right"_s, u"Right"_s,
                                                   u"Right"_s, u"Right"_s, u"Right"_s, u"Right"_s,
                                                   u"Right"_s, u"shift+Right"_s, u"shift+Right"_s}),
                  0);
        ASSERT_TRUE(clipboard->setString(u"the user's own words"_s));
        const qint64 changeCount = clipboard->changeCount();

        const TextSelection selection = test::runToCompletion(bridge.captureSelection());
        ASSERT_EQ(selection.range, (TextRange{8, 2}));
        test::runToCompletion(bridge.replace(selection, kReplacement));

        EXPECT_EQ(focusedValue(), editor.edited);
        EXPECT_EQ(clipboard->changeCount(), changeCount);
        EXPECT_EQ(clipboard->string(), u"the user's own words"_s);
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
