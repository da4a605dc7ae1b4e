#include "ui/PopupView.h"

#include "base/Characters.h"
#include "ui/BrandMark.h"
#include "ui/ResultText.h"
#include "ui/Spinner.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QAbstractTextDocumentLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

#include <memory>
#include <utility>

namespace tidyword::ui {

namespace {

constexpr int kResultMinimumHeight = 150;
constexpr int kResultMaximumHeight = 260;

const QString kTagline = QStringLiteral("A little clarity, wherever you write.");

// A scroll area as tall as its content, within the result panel's bounds. It answers for any
// width, so that the popup can be measured before it has ever been laid out.
class FittingScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override {
        int height = kResultMinimumHeight;
        if (widget() && widget()->layout()) {
            height = widget()->layout()->totalHeightForWidth(width - 2 * frameWidth());
        }
        return std::clamp(height + 2 * frameWidth(), kResultMinimumHeight, kResultMaximumHeight);
    }

    QSize sizeHint() const override {
        return {QScrollArea::sizeHint().width(), heightForWidth(width())};
    }
};

// The result text: selectable, as tall as its text at any width, never scrolling by itself.
// A word longer than the line (a URL, a path) breaks where it must, so nothing the user may
// paste is cut off at the right edge.
class ResultTextView : public QTextEdit {
public:
    explicit ResultTextView(QWidget* parent) : QTextEdit(parent) {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setTabChangesFocus(true);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFrameShape(QFrame::NoFrame);
        viewport()->setAutoFillBackground(false);
        document()->setDocumentMargin(0);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        QObject::connect(document()->documentLayout(),
                         &QAbstractTextDocumentLayout::documentSizeChanged, this,
                         [this] { updateGeometry(); });
    }

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override {
        const std::unique_ptr<QTextDocument> copy(document()->clone());
        copy->setTextWidth(std::max(width - 2 * frameWidth(), 1));
        return qCeil(copy->size().height()) + 2 * frameWidth();
    }

    QSize minimumSizeHint() const override { return {0, 0}; }
};

}  // namespace

PopupView::PopupView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setFixedWidth(width);
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Tidyword — Improve text"));

    auto* layout = column(0, this);
    layout->addWidget(buildHeader());
    layout->addWidget(divider(this));
    layout->addWidget(buildBody());
    layout->addWidget(divider(this));
    layout->addWidget(buildActionBar());

    schedule_ = new RenderSchedule(*this, [this] { render(); });
    QObject::connect(&model_, &AppModel::changed, schedule_, &RenderSchedule::changed);
    render();
}

