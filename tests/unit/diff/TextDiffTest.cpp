#include "unit/diff/DiffTestSupport.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
constexpr DiffKind same = DiffKind::unchanged;
constexpr DiffKind added = DiffKind::added;
constexpr DiffKind removed = DiffKind::removed;

struct DiffCase {
    const char* name;
    QString original;
    QString replacement;
    QList<DiffSegment> expected;

    friend void PrintTo(const DiffCase& row, std::ostream* out) { *out << row.name; }
};

class TextDiffExampleTest : public ::testing::TestWithParam<DiffCase> {};

TEST_P(TextDiffExampleTest, GivesTheExpectedRuns) {
    EXPECT_EQ(TextDiff::segments(GetParam().original, GetParam().replacement), GetParam().expected);
}

const DiffCase kExamples[] = {

    {"BothEmpty", "", "", {}},
    {"Equal", "Same text.", "Same text.", numbered({{"Same text.", same}})},
    {"EmptyOriginal", "", "New text", numbered({{"New text", added}})},
    {"EmptyReplacement", "Old text", "", numbered({{"Old text", removed}})},
    {"ReplacedWord", "The cat sat.", "The dog sat.",
     numbered({{"The ", same}, {"cat", removed}, {"dog", added}, {" sat.", same}})},
    {"WhitespaceRun", "a  b", "a b",
     numbered({{"a", same}, {"  ", removed}, {" ", added}, {"b", same}})},
    {"DroppedComma", "Hello, world", "Hello world",
     numbered({{"Hello", same}, {",", removed}, {" world", same}})},
    {"LetterCase", "hello", "Hello", numbered({{"hello", removed}, {"Hello", added}})},
    // Each punctuation character is a token of its own.
    {"Ellipsis", "Wait...", "Wait..", numbered({{"Wait..", same}, {".", removed}})},
    {"Apostrophe", "don't", u"don\u2019t"_s,
     numbered({{"don", same}, {"'", removed}, {u"\u2019"_s, added}, {"t", same}})},
    {"UnderscoreAndDigitsJoinWords", "hello_world2 x", "hello_world3 x",
     numbered({{"hello_world2", removed}, {"hello_world3", added}, {" x", same}})},
    {"OtherScriptDigitsAreWordCharacters", u"x\u0663 y"_s, u"x\u0664 y"_s,
     numbered({{u"x\u0663"_s, removed}, {u"x\u0664"_s, added}, {" y", same}})},
    // Swapped tokens: on a tie the original's token goes first.
    {"TieRemovesBeforeAdding", "a b", "b a",
     numbered({{"a ", removed}, {"b", same}, {" a", added}})},
    // A combining accent belongs to its letter, so the whole word differs.
    {"CombiningMarkStaysWithItsLetter", u"cafe\u0301 ok"_s, "cafe ok",
     numbered({{u"cafe\u0301"_s, removed}, {"cafe", added}, {" ok", same}})},
    {"NoNormalisation", u"caf\u00E9"_s, u"cafe\u0301"_s,
     numbered({{u"caf\u00E9"_s, removed}, {u"cafe\u0301"_s, added}})},
    {"EmojiSequenceIsOneToken", u"\U0001F44D\U0001F3FD ok"_s, u"\U0001F44D ok"_s,
     numbered({{u"\U0001F44D\U0001F3FD"_s, removed}, {u"\U0001F44D"_s, added}, {" ok", same}})},
    // Two edits apart: what lies between them is found again, not replaced.
    {"TwoEditsApart", "a b c", "x b y",
     numbered({{"a", removed}, {"x", added}, {" b ", same}, {"c", removed}, {"y", added}})},
    {"CarriageReturnLineFeedIsWhitespace", "a\r\nb", "a\nb",
     numbered({{"a", same}, {"\r\n", removed}, {"\n", added}, {"b", same}})},
};

INSTANTIATE_TEST_SUITE_P(Examples, TextDiffExampleTest, ::testing::ValuesIn(kExamples),
                         test::rowName);

// A middle of `count` tokens that shares only its "-" separators with the other side's middle:
// side-unique words at even positions, "-" at odd ones, and a side-unique mark at the end when
// `count` is even, so that the two middles neither start nor end alike.
QString middle(QChar side, int count) {
    QStringList tokens;
    for (int index = 0; index < count; ++index) {
        tokens << (index % 2 == 1 ? u"-"_s : side + QString::number(index));
    }
    if (count % 2 == 0) {
        tokens.back() = side == u'a' ? u"!"_s : u"?"_s;
    }
    return tokens.join(QString());
}

struct TableLimitCase {
    const char* name;
    int originalTokens;
    int replacementTokens;
    bool compared;  // token by token, rather than one removal and one addition

    friend void PrintTo(const TableLimitCase& row, std::ostream* out) { *out << row.name; }
};

class TextDiffTableLimitTest : public ::testing::TestWithParam<TableLimitCase> {};

TEST_P(TextDiffTableLimitTest, ComparesTokenByTokenOnlyWithinTheCellLimit) {
    const auto [name, la, lb, compared] = GetParam();
    const QString a = middle(u'a', la);
    const QString b = middle(u'b', lb);
    const auto segments = TextDiff::segments("START|" + a + "|END", "START|" + b + "|END");

    if (compared) {
        // The shared separators come out unchanged between the edits.
        EXPECT_GT(segments.size(), 4);
    } else {
        EXPECT_EQ(segments, numbered({{"START|", same}, {a, removed}, {b, added}, {"|END", same}}));
    }
}

const TableLimitCase kTableLimits[] = {
    {"Cells512x512", 511, 511, true},  {"OneRowTooMany", 511, 512, false},
    {"Cells601x601", 600, 600, false}, {"Cells4x65536", 3, 65535, true},
    {"Cells4x65537", 3, 65536, false},
};
INSTANTIATE_TEST_SUITE_P(Boundaries, TextDiffTableLimitTest, ::testing::ValuesIn(kTableLimits),
                         test::rowName);

}  // namespace
}  // namespace tidyword
