// Another client of a Wayland clipboard: wl-copy and wl-paste, with the owner that never answers
// played by a second clipboard of this very process, which cannot serve while the first waits.
#pragma once

#include "integration/desktop/PasteboardContract.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

namespace tidyword::platform::linux_desktop {

class WaylandClients final : public OtherClipboardClient {
public:
    explicit WaylandClients(std::function<std::unique_ptr<Pasteboard>()> openSilent)
        : openSilent_(std::move(openSilent)) {}

    void copy(const QString& type, const QByteArray& bytes) override {
        // wl-copy forks a server of its own and returns once the selection is set.
        outputOf(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type}, bytes);
    }
    QStringList types() override {
        return QString::fromUtf8(
                   outputOf(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")}))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    QByteArray paste(const QString& type) override {
        return outputOf(QStringLiteral("wl-paste"),
                        {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    }
    QStringList ownWithoutAnswering() override {
        silent_ = openSilent_();
        return silent_ && silent_->setString(QStringLiteral("never sent"))
                   ? silent_->itemTypes().value().front()
                   : QStringList();
    }

private:
    std::function<std::unique_ptr<Pasteboard>()> openSilent_;
    std::unique_ptr<Pasteboard> silent_;
};

}  // namespace tidyword::platform::linux_desktop
