// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <exception>

namespace calimbra {

// The one place where the program shows an error to the operator: a modal message box, after
// which the program carries on.
class ErrorHandler : public QObject
{
    Q_OBJECT

public:
    static ErrorHandler& instance();

    void show(const QString& message);
    // An error of unknown kind is shown with an empty message.
    void handle(const std::exception_ptr& error) noexcept;

    // Tests observe errorShown instead of a box that would wait for a click.
    void setShowsMessageBox(bool shows) { showsMessageBox_ = shows; }

signals:
    void errorShown(const QString& message);

private:
    ErrorHandler() = default;

    bool showsMessageBox_ = true;
};

// Runs an event handler's steps. An exception ends them there and goes to the error handler;
// none may unwind into Qt's event dispatch.
template <typename Steps>
void guarded(Steps&& steps) noexcept
{
    try {
        steps();
    } catch (...) {
        ErrorHandler::instance().handle(std::current_exception());
    }
}

} // namespace calimbra
