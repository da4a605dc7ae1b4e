// The seam to the accessibility service through which Tidyword reads other applications'
// interfaces: elements, typed attribute reads where any failure reads as "absent", bounds of a
// text range, settable tests. Each backend maps its own roles onto the names the text bridge
// compares: "AXTextArea", "AXTextField", "AXComboBox", "AXStaticText", and the subrole
// "AXSecureTextField".
#pragma once

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace tidyword::platform {

// A range of text in UTF-16 code units.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// A rectangle in screen points.
struct ScreenRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// An opaque handle on an interface object of another application. Two handles are equal when
// they denote the same interface object.
class AccessibleElement {
public:
    // What a backend keeps behind the handle.
    class Reference {
    public:
        virtual ~Reference() = default;
        virtual bool denotesSameObject(const Reference& other) const = 0;
    };

    AccessibleElement() = default;
    explicit AccessibleElement(std::shared_ptr<const Reference> reference)
        : reference_(std::move(reference)) {}

    bool isNull() const { return !reference_; }
    const Reference* reference() const { return reference_.get(); }

    friend bool operator==(const AccessibleElement& lhs, const AccessibleElement& rhs) {
        if (!lhs.reference_ || !rhs.reference_) {
            return !lhs.reference_ && !rhs.reference_;
        }
        return lhs.reference_->denotesSameObject(*rhs.reference_);
    }

private:
    std::shared_ptr<const Reference> reference_;
};

class Accessibility {
public:
    enum class Attribute {
        focusedElement,       // element (of an application element)
        focusedWindow,        // element (of an application element)
        value,                // string: the whole text of a text control
        selectedText,         // string
        selectedRange,        // range
        role,                 // string, as named above
        subrole,              // string
        parent,               // element
        title,                // string (of a window)
        document,             // string (of a window): the document it shows, when it tells
        enabled,              // boolean
        editable,             // boolean
        protectedContent,     // boolean: a password or otherwise protected field
        manualAccessibility,  // boolean, settable on an application element
    };

    virtual ~Accessibility() = default;

    // True exactly when this process may use the accessibility service.
    virtual bool isTrusted() = 0;
    // The element of the application with that process identifier.
    virtual AccessibleElement applicationElement(qint32 processIdentifier) = 0;
    // Later requests to this application give up after `timeout`.
    virtual void setMessagingTimeout(const AccessibleElement& application,
                                     std::chrono::milliseconds timeout) = 0;

    // Reads of one attribute: the value when the read succeeds and has the kind asked for, else
    // none. A failed read is never an error.
    virtual std::optional<AccessibleElement> elementAttribute(const AccessibleElement& element,
                                                              Attribute attribute) = 0;
    virtual std::optional<QString> stringAttribute(const AccessibleElement& element,
                                                   Attribute attribute) = 0;
    virtual std::optional<bool> booleanAttribute(const AccessibleElement& element,
                                                 Attribute attribute) = 0;
    virtual std::optional<TextRange> rangeAttribute(const AccessibleElement& element,
                                                    Attribute attribute) = 0;
    // The rectangle of `range` in top-left-origin screen points (y downwards from the first
    // screen's top edge), or none.
    virtual std::optional<ScreenRect> boundsForRange(const AccessibleElement& element,
                                                     TextRange range) = 0;
    // Whether the attribute can be set; none when the question itself fails.
    virtual std::optional<bool> isSettable(const AccessibleElement& element,
                                           Attribute attribute) = 0;
    // Sets a boolean attribute; whether it took is not reported.
    virtual void setBoolean(const AccessibleElement& element, Attribute attribute, bool value) = 0;
};

}  // namespace tidyword::platform
