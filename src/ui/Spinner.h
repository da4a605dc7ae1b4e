// A small indeterminate progress indicator: it turns while it is shown and rests when hidden.
#pragma once

#include <QTimer>
#include <QWidget>

namespace tidyword::ui {

class Spinner : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(int size, const QColor& color, QWidget* parent = nullptr);

    bool isSpinning() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QColor color_;
    QTimer timer_;
    int step_ = 0;
};

}  // namespace tidyword::ui
