// How long the text bridge takes against a real editor on a Wayland desktop, where the front
// application comes from the accessibility bus: the front application alone, a capture from
// mousepad, a verified direct edit (validation, activation, the edit, read-back), and where the
// desktop portal's keys and data control serve, a verified paste (the same, with the clipboard
// saved, written and restored, and the keys through a portal session), or where the portal lends
// its clipboard to that session, a paste through both. Run it on a desktop of its own:
//   bench/textbridge-wayland.sh <build folder>
#include "Await.h"
#include "EditorDraft.h"
#include "Figures.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/AtspiWorkspace.h"
#include "platform/linux/DataControlClipboard.h"
#include "platform/linux/PortalClipboard.h"
#include "platform/linux/PortalKeyEvents.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/UnavailableDesktop.h"
#include "textbridge/TextBridge.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <qcoro/qcorotask.h>

#include <atspi/atspi.h>

#include <cstdio>
#include <optional>

namespace {

using namespace tidyword;
using namespace tidyword::platform::linux_desktop;
using namespace Qt::Literals::StringLiterals;
using Attribute = platform::Accessibility::Attribute;

constexpr int kFrontReads = 50;
constexpr int kCaptures = 20;
constexpr int kReplacements = 10;

using bench::await;

// Selects the whole text of the editor's focused field, as a user's mouse would: no client can
// press keys into another on Wayland.
bool selectAll(AtspiAccessibility& accessibility, qint32 editor) {
    const auto field = accessibility.elementAttribute(accessibility.applicationElement(editor),
                                                      Attribute::focusedElement);
    AtspiText* text = field ? atspi_accessible_get_text_iface(unwrap(*field)) : nullptr;
    if (!text) {
        return false;
    }
    GError* error = nullptr;
    const gint count = atspi_text_get_character_count(text, &error);
    // GTK changes a selection, but makes one only when asked to add it.
    const bool selected =
        !failed(error) && (atspi_text_set_selection(text, 0, 0, count, &error) ||
                           (!failed(error) && atspi_text_add_selection(text, 0, count, &error)));
    failed(error);
    g_object_unref(text);
    return selected;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    auto workspace = AtspiWorkspace::open();
    auto accessibility = AtspiAccessibility::open();
    if (!workspace || !accessibility || !accessibility->isTrusted()) {
        std::fprintf(stderr, "needs a Wayland desktop with the accessibility bus enabled\n");
        return 1;
    }
    QtClipboard clipboard;
    UnavailableDesktop noKeys;
    AtspiTextEditing editing;
    platform::SystemClock clock;
    TextBridge bridge({*accessibility, *workspace, clipboard, noKeys, clock, &editing});

    QTemporaryDir directory;
    const QString draft = tidyword::bench::writeEditorDraft(directory);
    QProcess editor;
    editor.start(u"mousepad"_s, {draft});
    editor.waitForStarted();
    const auto editorPid = static_cast<qint32>(editor.processId());
    for (int attempt = 0; attempt < 500; ++attempt) {
        const auto front = workspace->frontmostApplication();
        if (front && front->processIdentifier == editorPid) {
            break;
        }
        QThread::msleep(20);
        application.processEvents();
    }
    QThread::msleep(500);
    if (!selectAll(*accessibility, editorPid)) {
        std::fprintf(stderr, "could not select the editor's text\n");
        return 1;
    }

    QList<double> fronts;
    for (int run = 0; run < kFrontReads; ++run) {
        QElapsedTimer timer;
        timer.start();
        const auto front = workspace->frontmostApplication();
        fronts << tidyword::bench::millisecondsSince(timer);
        if (!front || front->processIdentifier != editorPid) {
            return 1;
        }
    }
    QList<double> captures;
    for (int run = 0; run < kCaptures; ++run) {
        QElapsedTimer timer;
        timer.start();
        const TextSelection selection = await(bridge.captureSelection());
        captures << tidyword::bench::millisecondsSince(timer);
        if (selection.text.isEmpty()) {
            return 1;
        }
    }
    // Replacements through `through`, each of the whole text, alternately in capitals and not.
    const auto replacements = [&](TextBridge& through) -> std::optional<QList<double>> {
        QList<double> times;
        for (int run = 0; run < kReplacements; ++run) {
            if (!selectAll(*accessibility, editorPid)) {
                return std::nullopt;
            }
            QThread::msleep(100);
            const TextSelection selection = await(through.captureSelection());
            const QString replacement =
                run % 2 == 0 ? selection.text.toUpper() : selection.text.toLower();
            QElapsedTimer timer;
            timer.start();
            await(through.replace(selection, replacement));
            times << tidyword::bench::millisecondsSince(timer);
        }
        return times;
    };
    const auto edits = replacements(bridge);
    if (!edits) {
        return 1;
    }
    tidyword::bench::report("front application", fronts);
    tidyword::bench::report("capture", captures);
    tidyword::bench::report("direct-edit replacement", *edits);
    auto portalKeys = PortalKeyEvents::open(*workspace);
    auto dataControl = DataControlClipboard::open();
    if (portalKeys && dataControl) {
        TextBridge pasting({*accessibility, *workspace, *dataControl, *portalKeys, clock});
        const auto pastes = replacements(pasting);
        if (!pastes) {
            return 1;
        }
        tidyword::bench::report("paste replacement", *pastes);
    }
    // GNOME's route: the portal's clipboard, lent to the keys' session of each paste.
    auto portalClipboard = dataControl ? nullptr : PortalClipboard::open();
    auto lendingKeys = portalClipboard
                           ? PortalKeyEvents::open(*workspace, nullptr, {}, portalClipboard.get())
                           : nullptr;
    if (lendingKeys) {
        TextBridge pasting({*accessibility, *workspace, *portalClipboard, *lendingKeys, clock});
        const auto pastes = replacements(pasting);
        if (!pastes) {
            return 1;
        }
        tidyword::bench::report("portal-clipboard paste replacement", *pastes);
    }
    editor.kill();
    editor.waitForFinished();
    return 0;
}
