#include "ui/ResultText.h"

#include "diff/TextDiff.h"
#include "ui/Style.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace tidyword::ui {

namespace {

QTextCharFormat coloured(const QColor& color) {
    QTextCharFormat format;
    format.setForeground(color);
    return format;
}

void appendChanges(QTextCursor& cursor, const QString& original, const QString& suggestion) {
    const QTextCharFormat plain;
    QTextCharFormat removed = coloured(removedText());
    removed.setFontStrikeOut(true);
    QTextCharFormat added = coloured(addedText());
    // Neither line has a colour of its own: each is drawn in the colour of the run it marks.
    added.setFontUnderline(true);
    const QTextCharFormat arrow = coloured(toneColor(Tone::secondary));

    bool afterRemoval = false;
    for (const DiffSegment& segment : TextDiff::segments(original, suggestion)) {
        switch (segment.kind) {
            case DiffKind::unchanged:
                cursor.insertText(segment.text, plain);
                break;
            case DiffKind::removed:
                cursor.insertText(segment.text, removed);
                break;
            case DiffKind::added:
                if (afterRemoval) {
                    cursor.insertText(QString::fromUtf16(kReplacementArrow), arrow);
                }
                cursor.insertText(segment.text, added);
                break;
        }
        afterRemoval = segment.kind == DiffKind::removed;
    }
}

// A run as a screen reader should say it: its words in quotes, or what it is when it has none.
QString spoken(const QString& run) {
    const QString words = run.simplified();
    return words.isEmpty() ? QStringLiteral("spacing") : u'“' + words + u'”';
}

}  // namespace

QString resultHtml(const QString& original, const QString& suggestion, PreviewDisplay display) {
    QTextDocument document;
    document.setDefaultFont(textFont(kResultFontSize));
    QTextCursor cursor(&document);
    QTextBlockFormat spacing;
    spacing.setLineHeight(kResultLineSpacing, QTextBlockFormat::LineDistanceHeight);
    cursor.setBlockFormat(spacing);
    switch (display) {
        case PreviewDisplay::original:
            cursor.insertText(original);
            break;
        case PreviewDisplay::improved:
            cursor.insertText(suggestion);
            break;
        case PreviewDisplay::changes:
            appendChanges(cursor, original, suggestion);
            break;
    }
    return document.toHtml();
}

QString resultDescription(const QString& original, const QString& suggestion,
                          PreviewDisplay display) {
    if (display != PreviewDisplay::changes) {
        return {};
    }
    // Grouped as the display draws them: an addition right after a removal replaces it.
    QStringList changes;
    QString removed;
    const auto endRemoval = [&] {
        if (!removed.isEmpty()) {
            changes << QStringLiteral("removed ") + spoken(removed);
            removed.clear();
        }
    };
    for (const DiffSegment& segment : TextDiff::segments(original, suggestion)) {
        switch (segment.kind) {
            case DiffKind::unchanged:
                endRemoval();
                break;
            case DiffKind::removed:
                removed += segment.text;
                break;
            case DiffKind::added:
                if (removed.isEmpty()) {
                    changes << QStringLiteral("added ") + spoken(segment.text);
                } else {
                    changes << QStringLiteral("removed ") + spoken(removed) +
                                   QStringLiteral(", added ") + spoken(segment.text);
                    removed.clear();
                }
                break;
        }
    }
    endRemoval();
    if (changes.isEmpty()) {
        return {};
    }
    QString description = changes.join(QStringLiteral("; ")) + u'.';
    description[0] = description[0].toUpper();
    return description;
}

}  // namespace tidyword::ui
