// A simulated desktop with one editor in front, its draft "Not bad at all" with "bad" selected,
// and a user's clipboard holding two items of several types (one of them binary).
#pragma once

#include "platform/sim/SimulatedDesktop.h"
#include "platform/sim/VirtualClock.h"
#include "support/Errors.h"
#include "support/Printers.h"
#include "support/VirtualTime.h"
#include "textbridge/TextBridge.h"
#include "textbridge/TextBridgeError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace tidyword::test {

using platform::ScreenRect;
using platform::TextRange;
using platform::sim::AttributeValue;
using platform::sim::ElementId;
using platform::sim::SimulatedDesktop;
using Attribute = platform::Accessibility::Attribute;
using namespace std::chrono_literals;

inline constexpr qint32 kEditor = 42;
inline const QString kPlainText = QString::fromUtf16(SimulatedDesktop::plainTextType);

// Clipboard contents with each item's types in one order: a restore need not keep theirs.
inline QList<SimulatedDesktop::ScriptedItem> normalized(
    QList<SimulatedDesktop::ScriptedItem> items) {
    for (auto& item : items) {
        std::sort(item.begin(), item.end(),
                  [](const auto& lhs, const auto& rhs) { return lhs.first < rhs.first; });
    }
    return items;
}

struct EditorDesktop {
    EditorDesktop() {
        using namespace Qt::Literals::StringLiterals;
        application =
            desktop.addApplication({kEditor, u"com.example.editor"_s, u"Editor"_s, launched});
        window = desktop.addElement(kEditor, {{Attribute::title, u"Draft"_s},
                                              {Attribute::document, u"file:///draft.txt"_s}});
        field = desktop.addElement(kEditor, {{Attribute::role, u"AXTextArea"_s},
                                             {Attribute::parent, window},
                                             {Attribute::editable, true}});
        desktop.setText(field, u"Not bad at all"_s, {4, 3});
        desktop.setBounds(field, ScreenRect{100, 200, 50, 20});
        desktop.setScreens({ScreenRect{0, 0, 1440, 1000}});
        desktop.focus(kEditor, field, window);
        desktop.setFrontmost(kEditor);
        desktop.writeClipboard(usersClipboard);
    }

    TextSelection capture(CancellationToken cancellation = {}) {
        return runOnVirtualTime(bridge.captureSelection(std::move(cancellation)), clock);
    }

    // The error the capture ends with, or none.
    std::optional<TextBridgeError::Code> captureError() {
        return codeThrownBy<TextBridgeError>([this] { capture(); });
    }

    void replace(const TextSelection& selection, const QString& replacement,
                 CancellationToken cancellation = {}) {
        runOnVirtualTime(bridge.replace(selection, replacement, std::move(cancellation)), clock);
    }

    // Sets one attribute of the field; none removes it.
    void set(Attribute attribute, std::optional<AttributeValue> value) {
        desktop.setAttribute(field, attribute, std::move(value));
    }

    // Whether the clipboard holds the user's items again (or still).
    bool clipboardIsTheUsers() const {
        return normalized(desktop.clipboard()) == normalized(usersClipboard);
    }

    // A text control that hides its selection from the accessibility service, so that only
    // the copy shortcut can get it.
    void hideSelection(const QString& role = QStringLiteral("AXStaticText")) {
        desktop.setAttribute(field, Attribute::role, role);
        desktop.makeUnreadable(field, Attribute::selectedText);
        desktop.makeUnreadable(field, Attribute::value);
        desktop.makeUnreadable(field, Attribute::selectedRange);
    }

    const QDateTime launched{QDate(2026, 12, 6), QTime(8, 0), Qt::UTC};
    const QList<SimulatedDesktop::ScriptedItem> usersClipboard{
        {{kPlainText, QByteArray("user's text")},
         {QStringLiteral("text/html"), QByteArray("<b>user's text</b>")}},
        {{QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\xff", 11)}},
    };
    platform::sim::VirtualClock clock;
    SimulatedDesktop desktop{clock};
    ElementId application = 0;
    ElementId window = 0;
    ElementId field = 0;
    TextBridge bridge{{desktop, desktop, desktop, desktop, clock}};
};

}  // namespace tidyword::test
