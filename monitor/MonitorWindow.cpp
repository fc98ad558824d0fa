// SPDX-License-Identifier: MIT
#include "MonitorWindow.h"

#include "BoardSettings.h"
#include "ComSetupDialog.h"
#include "Error.h"
#include "MqttOutput.h"
#include "MqttUrl.h"
#include "Outputs.h"
#include "PortAdvice.h"
#include "SensorsDialog.h"
#include "Text.h"
#include "ui_MonitorWindow.h"

#include <QApplication>
#include <QChartView>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QSvgGenerator>

#include <cmath>

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr int kDefaultIntervalSeconds = 10;
constexpr milliseconds kRowsDelay{50};
constexpr milliseconds kLoadingRedraw{1000};
constexpr int kMostTablePercent = 45; // of the height the chart and the table share

QString clock(const QDateTime& time)
{
    return time.isValid() ? shownTime(time.toMSecsSinceEpoch()) : QStringLiteral("—");
}

QString sensorLabel(int sensor, const QString& name)
{
    return name.isEmpty() ? QStringLiteral("S%1").arg(sensor)
                          : QStringLiteral("S%1 %2").arg(sensor).arg(name);
}

// A broker's URL as it is remembered: a password in it stays in the memory of this run only.
QString withoutPassword(const QString& url)
{
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    const qsizetype at = url.lastIndexOf(u'@');
    const qsizetype colon = scheme < 0 ? -1 : url.indexOf(u':', scheme + 3);
    return scheme >= 0 && colon >= 0 && colon < at ? url.left(colon) + url.mid(at) : url;
}

} // namespace

MonitorWindow::MonitorWindow(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::MonitorWindow>())
{
    ui->setupUi(this);
    // Buttons beside the fields do what the menus do, with the menus' shortcuts and states.
    ui->settingsButton->setDefaultAction(ui->actionSettings);
    ui->startButton->setDefaultAction(ui->actionStart);
    ui->followButton->setDefaultAction(ui->actionFollow);
    ui->sensorsButton->setDefaultAction(ui->actionSensors);
    table_ = std::make_unique<SensorTable>(*ui->table);
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 0);
    chart_ = std::make_unique<TemperatureChart>(history_.store(), *ui->chartView);
    fillSpans();
    fillSources();
    resetAlarms();

    rowsTimer_.setSingleShot(true);
    rowsTimer_.setInterval(kRowsDelay);
    connect(&rowsTimer_, &QTimer::timeout, this, &MonitorWindow::updateDirtyRows);
    connect(ui->actionStart, &QAction::triggered, this, &MonitorWindow::startOrStop);
    connect(ui->actionSettings, &QAction::triggered, this, &MonitorWindow::showSettingsDialog);
    connect(ui->actionSensors, &QAction::triggered, this, &MonitorWindow::showSensorsDialog);
    connect(ui->sourceCombo, &QComboBox::currentIndexChanged, this, &MonitorWindow::onSourceChosen);
    connect(ui->boardCombo, &QComboBox::activated, this, &MonitorWindow::onBoardChosen);
    connect(ui->actionOpenLog, &QAction::triggered, this, &MonitorWindow::chooseLogFile);
    connect(ui->actionRecord, &QAction::triggered, this, &MonitorWindow::chooseRecordFile);
    connect(ui->actionExport, &QAction::triggered, this, &MonitorWindow::chooseExportFile);
    connect(ui->actionFollow, &QAction::triggered, chart_.get(), &TemperatureChart::setFollowing);
    connect(chart_.get(), &TemperatureChart::followingChanged, ui->actionFollow, &QAction::setChecked);
    connect(ui->windowCombo, &QComboBox::currentIndexChanged, this, &MonitorWindow::onSpanChosen);

    connect(&history_, &ReadingHistory::logProgressed, this, &MonitorWindow::onLogProgressed);
    connect(&history_, &ReadingHistory::logCaughtUp, this, [this] {
        showHistory();
        emit logCaughtUp();
    });
    connect(&history_, &ReadingHistory::logFailed, this,
            [this](const QString& message) { noteError(message); });
    connect(&history_, &ReadingHistory::logRestarted, this, [this] {
        table_->clear();
        chart_->hideSensors();
        showHistory();
    });
    connect(&session_, &SamplingSession::readingTaken, this, &MonitorWindow::takePortReading);
    connect(&session_, &SamplingSession::roundFinished, this, &MonitorWindow::onRoundFinished);
    connect(&session_, &SamplingSession::troubleStarted, this, &MonitorWindow::onTrouble);
    connect(&session_, &SamplingSession::resumed, this, &MonitorWindow::onResumed);
    connect(&session_, &SamplingSession::nextRoundAt, this, &MonitorWindow::onNextRound);
    connect(&session_, &SamplingSession::finished, this, [this] { setRunning(false); });

    connect(&broker_, &BrokerSource::readingReceived, this, &MonitorWindow::addReading);
    connect(&broker_, &BrokerSource::boardsChanged, this, &MonitorWindow::fillBoards);
    connect(&broker_, &BrokerSource::availabilityChanged, this, &MonitorWindow::onAvailability);
    connect(&broker_, &BrokerSource::alarmChanged, this, &MonitorWindow::onAlarm);
    connect(&broker_, &BrokerSource::sensorNamed, this, [this](int sensor, const QString& name) {
        history_.rename(sensor, name);
        if (!rowsTimer_.isActive())
            rowsTimer_.start();
    });
    connect(&broker_, &BrokerSource::connected, this, [this] {
        resumedAt_ = QDateTime::currentDateTime();
        brokerAway_ = broker_.online() == false;
        markAllRows();
        updateStatus();
    });
    connect(&broker_, &BrokerSource::disconnected, this, &MonitorWindow::onBrokerDisconnected);
    connect(&broker_, &BrokerSource::retrying, this, [this](std::chrono::seconds, const QString& reason) {
        if (lastError_.startsWith(reason))
            return;
        noteError(withAdvice(reason, tr("The monitor keeps trying by itself.")));
    });
    connect(&broker_, &BrokerSource::notice, this, [this](const QString& message) { noteError(message); });

    loadSettings();
    fillBoards();
    onSpanChosen();
    updateStatus();
}

