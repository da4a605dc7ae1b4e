#include "ui/SuggestionPanel.h"

#include "platform/DesktopSpace.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace tidyword::ui {

namespace {

platform::ScreenRect screenRect(const QRect& rect) {
    return {static_cast<double>(rect.x()), static_cast<double>(rect.y()),
            static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

// The desktop's screens in bottom-left space, the primary one first.
QList<ScreenArea> desktopScreens(const platform::ScreenRect& primaryFrame) {
    QList<QScreen*> screens = QGuiApplication::screens();
    screens.removeAll(QGuiApplication::primaryScreen());
    screens.prepend(QGuiApplication::primaryScreen());
    QList<ScreenArea> areas;
    for (const QScreen* screen : screens) {
        areas.append(
            {platform::toDesktopSpace(screenRect(screen->geometry()), primaryFrame),
             platform::toDesktopSpace(screenRect(screen->availableGeometry()), primaryFrame)});
    }
    return areas;
}

}  // namespace

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

    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        const platform::ScreenRect primaryFrame = screenRect(primary->geometry());
        const QPoint cursor = QCursor::pos();
        const platform::ScreenRect pointer = platform::toDesktopSpace(
            {static_cast<double>(cursor.x()), static_cast<double>(cursor.y()), 0, 0}, primaryFrame);
        if (const auto origin =
                panelOrigin(QSizeF(PopupView::width, height), selection,
                            QPointF(pointer.x, pointer.y), desktopScreens(primaryFrame))) {
            const platform::ScreenRect frame = platform::toWindowSystemSpace(
                {origin->x(), origin->y(), PopupView::width, static_cast<double>(height)},
                primaryFrame);
            move(qRound(frame.x), qRound(frame.y));
        }
    }
    show();
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
