#include "platform/linux/GnomeCustomShortcut.h"

#include "platform/linux/AppKeyMonitor.h"
#include "platform/linux/OwnedHandle.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <gio/gio.h>

#include <array>

namespace tidyword::platform::linux_desktop {

namespace {

using namespace Qt::Literals::StringLiterals;

constexpr char kListSchema[] = "org.gnome.settings-daemon.plugins.media-keys";
constexpr char kListKey[] = "custom-keybindings";
constexpr char kEntrySchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr char kNameKey[] = "name";
constexpr char kBindingKey[] = "binding";
constexpr char kCommandKey[] = "command";
// GNOME's own shortcuts: mutter refuses a custom shortcut the chord of one of these.
constexpr std::array kBuiltInSchemas{
    "org.gnome.desktop.wm.keybindings", "org.gnome.mutter.keybindings",
    "org.gnome.mutter.wayland.keybindings", "org.gnome.shell.keybindings", kListSchema};

const QString kEntryName = u"Tidyword · Improve selected text"_s;
const QString kImprove = u"--improve"_s;
// A value longer than any accelerator, name or command a person writes is not read.
constexpr gsize kLongestValue = 4096;
// GNOME's own shortcuts have a few chords each; more are not looked at.
constexpr gsize kMostChordsPerShortcut = 16;
constexpr qsizetype kLongestHolder = 80;

using Settings = OwnedObject<GSettings>;
using Schema = Owned<GSettingsSchema, g_settings_schema_unref>;
using SchemaKey = Owned<GSettingsSchemaKey, g_settings_schema_key_unref>;
using Source = Owned<GSettingsSchemaSource, g_settings_schema_source_unref>;

bool hasKeyOfType(GSettingsSchema* schema, const char* key, const GVariantType* type) {
    if (!g_settings_schema_has_key(schema, key)) {
        return false;
    }
    const SchemaKey held(g_settings_schema_get_key(schema, key));
    return g_variant_type_equal(g_settings_schema_key_get_value_type(held.get()), type);
}

// The two schemas the list and its entries follow, each with the keys and types used here:
// GSettings ends the process on a schema or key it does not know, so nothing is read without them.
struct Schemas {
    Source source;
    Schema list;
    Schema entry;
};

std::optional<Schemas> openSchemas(const std::optional<QString>& directory) {
    Source source;
    if (directory) {
        source.reset(g_settings_schema_source_new_from_directory(
            QFile::encodeName(*directory).constData(), nullptr, FALSE, nullptr));
    } else if (GSettingsSchemaSource* desktop = g_settings_schema_source_get_default()) {
        source.reset(g_settings_schema_source_ref(desktop));
    }
    if (!source) {
        return std::nullopt;
    }
    Schema list(g_settings_schema_source_lookup(source.get(), kListSchema, TRUE));
    Schema entry(g_settings_schema_source_lookup(source.get(), kEntrySchema, TRUE));
    // The list lives at its schema's own path, each entry at one the list names.
    if (!list || !entry || !g_settings_schema_get_path(list.get()) ||
        g_settings_schema_get_path(entry.get()) ||
        !hasKeyOfType(list.get(), kListKey, G_VARIANT_TYPE_STRING_ARRAY)) {
        return std::nullopt;
    }
    for (const char* key : {kNameKey, kBindingKey, kCommandKey}) {
        if (!hasKeyOfType(entry.get(), key, G_VARIANT_TYPE_STRING)) {
            return std::nullopt;
        }
    }
    return Schemas{std::move(source), std::move(list), std::move(entry)};
}

// The settings of a relocatable schema at `path`, or of a fixed one at its own with none.
Settings settingsAt(GSettingsSchema* schema, const std::optional<QString>& path = std::nullopt) {
    return Settings(
        g_settings_new_full(schema, nullptr, path ? path->toUtf8().constData() : nullptr));
}

// A path GSettings accepts: it refuses any other with a critical warning.
bool isSettingsPath(const QString& path) {
    return path.size() <= qsizetype(kLongestValue) && path.startsWith(u'/') &&
           path.endsWith(u'/') && !path.contains(u"//"_s);
}

// The value of a string from a variant; none when it is longer than any we read.
std::optional<QString> stringOf(GVariant* value) {
    gsize length = 0;
    const char* text = g_variant_get_string(value, &length);
    if (length > kLongestValue) {
        return std::nullopt;
    }
    return QString::fromUtf8(text, qsizetype(length));
}

std::optional<QString> readString(GSettings* settings, const char* key) {
    const OwnedVariant value(g_settings_get_value(settings, key));
    return stringOf(value.get());
}

std::optional<QStringList> readList(GSettings* settings) {
    const OwnedVariant value(g_settings_get_value(settings, kListKey));
    const gsize count = g_variant_n_children(value.get());
    if (count > gsize(GnomeCustomShortcut::mostCustomShortcuts)) {
        return std::nullopt;
    }
    QStringList paths;
    for (gsize index = 0; index < count; ++index) {
        const OwnedVariant child(g_variant_get_child_value(value.get(), index));
        const auto path = stringOf(child.get());
        if (!path) {
            return std::nullopt;
        }
        paths << *path;
    }
    return paths;
}

bool writeList(GSettings* settings, const QStringList& paths) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_STRING_ARRAY);
    for (const QString& path : paths) {
        g_variant_builder_add(&builder, "s", path.toUtf8().constData());
    }
    return g_settings_set_value(settings, kListKey, g_variant_builder_end(&builder));
}

