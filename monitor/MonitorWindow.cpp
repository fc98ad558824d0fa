// SPDX-License-Identifier: MIT
#include "MonitorWindow.h"

#include "ChartExport.h"
#include "ComSetupDialog.h"
#include "Error.h"
#include "MonitorDialogs.h"
#include "MqttOutput.h"
#include "Outputs.h"
#include "PortAdvice.h"
#include "PortName.h"
#include "SensorsDialog.h"
#include "ui_MonitorWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>

using namespace std::chrono;

namespace calimbra {
MonitorWindow::MonitorWindow(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::MonitorWindow>())
{
    ui->setupUi(this);
    // Buttons beside the fields do what the menus do, with the menus' shortcuts and states.
    ui->settingsButton->setDefaultAction(ui->actionSettings);
    ui->startButton->setDefaultAction(ui->actionStart);
    ui->followButton->setDefaultAction(ui->actionFollow);
    ui->sensorsButton->setDefaultAction(ui->actionSensors);
    ui->openLogButton->setDefaultAction(ui->actionOpenLog);
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 0);
    table_ = std::make_unique<SensorTable>(*ui->table);
    chart_ = std::make_unique<TemperatureChart>(history_.store(), *ui->chartView);
    view_ = std::make_unique<ReadingView>(history_, *chart_, *table_, *ui->splitter);
    pipeline_.addSink(view_.get());
    serial_ = std::make_unique<SerialWatch>(pipeline_, *view_);
    broker_ = std::make_unique<BrokerWatch>(pipeline_, *view_, *ui->boardCombo);
    logs_ = std::make_unique<LogWatch>(pipeline_, *view_, history_);
    fillChoices();
    wireSources();

    connect(ui->actionStart, &QAction::triggered, this, [this] { setRunning(!isRunning()); });
    connect(ui->actionSettings, &QAction::triggered, this, &MonitorWindow::showSettingsDialog);
    connect(ui->actionSensors, &QAction::triggered, this, &MonitorWindow::showSensorsDialog);
    connect(ui->sourceCombo, &QComboBox::currentIndexChanged, this, &MonitorWindow::onSourceChosen);
    connect(ui->actionOpenLog, &QAction::triggered, this, &MonitorWindow::chooseLogFile);
    connect(ui->actionRecord, &QAction::triggered, this, [this](bool checked) {
        recordTo(checked ? askRecordFile(this, settings_.lastFolder) : QString());
    });
    connect(ui->actionExport, &QAction::triggered, this, [this] {
        const QString path = askExportFile(this, settings_.lastFolder);
        if (path.isEmpty())
            return;
        // A long stretch takes seconds to write.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        exportTo(path);
        QApplication::restoreOverrideCursor();
    });
    connect(ui->actionFollow, &QAction::triggered, chart_.get(), &TemperatureChart::setFollowing);
    connect(chart_.get(), &TemperatureChart::followingChanged, ui->actionFollow, &QAction::setChecked);
    connect(ui->windowCombo, &QComboBox::currentIndexChanged, this,
            [this] { chart_->setSpan(seconds{ui->windowCombo->currentData().toInt()}); });

    loadSettings();
    chart_->setSpan(seconds{ui->windowCombo->currentData().toInt()});
    onSourceChosen();
}

MonitorWindow::~MonitorWindow()
{
    // The sinks go before the pipeline that knows them.
    record_.reset();
    pipeline_.removeSink(view_.get());
}

void MonitorWindow::fillChoices()
{
    const std::array<std::pair<QString, int>, 5> spans = {{
        {tr("Last 10 minutes"), 10 * 60},
        {tr("Last hour"), 60 * 60},
        {tr("Last 24 hours"), 24 * 60 * 60},
        {tr("Last 7 days"), 7 * 24 * 60 * 60},
        {tr("All"), 0},
    }};
    for (const auto& [text, seconds] : spans)
        ui->windowCombo->addItem(text, seconds);
    ui->sourceCombo->addItem(tr("Serial port"), static_cast<int>(Source::Serial));
    ui->sourceCombo->addItem(tr("MQTT broker"), static_cast<int>(Source::Broker));
    ui->sourceCombo->addItem(tr("Log file"), static_cast<int>(Source::Log));
}

