#include "ui/Symbols.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QWindow>

namespace tidyword::ui {

namespace {

// The drawings are small and few; one read of each is plenty.
constexpr qint64 kMaximumSymbolBytes = 8192;

// A symbol with a meaning is an image; one without is a nameless part of the layout, which screen
// readers pass over as they do the containers around it. The role follows the meaning, which a
// symbol may gain or lose after its interface was made.
class SymbolAccessible : public QAccessibleWidget {
public:
    explicit SymbolAccessible(QWidget* symbol) : QAccessibleWidget(symbol) {}

    QAccessible::Role role() const override {
        return widget()->accessibleName().isEmpty() ? QAccessible::Client : QAccessible::Graphic;
    }
};

QAccessibleInterface* symbolAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(SymbolLabel::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new SymbolAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

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
    [[maybe_unused]] static const bool accessible = [] {
        QAccessible::installFactory(symbolAccessible);
        return true;
    }();
    setFixedSize(size, size);
    redraw();
}

void SymbolLabel::setSymbol(const QString& name, const QColor& color) {
    if (name == name_ && color == color_) {
        return;
    }
    name_ = name;
    color_ = color;
    redraw();
}

void SymbolLabel::redraw() {
    setPixmap(symbolPixmap(name_, size_, color_, devicePixelRatioF()));
}

}  // namespace tidyword::ui
