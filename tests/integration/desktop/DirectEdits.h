// Replacement by a direct edit over AT-SPI into real applications of both toolkits, the route of
// sessions without a paste, with an emoji before the selection and in the replacement: the cases
// every desktop runs, each with its own workspace and its own way of making the selection.
#pragma once

#include "integration/desktop/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiTextEditing.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "textbridge/TextBridge.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace tidyword::test {

struct DirectEditCase {
    const char* name;
    QString program;
    QStringList arguments;
    QString draft;
    QString edited;
    // The toolkit's own count of text offsets: code points (GTK), else UTF-16 units (Qt).
    bool countsCodePoints;
};

// Each selection is the two characters on screen after the first seven, an emoji among them:
// in UTF-16 units, the two after the first eight.
inline constexpr int kCharactersBeforeSelection = 7;
inline constexpr int kCharactersSelected = 2;
inline constexpr platform::TextRange kSelectedUtf16{8, 2};

// Selects in the application `pid`, whose focused field holds the case's draft.
using SelectInField = std::function<void(const DirectEditCase& editor, qint32 pid)>;

// Runs every case through the text bridge as a session without a paste wires it: the draft is
// opened, selected by `select`, captured, replaced, and read back. `clipboard`, where the desktop
// lets this process write its clipboard, is checked to be left as the user had it.
inline void expectDirectEditsInPlace(platform::Accessibility& accessibility,
                                     platform::Workspace& workspace,
                                     platform::Pasteboard& pasteboard, platform::KeyEvents& keys,
                                     platform::Pasteboard* clipboard, const SelectInField& select) {
    using namespace Qt::Literals::StringLiterals;
    using Attribute = platform::Accessibility::Attribute;
    platform::linux_desktop::AtspiTextEditing editing;
    platform::SystemClock clock;
    TextBridge bridge{{accessibility, workspace, pasteboard, keys, clock, &editing}};
    QTemporaryDir directory;
    const QString file = directory.filePath(u"draft.txt"_s);
    // GTK counts "😀" as one offset and Qt as two; "é" is two bytes of UTF-8 and "👍" four.
    const QString replacement = u"CR\u00c8ME \U0001F44D"_s;

    // The start of a run of one letter: a range read in UTF-16 units in GTK finds the selected
    // text too, one place further.
    const QString run = u"Caf\u00e9 \U0001F600 mmmm and more"_s;
    const QString word = u"Caf\u00e9 \U0001F600 cr\u00e8me and more"_s;
    const DirectEditCase editors[] = {
        {"GTK",
         u"mousepad"_s,
         {file},
         run,
         u"Caf\u00e9 \U0001F600 CR\u00c8ME \U0001F44Dmm and more"_s,
         true},
        {"Qt",
         QStringLiteral(TIDYWORD_PLAIN_FIELD),
         {u"--open"_s, word},
         word,
         u"Caf\u00e9 \U0001F600 CR\u00c8ME \U0001F44D\u00e8me and more"_s,
         false},
    };
    for (const auto& editor : editors) {
        SCOPED_TRACE(editor.name);
        QFile draft(file);
        ASSERT_TRUE(draft.open(QIODevice::WriteOnly | QIODevice::Truncate));
        draft.write(editor.draft.toUtf8());
        draft.close();
        DesktopApplications applications(workspace);
        const qint32 pid = applications.startInFront(editor.program, editor.arguments);
        const auto focusedValue = [&] {
            const auto field = accessibility.elementAttribute(accessibility.applicationElement(pid),
                                                              Attribute::focusedElement);
            return field ? accessibility.stringAttribute(*field, Attribute::value) : std::nullopt;
        };
        pollUntil([&] { return focusedValue() == editor.draft; }, std::chrono::milliseconds(20),
                  kDesktopPatience);
        select(editor, pid);
        qint64 changeCount = 0;
        if (clipboard) {
            ASSERT_TRUE(clipboard->setString(u"the user's own words"_s));
            changeCount = clipboard->changeCount();
        }

        const TextSelection selection = runToCompletion(bridge.captureSelection());
        ASSERT_EQ(selection.range, kSelectedUtf16);
        runToCompletion(bridge.replace(selection, replacement));

        EXPECT_EQ(focusedValue(), editor.edited);
        if (clipboard) {
            EXPECT_EQ(clipboard->changeCount(), changeCount);
            EXPECT_EQ(clipboard->string(), u"the user's own words"_s);
        }
    }
}

}  // namespace tidyword::test
