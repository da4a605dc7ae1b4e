// The clipboard through Qt's own clipboard (the X11 CLIPBOARD selection, or the Wayland data
// device): one item with every format its owner offers. The change count rises on every change
// Qt reports, ours included. Qt reads a format whole, so the size bound is applied after the
// read; the backend that speaks to the X server itself bounds it before.
#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

namespace tidyword::platform::linux_desktop {

class QtClipboard final : public Pasteboard {
public:
    QtClipboard();
    ~QtClipboard() override;

    qint64 changeCount() override;
    std::optional<QList<QStringList>> itemTypes() override;
    std::optional<Data> data(int item, const QString& type, qint64 maximumSize) override;
    void clearContents() override;
    void writeItems(const QList<Item>& items) override;
    bool setString(const QString& text) override;
    bool setTransientString(const QString& text) override;
    std::optional<QString> string() override;
    void keepAfterExit() override;

private:
    qint64 changeCount_ = 0;
    QObject context_;  // ends the change notifications with this object
};

}  // namespace tidyword::platform::linux_desktop
