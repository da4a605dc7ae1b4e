#include "ui/RenderSchedule.h"

#include <QEvent>
#include <QWidget>

#include <utility>

namespace tidyword::ui {

RenderSchedule::RenderSchedule(QWidget& view, std::function<void()> render)
    : QObject(&view), view_(view), render_(std::move(render)) {
    view.installEventFilter(this);
}

void RenderSchedule::changed() {
    if (view_.isVisible()) {
        if (!std::exchange(queued_, true)) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (queued_) {
                        render_();
                    }
                },
                Qt::QueuedConnection);
        }
    } else if (rendersWhileHidden_) {
        render_();
    } else {
        stale_ = true;
    }
}

bool RenderSchedule::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &view_ && event->type() == QEvent::Show && stale_) {
        render_();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tidyword::ui
