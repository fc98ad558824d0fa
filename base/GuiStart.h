// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QApplication;

namespace calimbra {

// How every window program starts. The command line is judged first, with no display and in the
// user's language, so that --help, --version and a mistyped option answer in a terminal over ssh;
// Qt's own options (-platform, -style, ...) are taken as Qt takes them. A display that is missing or
// cannot be reached is said in one line, instead of Qt's abort advising a reinstall.
class GuiStart
{
    Q_DECLARE_TR_FUNCTIONS(calimbra::GuiStart)

public:
    // The program's own options and description are added by `describe`, called once the
    // translations are loaded.
    GuiStart(QString program, std::function<void(QCommandLineParser&)> describe);

    // An exit status when the program should end at once (no display); nothing to go on. --help,
    // --version and usage errors print and exit here, as QCommandLineParser does.
    [[nodiscard]] std::optional<int> judgeCommandLine(int argc, char* argv[]);
    [[nodiscard]] const QCommandLineParser& options() const { return parser_; }

    // The application, with the translations and the desktop entry's name.
    [[nodiscard]] std::unique_ptr<QApplication> application(int& argc, char* argv[],
                                                            const QString& desktopFileName);

private:
    [[nodiscard]] bool displayIsMissing() const;
    [[nodiscard]] QString noDisplayMessage() const;

    QString program_;
    std::function<void(QCommandLineParser&)> describe_;
    QCommandLineParser parser_;
};

} // namespace calimbra
