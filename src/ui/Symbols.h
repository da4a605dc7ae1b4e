// The symbol images the windows show: a small set of SVG drawings shipped with Tidyword, named
// as the views name them ("gearshape", "xmark", ...) and drawn in any colour, so that no icon
// theme has to be installed.
#pragma once

#include <QColor>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QString>

namespace tidyword::ui {

// The symbol drawn `size` logical pixels square for a screen of `devicePixelRatio`; a null
// pixmap for a name Tidyword does not ship.
QPixmap symbolPixmap(const QString& name, int size, const QColor& color,
                     double devicePixelRatio = 1.0);
QIcon symbolIcon(const QString& name, int size, const QColor& color);

// A label that shows one symbol and can be told another name or colour later. A symbol is
// decoration unless it is given a meaning: assistive technology then sees an image of that
// name ("Error"), and otherwise nothing to read, as beside a text that says it all.
class SymbolLabel : public QLabel {
    Q_OBJECT

public:
    SymbolLabel(const QString& name, int size, const QColor& color, QWidget* parent = nullptr);

    void setSymbol(const QString& name, const QColor& color);
    // A short human name for what the symbol tells; empty for decoration.
    void setMeaning(const QString& meaning) { setAccessibleName(meaning); }
    const QString& symbol() const { return name_; }
    const QColor& color() const { return color_; }

private:
    void redraw();

    QString name_;
    int size_;
    QColor color_;
};

}  // namespace tidyword::ui