QWidget* PopupView::buildHeader() {
    auto* header = new QWidget(this);
    auto* layout = row(11, header);
    layout->setContentsMargins(24, 23, 24, 20);
    layout->addWidget(new BrandMark(34, header));

    auto* titles = column(3);
    titles->addWidget(makeLabel(QStringLiteral("Tidyword"), 17, QFont::DemiBold,
                                toneColor(Tone::primary), header));
    sourceLabel_ = makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), header);
    sourceLabel_->setObjectName(QStringLiteral("source"));
    titles->addWidget(sourceLabel_);
    layout->addLayout(titles);
    layout->addStretch(1);

    badge_ = new QLabel(header);
    badge_->setFont(textFont(9, QFont::Bold, 1.4));
    badge_->setObjectName(QStringLiteral("badge"));
    layout->addWidget(badge_, 0, Qt::AlignVCenter);

    settingsButton_ = new QToolButton(header);
    settingsButton_->setObjectName(QStringLiteral("settingsButton"));
    settingsButton_->setIcon(
        symbolIcon(QStringLiteral("gearshape"), 14, toneColor(Tone::secondary)));
    settingsButton_->setIconSize(QSize(14, 14));
    settingsButton_->setAutoRaise(true);
    // The tip is also the button's description to assistive technology: it adds the key.
    settingsButton_->setToolTip(
        QStringLiteral("Settings · ") +
        QKeySequence(Qt::CTRL | Qt::Key_Comma).toString(QKeySequence::NativeText));
    settingsButton_->setAccessibleName(QStringLiteral("Settings"));
    QObject::connect(settingsButton_, &QToolButton::clicked, this, [this] {
        if (model_.onOpenSettings) {
            model_.onOpenSettings();
        }
    });
    layout->addWidget(settingsButton_);

    dismissButton_ = new QToolButton(header);
    dismissButton_->setObjectName(QStringLiteral("dismissButton"));
    dismissButton_->setIcon(symbolIcon(QStringLiteral("xmark"), 12, toneColor(Tone::primary)));
    dismissButton_->setIconSize(QSize(12, 12));
    dismissButton_->setFixedSize(26, 26);
    dismissButton_->setStyleSheet(
        QStringLiteral("QToolButton { background: %1; border: none; border-radius: 13px; }")
            .arg(cssColor(toneColor(Tone::primary), 0.055)));
    dismissButton_->setToolTip(QStringLiteral("Dismiss · Esc"));
    dismissButton_->setAccessibleName(QStringLiteral("Dismiss"));
    QObject::connect(dismissButton_, &QToolButton::clicked, this, [this] { model_.dismiss(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, this, [this] {
        if (dismissButton_->isEnabled()) {
            dismissButton_->click();
        }
    });
    layout->addWidget(dismissButton_);
    return header;
}

QWidget* PopupView::buildBody() {
    auto* body = new QWidget(this);
    auto* layout = column(18, body);
    layout->setContentsMargins(24, 24, 24, 24);

    // Mode row.
    auto* modeRow = row(12);
    auto* modeTitle =
        makeLabel(QStringLiteral("Improve as"), 13, QFont::Normal, toneColor(Tone::primary), body);
    modePicker_ = new QComboBox(body);
    modePicker_->setObjectName(QStringLiteral("modePicker"));
    keepFromStrayWheel(modePicker_);
    for (const EditMode mode : allCases<EditMode>()) {
        modePicker_->addItem(title(mode), static_cast<int>(mode));
    }
    modePicker_->setAccessibleName(QStringLiteral("Improve as"));
    modeTitle->setBuddy(modePicker_);
    auto* picker = new QWidget(body);
    picker->setFixedWidth(220);
    auto* pickerLayout = row(8, picker);
    pickerLayout->addWidget(modeTitle);
    pickerLayout->addWidget(modePicker_, 1);
    QObject::connect(modePicker_, &QComboBox::activated, this, [this](int index) {
        model_.chooseMode(static_cast<EditMode>(modePicker_->itemData(index).toInt()));
    });
    modeRow->addWidget(picker);
    modeRow->addStretch(1);
    usageLabel_ = makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), body);
    usageLabel_->setObjectName(QStringLiteral("requests"));
    modeRow->addWidget(usageLabel_);
    layout->addLayout(modeRow);

    // Custom instruction.
    customSection_ = new QWidget(body);
    auto* custom = column(7, customSection_);
    custom->addWidget(makeLabel(QStringLiteral("How should this text change?"), 12, QFont::Medium,
                                toneColor(Tone::primary), customSection_));
    instructionField_ = new QLineEdit(customSection_);
    instructionField_->setObjectName(QStringLiteral("instructionField"));
    instructionField_->setPlaceholderText(QStringLiteral("For example: make it warm and concise"));
    instructionField_->setAccessibleName(QStringLiteral("How should this text change?"));
    instructionField_->setMinimumHeight(28);
    QObject::connect(instructionField_, &QLineEdit::textEdited, this,
                     [this](const QString& text) { model_.setCustomInstruction(text); });
    custom->addWidget(instructionField_);
    auto* counterRow = row(8);
    instructionCounter_ =
        makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), customSection_);
    instructionCounter_->setObjectName(QStringLiteral("instructionLength"));
    counterRow->addWidget(instructionCounter_);
    counterRow->addStretch(1);
    applyButton_ = new QPushButton(QStringLiteral("Apply instructions"), customSection_);
    applyButton_->setObjectName(QStringLiteral("applyButton"));
    QObject::connect(applyButton_, &QPushButton::clicked, this, [this] { model_.generate(); });
    counterRow->addWidget(applyButton_);
    custom->addLayout(counterRow);
    layout->addWidget(customSection_);

    // Result.
    auto* result = column(14);
    auto* heading = row(8);
    caption_ = new QLabel(body);
    caption_->setFont(textFont(10, QFont::DemiBold, 1.2));
    setTextColor(caption_, toneColor(Tone::secondary));
    caption_->setObjectName(QStringLiteral("caption"));
    heading->addWidget(caption_);
    heading->addStretch(1);
    displayPicker_ = new QWidget(body);
    displayPicker_->setObjectName(QStringLiteral("displayPicker"));
    displayPicker_->setFixedWidth(230);
    displayPicker_->setAccessibleName(QStringLiteral("Preview"));
    auto* segments = row(0, displayPicker_);
    displayButtons_ = new QButtonGroup(displayPicker_);
    for (const PreviewDisplay display : allCases<PreviewDisplay>()) {
        auto* segment = new QPushButton(rawValue(display), displayPicker_);
        segment->setObjectName(rawValue(display));
        segment->setCheckable(true);
        displayButtons_->addButton(segment, static_cast<int>(display));
        segments->addWidget(segment);
    }
    // Assistive technology checks a segment without clicking it, so the view follows the checked
    // segment, not the click.
    QObject::connect(displayButtons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            model_.setDisplayMode(static_cast<PreviewDisplay>(id));
        }
    });
    heading->addWidget(displayPicker_);
    result->addLayout(heading);
    result->addWidget(buildResultPanel());
    layout->addLayout(result);

    // Error box.
    errorBox_ = new QFrame(body);
    errorBox_->setObjectName(QStringLiteral("errorBox"));
    errorBox_->setStyleSheet(QStringLiteral("#errorBox { background: %1; border-radius: 10px; }")
                                 .arg(cssColor(orange(), 0.08)));
    auto* error = row(9, errorBox_);
    error->setContentsMargins(12, 12, 12, 12);
    error->setAlignment(Qt::AlignTop);
    auto* errorSymbol =
        new SymbolLabel(QStringLiteral("exclamationmark.circle.fill"), 14, orange(), errorBox_);
    // The message alone may not say that something went wrong.
    errorSymbol->setMeaning(QStringLiteral("Error"));
    error->addWidget(errorSymbol, 0, Qt::AlignTop);
    errorText_ = makeLabel(QString(), 12, QFont::Normal, toneColor(Tone::primary), errorBox_);
    errorText_->setWordWrap(true);
    errorText_->setObjectName(QStringLiteral("errorText"));
    error->addWidget(errorText_, 1);
    layout->addWidget(errorBox_);

    // Footer note.
    auto* footer = row(7);
    footer->setAlignment(Qt::AlignTop);
    footerSymbol_ =
        new SymbolLabel(QStringLiteral("lock.shield"), 11, toneColor(Tone::secondary), body);
    footerSymbol_->setObjectName(QStringLiteral("footerSymbol"));
    footer->addWidget(footerSymbol_, 0, Qt::AlignTop);
    footerText_ = makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), body);
    footerText_->setWordWrap(true);
    footerText_->setObjectName(QStringLiteral("note"));
    footer->addWidget(footerText_, 1);
    layout->addLayout(footer);
    return body;
}

