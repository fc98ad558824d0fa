// SPDX-License-Identifier: MIT
#include "MonitorWindow.h"

#include "BoardConfig.h"
#include "BoardSettings.h"
#include "ChartExport.h"
#include "ComSetupDialog.h"
#include "Error.h"
#include "MqttOutput.h"
#include "MqttUrl.h"
#include "Outputs.h"
#include "PortAdvice.h"
#include "PortComboBox.h"
#include "PortName.h"
#include "SensorsDialog.h"
#include "ui_MonitorWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr milliseconds kLoadingRedraw{1000};

} // namespace

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
    pipeline_.attach(session_);
    fillChoices();
    wireSources();

    connect(ui->actionStart, &QAction::triggered, this, [this] { setRunning(!isRunning()); });
    connect(ui->actionSettings, &QAction::triggered, this, &MonitorWindow::showSettingsDialog);
    connect(ui->actionSensors, &QAction::triggered, this, &MonitorWindow::showSensorsDialog);
    connect(ui->sourceCombo, &QComboBox::currentIndexChanged, this, &MonitorWindow::onSourceChosen);
    connect(ui->boardCombo, &QComboBox::activated, this, [this] {
        settings_.board = ui->boardCombo->currentData().toString();
        if (broker_.isRunning() && settings_.board != broker_.board())
            followBoard(settings_.board);
        saveSettings();
    });
    connect(ui->actionOpenLog, &QAction::triggered, this, &MonitorWindow::chooseLogFile);
    connect(ui->actionRecord, &QAction::triggered, this, &MonitorWindow::chooseRecordFile);
    connect(ui->actionExport, &QAction::triggered, this, &MonitorWindow::chooseExportFile);
    connect(ui->actionFollow, &QAction::triggered, chart_.get(), &TemperatureChart::setFollowing);
    connect(chart_.get(), &TemperatureChart::followingChanged, ui->actionFollow, &QAction::setChecked);
    connect(ui->windowCombo, &QComboBox::currentIndexChanged, this,
            [this] { chart_->setSpan(seconds{ui->windowCombo->currentData().toInt()}); });

    loadSettings();
    chart_->setSpan(seconds{ui->windowCombo->currentData().toInt()});
    fillBoards();
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
    connect(view_.get(), &ReadingView::rowsUpdated, this, [this] {
        if (broker_.isRunning())
            updateStatus();
    });

    connect(&session_, &SamplingSession::roundFinished, this, [this](const QDateTime& start) {
        view_->roundFinished(start);
        status_.setLastRound(start);
        updateStatus();
    });
    connect(&session_, &SamplingSession::nextRoundAt, this, [this](const QDateTime& when) {
        status_.setNextRound(when);
        updateStatus();
    });
    connect(&session_, &SamplingSession::troubleStarted, this,
            [this](const QString& message, const QDateTime& when) {
                status_.setRetrying(true);
                // The port's own messages end with the monitor's advice already; the board's silence does
                // not.
                noteError(message.endsWith(portAdvice().tryAgain)
                              ? message
                              : withAdvice(message, tr("The monitor keeps trying by itself.")),
                          when);
            });
    connect(&session_, &SamplingSession::resumed, this, [this](const QDateTime& when) {
        status_.setRetrying(false);
        status_.noteResumed(when);
        updateStatus();
    });
    connect(&session_, &SamplingSession::finished, this, [this] { setRunning(false); });

    connect(&broker_, &BrokerSource::readingReceived, &pipeline_, &Pipeline::take);
    connect(&broker_, &BrokerSource::alarmChanged, &pipeline_, &Pipeline::alarmFromSource);
    connect(&broker_, &BrokerSource::sensorNamed, view_.get(), &ReadingView::rename);
    connect(&broker_, &BrokerSource::limitsReceived, view_.get(), &ReadingView::setPublishedLimits);
    connect(&broker_, &BrokerSource::boardsChanged, this, &MonitorWindow::fillBoards);
    connect(&broker_, &BrokerSource::availabilityChanged, this, [this](bool online, const QDateTime& when) {
        if (!online) {
            offlineSince_ = when;
            status_.setBoardOfflineSince(when);
            pipeline_.boardLost(tr("The board's service is offline."), when);
        } else if (broker_.isConnected()) {
            pipeline_.boardBack(when, offlineSince_);
        }
        updateStatus();
    });
    connect(&broker_, &BrokerSource::connected, this, [this] {
        const QDateTime now = QDateTime::currentDateTime();
        status_.noteResumed(now);
        if (broker_.online() == true)
            pipeline_.boardBack(now, offlineSince_);
        updateStatus();
    });
    connect(&broker_, &BrokerSource::disconnected, this, [this](const QString& reason) {
        offlineSince_ = QDateTime::currentDateTime();
        pipeline_.boardLost(reason, offlineSince_);
        noteError(withAdvice(reason, tr("The monitor keeps trying by itself.")));
    });
    connect(&broker_, &BrokerSource::retrying, this, [this](seconds, const QString& reason) {
        if (!status_.lastError().startsWith(reason))
            noteError(withAdvice(reason, tr("The monitor keeps trying by itself.")));
    });
    connect(&broker_, &BrokerSource::notice, this, [this](const QString& message) { noteError(message); });
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
    if (chosen != Source::Log && log_) {
        closeLog();
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
        settings_.board = board;
    fillBoards();
}

