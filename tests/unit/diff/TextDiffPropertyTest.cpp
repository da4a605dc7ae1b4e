#include "unit/diff/DiffTestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;

// Building blocks for generated drafts: words in several scripts, digits, whitespace of every
// kind, punctuation, combining sequences, emoji sequences and flags.
const QStringList kPieces{
    u"word"_s,
    u"Word"_s,
    u"слово"_s,
    u"漢字"_s,
    u"مرحبا"_s,
    u"123"_s,
    u"\u0663\u0664"_s,
    u"_"_s,
    u"a_b"_s,
    u" "_s,
    u"  "_s,
    u"\t"_s,
    u"\n"_s,
    u"\r\n"_s,
    u"\r"_s,
    u"\u00A0"_s,
    u"\u2028"_s,
    u"."_s,
    u","_s,
    u"'"_s,
    u"\u2019"_s,
    u"!"_s,
    u"\u2014"_s,
    u"\u2026"_s,
    u"e\u0301"_s,
    u"n\u0303o"_s,
    u"\u00E9"_s,
    u"\u0301"_s,
    u"\U0001F44D"_s,
    u"\U0001F44D\U0001F3FD"_s,
    u"\U0001F468\u200D\U0001F469\u200D\U0001F467"_s,
    u"\U0001F1E9\U0001F1EA"_s,
};

class DraftGenerator {
public:
    explicit DraftGenerator(unsigned seed) : random_(seed) {}

    QStringList draft(int maxPieces) {
        QStringList pieces;
        for (int count = below(maxPieces + 1); count > 0; --count) {
            pieces << piece();
        }
        return pieces;
    }

    // A few local edits, as a rewrite usually makes.
    QStringList edited(QStringList pieces) {
        for (int edits = below(6); edits > 0; --edits) {
            const int at = below(static_cast<int>(pieces.size()) + 1);
            switch (below(3)) {
                case 0:
                    pieces.insert(at, piece());
                    break;
                case 1:
                    if (at < pieces.size()) {
                        pieces.removeAt(at);
                    }
                    break;
                default:
                    if (at < pieces.size()) {
                        pieces[at] = piece();
                    }
                    break;
            }
        }
        return pieces;
    }

    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

private:
    QString piece() { return kPieces[below(static_cast<int>(kPieces.size()))]; }

    std::mt19937 random_;
};

QString rebuild(const QList<DiffSegment>& segments, DiffKind omitted) {
    QString text;
    for (const auto& segment : segments) {
        if (segment.kind != omitted) {
            text += segment.text;
        }
    }
    return text;
}

void expectWellFormed(const QString& original, const QString& replacement) {
    const auto segments = TextDiff::segments(original, replacement);
    ASSERT_EQ(rebuild(segments, DiffKind::added), original);
    ASSERT_EQ(rebuild(segments, DiffKind::removed), replacement);
    for (int index = 0; index < segments.size(); ++index) {
        ASSERT_EQ(segments[index].id, index);
        ASSERT_FALSE(segments[index].text.isEmpty()) << "segment " << index;
        if (index > 0) {
            ASSERT_NE(segments[index].kind, segments[index - 1].kind) << "segment " << index;
        }
    }
}

TEST(TextDiffPropertyTest, RunsRebuildBothTextsForEditedDrafts) {
    DraftGenerator generate(20261206);
    for (int round = 0; round < 3000; ++round) {
        const QStringList original = generate.draft(40);
        const QStringList replacement =
            generate.below(5) == 0 ? generate.draft(40) : generate.edited(original);
        SCOPED_TRACE(original.join(QString()).toStdString() + " => " +
                     replacement.join(QString()).toStdString());
        expectWellFormed(original.join(QString()), replacement.join(QString()));
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST(TextDiffPropertyTest, RunsRebuildBothTextsBeyondTheTableLimit) {
    DraftGenerator generate(7);
    for (int round = 0; round < 20; ++round) {
        const QString original = generate.draft(900).join(QString());
        const QString replacement = generate.draft(900).join(QString());
        expectWellFormed(original, replacement);
        if (HasFatalFailure()) {
            return;
        }
    }
}

}  // namespace
}  // namespace tidyword
