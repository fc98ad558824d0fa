// SPDX-License-Identifier: MIT
#pragma once

#include "AlarmWatch.h"
#include "BoardConversation.h"
#include "BrokerSource.h"
#include "DesktopNotifier.h"
#include "Profile.h"
#include "ReadingHistory.h"
#include "ReadingLog.h"
#include "SamplingSession.h"
#include "SensorStats.h"
#include "SensorTable.h"
#include "TComPort.h"
#include "TemperatureChart.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <bitset>
#include <memory>

namespace Ui {
class MonitorWindow;
}

namespace calimbra {

// Watches every sensor over hours, or reads back a log of any length: a chart of every sensor with
// the outages left open, a summary table, and a CSV record that never loses more than the reading in
// flight. The readings come from the board's serial port, named, calibrated and watched for alarms
// by the sensors' profiles in the board's file, or from a board on another machine through an MQTT
// broker, as its logging service named and watched them. Faults are told in the status line, never
// in a box that would stop an unattended run; an alarm raised is told to the desktop too.
class MonitorWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class Source { Serial, Broker };

    explicit MonitorWindow(QWidget* parent = nullptr);
    ~MonitorWindow() override;

    [[nodiscard]] Source source() const;
    void setSource(Source source);
    // Chooses the serial port as the source, on this port.
    void usePort(const QString& name);
    // Chooses the broker as the source, at this URL and for this board (empty: those remembered; no
    // board remembered: the first announced).
    void useBroker(const QString& url, const QString& board = {});
    // The board's file: its sensors' profiles from now on, and remembered. `settingsToo`: its port,
    // baud rate, interval, sensors, broker and board fill the controls. A file that cannot be read is
    // said in a box, and the monitor goes on without profiles.
    void useBoardFile(const QString& path, bool settingsToo);
    [[nodiscard]] const QString& boardFile() const { return boardFile_; }
    // Profiles for the readings of the port that follow, as the Sensors dialog saves them.
    void applyProfiles(const QMap<int, SensorProfile>& profiles);
    [[nodiscard]] const QMap<int, SensorProfile>& profiles() const { return profiles_; }
    [[nodiscard]] BrokerSource& broker() { return broker_; }
    [[nodiscard]] const ReadingStore& store() const { return history_.store(); }
    [[nodiscard]] const SensorStats& stats() const { return history_.stats(); }
    [[nodiscard]] SamplingSession& session() { return session_; }
    [[nodiscard]] TemperatureChart& chart() { return *chart_; }
    // The log opened, while one is.
    [[nodiscard]] const LogReader* log() const { return history_.log(); }
    // Without the file dialogs, for scripts and tests.
    void recordTo(const QString& path);
    void exportTo(const QString& path);
    void openLog(const QString& path);
    // What the session's readings go through; the benchmark feeds a day of them directly.
    void addReading(const Reading& reading);
    // Draws the store afresh at the chart's present width, and brings the table up to date.
    void replot();

signals:
    // Every whole line of the log opened has been read, at its opening or as it grew.
    void logCaughtUp();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillSpans();
    void loadSettings();
    void saveSettings() const;
    void startOrStop();
    void setRunning(bool running);
    void chooseRecordFile(bool checked);
    void chooseExportFile();
    void chooseLogFile();
    void showSettingsDialog();
    void showSensorsDialog();
    void showStartProblem(const QString& message);
    void fillSources();
    void fillBoards();
    void onSourceChosen();
    void onBoardChosen();
    void followBoard(const QString& board);
    void startBroker();
    void resetAlarms();
    void updateLimits();
    void onSpanChosen();

    void forgetReadings();
    void onLogProgressed();
    void showHistory();

    void takePortReading(Reading reading);
    void onAlarm(const AlarmEvent& event);
    [[nodiscard]] QString alarmText(int sensor, std::optional<AlarmKind> only = std::nullopt) const;
    void onBrokerDisconnected(const QString& reason);
    void onAvailability(bool online, const QDateTime& when);
    void markAllRows();
    void onRoundFinished(const QDateTime& start);
    void onTrouble(const QString& message, const QDateTime& when);
    void onResumed(const QDateTime& when);
    void onNextRound(const QDateTime& when);
    void noteError(const QString& message, const QDateTime& when = QDateTime::currentDateTime());

    void showSensor(int sensor);
    void updateDirtyRows();
    void updateStatus();
    void updateBrokerStatus(QStringList& parts) const;

    std::unique_ptr<Ui::MonitorWindow> ui;
    TComPort port_;
    BoardConversation conversation_{port_};
    SamplingSession session_{conversation_};
    BrokerSource broker_;
    ReadingHistory history_;
    std::unique_ptr<TemperatureChart> chart_;
    std::unique_ptr<LogFile> record_;
    QString lastFolder_;

    std::unique_ptr<SensorTable> table_;
    std::bitset<board::kMaxSensors> dirtyRows_;
    QTimer rowsTimer_;
    QElapsedTimer sinceLogShown_;

    QDateTime lastRound_;
    QDateTime nextRound_;
    QString lastError_;
    QDateTime lastErrorTime_;
    QDateTime resumedAt_; // when the board answered again after the last error
    bool inTrouble_ = false;

    QString boardFile_;
    QMap<int, SensorProfile> profiles_;
    BoardProfile profile_;
    std::unique_ptr<AlarmWatch> alarms_;
    std::array<std::bitset<3>, board::kMaxSensors> activeAlarms_{}; // by AlarmKind
    DesktopNotifier notifier_{tr("Calimbra Monitor")};
    // Where the readings shown came from: the profiles name and limit only the port's own.
    bool fromPort_ = true;

    QString chosenBoard_;     // shown, or to be shown once it announces itself
    QString passwordFile_;    // the board's file's mqtt_password_file, for a URL without a password
    bool brokerAway_ = false; // the broker lost, or the board offline
    QDateTime offlineSince_;
};

} // namespace calimbra