bool MonitorWindow::isRunning() const
{
    return session_.isRunning() || broker_.isRunning();
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
    port_.Close();
    port_.setPortName(portName);
    session_.setInterval(seconds{ui->intervalSpin->value()});
    session_.setSensors(*sensors);
    session_.setExpectedSensors(profiles().keys());
    session_.start();
    saveSettings();
}

void MonitorWindow::startBroker()
{
    const QString text = ui->brokerEdit->text().trimmed();
    if (text.isEmpty()) {
        noteError(
            tr("Type the broker's URL in the Broker field, such as mqtt://host:1883, then press Start."));
        return;
    }
    try {
        MqttUrl url = MqttUrl::parse(text);
        if (!url.user.isEmpty() && url.password.isEmpty() && !passwordFile_.isEmpty())
            url.password = readPasswordFile(passwordFile_);
        broker_.setDiscoveryPrefix(discoveryPrefix_);
        // A second window of this user's keeps no session: two under one id would take turns.
        if (!monitorLock_) {
            monitorLock_ = std::make_unique<QLockFile>(
                QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
                    .filePath(QStringLiteral("calimbra-monitor-%1.lock").arg(settings_.monitorId)));
            monitorLock_->setStaleLockTime(0);
        }
        broker_.setMonitorId(monitorLock_->isLocked() || monitorLock_->tryLock() ? settings_.monitorId
                                                                                 : QString());
        restartView(Pipeline::Source::Service, true);
        broker_.follow(settings_.board);
        broker_.start(url);
    } catch (const Error& error) {
        noteError(error.message());
        return;
    }
    if (!settings_.board.isEmpty())
        setWindowTitle(tr("%1 — Calimbra Monitor").arg(settings_.board));
    fillBoards();
    saveSettings();
}

void MonitorWindow::stopSource()
{
    session_.stop();
    port_.Close();
    if (broker_.isRunning()) {
        broker_.stop();
        history_.addBreak(QDateTime::currentMSecsSinceEpoch());
    }
    status_.setNextRound({});
    status_.setRetrying(false);
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
    offlineSince_ = QDateTime();
    chart_->setFollowing(true);
    setWindowTitle(tr("Calimbra Monitor"));
}

void MonitorWindow::closeLog()
{
    log_.reset();
    ui->logPathEdit->clear();
}

void MonitorWindow::fillBoards()
{
    const QList<BrokerSource::Board> boards = broker_.boards();
    const auto announced = [&](const QString& name) {
        return std::any_of(boards.begin(), boards.end(),
                           [&](const auto& board) { return board.name == name; });
    };
    // The board shown last time once it announces itself, or else the first that does.
    if (broker_.isRunning() && broker_.board().isEmpty() && !boards.isEmpty() &&
        (settings_.board.isEmpty() || announced(settings_.board)))
        followBoard(settings_.board.isEmpty() ? boards.first().name : settings_.board);
    const QString shown =
        broker_.isRunning() && !broker_.board().isEmpty() ? broker_.board() : settings_.board;
    const QSignalBlocker blocker(ui->boardCombo);
    ui->boardCombo->clear();
    if (!shown.isEmpty() && !announced(shown))
        ui->boardCombo->addItem(tr("%1 — %2").arg(shown, tr("not announced")), shown);
    for (const BrokerSource::Board& board : boards)
        ui->boardCombo->addItem(tr("%1 — %2").arg(board.name, board.online ? tr("online") : tr("offline")),
                                board.name);
    ui->boardCombo->setCurrentIndex(ui->boardCombo->findData(shown));
    updateStatus();
}

