// The stand-in's rewrites read as a plausible example of each mode on ordinary sentences.
#include "Rewrites.h"

#include <gtest/gtest.h>

namespace tidyword::standin {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(RewritesTest, EachModeGivesAPlausibleExample) {
    const struct {
        QString mode;
        QString text;
        QString expected;
    } cases[] = {
        {u"Grammar"_s, u"he dont have a idea wich option they was choosing. its a wierd week"_s,
         u"He doesn't have an idea which option they were choosing. It's a weird week."_s},
        {u"Grammar"_s, u"i definately think teh results was good, and the news is good"_s,
         u"I definitely think the results were good, and the news is good."_s},
        {u"Grammar"_s, u"The cat sat."_s, u"The cat sat."_s},
        {u"Clearer"_s,
         u"due to the fact that the build is slow, we need to make a decision prior to friday"_s,
         u"Because the build is slow, we need to decide before Friday."_s},
        {u"Shorter"_s, u"I really think that the new design is basically ready to ship"_s,
         u"The new design is ready to ship."_s},
        {u"Professional"_s, u"hey guys, thanks for the stuff. i'll get back to you asap"_s,
         u"Hello everyone, thank you for the material. I will follow up with you as soon as "
         "possible."_s},
        {u"Casual"_s,
         u"Dear Anna, thank you. I am not able to attend; however, I will send the notes."_s,
         u"Hi Anna, thanks. I can't attend, but I'll send the notes."_s},
    };
    for (const auto& example : cases) {
        EXPECT_EQ(rewrite(example.text, example.mode, {}), example.expected)
            << example.text.toStdString();
    }
}

TEST(RewritesTest, APromptIsStructuredAndCustomEchoesTheInstruction) {
    const QString prompt = rewrite(u"write a summary of our sales"_s, u"Prompt"_s, {});
    EXPECT_TRUE(
        prompt.startsWith(u"You are an experienced assistant.\n\n"
                          "Task: Write a summary of our sales.\n\nRequirements:\n- "_s));
    EXPECT_TRUE(prompt.contains(u"\n\nFormat: "_s));
    EXPECT_EQ(rewrite(u"the meeting moved to thursday"_s, u"Custom"_s, u" add the time "_s),
              u"The meeting moved to Thursday. (as asked: \u201Cadd the time\u201D)"_s);
}

}  // namespace
}  // namespace tidyword::standin
