// Finding a window's controls the way assistive technology does: by accessible name or text.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace tidyword::test {

// The one child of `root` of type T whose accessible name (or, for buttons and labels, text) is
// `name`; a test failure when there is none or more than one.
template <typename T>
T* findNamed(QWidget* root, const QString& name) {
    QList<T*> found;
    for (T* widget : root->findChildren<T*>()) {
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        }
        if (widget->accessibleName() == name || (!text.isEmpty() && text == name)) {
            found.append(widget);
        }
    }
    EXPECT_EQ(found.size(), 1) << "controls named " << name.toStdString();
    return found.value(0);
}

// One step of the mouse wheel (towards the user) with the pointer resting on `widget`.
inline void wheelOver(QWidget* widget) {
    const QPointF centre = QRectF(widget->rect()).center();
    QWheelEvent wheel(centre, widget->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

// Shown when its window is: not hidden itself, nor any parent up to `root`.
inline bool shownIn(const QWidget* widget, const QWidget* root) {
    return widget && widget->isVisibleTo(root);
}

}  // namespace tidyword::test
