#include "ui/Style.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QFocusEvent>
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

namespace {

class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::FocusIn:
                // Focus that comes back with the window or from the picker's own list keeps
                // what it was; focus the program gave (as on opening) is not the user's choice.
                switch (static_cast<QFocusEvent*>(event)->reason()) {
                    case Qt::MouseFocusReason:
                    case Qt::TabFocusReason:
                    case Qt::BacktabFocusReason:
                    case Qt::ShortcutFocusReason:
                        chosen_ = true;
                        break;
                    case Qt::ActiveWindowFocusReason:
                    case Qt::PopupFocusReason:
                        break;
                    default:
                        chosen_ = false;
                        break;
                }
                break;
            case QEvent::MouseButtonPress:
                // A click on the picker that already had the focus chooses it too.
                chosen_ = true;
                break;
            case QEvent::Hide:
                chosen_ = false;
                break;
            case QEvent::Wheel:
                if (!chosen_ || !static_cast<QWidget*>(watched)->hasFocus()) {
                    // Ignored, the wheel goes on to whatever scrolls around the picker.
                    event->ignore();
                    return true;
                }
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool chosen_ = false;
};

}  // namespace

void keepFromStrayWheel(QComboBox* picker) {
    // A combo box takes the focus from the wheel itself by default, which would count as chosen.
    picker->setFocusPolicy(Qt::StrongFocus);
    picker->installEventFilter(new WheelGuard(picker));
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