// A chord as one comparable value whatever its spelling: "<Shift><Alt>D", "<Alt><Shift>d" and
// "<Mod1><Shift>d" are one chord. None for an empty accelerator (a disabled shortcut).
std::optional<QString> chordOf(QStringView accelerator) {
    static const QHash<QString, QString> kSynonyms{
        {u"ctrl"_s, u"control"_s}, {u"ctl"_s, u"control"_s}, {u"primary"_s, u"control"_s},
        {u"mod1"_s, u"alt"_s},     {u"mod4"_s, u"super"_s},  {u"shft"_s, u"shift"_s},
    };
    QStringList modifiers;
    QStringView rest = accelerator.trimmed();
    while (rest.startsWith(u'<')) {
        const qsizetype end = rest.indexOf(u'>');
        if (end < 0) {
            return std::nullopt;
        }
        const QString name = rest.mid(1, end - 1).toString().toLower();
        modifiers << kSynonyms.value(name, name);
        rest = rest.mid(end + 1);
    }
    if (rest.isEmpty()) {
        return std::nullopt;
    }
    modifiers.sort();
    modifiers.removeDuplicates();
    modifiers << rest.toString().toLower();
    return modifiers.join(u'+');
}

// Whether a custom shortcut's command runs this executable with --improve, however it names it.
bool runsImprove(const QString& command, const QString& executable) {
    int count = 0;
    OwnedStrv arguments;
    if (!g_shell_parse_argv(command.toUtf8().constData(), &count, into(arguments), nullptr)) {
        return false;
    }
    const QString program = QString::fromUtf8(arguments.get()[0]);
    if (count != 2 || QString::fromUtf8(arguments.get()[1]) != kImprove) {
        return false;
    }
    const QString found =
        QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
    const QString canonical = QFileInfo(found).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(executable).canonicalFilePath();
}

QString elided(const QString& name) {
    return name.size() <= kLongestHolder ? name : name.left(kLongestHolder) + u'…';
}

// The name of the GNOME shortcut that has `chord`, none when none has it.
std::optional<QString> builtInHolder(GSettingsSchemaSource* source, const QString& chord) {
    for (const char* id : kBuiltInSchemas) {
        const Schema schema(g_settings_schema_source_lookup(source, id, TRUE));
        if (!schema || !g_settings_schema_get_path(schema.get())) {
            continue;
        }
        const Settings settings(g_settings_new_full(schema.get(), nullptr, nullptr));
        const OwnedStrv keys(g_settings_schema_list_keys(schema.get()));
        std::optional<QString> holder;
        for (char** key = keys.get(); *key && !holder; ++key) {
            const SchemaKey described(g_settings_schema_get_key(schema.get(), *key));
            const GVariantType* type = g_settings_schema_key_get_value_type(described.get());
            const bool single = g_variant_type_equal(type, G_VARIANT_TYPE_STRING);
            if ((!single && !g_variant_type_equal(type, G_VARIANT_TYPE_STRING_ARRAY)) ||
                g_strcmp0(*key, kListKey) == 0) {
                continue;
            }
            const OwnedVariant value(g_settings_get_value(settings.get(), *key));
            const gsize count = single ? 1 : g_variant_n_children(value.get());
            for (gsize index = 0; index < std::min(count, kMostChordsPerShortcut); ++index) {
                const OwnedVariant child(single ? g_variant_ref(value.get())
                                                : g_variant_get_child_value(value.get(), index));
                const auto accelerator = stringOf(child.get());
                if (accelerator && chordOf(*accelerator) == chord) {
                    const char* summary = g_settings_schema_key_get_summary(described.get());
                    holder = elided(QString::fromUtf8(summary ? summary : *key));
                    break;
                }
            }
        }
        if (holder) {
            return holder;
        }
    }
    return std::nullopt;
}