MonitorWindow::~MonitorWindow() = default;

void MonitorWindow::fillSpans()
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
}

void MonitorWindow::fillSources()
{
    ui->sourceCombo->addItem(tr("Serial port"), static_cast<int>(Source::Serial));
    ui->sourceCombo->addItem(tr("MQTT broker"), static_cast<int>(Source::Broker));
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
    ui->sourcePages->setCurrentWidget(source() == Source::Broker ? ui->brokerPage : ui->serialPage);
    ui->actionSettings->setEnabled(source() == Source::Serial && !session_.isRunning());
    updateStatus();
}

void MonitorWindow::onSpanChosen()
{
    chart_->setSpan(seconds{ui->windowCombo->currentData().toInt()});
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
        chosenBoard_ = board;
    fillBoards();
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
        (chosenBoard_.isEmpty() || announced(chosenBoard_)))
        followBoard(chosenBoard_.isEmpty() ? boards.first().name : chosenBoard_);
    const QString shown = broker_.isRunning() && !broker_.board().isEmpty() ? broker_.board() : chosenBoard_;
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

void MonitorWindow::onBoardChosen()
{
    const QString board = ui->boardCombo->currentData().toString();
    chosenBoard_ = board;
    if (broker_.isRunning() && board != broker_.board())
        followBoard(board);
    saveSettings();
}

void MonitorWindow::followBoard(const QString& board)
{
    chosenBoard_ = board;
    forgetReadings();
    fromPort_ = false;
    updateLimits();
    broker_.follow(board);
    setWindowTitle(tr("%1 — Calimbra Monitor").arg(board));
    // A board known to be away is a gap from now until it is back.
    brokerAway_ = broker_.online() == false || !broker_.isConnected();
    if (broker_.online() == false)
        onAvailability(false, QDateTime::currentDateTime());
    updateStatus();
}

void MonitorWindow::onAvailability(bool online, const QDateTime& when)
{
    if (!online) {
        history_.addBreak(when.toMSecsSinceEpoch());
        offlineSince_ = when;
    }
    brokerAway_ = !online || !broker_.isConnected();
    markAllRows();
    chart_->scheduleReplot();
    updateStatus();
}

