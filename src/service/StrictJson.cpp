#include "service/StrictJson.h"

#include <QStringDecoder>

#include <utility>

namespace tidyword {

namespace {

class StringObjectReader {
public:
    explicit StringObjectReader(QStringView text) : text_(text) {}

    std::optional<QMap<QString, QString>> read() {
        QMap<QString, QString> members;
        skipWhitespace();
        if (!take(u'{')) {
            return std::nullopt;
        }
        skipWhitespace();
        if (!take(u'}')) {
            do {
                skipWhitespace();
                auto key = string();
                skipWhitespace();
                if (!key || !take(u':')) {
                    return std::nullopt;
                }
                skipWhitespace();
                auto value = string();
                if (!value || members.contains(*key)) {
                    return std::nullopt;
                }
                members.insert(*key, *value);
                skipWhitespace();
            } while (take(u','));
            if (!take(u'}')) {
                return std::nullopt;
            }
        }
        skipWhitespace();
        if (position_ != text_.size()) {
            return std::nullopt;
        }
        return members;
    }

private:
    bool atEnd() const { return position_ >= text_.size(); }

    bool take(char16_t expected) {
        if (atEnd() || text_[position_] != expected) {
            return false;
        }
        ++position_;
        return true;
    }

    void skipWhitespace() {
        while (!atEnd() && (text_[position_] == u' ' || text_[position_] == u'\t' ||
                            text_[position_] == u'\n' || text_[position_] == u'\r')) {
            ++position_;
        }
    }

    // What a one-letter escape such as \n stands for.
    static std::optional<char16_t> simpleEscape(char16_t letter) {
        static constexpr std::pair<char16_t, char16_t> kEscapes[] = {
            {u'"', u'"'},  {u'\\', u'\\'}, {u'/', u'/'},  {u'b', u'\b'},
            {u'f', u'\f'}, {u'n', u'\n'},  {u'r', u'\r'}, {u't', u'\t'},
        };
        for (const auto& [escape, meaning] : kEscapes) {
            if (escape == letter) {
                return meaning;
            }
        }
        return std::nullopt;
    }

    static int hexDigit(char16_t character) {
        if (character >= u'0' && character <= u'9') {
            return character - u'0';
        }
        if (character >= u'a' && character <= u'f') {
            return character - u'a' + 10;
        }
        if (character >= u'A' && character <= u'F') {
            return character - u'A' + 10;
        }
        return -1;
    }

    std::optional<char16_t> hexQuad() {
        if (text_.size() - position_ < 4) {
            return std::nullopt;
        }
        int value = 0;
        for (qsizetype index = position_; index < position_ + 4; ++index) {
            const int digit = hexDigit(text_[index].unicode());
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + digit;
        }
        position_ += 4;
        return static_cast<char16_t>(value);
    }

    std::optional<QString> string() {
        if (!take(u'"')) {
            return std::nullopt;
        }
        QString value;
        while (!atEnd()) {
            const QChar character = text_[position_++];
            if (character == u'"') {
                return value;
            }
            if (character.unicode() < 0x20) {
                return std::nullopt;
            }
            if (character != u'\\') {
                value += character;
                continue;
            }
            if (atEnd()) {
                return std::nullopt;
            }
            const char16_t escape = text_[position_++].unicode();
            if (escape == u'u') {
                if (!escapedCodeUnits(value)) {
                    return std::nullopt;
                }
            } else if (const auto simple = simpleEscape(escape)) {
                value += *simple;
            } else {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // A \u escape, or two for a surrogate pair; a surrogate without its partner is an error.
    bool escapedCodeUnits(QString& value) {
        const auto first = hexQuad();
        if (!first) {
            return false;
        }
        if (QChar::isLowSurrogate(*first)) {
            return false;
        }
        if (!QChar::isHighSurrogate(*first)) {
            value += QChar(*first);
            return true;
        }
        if (!take(u'\\') || !take(u'u')) {
            return false;
        }
        const auto second = hexQuad();
        if (!second || !QChar::isLowSurrogate(*second)) {
            return false;
        }
        value += QChar(*first);
        value += QChar(*second);
        return true;
    }

    QStringView text_;
    qsizetype position_ = 0;
};

}  // namespace

std::optional<QMap<QString, QString>> parseStringObject(QByteArrayView json) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(json);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return StringObjectReader(text).read();
}

}  // namespace tidyword