// Whichever source runs, its readings, outages and alarms go through the pipeline; what is said of
// them goes to the status line.
void MonitorWindow::wireSources()
{
    connect(&pipeline_, &Pipeline::said, this, [this](const QString& message) { noteError(message); });
    // The broker's readings come one by one, not in rounds that say so.
    connect(view_.get(), &ReadingView::rowsUpdated, this, &MonitorWindow::updateStatus);
    connect(broker_.get(), &BrokerWatch::said, this, [this](const QString& message) { noteError(message); });
    connect(broker_.get(), &BrokerWatch::changed, this, &MonitorWindow::updateStatus);
    connect(broker_.get(), &BrokerWatch::following, this, [this](const QString& board) {
        restartView(Pipeline::Source::Service, true);
        if (!board.isEmpty())
            setWindowTitle(tr("%1 — Calimbra Monitor").arg(board));
    });

    connect(serial_.get(), &SerialWatch::said, this, &MonitorWindow::noteError);
    connect(logs_.get(), &LogWatch::said, this, [this](const QString& message) { noteError(message); });
    connect(logs_.get(), &LogWatch::progressed, this, &MonitorWindow::replot);
    connect(logs_.get(), &LogWatch::caughtUp, this, &MonitorWindow::logCaughtUp);
    connect(serial_.get(), &SerialWatch::resumed, this, [this](const QDateTime& when) {
        status_.noteResumed(when);
        updateStatus();
    });
    connect(serial_.get(), &SerialWatch::changed, this, &MonitorWindow::updateStatus);
    connect(serial_.get(), &SerialWatch::finished, this, [this] { setRunning(false); });
}

MonitorWindow::Source MonitorWindow::source() const
{
    return static_cast<Source>(ui->sourceCombo->currentData().toInt());
}

void MonitorWindow::setSource(Source source)
{
    ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(static_cast<int>(source)));
}

void MonitorWindow::onSourceChosen()
{
    const Source chosen = source();
    ui->sourcePages->setCurrentWidget(chosen == Source::Broker ? ui->brokerPage
                                      : chosen == Source::Log  ? ui->logPage
                                                               : ui->serialPage);
    // Another source than the log shown: the log's readings are no longer what the chart is for.
    if (chosen != Source::Log && logs_->source()) {
        logs_->close();
        ui->logPathEdit->clear();
        restartView(Pipeline::Source::Board, true);
    }
    showRunning();
}

void MonitorWindow::usePort(const QString& name)
{
    setSource(Source::Serial);
    ui->portCombo->setEditText(name);
}

void MonitorWindow::useBroker(const QString& url, const QString& board)
{
    setSource(Source::Broker);
    if (!url.isEmpty())
        ui->brokerEdit->setText(url);
    if (!board.isEmpty())
        broker_->choose(board);
}

bool MonitorWindow::isRunning() const
{
    return serial_->isRunning() || broker_->isRunning();
}

void MonitorWindow::setRunning(bool running)
{
    if (running && isRunning())
        return;
    if (!running) {
        stopSource();
    } else if (source() == Source::Broker) {
        startBroker();
    } else if (source() == Source::Serial) {
        startSerial();
    } else if (!ui->logPathEdit->text().isEmpty()) {
        openLog(ui->logPathEdit->text()); // read again from its start
    } else {
        chooseLogFile();
    }
    showRunning();
}

void MonitorWindow::startSerial()
{
    const auto sensors = sensorList(ui->sensorsEdit->text());
    if (!sensors) {
        noteError(
            tr("The Sensors field takes sensor numbers from 1 to 9, such as 1,3,5-7, or nothing for every "
               "sensor the board reports; correct it and press Start."));
        return;
    }
    const QString portName = ui->portCombo->currentText().trimmed();
    if (portName.isEmpty()) {
        noteError(tr("Type or choose the board's port in the Port field, then press Start."));
        return;
    }
    restartView(Pipeline::Source::Board, true);
    for (const int sensor : *sensors)
        view_->showSensor(sensor);
    serial_->start(portName, seconds{ui->intervalSpin->value()}, *sensors, profiles().keys());
    saveSettings();
}

