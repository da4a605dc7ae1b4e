// Reading and pressing another application's controls through AT-SPI, as a screen reader
// does: the end-to-end tests see Tidyword's windows only this way, and find a control as its
// user would, by its role and what it reads. (Qt 6.4's bridge exposes no accessible id.)
#pragma once

#include <QString>

#include <atspi/atspi.h>

#include <deque>
#include <functional>

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

private:
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

    // Breadth first through the application's tree until `found` says stop.
    void visit(const std::function<bool(AtspiAccessible*)>& found) {
        AtspiAccessible* desktop = atspi_get_desktop(0);
        std::deque<AtspiAccessible*> queue;
        const gint applications = atspi_accessible_get_child_count(desktop, nullptr);
        for (gint index = 0; index < applications; ++index) {
            AtspiAccessible* application =
                atspi_accessible_get_child_at_index(desktop, index, nullptr);
            if (application && atspi_accessible_get_process_id(application, nullptr) == pid_) {
                queue.push_back(application);
            } else if (application) {
                g_object_unref(application);
            }
        }
        g_object_unref(desktop);
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
