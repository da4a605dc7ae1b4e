// How long the popup waits for its "Changes" display: the word diff of a full-size draft with
// scattered edits, and of the largest middle that still runs the token-level comparison.
#include "diff/TextDiff.h"

#include <QStringList>

#include <benchmark/benchmark.h>

#include <random>

namespace {

using tidyword::TextDiff::segments;

// About `scalars` scalars of prose: words of 2 to 9 letters, spaces, some punctuation.
QStringList proseWords(std::mt19937& random, int scalars) {
    QStringList words;
    std::uniform_int_distribution<int> length(2, 9);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> punctuation(0, 11);
    int total = 0;
    while (total < scalars) {
        QString word;
        for (int count = length(random); count > 0; --count) {
            word += QChar(letter(random));
        }
        if (punctuation(random) == 0) {
            word += u',';
        }
        total += static_cast<int>(word.size()) + 1;
        words << word;
    }
    return words;
}

void scatteredEdits(benchmark::State& state) {
    std::mt19937 random(42);
    const QStringList words = proseWords(random, static_cast<int>(state.range(0)));
    QStringList edited = words;
    // One edit every 40 words or so, spread over the whole draft.
    std::uniform_int_distribution<int> position(0, static_cast<int>(edited.size()) - 1);
    for (int edit = 0; edit < static_cast<int>(words.size()) / 40; ++edit) {
        edited[position(random)] = QStringLiteral("rewritten");
    }
    const QString original = words.join(u' ');
    const QString replacement = edited.join(u' ');
    qsizetype runs = 0;
    for (auto _ : state) {
        runs = segments(original, replacement).size();
        benchmark::DoNotOptimize(runs);
    }
    // A full-size draft edited from end to end exceeds the table and comes out as 4 runs.
    state.counters["runs"] = static_cast<double>(runs);
}
BENCHMARK(scatteredEdits)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

// 511 tokens against 511 tokens in the middle: 512 x 512 = 262,144 cells, the largest table.
void largestTable(benchmark::State& state) {
    QString a = QStringLiteral("Start ");
    QString b = a;
    for (int index = 0; index < 256; ++index) {
        a += QStringLiteral("a%1").arg(index) + (index < 255 ? QStringLiteral(" ") : QString());
        b += QStringLiteral("b%1").arg(index) + (index < 255 ? QStringLiteral(" ") : QString());
    }
    a += QStringLiteral("!end");
    b += QStringLiteral("!end");
    for (auto _ : state) {
        benchmark::DoNotOptimize(segments(a, b));
    }
}
BENCHMARK(largestTable)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
