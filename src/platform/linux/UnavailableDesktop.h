// Stands in, in the application, for the desktop access that this session cannot offer:
// reading other applications through the accessibility bus, telling which application is in
// front, posting synthetic keys, grabbing a system-wide hot key, and a clipboard whose writes
// can be proven while Tidyword has no focused window. It refuses each one the way a desktop
// that denies it would, so every path ends in the message the user sees for that refusal:
// accessibility is not granted, the shortcut "is unavailable", the clipboard cannot be used.
#pragma once

#include "platform/Accessibility.h"
#include "platform/HotKeys.h"
#include "platform/KeyEvents.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

namespace tidyword::platform::linux_desktop {

class UnavailableDesktop final : public Accessibility,
                                 public Workspace,
                                 public KeyEvents,
                                 public HotKeys,
                                 public Pasteboard {
public:
    // The status a refused hot key reports.
    static constexpr Status hotKeyUnavailable = -1;

    // Accessibility: never trusted, every read absent.
    bool isTrusted() override { return false; }
    AccessibleElement applicationElement(qint32) override { return {}; }
    void setMessagingTimeout(const AccessibleElement&, std::chrono::milliseconds) override {}
    std::optional<AccessibleElement> elementAttribute(const AccessibleElement&,
                                                      Attribute) override {
        return std::nullopt;
    }
    std::optional<QString> stringAttribute(const AccessibleElement&, Attribute) override {
        return std::nullopt;
    }
    std::optional<bool> booleanAttribute(const AccessibleElement&, Attribute) override {
        return std::nullopt;
    }
    std::optional<TextRange> rangeAttribute(const AccessibleElement&, Attribute) override {
        return std::nullopt;
    }
    std::optional<ScreenRect> boundsForRange(const AccessibleElement&, TextRange) override {
        return std::nullopt;
    }
    std::optional<bool> isSettable(const AccessibleElement&, Attribute) override {
        return std::nullopt;
    }
    void setBoolean(const AccessibleElement&, Attribute, bool) override {}

    // Workspace: no application is known to be in front.
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::optional<RunningApplication> runningApplication(qint32) override { return std::nullopt; }
    bool activate(qint32) override { return false; }
    qint32 currentProcessIdentifier() override;
    QList<ScreenRect> screenFrames() override;

    // Key events: never posted.
    QCoro::Task<Posted> post(Shortcut, qint32, std::function<bool()> = {}) override {
        co_return Posted::no;
    }

    // Hot keys: presses could be received, but no hot key is granted.
    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16, quint32,
                                                                    Identifier) override {
        return {hotKeyUnavailable, nullptr};
    }
    std::unique_ptr<Registration> addLocalMonitor(Monitor) override;
    void setRenewalHandler(RenewalHandler) override {}  // nothing registered, nothing renewed

    // Pasteboard: its contents cannot be listed, and every write is refused or not made. An
    // empty clipboard would be a lie: a restore would then empty the user's real one.
    qint64 changeCount() override { return 0; }
    std::optional<QList<QStringList>> itemTypes() override { return std::nullopt; }
    std::optional<Data> data(int, const QString&, qint64) override { return std::nullopt; }
    void clearContents() override {}
    void writeItems(const QList<Item>&) override {}
    bool setString(const QString&) override { return false; }
    bool setTransientString(const QString&) override { return false; }
    std::optional<QString> string() override { return std::nullopt; }
    void keepAfterExit() override {}
};

}  // namespace tidyword::platform::linux_desktop
