// Finding a window's controls by their object names, which no user sees or hears: what a
// control reads to a screen reader is for its user, and stays free to change.
#pragma once

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace tidyword::test {

// The one child of `root` of type T with the object name `name`; a test failure when there is
// none or more than one.
template <typename T>
T* find(const QWidget* root, const QString& name) {
    const QList<T*> found = root->findChildren<T*>(name);
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
