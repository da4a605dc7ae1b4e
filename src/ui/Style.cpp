#include "ui/Style.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace tidyword::ui {

QColor accent() {
    return QColor::fromRgbF(0.19F, 0.36F, 0.92F);
}

QColor orange() {
    return QColor::fromRgbF(1.0F, 0.58F, 0.0F);
}

QColor green() {
    return QColor::fromRgbF(0.16F, 0.66F, 0.28F);
}

QColor removedText() {
    return QColor::fromRgbF(0.72F, 0.30F, 0.31F);
}

QColor addedText() {
    return QColor::fromRgbF(0.05F, 0.48F, 0.31F);
}

QColor toneColor(Tone tone) {
    QColor text = QApplication::palette().color(QPalette::WindowText);
    switch (tone) {
        case Tone::primary:
            break;
        case Tone::secondary:
            text.setAlphaF(0.55F);
            break;
        case Tone::tertiary:
            text.setAlphaF(0.3F);
            break;
    }
    return text;
}

QString cssColor(const QColor& color, double opacity) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF() * opacity, 0, 'f', 3);
}

QFont textFont(int pixelSize, QFont::Weight weight, double letterSpacing) {
    QFont result = QApplication::font();
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    if (letterSpacing != 0) {
        result.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    }
    return result;
}

QLabel* makeLabel(const QString& text, int pixelSize, QFont::Weight weight, const QColor& color,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(textFont(pixelSize, weight));
    setTextColor(label, color);
    return label;
}

void setLabelText(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleDescription(text);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void makeProminent(QPushButton* button) {
    const QColor fill = accent();
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; "
                       "border-radius: 6px; padding: 0 14px; font-weight: 600; }"
                       "QPushButton:pressed { background: %2; }"
                       "QPushButton:disabled { background: %3; color: rgba(255, 255, 255, 0.85); }")
            .arg(cssColor(fill), cssColor(fill.darker(120)), cssColor(fill, 0.38)));
    button->setDefault(true);
}

void makeLarge(QPushButton* button, int minimumWidth) {
    button->setMinimumHeight(32);
    button->setMinimumWidth(minimumWidth);
    button->setFont(textFont(13, button->font().weight()));
}

QHBoxLayout* row(int spacing, QWidget* owner) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QVBoxLayout* column(int spacing, QWidget* owner) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: %1; border: none;")
                            .arg(cssColor(toneColor(Tone::primary), 0.1)));
    return line;
}

}  // namespace tidyword::ui
