// SPDX-License-Identifier: MIT
// A client with a last will, in a process of its own so that a test can kill it:
//   mqtt-will-probe <port> <will topic>
// It prints "connected" once the broker has accepted it; "stop" on standard input stops it cleanly.
#include "MqttClient.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace calimbra;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fputs("usage: mqtt-will-probe <port> <will topic>\n", stderr);
        return 2;
    }
    MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = arguments.at(1).toUShort();
    settings.will = MqttClient::Will{arguments.at(2), QByteArrayLiteral("gone"), 1, false};
    MqttClient client(settings);
    QObject::connect(&client, &MqttClient::connected, [] {
        std::puts("connected");
        std::fflush(stdout);
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64];
        const ssize_t size = ::read(STDIN_FILENO, line, sizeof line);
        if (size <= 0 || QByteArray(line, static_cast<int>(size)).startsWith("stop")) {
            input.setEnabled(false);
            client.stop();
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        }
    });
    client.start();
    return app.exec();
}
