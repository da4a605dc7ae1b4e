#include "Rewrites.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <functional>
#include <utility>
#include <vector>

namespace tidyword::standin {

namespace {

using namespace Qt::Literals::StringLiterals;
using Match = QRegularExpressionMatch;

// Every match of `pattern` in `text` replaced by what `replacement` makes of it.
QString replaceEach(const QString& text, const QRegularExpression& pattern,
                    const std::function<QString(const Match&)>& replacement) {
    QString result;
    qsizetype last = 0;
    for (auto matches = pattern.globalMatch(text); matches.hasNext();) {
        const Match match = matches.next();
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += replacement(match);
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

QString capitalized(QString text) {
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

// Whole words or phrases in any case; a replacement keeps the capital of what it replaces.
// Compiled once per server thread (a compiled expression is not shared between threads).
class Replacements {
public:
    Replacements(std::initializer_list<std::pair<QString, QString>> pairs) {
        for (const auto& [from, to] : pairs) {
            // A boundary only where the phrase ends in a letter: "however," ends at its comma.
            const QString before = from.front().isLetterOrNumber() ? u"\\b"_s : QString();
            const QString after = from.back().isLetterOrNumber() ? u"\\b"_s : QString();
            words_.emplace_back(
                QRegularExpression(before + QRegularExpression::escape(from) + after,
                                   QRegularExpression::CaseInsensitiveOption),
                to);
        }
    }

    QString applyTo(QString text) const {
        for (const auto& entry : words_) {
            const QString& replacement = entry.second;
            text = replaceEach(text, entry.first, [&replacement](const Match& match) {
                return match.captured().front().isUpper() ? capitalized(replacement) : replacement;
            });
        }
        return text;
    }

private:
    std::vector<std::pair<QRegularExpression, QString>> words_;
};

QString capitalizeSentences(const QString& text) {
    static thread_local const QRegularExpression starts(u"(^\\s*|[.!?]\\s+)(\\p{Ll})"_s);
    return replaceEach(text, starts, [](const Match& match) {
        return match.captured(1) + match.captured(2).toUpper();
    });
}

QString endWithFullStop(QString text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty() && trimmed.back().isLetterOrNumber()) {
        text.insert(text.lastIndexOf(trimmed.back()) + 1, u'.');
    }
    return text;
}

// Spacing and capitals, after the words have changed.
QString tidied(QString text) {
    static thread_local const QRegularExpression doubledSpaces(u"(?<=\\S)  +"_s);
    static thread_local const QRegularExpression spaceBeforeMark(u" +(?=[,.;:!?])"_s);
    text.replace(doubledSpaces, u" "_s);
    text.remove(spaceBeforeMark);
    return endWithFullStop(capitalizeSentences(text));
}

QString correctSpelling(const QString& text) {
    static thread_local const Replacements mistakes{
        {u"i"_s, u"I"_s},
        {u"teh"_s, u"the"_s},
        {u"recieve"_s, u"receive"_s},
        {u"recieved"_s, u"received"_s},
        {u"dont"_s, u"don't"_s},
        {u"doesnt"_s, u"doesn't"_s},
        {u"didnt"_s, u"didn't"_s},
        {u"isnt"_s, u"isn't"_s},
        {u"cant"_s, u"can't"_s},
        {u"wont"_s, u"won't"_s},
        {u"im"_s, u"I'm"_s},
        {u"ive"_s, u"I've"_s},
        {u"alot"_s, u"a lot"_s},
        {u"definately"_s, u"definitely"_s},
        {u"seperate"_s, u"separate"_s},
        {u"occured"_s, u"occurred"_s},
        {u"untill"_s, u"until"_s},
        {u"wich"_s, u"which"_s},
        {u"becuase"_s, u"because"_s},
        {u"beleive"_s, u"believe"_s},
        {u"tommorow"_s, u"tomorrow"_s},
        {u"accomodate"_s, u"accommodate"_s},
        {u"adress"_s, u"address"_s},
        {u"neccessary"_s, u"necessary"_s},
        {u"enviroment"_s, u"environment"_s},
        {u"goverment"_s, u"government"_s},
        {u"independant"_s, u"independent"_s},
        {u"wierd"_s, u"weird"_s},
        {u"thier"_s, u"their"_s},
        {u"truely"_s, u"truly"_s},
        {u"could of"_s, u"could have"_s},
        {u"should of"_s, u"should have"_s},
        {u"would of"_s, u"would have"_s},
        {u"their is"_s, u"there is"_s},
        {u"its a"_s, u"it's a"_s},
        {u"monday"_s, u"Monday"_s},
        {u"tuesday"_s, u"Tuesday"_s},
        {u"wednesday"_s, u"Wednesday"_s},
        {u"thursday"_s, u"Thursday"_s},
        {u"friday"_s, u"Friday"_s},
        {u"saturday"_s, u"Saturday"_s},
        {u"sunday"_s, u"Sunday"_s},
    };
    return mistakes.applyTo(text);
}

// Subjects and verbs that disagree, and "a" and "an" before the wrong sound.
QString correctAgreement(QString text) {
    static thread_local const Replacements pronouns{
        {u"they was"_s, u"they were"_s},
        {u"we was"_s, u"we were"_s},
        {u"you was"_s, u"you were"_s},
        {u"he don't"_s, u"he doesn't"_s},
        {u"she don't"_s, u"she doesn't"_s},
        {u"it don't"_s, u"it doesn't"_s},
        {u"he have"_s, u"he has"_s},
        {u"she have"_s, u"she has"_s},
        {u"it have"_s, u"it has"_s},
        {u"there is many"_s, u"there are many"_s},
        {u"there was many"_s, u"there were many"_s},
    };
    text = pronouns.applyTo(text);

    // A plural noun after a determiner takes a plural verb; a few nouns only look plural.
    static thread_local const QRegularExpression pluralSubject(
        u"\\b((?:the|these|those|our|your|their|my|all|many|some|both) \\w+[^\\Wsiu]s) (was|is|has|doesn't)\\b"_s,
        QRegularExpression::CaseInsensitiveOption);
    static const QSet<QString> singular{u"news"_s,  u"series"_s,  u"species"_s,
                                        u"means"_s, u"physics"_s, u"mathematics"_s};
    static const QHash<QString, QString> plural{{u"was"_s, u"were"_s},
                                                {u"is"_s, u"are"_s},
                                                {u"has"_s, u"have"_s},
                                                {u"doesn't"_s, u"don't"_s}};
    text = replaceEach(text, pluralSubject, [](const Match& match) {
        const QString noun = match.captured(1).section(u' ', -1).toLower();
        const QString verb = match.captured(2);
        return match.captured(1) + u' ' +
               (singular.contains(noun) ? verb : plural.value(verb.toLower(), verb));
    });

    static thread_local const QRegularExpression aBeforeVowel(
        u"\\b([Aa]) (?!one\\b|once\\b)([aeioAEIO]\\w*)"_s);
    text.replace(aBeforeVowel, u"\\1n \\2"_s);
    static thread_local const QRegularExpression anBeforeConsonant(
        u"\\b([Aa])n ([bcdfgjklmnpqrstvwxyzBCDFGJKLMNPQRSTVWXYZ]\\w*)"_s);
    text.replace(anBeforeConsonant, u"\\1 \\2"_s);

    static thread_local const QRegularExpression doubledWord(
        u"\\b(\\w+) \\1\\b"_s, QRegularExpression::CaseInsensitiveOption);
    return text.replace(doubledWord, u"\\1"_s);
}

QString fixGrammar(const QString& text) {
    return tidied(correctAgreement(correctSpelling(text)));
}

QString lessWordy(const QString& text) {
    static thread_local const Replacements wordy{
        {u"in order to"_s, u"to"_s},
        {u"due to the fact that"_s, u"because"_s},
        {u"in spite of the fact that"_s, u"although"_s},
        {u"at this point in time"_s, u"now"_s},
        {u"in the near future"_s, u"soon"_s},
        {u"in the event that"_s, u"if"_s},
        {u"for the purpose of"_s, u"for"_s},
        {u"a large number of"_s, u"many"_s},
        {u"a majority of"_s, u"most"_s},
        {u"with regard to"_s, u"about"_s},
        {u"prior to"_s, u"before"_s},
        {u"is able to"_s, u"can"_s},
        {u"has the ability to"_s, u"can"_s},
        {u"make a decision"_s, u"decide"_s},
        {u"take into consideration"_s, u"consider"_s},
        {u"utilize"_s, u"use"_s},
    };
    return wordy.applyTo(text);
}

QString clearer(const QString& text) {
    return fixGrammar(lessWordy(text));
}

QString shorter(const QString& text) {
    static thread_local const QRegularExpression fillers(
        u"\\b(really|very|just|actually|basically|literally|quite|totally|simply|definitely|"
        "kind of|sort of|I think( that)?|I believe( that)?|it seems( that)?|"
        "to be honest,?|in my opinion,?|needless to say,?|at the end of the day,?) "_s,
        QRegularExpression::CaseInsensitiveOption);
    QString short_ = fixGrammar(text);
    // Again until none is left: taking one away can bring another to the front of a sentence.
    for (QString before; before != short_;) {
        before = short_;
        short_.remove(fillers);
    }
    return tidied(lessWordy(short_));
}

QString professional(const QString& text) {
    static thread_local const Replacements formal{
        {u"don't"_s, u"do not"_s},
        {u"doesn't"_s, u"does not"_s},
        {u"didn't"_s, u"did not"_s},
        {u"can't"_s, u"cannot"_s},
        {u"won't"_s, u"will not"_s},
        {u"isn't"_s, u"is not"_s},
        {u"aren't"_s, u"are not"_s},
        {u"wasn't"_s, u"was not"_s},
        {u"weren't"_s, u"were not"_s},
        {u"haven't"_s, u"have not"_s},
        {u"hasn't"_s, u"has not"_s},
        {u"couldn't"_s, u"could not"_s},
        {u"shouldn't"_s, u"should not"_s},
        {u"wouldn't"_s, u"would not"_s},
        {u"I'm"_s, u"I am"_s},
        {u"I've"_s, u"I have"_s},
        {u"I'll"_s, u"I will"_s},
        {u"I'd"_s, u"I would"_s},
        {u"it's"_s, u"it is"_s},
        {u"that's"_s, u"that is"_s},
        {u"there's"_s, u"there is"_s},
        {u"we're"_s, u"we are"_s},
        {u"we'll"_s, u"we will"_s},
        {u"they're"_s, u"they are"_s},
        {u"you're"_s, u"you are"_s},
        {u"let's"_s, u"let us"_s},
        {u"hey"_s, u"hello"_s},
        {u"hi"_s, u"hello"_s},
        {u"guys"_s, u"everyone"_s},
        {u"thanks"_s, u"thank you"_s},
        {u"gonna"_s, u"going to"_s},
        {u"wanna"_s, u"want to"_s},
        {u"gotta"_s, u"have to"_s},
        {u"yeah"_s, u"yes"_s},
        {u"yep"_s, u"yes"_s},
        {u"nope"_s, u"no"_s},
        {u"ok"_s, u"all right"_s},
        {u"okay"_s, u"all right"_s},
        {u"kinda"_s, u"somewhat"_s},
        {u"a bunch of"_s, u"several"_s},
        {u"stuff"_s, u"material"_s},
        {u"super"_s, u"very"_s},
        {u"awesome"_s, u"excellent"_s},
        {u"asap"_s, u"as soon as possible"_s},
        {u"btw"_s, u"by the way"_s},
        {u"fyi"_s, u"for your information"_s},
        {u"get back to you"_s, u"follow up with you"_s},
        {u"check out"_s, u"review"_s},
        {u"figure out"_s, u"determine"_s},
    };
    return tidied(formal.applyTo(fixGrammar(text)));
}

QString casual(const QString& text) {
    static thread_local const Replacements informal{
        {u"I am not able to"_s, u"I can't"_s},
        {u"; however,"_s, u", but"_s},
        {u"do not"_s, u"don't"_s},
        {u"does not"_s, u"doesn't"_s},
        {u"did not"_s, u"didn't"_s},
        {u"cannot"_s, u"can't"_s},
        {u"will not"_s, u"won't"_s},
        {u"is not"_s, u"isn't"_s},
        {u"are not"_s, u"aren't"_s},
        {u"I am"_s, u"I'm"_s},
        {u"I have"_s, u"I've"_s},
        {u"I will"_s, u"I'll"_s},
        {u"I would"_s, u"I'd"_s},
        {u"it is"_s, u"it's"_s},
        {u"that is"_s, u"that's"_s},
        {u"we are"_s, u"we're"_s},
        {u"they are"_s, u"they're"_s},
        {u"you are"_s, u"you're"_s},
        {u"let us"_s, u"let's"_s},
        {u"hello"_s, u"hey"_s},
        {u"dear"_s, u"hi"_s},
        {u"thank you"_s, u"thanks"_s},
        {u"kind regards"_s, u"cheers"_s},
        {u"best regards"_s, u"cheers"_s},
        {u"regards"_s, u"cheers"_s},
        {u"sincerely"_s, u"cheers"_s},
        {u"however"_s, u"but"_s},
        {u"therefore"_s, u"so"_s},
        {u"additionally"_s, u"also"_s},
        {u"approximately"_s, u"about"_s},
        {u"assist"_s, u"help"_s},
        {u"purchase"_s, u"buy"_s},
        {u"require"_s, u"need"_s},
        {u"please find attached"_s, u"here's"_s},
    };
    return tidied(informal.applyTo(fixGrammar(text)));
}

QString prompt(const QString& text) {
    return u"You are an experienced assistant.\n\nTask: "_s + fixGrammar(text.trimmed()) +
           u"\n\nRequirements:\n"
           "- Answer clearly and concisely, in plain language.\n"
           "- State any assumption you make.\n"
           "- If something essential is missing, ask one clarifying question first.\n\n"
           "Format: a one-sentence answer first, then the details as a short bulleted list."_s;
}

// The instruction picks a transformation where it names one, and is echoed into the result
// either way, which is enough to see that it arrived.
QString custom(const QString& text, const QString& instruction) {
    const QString wanted = instruction.toLower();
    QString result;
    if (wanted.contains(u"upper"_s)) {
        result = text.toUpper();
    } else if (wanted.contains(u"lower"_s)) {
        result = text.toLower();
    } else if (wanted.contains(u"short"_s)) {
        result = shorter(text);
    } else if (wanted.contains(u"formal"_s) || wanted.contains(u"professional"_s)) {
        result = professional(text);
    } else if (wanted.contains(u"casual"_s) || wanted.contains(u"friendly"_s)) {
        result = casual(text);
    } else {
        result = fixGrammar(text);
    }
    return result + u" (as asked: \u201C"_s + instruction.trimmed() + u"\u201D)"_s;
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
