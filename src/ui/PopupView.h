// The whole content of the floating suggestion panel: where the selection came from, the edit
// mode (and a custom instruction), the draft, progress, the suggestion with its changes, any
// error, a privacy note, and the copy and replace actions. It keeps no state of its own: every
// change of the model re-renders it, and its controls call the model's operations.
#pragma once

#include "model/AppModel.h"
#include "ui/RenderSchedule.h"

#include <QWidget>

#include <optional>
#include <tuple>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTextEdit;
class QToolButton;

namespace tidyword::ui {

class Spinner;
class SymbolLabel;

class PopupView : public QWidget {
    Q_OBJECT

public:
    static constexpr int width = 620;

    explicit PopupView(AppModel& model, QWidget* parent = nullptr);

    // Reads every field of the model again, now. The model's changes render it on their own
    // schedule: a capture assigns a dozen fields before its popup shows.
    void render();
    RenderSchedule& schedule() { return *schedule_; }

    // Puts the keyboard focus on the first control worth pressing keys on: the instruction field
    // in Custom, otherwise the mode picker, or the next one that can take it; never the header's
    // settings and dismiss buttons, where a Space meant for the draft would act.
    void focusFirstControl();

Q_SIGNALS:
    // After each render: what the view shows, and so its height, may have changed.
    void rendered();

private:
    QWidget* buildHeader();
    QWidget* buildBody();
    QWidget* buildActionBar();
    QWidget* buildResultPanel();
    void renderResultPanel();

    AppModel& model_;
    RenderSchedule* schedule_ = nullptr;
    // What was last handed to the widgets whose setters redo their work for an equal value.
    // The text the result shows, as (original, suggestion, display).
    std::optional<std::tuple<QString, QString, PreviewDisplay>> shownResult_;
    std::optional<bool> badgeIsDemo_;
    QString copyIconName_;

    QLabel* sourceLabel_ = nullptr;
    QLabel* badge_ = nullptr;
    QToolButton* settingsButton_ = nullptr;
    QToolButton* dismissButton_ = nullptr;

    QComboBox* modePicker_ = nullptr;
    QLabel* usageLabel_ = nullptr;
    QWidget* customSection_ = nullptr;
    QLineEdit* instructionField_ = nullptr;
    QLabel* instructionCounter_ = nullptr;
    QPushButton* applyButton_ = nullptr;

    QLabel* caption_ = nullptr;
    QWidget* displayPicker_ = nullptr;
    QButtonGroup* displayButtons_ = nullptr;
    QScrollArea* resultScroll_ = nullptr;
    QWidget* busyRow_ = nullptr;
    QWidget* noCorrections_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QLabel* emptyStateHint_ = nullptr;
    QTextEdit* resultText_ = nullptr;

    QFrame* errorBox_ = nullptr;
    QLabel* errorText_ = nullptr;
    SymbolLabel* footerSymbol_ = nullptr;
    QLabel* footerText_ = nullptr;

    QPushButton* retryButton_ = nullptr;
    QPushButton* signInButton_ = nullptr;
    QPushButton* improveButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QPushButton* replaceButton_ = nullptr;
    Spinner* replaceSpinner_ = nullptr;
    QLabel* replaceLabel_ = nullptr;
};

}  // namespace tidyword::ui
