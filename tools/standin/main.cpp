// tidyword-standin: the editing service and identity provider that tests and local runs talk to,
// on loopback only, over HTTP or HTTPS with a CA of its own.
#include "Certificates.h"
#include "StandIn.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <csignal>
#include <cstdio>
#include <httplib.h>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <thread>

namespace {

using namespace Qt::Literals::StringLiterals;

int fail(const QString& message) {
    std::cerr << "tidyword-standin: " << message.toStdString() << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Signals are taken by one thread that stops the server; block them before any other exists.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"The stand-in Tidyword editing service and identity provider, for tests and local runs."_s);
    parser.addHelpOption();
    parser.addOptions({
        {u"host"_s, u"Loopback address to listen on."_s, u"address"_s, u"127.0.0.1"_s},
        {u"port"_s, u"Port to listen on; 0 picks a free one."_s, u"port"_s, u"0"_s},
        {u"tls-dir"_s, u"Serve HTTPS with a CA and certificate kept in this directory."_s,
         u"directory"_s},
        {u"tls-name"_s, u"A further host name for the certificate (repeatable)."_s, u"name"_s},
        {u"expires-in"_s, u"Lifetime of issued access tokens, in seconds."_s, u"seconds"_s,
         u"3600"_s},
        {u"limit"_s, u"Requests allowed per period."_s, u"count"_s, u"50"_s},
    });
    parser.process(application);

    const QString host = parser.value(u"host"_s);
    if (!QHostAddress(host).isLoopback()) {
        return fail(u"only a loopback address may be used, not "_s + host);
    }
    tidyword::standin::Settings settings;
    settings.expiresIn = parser.value(u"expires-in"_s).toLongLong();
    settings.limit = parser.value(u"limit"_s).toLongLong();

    std::unique_ptr<httplib::Server> server;
    const bool secure = parser.isSet(u"tls-dir"_s);
    try {
        if (secure) {
            std::vector<std::string> names;
            for (const QString& name : parser.values(u"tls-name"_s)) {
                names.push_back(name.toStdString());
            }
            const auto files = tidyword::standin::ensureCertificates(
                parser.value(u"tls-dir"_s).toStdString(), names);
            server = std::make_unique<httplib::SSLServer>(files.certificate.c_str(),
                                                          files.privateKey.c_str());
        } else {
            server = std::make_unique<httplib::Server>();
        }
    } catch (const std::exception& error) {
        return fail(QString::fromUtf8(error.what()));
    }
    if (!server->is_valid()) {
        return fail(u"the server could not be set up"_s);
    }
    server->set_keep_alive_max_count(1000);
    server->set_tcp_nodelay(true);
    server->set_payload_max_length(std::size_t{4} * 1024 * 1024);

    tidyword::standin::StandIn standIn(settings);
    standIn.install(*server);

    const int requested = parser.value(u"port"_s).toInt();
    const int port = requested == 0
                         ? server->bind_to_any_port(host.toStdString())
                         : (server->bind_to_port(host.toStdString(), requested) ? requested : -1);
    if (port < 0) {
        return fail(u"cannot listen on "_s + host + u':' + QString::number(requested));
    }
    std::printf("listening on %s://%s:%d\n", secure ? "https" : "http", host.toStdString().c_str(),
                port);
    std::fflush(stdout);

    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        standIn.shutDown();
        server->stop();
    });
    stopper.detach();
    server->listen_after_bind();
    return 0;
}
