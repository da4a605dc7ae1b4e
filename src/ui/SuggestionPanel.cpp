#include "ui/SuggestionPanel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace tidyword::ui {

namespace {

// Bottom-left space is measured from the primary screen's bottom edge.
int primaryBottom() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().y() + primary->geometry().height() : 0;
}

platform::ScreenRect toBottomLeft(const QRect& rect) {
    return {static_cast<double>(rect.x()),
            static_cast<double>(primaryBottom() - (rect.y() + rect.height())),
            static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

}  // namespace

QList<ScreenArea> desktopScreens() {
    QList<QScreen*> screens = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    QList<ScreenArea> areas;
    for (const QScreen* screen : screens) {
        areas.append({toBottomLeft(screen->geometry()), toBottomLeft(screen->availableGeometry())});
    }
    return areas;
}

QPointF toBottomLeftSpace(QPoint topLeft, int height) {
    return {static_cast<double>(topLeft.x()),
            static_cast<double>(primaryBottom() - (topLeft.y() + height))};
}

QPoint toTopLeftSpace(QPointF bottomLeft, int height) {
    return {qRound(bottomLeft.x()), qRound(primaryBottom() - bottomLeft.y()) - height};
}

SuggestionPanel::SuggestionPanel(AppModel& model, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      view_(new PopupView(model, this)) {
    setWindowTitle(QStringLiteral("Tidyword — Improve text"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    // What arrives after the panel is shown (a suggestion, an error box) changes its height,
    // once the view has laid itself out again; the top edge stays where it is.
    QObject::connect(&model, &AppModel::changed, this, [this] {
        if (isVisible()) {
            QMetaObject::invokeMethod(
                this, [this] { resize(PopupView::width, fittingHeight()); }, Qt::QueuedConnection);
        }
    });
}

int SuggestionPanel::fittingHeight() const {
    return std::max(view_->sizeHint().height(), minimumHeight);
}

void SuggestionPanel::present(std::optional<platform::ScreenRect> selection) {
    view_->render();
    view_->adjustSize();
    const int height = fittingHeight();
    resize(PopupView::width, height);

    const QPointF pointer = toBottomLeftSpace(QCursor::pos(), 0);
    if (const auto origin =
            panelOrigin(QSizeF(PopupView::width, height), selection, pointer, desktopScreens())) {
        move(toTopLeftSpace(*origin, height));
    }
    show();
    view_->focusFirstControl();
    raise();
    activateWindow();
}

void SuggestionPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void SuggestionPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *dragOffset_);
    }
    QWidget::mouseMoveEvent(event);
}

void SuggestionPanel::mouseReleaseEvent(QMouseEvent* event) {
    dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace tidyword::ui
