// The application model with its real collaborators: the text bridge on the simulated desktop
// (an editor in front), the session with the simulated secret store and browser, and the
// stand-in service and identity provider over real HTTP, reached through a transport that
// routes the configuration's host names to the stand-in on loopback, as a test DNS would, and
// holds the answers a test chooses until it lets them through.
#pragma once

#include "model/AppModel.h"
#include "platform/SystemClock.h"
#include "platform/linux/SystemRandomSource.h"
#include "platform/sim/SimulatedSecretStore.h"
#include "platform/sim/SimulatedWebAuthenticator.h"
#include "service/BetaHTTP.h"
#include "support/ConfigFiles.h"
#include "support/FollowingBrowser.h"
#include "support/HeldAnswers.h"
#include "support/StandInServer.h"
#include "unit/textbridge/EditorDesktop.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace tidyword::test {

// Sends every request to the stand-in, keeping its path and query.
inline HTTPTransport routedTo(BetaHTTP& http, const QUrl& standIn) {
    return [&http, standIn](HTTPRequest request, CancellationToken cancellation) {
        request.url.setScheme(standIn.scheme());
        request.url.setHost(standIn.host());
        request.url.setPort(standIn.port());
        return http.perform(std::move(request), std::move(cancellation));
    };
}

struct ModelHarness {
    ModelHarness() {
        authenticator.setBehaviour(
            [this](platform::sim::SimulatedWebAuthenticator& browser,
                   const platform::sim::SimulatedWebAuthenticator::Shown& shown) {
                if (followBrowser) {
                    followAuthorization(transport, browser, shown.url);
                }
            });
    }

    ~ModelHarness() {
        held.letThrough();  // while the model that waits for them is still there
        model.reset();
        processEventsFor(std::chrono::milliseconds(20));
    }

    void open() {
        model = std::make_unique<AppModel>(AppModel::Environment{
            editor.bridge, editor.desktop, editor.desktop, settings,
            [this] { return configuration; },
            [this](const BetaConfig& config) {
                return std::make_unique<BetaSession>(
                    config, BetaSession::Platform{secrets, authenticator, editor.clock, random,
                                                  transport, [this] { return &window; }});
            },
            transport});
        model->onShowPopup = [this] { ++shown; };
        model->onDismissPopup = [this] { ++dismissed; };
        model->onOpenSettings = [this] { ++settingsOpened; };
        model->onShortcutChanged = [this] { ++shortcutChanged; };
    }

    // Stores a token set the stand-in issued, as a previous sign-in would have left it.
    void storeSignIn() {
        const QJsonObject issued = server.control("POST", QStringLiteral("tokens")).object();
        const OAuthTokens tokens{issued.value(u"access_token").toString(),
                                 issued.value(u"refresh_token").toString(),
                                 editor.clock.now().addSecs(3600),
                                 BetaConfig::parse(*configuration).sessionIdentifier()};
        secrets.plant(SessionTokenStore::item(), tokens.toJson());
    }

    // Opens the model signed in, with its first account refresh done.
    void openSignedIn() {
        storeSignIn();
        open();
        runEventLoopUntil([this] { return model->usage().has_value(); });
    }

    // Captures the editor's selection and waits for the generation it starts.
    void captureAndWait() {
        model->capture();
        runEventLoopUntil([this] { return !model->busy(); });
    }

    // Lets virtual time run (the text bridge's pauses) until `done` holds.
    void advanceUntil(const std::function<bool()>& done) {
        runVirtualTimeUntil(done, editor.clock);
    }

    QJsonArray requestsTo(const QString& pathEnd) const {
        QJsonArray found;
        for (const auto& request : server.requests()) {
            if (request.toObject().value(u"path").toString().endsWith(pathEnd)) {
                found.append(request);
            }
        }
        return found;
    }

    QStringList idempotencyKeys() const {
        QStringList keys;
        for (const auto& request : requestsTo(QStringLiteral("/v1/improve"))) {
            keys << request.toObject()
                        .value(u"headers")
                        .toObject()
                        .value(u"idempotency-key")
                        .toString();
        }
        return keys;
    }

    StandInServer server;
    platform::SystemClock realClock;
    BetaHTTP http{realClock};
    HeldAnswers held;
    HTTPTransport transport = held.around(routedTo(http, server.baseURL()));
    EditorDesktop editor;
    platform::sim::SimulatedSecretStore secrets;
    platform::sim::SimulatedWebAuthenticator authenticator;
    platform::linux_desktop::SystemRandomSource random;
    QObject window;
    QTemporaryDir directory;
    QSettings settings{directory.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    std::optional<QByteArray> configuration = configFile(auth0Members());
    bool followBrowser = true;
    std::unique_ptr<AppModel> model;
    int shown = 0;
    int dismissed = 0;
    int settingsOpened = 0;
    int shortcutChanged = 0;
};

}  // namespace tidyword::test