void MonitorWindow::startBroker()
{
    const QString url = ui->brokerEdit->text().trimmed();
    if (url.isEmpty()) {
        noteError(
            tr("Type the broker's URL in the Broker field, such as mqtt://host:1883, then press Start."));
        return;
    }
    try {
        broker_->setMonitorId(settings_.monitorId);
        broker_->start(url);
    } catch (const Error& error) {
        noteError(error.message());
        return;
    }
    saveSettings();
}

void MonitorWindow::stopSource()
{
    serial_->stop();
    if (broker_->isRunning()) {
        broker_->stop();
        history_.addBreak(QDateTime::currentMSecsSinceEpoch());
    }
}

void MonitorWindow::showRunning()
{
    const bool runs = isRunning();
    ui->actionStart->setText(runs ? tr("&Stop") : tr("&Start"));
    for (QWidget* control : {static_cast<QWidget*>(ui->portCombo), static_cast<QWidget*>(ui->intervalSpin),
                             static_cast<QWidget*>(ui->sensorsEdit), static_cast<QWidget*>(ui->sourceCombo),
                             static_cast<QWidget*>(ui->brokerEdit)})
        control->setEnabled(!runs);
    ui->actionSettings->setEnabled(!runs && source() == Source::Serial);
    ui->actionOpenLog->setEnabled(!runs);
    // A log shown is not recorded again.
    ui->actionRecord->setEnabled(source() != Source::Log);
    view_->refresh();
    updateStatus();
}

void MonitorWindow::restartView(Pipeline::Source source, bool live)
{
    pipeline_.setSource(source);
    view_->restart(live);
    view_->setLimits(profiles());
    view_->setNotifying(live);
    status_ = StatusLine();
    status_.setRecord(record_ ? record_->path() : QString());
    chart_->setFollowing(true);
    setWindowTitle(tr("Calimbra Monitor"));
}

void MonitorWindow::useBoardFile(const QString& path, bool settingsToo)
{
    settings_.boardFile = QFileInfo(path).absoluteFilePath();
    BoardFile file;
    try {
        file = readBoardFile(settings_.boardFile);
    } catch (const Error& error) {
        applyProfiles({});
        showBoardFileProblem(this, error.message());
        return;
    }
    applyProfiles(file.profiles);
    broker_->setPasswordFile(file.settings.value(mqtt_output::kPasswordFile, QString()));
    broker_->setDiscoveryPrefix(
        file.settings.value(mqtt_output::kDiscoveryPrefix, QString(Topics::kDefaultDiscoveryPrefix)));
    if (!settingsToo)
        return;
    settings_.line = serial_->port().settings();
    settings_.take(file.settings);
    showSettings();
}

void MonitorWindow::showSensorsDialog()
{
    auto* dialog = new SensorsDialog(profiles(), settings_.boardFile, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &SensorsDialog::saved, this,
            [this](const QString& path, const QMap<int, SensorProfile>& profiles) {
                settings_.boardFile = path;
                applyProfiles(profiles);
                saveSettings();
            });
    dialog->open();
}

void MonitorWindow::applyProfiles(const QMap<int, SensorProfile>& profiles)
{
    pipeline_.setProfiles(profiles);
    // The port's readings are named by the profiles; a broker's and a log's carry their own names.
    if (pipeline_.source() == Pipeline::Source::Board) {
        for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
            view_->rename(sensor, profiles.value(sensor).name);
    }
    view_->setLimits(profiles);
}

void MonitorWindow::loadSettings()
{
    settings_ = MonitorSettings::load();
    showSettings();
    // A port remembered and still there stays chosen; else the one USB adapter there is, if one.
    if (!settings_.portRemembered || !QFileInfo::exists(systemLocation(settings_.line.portName)))
        ui->portCombo->chooseSoleAdapterSoon();
    setSource(settings_.broker ? Source::Broker : Source::Serial);
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(settings_.spanSeconds)));
    restoreGeometry(settings_.geometry);
}

