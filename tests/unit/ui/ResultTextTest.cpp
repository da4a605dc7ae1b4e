// The result panel's text, read back as the runs a reader sees: text, colour and decoration.
#include "support/Printers.h"
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

const QString kArrow = QString::fromUtf16(kReplacementArrow);

// Runs as a table writes them: "=plain|-removed|+added|>" (">" is the arrow), one after another.
QList<Run> written(const QString& runs) {
    QList<Run> parsed;
    for (const QString& run : runs.split(u'|', Qt::SkipEmptyParts)) {
        const Look look = run[0] == u'-'   ? Look::removed
                          : run[0] == u'+' ? Look::added
                          : run[0] == u'>' ? Look::arrow
                                           : Look::plain;
        parsed.append({look == Look::arrow ? kArrow : run.mid(1), look});
    }
    return parsed;
}

struct Rendering {
    const char* name;
    QString original;
    QString suggestion;
    PreviewDisplay display;
    QString runs;
    QString description;

    friend void PrintTo(const Rendering& row, std::ostream* out) { *out << row.name; }
};

class ResultTextTest : public ::testing::TestWithParam<Rendering> {};

TEST_P(ResultTextTest, Renders) {
    const Rendering& rendering = GetParam();
    EXPECT_EQ(runsOf(resultHtml(rendering.original, rendering.suggestion, rendering.display)),
              written(rendering.runs));
    EXPECT_EQ(resultDescription(rendering.original, rendering.suggestion, rendering.display),
              rendering.description);
}

constexpr auto changes = PreviewDisplay::changes;

const Rendering kRenderings[] = {
    {"ReplacedWord", u"The cat sat."_s, u"The dog sat."_s, changes, u"=The |-cat|>|+dog|= sat."_s,
     u"Removed “cat”, added “dog”."_s},
    // An addition after unchanged text has no arrow; a removal at the end nothing after it.
    {"AddedAfterUnchanged", u"The cat."_s, u"The black cat."_s, changes, u"=The |+black |=cat."_s,
     u"Added “black”."_s},
    {"RemovedAtTheEnd", u"Stop now please"_s, u"Stop now"_s, changes, u"=Stop now|- please"_s,
     u"Removed “please”."_s},
    {"NothingAtAll", u""_s, u""_s, changes, {}, {}},
    {"SeveralChangesInOrder", u"i has two cat"_s, u"I have two cats"_s, changes,
     u"-i|>|+I|= |-has|>|+have|= two |-cat|>|+cats"_s,
     u"Removed “i”, added “I”; removed “has”, added “have”; removed “cat”, added “cats”."_s},
    // Drafts are text, never markup; line breaks stay line breaks.
    {"OriginalIsPlainText",
     u"<b>bold</b> & more\nnext"_s,
     u"ignored"_s,
     PreviewDisplay::original,
     u"=<b>bold</b> & more|=\n|=next"_s,
     {}},
    {"ImprovedIsPlainText",
     u"ignored"_s,
     u"Better <i>words</i>."_s,
     PreviewDisplay::improved,
     u"=Better <i>words</i>."_s,
     {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ResultTextTest, ::testing::ValuesIn(kRenderings), test::rowName);

}  // namespace
}  // namespace tidyword::ui
