// SPDX-License-Identifier: MIT
#include "GuiStart.h"

#include "Translations.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace calimbra {
namespace {

// For the fatal-message handler, which takes no context: said in the user's language, made ready
// before the application starts.
QString gNoDisplay;

// A display that is named but cannot be reached ends in a fatal message while the application
// starts; this says instead what is missing.
void explainFatalStart(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        std::fputs(qPrintable(qFormatLogMessage(type, context, message) + u'\n'), stderr);
        return;
    }
    std::fputs(qPrintable(gNoDisplay + u'\n'), stderr);
    std::_Exit(EXIT_FAILURE);
}

} // namespace

GuiStart::GuiStart(QString program, std::function<void(QCommandLineParser&)> describe)
    : program_(std::move(program)), describe_(std::move(describe))
{}

std::optional<int> GuiStart::judgeCommandLine(int argc, char* argv[])
{
    int count = argc;
    const QCoreApplication text(count, argv);
    installTranslations();
    gNoDisplay = noDisplayMessage();
    describe_(parser_);
    parser_.addHelpOption();
    parser_.addVersionOption();
    // The options every Qt program takes are read by QApplication; known here so they are not
    // mistaken for typing errors.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet", "session",
          "display", "geometry", "qwindowgeometry", "qwindowicon", "qwindowtitle"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(qtOption);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(qtOption);
    }
    parser_.process(text);
    if (displayIsMissing()) {
        std::fputs(qPrintable(noDisplayMessage() + u'\n'), stderr);
        return EXIT_FAILURE;
    }
    return std::nullopt;
}

QString GuiStart::noDisplayMessage() const
{
    return tr("%1: no display could be opened; run it in a desktop session, or set DISPLAY (X11) or "
              "WAYLAND_DISPLAY (Wayland) to a display you may use.")
        .arg(program_);
}

bool GuiStart::displayIsMissing() const
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    const QByteArray platforms = parser_.isSet(QStringLiteral("platform"))
                                     ? parser_.value(QStringLiteral("platform")).toLocal8Bit()
                                     : qgetenv("QT_QPA_PLATFORM");
    // Platforms such as offscreen or vnc need neither.
    for (const QByteArray& platform : (platforms.isEmpty() ? QByteArray("xcb") : platforms).split(';')) {
        if (!platform.startsWith("xcb") && !platform.startsWith("wayland"))
            return false;
    }
    return true;
}

std::unique_ptr<QApplication> GuiStart::application(int& argc, char* argv[], const QString& desktopFileName)
{
    const QtMessageHandler previousHandler = qInstallMessageHandler(explainFatalStart);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previousHandler);
    installTranslations();
    QApplication::setDesktopFileName(desktopFileName);
    return app;
}

} // namespace calimbra
