#include "ui/Symbols.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QWindow>

namespace tidyword::ui {

namespace {

// The drawings are small and few; one read of each is plenty.
constexpr qint64 kMaximumSymbolBytes = 8192;

}  // namespace

QPixmap symbolPixmap(const QString& name, int size, const QColor& color, double devicePixelRatio) {
    QFile file(QStringLiteral(":/symbols/%1.svg").arg(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray drawing = file.read(kMaximumSymbolBytes);
    // The drawings paint in "currentColor", as a stylesheet would have it.
    drawing.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(drawing);
    if (!renderer.isValid()) {
        return {};
    }
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon symbolIcon(const QString& name, int size, const QColor& color) {
    QIcon icon;
    for (const double ratio : {1.0, 2.0}) {
        icon.addPixmap(symbolPixmap(name, size, color, ratio));
    }
    return icon;
}

SymbolLabel::SymbolLabel(const QString& name, int size, const QColor& color, QWidget* parent)
    : QLabel(parent), name_(name), size_(size), color_(color) {
    setFixedSize(size, size);
    setAccessibleName(name);
    redraw();
}

void SymbolLabel::setSymbol(const QString& name, const QColor& color) {
    if (name == name_ && color == color_) {
        return;
    }
    name_ = name;
    color_ = color;
    setAccessibleName(name);
    redraw();
}

void SymbolLabel::redraw() {
    setPixmap(symbolPixmap(name_, size_, color_, devicePixelRatioF()));
}

}  // namespace tidyword::ui
