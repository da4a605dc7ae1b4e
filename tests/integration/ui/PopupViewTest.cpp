// The popup rendered from real model states, and its controls reaching the model.
#include "integration/model/ModelHarness.h"
#include "integration/ui/Widgets.h"
#include "model/DemoSamples.h"
#include "service/BetaError.h"
#include "ui/PopupView.h"
#include "ui/ResultText.h"
#include "ui/Style.h"
#include "ui/SuggestionPanel.h"
#include "ui/Symbols.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tidyword::ui {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::find;
using test::shownIn;

class PopupViewTest : public ::testing::Test {
protected:
    void openView() { view = std::make_unique<PopupView>(*harness.model); }
    void openSignedInView() {
        harness.openSignedIn();
        openView();
    }

    void setDraft(const QString& text) {
        harness.editor.desktop.setText(harness.editor.field, text,
                                       {0, static_cast<qint64>(text.size())});
    }

    QPushButton* button(const QString& name) { return find<QPushButton>(view.get(), name); }
    QLabel* label(const QString& name) { return find<QLabel>(view.get(), name); }
    QTextEdit* resultText() { return find<QTextEdit>(view.get(), u"resultText"_s); }
    bool shown(const QString& name) { return shownIn(find<QWidget>(view.get(), name), view.get()); }

    // The buttons of the action bar that are shown, left to right.
    QStringList actionBar() {
        QStringList names;
        for (const QString& name : {u"retryButton"_s, u"signInButton"_s, u"improveButton"_s,
                                    u"copyButton"_s, u"replaceButton"_s}) {
            if (shown(name)) {
                names << name;
            }
        }
        return names;
    }

    test::ModelHarness harness;
    std::unique_ptr<PopupView> view;
};

TEST_F(PopupViewTest, SignedOutItNamesTheShortcutAndOffersOnlySignIn) {
    harness.open();
    harness.model->setShortcut(ShortcutPreset::controlOptionSpace);
    openView();
    EXPECT_EQ(label(u"source"_s)->text(), u"A little clarity, wherever you write."_s);
    EXPECT_TRUE(shown(u"emptyState"_s));
    EXPECT_TRUE(label(u"emptyStateHint"_s)->text().endsWith(u"Then press Ctrl+Alt+Space."_s));
    EXPECT_EQ(actionBar(), QStringList{u"signInButton"_s});

    harness.captureAndWait();
    ASSERT_FALSE(harness.model->original().isEmpty());
    ASSERT_TRUE(harness.model->errorMessage().has_value());

    EXPECT_EQ(actionBar(), QStringList{u"signInButton"_s});  // no "Retry" despite the error
    EXPECT_TRUE(shown(u"dismissHint"_s));
    const int opened = harness.settingsOpened;
    QTest::mouseClick(button(u"signInButton"_s), Qt::LeftButton);
    EXPECT_EQ(harness.settingsOpened, opened + 1);
}

// Signed in, and still no request: the preview only ever shows the samples.
TEST_F(PopupViewTest, DemoShowsTheSamplesWithoutRequests) {
    openSignedInView();
    AppModel& model = *harness.model;
    model.preview();

    EXPECT_TRUE(model.isDemo());
    EXPECT_FALSE(model.busy());
    EXPECT_EQ(label(u"source"_s)->text(), u"Interface preview"_s);
    EXPECT_EQ(model.original(), DemoSamples::draft());
    EXPECT_EQ(model.suggestion(), DemoSamples::suggestion(EditMode::grammar));
    EXPECT_EQ(label(u"badge"_s)->text(), u"PREVIEW"_s);
    EXPECT_TRUE(label(u"badge"_s)->styleSheet().contains(cssColor(orange())));
    EXPECT_EQ(label(u"note"_s)->text(), u"Sample text only. This preview makes no API requests."_s);
    EXPECT_EQ(find<SymbolLabel>(view.get(), u"footerSymbol"_s)->symbol(), u"eye"_s);
    EXPECT_EQ(actionBar(), (QStringList{u"copyButton"_s, u"replaceButton"_s}));
    EXPECT_FALSE(button(u"replaceButton"_s)->isEnabled());

    model.chooseMode(EditMode::custom);
    EXPECT_EQ(model.suggestion(), DemoSamples::suggestion(EditMode::custom));
    model.generate();
    EXPECT_EQ(model.suggestion(), DemoSamples::suggestion(EditMode::custom));
    QTest::mouseClick(button(u"copyButton"_s), Qt::LeftButton);
    EXPECT_EQ(harness.editor.desktop.string(), DemoSamples::suggestion(EditMode::custom));
    EXPECT_TRUE(harness.requestsTo(u"/v1/improve"_s).isEmpty());
}

