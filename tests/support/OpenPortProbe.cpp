// SPDX-License-Identifier: MIT
// Tries to open a serial port as whoever runs it and prints what the panel would tell the
// operator; used to test ports this user may not open. Exit status 0: opened.
#include "ComError.h"
#include "TComPort.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: open-port-probe <port>\n");
        return 2;
    }
    TComPort port;
    port.setPortName(QString::fromLocal8Bit(argv[1]));
    try {
        port.Open();
    } catch (const calimbra::ComError& error) {
        std::printf("%s\n", qPrintable(error.message()));
        return 1;
    }
    std::printf("opened\n");
    return 0;
}
