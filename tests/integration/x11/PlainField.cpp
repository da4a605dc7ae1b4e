// A Qt text field on the accessibility bus, for the tests:
//   plain-field <text>           shows its text but does not publish it, nor its selection
//                                (as some toolkits' custom editors do), so Tidyword has to copy
//   plain-field --open <text>    publishes both, as Qt does, with offsets in UTF-16 units; and
//                                while the field has the focus, its viewport keeps announcing
//                                focus too, as Qt's own events sometimes do after the field's
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

// An editable text control with no text interface.
class OpaqueEditor : public QAccessibleWidget {
public:
    explicit OpaqueEditor(QWidget* widget) : QAccessibleWidget(widget, QAccessible::EditableText) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.multiLine = true;
        return state;
    }
};

QAccessibleInterface* opaqueEditors(const QString& className, QObject* object) {
    if (className == QLatin1String("QPlainTextEdit") && object->isWidgetType()) {
        return new OpaqueEditor(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments().mid(1);
    const bool open = arguments.value(0) == QLatin1String("--open");
    if (open) {
        arguments.removeFirst();
    } else {
        QAccessible::installFactory(&opaqueEditors);
    }
    QPlainTextEdit field;
    QTimer viewportFocus;
    if (open) {
        // The viewport forwards its focus to the field, so Qt calls it focused too; its
        // announcements often come after the field's, which this makes sure of.
        QObject::connect(&viewportFocus, &QTimer::timeout, &field, [&field] {
            if (field.hasFocus()) {
                QAccessibleEvent focus(field.viewport(), QAccessible::Focus);
                QAccessible::updateAccessibility(&focus);
            }
        });
        viewportFocus.start(50);
    }
    field.setWindowTitle(QStringLiteral("Plain field"));
    field.setPlainText(arguments.value(0));
    field.resize(480, 200);
    field.show();
    field.setFocus();
    return QApplication::exec();
}
