#include "Rewrites.h"

#include <QRegularExpression>

#include <utility>
#include <vector>

namespace tidyword::standin {

namespace {

using namespace Qt::Literals::StringLiterals;
// Whole words only, case-sensitive; compiled once per server thread (a compiled expression is
// not shared between threads).
class Replacements {
public:
    Replacements(std::initializer_list<std::pair<QString, QString>> pairs) {
        for (const auto& [from, to] : pairs) {
            words_.emplace_back(
                QRegularExpression(u"\\b"_s + QRegularExpression::escape(from) + u"\\b"_s), to);
        }
    }

    QString applyTo(QString text) const {
        for (const auto& [word, replacement] : words_) {
            text.replace(word, replacement);
        }
        return text;
    }

private:
    std::vector<std::pair<QRegularExpression, QString>> words_;
};

QString capitalizeFirstLetter(QString text) {
    for (QChar& character : text) {
        if (character.isLetter()) {
            character = character.toUpper();
            break;
        }
    }
    return text;
}

QString endWithFullStop(QString text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty() && trimmed.back().isLetterOrNumber()) {
        text.insert(text.lastIndexOf(trimmed.back()) + 1, u'.');
    }
    return text;
}

QString fixGrammar(const QString& text) {
    static thread_local const Replacements mistakes{
        {u"i"_s, u"I"_s},
        {u"teh"_s, u"the"_s},
        {u"recieve"_s, u"receive"_s},
        {u"dont"_s, u"don't"_s},
        {u"cant"_s, u"can't"_s},
        {u"wont"_s, u"won't"_s},
        {u"alot"_s, u"a lot"_s},
        {u"definately"_s, u"definitely"_s},
        {u"seperate"_s, u"separate"_s},
        {u"occured"_s, u"occurred"_s},
        {u"could of"_s, u"could have"_s},
        {u"should of"_s, u"should have"_s},
        {u"would of"_s, u"would have"_s},
        {u"their is"_s, u"there is"_s},
        {u"there was alot"_s, u"there was a lot"_s},
        {u"its a"_s, u"it's a"_s},
    };
    QString fixed = mistakes.applyTo(text);
    static thread_local const QRegularExpression doubledSpaces(u"  +"_s);
    fixed.replace(doubledSpaces, u" "_s);
    return endWithFullStop(capitalizeFirstLetter(fixed));
}

QString clearer(const QString& text) {
    static thread_local const Replacements wordy{
        {u"in order to"_s, u"to"_s},
        {u"due to the fact that"_s, u"because"_s},
        {u"at this point in time"_s, u"now"_s},
        {u"in the event that"_s, u"if"_s},
        {u"a large number of"_s, u"many"_s},
        {u"with regard to"_s, u"about"_s},
        {u"is able to"_s, u"can"_s},
    };
    return fixGrammar(wordy.applyTo(text));
}

QString shorter(const QString& text) {
    static thread_local const QRegularExpression fillers(
        u"\\b(really|very|just|actually|basically|literally|quite|totally) "_s,
        QRegularExpression::CaseInsensitiveOption);
    QString short_ = text;
    short_.remove(fillers);
    return clearer(short_);
}

QString professional(const QString& text) {
    static thread_local const Replacements casual{
        {u"hey"_s, u"Hello"_s},        {u"Hey"_s, u"Hello"_s},
        {u"hi"_s, u"Hello"_s},         {u"Hi"_s, u"Hello"_s},
        {u"thanks"_s, u"thank you"_s}, {u"Thanks"_s, u"Thank you"_s},
        {u"gonna"_s, u"going to"_s},   {u"wanna"_s, u"want to"_s},
        {u"yeah"_s, u"yes"_s},         {u"ok"_s, u"all right"_s},
        {u"stuff"_s, u"material"_s},   {u"asap"_s, u"as soon as possible"_s},
    };
    return fixGrammar(casual.applyTo(text));
}

QString casual(const QString& text) {
    static thread_local const Replacements formal{
        {u"Hello"_s, u"Hey"_s},      {u"Thank you"_s, u"Thanks"_s}, {u"thank you"_s, u"thanks"_s},
        {u"do not"_s, u"don't"_s},   {u"cannot"_s, u"can't"_s},     {u"will not"_s, u"won't"_s},
        {u"I am"_s, u"I'm"_s},       {u"it is"_s, u"it's"_s},       {u"regards"_s, u"cheers"_s},
        {u"Regards"_s, u"Cheers"_s}, {u"however"_s, u"but"_s},
    };
    return formal.applyTo(fixGrammar(text));
}

QString prompt(const QString& text) {
    return u"You are an expert assistant. Task: "_s + fixGrammar(text.trimmed()) +
           u"\nAnswer clearly and concisely, and ask a question if anything is unclear."_s;
}

// The instruction picks a transformation where it names one; anything else is followed to the
// letter by saying so, which is enough to see that it arrived.
QString custom(const QString& text, const QString& instruction) {
    const QString wanted = instruction.toLower();
    if (wanted.contains(u"upper"_s)) {
        return text.toUpper();
    }
    if (wanted.contains(u"lower"_s)) {
        return text.toLower();
    }
    if (wanted.contains(u"short"_s)) {
        return shorter(text);
    }
    if (wanted.contains(u"formal"_s) || wanted.contains(u"professional"_s)) {
        return professional(text);
    }
    if (wanted.contains(u"casual"_s) || wanted.contains(u"friendly"_s)) {
        return casual(text);
    }
    return fixGrammar(text) + u" ("_s + instruction.trimmed() + u")"_s;
}

QString rewriteFor(const QString& text, const QString& mode, const QString& customInstruction) {
    if (mode == u"Clearer") {
        return clearer(text);
    }
    if (mode == u"Shorter") {
        return shorter(text);
    }
    if (mode == u"Professional") {
        return professional(text);
    }
    if (mode == u"Casual") {
        return casual(text);
    }
    if (mode == u"Prompt") {
        return prompt(text);
    }
    if (mode == u"Custom") {
        return custom(text, customInstruction);
    }
    return fixGrammar(text);
}

}  // namespace

QString rewrite(const QString& text, const QString& mode, const QString& customInstruction) {
    const QString rewritten = rewriteFor(text, mode, customInstruction);
    // A rewrite that removed everything would be no answer at all.
    return rewritten.trimmed().isEmpty() ? text : rewritten;
}

}  // namespace tidyword::standin
