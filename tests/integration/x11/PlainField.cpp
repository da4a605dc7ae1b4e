// A Qt text field on the accessibility bus, for the tests:
//   plain-field <text>           shows its text but does not publish it, nor its selection
//                                (as some toolkits' custom editors do), so Tidyword has to copy
//   plain-field --open <text>    publishes both, as Qt does, with offsets in UTF-16 units; and
//                                while the field has the focus, its viewport keeps announcing
//                                focus too, as Qt's own events sometimes do after the field's
//   plain-field --open --labels <count> [--busy <milliseconds>] <text>
//                                the field comes after that many labels, in rows, in a window
//                                of its own (Qt answers no collection query: finding it takes a
//                                walk); busy, every turn of the event loop also burns that long
//   plain-field --open --busy-when-signalled <milliseconds> <text>
//                                the field alone, busy as above once the process gets SIGUSR1;
//                                its title says "(busy)" from then on
//   plain-field --stays-active <text>
//                                publishes neither, and its window claims the ACTIVE state in the
//                                background too, as Electron's windows do
//   plain-field --read-only-interface <text>
//                                publishes both, but offers no way to edit through the
//                                accessibility bus (no EditableText interface): only keys do
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QBoxLayout>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextCursor>
#include <QTimer>

#include <csignal>

namespace {

volatile std::sig_atomic_t signalled = 0;

// An editable text control with no text interface; one that `staysActive` claims it is in the
// active window whether it is or not.
class OpaqueEditor : public QAccessibleWidget {
public:
    static inline bool staysActive = false;

    explicit OpaqueEditor(QWidget* widget) : QAccessibleWidget(widget, QAccessible::EditableText) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.multiLine = true;
        state.active = state.active || staysActive;
        return state;
    }
};

QAccessibleInterface* opaqueEditors(const QString& className, QObject* object) {
    if (className == QLatin1String("QPlainTextEdit") && object->isWidgetType()) {
        return new OpaqueEditor(static_cast<QWidget*>(object));
    }
    return nullptr;
}

// An editable text control that publishes its text and selection, in UTF-16 units as Qt does,
// through the text interface alone.
class ReadableEditor : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReadableEditor(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.multiLine = true;
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? editor()->toPlainText() : QAccessibleWidget::text(kind);
    }

    void selection(int index, int* start, int* end) const override {
        const QTextCursor cursor = editor()->textCursor();
        const bool any = index == 0 && cursor.hasSelection();
        *start = any ? cursor.selectionStart() : 0;
        *end = any ? cursor.selectionEnd() : 0;
    }
    int selectionCount() const override { return editor()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int /*index*/) override { setCursorPosition(cursorPosition()); }
    void setSelection(int /*index*/, int start, int end) override {
        QTextCursor cursor = editor()->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        editor()->setTextCursor(cursor);
    }
    int cursorPosition() const override { return editor()->textCursor().position(); }
    void setCursorPosition(int position) override {
        QTextCursor cursor = editor()->textCursor();
        cursor.setPosition(position);
        editor()->setTextCursor(cursor);
    }
    QString text(int start, int end) const override {
        return editor()->toPlainText().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(editor()->toPlainText().size()); }
    QRect characterRect(int /*offset*/) const override {
        const QRect caret = editor()->cursorRect();
        return {editor()->viewport()->mapToGlobal(caret.topLeft()), caret.size()};
    }
    int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
    void scrollToSubstring(int /*start*/, int /*end*/) override {}
    QString attributes(int /*offset*/, int* start, int* end) const override {
        *start = 0;
        *end = 0;
        return {};
    }

private:
    QPlainTextEdit* editor() const { return static_cast<QPlainTextEdit*>(widget()); }
};

QAccessibleInterface* readableEditors(const QString& className, QObject* object) {
    if (className == QLatin1String("QPlainTextEdit") && object->isWidgetType()) {
        return new ReadableEditor(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication application(argc, argv);
    // The name the accessibility bus gives the application, unlike its command's.
    QApplication::setApplicationName(QStringLiteral("Plain Field"));
    QStringList arguments = QApplication::arguments().mid(1);
    const bool readable = arguments.value(0) == QLatin1String("--read-only-interface");
    const bool open = readable || arguments.value(0) == QLatin1String("--open");
    OpaqueEditor::staysActive = arguments.value(0) == QLatin1String("--stays-active");
    if (open || OpaqueEditor::staysActive) {
        arguments.removeFirst();
    }
    if (readable) {
        QAccessible::installFactory(&readableEditors);
    } else if (!open) {
        QAccessible::installFactory(&opaqueEditors);
    }
    int labels = 0;
    int busy = 0;
    bool busyWhenSignalled = false;
    while (arguments.value(0) == QLatin1String("--labels") ||
           arguments.value(0) == QLatin1String("--busy") ||
           arguments.value(0) == QLatin1String("--busy-when-signalled")) {
        const QString name = arguments.takeFirst();
        busyWhenSignalled = busyWhenSignalled || name == QLatin1String("--busy-when-signalled");
        int& option = name == QLatin1String("--labels") ? labels : busy;
        option = arguments.takeFirst().toInt();
    }
    if (busyWhenSignalled) {
        std::signal(SIGUSR1, [](int) { signalled = 1; });
    }
    // The window first: the field may be inside it, and must go before it.
    QScrollArea window;
    QPlainTextEdit field;
    if (labels > 0) {
        auto* rows = new QWidget;
        auto* column = new QVBoxLayout(rows);
        QWidget* row = nullptr;
        for (int number = 0; number < labels; ++number) {
            if (number % 20 == 0) {
                row = new QWidget;
                new QHBoxLayout(row);
                column->addWidget(row);
            }
            row->layout()->addWidget(new QLabel(QStringLiteral("label %1").arg(number)));
        }
        // As deep in the tree as the labels, and after all of them.
        row->layout()->addWidget(&field);
        window.setWidget(rows);
        // The keyboard goes to the field, not to the area that scrolls it.
        window.setFocusPolicy(Qt::NoFocus);
        window.resize(480, 400);
        window.show();
    }
    QTimer burner;
    QObject::connect(&burner, &QTimer::timeout, [&burner, &field, busy, busyWhenSignalled] {
        if (busyWhenSignalled && !signalled) {
            return;
        }
        if (burner.interval() != 0) {
            burner.setInterval(0);
            field.setWindowTitle(field.windowTitle() + QStringLiteral(" (busy)"));
        }
        QElapsedTimer burning;
        burning.start();
        while (burning.elapsed() < busy) {
        }
    });
    if (busy > 0) {
        // Until it is signalled, it only looks now and then.
        burner.start(busyWhenSignalled ? 20 : 0);
    }
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
    if (labels == 0) {
        field.resize(480, 200);
        field.show();
    }
    field.setFocus();
    return QApplication::exec();
}