TEST_F(PopupViewTest, ASuggestionCanBeViewedCopiedAndReplaced) {
    openSignedInView();
    EXPECT_FALSE(shown(u"displayPicker"_s));
    // An unchanged draft looks good, with nothing to replace.
    setDraft(u"The cat sat."_s);
    harness.captureAndWait();
    ASSERT_EQ(harness.model->suggestion(), u"The cat sat."_s);
    EXPECT_EQ(label(u"caption"_s)->text(), u"LOOKS GOOD"_s);
    EXPECT_TRUE(shown(u"noCorrections"_s));
    EXPECT_FALSE(button(u"replaceButton"_s)->isEnabled());

    setDraft(u"i dont mind"_s);
    harness.captureAndWait();
    EXPECT_EQ(harness.model->errorMessage(), std::nullopt);
    EXPECT_EQ(harness.model->original(), u"i dont mind"_s);
    EXPECT_EQ(label(u"source"_s)->text(), u"Editor"_s);
    EXPECT_EQ(harness.model->usage()->used, 2);
    EXPECT_EQ(harness.shown, 2);
    EXPECT_EQ(label(u"caption"_s)->text(), u"YOUR DRAFT, REFINED"_s);
    EXPECT_FALSE(shown(u"noCorrections"_s));
    EXPECT_TRUE(shown(u"displayPicker"_s));
    EXPECT_TRUE(resultText()->toHtml().contains(u"line-through"_s));
    EXPECT_TRUE(button(u"replaceButton"_s)->isEnabled());

    // A screen reader toggles a segment through its action, which checks it without a click; in
    // this order each toggle checks a segment that is not checked yet.
    ASSERT_EQ(harness.model->displayMode(), PreviewDisplay::changes);
    for (const PreviewDisplay display :
         {PreviewDisplay::improved, PreviewDisplay::original, PreviewDisplay::changes}) {
        SCOPED_TRACE(rawValue(display).toStdString());
        QPushButton* segment = button(rawValue(display));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(segment);
        ASSERT_TRUE(accessible && accessible->actionInterface());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());

        EXPECT_TRUE(segment->isChecked());
        EXPECT_EQ(harness.model->displayMode(), display);
        QTextDocument expected;
        expected.setHtml(
            resultHtml(harness.model->original(), harness.model->suggestion(), display));
        EXPECT_EQ(resultText()->toPlainText(), expected.toPlainText());
    }

    QTest::mouseClick(button(u"copyButton"_s), Qt::LeftButton);
    EXPECT_EQ(harness.editor.desktop.string(), u"I don't mind."_s);
    EXPECT_EQ(button(u"copyButton"_s)->text(), u"Copied"_s);

    QTest::mouseClick(button(u"replaceButton"_s), Qt::LeftButton);
    EXPECT_TRUE(harness.model->replacing());
    EXPECT_EQ(button(u"replaceButton"_s)->accessibleName(), u"Replacing…"_s);
    EXPECT_FALSE(button(u"replaceButton"_s)->isEnabled());
    EXPECT_FALSE(find<QToolButton>(view.get(), u"dismissButton"_s)->isEnabled());
    EXPECT_FALSE(find<QComboBox>(view.get(), u"modePicker"_s)->isEnabled());
    harness.advanceUntil([this] { return !harness.model->replacing(); });
    EXPECT_EQ(harness.editor.desktop.text(harness.editor.field), u"I don't mind."_s);
}

