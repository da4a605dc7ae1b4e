// A text field that shows its text but does not publish it, nor its selection, to the
// accessibility bus (as some toolkits' custom editors do), so that Tidyword has to copy.
//   plain-field <text>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPlainTextEdit>

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
    QAccessible::installFactory(&opaqueEditors);
    QPlainTextEdit field;
    field.setWindowTitle(QStringLiteral("Plain field"));
    field.setPlainText(QApplication::arguments().value(1));
    field.resize(480, 200);
    field.show();
    field.setFocus();
    return QApplication::exec();
}
