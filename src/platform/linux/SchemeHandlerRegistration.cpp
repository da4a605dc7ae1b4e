#include "platform/linux/SchemeHandlerRegistration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace tidyword::platform::linux_desktop {

namespace {

using namespace Qt::Literals::StringLiterals;

// An Exec argument, quoted as the desktop entry format asks: inside double quotes, a backslash
// before ", `, $ and \, and then every backslash doubled once more as a string escape.
QString execArgument(const QString& argument) {
    QString quoted;
    for (const QChar character : argument) {
        if (character == u'"' || character == u'`' || character == u'$' || character == u'\\') {
            quoted += u'\\';
        }
        quoted += character;
    }
    quoted.replace(u"\\"_s, u"\\\\"_s);
    return u'"' + quoted + u'"';
}

QString desktopEntry(const QString& executable, const QString& scheme) {
    return u"[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tidyword\n"
           "Comment=Writing assistant: improve the text you select in any application\n"
           "Exec="_s +
           execArgument(executable) +
           u" %u\n"
           "Terminal=false\n"
           "Categories=Utility;TextTools;\n"
           "MimeType=x-scheme-handler/"_s +
           scheme + u";\n"_s;
}

bool writeIfChanged(const QString& path, const QByteArray& content) {
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) {
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.commit();
}

// mimeapps.list with `key=value` set in its [Default Applications] section, the rest untouched.
QByteArray withDefault(const QByteArray& current, const QString& key, const QString& value) {
    const QString section = u"[Default Applications]"_s;
    const QString entry = key + u'=' + value;
    QStringList lines = QString::fromUtf8(current).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    qsizetype header = lines.indexOf(section);
    if (header < 0) {
        lines << section;
        header = lines.size() - 1;
    }
    qsizetype end = header + 1;
    while (end < lines.size() && !lines[end].startsWith(u'[')) {
        if (lines[end].startsWith(key + u'=')) {
            lines[end] = entry;
            return (lines.join(u'\n') + u'\n').toUtf8();
        }
        ++end;
    }
    lines.insert(header + 1, entry);
    return (lines.join(u'\n') + u'\n').toUtf8();
}

}  // namespace

SchemeHandlerLocations SchemeHandlerLocations::forUser() {
    return {QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                u"/mimeapps.list"_s};
}

bool registerSchemeHandler(const QString& executable, const QString& scheme,
                           const SchemeHandlerLocations& where) {
    const QString entryName = QString::fromUtf16(kDesktopEntryName);
    if (!writeIfChanged(where.applications + u'/' + entryName,
                        desktopEntry(executable, scheme).toUtf8())) {
        return false;
    }
    // The user's other associations live in the same file: never rewrite it unread.
    QFile list(where.mimeappsList);
    if (list.exists() && !list.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray current = list.isOpen() ? list.readAll() : QByteArray();
    list.close();
    return writeIfChanged(where.mimeappsList,
                          withDefault(current, u"x-scheme-handler/"_s + scheme, entryName));
}

}  // namespace tidyword::platform::linux_desktop
