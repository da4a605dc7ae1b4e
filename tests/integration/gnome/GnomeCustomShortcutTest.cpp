// Tidyword's GNOME custom shortcut, written through GIO into its keyfile settings backend (in the
// private configuration folder the test runs in) by the schemas GNOME installs: the chord the
// user picks is added, rewritten and removed as Tidyword's own entry, and the user's other custom
// shortcuts keep their values and their order.
#include "platform/linux/CommandHotKeys.h"
#include "support/Printers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::HotKeys;
using platform::linux_desktop::CommandHotKeys;
using platform::linux_desktop::GnomeCustomShortcut;

constexpr char kEntrySchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* kEntryKeys[] = {"name", "binding", "command"};
const QString kCustom = u"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"_s;
const QString kOwn = QString::fromLatin1(GnomeCustomShortcut::ownPath);

// A custom shortcut: its path, then its name, binding and command.
using Entry = QStringList;

// Runs `use` on the settings of the custom shortcut at `path`.
template <typename Use>
void withEntry(const QString& path, Use use) {
    GSettings* settings = g_settings_new_with_path(kEntrySchema, path.toUtf8().constData());
    use(settings);
    g_object_unref(settings);
}

Entry entryAt(const QString& path) {
    Entry entry{path};
    withEntry(path, [&entry](GSettings* settings) {
        for (const char* key : kEntryKeys) {
            char* value = g_settings_get_string(settings, key);
            entry << QString::fromUtf8(value);
            g_free(value);
        }
    });
    return entry;
}

// Makes GNOME's list of custom shortcuts `entries`, in their order and with their values, and
// clears `others`.
void writeList(GSettings* list, const QList<Entry>& entries, const QList<Entry>& others) {
    for (const Entry& other : others) {
        withEntry(other[0], [](GSettings* settings) {
            for (const char* key : kEntryKeys) {
                g_settings_reset(settings, key);
            }
        });
    }
    QList<QByteArray> paths;
    for (const Entry& entry : entries) {
        withEntry(entry[0], [&entry](GSettings* settings) {
            for (int key = 0; key < 3; ++key) {
                g_settings_set_string(settings, kEntryKeys[key],
                                      entry[key + 1].toUtf8().constData());
            }
        });
        paths << entry[0].toUtf8();
    }
    std::vector<const char*> strings;
    for (const QByteArray& path : paths) {
        strings.push_back(path.constData());
    }
    strings.push_back(nullptr);
    g_settings_set_strv(list, "custom-keybindings", strings.data());
}

QStringList listedPaths(GSettings* list) {
    char** values = g_settings_get_strv(list, "custom-keybindings");
    QStringList paths;
    for (char** value = values; *value; ++value) {
        paths << QString::fromUtf8(*value);
    }
    g_strfreev(values);
    return paths;
}

struct Chord {
    quint16 key;
    quint32 modifiers;
};
const Chord kAltShiftD{2, 0x800 | 0x200};
const Chord kAltSpace{49, 0x800};
const Chord kCtrlAltSpace{49, 0x1000 | 0x800};

enum class Action { registerChord, addChord, remove };