void MonitorWindow::onBrokerDisconnected(const QString& reason)
{
    history_.addBreak(QDateTime::currentMSecsSinceEpoch());
    brokerAway_ = true;
    noteError(withAdvice(reason, tr("The monitor keeps trying by itself.")));
    markAllRows();
    chart_->scheduleReplot();
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
        forgetReadings();
        fromPort_ = false;
        updateLimits();
        lastError_.clear();
        chart_->setLive(true);
        chart_->setFollowing(true);
        brokerAway_ = true;
        broker_.follow(chosenBoard_);
        broker_.start(url);
    } catch (const Error& error) {
        noteError(error.message());
        return;
    }
    if (!chosenBoard_.isEmpty())
        setWindowTitle(tr("%1 — Calimbra Monitor").arg(chosenBoard_));
    fillBoards();
    saveSettings();
}

void MonitorWindow::useBoardFile(const QString& path, bool settingsToo)
{
    boardFile_ = QFileInfo(path).absoluteFilePath();
    BoardFile config;
    try {
        config = readBoardFile(boardFile_);
    } catch (const Error& error) {
        applyProfiles({});
        showStartProblem(error.message());
        return;
    }
    applyProfiles(config.profiles);
    const Settings& given = config.settings;
    passwordFile_ = given.value(mqtt_output::kPasswordFile, QString());
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
        chosenBoard_ = *board;
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
    auto* dialog = new SensorsDialog(profiles_, boardFile_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &SensorsDialog::saved, this,
            [this](const QString& path, const QMap<int, SensorProfile>& profiles) {
                boardFile_ = path;
                applyProfiles(profiles);
                saveSettings();
            });
    dialog->open();
}

void MonitorWindow::applyProfiles(const QMap<int, SensorProfile>& profiles)
{
    profiles_ = profiles;
    profile_.setSensors(profiles);
    alarms_->setProfiles(profiles);
    // The port's readings are named by the profiles; a broker's and a log's carry their own names.
    if (fromPort_ && !history_.log()) {
        for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
            history_.rename(sensor, profiles.value(sensor).name);
    }
    updateLimits();
    markAllRows();
}

void MonitorWindow::updateLimits()
{
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        const SensorProfile profile = profiles_.value(sensor);
        const bool limited = fromPort_ && !history_.log();
        chart_->setLimits(sensor, limited ? profile.low : std::nullopt,
                          limited ? profile.high : std::nullopt);
    }
}

void MonitorWindow::resetAlarms()
{
    alarms_ = std::make_unique<AlarmWatch>();
    alarms_->setProfiles(profiles_);
    connect(alarms_.get(), &AlarmWatch::alarmChanged, this, &MonitorWindow::onAlarm);
    activeAlarms_.fill({});
}

void MonitorWindow::takePortReading(Reading reading)
{
    profile_.apply(reading);
    alarms_->take(reading);
    addReading(reading);
}

void MonitorWindow::onAlarm(const AlarmEvent& event)
{
    if (event.sensor < 1 || event.sensor > board::kMaxSensors)
        return;
    const auto slot = static_cast<std::size_t>(event.sensor - 1);
    activeAlarms_.at(slot).set(static_cast<std::size_t>(event.kind), event.raised);
    dirtyRows_.set(slot);
    if (!rowsTimer_.isActive())
        rowsTimer_.start();
    if (!event.raised)
        return;
    const QString value = event.celsius
                              ? tr("%1 °C at %2").arg(shownCelsius(*event.celsius), clock(event.time))
                              : tr("at %1").arg(clock(event.time));
    notifier_.notify(tr("Alarm on %1").arg(sensorLabel(event.sensor, event.name)),
                     tr("%1 — %2").arg(alarmText(event.sensor, event.kind), value));
}

QString MonitorWindow::alarmText(int sensor, std::optional<AlarmKind> only) const
{
    const auto& active = activeAlarms_.at(static_cast<std::size_t>(sensor - 1));
    // The limits are known for the port's readings; the broker's come from the service's profiles.
    const SensorProfile profile = fromPort_ ? profiles_.value(sensor) : SensorProfile();
    QStringList named;
    for (const AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Lost}) {
        if (only ? kind != *only : !active.test(static_cast<std::size_t>(kind)))
            continue;
        switch (kind) {
        case AlarmKind::High:
            named << (profile.high ? tr("high: above %1 °C").arg(shownCelsius(*profile.high))
                                   : tr("high: above the limit"));
            break;
        case AlarmKind::Low:
            named << (profile.low ? tr("low: below %1 °C").arg(shownCelsius(*profile.low))
                                  : tr("low: below the limit"));
            break;
        case AlarmKind::Lost:
            named << tr("lost: no value");
            break;
        }
    }
    return named.join(QStringLiteral("; "));
}

