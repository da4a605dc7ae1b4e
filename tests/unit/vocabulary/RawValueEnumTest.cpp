#include "hotkey/ShortcutPreset.h"
#include "model/PreviewDisplay.h"
#include "service/EditMode.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace tidyword {
namespace {

// Every case, in declaration order, and its raw value round trip.
template <typename Enum>
void expectCasesInOrder(const std::vector<Enum>& expected, const QStringList& raw) {
    const auto& all = allCases<Enum>();
    ASSERT_EQ(std::vector<Enum>(all.begin(), all.end()), expected);
    for (std::size_t index = 0; index < expected.size(); ++index) {
        EXPECT_EQ(rawValue(expected[index]), raw[static_cast<qsizetype>(index)]);
        EXPECT_EQ(fromRawValue<Enum>(raw[static_cast<qsizetype>(index)]), expected[index]);
    }
}

TEST(RawValueEnumTest, EditModesHaveTheirRawValuesAndTitles) {
    const std::vector<EditMode> modes{EditMode::grammar,      EditMode::clearer, EditMode::shorter,
                                      EditMode::professional, EditMode::casual,  EditMode::prompt,
                                      EditMode::custom};
    expectCasesInOrder<EditMode>(
        modes, {"Grammar", "Clearer", "Shorter", "Professional", "Casual", "Prompt", "Custom"});
    // Only the prompt mode has a title of its own.
    EXPECT_EQ(title(EditMode::prompt), u"Make an AI prompt"_qs);
    EXPECT_EQ(title(EditMode::casual), u"Casual"_qs);
}

TEST(RawValueEnumTest, PreviewDisplaysHaveTheirRawValues) {
    expectCasesInOrder<PreviewDisplay>(
        {PreviewDisplay::changes, PreviewDisplay::improved, PreviewDisplay::original},
        {"Changes", "Improved", "Original"});
}

TEST(RawValueEnumTest, ShortcutPresetsHaveTheirKeysAndLabels) {
    const struct {
        ShortcutPreset preset;
        QString raw;
        std::uint16_t keyCode;
        std::uint32_t hotKeyModifiers;
        std::uint64_t inAppFlags;
        QString label;
    } presets[] = {
        {ShortcutPreset::optionShiftD, "optionShiftD", 2, 0xA00, 0xA0000, u"Alt+Shift+D"_qs},
        {ShortcutPreset::optionSpace, "optionSpace", 49, 0x800, 0x80000, u"Alt+Space"_qs},
        {ShortcutPreset::optionShiftSpace, "optionShiftSpace", 49, 0xA00, 0xA0000,
         u"Alt+Shift+Space"_qs},
        {ShortcutPreset::controlOptionSpace, "controlOptionSpace", 49, 0x1800, 0xC0000,
         u"Ctrl+Alt+Space"_qs},
    };
    std::vector<ShortcutPreset> order;
    QStringList raw;
    for (const auto& expected : presets) {
        SCOPED_TRACE(expected.raw.toStdString());
        order.push_back(expected.preset);
        raw.push_back(expected.raw);
        EXPECT_EQ(keyCode(expected.preset), expected.keyCode);
        EXPECT_EQ(hotKeyModifiers(expected.preset), expected.hotKeyModifiers);
        EXPECT_EQ(inAppModifierFlags(expected.preset), expected.inAppFlags);
        EXPECT_EQ(inAppModifierFlags(expected.preset) & ~ShortcutKeys::inAppRelevantFlags, 0u);
        EXPECT_EQ(displayLabel(expected.preset), expected.label);
    }
    expectCasesInOrder<ShortcutPreset>(order, raw);
}

TEST(RawValueEnumTest, OnlyExactRawValuesConstructACase) {
    for (const QString raw :
         {"grammar", "GRAMMAR", "Grammar ", "", "Make an AI prompt", "prompt"}) {
        EXPECT_EQ(fromRawValue<EditMode>(raw), std::nullopt) << raw.toStdString();
    }
    for (const QString raw : {"OptionShiftD", "optionshiftd", "⌥ ⇧ D", ""}) {
        EXPECT_EQ(fromRawValue<ShortcutPreset>(raw), std::nullopt) << raw.toStdString();
    }
    for (const QString raw : {"changes", "Changes\n"}) {
        EXPECT_EQ(fromRawValue<PreviewDisplay>(raw), std::nullopt) << raw.toStdString();
    }
}

}  // namespace
}  // namespace tidyword
