// Capture and replacement through AT-SPI against real applications on a private desktop: the
// text bridge over the Linux backends, exactly as the application wires it; and the direct edit.
#include "integration/desktop/DesktopApplications.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeyEvents.h"
#include "platform/linux/XcbClipboard.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"
#include "textbridge/TextBridge.h"
#include "textbridge/TextBridgeError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using test::xdotool;

// An accented letter and an emoji (a surrogate pair) before the word that gets selected.
const QString kDraft = u"Caf\u00e9 \U0001F600 cr\u00e8me and more"_s;

class AtspiCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(workspace, nullptr);
        ASSERT_NE(keys, nullptr);
        ASSERT_NE(accessibility, nullptr);
        ASSERT_NE(xcbClipboard, nullptr);
        ASSERT_TRUE(accessibility->isTrusted());
    }

    // Waits until the focused element of the application `pid`, as AT-SPI reports it, has
    // `expected` as `attribute`: the user acts once the field has the keyboard.
    void awaitFocused(qint32 pid, Accessibility::Attribute attribute, const QString& expected) {
        test::pollUntil(
            [&] {
                const auto focused =
                    accessibility->elementAttribute(accessibility->applicationElement(pid),
                                                    Accessibility::Attribute::focusedElement);
                return focused && accessibility->stringAttribute(*focused, attribute) == expected;
            },
            20ms, test::kDesktopPatience);
    }

    // Opens `text` in mousepad, waits until its text field is what AT-SPI reports focused.
    qint32 openEditor(const QString& text) {
        QFile file(directory.filePath(u"draft.txt"_s));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        const qint32 editor = applications.startInFront(u"mousepad"_s, {file.fileName()});
        awaitFocused(editor, Accessibility::Attribute::value, text);
        return editor;
    }

    // Selects `length` characters (as the user sees them) after `before` of them.
    static void selectWithKeys(int before, int length) {
        QStringList keys{u"key"_s, u"ctrl+Home"_s};
        for (int step = 0; step < before + length; ++step) {
            keys << (step < before ? u"Right"_s : u"shift+Right"_s);
        }
        xdotool(keys);
    }

    TextSelection capture() { return test::runToCompletion(bridge.captureSelection()); }

    QTemporaryDir directory;
    std::unique_ptr<X11Workspace> workspace = X11Workspace::open();
    std::unique_ptr<XTestKeyEvents> keys = XTestKeyEvents::open();
    std::unique_ptr<AtspiAccessibility> accessibility = AtspiAccessibility::open();
    std::unique_ptr<XcbClipboard> xcbClipboard = XcbClipboard::open();
    XcbClipboard& clipboard = *xcbClipboard;
    SystemClock clock;
    TextBridge bridge{{*accessibility, *workspace, clipboard, *keys, clock}};
    test::DesktopApplications applications{*workspace};
};

// In either toolkit a selection made with keys comes back exactly, in UTF-16 units (Qt counts
// in them, GTK in code points), and is replaced through a paste: the field then reads the
// replacement, the clipboard is the user's again, and a clipboard manager saw the paste text
// marked secret and never what the user copied.
TEST_F(AtspiCaptureTest, ASelectionMadeWithKeysComesBackExactlyAndIsPastedOver) {
    const QString users = u"the user's own words"_s;
    QProcess manager;
    manager.start(QStringLiteral(TIDYWORD_CLIPBOARD_PEER), {u"watch"_s});
    ASSERT_TRUE(manager.waitForReadyRead(test::kDesktopPatience.count()));
    ASSERT_EQ(manager.readLine().trimmed(), "ready");
    QList<QJsonObject> seen;  // what the manager saw, in order
    const auto managerSees = [&](const QString& text) {
        while (manager.canReadLine() || manager.waitForReadyRead(10)) {
            seen << QJsonDocument::fromJson(manager.readLine()).object();
        }
        return !seen.isEmpty() && seen.back().value(u"text").toString() == text;
    };
    for (const QString& appName : {u"Mousepad"_s, u"Plain Field"_s}) {
        SCOPED_TRACE(appName.toStdString());
        const qint32 source = appName == u"Mousepad"_s
                                  ? openEditor(kDraft)
                                  : applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD),
                                                              {u"--open"_s, kDraft});
        awaitFocused(source, Accessibility::Attribute::value, kDraft);
        ASSERT_TRUE(clipboard.setString(users));
        test::pollUntil([&] { return managerSees(users); }, 20ms, test::kDesktopPatience);
        selectWithKeys(7, 5);  // "Café 😀 " is seven characters on screen, eight UTF-16 units
        const TextSelection selection = capture();
        EXPECT_EQ(selection.text, u"cr\u00e8me"_s);
        EXPECT_EQ(selection.range, (TextRange{8, 5}));
        EXPECT_EQ(selection.originalValue, kDraft);
        EXPECT_TRUE(selection.canReplace);
        EXPECT_EQ(selection.processIdentifier, source);
        EXPECT_EQ(selection.sourceAppName, appName);
        // An application's tree ends at the application, not at the desktop above it.
        EXPECT_FALSE(accessibility->elementAttribute(selection.application,
                                                     Accessibility::Attribute::parent));
        // The window the field is in: mousepad's names the file, Qt's has its own title.
        const QString window = appName == u"Mousepad"_s ? u"draft.txt"_s : u"Plain field"_s;
        EXPECT_TRUE(selection.windowTitle.value_or(QString()).contains(window))
            << selection.windowTitle.value_or(u"none"_s).toStdString();
        ASSERT_TRUE(selection.anchorRect.has_value());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_GT(selection.anchorRect->width, 0);
        EXPECT_GT(selection.anchorRect->height, 0);
        EXPECT_TRUE(screen.contains(QPoint(selection.anchorRect->x, selection.anchorRect->y)));

        const qsizetype before = seen.size();
        test::runToCompletion(bridge.replace(selection, u"CR\u00c8ME"_s));
        awaitFocused(source, Accessibility::Attribute::value,
                     u"Caf\u00e9 \U0001F600 CR\u00c8ME and more"_s);
        EXPECT_EQ(clipboard.string(), users);
        // The manager reads the restored contents too.
        test::pollUntil([&] { return managerSees(users); }, 20ms, test::kDesktopPatience);
        const auto paste = std::find_if(seen.cbegin() + before, seen.cend(), [](const auto& line) {
            return line.value(u"text").toString() == u"CR\u00c8ME"_s;
        });
        ASSERT_NE(paste, seen.cend()) << "the manager never saw the paste text";
        EXPECT_TRUE(paste->value(u"secret").toBool());
        for (const QJsonObject& line : seen) {
            EXPECT_TRUE(line.value(u"text").toString() != users || !line.value(u"secret").toBool());
        }
        applications.stop(source);
    }
    manager.kill();
    manager.waitForFinished();
}