QWidget* PopupView::buildResultPanel() {
    resultScroll_ = new FittingScrollArea(this);
    resultScroll_->setObjectName(QStringLiteral("resultPanel"));
    resultScroll_->setWidgetResizable(true);
    resultScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resultScroll_->setMinimumHeight(kResultMinimumHeight);
    resultScroll_->setMaximumHeight(kResultMaximumHeight);
    resultScroll_->setStyleSheet(
        QStringLiteral("#resultPanel { background: %1; border: 1px solid %2; border-radius: 13px; }"
                       "#resultContent { background: transparent; }")
            .arg(cssColor(palette().color(QPalette::Base)),
                 cssColor(toneColor(Tone::primary), 0.07)));
    resultScroll_->setAccessibleName(QStringLiteral("Result"));

    auto* content = new QWidget(resultScroll_);
    content->setObjectName(QStringLiteral("resultContent"));
    auto* layout = column(14, content);
    layout->setContentsMargins(18, 18, 18, 18);

    busyRow_ = new QWidget(content);
    busyRow_->setObjectName(QStringLiteral("busyRow"));
    auto* busy = row(9, busyRow_);
    busy->setContentsMargins(0, 0, 0, 4);
    busy->addWidget(new Spinner(14, accent(), busyRow_));
    busy->addWidget(makeLabel(QStringLiteral("Finding the right words…"), 13, QFont::Medium,
                              accent(), busyRow_));
    busy->addStretch(1);
    layout->addWidget(busyRow_);

    noCorrections_ = new QWidget(content);
    noCorrections_->setObjectName(QStringLiteral("noCorrections"));
    auto* check = row(6, noCorrections_);
    auto* checkmark =
        new SymbolLabel(QStringLiteral("checkmark.circle.fill"), 12, green(), noCorrections_);
    checkmark->setMeaning(QStringLiteral("Looks good"));
    check->addWidget(checkmark);
    check->addWidget(makeLabel(QStringLiteral("No corrections needed."), 12, QFont::Medium, green(),
                               noCorrections_));
    check->addStretch(1);
    layout->addWidget(noCorrections_);

    emptyState_ = new QWidget(content);
    emptyState_->setObjectName(QStringLiteral("emptyState"));
    auto* empty = column(12, emptyState_);
    empty->setContentsMargins(0, 14, 0, 14);
    empty->addWidget(new SymbolLabel(QStringLiteral("cursorarrow.and.square.on.square.dashed"), 28,
                                     accent(), emptyState_));
    empty->addWidget(makeLabel(QStringLiteral("Start with a selection."), 20, QFont::DemiBold,
                               toneColor(Tone::primary), emptyState_));
    emptyStateHint_ =
        makeLabel(QString(), 14, QFont::Normal, toneColor(Tone::secondary), emptyState_);
    emptyStateHint_->setWordWrap(true);
    emptyStateHint_->setObjectName(QStringLiteral("emptyStateHint"));
    empty->addWidget(emptyStateHint_);
    layout->addWidget(emptyState_);

    resultText_ = new ResultTextView(content);
    resultText_->setObjectName(QStringLiteral("resultText"));
    resultText_->setFont(textFont(kResultFontSize));
    layout->addWidget(resultText_);
    layout->addStretch(1);

    resultScroll_->setWidget(content);
    return resultScroll_;
}

