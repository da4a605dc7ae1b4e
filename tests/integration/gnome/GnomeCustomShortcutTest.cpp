// Tidyword's GNOME custom shortcut, written through GIO into its keyfile settings backend (in the
// private configuration folder the test runs in) by the schemas GNOME installs: the chord the
// user picks is added, rewritten and removed as Tidyword's own entry, and the user's other custom
// shortcuts keep their values and their order.
#include "platform/linux/CommandHotKeys.h"
#include "support/Printers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::HotKeys;
using platform::linux_desktop::CommandHotKeys;
using platform::linux_desktop::GnomeCustomShortcut;

constexpr quint16 kKeyD = 2;
constexpr quint16 kKeySpace = 49;
constexpr quint32 kShift = 0x200;
constexpr quint32 kOption = 0x800;
constexpr quint32 kControl = 0x1000;

const QString kCustom = u"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"_s;
const QString kOwn = QString::fromLatin1(GnomeCustomShortcut::ownPath);

struct Entry {
    QString path;
    QString name;
    QString binding;
    QString command;
    friend bool operator==(const Entry&, const Entry&) = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << entry.path.toStdString() << " {" << entry.name.toStdString() << ", "
               << entry.binding.toStdString() << ", " << entry.command.toStdString() << "}";
}

// GNOME's custom shortcuts as the test reads and writes them, with the desktop's own schemas.
class CustomShortcuts {
public:
    CustomShortcuts()
        : source_(g_settings_schema_source_get_default()),
          list_(g_settings_new("org.gnome.settings-daemon.plugins.media-keys")) {}
    ~CustomShortcuts() { g_object_unref(list_); }

    static bool installed() {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        GSettingsSchema* schema =
            source ? g_settings_schema_source_lookup(
                         source, "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding",
                         TRUE)
                   : nullptr;
        if (schema) {
            g_settings_schema_unref(schema);
        }
        return schema != nullptr;
    }

    void clear(const QList<Entry>& entries) {
        g_settings_reset(list_, "custom-keybindings");
        for (const Entry& entry : entries) {
            withEntry(entry.path, [](GSettings* settings) {
                for (const char* key : {"name", "binding", "command"}) {
                    g_settings_reset(settings, key);
                }
            });
        }
    }

    void write(const QList<Entry>& entries) {
        QStringList paths;
        for (const Entry& entry : entries) {
            withEntry(entry.path, [&entry](GSettings* settings) {
                g_settings_set_string(settings, "name", entry.name.toUtf8().constData());
                g_settings_set_string(settings, "binding", entry.binding.toUtf8().constData());
                g_settings_set_string(settings, "command", entry.command.toUtf8().constData());
            });
            paths << entry.path;
        }
        QList<QByteArray> bytes;
        std::vector<const char*> strings;
        for (const QString& path : paths) {
            bytes << path.toUtf8();
        }
        for (const QByteArray& path : bytes) {
            strings.push_back(path.constData());
        }
        strings.push_back(nullptr);
        g_settings_set_strv(list_, "custom-keybindings", strings.data());
    }

    QStringList paths() const {
        QStringList paths;
        char** values = g_settings_get_strv(list_, "custom-keybindings");
        for (char** value = values; *value; ++value) {
            paths << QString::fromUtf8(*value);
        }
        g_strfreev(values);
        return paths;
    }

    Entry entry(const QString& path) {
        Entry entry{path, {}, {}, {}};
        withEntry(path, [&entry](GSettings* settings) {
            for (auto [key, field] :
                 {std::pair("name", &entry.name), std::pair("binding", &entry.binding),
                  std::pair("command", &entry.command)}) {
                char* value = g_settings_get_string(settings, key);
                *field = QString::fromUtf8(value);
                g_free(value);
            }
        });
        return entry;
    }

private:
    template <typename Use>
    void withEntry(const QString& path, Use use) {
        GSettingsSchema* schema = g_settings_schema_source_lookup(
            source_, "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", TRUE);
        GSettings* settings = g_settings_new_full(schema, nullptr, path.toUtf8().constData());
        use(settings);
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }

    GSettingsSchemaSource* source_;
    GSettings* list_;
};

enum class Action { registerChord, addChord, remove };

