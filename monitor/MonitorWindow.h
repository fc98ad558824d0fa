// SPDX-License-Identifier: MIT
#pragma once

#include "BrokerWatch.h"
#include "FileSink.h"
#include "LogWatch.h"
#include "MonitorSettings.h"
#include "Pipeline.h"
#include "ReadingHistory.h"
#include "ReadingView.h"
#include "SensorTable.h"
#include "SerialWatch.h"
#include "StatusLine.h"
#include "TemperatureChart.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class MonitorWindow;
}

namespace calimbra {

// Watches every sensor over hours, or reads back a log of any length: a chart of every sensor with
// the outages left open, a summary table, and a CSV record that never loses more than the reading in
// flight. Its sources are the board's serial port, a board on another machine through an MQTT broker
// (as its logging service named and watched it), and a log; whichever it is, the readings go through
// one pipeline, named, limited and watched for alarms by the sensors' profiles in the board's file,
// to the chart and table and to the record. The window wires these parts together.
class MonitorWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum class Source { Serial, Broker, Log };

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
    // baud rate, interval, sensors, broker, board and discovery prefix fill the controls. A file that
    // cannot be read is said in a box, and the monitor goes on without profiles.
    void useBoardFile(const QString& path, bool settingsToo);
    [[nodiscard]] const QString& boardFile() const { return settings_.boardFile; }
    // Profiles for the readings that follow, as the Sensors dialog saves them.
    void applyProfiles(const QMap<int, SensorProfile>& profiles);
    [[nodiscard]] const QMap<int, SensorProfile>& profiles() const { return pipeline_.profiles(); }
    [[nodiscard]] BrokerSource& broker() { return broker_->source(); }
    [[nodiscard]] const ReadingStore& store() const { return history_.store(); }
    [[nodiscard]] const SensorStats& stats() const { return history_.stats(); }
    [[nodiscard]] SamplingSession& session() { return serial_->session(); }
    [[nodiscard]] TemperatureChart& chart() { return *chart_; }
    // The log opened, while one is.
    [[nodiscard]] const LogReader* log() const
    {
        return logs_->source() ? &logs_->source()->reader() : nullptr;
    }
    // Starts reading the chosen source (Start), or stops.
    void setRunning(bool running);
    // Without the file dialogs, for scripts and tests.
    void recordTo(const QString& path);
    void exportTo(const QString& path);
    void openLog(const QString& path);
    // A reading into the pipeline, as the chosen source's would go; the benchmark feeds a day of them.
    void addReading(const Reading& reading);
    // Draws the readings afresh at the chart's present width, and brings the table up to date.
    void replot();

signals:
    // Every whole line of the log opened has been read, at its opening or as it grew.
    void logCaughtUp();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillChoices();
    void loadSettings();
    void showSettings();
    void saveSettings();
    void wireSources();
    [[nodiscard]] bool isRunning() const;
    void startSerial();
    void startBroker();
    void stopSource();
    void showRunning();
    void restartView(Pipeline::Source source, bool live);
    void onSourceChosen();
    void chooseLogFile();
    void showSettingsDialog();
    void showSensorsDialog();
    void noteError(const QString& message, const QDateTime& when = QDateTime::currentDateTime());
    void updateStatus();

    std::unique_ptr<Ui::MonitorWindow> ui;
    Pipeline pipeline_;
    ReadingHistory history_;
    std::unique_ptr<TemperatureChart> chart_;
    std::unique_ptr<SensorTable> table_;
    std::unique_ptr<ReadingView> view_;
    std::unique_ptr<SerialWatch> serial_;
    std::unique_ptr<BrokerWatch> broker_;
    std::unique_ptr<LogWatch> logs_;
    std::unique_ptr<FileSink> record_;
    MonitorSettings settings_;
    StatusLine status_;
};

} // namespace calimbra
