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

}  // namespace tidyword::ui