// A URL longer than the panel is wide breaks inside itself; nothing of it is out of view.
TEST_F(PopupViewTest, ALongWordWrapsInEveryDisplay) {
    openSignedInView();
    view->show();
    setDraft(u"i dont mind https://example.com/"_s + QString(180, u'x') + u" today"_s);
    harness.captureAndWait();
    ASSERT_FALSE(harness.model->suggestion().isEmpty());
    QTextEdit* text = resultText();
    ASSERT_NE(text, nullptr);
    const QWidget* visible = view->findChild<QScrollArea*>(u"resultPanel"_s)->viewport();
    for (const PreviewDisplay display : allCases<PreviewDisplay>()) {
        SCOPED_TRACE(rawValue(display).toStdString());
        harness.model->setDisplayMode(display);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_LE(text->mapTo(visible, QPoint(text->width(), 0)).x(), visible->width());
        EXPECT_LE(text->document()->idealWidth(), text->viewport()->width());
        EXPECT_GE(text->viewport()->height(), text->document()->size().height());
    }
}

TEST_F(PopupViewTest, AFailedRequestShowsItsErrorAndRetries) {
    openSignedInView();
    harness.server.control(
        "POST", u"faults"_s,
        QJsonDocument(QJsonObject{{u"path"_s, u"v1/improve"_s}, {u"status"_s, 500}}));
    harness.captureAndWait();

    ASSERT_TRUE(harness.model->errorMessage().has_value());
    EXPECT_EQ(label(u"errorText"_s)->text(), *harness.model->errorMessage());
    EXPECT_TRUE(shown(u"errorText"_s));
    EXPECT_EQ(actionBar(), (QStringList{u"retryButton"_s, u"copyButton"_s, u"replaceButton"_s}));
    QTest::mouseClick(button(u"retryButton"_s), Qt::LeftButton);
    EXPECT_EQ(label(u"caption"_s)->text(), u"WORKING ON YOUR DRAFT"_s);
    EXPECT_TRUE(shown(u"busyRow"_s));
    test::runEventLoopUntil([this] { return !harness.model->busy(); });
    EXPECT_FALSE(shown(u"errorText"_s));
    EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), 2);
}

TEST_F(PopupViewTest, CustomInstructionsCountPastTheLimit) {
    openSignedInView();
    harness.captureAndWait();
    auto* modes = find<QComboBox>(view.get(), u"modePicker"_s);
    auto* field = find<QLineEdit>(view.get(), u"instructionField"_s);
    EXPECT_FALSE(shown(u"instructionField"_s));
    Q_EMIT modes->activated(modes->findText(title(EditMode::custom)));
    EXPECT_EQ(harness.model->mode(), EditMode::custom);
    ASSERT_TRUE(shown(u"instructionField"_s));
    EXPECT_FALSE(button(u"applyButton"_s)->isEnabled());

    QTest::keyClicks(field, QString(2100, u'a'));
    EXPECT_EQ(harness.model->customInstruction().size(), 2100);
    EXPECT_EQ(label(u"instructionLength"_s)->text(), u"2100 / 2,000 characters"_s);

    // Only spaces still count as an instruction here; the model answers for them.
    field->selectAll();
    QTest::keyClicks(field, u"   "_s);
    EXPECT_EQ(label(u"instructionLength"_s)->text(), u"3 / 2,000 characters"_s);
    ASSERT_TRUE(button(u"applyButton"_s)->isEnabled());
    QTest::mouseClick(button(u"applyButton"_s), Qt::LeftButton);
    EXPECT_EQ(label(u"errorText"_s)->text(),
              BetaError(BetaError::customInstruction).errorDescription());
}