void MonitorWindow::showSettings()
{
    serial_->port().setSettings(settings_.line);
    ui->portCombo->setEditText(settings_.line.portName);
    ui->intervalSpin->setValue(settings_.intervalSeconds);
    ui->sensorsEdit->setText(settings_.sensors);
    ui->brokerEdit->setText(settings_.brokerUrl);
    broker_->choose(settings_.board);
}

void MonitorWindow::saveSettings()
{
    settings_.line = serial_->port().settings();
    settings_.line.portName = ui->portCombo->currentText();
    settings_.intervalSeconds = ui->intervalSpin->value();
    settings_.sensors = ui->sensorsEdit->text();
    settings_.brokerUrl = ui->brokerEdit->text();
    settings_.board = broker_->chosen();
    // A log is opened again by hand: the source remembered is the one it was opened over.
    if (source() != Source::Log)
        settings_.broker = source() == Source::Broker;
    settings_.spanSeconds = ui->windowCombo->currentData().toInt();
    settings_.geometry = saveGeometry();
    settings_.save();
}

void MonitorWindow::closeEvent(QCloseEvent* event)
{
    serial_->stop();
    broker_->stop();
    saveSettings();
    event->accept();
}

void MonitorWindow::showSettingsDialog()
{
    ComPortSettings line = serial_->port().settings();
    line.portName = ui->portCombo->currentText();
    ComSetupDialog dialog(line, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    serial_->port().setSettings(dialog.settings());
    ui->portCombo->setEditText(dialog.settings().portName);
}

void MonitorWindow::recordTo(const QString& path)
{
    if (record_) {
        pipeline_.removeSink(record_.get());
        record_.reset();
    }
    if (!path.isEmpty()) {
        try {
            record_ = std::make_unique<FileSink>(path, LogFormat::Csv);
            pipeline_.addSink(record_.get());
        } catch (const Error& error) {
            noteError(error.message());
        }
    }
    status_.setRecord(record_ ? path : QString());
    ui->actionRecord->setChecked(record_ != nullptr);
    updateStatus();
}

void MonitorWindow::chooseLogFile()
{
    if (const QString path = askLogFile(this, settings_.lastFolder); !path.isEmpty())
        openLog(path);
}

void MonitorWindow::exportTo(const QString& path)
{
    if (!exportChart(path, *ui->chartView, *chart_, history_))
        noteError(tr("Could not save %1; choose another folder or free some space, and export again.")
                      .arg(QDir::toNativeSeparators(path)));
    updateStatus();
}

void MonitorWindow::openLog(const QString& path)
{
    stopSource();
    recordTo(QString());
    setSource(Source::Log);
    ui->logPathEdit->setText(path);
    restartView(Pipeline::Source::Log, false);
    // A log is looked at whole first; Show picks a stretch of it.
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(0)));
    setWindowTitle(tr("%1 — Calimbra Monitor").arg(QFileInfo(path).fileName()));
    logs_->open(path);
    showRunning();
}

void MonitorWindow::addReading(const Reading& reading)
{
    pipeline_.take(reading);
}

void MonitorWindow::replot()
{
    view_->refresh();
    updateStatus();
}

void MonitorWindow::noteError(const QString& message, const QDateTime& when)
{
    // Said again while it lasts (a retry), it keeps the time it began.
    if (message != status_.lastError())
        status_.noteError(message, when);
    updateStatus();
}

void MonitorWindow::updateStatus()
{
    status_.setBoardOfflineSince(broker_->offlineSince());
    ui->statusLabel->setText(status_.text(*serial_, broker_->isRunning() ? &broker_->source() : nullptr,
                                          logs_->source(), store()));
    QStringList summary;
    for (const int sensor : stats().seen()) {
        if (const auto value = stats().at(sensor).celsius)
            summary << tr("S%1 %2 °C").arg(sensor).arg(shownCelsius(*value));
    }
    ui->chartView->setAccessibleDescription(summary.isEmpty() ? tr("No readings yet")
                                                              : summary.join(QStringLiteral(", ")));
    // An empty chart says what to do next, or what it waits for.
    chart_->setHint(status_.hint(*serial_, broker_->isRunning() ? &broker_->source() : nullptr,
                                 logs_->source(), source() == Source::Broker));
}

} // namespace calimbra
