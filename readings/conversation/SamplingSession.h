// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConversation.h"
#include "BoardProtocol.h"
#include "Clock.h"
#include "Reading.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <bitset>
#include <chrono>
#include <memory>
#include <optional>

namespace calimbra {

// Reads the sensors round after round at a steady interval, unattended: a round asks for the sensor
// count (unless the sensors are chosen), then each sensor in turn. A sensor that does not answer in
// time gives a reading without a value, and the round goes on. When the port cannot be opened, the
// line is lost, or nothing at all answered in a round, the trouble is announced once, the round is
// tried again after 1, 2, 4 ... up to 30 s, and its end is announced once too.
//
// A round that cannot be taken still gives a reading, without a value and saying why, for each
// sensor it would have read (those of the last round, else the chosen or expected ones), no more
// often than the interval: a record then shows the outage where it was, with honest time spacing.
class SamplingSession : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kLongestRetry{30000};

    explicit SamplingSession(BoardConversation& conversation, Clock& clock = Clock::system(),
                             QObject* parent = nullptr);
    ~SamplingSession() override;

    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    [[nodiscard]] std::chrono::milliseconds interval() const { return interval_; }
    // Empty: every sensor the board says is active.
    void setSensors(const QList<int>& sensors) { sensors_ = sensors; }
    // The sensors an outage is recorded for before any round has counted them (the profiled ones).
    void setExpectedSensors(const QList<int>& sensors) { expected_ = sensors; }
    // Rounds that read something before the session finishes by itself; 0 for no end.
    void setRoundLimit(int rounds) { roundLimit_ = rounds; }

    [[nodiscard]] bool isRunning() const { return running_; }
    [[nodiscard]] bool inTrouble() const { return troubleSince_.isValid(); }
    // The kind of the trouble that began it, while in trouble.
    [[nodiscard]] ConversationFailure lastFailure() const { return lastFailure_; }

    void start();
    // Takes effect between two requests; a reply already received is still delivered.
    void stop();

signals:
    void roundStarted(const QDateTime& start);
    void readingTaken(const calimbra::Reading& reading);
    // `answered`: readings in the round that the board answered.
    void roundFinished(const QDateTime& start, int answered);
    void nextRoundAt(const QDateTime& when);
    void troubleStarted(const QString& message, const QDateTime& when);
    void resumed(const QDateTime& when, const QDateTime& troubleSince);
    // Worth saying, though no trouble: replies dropped as late, a board reporting no sensors.
    void notice(const QString& message);
    void finished();

private:
    void startRound();
    void askNext();
    void onCount(const CountAnswer& answer);
    void onTemperature(const TemperatureAnswer& answer);
    void onFailed(ConversationFailure failure, const QString& message);
    void onLateReply(int askedSensor, const QString& reply);
    void take(Reading reading);
    void failRound(ConversationFailure failure, const QString& message);
    void endRound();
    void scheduleAfter(std::chrono::milliseconds delay);
    void reportHealthy();
    void recordOutage(ConversationFailure failure);

    BoardConversation& conversation_;
    Clock& clock_;
    std::chrono::milliseconds interval_{10000};
    QList<int> sensors_;
    int roundLimit_ = 0;

    bool running_ = false;
    bool inRound_ = false;
    QDateTime roundStart_;
    std::chrono::milliseconds roundStartMonotonic_{};
    QList<int> toAsk_;
    QList<int> roundSensors_;     // this round's, once known
    QList<int> lastRoundSensors_; // the last round's that knew them
    QList<int> expected_;
    std::bitset<board::kMaxSensors> readThisRound_;
    std::optional<std::chrono::milliseconds> lastOutageLines_;
    int asking_ = 0;
    int answeredThisRound_ = 0;
    bool heardThisRound_ = false; // the board answered something: a count or a reading
    QString lastTimeout_;
    int roundsDone_ = 0;
    QDateTime troubleSince_;
    ConversationFailure lastFailure_ = ConversationFailure::NoReply;
    std::chrono::milliseconds retry_ = kFirstRetry;
    bool saidLate_ = false;
    bool saidNoSensors_ = false;
    std::unique_ptr<Deadline> next_;
};

} // namespace calimbra