QWidget* PopupView::buildActionBar() {
    auto* bar = new QWidget(this);
    auto* layout = row(10, bar);
    layout->setContentsMargins(24, 16, 24, 16);
    auto* dismissHint = makeLabel(QStringLiteral("esc to dismiss"), 11, QFont::Normal,
                                  toneColor(Tone::tertiary), bar);
    dismissHint->setObjectName(QStringLiteral("dismissHint"));
    layout->addWidget(dismissHint);
    layout->addStretch(1);

    retryButton_ = new QPushButton(QStringLiteral("Retry"), bar);
    retryButton_->setObjectName(QStringLiteral("retryButton"));
    QObject::connect(retryButton_, &QPushButton::clicked, this, [this] { model_.generate(); });
    layout->addWidget(retryButton_);

    signInButton_ = new QPushButton(QStringLiteral("Sign in"), bar);
    signInButton_->setObjectName(QStringLiteral("signInButton"));
    makeProminent(signInButton_);
    makeLarge(signInButton_);
    QObject::connect(signInButton_, &QPushButton::clicked, this, [this] {
        if (model_.onOpenSettings) {
            model_.onOpenSettings();
        }
    });
    layout->addWidget(signInButton_);

    improveButton_ = new QPushButton(QStringLiteral("Improve"), bar);
    improveButton_->setObjectName(QStringLiteral("improveButton"));
    QObject::connect(improveButton_, &QPushButton::clicked, this, [this] { model_.generate(); });
    layout->addWidget(improveButton_);

    copyButton_ = new QPushButton(bar);
    copyButton_->setObjectName(QStringLiteral("copyButton"));
    makeLarge(copyButton_, 60);
    QObject::connect(copyButton_, &QPushButton::clicked, this, [this] { model_.copySuggestion(); });
    layout->addWidget(copyButton_);

    replaceButton_ = new QPushButton(bar);
    replaceButton_->setObjectName(QStringLiteral("replaceButton"));
    makeProminent(replaceButton_);
    makeLarge(replaceButton_, 125);
    replaceButton_->setToolTip(
        QStringLiteral("Replace the original selection without sending your message"));
    auto* replaceContent = row(7, replaceButton_);
    replaceContent->setContentsMargins(14, 0, 14, 0);
    replaceContent->addStretch(1);
    replaceSpinner_ = new Spinner(12, Qt::white, replaceButton_);
    replaceContent->addWidget(replaceSpinner_);
    replaceLabel_ = makeLabel(QString(), 13, QFont::DemiBold, Qt::white, replaceButton_);
    replaceLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    replaceContent->addWidget(replaceLabel_);
    replaceContent->addStretch(1);
    QObject::connect(replaceButton_, &QPushButton::clicked, this,
                     [this] { model_.replaceSuggestion(); });
    layout->addWidget(replaceButton_);
    return bar;
}

