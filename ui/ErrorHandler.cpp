// SPDX-License-Identifier: MIT
#include "ErrorHandler.h"

#include <QApplication>
#include <QMessageBox>

namespace calimbra {

ErrorHandler& ErrorHandler::instance()
{
    static ErrorHandler handler;
    return handler;
}

void ErrorHandler::show(const QString& message)
{
    emit errorShown(message);
    if (showsMessageBox_)
        QMessageBox::critical(QApplication::activeWindow(), tr("Calimbra"), message);
}

void ErrorHandler::handle(const std::exception_ptr& error) noexcept
{
    QString message;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& known) {
        message = QString::fromUtf8(known.what());
    } catch (...) {
    }
    try {
        show(message);
    } catch (...) {
        // Nothing is left that could show it; carrying on is all there is.
    }
}

} // namespace calimbra