TEST(GnomeCustomShortcutTest, TidywordsEntryComesAndGoesAndTheUsersStayAsTheyAre) {
    ASSERT_EQ(qgetenv("GSETTINGS_BACKEND"), "keyfile");
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    GSettingsSchema* entrySchema =
        schemas ? g_settings_schema_source_lookup(schemas, kEntrySchema, TRUE) : nullptr;
    ASSERT_NE(entrySchema, nullptr) << "gnome-settings-daemon-common is not installed";
    g_settings_schema_unref(entrySchema);
    const QString keyfile =
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(u"glib-2.0/settings/keyfile"_s);
    ASSERT_TRUE(keyfile.startsWith(QDir::homePath())) << "a private configuration folder";

    const QString executable = QCoreApplication::applicationFilePath();
    const QString command = executable + u" --improve"_s;
    const QTemporaryDir noSchemas;

    const Entry own{kOwn, u"Tidyword · Improve selected text"_s, u"<Alt><Shift>d"_s, command};
    const QMap<QString, Entry> entries{
        {u"terminal"_s, {kCustom + u"custom0/"_s, u"Terminal"_s, u"<Super>t"_s, u"kgx"_s}},
        {u"screenshot"_s,
         {kCustom + u"custom1/"_s, u"Area screenshot"_s, u"<Super>s"_s, u"gnome-screenshot -a"_s}},
        // The user's own spelling of Alt+Shift+D.
        {u"notes"_s, {kCustom + u"custom2/"_s, u"Notes"_s, u"<shift><Mod1>D"_s, u"gnote"_s}},
        {u"byHand"_s, {kCustom + u"custom3/"_s, u"Improve"_s, u"<Alt><Shift>d"_s, command}},
        {u"own"_s, own},
        {u"movedOwn"_s, {kOwn, own[1], own[2], u"/opt/old/tidyword --improve"_s}},
        {u"ownOnNewChord"_s, {kOwn, own[1], u"<Control><Alt>space"_s, command}},
    };
    // The entries named, in their order.
    const auto listOf = [&entries](const QString& names) {
        QList<Entry> list;
        for (const QString& name : names.split(u' ', Qt::SkipEmptyParts)) {
            list << entries.value(name);
        }
        return list;
    };

    const struct {
        const char* name;
        QString before;  // the list in its order, each entry with its values
        Action action;
        Chord chord;
        HotKeys::Status status;
        QString subject;
        QString after;
        std::optional<QString> schemas = std::nullopt;
    } rows[] = {
        {"registering before the user adds it asks for the button", u"terminal"_s,
         Action::registerChord, kAltShiftD, HotKeys::gnomeShortcutMissing, QString(),
         u"terminal"_s},
        {"adding appends after the user's entries", u"terminal screenshot"_s, Action::addChord,
         kAltShiftD, HotKeys::success, QString(), u"terminal screenshot own"_s},
        {"a new chord rewrites Tidyword's entry alone, command included",
         u"terminal movedOwn screenshot"_s, Action::registerChord, kCtrlAltSpace, HotKeys::success,
         QString(), u"terminal ownOnNewChord screenshot"_s},
        {"turning it off takes only Tidyword's path out", u"terminal own screenshot"_s,
         Action::remove, kAltShiftD, HotKeys::success, QString(), u"terminal screenshot"_s},
        {"a chord of the user's own shortcut is theirs", u"terminal notes"_s, Action::addChord,
         kAltShiftD, HotKeys::gnomeShortcutTaken, u"Notes"_s, u"terminal notes"_s},
        {"a chord of GNOME's own is GNOME's", u"terminal"_s, Action::addChord, kAltSpace,
         HotKeys::gnomeShortcutTaken, u"Activate the window menu"_s, u"terminal"_s},
        {"a shortcut the user made for the command already runs it", u"byHand"_s,
         Action::registerChord, kAltShiftD, HotKeys::success, QString(), u"byHand"_s},
        {"without GNOME's schemas nothing is written", u"terminal"_s, Action::addChord, kAltShiftD,
         HotKeys::gnomeShortcutsUnavailable, command, u"terminal"_s, noSchemas.path()},
    };

    GSettings* list = g_settings_new("org.gnome.settings-daemon.plugins.media-keys");
    for (const auto& row : rows) {
        writeList(list, listOf(row.before), entries.values());
        CommandHotKeys hotKeys(executable,
                               std::make_unique<GnomeCustomShortcut>(executable, row.schemas));

        HotKeys::Status status = HotKeys::success;
        std::unique_ptr<HotKeys::Registration> registration;
        switch (row.action) {
            case Action::registerChord:
                std::tie(status, registration) =
                    hotKeys.registerHotKey(row.chord.key, row.chord.modifiers, {});
                EXPECT_EQ(registration != nullptr, status == HotKeys::success) << row.name;
                break;
            case Action::addChord:
                status = hotKeys.addGnomeShortcut(row.chord.key, row.chord.modifiers);
                break;
            case Action::remove:
                status = hotKeys.removeGnomeShortcut();
                break;
        }
        EXPECT_EQ(status, row.status) << row.name;
        EXPECT_EQ(hotKeys.statusSubject(status), row.subject) << row.name;

        QStringList paths;
        for (const Entry& entry : listOf(row.after)) {
            paths << entry[0];
            EXPECT_EQ(entryAt(entry[0]), entry) << row.name;
        }
        EXPECT_EQ(listedPaths(list), paths) << row.name;
        if (!paths.contains(kOwn)) {
            EXPECT_EQ(entryAt(kOwn), (Entry{kOwn, {}, {}, {}})) << row.name;
        }
        if (row.action == Action::addChord && status == HotKeys::success) {
            QFile file(keyfile);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << row.name;
            EXPECT_TRUE(file.readAll().contains(QByteArray(GnomeCustomShortcut::ownPath)))
                << row.name << ": written to the keyfile";
        }
    }
    g_object_unref(list);
}

}  // namespace
}  // namespace tidyword
