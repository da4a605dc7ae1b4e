#include "diff/TextDiff.h"

#include "base/Characters.h"

#include <QHash>
#include <QStringView>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidyword::TextDiff {

namespace {

// The longest-common-subsequence table may hold at most this many cells.
constexpr std::int64_t kTableCellLimit = 0x40000;

enum class CharacterClass { whitespace, word, other };

struct Token {
    QStringView text;
    int identity;
};

// Equal identities mean equal text. Keyed by the UTF-16 code units, which for well-formed text
// is the same as keying by UTF-8 bytes, and for ill-formed text (lone surrogates) keeps tokens
// apart that a conversion to UTF-8 would merge.
using Identities = QHash<QStringView, int>;

CharacterClass classify(QStringView character) {
    UChar32 first = 0;
    qsizetype index = 0;
    U16_NEXT(character.utf16(), index, character.size(), first);
    if (u_hasBinaryProperty(first, UCHAR_WHITE_SPACE)) {
        return CharacterClass::whitespace;
    }
    if (u_hasBinaryProperty(first, UCHAR_ALPHABETIC) ||
        u_getIntPropertyValue(first, UCHAR_NUMERIC_TYPE) != U_NT_NONE || character == u"_") {
        return CharacterClass::word;
    }
    return CharacterClass::other;
}

class Tokenizer {
public:
    Tokenizer(QStringView text, Identities& identities) : text_(text), identities_(identities) {}

    std::vector<Token> tokenize() {
        forEachCharacter(text_, [this](QStringView character) { take(character); });
        emitBuffer();
        return std::move(tokens_);
    }

private:
    void take(QStringView character) {
        const qsizetype offset = character.utf16() - text_.utf16();
        const CharacterClass kind = classify(character);
        if (kind == CharacterClass::other) {
            emitBuffer();
            emitToken(character);
            return;
        }
        if (bufferClass_ != kind) {
            emitBuffer();
            bufferStart_ = offset;
            bufferClass_ = kind;
        }
        bufferEnd_ = offset + character.size();
    }

    void emitBuffer() {
        emitToken(text_.sliced(bufferStart_, bufferEnd_ - bufferStart_));
        bufferStart_ = bufferEnd_;
        bufferClass_.reset();
    }

    void emitToken(QStringView text) {
        if (text.isEmpty()) {
            return;
        }
        auto found = identities_.constFind(text);
        if (found == identities_.constEnd()) {
            found = identities_.insert(text, static_cast<int>(identities_.size()));
        }
        tokens_.push_back(Token{text, found.value()});
    }

    QStringView text_;
    Identities& identities_;
    std::vector<Token> tokens_;
    qsizetype bufferStart_ = 0;
    qsizetype bufferEnd_ = 0;
    std::optional<CharacterClass> bufferClass_;
};

// Collects runs: a run of the same kind as the last one extends it; empty text adds nothing.
class RunBuilder {
public:
    void append(QStringView text, DiffKind kind) {
        if (text.isEmpty()) {
            return;
        }
        if (!runs_.isEmpty() && runs_.back().kind == kind) {
            runs_.back().text.append(text);
        } else {
            runs_.append(DiffSegment{static_cast<int>(runs_.size()), text.toString(), kind});
        }
    }

    void append(const std::vector<Token>& tokens, std::size_t from, std::size_t to, DiffKind kind) {
        for (std::size_t index = from; index < to; ++index) {
            append(tokens[index].text, kind);
        }
    }

    QList<DiffSegment> take() { return std::move(runs_); }

private:
    QList<DiffSegment> runs_;
};

// Longest common subsequence of the middles a[p, p + la) and b[p, p + lb), walked so that on a
// tie the original's token is removed before the replacement's is added.
void appendLongestCommonSubsequence(const std::vector<Token>& a, const std::vector<Token>& b,
                                    std::size_t p, std::size_t la, std::size_t lb,
                                    RunBuilder& runs) {
    // Within the cell limit no subsequence is longer than 511 tokens, so 16 bits hold any cell.
    const std::size_t width = lb + 1;
    std::vector<std::uint16_t> table((la + 1) * width, 0);
    const auto cell = [&](std::size_t i, std::size_t j) -> std::uint16_t& {
        return table[i * width + j];
    };
    for (std::size_t i = la; i-- > 0;) {
        for (std::size_t j = lb; j-- > 0;) {
            if (a[p + i].identity == b[p + j].identity) {
                cell(i, j) = static_cast<std::uint16_t>(cell(i + 1, j + 1) + 1);
            } else {
                cell(i, j) = std::max(cell(i + 1, j), cell(i, j + 1));
            }
        }
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < la || j < lb) {
        if (i < la && j < lb && a[p + i].identity == b[p + j].identity) {
            runs.append(a[p + i].text, DiffKind::unchanged);
            ++i;
            ++j;
        } else if (i < la && (j == lb || cell(i + 1, j) >= cell(i, j + 1))) {
            runs.append(a[p + i].text, DiffKind::removed);
            ++i;
        } else {
            runs.append(b[p + j].text, DiffKind::added);
            ++j;
        }
    }
}

}  // namespace

QList<DiffSegment> segments(const QString& original, const QString& replacement) {
    if (original == replacement) {
        if (original.isEmpty()) {
            return {};
        }
        return {DiffSegment{0, original, DiffKind::unchanged}};
    }

    Identities identities;
    const std::vector<Token> a = Tokenizer(original, identities).tokenize();
    const std::vector<Token> b = Tokenizer(replacement, identities).tokenize();
    const std::size_t n = a.size();
    const std::size_t m = b.size();

    std::size_t prefix = 0;
    while (prefix < std::min(n, m) && a[prefix].identity == b[prefix].identity) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < std::min(n, m) - prefix &&
           a[n - 1 - suffix].identity == b[m - 1 - suffix].identity) {
        ++suffix;
    }
    const std::size_t la = n - suffix - prefix;
    const std::size_t lb = m - suffix - prefix;

    RunBuilder runs;
    runs.append(a, 0, prefix, DiffKind::unchanged);
    if (la == 0) {
        runs.append(b, prefix, prefix + lb, DiffKind::added);
    } else if (lb == 0) {
        runs.append(a, prefix, prefix + la, DiffKind::removed);
    } else if (static_cast<std::int64_t>(la + 1) <=
               kTableCellLimit / static_cast<std::int64_t>(lb + 1)) {
        appendLongestCommonSubsequence(a, b, prefix, la, lb, runs);
    } else {
        runs.append(a, prefix, prefix + la, DiffKind::removed);
        runs.append(b, prefix, prefix + lb, DiffKind::added);
    }
    runs.append(a, n - suffix, n, DiffKind::unchanged);
    return runs.take();
}

}  // namespace tidyword::TextDiff