void PopupView::render() {
    schedule_->rendered();
    const AppModel& model = model_;
    const bool hasSuggestion = !model.suggestion().isEmpty();
    const bool hasOriginal = !model.original().isEmpty();
    const bool hasError = model.errorMessage().has_value();

    // Header.
    sourceLabel_->setText(model.sourceName().isEmpty() ? kTagline : model.sourceName());
    const QColor badgeColor = model.isDemo() ? orange() : accent();
    badge_->setText(model.isDemo() ? QStringLiteral("PREVIEW") : QStringLiteral("FREE BETA"));
    // A style sheet set again re-polishes the label even when it is the same.
    if (badgeIsDemo_ != model.isDemo()) {
        badgeIsDemo_ = model.isDemo();
        badge_->setStyleSheet(
            QStringLiteral(
                "QLabel { color: %1; background: %2; border-radius: 10px; padding: 6px 9px; }")
                .arg(cssColor(badgeColor), cssColor(badgeColor, 0.08)));
    }
    dismissButton_->setEnabled(!model.replacing());

    // Mode row.
    {
        const QSignalBlocker quiet(modePicker_);
        modePicker_->setCurrentIndex(modePicker_->findData(static_cast<int>(model.mode())));
    }
    modePicker_->setEnabled(!model.replacing() && hasOriginal);
    usageLabel_->setText(model.usageLabel());

    // Custom instruction.
    customSection_->setVisible(model.mode() == EditMode::custom);
    if (instructionField_->text() != model.customInstruction()) {
        instructionField_->setText(model.customInstruction());
    }
    instructionField_->setEnabled(!model.busy() && !model.replacing());
    instructionCounter_->setText(QString::number(scalarCount(model.customInstruction())) +
                                 QStringLiteral(" / 2,000 characters"));
    applyButton_->setEnabled(!model.busy() && !model.replacing() && model.signedIn() &&
                             !model.customInstruction().isEmpty());

    // Result.
    caption_->setText(model.busy()        ? QStringLiteral("WORKING ON YOUR DRAFT")
                      : model.unchanged() ? QStringLiteral("LOOKS GOOD")
                                          : QStringLiteral("YOUR DRAFT, REFINED"));
    displayPicker_->setVisible(hasSuggestion);
    if (auto* current = displayButtons_->button(static_cast<int>(model.displayMode()))) {
        const QSignalBlocker quiet(displayButtons_);
        current->setChecked(true);
    }
    // The text's own name is the heading over it.
    resultText_->setAccessibleName(caption_->text());
    renderResultPanel();

    // Error and footer.
    errorBox_->setVisible(hasError);
    errorText_->setText(model.errorMessage().value_or(QString()));
    footerSymbol_->setSymbol(model.isDemo() ? QStringLiteral("eye") : QStringLiteral("lock.shield"),
                             toneColor(Tone::secondary));
    if (model.isDemo()) {
        footerText_->setText(
            QStringLiteral("Sample text only. This preview makes no API requests."));
    } else if (hasSuggestion && !model.canReplace()) {
        footerText_->setText(QStringLiteral(
            "Copy this suggestion to your draft. Direct replacement isn’t available for this "
            "selection."));
    } else {
        footerText_->setText(model.popupPrivacyNote());
    }

    // Action bar.
    retryButton_->setVisible(hasError && hasOriginal && model.signedIn());
    retryButton_->setEnabled(!model.busy() && !model.isDemo());
    const bool signInOnly = !model.signedIn() && !model.isDemo();
    signInButton_->setVisible(signInOnly);
    improveButton_->setVisible(!signInOnly && !hasSuggestion && !model.busy() && hasOriginal &&
                               !hasError);
    improveButton_->setEnabled(!model.replacing());
    copyButton_->setVisible(!signInOnly);
    copyButton_->setText(model.copyLabel());
    const QString copyIcon = model.copyLabel() == QStringLiteral("Copied")
                                 ? QStringLiteral("checkmark")
                                 : QStringLiteral("doc.on.doc");
    if (std::exchange(copyIconName_, copyIcon) != copyIcon) {
        copyButton_->setIcon(symbolIcon(copyIcon, 14, toneColor(Tone::primary)));
    }
    copyButton_->setEnabled(hasSuggestion && !model.busy() && !model.replacing());
    replaceButton_->setVisible(!signInOnly);
    replaceSpinner_->setVisible(model.replacing());
    const QString replaceTitle =
        model.replacing() ? QStringLiteral("Replacing…") : QStringLiteral("Replace selection");
    replaceLabel_->setText(replaceTitle);
    // The title is a label inside the button, to sit beside the spinner; the button says it too.
    replaceButton_->setAccessibleName(replaceTitle);
    replaceButton_->setMinimumWidth(std::max(125, replaceButton_->layout()->sizeHint().width()));
    replaceButton_->setEnabled(model.canReplace() && hasSuggestion && !model.busy() &&
                               !model.replacing() && !model.unchanged());
    Q_EMIT rendered();
}