void MonitorWindow::followBoard(const QString& board)
{
    settings_.board = board;
    restartView(Pipeline::Source::Service, true);
    broker_.follow(board);
    setWindowTitle(tr("%1 — Calimbra Monitor").arg(board));
    // A board known to be away is a gap from now until it is back.
    if (broker_.online() == false)
        pipeline_.boardLost(tr("The board's service is offline."), QDateTime::currentDateTime());
    updateStatus();
}

void MonitorWindow::useBoardFile(const QString& path, bool settingsToo)
{
    settings_.boardFile = QFileInfo(path).absoluteFilePath();
    BoardFile file;
    try {
        file = readBoardFile(settings_.boardFile);
    } catch (const Error& error) {
        applyProfiles({});
        showStartProblem(error.message());
        return;
    }
    applyProfiles(file.profiles);
    const Settings& given = file.settings;
    passwordFile_ = given.value(mqtt_output::kPasswordFile, QString());
    discoveryPrefix_ = given.value(mqtt_output::kDiscoveryPrefix, QString(Topics::kDefaultDiscoveryPrefix));
    if (!settingsToo)
        return;
    ComPortSettings line = port_.settings();
    if (const auto port = given.get(board_settings::kPort)) {
        line.portName = *port;
        ui->portCombo->setEditText(*port);
    }
    line.baudRate = given.value(board_settings::kBaud, line.baudRate);
    port_.setSettings(line);
    if (const auto interval = given.get(board_settings::kInterval))
        ui->intervalSpin->setValue(static_cast<int>(std::max<qint64>(1, (interval->count() + 999) / 1000)));
    if (const auto sensors = given.get(board_settings::kSensors)) {
        QStringList numbers;
        for (const int sensor : *sensors)
            numbers << QString::number(sensor);
        ui->sensorsEdit->setText(numbers.join(u','));
    }
    if (const auto mqtt = given.get(mqtt_output::kMqtt))
        ui->brokerEdit->setText(*mqtt);
    if (const auto board = given.get(board_settings::kBoard)) {
        settings_.board = *board;
        fillBoards();
    }
}

void MonitorWindow::showStartProblem(const QString& message)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Calimbra Monitor"),
                                tr("The board's file could not be read, so the monitor starts without the "
                                   "sensors' names, offsets and alarms. Correct the file and start the "
                                   "monitor again, or save new profiles with Sensors…"),
                                QMessageBox::Ok, this);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Once the window is up, so that the box sits over it.
    QTimer::singleShot(0, box, [box] { box->open(); });
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
    // A port remembered and still there stays chosen; else the one USB adapter there is, if one.
    const bool remembered =
        settings_.portRemembered && QFileInfo::exists(systemLocation(settings_.line.portName));
    if (const QString sole = PortComboBox::soleUsbAdapter(); !remembered && !sole.isEmpty())
        settings_.line.portName = sole;
    port_.setSettings(settings_.line);
    ui->portCombo->setEditText(settings_.line.portName);
    ui->intervalSpin->setValue(settings_.intervalSeconds);
    ui->sensorsEdit->setText(settings_.sensors);
    ui->brokerEdit->setText(settings_.brokerUrl);
    setSource(settings_.broker ? Source::Broker : Source::Serial);
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(settings_.spanSeconds)));
    restoreGeometry(settings_.geometry);
}

void MonitorWindow::saveSettings()
{
    settings_.line = port_.settings();
    settings_.line.portName = ui->portCombo->currentText();
    settings_.intervalSeconds = ui->intervalSpin->value();
    settings_.sensors = ui->sensorsEdit->text();
    settings_.brokerUrl = ui->brokerEdit->text();
    // A log is opened again by hand: the source remembered is the one it was opened over.
    if (source() != Source::Log)
        settings_.broker = source() == Source::Broker;
    settings_.spanSeconds = ui->windowCombo->currentData().toInt();
    settings_.geometry = saveGeometry();
    settings_.save();
}

void MonitorWindow::closeEvent(QCloseEvent* event)
{
    session_.stop();
    port_.Close();
    broker_.stop();
    saveSettings();
    event->accept();
}

