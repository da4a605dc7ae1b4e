#include "platform/linux/AppKeyMonitor.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <array>

namespace tidyword::platform::linux_desktop {

namespace {

// The ANSI letters in the order of their Mac virtual key codes 0 to 46; gaps are other keys.
constexpr std::array<char, 47> kMacLetters{
    'a', 's', 'd', 'f', 'h', 'g', 'z', 'x', 'c', 'v', 0, 'b', 'q', 'w', 'e', 'r',
    'y', 't', 0,   0,   0,   0,   0,   0,   0,   0,   0, 0,   0,   0,   0,   'o',
    'u', 0,   'i', 'p', 0,   'l', 'j', 0,   'k', 0,   0, 0,   0,   'n', 'm'};
constexpr quint16 kMacSpace = 49;
constexpr std::uint32_t kSpaceKeysym = 0x20;

// The seam's hot-key masks (Carbon's) and the in-app flags (AppKit's).
constexpr quint32 kCommandMask = 0x100;
constexpr quint32 kShiftMask = 0x200;
constexpr quint32 kOptionMask = 0x800;
constexpr quint32 kControlMask = 0x1000;
constexpr quint64 kInAppShift = 0x20000;
constexpr quint64 kInAppControl = 0x40000;
constexpr quint64 kInAppOption = 0x80000;
constexpr quint64 kInAppCommand = 0x100000;

// Sees every key press of this application before its windows do.
class KeyFilter final : public QObject, public HotKeys::Registration {
public:
    explicit KeyFilter(HotKeys::Monitor monitor) : monitor_(std::move(monitor)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const auto* press = static_cast<QKeyEvent*>(event);
        const auto key = macKeyOfQtKey(press->key());
        if (!key) {
            return false;
        }
        const Qt::KeyboardModifiers held = press->modifiers();
        HotKeys::KeyDown down;
        down.keyCode = *key;
        down.modifierFlags = ((held & Qt::ShiftModifier) ? kInAppShift : 0) |
                             ((held & Qt::ControlModifier) ? kInAppControl : 0) |
                             ((held & Qt::AltModifier) ? kInAppOption : 0) |
                             ((held & Qt::MetaModifier) ? kInAppCommand : 0);
        down.isRepeat = press->isAutoRepeat();
        return monitor_(down);
    }

private:
    HotKeys::Monitor monitor_;
};

}  // namespace

std::optional<std::uint32_t> keysymOfMacKey(quint16 keyCode) {
    if (keyCode == kMacSpace) {
        return kSpaceKeysym;
    }
    if (keyCode < kMacLetters.size() && kMacLetters[keyCode] != 0) {
        return static_cast<std::uint32_t>(kMacLetters[keyCode]);
    }
    return std::nullopt;
}

std::optional<quint16> macKeyOfQtKey(int qtKey) {
    if (qtKey == Qt::Key_Space) {
        return kMacSpace;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        const char letter = static_cast<char>('a' + (qtKey - Qt::Key_A));
        for (std::size_t code = 0; code < kMacLetters.size(); ++code) {
            if (kMacLetters[code] == letter) {
                return static_cast<quint16>(code);
            }
        }
    }
    return std::nullopt;
}

std::optional<Qt::Key> qtKeyOfMacKey(quint16 keyCode) {
    const auto keysym = keysymOfMacKey(keyCode);
    if (!keysym) {
        return std::nullopt;
    }
    if (*keysym == kSpaceKeysym) {
        return Qt::Key_Space;
    }
    return static_cast<Qt::Key>(Qt::Key_A + static_cast<int>(*keysym - 'a'));
}

Qt::KeyboardModifiers qtModifiersOfHotKeyMask(quint32 modifiers) {
    Qt::KeyboardModifiers held;
    held.setFlag(Qt::ShiftModifier, (modifiers & kShiftMask) != 0);
    held.setFlag(Qt::ControlModifier, (modifiers & kControlMask) != 0);
    held.setFlag(Qt::AltModifier, (modifiers & kOptionMask) != 0);
    held.setFlag(Qt::MetaModifier, (modifiers & kCommandMask) != 0);
    return held;
}

std::unique_ptr<HotKeys::Registration> addAppKeyMonitor(HotKeys::Monitor monitor) {
    if (!QCoreApplication::instance()) {
        return nullptr;
    }
    return std::make_unique<KeyFilter>(std::move(monitor));
}

}  // namespace tidyword::platform::linux_desktop
