#include "ui/Spinner.h"

#include <QPainter>

namespace tidyword::ui {

namespace {

constexpr int kSpokes = 8;
constexpr int kFrameMilliseconds = 90;

}  // namespace

Spinner::Spinner(int size, const QColor& color, QWidget* parent) : QWidget(parent), color_(color) {
    setFixedSize(size, size);
    setAccessibleName(QStringLiteral("In progress"));
    timer_.setInterval(kFrameMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = width() / 2.0;
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        QColor shade = color_;
        // The newest spoke is the darkest; the others fade behind it.
        shade.setAlphaF(
            static_cast<float>(0.2 + 0.8 * ((spoke - step_ + kSpokes) % kSpokes) / (kSpokes - 1)));
        painter.setPen(QPen(shade, radius / 3.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.85));
        painter.rotate(360.0 / kSpokes);
    }
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace tidyword::ui