TEST_F(AtspiCaptureTest, AFieldThatHidesItsSelectionIsCopiedWithTheClipboardRestored) {
    const QByteArray image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR-bytes-of-a-picture", 30);
    clipboard.writeItems({{{u"text/plain"_s, "theirs"_ba}, {u"image/png"_s, image}}});
    const qint32 field =
        applications.startInFront(QStringLiteral(TIDYWORD_PLAIN_FIELD), {u"Copy me if you can"_s});
    awaitFocused(field, Accessibility::Attribute::role, u"AXTextArea"_s);
    selectWithKeys(5, 2);

    const TextSelection selection = capture();
    EXPECT_EQ(selection.text, u"me"_s);
    EXPECT_FALSE(selection.canReplace);  // nothing to prove a replacement against
    const QList<QStringList> types = clipboard.itemTypes().value_or(QList<QStringList>{});
    ASSERT_EQ(types.size(), 1);
    EXPECT_EQ(clipboard.data(0, u"image/png"_s, 1 << 20), image);
    EXPECT_EQ(clipboard.data(0, u"text/plain"_s, 1 << 20), "theirs"_ba);
}

TEST_F(AtspiCaptureTest, TextTypedAfterTheCaptureStopsTheReplacement) {
    openEditor(kDraft);
    selectWithKeys(0, 4);
    const TextSelection selection = capture();
    ASSERT_EQ(selection.range, (TextRange{0, 4}));  // a selection from the very start too
    xdotool({u"key"_s, u"End"_s});
    xdotool({u"type"_s, u"!"_s});
    EXPECT_EQ(test::codeThrownBy<TextBridgeError>(
                  [&] { test::runToCompletion(bridge.replace(selection, u"X"_s)); }),
              TextBridgeError::staleSelection);
}

TEST_F(AtspiCaptureTest, AnEditorStartedAgainIsNotTheSource) {
    const qint32 first = openEditor(kDraft);
    selectWithKeys(7, 5);
    const TextSelection selection = capture();
    applications.stop(first);
    openEditor(kDraft);
    selectWithKeys(7, 5);
    EXPECT_EQ(test::codeThrownBy<TextBridgeError>(
                  [&] { test::runToCompletion(bridge.replace(selection, u"X"_s)); }),
              TextBridgeError::sourceClosed);
}

TEST_F(AtspiCaptureTest, APasswordFieldIsNeverRead) {
    const qint32 dialog = applications.startInFront(u"zenity"_s, {u"--password"_s});
    // The user types once the field has the keyboard, as the accessibility tree shows it.
    awaitFocused(dialog, Accessibility::Attribute::role, u"AXTextField"_s);
    xdotool({u"type"_s, u"hunter2"_s});
    EXPECT_EQ(test::codeThrownBy<TextBridgeError>([this] { capture(); }),
              TextBridgeError::secureField);
}

