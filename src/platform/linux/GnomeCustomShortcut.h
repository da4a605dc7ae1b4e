// Tidyword's own GNOME custom keyboard shortcut: an entry at a path of its own in GNOME's list of
// custom shortcuts (media-keys' `custom-keybindings`), running `tidyword --improve` for the chord.
// The user's other entries and their order are never touched; a chord that GNOME or another of
// its shortcuts already has is reported with that shortcut's name, not written.
#pragma once

#include <QString>

#include <optional>

namespace tidyword::platform::linux_desktop {

class GnomeCustomShortcut {
public:
    static constexpr char ownPath[] =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/tidyword/";
    // A list longer than this is no list a person keeps: it is refused rather than read.
    static constexpr qsizetype mostCustomShortcuts = 500;

    enum class State {
        bound,        // the chord runs the command
        absent,       // nothing runs the command for the chord yet; it can be added
        taken,        // another shortcut of GNOME's has the chord
        unavailable,  // GNOME's shortcut settings are not installed here, or cannot be changed
    };
    struct Answer {
        State state = State::unavailable;
        QString holder;  // the shortcut that has the chord, when taken
        friend bool operator==(const Answer&, const Answer&) = default;
    };

    // `executable` is this program's absolute path; the entry runs it with --improve.
    // `schemaDirectory` holds compiled schemas to use instead of the desktop's own.
    explicit GnomeCustomShortcut(QString executable,
                                 std::optional<QString> schemaDirectory = std::nullopt);

    // Whether `accelerator` (GNOME's syntax: "<Alt><Shift>d") runs the command. Tidyword's own
    // entry, when listed, is rewritten to it first (a new chord, a moved executable); with `add`,
    // an unlisted one is written and appended to the list.
    Answer bind(const QString& accelerator, bool add);
    // Takes Tidyword's own path out of the list and clears its entry; false when GNOME's
    // shortcut settings cannot be changed here.
    bool remove();

    // What the entry runs: the executable, quoted for GNOME's command line where it must be.
    QString command() const;

    // GNOME's accelerator for a chord of the seam's key codes and masks; none for a key it lacks.
    static std::optional<QString> acceleratorOf(quint16 keyCode, quint32 modifiers);

private:
    QString executable_;
    std::optional<QString> schemaDirectory_;
};

}  // namespace tidyword::platform::linux_desktop
