// The single page of the settings window: the product in two lines, the three steps of use,
// the account's free requests with the sign-in controls, the accessibility permission, the
// shortcut choice (and where the desktop runs a command for it, which one, and on GNOME the button
// that adds it to GNOME's shortcuts), the privacy note, the last account status, and the demo and
// save buttons. Like the popup it keeps no state of its own and re-renders on every change of the
// model.
#pragma once

#include "model/AppModel.h"
#include "ui/RenderSchedule.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace tidyword::ui {

class Spinner;
class SymbolLabel;

// How an accepted improvement reaches the source on this desktop.
enum class ReplacementRoute {
    paste,        // keys paste it through the clipboard, which is put back afterwards
    editInPlace,  // the field is edited through the accessibility bus; the clipboard stays
};

class SettingsView : public QWidget {
    Q_OBJECT

public:
    static constexpr int width = 600;

    // `requestAccessibility` asks the desktop for the accessibility permission and opens its
    // settings; the shell knows how on this desktop.
    SettingsView(AppModel& model, std::function<void()> requestAccessibility,
                 QWidget* parent = nullptr);

    // A line about this desktop that the account status must not hide (for example that there
    // is no tray); empty for none.
    void setDesktopNote(const QString& note);
    // What the permission row says Tidyword does with an accepted improvement.
    void setReplacementRoute(ReplacementRoute route);

    // Reads every field of the model again, now; the model's changes render it on their own
    // schedule.
    void render();
    RenderSchedule& schedule() { return *schedule_; }

private:
    QWidget* buildHeader();
    QWidget* buildSteps();
    QWidget* buildAccount();
    QWidget* buildAccess();

    AppModel& model_;
    std::function<void()> requestAccessibility_;
    RenderSchedule* schedule_ = nullptr;

    QLabel* serviceNote_ = nullptr;
    QLabel* shortcutStep_ = nullptr;
    QLabel* usageLabel_ = nullptr;
    QLabel* resetLabel_ = nullptr;
    QPushButton* signInButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* cancelSignInButton_ = nullptr;
    QPushButton* signOutButton_ = nullptr;
    Spinner* accountSpinner_ = nullptr;
    SymbolLabel* accessSymbol_ = nullptr;
    QLabel* accessTitle_ = nullptr;
    QPushButton* accessButton_ = nullptr;
    QLabel* enableExplanation_ = nullptr;
    QLabel* accessDescription_ = nullptr;
    QLabel* privacyNote_ = nullptr;
    QComboBox* shortcutPicker_ = nullptr;
    QLabel* hotKeyError_ = nullptr;
    QLabel* shortcutCommandNote_ = nullptr;
    QPushButton* desktopShortcutButton_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* desktopNote_ = nullptr;
};

}  // namespace tidyword::ui
