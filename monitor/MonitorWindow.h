// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConversation.h"
#include "ReadingLog.h"
#include "ReadingStore.h"
#include "SamplingSession.h"
#include "TComPort.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>

class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace Ui {
class MonitorWindow;
}

namespace calimbra {

// Watches every sensor over hours: rounds of readings at an interval, a chart per sensor with the
// outages left open, a summary table, and a CSV record that never loses more than the reading in
// flight. Faults are told in the status line, never in a box that would stop an unattended run.
class MonitorWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MonitorWindow(QWidget* parent = nullptr);
    ~MonitorWindow() override;

    void usePort(const QString& name);
    [[nodiscard]] const ReadingStore& store() const { return store_; }
    [[nodiscard]] SamplingSession& session() { return session_; }
    // Without the file dialog, for scripts and tests.
    void recordTo(const QString& path);
    void exportTo(const QString& path);
    // What the session's readings go through; the benchmark feeds a day of them directly.
    void addReading(const Reading& reading);
    // Draws the store afresh at the chart's present width.
    void replot();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct SensorStats
    {
        std::optional<double> last;
        QString text;
        double min = 0;
        double max = 0;
        double sum = 0;
        qint64 count = 0;
        QDateTime time;
        QDateTime round;
    };

    void buildChart();
    void loadSettings();
    void saveSettings() const;
    void startOrStop();
    void setRunning(bool running);
    void chooseRecordFile(bool checked);
    void chooseExportFile();
    void showSettingsDialog();
    void fillPorts();

    void onRoundFinished(const QDateTime& start);
    void onTrouble(const QString& message, const QDateTime& when);
    void onResumed(const QDateTime& when);
    void onNextRound(const QDateTime& when);

    void updateRow(int sensor);
    void updateStatus();
    void scheduleReplot();
    void onAxisChanged();
    void setFollowing(bool following);

    std::unique_ptr<Ui::MonitorWindow> ui;
    TComPort port_;
    BoardConversation conversation_{port_};
    SamplingSession session_{conversation_};
    ReadingStore store_;
    std::array<SensorStats, board::kMaxSensors> stats_;
    std::unique_ptr<LogFile> record_;
    QString lastFolder_;

    QChart* chart_ = nullptr;
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    // One line a sensor for each stretch without an outage; the first carries the legend entry.
    std::array<QList<QLineSeries*>, board::kMaxSensors> lines_;
    std::array<bool, board::kMaxSensors> hidden_{};
    bool following_ = true;
    bool settingRange_ = false;
    QTimer replotTimer_;

    QDateTime lastRound_;
    QDateTime nextRound_;
    QString lastError_;
    QDateTime lastErrorTime_;
    bool inTrouble_ = false;
};

} // namespace calimbra
