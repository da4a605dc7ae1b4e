#include "unit/diff/DiffTestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;

// Building blocks for generated drafts: words in several scripts, digits, whitespace of every
// kind, punctuation, combining sequences, emoji sequences and flags (one piece between each two
// bars).
const QStringList kPieces =
    QString(
        u"word|Word|слово|漢字|مرحبا|123|\u0663\u0664|_|a_b| |  |\t|\n|\r\n|\r|"
        u"\u00A0|\u2028|.|,|'|\u2019|!|\u2014|\u2026|e\u0301|n\u0303o|\u00E9|"
        u"\u0301|\U0001F44D|\U0001F44D\U0001F3FD|"
        u"\U0001F468\u200D\U0001F469\u200D\U0001F467|\U0001F1E9\U0001F1EA"_s)
        .split(u'|');

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

// Drafts with a few local edits, as a rewrite usually makes, and now and then a wholly new text;
// then long drafts, beyond the size where tokens are compared one by one.
TEST(TextDiffPropertyTest, RunsRebuildBothTextsAndAlternate) {
    for (const auto& [seed, rounds, pieces, rewritten] :
         {std::tuple{20261206u, 3000, 40, 5}, std::tuple{7u, 20, 900, 1}}) {
        DraftGenerator generate(seed);
        for (int round = 0; round < rounds; ++round) {
            const QStringList original = generate.draft(pieces);
            const QStringList replacement =
                generate.below(rewritten) == 0 ? generate.draft(pieces) : generate.edited(original);
            SCOPED_TRACE(original.join(QString()).toStdString() + " => " +
                         replacement.join(QString()).toStdString());
            expectWellFormed(original.join(QString()), replacement.join(QString()));
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

}  // namespace
}  // namespace tidyword
