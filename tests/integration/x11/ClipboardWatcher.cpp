// A clipboard manager as far as the tests need one: prints a line for every new clipboard
// content, its text and whether it is marked for managers to skip, as JSON.
#include "platform/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString mark = QString::fromUtf16(tidyword::platform::Pasteboard::transientMarkType);
    QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
        const QMimeData* contents = clipboard->mimeData(QClipboard::Clipboard);
        if (mode != QClipboard::Clipboard || !contents) {
            return;
        }
        const QJsonObject line{{QStringLiteral("text"), contents->text()},
                               {QStringLiteral("secret"), contents->data(mark) == "secret"}};
        std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return QGuiApplication::exec();
}
