#include "model/RequestFingerprint.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

TEST(RequestFingerprintTest, EqualityFollowsCanonicalEquivalence) {
    const QString precomposed = u"Caf\u00E9 au lait"_qs;
    const QString decomposed = u"Cafe\u0301 au lait"_qs;
    const struct {
        const char* name;
        RequestFingerprint lhs;
        RequestFingerprint rhs;
        bool equal;
    } cases[] = {
        {"identical", {"Hello", EditMode::grammar, ""}, {"Hello", EditMode::grammar, ""}, true},
        {"precomposed and decomposed text",
         {precomposed, EditMode::grammar, ""},
         {decomposed, EditMode::grammar, ""},
         true},
        {"precomposed and decomposed instruction",
         {"Hi", EditMode::custom, precomposed},
         {"Hi", EditMode::custom, decomposed},
         true},
        {"empty and space instruction",
         {"Hi", EditMode::custom, ""},
         {"Hi", EditMode::custom, " "},
         false},
        {"other mode", {"Hi", EditMode::grammar, ""}, {"Hi", EditMode::clearer, ""}, false},
        {"letter case", {"hello", EditMode::grammar, ""}, {"Hello", EditMode::grammar, ""}, false},
        {"trailing space", {"Hi", EditMode::grammar, ""}, {"Hi ", EditMode::grammar, ""}, false},
        // Compatibility equivalents are different text: only canonical equivalence counts.
        {"ligature",
         {u"\uFB01ne"_qs, EditMode::grammar, ""},
         {"fine", EditMode::grammar, ""},
         false},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(test.lhs == test.rhs, test.equal) << test.name;
        EXPECT_EQ(test.rhs == test.lhs, test.equal) << test.name;
    }
}

}  // namespace
}  // namespace tidyword
