// The look both windows share: the brand accent, the fixed colours, the text styles (sizes are
// logical pixels), and the few control shapes the views build from.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QComboBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace tidyword::ui {

// The brand colour, sRGB (0.19, 0.36, 0.92).
QColor accent();
QColor orange();
QColor green();
// The word diff's colours.
QColor removedText();
QColor addedText();

// Text colours relative to the window's own text colour.
enum class Tone { primary, secondary, tertiary };
QColor toneColor(Tone tone);

// `color` at `opacity`, as a style-sheet value.
QString cssColor(const QColor& color, double opacity = 1.0);

QFont textFont(int pixelSize, QFont::Weight weight = QFont::Normal, double letterSpacing = 0);

QLabel* makeLabel(const QString& text, int pixelSize, QFont::Weight weight, const QColor& color,
                  QWidget* parent = nullptr);
void setTextColor(QWidget* widget, const QColor& color);

// A filled button in the accent colour, the one main action of a row.
void makeProminent(QPushButton* button);
// The large control size: a taller button with a wider minimum.
void makeLarge(QPushButton* button, int minimumWidth = 0);

// A picker that changes on the wheel only after the user put the focus on it (a click, Tab, its
// mnemonic). A pointer on its way to scroll past it, or the focus a window gives it on opening,
// must not change a choice that may cost a request.
void keepFromStrayWheel(QComboBox* picker);

// Rows and columns without margins, and the hairline between sections.
QHBoxLayout* row(int spacing, QWidget* owner = nullptr);
QVBoxLayout* column(int spacing, QWidget* owner = nullptr);
QFrame* divider(QWidget* parent);

}  // namespace tidyword::ui
