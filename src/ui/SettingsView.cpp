#include "ui/SettingsView.h"

#include "base/DesktopWords.h"
#include "hotkey/HotKeyError.h"
#include "ui/BrandMark.h"
#include "ui/Spinner.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tidyword::ui {

namespace {

QLabel* wrapping(QLabel* label) {
    label->setWordWrap(true);
    return label;
}

// A step of use: its number in an accent circle, and its title.
QWidget* step(const QString& number, QLabel* title, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* layout = row(6, widget);
    auto* circle = makeLabel(number, 10, QFont::Bold, accent(), widget);
    circle->setFixedSize(19, 19);
    circle->setAlignment(Qt::AlignCenter);
    circle->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 9px; }")
                              .arg(cssColor(accent(), 0.1)));
    layout->addWidget(circle);
    title->setFont(textFont(11, QFont::Medium));
    layout->addWidget(title);
    return widget;
}

QWidget* sectionTitle(const QString& symbol, const QString& title, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* layout = row(5, widget);
    layout->addWidget(new SymbolLabel(symbol, 11, toneColor(Tone::secondary), widget));
    auto* label = new QLabel(title, widget);
    label->setFont(textFont(10, QFont::DemiBold, 1.2));
    setTextColor(label, toneColor(Tone::secondary));
    layout->addWidget(label);
    layout->addStretch(1);
    return widget;
}

}  // namespace

SettingsView::SettingsView(AppModel& model, std::function<void()> requestAccessibility,
                           QWidget* parent)
    : QWidget(parent), model_(model), requestAccessibility_(std::move(requestAccessibility)) {
    // The window is 600 wide; the page gives way to a scroll bar rather than be cut off.
    setMaximumWidth(width);
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Tidyword Settings"));

    auto* layout = column(22, this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->addWidget(buildHeader());
    serviceNote_ = wrapping(makeLabel(QString(), 12, QFont::Medium, orange(), this));
    serviceNote_->setObjectName(QStringLiteral("serviceNote"));
    layout->addWidget(serviceNote_);
    layout->addWidget(buildSteps());
    layout->addWidget(buildAccount());
    layout->addWidget(divider(this));
    layout->addWidget(buildAccess());
    privacyNote_ =
        wrapping(makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), this));
    privacyNote_->setObjectName(QStringLiteral("privacyNote"));
    layout->addWidget(privacyNote_);

    statusLine_ =
        wrapping(makeLabel(QString(), 12, QFont::Normal, toneColor(Tone::secondary), this));
    statusLine_->setObjectName(QStringLiteral("status"));
    layout->addWidget(statusLine_);
    desktopNote_ =
        wrapping(makeLabel(QString(), 12, QFont::Normal, toneColor(Tone::secondary), this));
    desktopNote_->setObjectName(QStringLiteral("desktopNote"));
    desktopNote_->hide();
    layout->addWidget(desktopNote_);
    layout->addStretch(1);

    auto* footer = row(10);
    auto* previewButton = new QPushButton(QStringLiteral("Preview popup"), this);
    previewButton->setObjectName(QStringLiteral("previewButton"));
    makeLarge(previewButton);
    QObject::connect(previewButton, &QPushButton::clicked, this, [this] { model_.preview(); });
    footer->addWidget(previewButton);
    footer->addStretch(1);
    auto* saveButton = new QPushButton(QStringLiteral("Save settings"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    makeProminent(saveButton);
    makeLarge(saveButton);
    QObject::connect(saveButton, &QPushButton::clicked, this, [this] { model_.saveSettings(); });
    footer->addWidget(saveButton);
    layout->addLayout(footer);

    schedule_ = new RenderSchedule(*this, [this] { render(); });
    QObject::connect(&model_, &AppModel::changed, schedule_, &RenderSchedule::changed);
    render();
}

QWidget* SettingsView::buildHeader() {
    auto* header = new QWidget(this);
    auto* layout = row(14, header);
    layout->addWidget(new BrandMark(50, header));
    auto* titles = column(4);
    titles->addWidget(makeLabel(QStringLiteral("Make room for better words."), 23, QFont::DemiBold,
                                toneColor(Tone::primary), header));
    titles->addWidget(makeLabel(
        QStringLiteral("Tidyword " TIDYWORD_VERSION " beta · Write clearly. Ask better questions."),
        12, QFont::Normal, toneColor(Tone::secondary), header));
    layout->addLayout(titles);
    layout->addStretch(1);
    return header;
}

QWidget* SettingsView::buildSteps() {
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("steps"));
    bar->setStyleSheet(QStringLiteral("#steps { background: %1; border-radius: 12px; }")
                           .arg(cssColor(accent(), 0.055)));
    auto* layout = row(10, bar);
    layout->setContentsMargins(14, 14, 14, 14);
    const auto chevron = [bar] {
        return new SymbolLabel(QStringLiteral("chevron.right"), 10, toneColor(Tone::tertiary), bar);
    };
    layout->addWidget(
        step(QStringLiteral("1"), new QLabel(QStringLiteral("Select your draft")), bar));
    layout->addWidget(chevron());
    shortcutStep_ = new QLabel;
    shortcutStep_->setObjectName(QStringLiteral("shortcutStep"));
    layout->addWidget(step(QStringLiteral("2"), shortcutStep_, bar));
    layout->addWidget(chevron());
    layout->addWidget(
        step(QStringLiteral("3"), new QLabel(QStringLiteral("Review & replace")), bar));
    layout->addStretch(1);
    return bar;
}

