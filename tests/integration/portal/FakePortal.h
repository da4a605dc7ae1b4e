// A stand-in for the desktop portal (fake-portal.py) on the test's private session bus: started
// with the answers a test wants, and read back for what it was asked.
#pragma once

#include "support/EventLoop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tidyword::test {

using namespace Qt::Literals::StringLiterals;

class FakePortal {
public:
    // `startResponse` answers Start and BindShortcuts: 0 granted, 1 refused, 2 ended otherwise,
    // -1 never; Start after `startDelay`. One portal serves the whole test program, told anew by
    // each FakePortal what to answer: a portal started again under the same name would be a new
    // owner, whose signals the client library may not yet take for the portal's.
    FakePortal(int version, int startResponse,
               std::chrono::milliseconds startDelay = std::chrono::milliseconds(0)) {
        static Process portal;
        QDBusMessage configure = QDBusMessage::createMethodCall(
            u"org.freedesktop.portal.Desktop"_s, u"/org/freedesktop/portal/desktop"_s,
            u"org.example.FakePortal"_s, u"Configure"_s);
        configure << record() << static_cast<uint>(version) << startResponse
                  << static_cast<uint>(startDelay.count());
        const QDBusMessage reply = QDBusConnection::sessionBus().call(configure);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            ADD_FAILURE() << "the stand-in portal did not answer";
        }
    }
    FakePortal(const FakePortal&) = delete;
    FakePortal& operator=(const FakePortal&) = delete;

    // What the portal was asked, in order.
    QList<QJsonObject> requests() const {
        QFile file(record());
        QList<QJsonObject> lines;
        if (file.open(QIODevice::ReadOnly)) {
            while (!file.atEnd()) {
                lines << QJsonDocument::fromJson(file.readLine()).object();
            }
        }
        return lines;
    }
    // The user ends every session from the desktop.
    static void closeSessions() {
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            u"org.freedesktop.portal.Desktop"_s, u"/org/freedesktop/portal/desktop"_s,
            u"org.example.FakePortal"_s, u"CloseSessions"_s));
    }
    // The user presses the shortcut `id` the portal bound.
    static void press(const QString& id) {
        QDBusMessage press = QDBusMessage::createMethodCall(
            u"org.freedesktop.portal.Desktop"_s, u"/org/freedesktop/portal/desktop"_s,
            u"org.example.FakePortal"_s, u"Press"_s);
        press << id;
        QDBusConnection::sessionBus().call(press);
    }
    QStringList keys() const {
        QStringList pressed;
        for (const QJsonObject& line : requests()) {
            if (line.contains(u"key")) {
                pressed << u"%1%2"_s.arg(line[u"pressed"].toInt() ? u"+" : u"-")
                               .arg(line[u"key"].toInt(), 0, 16);
            }
        }
        return pressed;
    }
    QJsonObject optionsOf(const QString& method, int occurrence = 0) const {
        for (const QJsonObject& line : requests()) {
            if (line[u"method"] == method && occurrence-- == 0) {
                return line[u"options"].toObject();
            }
        }
        return {};
    }
    int closedSessions() const { return closed(u"/session/"); }
    int closedRequests() const { return closed(u"/request/"); }

private:
    int closed(QStringView kind) const {
        int count = 0;
        for (const QJsonObject& line : requests()) {
            count += line[u"closed"].toString().contains(kind) ? 1 : 0;
        }
        return count;
    }
    QString record() const { return directory_.filePath(u"record"_s); }

    // The portal's process, for as long as the test program runs.
    struct Process {
        Process() {
            process.start(QStringLiteral(TIDYWORD_FAKE_PORTAL), {});
            test::pollUntil([] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    u"org.freedesktop.portal.Desktop"_s);
            });
        }
        ~Process() {
            process.kill();
            process.waitForFinished();
        }
        QProcess process;
    };

    QTemporaryDir directory_;
};

}  // namespace tidyword::test
