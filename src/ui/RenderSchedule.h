// When a view of the model renders. While the view is visible, the changes of one event-loop
// turn render it once, at the turn's end: a capture or an answer assigns a dozen fields in a row.
// While it is hidden, a change renders it at once (the default), or only when it is next shown.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace tidyword::ui {

class RenderSchedule : public QObject {
public:
    // `render` reads every field of the model into `view`, which owns this schedule.
    RenderSchedule(QWidget& view, std::function<void()> render);

    // The model changed.
    void changed();

    void setRendersWhileHidden(bool renders) { rendersWhileHidden_ = renders; }
    // Called by each render, however it came: what was pending is in it.
    void rendered() { stale_ = queued_ = false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& view_;
    std::function<void()> render_;
    bool rendersWhileHidden_ = true;
    bool stale_ = false;   // changed while hidden, not rendered since
    bool queued_ = false;  // changed while visible, rendered at the end of the turn
};

}  // namespace tidyword::ui
