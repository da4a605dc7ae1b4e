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
    // What the panel shows is rendered when it shows: before that no one sees it.
    view_->schedule().setRendersWhileHidden(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    // What arrives after the panel is shown (a suggestion, an error box) changes its height, once
    // the view has rendered it. Growing downwards from the old top edge would cross the screen's
    // margin near the bottom, so the panel is placed again as if it had opened at that height.
    QObject::connect(view_, &PopupView::rendered, this, [this] {
        if (!isVisible() || fittingHeight() == height()) {
            return;
        }
        if (anchor_) {
            place(*anchor_);
        } else {
            resize(PopupView::width, fittingHeight());
        }
    });
}

// From the content at the width it will have, not from the view's current layout, which before
// the first show is that of a narrow window.
int SuggestionPanel::fittingHeight() const {
    const int content = view_->hasHeightForWidth() ? view_->heightForWidth(PopupView::width)
                                                   : view_->sizeHint().height();
    return std::max(content, minimumHeight);
}

void SuggestionPanel::place(const Anchor& anchor) {
    const int height = fittingHeight();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) {
        resize(PopupView::width, height);
        return;
    }
    const platform::ScreenRect primaryFrame = screenRect(primary->geometry());
    const platform::ScreenRect pointer = platform::toDesktopSpace(
        {static_cast<double>(anchor.pointer.x()), static_cast<double>(anchor.pointer.y()), 0, 0},
        primaryFrame);
    const auto origin = panelOrigin(QSizeF(PopupView::width, height), anchor.selection,
                                    QPointF(pointer.x, pointer.y), desktopScreens(primaryFrame));
    if (!origin) {
        resize(PopupView::width, height);
        return;
    }
    const platform::ScreenRect frame = platform::toWindowSystemSpace(
        {origin->x(), origin->y(), PopupView::width, static_cast<double>(height)}, primaryFrame);
    setGeometry(qRound(frame.x), qRound(frame.y), PopupView::width, height);
}

void SuggestionPanel::present(std::optional<platform::ScreenRect> selection) {
    view_->render();
    anchor_ = Anchor{selection, QCursor::pos()};
    place(*anchor_);
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
        anchor_.reset();  // where the user puts the panel wins over the placement rule
        move(event->globalPosition().toPoint() - *dragOffset_);
    }
    QWidget::mouseMoveEvent(event);
}

void SuggestionPanel::mouseReleaseEvent(QMouseEvent* event) {
    dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace tidyword::ui