// Sets each key that differs; nothing at all unless every one of them may be changed.
bool writeEntry(GSettings* entry, const QList<std::pair<const char*, QString>>& values) {
    QList<std::pair<const char*, QString>> changes;
    for (const auto& [key, value] : values) {
        if (readString(entry, key) != value) {
            if (!g_settings_is_writable(entry, key)) {
                return false;
            }
            changes << std::pair(key, value);
        }
    }
    for (const auto& [key, value] : changes) {
        if (!g_settings_set_string(entry, key, value.toUtf8().constData())) {
            return false;
        }
    }
    return true;
}

}  // namespace

GnomeCustomShortcut::GnomeCustomShortcut(QString executable, std::optional<QString> schemaDirectory)
    : executable_(std::move(executable)), schemaDirectory_(std::move(schemaDirectory)) {}

QString GnomeCustomShortcut::command() const {
    // GNOME splits the command as a shell would; a plain path needs no quotes to read well.
    static const QRegularExpression kPlain(u"^[A-Za-z0-9_./+-]+$"_s);
    QString program = executable_;
    if (!kPlain.match(program).hasMatch()) {
        const OwnedString quoted(g_shell_quote(program.toUtf8().constData()));
        program = QString::fromUtf8(quoted.get());
    }
    return program + u' ' + kImprove;
}

GnomeCustomShortcut::Answer GnomeCustomShortcut::bind(const QString& accelerator, bool add) {
    const auto chord = chordOf(accelerator);
    auto schemas = openSchemas(schemaDirectory_);
    if (!chord || !schemas) {
        return {State::unavailable, {}};
    }
    const Settings list = settingsAt(schemas->list.get());
    const auto paths = readList(list.get());
    if (!paths) {
        return {State::unavailable, {}};
    }
    const QString own = QString::fromLatin1(ownPath);
    for (const QString& path : *paths) {
        if (path == own || !isSettingsPath(path)) {
            continue;
        }
        const Settings entry = settingsAt(schemas->entry.get(), path);
        const auto binding = readString(entry.get(), kBindingKey);
        if (!binding || chordOf(*binding) != chord) {
            continue;
        }
        const auto command = readString(entry.get(), kCommandKey).value_or(QString());
        if (runsImprove(command, executable_)) {
            return {State::bound, {}};  // the user bound the command by hand
        }
        const QString name = readString(entry.get(), kNameKey).value_or(QString());
        return {State::taken, elided(!name.isEmpty() ? name : !command.isEmpty() ? command : path)};
    }
    if (const auto holder = builtInHolder(schemas->source.get(), *chord)) {
        return {State::taken, *holder};
    }

    const bool listed = paths->contains(own);
    if (!listed && !add) {
        return {State::absent, {}};
    }
    if (!listed && !g_settings_is_writable(list.get(), kListKey)) {
        return {State::unavailable, {}};
    }
    // The entry is complete before its path is listed: GNOME never sees it half written.
    const Settings entry = settingsAt(schemas->entry.get(), own);
    if (!writeEntry(
            entry.get(),
            {{kNameKey, kEntryName}, {kBindingKey, accelerator}, {kCommandKey, command()}}) ||
        (!listed && !writeList(list.get(), *paths + QStringList{own}))) {
        return {State::unavailable, {}};
    }
    return {State::bound, {}};
}

bool GnomeCustomShortcut::remove() {
    auto schemas = openSchemas(schemaDirectory_);
    if (!schemas) {
        return false;
    }
    const Settings list = settingsAt(schemas->list.get());
    auto paths = readList(list.get());
    if (!paths) {
        return false;
    }
    const QString own = QString::fromLatin1(ownPath);
    if (paths->contains(own)) {
        paths->removeAll(own);
        if (!g_settings_is_writable(list.get(), kListKey) || !writeList(list.get(), *paths)) {
            return false;
        }
    }
    const Settings entry = settingsAt(schemas->entry.get(), own);
    for (const char* key : {kNameKey, kBindingKey, kCommandKey}) {
        if (g_settings_is_writable(entry.get(), key)) {
            g_settings_reset(entry.get(), key);
        }
    }
    return true;
}

std::optional<QString> GnomeCustomShortcut::acceleratorOf(quint16 keyCode, quint32 modifiers) {
    const auto keysym = keysymOfMacKey(keyCode);
    if (!keysym) {
        return std::nullopt;
    }
    const Qt::KeyboardModifiers held = qtModifiersOfHotKeyMask(modifiers);
    QString accelerator;
    for (const auto& [modifier, name] :
         {std::pair(Qt::ControlModifier, u"<Control>"_s), std::pair(Qt::AltModifier, u"<Alt>"_s),
          std::pair(Qt::ShiftModifier, u"<Shift>"_s), std::pair(Qt::MetaModifier, u"<Super>"_s)}) {
        if (held & modifier) {
            accelerator += name;
        }
    }
    return accelerator + (*keysym == 0x20 ? u"space"_s : QString(QChar(char16_t(*keysym))));
}

}  // namespace tidyword::platform::linux_desktop