void PopupView::focusFirstControl() {
    QWidget* const first = model_.mode() == EditMode::custom
                               ? static_cast<QWidget*>(instructionField_)
                               : static_cast<QWidget*>(modePicker_);
    QWidget* candidate = first;
    do {
        if (candidate != settingsButton_ && candidate != dismissButton_ &&
            isAncestorOf(candidate) && candidate->isEnabled() && candidate->isVisibleTo(this) &&
            (candidate->focusPolicy() & Qt::TabFocus) != 0) {
            candidate->setFocus(Qt::OtherFocusReason);
            return;
        }
        candidate = candidate->nextInFocusChain();
    } while (candidate != first);
}

void PopupView::renderResultPanel() {
    const AppModel& model = model_;
    const bool busy = model.busy();
    const bool hasSuggestion = !model.suggestion().isEmpty();
    const bool hasOriginal = !model.original().isEmpty();

    busyRow_->setVisible(busy);
    noCorrections_->setVisible(!busy && hasSuggestion && model.unchanged());
    emptyState_->setVisible(!busy && !hasSuggestion && !hasOriginal);
    emptyStateHint_->setText(
        QStringLiteral(
            "Highlight a sentence in Slack, ChatGPT, or another text editor. Then press ") +
        displayLabel(model.shortcut()) + QStringLiteral("."));

    // The draft stays in view, quieter, while the service works.
    setTextColor(resultText_, toneColor(busy ? Tone::secondary : Tone::primary));
    const QString suggestion = busy ? QString() : model.suggestion();
    const PreviewDisplay display =
        hasSuggestion && !busy ? model.displayMode() : PreviewDisplay::original;
    // The document and its diff are made again only for a text that changed: set again, the same
    // document would be laid out again.
    auto shown = std::tuple(model.original(), suggestion, display);
    if (shownResult_ != shown) {
        resultText_->setHtml(resultHtml(model.original(), suggestion, display));
        resultText_->setAccessibleDescription(
            resultDescription(model.original(), suggestion, display));
        shownResult_ = std::move(shown);
    }
    resultText_->setVisible(busy || hasOriginal || hasSuggestion);
    resultScroll_->updateGeometry();
}

}  // namespace tidyword::ui
