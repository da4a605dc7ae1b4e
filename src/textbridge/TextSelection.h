// What a capture learned about the selection and its source: the text, where to show the popup,
// whether it may be replaced, and everything a replacement must find unchanged.
#pragma once

#include "platform/Accessibility.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tidyword {

struct TextSelection {
    QString text;  // exactly as captured, never empty or blank
    QString sourceAppName;
    // The selection's bounds, bottom-left-origin screen points; none when unknown.
    std::optional<platform::ScreenRect> anchorRect;
    bool canReplace = false;
    qint32 processIdentifier = 0;
    std::optional<QDateTime> launchDate;
    platform::AccessibleElement application;
    platform::AccessibleElement element;
    std::optional<platform::AccessibleElement> window;
    std::optional<QString> windowTitle;
    std::optional<QString> documentIdentifier;
    std::optional<platform::TextRange> range;  // UTF-16 units
    // The element's whole text at capture; none when unreadable or too long to keep.
    std::optional<QString> originalValue;
};

}  // namespace tidyword
