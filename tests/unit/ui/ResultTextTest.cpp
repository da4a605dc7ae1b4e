// The result panel's text, read back as the runs a reader sees: text, colour and decoration.
#include "ui/ResultText.h"
#include "ui/Style.h"

#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace tidyword::ui {
namespace {

using namespace Qt::Literals::StringLiterals;

enum class Look { plain, removed, added, arrow };

struct Run {
    QString text;
    Look look;
    friend bool operator==(const Run&, const Run&) = default;
};

void PrintTo(const Run& run, std::ostream* out) {
    *out << '"' << run.text.toStdString() << "\"/" << static_cast<int>(run.look);
}

// Rich text keeps colours to eight bits a channel.
bool sameColour(const QColor& lhs, const QColor& rhs) {
    return lhs.rgb() == rhs.rgb() && std::abs(lhs.alpha() - rhs.alpha()) <= 1;
}

Look lookOf(const QTextCharFormat& format) {
    const QColor color = format.foreground().color();
    if (format.fontStrikeOut()) {
        EXPECT_TRUE(sameColour(color, removedText()));
        return Look::removed;
    }
    if (format.fontUnderline()) {
        EXPECT_TRUE(sameColour(color, addedText()));
        // Without a colour of its own the line is drawn in the run's.
        EXPECT_FALSE(format.underlineColor().isValid() &&
                     !sameColour(format.underlineColor(), addedText()));
        return Look::added;
    }
    if (format.hasProperty(QTextFormat::ForegroundBrush) &&
        sameColour(color, toneColor(Tone::secondary))) {
        return Look::arrow;
    }
    return Look::plain;
}

QList<Run> runsOf(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    QList<Run> runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            runs.append({u"\n"_s, Look::plain});
        }
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            runs.append({fragment.fragment().text(), lookOf(fragment.fragment().charFormat())});
        }
    }
    return runs;
}

struct Rendering {
    const char* name;
    QString original;
    QString suggestion;
    PreviewDisplay display;
    QList<Run> runs;
    QString description;
};

class ResultTextTest : public ::testing::TestWithParam<Rendering> {};

TEST_P(ResultTextTest, Renders) {
    const Rendering& rendering = GetParam();
    EXPECT_EQ(runsOf(resultHtml(rendering.original, rendering.suggestion, rendering.display)),
              rendering.runs);
    EXPECT_EQ(resultDescription(rendering.original, rendering.suggestion, rendering.display),
              rendering.description);
}

const QString kArrow = QString::fromUtf16(kReplacementArrow);

INSTANTIATE_TEST_SUITE_P(
    Cases, ResultTextTest,
    ::testing::Values(
        Rendering{"ReplacedWord",
                  u"The cat sat."_s,
                  u"The dog sat."_s,
                  PreviewDisplay::changes,
                  {{u"The "_s, Look::plain},
                   {u"cat"_s, Look::removed},
                   {kArrow, Look::arrow},
                   {u"dog"_s, Look::added},
                   {u" sat."_s, Look::plain}},
                  u"Removed “cat”, added “dog”."_s},
        // An addition after unchanged text has no arrow; a removal at the end nothing after it.
        Rendering{"AddedAfterUnchanged",
                  u"The cat."_s,
                  u"The black cat."_s,
                  PreviewDisplay::changes,
                  {{u"The "_s, Look::plain}, {u"black "_s, Look::added}, {u"cat."_s, Look::plain}},
                  u"Added “black”."_s},
        Rendering{"RemovedAtTheEnd",
                  u"Stop now please"_s,
                  u"Stop now"_s,
                  PreviewDisplay::changes,
                  {{u"Stop now"_s, Look::plain}, {u" please"_s, Look::removed}},
                  u"Removed “please”."_s},
        Rendering{"NothingAtAll", u""_s, u""_s, PreviewDisplay::changes, {}, {}},
        Rendering{"SeveralChangesInOrder",
                  u"i has two cat"_s,
                  u"I have two cats"_s,
                  PreviewDisplay::changes,
                  {{u"i"_s, Look::removed},
                   {kArrow, Look::arrow},
                   {u"I"_s, Look::added},
                   {u" "_s, Look::plain},
                   {u"has"_s, Look::removed},
                   {kArrow, Look::arrow},
                   {u"have"_s, Look::added},
                   {u" two "_s, Look::plain},
                   {u"cat"_s, Look::removed},
                   {kArrow, Look::arrow},
                   {u"cats"_s, Look::added}},
                  u"Removed “i”, added “I”; removed “has”, added “have”; removed “cat”, added "
                  u"“cats”."_s},
        // Drafts are text, never markup; line breaks stay line breaks.
        Rendering{"OriginalIsPlainText",
                  u"<b>bold</b> & more\nnext"_s,
                  u"ignored"_s,
                  PreviewDisplay::original,
                  {{u"<b>bold</b> & more"_s, Look::plain},
                   {u"\n"_s, Look::plain},
                   {u"next"_s, Look::plain}},
                  {}},
        Rendering{"ImprovedIsPlainText",
                  u"ignored"_s,
                  u"Better <i>words</i>."_s,
                  PreviewDisplay::improved,
                  {{u"Better <i>words</i>."_s, Look::plain}},
                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tidyword::ui