QWidget* SettingsView::buildAccount() {
    auto* section = new QWidget(this);
    auto* layout = column(8, section);
    layout->addWidget(sectionTitle(QStringLiteral("person.crop.circle"),
                                   QStringLiteral("YOUR ACCOUNT"), section));
    usageLabel_ = makeLabel(QString(), 17, QFont::DemiBold, toneColor(Tone::primary), section);
    usageLabel_->setObjectName(QStringLiteral("requests"));
    layout->addWidget(usageLabel_);
    resetLabel_ = makeLabel(QString(), 12, QFont::Normal, toneColor(Tone::secondary), section);
    resetLabel_->setObjectName(QStringLiteral("resetDate"));
    layout->addWidget(resetLabel_);
    layout->addWidget(wrapping(makeLabel(
        QStringLiteral("Sign in with your email or Google account. Free beta requests are "
                       "included each month."),
        12, QFont::Normal, toneColor(Tone::secondary), section)));

    auto* buttons = row(8);
    signInButton_ = new QPushButton(QStringLiteral("Sign in"), section);
    signInButton_->setObjectName(QStringLiteral("signInButton"));
    makeProminent(signInButton_);
    makeLarge(signInButton_);
    QObject::connect(signInButton_, &QPushButton::clicked, this, [this] { model_.signIn(); });
    buttons->addWidget(signInButton_);
    refreshButton_ = new QPushButton(QStringLiteral("Refresh requests"), section);
    refreshButton_->setObjectName(QStringLiteral("refreshButton"));
    makeLarge(refreshButton_);
    QObject::connect(refreshButton_, &QPushButton::clicked, this,
                     [this] { model_.refreshAccount(); });  // runs on by itself
    buttons->addWidget(refreshButton_);
    cancelSignInButton_ = new QPushButton(QStringLiteral("Cancel"), section);
    cancelSignInButton_->setObjectName(QStringLiteral("cancelSignInButton"));
    makeLarge(cancelSignInButton_);
    QObject::connect(cancelSignInButton_, &QPushButton::clicked, this,
                     [this] { model_.cancelSignIn(); });
    buttons->addWidget(cancelSignInButton_);

    signOutButton_ = new QPushButton(QStringLiteral("Sign out"), section);
    signOutButton_->setObjectName(QStringLiteral("signOutButton"));
    makeLarge(signOutButton_);
    QObject::connect(signOutButton_, &QPushButton::clicked, this, [this] { model_.signOut(); });
    buttons->addWidget(signOutButton_);
    accountSpinner_ = new Spinner(16, toneColor(Tone::secondary), section);
    buttons->addWidget(accountSpinner_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return section;
}

QWidget* SettingsView::buildAccess() {
    auto* section = new QWidget(this);
    auto* layout = column(12, section);
    layout->addWidget(sectionTitle(QStringLiteral("cursorarrow.rays"),
                                   QString::fromUtf16(desktopWords().accessSectionTitle), section));

    auto* access = row(10);
    accessSymbol_ = new SymbolLabel(QStringLiteral("circle.dashed"), 19, orange(), section);
    accessSymbol_->setObjectName(QStringLiteral("accessSymbol"));
    access->addWidget(accessSymbol_, 0, Qt::AlignTop);
    auto* texts = column(3);
    accessTitle_ = makeLabel(QString(), 13, QFont::Medium, toneColor(Tone::primary), section);
    accessTitle_->setObjectName(QStringLiteral("accessTitle"));
    texts->addWidget(accessTitle_);
    accessDescription_ =
        wrapping(makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), section));
    accessDescription_->setObjectName(QStringLiteral("accessDescription"));
    texts->addWidget(accessDescription_);
    setReplacementRoute(ReplacementRoute::paste);
    access->addLayout(texts, 1);
    accessButton_ = new QPushButton(section);
    accessButton_->setObjectName(QStringLiteral("accessButton"));
    QObject::connect(accessButton_, &QPushButton::clicked, this, [this] {
        if (requestAccessibility_) {
            requestAccessibility_();
        }
    });
    access->addWidget(accessButton_, 0, Qt::AlignVCenter);
    layout->addLayout(access);
    // The button changes a setting of the whole desktop: the user is told before choosing it.
    enableExplanation_ =
        wrapping(makeLabel(QString::fromUtf16(desktopWords().enableExplanation), 11, QFont::Normal,
                           toneColor(Tone::secondary), section));
    enableExplanation_->setObjectName(QStringLiteral("enableExplanation"));
    layout->addWidget(enableExplanation_);

    auto* shortcut = row(10);
    auto* shortcutTitle = makeLabel(QStringLiteral("Global shortcut"), 12, QFont::Medium,
                                    toneColor(Tone::primary), section);
    shortcut->addWidget(shortcutTitle);
    shortcut->addStretch(1);
    // Where GNOME runs a command for the chord, the button that adds it there sits beside it.
    desktopShortcutButton_ = new QPushButton(section);
    desktopShortcutButton_->setObjectName(QStringLiteral("desktopShortcutButton"));
    QObject::connect(desktopShortcutButton_, &QPushButton::clicked, this, [this] {
        if (model_.desktopShortcutAdded()) {
            model_.removeDesktopShortcut();
        } else {
            model_.addDesktopShortcut();
        }
    });
    shortcut->addWidget(desktopShortcutButton_);
    shortcutPicker_ = new QComboBox(section);
    shortcutPicker_->setObjectName(QStringLiteral("shortcutPicker"));
    keepFromStrayWheel(shortcutPicker_);
    shortcutPicker_->setFixedWidth(170);
    shortcutPicker_->setAccessibleName(QStringLiteral("Global shortcut"));
    // On Linux a picker's name is its current choice; the title reaches it as its label.
    shortcutTitle->setBuddy(shortcutPicker_);
    for (const ShortcutPreset preset : allCases<ShortcutPreset>()) {
        shortcutPicker_->addItem(displayLabel(preset), static_cast<int>(preset));
    }
    QObject::connect(shortcutPicker_, &QComboBox::activated, this, [this](int index) {
        model_.setShortcut(static_cast<ShortcutPreset>(shortcutPicker_->itemData(index).toInt()));
    });
    shortcut->addWidget(shortcutPicker_);
    layout->addLayout(shortcut);

    hotKeyError_ = wrapping(makeLabel(QString(), 11, QFont::Normal, orange(), section));
    hotKeyError_->setObjectName(QStringLiteral("shortcutError"));
    layout->addWidget(hotKeyError_);

    // Where no application may take keys for itself, the desktop runs a command for the chord.
    shortcutCommandNote_ =
        wrapping(makeLabel(QString(), 11, QFont::Normal, toneColor(Tone::secondary), section));
    shortcutCommandNote_->setObjectName(QStringLiteral("shortcutCommand"));
    // The command is there to be copied into the desktop's settings.
    shortcutCommandNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(shortcutCommandNote_);
    return section;
}