// However large or busy the application, no call holds Tidyword's event loop past its deadline
// (while held, Tidyword cannot even serve the clipboard it owns): a timer ticking on that loop
// sees no longer stall. The backend opens after the field took the focus, so it has heard
// nothing and must look: GTK answers a collection query, Qt has to be walked.
TEST_F(AtspiCaptureTest, NoCallHoldsTheEventLoopPastItsDeadline) {
    using enum Accessibility::Attribute;
    constexpr auto kRoomForTheLastReply = 250ms;
    const QString gtk = QStringLiteral(TIDYWORD_CROWDED_WINDOW);
    const QString qt = QStringLiteral(TIDYWORD_PLAIN_FIELD);
    const struct {
        QString program;
        QStringList arguments;
        bool foundInTime;
    } cases[] = {
        {gtk, {u"5000"_s}, true},
        {gtk, {u"5000"_s, u"--busy"_s, u"5"_s}, true},
        // Small enough to walk in time: the walk finds the field, not the viewport that forwards
        // the focus to it.
        {qt, {u"--open"_s, u"--labels"_s, u"1"_s, u"the field"_s}, true},
        {qt, {u"--open"_s, u"--labels"_s, u"5000"_s, u"the field"_s}, false},
        {qt, {u"--open"_s, u"--labels"_s, u"5000"_s, u"--busy"_s, u"5"_s, u"the field"_s}, false},
    };
    // Ending one of two backends in a process takes the other's focus events away from the
    // applications that start later (Qt's, at least): all of them end with the test.
    std::vector<std::unique_ptr<AtspiAccessibility>> backends;
    for (const auto& [program, arguments, foundInTime] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const qint32 source = applications.startInFront(program, arguments);
        awaitFocused(source, value, u"the field"_s);
        const auto& backend = backends.emplace_back(AtspiAccessibility::open());
        std::chrono::milliseconds longestStall{0};
        QElapsedTimer sinceTick;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, std::chrono::milliseconds(sinceTick.restart()));
        });
        ticks.start(10ms);
        sinceTick.start();
        const auto onATurnOfItsOwn = [](auto call) {
            auto result = call();
            test::processEventsFor(20ms);
            return result;
        };
        const auto application =
            onATurnOfItsOwn([&] { return backend->applicationElement(source); });
        const auto focused = [&] { return backend->elementAttribute(application, focusedElement); };
        const auto field = onATurnOfItsOwn(focused);
        // The field, or nothing at all when the deadline comes first; never another element.
        if (foundInTime || field) {
            EXPECT_EQ(field ? backend->stringAttribute(*field, value) : std::nullopt,
                      u"the field"_s);
        }

        // The checks before a paste, with the source behind another window.
        const auto captured = onATurnOfItsOwn(focused);
        const qint32 other = applications.startInFront(gtk, {u"0"_s});
        EXPECT_EQ(onATurnOfItsOwn(focused), captured);
        onATurnOfItsOwn([&] { return backend->elementAttribute(application, focusedWindow); });
        EXPECT_LT(longestStall, AtspiAccessibility::defaultTimeout + kRoomForTheLastReply);
        applications.stop(other);
        applications.stop(source);
    }
}

// The direct edit (the route of Wayland sessions; AT-SPI is the same on X11) against a Qt
// application at work. An edit makes several requests, and such an application answers each one
// only between its turns: however slowly it answers, the edit holds Tidyword's event loop no
// longer than its one deadline and the taking in of the last reply.
class AtspiTextEditingTest : public AtspiCaptureTest {};

TEST_F(AtspiTextEditingTest, NoEditHoldsTheEventLoopPastItsDeadline) {
    using Attribute = Accessibility::Attribute;
    constexpr auto kRoomForTheLastReply = 250ms;
    const qint32 source = applications.startInFront(
        QStringLiteral(TIDYWORD_PLAIN_FIELD),
        {u"--open"_s, u"--busy-when-signalled"_s, u"250"_s, u"the field"_s});
    awaitFocused(source, Attribute::value, u"the field"_s);
    const auto application = accessibility->applicationElement(source);
    const auto field = accessibility->elementAttribute(application, Attribute::focusedElement);
    ASSERT_TRUE(field.has_value());
    // From now on, each turn of its main loop takes half the deadline.
    ASSERT_EQ(::kill(source, SIGUSR1), 0);
    // The test reads with all the patience the edit does not have.
    accessibility->setMessagingTimeout(application, 10s);
    awaitFocused(source, Attribute::title, u"Plain field (busy)"_s);

    AtspiTextEditing editing;
    QElapsedTimer held;
    held.start();
    const bool edited = editing.replaceText(*field, {4, 5}, u"words"_s);
    EXPECT_LT(std::chrono::milliseconds(held.elapsed()),
              AtspiTextEditing::deadline + kRoomForTheLastReply);
    // Cut short, it refuses; whichever it says, the field agrees.
    EXPECT_EQ(accessibility->stringAttribute(*field, Attribute::value),
              edited ? u"the words"_s : u"the field"_s);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
