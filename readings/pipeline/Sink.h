// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"
#include "Reading.h"

#include <QObject>
#include <QString>

namespace calimbra {

// One output of a sampling session: a file, a broker, metrics. Every sink is fed the same readings
// in the order they were taken, and fails on its own: a sink that cannot deliver keeps what it must
// and says so once (failing), and once again when it works (recovered), and the sampling and the
// other sinks go on meanwhile.
class Sink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // What the sink is, in the user's words, for its messages: "MQTT broker broker.local:1883".
    [[nodiscard]] virtual QString description() const = 0;

    // Once it is wired (its failures are heard): connects, announces, says what it found at opening.
    virtual void start() {}
    virtual void take(const Reading& reading) = 0;
    // The board answers (a round got a reply) or does not (the port is lost, nothing answered).
    virtual void boardAvailable(bool available) { Q_UNUSED(available); }
    virtual void alarmChanged(const AlarmEvent& event) { Q_UNUSED(event); }
    // SIGHUP: files are reopened, as logrotate expects.
    virtual void reopen() {}
    // A clean stop: deliver what can be delivered now, say goodbye (the broker's "offline"), then
    // emit stopped(), at once or from the event loop a little later.
    virtual void stop() { emit stopped(); }

    [[nodiscard]] bool isFailing() const { return failing_; }
    // What the sink threw instead of handling: said like its own failures.
    void fail(const QString& message) { reportFailure(tr("%1 failed: %2").arg(description(), message)); }

signals:
    void failing(const QString& message);
    // What works again, in the user's words.
    void recovered(const QString& message);
    void stopped();
    // The output's reader went away (a pipe, a FIFO): nothing written there will be read again.
    void closed(const QString& message);

protected:
    // Each is said once: repeating a failure while it lasts, or a recovery, says nothing more.
    void reportFailure(const QString& message)
    {
        if (failing_)
            return;
        failing_ = true;
        emit failing(message);
    }
    void reportWorking()
    {
        if (!failing_)
            return;
        failing_ = false;
        emit recovered(tr("%1 works again.").arg(description()));
    }

private:
    bool failing_ = false;
};

} // namespace calimbra