void SettingsView::setReplacementRoute(ReplacementRoute route) {
    accessDescription_->setText(
        route == ReplacementRoute::paste
            ? QStringLiteral("Allows Tidyword to read your selection and paste an accepted "
                             "improvement into the same editor.")
            : QStringLiteral("Allows Tidyword to read your selection and write an accepted "
                             "improvement into the same field, in place. Your clipboard is not "
                             "used."));
}

void SettingsView::setDesktopNote(const QString& note) {
    desktopNote_->setText(note);
    desktopNote_->setVisible(!note.isEmpty());
}

void SettingsView::render() {
    schedule_->rendered();
    const AppModel& model = model_;
    serviceNote_->setText(model.serviceNote());
    privacyNote_->setText(model.privacyNote());
    serviceNote_->setVisible(model.onLocalTestService());
    shortcutStep_->setText(displayLabel(model.shortcut()));

    usageLabel_->setText(model.usageLabel());
    const QString reset = model.resetLabel();
    resetLabel_->setText(reset);
    resetLabel_->setVisible(!reset.isEmpty());

    signInButton_->setVisible(!model.signedIn());
    // While the browser waits, "Sign in" starts the attempt over and "Cancel" abandons it.
    signInButton_->setEnabled(model.configured() && (!model.accountBusy() || model.signingIn()));
    cancelSignInButton_->setVisible(model.signingIn());
    refreshButton_->setVisible(model.signedIn());
    signOutButton_->setVisible(model.signedIn());
    accountSpinner_->setVisible(model.accountBusy());

    const bool granted = model.accessibilityGranted();
    accessSymbol_->setSymbol(
        granted ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle.dashed"),
        granted ? green() : orange());
    // The title reads as an action until access is granted; the symbol says where things stand.
    accessSymbol_->setMeaning(granted ? QStringLiteral("Enabled") : QStringLiteral("Not enabled"));
    accessTitle_->setText(granted ? QStringLiteral("Accessibility is enabled")
                                  : QStringLiteral("Enable Accessibility"));
    accessButton_->setText(granted ? QStringLiteral("Open settings") : QStringLiteral("Enable…"));
    enableExplanation_->setVisible(!granted && !enableExplanation_->text().isEmpty());

    {
        const QSignalBlocker quiet(shortcutPicker_);
        shortcutPicker_->setCurrentIndex(
            shortcutPicker_->findData(static_cast<int>(model.shortcut())));
    }
    hotKeyError_->setText(model.hotKeyError().value_or(QString()));
    hotKeyError_->setVisible(model.hotKeyError().has_value());
    // A refusal already says which command to bind, or what to press.
    const QString commandNote = model.shortcutCommandNote();
    shortcutCommandNote_->setText(commandNote);
    shortcutCommandNote_->setVisible(!commandNote.isEmpty() && !model.hotKeyError());
    desktopShortcutButton_->setText(model.desktopShortcutAdded()
                                        ? QStringLiteral("Remove from GNOME Shortcuts")
                                        : HotKeyError::addToGnomeShortcuts());
    desktopShortcutButton_->setVisible(model.shortcutBinding() ==
                                       AppModel::ShortcutBinding::gnomeCustomShortcut);

    statusLine_->setText(model.accountStatus());
    statusLine_->setVisible(!model.accountStatus().isEmpty());
    setTextColor(statusLine_, model.accountStatusIsError() ? orange() : toneColor(Tone::secondary));
}

}  // namespace tidyword::ui