TEST(GnomeCustomShortcutTest, TidywordsEntryComesAndGoesAndTheUsersStayAsTheyAre) {
    ASSERT_EQ(qgetenv("GSETTINGS_BACKEND"), "keyfile");
    ASSERT_TRUE(CustomShortcuts::installed()) << "gnome-settings-daemon-common is not installed";
    const QString keyfile =
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(u"glib-2.0/settings/keyfile"_s);
    ASSERT_TRUE(keyfile.startsWith(QDir::homePath())) << "a private configuration folder";

    const QString executable = QCoreApplication::applicationFilePath();
    const QString command = executable + u" --improve"_s;
    const QTemporaryDir noSchemas;

    const Entry terminal{kCustom + u"custom0/"_s, u"Terminal"_s, u"<Super>t"_s, u"kgx"_s};
    const Entry screenshot{kCustom + u"custom1/"_s, u"Area screenshot"_s, u"<Super>s"_s,
                           u"gnome-screenshot -a"_s};
    // The user's own spelling of Alt+Shift+D.
    const Entry notes{kCustom + u"custom2/"_s, u"Notes"_s, u"<shift><Mod1>D"_s, u"gnote"_s};
    const Entry byHand{kCustom + u"custom3/"_s, u"Improve"_s, u"<Alt><Shift>d"_s, command};
    const Entry own{kOwn, u"Tidyword · Improve selected text"_s, u"<Alt><Shift>d"_s, command};
    Entry movedOwn = own;
    movedOwn.command = u"/opt/old/tidyword --improve"_s;
    Entry ownOnNewChord = own;
    ownOnNewChord.binding = u"<Control><Alt>space"_s;

    const struct {
        const char* name;
        QList<Entry> before;  // the list in its order, each entry with its values
        Action action;
        quint16 key;
        quint32 modifiers;
        HotKeys::Status status;
        QString subject;
        QList<Entry> after;
        std::optional<QString> schemas = std::nullopt;
    } rows[] = {
        {"registering before the user adds it asks for the button",
         {terminal},
         Action::registerChord,
         kKeyD,
         kOption | kShift,
         HotKeys::gnomeShortcutMissing,
         {},
         {terminal}},
        {"adding appends after the user's entries",
         {terminal, screenshot},
         Action::addChord,
         kKeyD,
         kOption | kShift,
         HotKeys::success,
         {},
         {terminal, screenshot, own}},
        {"a new chord rewrites Tidyword's entry alone, command included",
         {terminal, movedOwn, screenshot},
         Action::registerChord,
         kKeySpace,
         kControl | kOption,
         HotKeys::success,
         {},
         {terminal, ownOnNewChord, screenshot}},
        {"turning it off takes only Tidyword's path out",
         {terminal, own, screenshot},
         Action::remove,
         0,
         0,
         HotKeys::success,
         {},
         {terminal, screenshot}},
        {"a chord of the user's own shortcut is theirs",
         {terminal, notes},
         Action::addChord,
         kKeyD,
         kOption | kShift,
         HotKeys::gnomeShortcutTaken,
         u"Notes"_s,
         {terminal, notes}},
        {"a chord of GNOME's own is GNOME's",
         {terminal},
         Action::addChord,
         kKeySpace,
         kOption,
         HotKeys::gnomeShortcutTaken,
         u"Activate the window menu"_s,
         {terminal}},
        {"a shortcut the user made for the command already runs it",
         {byHand},
         Action::registerChord,
         kKeyD,
         kOption | kShift,
         HotKeys::success,
         {},
         {byHand}},
        {"without GNOME's schemas nothing is written",
         {terminal},
         Action::addChord,
         kKeyD,
         kOption | kShift,
         HotKeys::gnomeShortcutsUnavailable,
         command,
         {terminal},
         noSchemas.path()},
    };

    CustomShortcuts shortcuts;
    for (const auto& row : rows) {
        shortcuts.clear({terminal, screenshot, notes, byHand, own});
        shortcuts.write(row.before);
        CommandHotKeys hotKeys(executable,
                               std::make_unique<GnomeCustomShortcut>(executable, row.schemas));

        HotKeys::Status status = HotKeys::success;
        std::unique_ptr<HotKeys::Registration> registration;
        switch (row.action) {
            case Action::registerChord:
                std::tie(status, registration) = hotKeys.registerHotKey(row.key, row.modifiers, {});
                EXPECT_EQ(registration != nullptr, status == HotKeys::success) << row.name;
                break;
            case Action::addChord:
                status = hotKeys.addGnomeShortcut(row.key, row.modifiers);
                break;
            case Action::remove:
                status = hotKeys.removeGnomeShortcut();
                break;
        }
        EXPECT_EQ(status, row.status) << row.name;
        EXPECT_EQ(hotKeys.statusSubject(status), row.subject) << row.name;

        QStringList paths;
        for (const Entry& entry : row.after) {
            paths << entry.path;
            EXPECT_EQ(shortcuts.entry(entry.path), entry) << row.name;
        }
        EXPECT_EQ(shortcuts.paths(), paths) << row.name;
        if (!paths.contains(kOwn)) {
            EXPECT_EQ(shortcuts.entry(kOwn), (Entry{kOwn, {}, {}, {}})) << row.name;
        }
        if (row.action == Action::addChord && status == HotKeys::success) {
            QFile file(keyfile);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << row.name;
            EXPECT_TRUE(file.readAll().contains(QByteArray(GnomeCustomShortcut::ownPath)))
                << row.name << ": written to the keyfile";
        }
    }
}

}  // namespace
}  // namespace tidyword
