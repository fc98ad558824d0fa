// SPDX-License-Identifier: MIT
#include "CliCommands.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("calimbra-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    return calimbra::cli::run(app);
}