// Every change of mode is a paid request: the wheel may change it only once the user chose the
// picker, never because the pointer passed over it or the window put the focus there. Escape
// dismisses.
TEST_F(PopupViewTest, TheWheelChangesTheModeOnlyOnceTheUserFocusedThePickerAndEscapeDismisses) {
    openSignedInView();
    view->show();
    QApplication::setActiveWindow(view.get());
    harness.captureAndWait();
    auto* picker = view->findChild<QComboBox*>(u"modePicker"_s);
    ASSERT_NE(picker, nullptr);
    struct Step {
        const char* name;
        std::function<void()> before;
        bool changes;
    };
    const auto reopen = [this] {
        view->hide();
        view->show();
        QApplication::setActiveWindow(view.get());
    };
    int requests = 1;
    for (const Step& step :
         {Step{"PointerResting", [] {}, false},
          Step{"FocusedOnOpening", [picker] { picker->setFocus(Qt::OtherFocusReason); }, false},
          Step{"Clicked",
               [picker] {
                   QTest::mouseClick(picker, Qt::LeftButton);
                   picker->hidePopup();
               },
               true},
          Step{"Reopened", reopen, false}}) {
        SCOPED_TRACE(step.name);
        step.before();
        const EditMode before = harness.model->mode();
        test::wheelOver(picker);
        test::runEventLoopUntil([this] { return !harness.model->busy(); });
        requests += step.changes ? 1 : 0;
        EXPECT_EQ(harness.model->mode() != before, step.changes);
        EXPECT_EQ(harness.requestsTo(u"/v1/improve"_s).size(), requests);
    }
    const int dismissed = harness.dismissed;
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(harness.dismissed, dismissed + 1);
}

// A Space typed right after the shortcut must not open the settings.
TEST_F(PopupViewTest, ThePopupOpensWithTheFocusOnItsFirstControl) {
    harness.openSignedIn();
    SuggestionPanel panel(*harness.model);
    harness.model->onShowPopup = [&panel] { panel.present(std::nullopt); };
    harness.model->onDismissPopup = [&panel] { panel.hide(); };
    // Until the capture has ended, with a suggestion or a message: an empty draft goes through
    // the copy fallback, which waits on the virtual clock.
    const auto capture = [this](const QString& draft) {
        setDraft(draft);
        harness.model->capture();
        harness.advanceUntil([this] {
            const AppModel& model = *harness.model;
            return !model.busy() && (model.errorMessage() || !model.suggestion().isEmpty());
        });
    };
    struct Opening {
        const char* name;
        std::function<void()> open;
        QString focused;
    };
    for (const Opening& opening : {
             Opening{"AfterTheShortcut", [&] { capture(u"i dont mind"_s); }, u"modePicker"_s},
             Opening{
                 "AfterTheGearHadTheFocus",
                 [&] {
                     capture(u"i dont mind"_s);
                     panel.findChild<QWidget*>(u"settingsButton"_s)->setFocus(Qt::TabFocusReason);
                     harness.model->dismiss();
                     capture(u"i dont mind"_s);
                 },
                 u"modePicker"_s},
             Opening{"InCustom",
                     [&] {
                         capture(u"i dont mind"_s);
                         harness.model->chooseMode(EditMode::custom);
                         panel.present(std::nullopt);
                     },
                     u"instructionField"_s},
             // With nothing to improve the picker is off; the panel with the message is next.
             Opening{"WithoutASelection", [&] { capture(QString()); }, u"resultPanel"_s},
         }) {
        SCOPED_TRACE(opening.name);
        opening.open();
        QApplication::setActiveWindow(&panel);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), opening.focused);
        harness.model->dismiss();
    }
}

}  // namespace
}  // namespace tidyword::ui
