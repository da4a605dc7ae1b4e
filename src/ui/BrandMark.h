// Tidyword's logo: a rounded square in the accent gradient with the checked-text symbol in
// white. The popup header, the settings page and the tray icon all draw it from here.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tidyword::ui {

class BrandMark : public QWidget {
    Q_OBJECT

public:
    explicit BrandMark(int size, QWidget* parent = nullptr);

    static double cornerRadius(int size) { return 0.28 * size; }
    static int symbolSize(int size) { return qRound(0.48 * size); }
    static QPixmap pixmap(int size, double devicePixelRatio = 1.0);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int size_;
};

}  // namespace tidyword::ui
