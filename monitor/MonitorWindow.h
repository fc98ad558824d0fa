// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConversation.h"
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
// flight. Faults are told in the status line, never in a box that would stop an unattended run.
class MonitorWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MonitorWindow(QWidget* parent = nullptr);
    ~MonitorWindow() override;

    void usePort(const QString& name);
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
    void fillPorts();
    void onSpanChosen();

    void forgetReadings();
    void onLogProgressed();
    void showHistory();

    void onRoundFinished(const QDateTime& start);
    void onTrouble(const QString& message, const QDateTime& when);
    void onResumed(const QDateTime& when);
    void onNextRound(const QDateTime& when);
    void noteError(const QString& message, const QDateTime& when = QDateTime::currentDateTime());

    void showSensor(int sensor);
    void updateDirtyRows();
    void updateStatus();

    std::unique_ptr<Ui::MonitorWindow> ui;
    TComPort port_;
    BoardConversation conversation_{port_};
    SamplingSession session_{conversation_};
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
};

} // namespace calimbra