void MonitorWindow::markAllRows()
{
    dirtyRows_.set();
    if (!rowsTimer_.isActive())
        rowsTimer_.start();
}

void MonitorWindow::loadSettings()
{
    const QSettings settings;
    ComPortSettings line;
    line.portName = settings.value(QStringLiteral("port/name"), line.portName).toString();
    line.baudRate = settings.value(QStringLiteral("port/baudRate"), line.baudRate).toInt();
    line.dataBits = static_cast<QSerialPort::DataBits>(
        settings.value(QStringLiteral("port/dataBits"), line.dataBits).toInt());
    line.parity =
        static_cast<QSerialPort::Parity>(settings.value(QStringLiteral("port/parity"), line.parity).toInt());
    line.stopBits = static_cast<QSerialPort::StopBits>(
        settings.value(QStringLiteral("port/stopBits"), line.stopBits).toInt());
    line.flowControl = static_cast<QSerialPort::FlowControl>(
        settings.value(QStringLiteral("port/flowControl"), line.flowControl).toInt());
    port_.setSettings(line);
    ui->portCombo->setEditText(line.portName);
    ui->intervalSpin->setValue(settings.value(QStringLiteral("interval"), kDefaultIntervalSeconds).toInt());
    ui->sensorsEdit->setText(settings.value(QStringLiteral("sensors")).toString());
    ui->brokerEdit->setText(settings.value(QStringLiteral("broker/url")).toString());
    chosenBoard_ = settings.value(QStringLiteral("broker/board")).toString();
    boardFile_ = settings.value(QStringLiteral("boardFile")).toString();
    setSource(settings.value(QStringLiteral("source")).toString() == QLatin1String("broker")
                  ? Source::Broker
                  : Source::Serial);
    // The span is kept in seconds; earlier versions kept the position in the list.
    const std::array<int, 4> formerSpans = {10 * 60, 60 * 60, 24 * 60 * 60, 0};
    int span = formerSpans[0];
    if (settings.contains(QStringLiteral("span")))
        span = settings.value(QStringLiteral("span")).toInt();
    else if (const int former = settings.value(QStringLiteral("window"), 0).toInt();
             former >= 0 && former < 4)
        span = formerSpans.at(static_cast<std::size_t>(former));
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(span)));
    lastFolder_ = settings
                      .value(QStringLiteral("lastFolder"),
                             QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                      .toString();
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
}