void MonitorWindow::showSettingsDialog()
{
    ComPortSettings line = port_.settings();
    line.portName = ui->portCombo->currentText();
    ComSetupDialog dialog(line, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    port_.setSettings(dialog.settings());
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

void MonitorWindow::chooseRecordFile(bool checked)
{
    if (!checked) {
        recordTo(QString());
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Record readings to"), settings_.lastFolder + QStringLiteral("/calimbra.csv"),
        tr("CSV files (*.csv)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        settings_.lastFolder = QFileInfo(path).absolutePath();
    recordTo(path);
}

void MonitorWindow::chooseLogFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open a log"), settings_.lastFolder,
                                     tr("Logs (*.csv *.jsonl *.json *.log *.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    settings_.lastFolder = QFileInfo(path).absolutePath();
    openLog(path);
}

void MonitorWindow::chooseExportFile()
{
    QString filter;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the chart"), settings_.lastFolder + QStringLiteral("/calimbra-chart.png"),
        tr("PNG image (*.png);;SVG drawing (*.svg);;CSV readings (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    settings_.lastFolder = QFileInfo(path).absolutePath();
    // A long stretch takes seconds to write.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    exportTo(path);
    QApplication::restoreOverrideCursor();
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
    closeLog();
    setSource(Source::Log);
    ui->logPathEdit->setText(path);
    restartView(Pipeline::Source::Log, false);
    // A log is looked at whole first; Show picks a stretch of it.
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(0)));
    setWindowTitle(tr("%1 — Calimbra Monitor").arg(QFileInfo(path).fileName()));
    log_ = std::make_unique<LogSource>(path, pipeline_);
    connect(log_.get(), &LogSource::progressed, this, [this](qint64 done, qint64 total) {
        history_.expect(done, total);
        updateStatus();
        // A long log shows as it is read, but drawing it afresh after every slice would take longer
        // than reading it.
        if (sinceLogShown_.isValid() && sinceLogShown_.elapsed() < kLoadingRedraw.count())
            return;
        sinceLogShown_.start();
        replot();
    });
    connect(log_.get(), &LogSource::caughtUp, this, [this] {
        // What is added from now on is news: its alarms are told.
        view_->setNotifying(true);
        replot();
        emit logCaughtUp();
    });
    connect(log_.get(), &LogSource::failed, this, [this](const QString& message) { noteError(message); });
    connect(log_.get(), &LogSource::restarted, this, [this] {
        pipeline_.setSource(Pipeline::Source::Log);
        view_->restart(false);
        view_->setNotifying(false);
        replot();
    });
    sinceLogShown_.invalidate();
    log_->start();
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
    status_.noteError(message, when);
    updateStatus();
}

void MonitorWindow::updateStatus()
{
    status_.setSerial(session_.isRunning() ? port_.portName() : QString(), ui->intervalSpin->value());
    ui->statusLabel->setText(status_.text(broker_.isRunning() ? &broker_ : nullptr, log_.get(), store()));
    QStringList summary;
    for (const int sensor : stats().seen()) {
        if (const auto value = stats().at(sensor).celsius)
            summary << tr("S%1 %2 °C").arg(sensor).arg(shownCelsius(*value));
    }
    ui->chartView->setAccessibleDescription(summary.isEmpty() ? tr("No readings yet")
                                                              : summary.join(QStringLiteral(", ")));
    updateHint();
}

// An empty chart says what to do next, or what it waits for.
void MonitorWindow::updateHint()
{
    QString hint;
    if (session_.isRunning()) {
        hint = tr("Waiting for the board's first readings…");
    } else if (broker_.isRunning()) {
        hint = broker_.board().isEmpty()
                   ? tr("Waiting for a board to announce itself on the broker…")
                   : tr("Waiting for the readings of %1 from the broker…").arg(broker_.board());
    } else if (log_) {
        hint = tr("The log holds no readings yet; they are shown as they are written.");
    } else if (source() == Source::Broker) {
        hint = tr("Type the broker's URL in the Broker field and press Start (F5),\nor open a log with "
                  "File › Open log… (Ctrl+O).");
    } else {
        hint = tr("Choose the board's port in the Port field and press Start (F5),\nor open a log with "
                  "File › Open log… (Ctrl+O).");
    }
    chart_->setHint(hint);
}

} // namespace calimbra
