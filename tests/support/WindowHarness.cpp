// SPDX-License-Identifier: MIT
#include "WindowHarness.h"

#include "ErrorHandler.h"
#include "Fonts.h"
#include "TComPort.h"

WindowHarness::WindowHarness() : board_(std::make_unique<PtyPair>())
{
    calimbra::installFontSubstitutes();
    calimbra::ErrorHandler::instance().setShowsMessageBox(false);
    window_ = std::make_unique<TForm1>();
    window_->usePort(board_->slavePath());
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get()))
        qFatal("the window was not shown");
    errors_ = std::make_unique<QSignalSpy>(&calimbra::ErrorHandler::instance(),
                                           &calimbra::ErrorHandler::errorShown);
}

bool WindowHarness::reply(const QByteArray& bytes)
{
    QSignalSpy notifications(find<TComPort>("ComPort1"), &TComPort::RxChar);
    board_->write(bytes);
    return notifications.wait(2000);
}
