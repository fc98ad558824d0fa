// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConversation.h"
#include "Profile.h"
#include "Status.h"

#include <QList>
#include <QObject>

namespace calimbra::cli {

// The one-shot commands: each answer printed as it comes (text columns escaped, so a reply cannot
// forge a line or drive the terminal), the status decided by the first failure. `done` carries it.
class Questions : public QObject
{
    Q_OBJECT

public:
    // The profile names the sensors read, calibrates them and holds back fault values.
    Questions(BoardConversation& conversation, const BoardProfile& profile, QObject* parent = nullptr);

    void info();
    // Empty: every sensor the board reports.
    void read(const QList<int>& sensors);
    void led();

signals:
    void done(int status);

private:
    void onCount(const CountAnswer& answer);
    void onTemperature(const TemperatureAnswer& answer);
    void onFailed(ConversationFailure failure, const QString& message);
    void next();
    void end(int status);
    // Printing failed: the output is gone, nothing more is asked.
    void failOutput(const QString& message);

    BoardConversation& conversation_;
    BoardProfile profile_;
    QList<int> toRead_;
    bool printCount_ = false;
    bool reading_ = false;
    int status_ = Done;
};

// The serial ports present, a line each; with a header when standard output is a terminal.
[[nodiscard]] int listPorts();

} // namespace calimbra::cli
