#include "ui/BrandMark.h"

#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tidyword::ui {

namespace {

void paintMark(QPainter& painter, int size, double devicePixelRatio) {
    painter.setRenderHint(QPainter::Antialiasing);
    // The accent, lighter at the top: the "gradient form" of one colour.
    QLinearGradient gradient(0, 0, 0, size);
    gradient.setColorAt(0, accent().lighter(118));
    gradient.setColorAt(1, accent());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, size, size), BrandMark::cornerRadius(size),
                         BrandMark::cornerRadius(size));
    painter.fillPath(shape, gradient);
    const int symbol = BrandMark::symbolSize(size);
    const double offset = (size - symbol) / 2.0;
    painter.drawPixmap(QPointF(offset, offset), symbolPixmap(QStringLiteral("text.badge.checkmark"),
                                                             symbol, Qt::white, devicePixelRatio));
}

}  // namespace

BrandMark::BrandMark(int size, QWidget* parent) : QWidget(parent), size_(size) {
    // Always beside Tidyword's name or title, so nothing for a screen reader to say twice.
    setFixedSize(size, size);
}

QPixmap BrandMark::pixmap(int size, double devicePixelRatio) {
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&pixmap);
    paintMark(painter, size, devicePixelRatio);
    return pixmap;
}

void BrandMark::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintMark(painter, size_, devicePixelRatioF());
}

}  // namespace tidyword::ui
