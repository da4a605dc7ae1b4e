// Reading and pressing another application's controls through AT-SPI, as a screen reader
// does: the end-to-end tests see Tidyword's windows only this way, and find a control as its
// user would, by its role and what it reads. (Qt 6.4's bridge exposes no accessible id.)
#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <atspi/atspi.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace tidyword::test {

class AccessibleUi {
public:
    explicit AccessibleUi(qint64 processIdentifier) : pid_(processIdentifier) {}

    // Whether a showing control of `role` has a name that `matches`.
    bool shows(AtspiRole role, const std::function<bool(const QString&)>& matches) {
        return visit([&](AtspiAccessible* accessible) {
            return atspi_accessible_get_role(accessible, nullptr) == role &&
                   matches(nameOf(accessible)) && has(accessible, ATSPI_STATE_SHOWING);
        });
    }

    // Whether a showing control of `role` reads `name`.
    bool shows(AtspiRole role, const QString& name) {
        return shows(role, [&name](const QString& candidate) { return candidate == name; });
    }

    // Presses the showing button named `name`; false when there is none.
    bool press(const QString& name) {
        bool pressed = false;
        visit([&](AtspiAccessible* accessible) {
            if (atspi_accessible_get_role(accessible, nullptr) != ATSPI_ROLE_PUSH_BUTTON ||
                nameOf(accessible) != name || !has(accessible, ATSPI_STATE_SHOWING)) {
                return false;
            }
            const Owned<AtspiAction> action(atspi_accessible_get_action_iface(accessible));
            pressed = action && atspi_action_do_action(action.get(), 0, nullptr);
            return action != nullptr;
        });
        return pressed;
    }

    // The text of the application's first showing editable text, or none.
    std::optional<QString> editableText() {
        std::optional<QString> found;
        withEditableText([&](AtspiText* text) { found = allOf(text); });
        return found;
    }

    // Selects [start, end) of the application's first showing editable text, in the toolkit's
    // own offsets, as a user's mouse would (an `end` of -1 is the end of the text); false when
    // there is none or it refuses.
    bool selectText(gint start = 0, gint end = -1) {
        bool selected = false;
        withEditableText([&](AtspiText* text) {
            end = end < 0 ? atspi_text_get_character_count(text, nullptr) : end;
            // GTK changes a selection, but makes one only when asked to add it.
            selected = atspi_text_get_n_selections(text, nullptr) > 0
                           ? atspi_text_set_selection(text, 0, start, end, nullptr)
                           : atspi_text_add_selection(text, start, end, nullptr);
        });
        return selected;
    }

    // What a screen reader can read of one showing control.
    struct Control {
        AtspiRole role;
        QString name;
        QString description;
        std::optional<QString> text;  // through the Text interface
        QRect extents;                // on the screen
        bool focusable;

        friend bool operator==(const Control&, const Control&) = default;
    };

    // A showing window with its showing controls in reading order.
    struct Window {
        Control window;
        QList<Control> controls;

        friend bool operator==(const Window&, const Window&) = default;
    };

    QList<Window> windows() {
        QList<Window> result;
        forEachWindow([&](AtspiAccessible* window) {
            if (has(window, ATSPI_STATE_SHOWING)) {
                result.append({read(window), {}});
                readDescendants(window, result.back().controls);
            }
        });
        return result;
    }

    // Whether one of the application's windows is the active one, as the application itself
    // has it: a window of its that the desktop deactivated stays active to it until it hears.
    bool hasActiveWindow() {
        bool active = false;
        forEachWindow([&](AtspiAccessible* window) {
            // Asked anew: the library's copy of the states follows events not listened to.
            atspi_accessible_clear_cache(window);
            active = active || has(window, ATSPI_STATE_ACTIVE);
        });
        return active;
    }

private:
    struct Unref {
        void operator()(gpointer object) const { g_object_unref(object); }
    };
    template <typename T>
    using Owned = std::unique_ptr<T, Unref>;

