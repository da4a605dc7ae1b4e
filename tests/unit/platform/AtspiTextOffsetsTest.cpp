// The conversions between AT-SPI's text offsets and the seam's UTF-16 ranges, and the role
// names the text bridge compares.
#include "platform/linux/AtspiAccessibility.h"

#include <atspi/atspi.h>
#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

// "é" is one unit, "😀" two (a surrogate pair), "e\u0301" two code points drawn as one.
const QString kText = u"Caf\u00e9 \U0001F600 cre\u0301me"_s;

TEST(AtspiTextOffsetsTest, CodePointsAndUtf16UnitsConvertBothWays) {
    struct Case {
        qint64 codePoints;
        qint64 units;
    };
    for (const Case& offset :
         {Case{0, 0}, Case{4, 4}, Case{5, 5}, Case{6, 7}, Case{7, 8}, Case{10, 11}, Case{13, 14}}) {
        EXPECT_EQ(utf16Offset(kText, offset.codePoints), offset.units) << offset.codePoints;
        EXPECT_EQ(codePointOffset(kText, offset.units), offset.codePoints) << offset.units;
    }
    EXPECT_EQ(codePointOffset(kText, 6), -1);  // between the halves of the pair
    EXPECT_EQ(utf16Offset(kText, 14), -1);     // past the end
    EXPECT_EQ(codePointOffset(kText, 15), -1);
    EXPECT_EQ(utf16Offset(kText, -1), -1);
    EXPECT_EQ(codePointOffset(kText, -1), -1);
}

TEST(AtspiTextOffsetsTest, ASelectionIsTrustedOnlyWhereItsTextIsFound) {
    struct Case {
        const char* name;
        qint64 start;
        qint64 end;
        QString selected;
        bool countsCodePoints;
        std::optional<TextRange> range;
    };
    const QList<Case> cases{
        // GTK: code points after the emoji are one less than UTF-16 units.
        {"GtkAfterTheEmoji", 7, 13, u"cre\u0301me"_s, true, TextRange{8, 6}},
        // Qt: already UTF-16.
        {"QtAfterTheEmoji", 8, 14, u"cre\u0301me"_s, false, TextRange{8, 6}},
        // A toolkit that says Qt but counts code points is caught by the cross-check.
        {"WrongGuessCorrected", 7, 13, u"cre\u0301me"_s, false, TextRange{8, 6}},
        {"TheEmojiItself", 5, 6, u"\U0001F600"_s, true, TextRange{5, 2}},
        {"Caret", 3, 3, u""_s, true, TextRange{3, 0}},
        // Offsets that fit neither reading are not a selection.
        {"TextElsewhere", 0, 4, u"cre\u0301"_s, true, std::nullopt},
        {"PastTheEnd", 10, 40, u"me"_s, true, std::nullopt},
    };
    for (const Case& selection : cases) {
        EXPECT_EQ(selectionInUtf16(kText, selection.start, selection.end, selection.selected,
                                   selection.countsCodePoints),
                  selection.range)
            << selection.name;
    }
}

TEST(AtspiRoleNameTest, TextControlsMapAndEverythingElseStaysOutside) {
    struct Case {
        AtspiRole role;
        bool singleLine;
        const char16_t* name;
    };
    for (const Case& role :
         {Case{ATSPI_ROLE_ENTRY, true, u"AXTextField"},
          Case{ATSPI_ROLE_PASSWORD_TEXT, true, u"AXTextField"},
          Case{ATSPI_ROLE_TEXT, true, u"AXTextField"}, Case{ATSPI_ROLE_TEXT, false, u"AXTextArea"},
          Case{ATSPI_ROLE_PARAGRAPH, false, u"AXTextArea"},
          Case{ATSPI_ROLE_DOCUMENT_TEXT, false, u"AXTextArea"},
          Case{ATSPI_ROLE_COMBO_BOX, false, u"AXComboBox"},
          Case{ATSPI_ROLE_LABEL, false, u"AXStaticText"}}) {
        EXPECT_EQ(roleName(role.role, role.singleLine), QString::fromUtf16(role.name)) << role.role;
    }
    // A terminal is no text control of ours: no copy chord ever goes into one.
    for (const AtspiRole other : {ATSPI_ROLE_TERMINAL, ATSPI_ROLE_PUSH_BUTTON, ATSPI_ROLE_FRAME}) {
        EXPECT_FALSE(roleName(other, false).startsWith(u"AX"_s)) << other;
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