void MonitorWindow::saveSettings() const
{
    QSettings settings;
    const ComPortSettings line = port_.settings();
    settings.setValue(QStringLiteral("port/name"), ui->portCombo->currentText());
    settings.setValue(QStringLiteral("port/baudRate"), line.baudRate);
    settings.setValue(QStringLiteral("port/dataBits"), line.dataBits);
    settings.setValue(QStringLiteral("port/parity"), line.parity);
    settings.setValue(QStringLiteral("port/stopBits"), line.stopBits);
    settings.setValue(QStringLiteral("port/flowControl"), line.flowControl);
    settings.setValue(QStringLiteral("interval"), ui->intervalSpin->value());
    settings.setValue(QStringLiteral("sensors"), ui->sensorsEdit->text());
    settings.setValue(QStringLiteral("broker/url"), withoutPassword(ui->brokerEdit->text().trimmed()));
    settings.setValue(QStringLiteral("broker/board"), chosenBoard_);
    settings.setValue(QStringLiteral("boardFile"), boardFile_);
    settings.setValue(QStringLiteral("source"),
                      source() == Source::Broker ? QStringLiteral("broker") : QStringLiteral("serial"));
    settings.setValue(QStringLiteral("span"), ui->windowCombo->currentData().toInt());
    settings.remove(QStringLiteral("window"));
    settings.setValue(QStringLiteral("lastFolder"), lastFolder_);
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
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

void MonitorWindow::noteError(const QString& message, const QDateTime& when)
{
    lastError_ = message;
    lastErrorTime_ = when;
    resumedAt_ = QDateTime();
    updateStatus();
}

void MonitorWindow::startOrStop()
{
    setRunning(!session_.isRunning() && !broker_.isRunning());
}

void MonitorWindow::setRunning(bool running)
{
    if (running && (session_.isRunning() || broker_.isRunning()))
        return;
    if (running && source() == Source::Broker) {
        startBroker();
    } else if (running) {
        const auto sensors = sensorList(ui->sensorsEdit->text());
        if (!sensors) {
            noteError(
                tr("The Sensors field takes sensor numbers from 1 to 9, such as 1,3,5-7, or nothing for "
                   "every sensor the board reports; correct it and press Start."));
            return;
        }
        const QString portName = ui->portCombo->currentText().trimmed();
        if (portName.isEmpty()) {
            noteError(tr("Type or choose the board's port in the Port field, then press Start."));
            return;
        }
        forgetReadings();
        fromPort_ = true;
        applyProfiles(profiles_);
        profile_.forgetPreviousValues();
        chart_->setLive(true);
        for (const int sensor : *sensors)
            showSensor(sensor);
        lastError_.clear();
        port_.Close();
        port_.setPortName(portName);
        session_.setInterval(seconds{ui->intervalSpin->value()});
        session_.setSensors(*sensors);
        session_.start();
        chart_->setFollowing(true);
        saveSettings();
    } else {
        session_.stop();
        port_.Close();
        if (broker_.isRunning()) {
            broker_.stop();
            history_.addBreak(QDateTime::currentMSecsSinceEpoch());
        }
        nextRound_ = QDateTime();
        inTrouble_ = false;
        brokerAway_ = false;
    }
    const bool runs = session_.isRunning() || broker_.isRunning();
    ui->actionStart->setText(runs ? tr("&Stop") : tr("&Start"));
    for (QWidget* control : {static_cast<QWidget*>(ui->portCombo), static_cast<QWidget*>(ui->intervalSpin),
                             static_cast<QWidget*>(ui->sensorsEdit), static_cast<QWidget*>(ui->sourceCombo),
                             static_cast<QWidget*>(ui->brokerEdit)})
        control->setEnabled(!runs);
    ui->actionSettings->setEnabled(!runs && source() == Source::Serial);
    ui->actionOpenLog->setEnabled(!runs);
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        dirtyRows_.set(static_cast<std::size_t>(sensor - 1));
    updateDirtyRows();
    updateStatus();
}

void MonitorWindow::forgetReadings()
{
    history_.clear();
    table_->clear();
    chart_->hideSensors();
    resetAlarms();
    lastRound_ = nextRound_ = QDateTime();
    inTrouble_ = false;
    brokerAway_ = false;
    offlineSince_ = QDateTime();
    chart_->replot();
    setWindowTitle(tr("Calimbra Monitor"));
}

void MonitorWindow::recordTo(const QString& path)
{
    record_.reset();
    if (path.isEmpty()) {
        ui->actionRecord->setChecked(false);
        updateStatus();
        return;
    }
    try {
        record_ = std::make_unique<LogFile>(path, LogFormat::Csv);
        ui->actionRecord->setChecked(true);
        updateStatus();
    } catch (const Error& error) {
        ui->actionRecord->setChecked(false);
        noteError(error.message());
    }
}

void MonitorWindow::chooseRecordFile(bool checked)
{
    if (!checked) {
        recordTo(QString());
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Record readings to"), lastFolder_ + QStringLiteral("/calimbra.csv"),
        tr("CSV files (*.csv)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        lastFolder_ = QFileInfo(path).absolutePath();
    recordTo(path);
}

void MonitorWindow::chooseLogFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open a log"), lastFolder_, tr("Logs (*.csv *.jsonl *.json *.log *.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    lastFolder_ = QFileInfo(path).absolutePath();
    openLog(path);
}

void MonitorWindow::chooseExportFile()
{
    QString filter;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the chart"), lastFolder_ + QStringLiteral("/calimbra-chart.png"),
        tr("PNG image (*.png);;SVG drawing (*.svg);;CSV readings (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    lastFolder_ = QFileInfo(path).absolutePath();
    // A long stretch takes seconds to write.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    exportTo(path);
    QApplication::restoreOverrideCursor();
}

void MonitorWindow::exportTo(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool saved = false;
    if (suffix == QLatin1String("csv")) {
        QSaveFile file(path);
        // What the chart shows: every reading of its lines in its stretch of time, not the decimated
        // lines, written as the log writes them.
        const auto [from, to] = chart_->shownRange();
        saved = file.open(QIODevice::WriteOnly) &&
                history_.store().writeLog(file, LogFormat::Csv, from, to, chart_->visibleSensors(),
                                          [this](int sensor) { return history_.stats().at(sensor).name; }) &&
                file.commit();
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(ui->chartView->size());
        svg.setViewBox(ui->chartView->rect());
        svg.setTitle(tr("Calimbra temperatures"));
        QPainter painter;
        saved = painter.begin(&svg);
        if (saved) {
            ui->chartView->render(&painter);
            saved = painter.end();
        }
    } else {
        saved = ui->chartView->grab().save(
            path, suffix == QLatin1String("png") || suffix.isEmpty() ? "PNG" : nullptr);
    }
    if (!saved) {
        noteError(tr("Could not save %1; choose another folder or free some space, and export again.")
                      .arg(QDir::toNativeSeparators(path)));
        return;
    }
    updateStatus();
}

void MonitorWindow::openLog(const QString& path)
{
    if (session_.isRunning() || broker_.isRunning())
        setRunning(false);
    forgetReadings();
    fromPort_ = false;
    lastError_.clear();
    chart_->setLive(false);
    sinceLogShown_.invalidate();
    // A log is looked at whole first; Show picks a stretch of it.
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(0)));
    chart_->setFollowing(true);
    setWindowTitle(tr("%1 — Calimbra Monitor").arg(QFileInfo(path).fileName()));
    history_.openLog(path);
    updateLimits();
    updateStatus();
}

void MonitorWindow::showHistory()
{
    for (const int sensor : history_.stats().seen())
        showSensor(sensor);
    replot();
    updateStatus();
}

void MonitorWindow::onLogProgressed()
{
    updateStatus();
    // A long log shows as it is read, but drawing it afresh after every slice would take longer
    // than reading it.
    if (sinceLogShown_.isValid() && sinceLogShown_.elapsed() < kLoadingRedraw.count())
        return;
    sinceLogShown_.start();
    showHistory();
}

void MonitorWindow::addReading(const Reading& reading)
{
    if (record_) {
        try {
            record_->append(reading);
        } catch (const Error& error) {
            // A full disk must not stop the chart; the record stops and says why.
            record_.reset();
            ui->actionRecord->setChecked(false);
            noteError(error.message(), reading.time);
        }
    }
    history_.take(reading);
    showSensor(reading.sensor);
    if (!rowsTimer_.isActive())
        rowsTimer_.start();
    chart_->scheduleReplot();
}

void MonitorWindow::replot()
{
    chart_->replot();
    updateDirtyRows();
}

void MonitorWindow::onRoundFinished(const QDateTime& start)
{
    alarms_->roundFinished(start);
    lastRound_ = start;
    // A sensor read before but not in this round has stopped answering; it is marked, not frozen.
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        dirtyRows_.set(static_cast<std::size_t>(sensor - 1));
    updateDirtyRows();
    updateStatus();
}

void MonitorWindow::onTrouble(const QString& message, const QDateTime& when)
{
    inTrouble_ = true;
    history_.addBreak(when.toMSecsSinceEpoch());
    // The port's own messages end with the monitor's advice already; the board's silence does not.
    const QString retrying = portAdvice().tryAgain;
    noteError(message.endsWith(retrying) ? message
                                         : withAdvice(message, tr("The monitor keeps trying by itself.")),
              when);
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        dirtyRows_.set(static_cast<std::size_t>(sensor - 1));
    updateDirtyRows();
    chart_->scheduleReplot();
}

void MonitorWindow::onResumed(const QDateTime& when)
{
    // A board back from an outage may have been powered off: its first 85 °C is no reading.
    profile_.forgetPreviousValues();
    inTrouble_ = false;
    resumedAt_ = when;
    updateStatus();
}

void MonitorWindow::onNextRound(const QDateTime& when)
{
    nextRound_ = when;
    updateStatus();
}

void MonitorWindow::showSensor(int sensor)
{
    chart_->showSensor(sensor, history_.stats().at(sensor).name);
    if (!table_->show(sensor))
        return;
    dirtyRows_.set(static_cast<std::size_t>(sensor - 1));
    // Every sensor's row in sight when the window allows, the rest for the chart.
    const QList<int> sizes = ui->splitter->sizes();
    const int shared = sizes.value(0) + sizes.value(1);
    if (shared <= 0)
        return;
    const int height = std::min(table_->wholeHeight(), shared * kMostTablePercent / 100);
    ui->splitter->setSizes({shared - height, height});
}

void MonitorWindow::updateDirtyRows()
{
    rowsTimer_.stop();
    const bool live = !history_.log();
    dirtyRows_ |= history_.takeChanged();
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        if (!dirtyRows_.test(static_cast<std::size_t>(sensor - 1)))
            continue;
        const SensorStats::Sensor& stats = history_.stats().at(sensor);
        if (stats.seen())
            chart_->showSensor(sensor, stats.name); // under its name, once it has one
        const bool missing =
            live && stats.seen() &&
            (inTrouble_ || brokerAway_ ||
             (lastRound_.isValid() && stats.roundMs > 0 && stats.roundMs < lastRound_.toMSecsSinceEpoch()));
        table_->update(sensor, stats, missing, alarmText(sensor));
    }
    dirtyRows_.reset();
    // The broker's readings come one by one, not in rounds that say so.
    if (broker_.isRunning())
        updateStatus();
}

void MonitorWindow::updateBrokerStatus(QStringList& parts) const
{
    const QString broker = broker_.brokerText();
    const QString board = broker_.board();
    if (!broker_.isConnected()) {
        parts << tr("Connecting to the broker %1").arg(broker);
        if (!board.isEmpty())
            parts << tr("board %1").arg(board);
        return;
    }
    if (board.isEmpty()) {
        parts << (broker_.boards().isEmpty()
                      ? tr("Connected to the broker %1; no board has announced itself yet").arg(broker)
                      : tr("Connected to the broker %1; choose a board in the Board field").arg(broker));
        return;
    }
    parts << tr("Watching board %1 on the broker %2").arg(board, broker);
    const std::optional<bool> online = broker_.online();
    if (!online)
        parts << tr("the board has not announced itself");
    else if (*online)
        parts << tr("the board is online");
    else
        parts << tr("the board is offline since %1").arg(clock(offlineSince_));
    if (const auto last = history_.store().lastTime())
        parts << tr("last reading %1").arg(shownTime(*last));
}

void MonitorWindow::updateStatus()
{
    QStringList parts;
    if (session_.isRunning()) {
        parts << tr("Reading %1 every %2 s").arg(port_.portName()).arg(ui->intervalSpin->value());
        parts << tr("last round %1").arg(clock(lastRound_));
        parts << (inTrouble_ ? tr("retrying by itself") : tr("next round %1").arg(clock(nextRound_)));
    } else if (broker_.isRunning()) {
        updateBrokerStatus(parts);
    } else if (const LogReader* log = history_.log()) {
        const QString file = QDir::toNativeSeparators(log->path());
        if (const auto percent = history_.loadingPercent()) {
            parts << tr("Reading %1: %2 %").arg(file).arg(*percent);
        } else if (const auto first = history_.store().firstTime()) {
            parts << tr("%1: readings from %2 to %3, %4 in all, followed as it grows")
                         .arg(file, shownTime(*first), shownTime(*history_.store().lastTime()))
                         .arg(log->parser().readings());
        } else {
            parts << tr("%1 holds no readings yet; they are shown as they are written").arg(file);
        }
        if (const QString skipped = log->skippedLinesMessage(); !skipped.isEmpty())
            parts << skipped;
    } else {
        parts << tr("Stopped");
        if (lastRound_.isValid())
            parts << tr("last round %1").arg(clock(lastRound_));
    }
    if (record_)
        parts << tr("recording to %1").arg(QDir::toNativeSeparators(record_->path()));
    if (!lastError_.isEmpty() && resumedAt_.isValid() && resumedAt_ >= lastErrorTime_)
        parts << tr("last error from %1 to %2: %3").arg(clock(lastErrorTime_), clock(resumedAt_), lastError_);
    else if (!lastError_.isEmpty())
        parts << tr("last error at %1: %2").arg(clock(lastErrorTime_), lastError_);
    ui->statusLabel->setText(parts.join(QStringLiteral(" · ")));

    QStringList summary;
    for (const int sensor : history_.stats().seen()) {
        if (const auto value = history_.stats().at(sensor).celsius)
            summary << tr("S%1 %2 °C").arg(sensor).arg(shownCelsius(*value));
    }
    ui->chartView->setAccessibleDescription(summary.isEmpty() ? tr("No readings yet")
                                                              : summary.join(QStringLiteral(", ")));
}

} // namespace calimbra
