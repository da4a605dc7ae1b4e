// Tidyword as a deployment installs it (the binary beside a configuration naming the deployment's
// hosts, which the private network leads to the stand-in), started as a user starts it and seen
// only through AT-SPI, with the draft it is to improve in mousepad: the part of the end-to-end
// scenarios that is the same on every desktop.
#pragma once

#include "e2e/AccessibleUi.h"
#include "support/ConfigFiles.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace tidyword::test {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

// Far more than any step needs, so that a busy machine only slows the test down.
inline constexpr std::chrono::milliseconds kPatience{30'000};

inline const QString kDraft = u"i dont want to wait in order to ship"_s;
inline const QString kRewrite = u"I don't want to wait in order to ship."_s;

class InstalledTidyword : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(prefix.filePath(u"bin"_s)));
        ASSERT_TRUE(QDir().mkpath(prefix.filePath(u"share/tidyword"_s)));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TIDYWORD_EXECUTABLE), executable()));
        QFile config(prefix.filePath(u"share/tidyword/beta-config.json"_s));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(configFile(auth0Members()));
    }

    void TearDown() override {
        for (QProcess* process : {&editor, &tidyword}) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    QString executable() const { return prefix.filePath(u"bin/tidyword"_s); }

    // Starts Tidyword and waits for its settings window, as the first start shows it.
    void startTidyword(
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        QProcessEnvironment withBrowser = environment;
        withBrowser.insert(u"DEFAULT_BROWSER"_s, QStringLiteral(TIDYWORD_TEST_BROWSER));
        withBrowser.insert(u"TIDYWORD_EXECUTABLE"_s, executable());
        tidyword.setProcessEnvironment(withBrowser);
        tidyword.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tidyword.start(executable(), {});
        ASSERT_TRUE(tidyword.waitForStarted());
        ui.emplace(tidyword.processId());
        pollUntil([this] { return showsButton(u"Save settings"_s); }, 50ms, kPatience);
    }

    void signIn() {
        ASSERT_TRUE(ui->press(u"Sign in"_s));
        pollUntil([this] { return showsLabel(u"50 of 50 free requests remaining"_s); }, 50ms,
                  kPatience);
    }

    bool showsLabel(const QString& text) { return ui->shows(ATSPI_ROLE_LABEL, text); }
    bool showsButton(const QString& title) { return ui->shows(ATSPI_ROLE_PUSH_BUTTON, title); }
    bool showsError() { return ui->shows(ATSPI_ROLE_IMAGE, u"Error"_s); }

    // Starts mousepad on a file holding the draft and waits until it shows it.
    void startEditorOnTheDraft(
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        QFile file(prefix.filePath(u"draft.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kDraft.toUtf8());
        file.close();
        editor.setProcessEnvironment(environment);
        editor.start(u"mousepad"_s, {file.fileName()});
        ASSERT_TRUE(editor.waitForStarted());
        editorUi.emplace(editor.processId());
        pollUntil([this] { return editorUi->editableText() == kDraft; }, 50ms, kPatience);
    }

    QTemporaryDir prefix;
    QProcess tidyword;
    QProcess editor;
    std::optional<AccessibleUi> ui;
    std::optional<AccessibleUi> editorUi;
};

}  // namespace tidyword::test
