// SPDX-License-Identifier: MIT
#pragma once

#include "PtyPair.h"

#include "CalimbraUnit1.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The panel's window on a pseudo-terminal whose other end the test plays as the board. Errors are
// observed through the central handler's signal instead of message boxes.
class WindowHarness
{
public:
    WindowHarness();

    [[nodiscard]] PtyPair& board() { return *board_; }
    [[nodiscard]] TForm1& window() { return *window_; }
    [[nodiscard]] QSignalSpy& errors() { return *errors_; }

    template <typename T>
    T* find(const char* name) const
    {
        auto* child = window_->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    void click(const char* button) const { QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton); }
    // The board sends bytes; true once the window has been told of them.
    bool reply(const QByteArray& bytes);

private:
    std::unique_ptr<PtyPair> board_;
    std::unique_ptr<TForm1> window_;
    std::unique_ptr<QSignalSpy> errors_;
};
