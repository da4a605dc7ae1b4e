#include "platform/linux/CommandHotKeys.h"

#include "platform/linux/AppKeyMonitor.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace tidyword::platform::linux_desktop {

CommandHotKeys::CommandHotKeys(QString executable, std::unique_ptr<GnomeCustomShortcut> gnome)
    : executable_(std::move(executable)), gnome_(std::move(gnome)) {}

CommandHotKeys::~CommandHotKeys() = default;

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> CommandHotKeys::installHandler(
    PressHandler handler) {
    handler_ = std::make_shared<PressHandler>(std::move(handler));
    return {success, std::make_unique<Undo>([this, installed = handler_] {
                if (handler_ == installed) {
                    handler_.reset();
                }
            })};
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> CommandHotKeys::registerHotKey(
    quint16 keyCode, quint32 modifiers, Identifier identifier) {
    Status status = commandSeen_ ? success : commandNotBound;
    if (gnome_) {
        const auto accelerator = GnomeCustomShortcut::acceleratorOf(keyCode, modifiers);
        status =
            accelerator ? statusOf(gnome_->bind(*accelerator, false)) : gnomeShortcutsUnavailable;
    }
    if (status != success) {
        return {status, nullptr};
    }
    registered_ = std::make_shared<Identifier>(identifier);
    return {success, std::make_unique<Undo>([this, wanted = registered_] {
                if (registered_ == wanted) {
                    registered_.reset();
                }
            })};
}

std::unique_ptr<HotKeys::Registration> CommandHotKeys::addLocalMonitor(Monitor monitor) {
    return addAppKeyMonitor(std::move(monitor));
}

QString CommandHotKeys::statusSubject(Status status) const {
    switch (status) {
        case commandNotBound:
        case gnomeShortcutsUnavailable:
            return command();
        case gnomeShortcutTaken:
            return holder_;
        default:
            return {};
    }
}

void CommandHotKeys::handOff() {
    if (!gnome_ && !commandSeen_) {
        commandSeen_ = true;
        if (!registered_ && registerAgain_) {
            registerAgain_();
        }
    }
    // The handler may end the registration it is called for: both stay alive for the call.
    const std::shared_ptr<PressHandler> handler = handler_;
    const std::shared_ptr<Identifier> registered = registered_;
    if (handler && registered) {
        (*handler)(*registered);
    }
}

QString CommandHotKeys::command() const {
    const QString name = QFileInfo(executable_).fileName();
    const QString onPath = QStandardPaths::findExecutable(name);
    const QString canonical = QFileInfo(executable_).canonicalFilePath();
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == canonical) {
        return name + QStringLiteral(" --improve");
    }
    return GnomeCustomShortcut(executable_).command();
}

HotKeys::Status CommandHotKeys::addGnomeShortcut(quint16 keyCode, quint32 modifiers) {
    if (!gnome_) {
        return gnomeShortcutsUnavailable;
    }
    const auto accelerator = GnomeCustomShortcut::acceleratorOf(keyCode, modifiers);
    return accelerator ? statusOf(gnome_->bind(*accelerator, true)) : gnomeShortcutsUnavailable;
}

HotKeys::Status CommandHotKeys::removeGnomeShortcut() {
    return gnome_ && gnome_->remove() ? success : gnomeShortcutsUnavailable;
}

HotKeys::Status CommandHotKeys::statusOf(const GnomeCustomShortcut::Answer& answer) {
    switch (answer.state) {
        case GnomeCustomShortcut::State::bound:
            return success;
        case GnomeCustomShortcut::State::absent:
            return gnomeShortcutMissing;
        case GnomeCustomShortcut::State::taken:
            holder_ = answer.holder;
            return gnomeShortcutTaken;
        case GnomeCustomShortcut::State::unavailable:
            break;
    }
    return gnomeShortcutsUnavailable;
}

}  // namespace tidyword::platform::linux_desktop
