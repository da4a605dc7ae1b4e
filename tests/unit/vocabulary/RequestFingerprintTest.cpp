#include "model/RequestFingerprint.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

RequestFingerprint print(const QString& text, EditMode mode = EditMode::grammar,
                         const QString& instruction = {}) {
    return {text, mode, instruction};
}

TEST(RequestFingerprintTest, EqualityFollowsCanonicalEquivalence) {
    const QString precomposed = u"Caf\u00E9 au lait"_qs;
    const QString decomposed = u"Cafe\u0301 au lait"_qs;
    constexpr auto custom = EditMode::custom;
    const struct {
        const char* name;
        RequestFingerprint lhs;
        RequestFingerprint rhs;
        bool equal;
    } cases[] = {
        {"identical", print("Hello"), print("Hello"), true},
        {"precomposed and decomposed text", print(precomposed), print(decomposed), true},
        {"precomposed and decomposed instruction", print("Hi", custom, precomposed),
         print("Hi", custom, decomposed), true},
        {"empty and space instruction", print("Hi", custom, ""), print("Hi", custom, " "), false},
        {"other mode", print("Hi"), print("Hi", EditMode::clearer), false},
        {"letter case", print("hello"), print("Hello"), false},
        {"trailing space", print("Hi"), print("Hi "), false},
        // Compatibility equivalents are different text: only canonical equivalence counts.
        {"ligature", print(u"\uFB01ne"_qs), print("fine"), false},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(test.lhs == test.rhs, test.equal) << test.name;
        EXPECT_EQ(test.rhs == test.lhs, test.equal) << test.name;
    }
}

}  // namespace
}  // namespace tidyword
