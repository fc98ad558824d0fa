// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConversation.h"
#include "Reading.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

namespace calimbra {

// Reads the sensors round after round at a steady interval, unattended: a round asks for the sensor
// count (unless the sensors are chosen), then each sensor in turn. When the port cannot be opened,
// the line is lost or the board stops answering, the trouble is announced once, the round is tried
// again after 1, 2, 4 ... up to 30 s, and its end is announced once too.
class SamplingSession : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kLongestRetry{30000};

    explicit SamplingSession(BoardConversation& conversation, QObject* parent = nullptr);

    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    [[nodiscard]] std::chrono::milliseconds interval() const { return interval_; }
    // Empty: every sensor the board says is active.
    void setSensors(const QList<int>& sensors) { sensors_ = sensors; }
    // Rounds that read something before the session finishes by itself; 0 for no end.
    void setRoundLimit(int rounds) { roundLimit_ = rounds; }

    [[nodiscard]] bool isRunning() const { return running_; }
    [[nodiscard]] bool inTrouble() const { return troubleSince_.isValid(); }

    void start();
    // Takes effect between two requests; a reply already received is still delivered.
    void stop();

signals:
    void roundStarted(const QDateTime& start);
    void readingTaken(const calimbra::Reading& reading);
    void roundFinished(const QDateTime& start, int readings);
    void nextRoundAt(const QDateTime& when);
    void troubleStarted(const QString& message, const QDateTime& when);
    void resumed(const QDateTime& when, const QDateTime& troubleSince);
    void finished();

private:
    void startRound();
    void askNext();
    void onSensorCount(const SensorCountReply& reply);
    void onTemperature(int sensor, const QString& text);
    void onFailed(ConversationFailure failure, const QString& message);
    void endRound();
    void scheduleAfter(std::chrono::milliseconds delay);
    void reportHealthy();

    BoardConversation& conversation_;
    std::chrono::milliseconds interval_{10000};
    QList<int> sensors_;
    int roundLimit_ = 0;

    bool running_ = false;
    bool inRound_ = false;
    QDateTime roundStart_;
    qint64 roundStartMonotonic_ = 0;
    QList<int> toAsk_;
    int readingsThisRound_ = 0;
    int roundsDone_ = 0;
    QDateTime troubleSince_;
    std::chrono::milliseconds retry_ = kFirstRetry;
    QTimer timer_;
};

} // namespace calimbra
