// Another program on the clipboard, through Qt's own clipboard (a client nobody here wrote the
// protocol code of):
//   clipboard-peer watch              one JSON line per new content: its text, and whether it
//                                     is marked for clipboard managers to skip
//   clipboard-peer own TYPE           owns the clipboard with its input as TYPE, until killed
//   clipboard-peer read TYPE...       prints one JSON line: the types offered and, per TYPE,
//                                     what it reads in base64
#include "platform/Pasteboard.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

#include <cstdio>

namespace {

void print(const QJsonObject& line) {
    std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments().mid(1);
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString mode = arguments.value(0);

    if (mode == u"watch") {
        const QString mark = QString::fromUtf16(tidyword::platform::Pasteboard::transientMarkType);
        QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode changed) {
            const QMimeData* contents = clipboard->mimeData(QClipboard::Clipboard);
            if (changed == QClipboard::Clipboard && contents) {
                print({{QStringLiteral("text"), contents->text()},
                       {QStringLiteral("secret"), contents->data(mark) == "secret"}});
            }
        });
        std::printf("ready\n");
        std::fflush(stdout);
        return QGuiApplication::exec();
    }
    if (mode == u"own") {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly)) {
            return 2;
        }
        auto* contents = new QMimeData;
        contents->setData(arguments.value(1), input.readAll());
        clipboard->setMimeData(contents);
        std::printf("owned\n");
        std::fflush(stdout);
        return QGuiApplication::exec();
    }
    if (mode == u"read") {
        const QMimeData* contents = clipboard->mimeData();
        QJsonObject line{
            {QStringLiteral("types"),
             QJsonArray::fromStringList(contents ? contents->formats() : QStringList())}};
        for (const QString& type : arguments.mid(1)) {
            const QByteArray bytes = contents ? contents->data(type) : QByteArray();
            line.insert(type, QString::fromLatin1(bytes.toBase64()));
        }
        print(line);
        return 0;
    }
    return 2;
}
