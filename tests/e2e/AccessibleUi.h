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
#include <optional>

namespace tidyword::test {

class AccessibleUi {
public:
    explicit AccessibleUi(qint64 processIdentifier) : pid_(processIdentifier) {}

    // Whether a showing control of `role` has a name that `matches`.
    bool shows(AtspiRole role, const std::function<bool(const QString&)>& matches) {
        bool found = false;
        visit([&](AtspiAccessible* accessible) {
            found = atspi_accessible_get_role(accessible, nullptr) == role &&
                    matches(nameOf(accessible)) && showing(accessible);
            return found;
        });
        return found;
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
                nameOf(accessible) != name || !showing(accessible)) {
                return false;
            }
            AtspiAction* action = atspi_accessible_get_action_iface(accessible);
            if (!action) {
                return false;
            }
            pressed = atspi_action_do_action(action, 0, nullptr);
            g_object_unref(action);
            return true;
        });
        return pressed;
    }

    // The text of the application's first showing editable text, or none.
    std::optional<QString> editableText() {
        std::optional<QString> found;
        withEditableText([&](AtspiText* text) {
            gchar* characters = atspi_text_get_text(
                text, 0, atspi_text_get_character_count(text, nullptr), nullptr);
            found = QString::fromUtf8(characters);
            g_free(characters);
        });
        return found;
    }

    // Selects all of the application's first showing editable text, as Ctrl+A would; false
    // when there is none or it refuses.
    bool selectAllText() {
        bool selected = false;
        withEditableText([&](AtspiText* text) {
            const gint length = atspi_text_get_character_count(text, nullptr);
            selected = atspi_text_get_n_selections(text, nullptr) > 0
                           ? atspi_text_set_selection(text, 0, 0, length, nullptr)
                           : atspi_text_add_selection(text, 0, length, nullptr);
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
        AtspiAccessible* application = findApplication();
        const gint count = application ? atspi_accessible_get_child_count(application, nullptr) : 0;
        for (gint index = 0; index < count; ++index) {
            AtspiAccessible* window =
                atspi_accessible_get_child_at_index(application, index, nullptr);
            if (window && showing(window)) {
                result.append({read(window), {}});
                readDescendants(window, result.back().controls);
            }
            if (window) {
                g_object_unref(window);
            }
        }
        if (application) {
            g_object_unref(application);
        }
        return result;
    }

    // Whether one of the application's windows is the active one, as the application itself
    // has it: a window of its that the desktop deactivated stays active to it until it hears.
    bool hasActiveWindow() {
        bool active = false;
        AtspiAccessible* application = findApplication();
        const gint count = application ? atspi_accessible_get_child_count(application, nullptr) : 0;
        for (gint index = 0; index < count && !active; ++index) {
            if (AtspiAccessible* window =
                    atspi_accessible_get_child_at_index(application, index, nullptr)) {
                // Asked anew: the library's copy of the states follows events not listened to.
                atspi_accessible_clear_cache(window);
                AtspiStateSet* states = atspi_accessible_get_state_set(window);
                active = states && atspi_state_set_contains(states, ATSPI_STATE_ACTIVE);
                if (states) {
                    g_object_unref(states);
                }
                g_object_unref(window);
            }
        }
        if (application) {
            g_object_unref(application);
        }
        return active;
    }

private:
    static Control read(AtspiAccessible* accessible) {
        Control control{
            atspi_accessible_get_role(accessible, nullptr), nameOf(accessible), {}, {}, {}, false};
        gchar* description = atspi_accessible_get_description(accessible, nullptr);
        control.description = QString::fromUtf8(description);
        g_free(description);
        if (AtspiText* text = atspi_accessible_get_text_iface(accessible)) {
            gchar* characters = atspi_text_get_text(
                text, 0, atspi_text_get_character_count(text, nullptr), nullptr);
            control.text = QString::fromUtf8(characters);
            g_free(characters);
            g_object_unref(text);
        }
        if (AtspiComponent* component = atspi_accessible_get_component_iface(accessible)) {
            if (AtspiRect* extents =
                    atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)) {
                control.extents = QRect(extents->x, extents->y, extents->width, extents->height);
                g_free(extents);
            }
            g_object_unref(component);
        }
        AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
        control.focusable = states && atspi_state_set_contains(states, ATSPI_STATE_FOCUSABLE);
        if (states) {
            g_object_unref(states);
        }
        return control;
    }

    // Depth first, as a screen reader reads: each control before what it contains.
    static void readDescendants(AtspiAccessible* parent, QList<Control>& controls) {
        const gint count = atspi_accessible_get_child_count(parent, nullptr);
        for (gint index = 0; index < count; ++index) {
            AtspiAccessible* child = atspi_accessible_get_child_at_index(parent, index, nullptr);
            if (child && showing(child)) {
                controls.append(read(child));
                readDescendants(child, controls);
            }
            if (child) {
                g_object_unref(child);
            }
        }
    }

    static QString nameOf(AtspiAccessible* accessible) {
        gchar* name = atspi_accessible_get_name(accessible, nullptr);
        QString result = QString::fromUtf8(name);
        g_free(name);
        return result;
    }

    static bool showing(AtspiAccessible* accessible) {
        AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
        const bool result = states && atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        if (states) {
            g_object_unref(states);
        }
        return result;
    }

    // The application's root, the caller's to release; none while it is not on the bus.
    AtspiAccessible* findApplication() {
        AtspiAccessible* desktop = atspi_get_desktop(0);
        AtspiAccessible* found = nullptr;
        const gint applications = atspi_accessible_get_child_count(desktop, nullptr);
        for (gint index = 0; index < applications && !found; ++index) {
            AtspiAccessible* application =
                atspi_accessible_get_child_at_index(desktop, index, nullptr);
            if (application && atspi_accessible_get_process_id(application, nullptr) == pid_) {
                found = application;
            } else if (application) {
                g_object_unref(application);
            }
        }
        g_object_unref(desktop);
        return found;
    }

    void withEditableText(const std::function<void(AtspiText*)>& use) {
        visit([&](AtspiAccessible* accessible) {
            AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
            const bool editable = states && atspi_state_set_contains(states, ATSPI_STATE_EDITABLE);
            if (states) {
                g_object_unref(states);
            }
            AtspiText* text = editable && showing(accessible)
                                  ? atspi_accessible_get_text_iface(accessible)
                                  : nullptr;
            if (text) {
                use(text);
                g_object_unref(text);
            }
            return text != nullptr;
        });
    }

    // Breadth first through the application's tree until `found` says stop.
    void visit(const std::function<bool(AtspiAccessible*)>& found) {
        std::deque<AtspiAccessible*> queue;
        if (AtspiAccessible* application = findApplication()) {
            queue.push_back(application);
        }
        bool done = false;
        for (int visited = 0; !queue.empty() && visited < 5000; ++visited) {
            AtspiAccessible* current = queue.front();
            queue.pop_front();
            if (!done && found(current)) {
                done = true;
            }
            if (!done) {
                const gint children = atspi_accessible_get_child_count(current, nullptr);
                for (gint index = 0; index < children; ++index) {
                    if (AtspiAccessible* child =
                            atspi_accessible_get_child_at_index(current, index, nullptr)) {
                        queue.push_back(child);
                    }
                }
            }
            g_object_unref(current);
        }
        for (AtspiAccessible* left : queue) {
            g_object_unref(left);
        }
    }

    qint64 pid_;
};

}  // namespace tidyword::test
