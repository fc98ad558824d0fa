// SPDX-License-Identifier: MIT
#include "CliCommands.h"
#include "Translations.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("calimbra-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    calimbra::installTranslations();
    return calimbra::cli::run(app);
}
