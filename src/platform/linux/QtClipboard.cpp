#include "platform/linux/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace tidyword::platform::linux_desktop {

namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

}  // namespace

QtClipboard::QtClipboard() {
    QObject::connect(clipboard(), &QClipboard::changed, &context_, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) {
            ++changeCount_;
        }
    });
}

QtClipboard::~QtClipboard() = default;

qint64 QtClipboard::changeCount() {
    // Lets a change that the display server has already announced reach the count.
    QCoreApplication::sendPostedEvents();
    return changeCount_;
}

std::optional<QList<QStringList>> QtClipboard::itemTypes() {
    const QMimeData* contents = clipboard()->mimeData();
    if (!contents || contents->formats().isEmpty()) {
        return QList<QStringList>{};
    }
    return QList<QStringList>{contents->formats()};
}

std::optional<Pasteboard::Data> QtClipboard::data(int item, const QString& type,
                                                  qint64 maximumSize) {
    const QMimeData* contents = clipboard()->mimeData();
    if (item != 0 || !contents || !contents->hasFormat(type)) {
        return std::nullopt;
    }
    QByteArray bytes = contents->data(type);
    if (bytes.size() > maximumSize) {
        return std::nullopt;
    }
    return Data(std::move(bytes));
}

void QtClipboard::clearContents() {
    clipboard()->clear();
}

void QtClipboard::writeItems(const QList<Item>& items) {
    // The clipboard holds one item; further ones have nowhere to go.
    if (items.isEmpty()) {
        clipboard()->clear();
        return;
    }
    auto* contents = new QMimeData;
    for (const auto& [type, data] : items.front()) {
        contents->setData(type, data.bytes);
    }
    clipboard()->setMimeData(contents);
}

bool QtClipboard::setString(const QString& text) {
    auto* contents = new QMimeData;
    contents->setText(text);
    clipboard()->setMimeData(contents);
    return true;
}

bool QtClipboard::setTransientString(const QString& text) {
    auto* contents = new QMimeData;
    contents->setText(text);
    contents->setData(QString::fromUtf16(transientMarkType), QByteArrayLiteral("secret"));
    clipboard()->setMimeData(contents);
    return true;
}

void QtClipboard::keepAfterExit() {
    // Qt's own clipboard hands its contents to the clipboard manager as the application ends.
}

std::optional<QString> QtClipboard::string() {
    const QMimeData* contents = clipboard()->mimeData();
    if (!contents || !contents->hasText()) {
        return std::nullopt;
    }
    return contents->text();
}

}  // namespace tidyword::platform::linux_desktop
