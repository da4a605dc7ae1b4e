// The floating window that hosts the popup: frameless, above other windows, on every desktop,
// never a taskbar entry, moved by dragging its background. It takes the keyboard for its text
// field while the source application keeps its place.
#pragma once

#include "model/AppModel.h"
#include "ui/PanelPlacement.h"
#include "ui/PopupView.h"

#include <QPoint>
#include <QWidget>

namespace tidyword::ui {

class SuggestionPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int minimumHeight = 410;

    explicit SuggestionPanel(AppModel& model, QWidget* parent = nullptr);

    PopupView& view() { return *view_; }

    // Sizes the panel to its content (620 wide, at least 410 high), places it for `selection`
    // (or the pointer) and shows it with the keyboard focus. While it stays up, a change of
    // height places it again by the same rule, until the user moves it.
    void present(std::optional<platform::ScreenRect> selection);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // What the panel was presented for: the selection in bottom-left space, else the pointer in
    // the window system's.
    struct Anchor {
        std::optional<platform::ScreenRect> selection;
        QPoint pointer;
    };

    int fittingHeight() const;
    void place(const Anchor& anchor);

    PopupView* view_;
    std::optional<Anchor> anchor_;  // none once the user has dragged the panel elsewhere
    std::optional<QPoint> dragOffset_;
};

}  // namespace tidyword::ui