    static QString taken(gchar* characters) {
        QString result = QString::fromUtf8(characters);
        g_free(characters);
        return result;
    }
    static QString allOf(AtspiText* text) {
        return taken(
            atspi_text_get_text(text, 0, atspi_text_get_character_count(text, nullptr), nullptr));
    }
    static QString nameOf(AtspiAccessible* accessible) {
        return taken(atspi_accessible_get_name(accessible, nullptr));
    }
    static bool has(AtspiAccessible* accessible, AtspiStateType state) {
        const Owned<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
        return states && atspi_state_set_contains(states.get(), state);
    }

    static Control read(AtspiAccessible* accessible) {
        Control control{atspi_accessible_get_role(accessible, nullptr),
                        nameOf(accessible),
                        taken(atspi_accessible_get_description(accessible, nullptr)),
                        {},
                        {},
                        has(accessible, ATSPI_STATE_FOCUSABLE)};
        if (const Owned<AtspiText> text{atspi_accessible_get_text_iface(accessible)}) {
            control.text = allOf(text.get());
        }
        if (const Owned<AtspiComponent> component{
                atspi_accessible_get_component_iface(accessible)}) {
            if (AtspiRect* extents = atspi_component_get_extents(
                    component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr)) {
                control.extents = QRect(extents->x, extents->y, extents->width, extents->height);
                g_free(extents);
            }
        }
        return control;
    }

    // Depth first, as a screen reader reads: each control before what it contains.
    static void readDescendants(AtspiAccessible* parent, QList<Control>& controls) {
        const gint count = atspi_accessible_get_child_count(parent, nullptr);
        for (gint index = 0; index < count; ++index) {
            const Owned<AtspiAccessible> child(
                atspi_accessible_get_child_at_index(parent, index, nullptr));
            if (child && has(child.get(), ATSPI_STATE_SHOWING)) {
                controls.append(read(child.get()));
                readDescendants(child.get(), controls);
            }
        }
    }

    // The application's root; none while it is not on the bus.
    Owned<AtspiAccessible> findApplication() {
        const Owned<AtspiAccessible> desktop(atspi_get_desktop(0));
        const gint applications = atspi_accessible_get_child_count(desktop.get(), nullptr);
        for (gint index = 0; index < applications; ++index) {
            Owned<AtspiAccessible> application(
                atspi_accessible_get_child_at_index(desktop.get(), index, nullptr));
            if (application &&
                atspi_accessible_get_process_id(application.get(), nullptr) == pid_) {
                return application;
            }
        }
        return nullptr;
    }

    void forEachWindow(const std::function<void(AtspiAccessible*)>& use) {
        const Owned<AtspiAccessible> application = findApplication();
        const gint count =
            application ? atspi_accessible_get_child_count(application.get(), nullptr) : 0;
        for (gint index = 0; index < count; ++index) {
            if (const Owned<AtspiAccessible> window{
                    atspi_accessible_get_child_at_index(application.get(), index, nullptr)}) {
                use(window.get());
            }
        }
    }

    void withEditableText(const std::function<void(AtspiText*)>& use) {
        visit([&](AtspiAccessible* accessible) {
            if (!has(accessible, ATSPI_STATE_EDITABLE) || !has(accessible, ATSPI_STATE_SHOWING)) {
                return false;
            }
            const Owned<AtspiText> text(atspi_accessible_get_text_iface(accessible));
            if (text) {
                use(text.get());
            }
            return text != nullptr;
        });
    }

    // Breadth first through the application's tree until `found` says stop; whether it did.
    bool visit(const std::function<bool(AtspiAccessible*)>& found) {
        std::deque<Owned<AtspiAccessible>> queue;
        queue.push_back(findApplication());
        for (int visited = 0; !queue.empty() && queue.front() && visited < 5000; ++visited) {
            const Owned<AtspiAccessible> current = std::move(queue.front());
            queue.pop_front();
            if (found(current.get())) {
                return true;
            }
            const gint children = atspi_accessible_get_child_count(current.get(), nullptr);
            for (gint index = 0; index < children; ++index) {
                if (AtspiAccessible* child =
                        atspi_accessible_get_child_at_index(current.get(), index, nullptr)) {
                    queue.emplace_back(child);
                }
            }
        }
        return false;
    }

    qint64 pid_;
};

}  // namespace tidyword::test
