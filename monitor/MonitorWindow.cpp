// SPDX-License-Identifier: MIT
#include "MonitorWindow.h"

#include "ComSetupDialog.h"
#include "Error.h"
#include "PortAdvice.h"
#include "Text.h"
#include "ui_MonitorWindow.h"

#include <QApplication>
#include <QChartView>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QSaveFile>
#include <QSerialPortInfo>
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
constexpr double kRoomToSpare = 1.05; // over a log's length guessed from its beginning
constexpr int kRowPadding = 8;        // pixels above and below a row's text
constexpr int kMostTablePercent = 45; // of the height the chart and the table share
constexpr qsizetype kExportChunk = 1024 * 1024;
// The local offset is looked up once for each quarter of an hour, the finest step zones change by.
constexpr qint64 kOffsetBucketMs = 15 * 60 * 1000;

enum Column { SensorColumn, LastColumn, ReplyColumn, MinColumn, MaxColumn, MeanColumn, TimeColumn };

QString clock(qint64 ms)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
    return time.date() == QDate::currentDate() ? time.toString(QStringLiteral("HH:mm:ss"))
                                               : QLocale().toString(time, QStringLiteral("dd/MM HH:mm:ss"));
}

QString clock(const QDateTime& time)
{
    return time.isValid() ? clock(time.toMSecsSinceEpoch()) : QStringLiteral("—");
}

QString celsius(double value)
{
    return QLocale().toString(value, 'f', 2);
}

} // namespace

MonitorWindow::MonitorWindow(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::MonitorWindow>())
{
    ui->setupUi(this);
    // Buttons beside the fields do what the menus do, with the menus' shortcuts and states.
    ui->settingsButton->setDefaultAction(ui->actionSettings);
    ui->startButton->setDefaultAction(ui->actionStart);
    ui->followButton->setDefaultAction(ui->actionFollow);
    // The reply takes the width the numbers leave.
    QHeaderView* header = ui->table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ReplyColumn, QHeaderView::Stretch);
    ui->table->verticalHeader()->setDefaultSectionSize(ui->table->fontMetrics().lineSpacing() + kRowPadding);
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 0);
    chart_ = std::make_unique<TemperatureChart>(store_, *ui->chartView);
    fillSpans();
    fillPorts();

    rowsTimer_.setSingleShot(true);
    rowsTimer_.setInterval(kRowsDelay);
    connect(&rowsTimer_, &QTimer::timeout, this, &MonitorWindow::updateDirtyRows);
    connect(ui->actionStart, &QAction::triggered, this, &MonitorWindow::startOrStop);
    connect(ui->actionSettings, &QAction::triggered, this, &MonitorWindow::showSettingsDialog);
    connect(ui->actionOpenLog, &QAction::triggered, this, &MonitorWindow::chooseLogFile);
    connect(ui->actionRecord, &QAction::triggered, this, &MonitorWindow::chooseRecordFile);
    connect(ui->actionExport, &QAction::triggered, this, &MonitorWindow::chooseExportFile);
    connect(ui->actionFollow, &QAction::triggered, chart_.get(), &TemperatureChart::setFollowing);
    connect(chart_.get(), &TemperatureChart::followingChanged, ui->actionFollow, &QAction::setChecked);
    connect(ui->windowCombo, &QComboBox::currentIndexChanged, this, &MonitorWindow::onSpanChosen);

    connect(&session_, &SamplingSession::readingTaken, this, &MonitorWindow::addReading);
    connect(&session_, &SamplingSession::roundFinished, this, &MonitorWindow::onRoundFinished);
    connect(&session_, &SamplingSession::troubleStarted, this, &MonitorWindow::onTrouble);
    connect(&session_, &SamplingSession::resumed, this, &MonitorWindow::onResumed);
    connect(&session_, &SamplingSession::nextRoundAt, this, &MonitorWindow::onNextRound);
    connect(&session_, &SamplingSession::finished, this, [this] { setRunning(false); });

    loadSettings();
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

void MonitorWindow::onSpanChosen()
{
    chart_->setSpan(seconds{ui->windowCombo->currentData().toInt()});
}

void MonitorWindow::fillPorts()
{
    const QString current = ui->portCombo->currentText();
    ui->portCombo->clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ui->portCombo->addItem(info.systemLocation(), info.description());
    ui->portCombo->setEditText(current);
}

void MonitorWindow::usePort(const QString& name)
{
    ui->portCombo->setEditText(name);
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
    settings.setValue(QStringLiteral("span"), ui->windowCombo->currentData().toInt());
    settings.remove(QStringLiteral("window"));
    settings.setValue(QStringLiteral("lastFolder"), lastFolder_);
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
}

void MonitorWindow::closeEvent(QCloseEvent* event)
{
    session_.stop();
    port_.Close();
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
    setRunning(!session_.isRunning());
}

void MonitorWindow::setRunning(bool running)
{
    if (running == session_.isRunning() && running)
        return;
    if (running) {
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
        closeLog();
        forgetReadings();
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
        nextRound_ = QDateTime();
        inTrouble_ = false;
    }
    ui->actionStart->setText(session_.isRunning() ? tr("&Stop") : tr("&Start"));
    for (QWidget* control : {static_cast<QWidget*>(ui->portCombo), static_cast<QWidget*>(ui->intervalSpin),
                             static_cast<QWidget*>(ui->sensorsEdit)})
        control->setEnabled(!session_.isRunning());
    ui->actionSettings->setEnabled(!session_.isRunning());
    ui->actionOpenLog->setEnabled(!session_.isRunning());
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        dirtyRows_.set(static_cast<std::size_t>(sensor - 1));
    updateDirtyRows();
    updateStatus();
}

void MonitorWindow::forgetReadings()
{
    store_.clear();
    stats_.clear();
    nameBytes_ = {};
    names_ = {};
    rowSensors_.clear();
    ui->table->setRowCount(0);
    chart_->hideSensors();
    lastRound_ = nextRound_ = QDateTime();
    inTrouble_ = false;
    chart_->replot();
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

bool MonitorWindow::writeCsv(QIODevice& file) const
{
    // What the chart shows: every reading of its lines in its stretch of time, not the decimated
    // lines, written as the log writes them.
    QByteArray chunk = logHeader(LogFormat::Csv);
    bool written = true;
    qint64 bucket = std::numeric_limits<qint64>::min();
    int offset = 0;
    Reading reading;
    const auto [from, to] = chart_->shownRange();
    store_.forEachBetween(from, to, chart_->visibleSensors(), [&](int sensor, std::size_t index) {
        if (!written)
            return;
        const qint64 ms = store_.time(sensor, index);
        if (ms / kOffsetBucketMs != bucket) {
            bucket = ms / kOffsetBucketMs;
            offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        }
        reading.time = QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
        reading.sensor = sensor;
        reading.name = stats_.at(sensor).name;
        reading.celsius = store_.celsius(sensor, index);
        reading.text = store_.text(store_.reply(sensor, index));
        chunk += formatReading(reading, LogFormat::Csv);
        if (chunk.size() >= kExportChunk) {
            written = file.write(chunk) == chunk.size();
            chunk.clear();
        }
    });
    return written && file.write(chunk) == chunk.size();
}

void MonitorWindow::exportTo(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool saved = false;
    if (suffix == QLatin1String("csv")) {
        QSaveFile file(path);
        saved = file.open(QIODevice::WriteOnly) && writeCsv(file) && file.commit();
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
    if (session_.isRunning())
        setRunning(false);
    closeLog();
    forgetReadings();
    lastError_.clear();
    chart_->setLive(false);
    log_ = std::make_unique<LogReader>(path, [this](const LogRecord& record) { takeLogRecord(record); });
    connect(log_.get(), &LogReader::progress, this, &MonitorWindow::onLogProgress);
    connect(log_.get(), &LogReader::caughtUp, this, &MonitorWindow::onLogCaughtUp);
    connect(log_.get(), &LogReader::failed, this, [this](const QString& message) { noteError(message); });
    connect(log_.get(), &LogReader::restarted, this, [this] {
        forgetReadings();
        updateStatus();
    });
    logPercent_ = 0;
    sinceLogShown_.invalidate();
    // A log is looked at whole first; Show picks a stretch of it.
    ui->windowCombo->setCurrentIndex(std::max(0, ui->windowCombo->findData(0)));
    chart_->setFollowing(true);
    setWindowTitle(tr("%1 — Calimbra Monitor").arg(QFileInfo(path).fileName()));
    log_->start();
    updateStatus();
}

void MonitorWindow::closeLog()
{
    if (!log_)
        return;
    log_.reset();
    logPercent_ = -1;
    setWindowTitle(tr("Calimbra Monitor"));
}

void MonitorWindow::takeLogRecord(const LogRecord& record)
{
    const auto slot = static_cast<std::size_t>(record.sensor - 1);
    if (!record.name.isEmpty() && record.name != nameBytes_.at(slot)) {
        nameBytes_.at(slot) = record.name.toByteArray();
        names_.at(slot) = QString::fromUtf8(record.name);
    }
    const std::size_t count = store_.size(record.sensor);
    const ReadingStore::TextId reply =
        store_.intern(record.reply, count > 0 ? store_.reply(record.sensor, count - 1) : 0);
    store_.append(record.sensor, record.time.ms, record.celsius, reply);
    stats_.take(record.sensor, record.time.ms, record.celsius, record.error, store_.text(reply),
                record.name.isEmpty() ? QString() : names_.at(slot),
                record.roundStart ? record.roundStart->ms : 0);
    dirtyRows_.set(slot);
}

void MonitorWindow::onLogProgress(qint64 done, qint64 total)
{
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == logPercent_)
        return;
    if (logPercent_ == 0 && done < total) {
        // The first slice tells how many readings of each sensor the whole log holds.
        const double growth = static_cast<double>(total) / static_cast<double>(done) * kRoomToSpare;
        for (const int sensor : stats_.seen())
            store_.reserve(sensor,
                           static_cast<std::size_t>(static_cast<double>(store_.size(sensor)) * growth));
    }
    logPercent_ = percent;
    updateStatus();
    // A long log shows as it is read, but drawing it afresh after every slice would take longer
    // than reading it.
    if (sinceLogShown_.isValid() && sinceLogShown_.elapsed() < kLoadingRedraw.count())
        return;
    sinceLogShown_.start();
    for (const int sensor : stats_.seen())
        showSensor(sensor);
    replot();
}

void MonitorWindow::onLogCaughtUp()
{
    logPercent_ = -1;
    for (const int sensor : stats_.seen())
        showSensor(sensor);
    replot();
    updateStatus();
    emit logCaughtUp();
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
    const qint64 ms = reading.time.toMSecsSinceEpoch();
    const ReadingStore::TextId reply = store_.intern(reading.text);
    store_.append(reading.sensor, ms, reading.celsius, reply);
    stats_.take(reading.sensor, ms, reading.celsius, reading.error, store_.text(reply), reading.name,
                reading.roundStart.isValid() ? reading.roundStart.toMSecsSinceEpoch() : 0);
    showSensor(reading.sensor);
    dirtyRows_.set(static_cast<std::size_t>(reading.sensor - 1));
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
    store_.addBreak(when.toMSecsSinceEpoch());
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
    const QString& name = stats_.at(sensor).name;
    chart_->showSensor(sensor, name);
    if (rowOf(sensor) >= 0)
        return;
    const auto at = std::lower_bound(rowSensors_.begin(), rowSensors_.end(), sensor);
    const int row = static_cast<int>(at - rowSensors_.begin());
    rowSensors_.insert(at, sensor);
    ui->table->insertRow(row);
    for (int column = 0; column < ui->table->columnCount(); ++column)
        ui->table->setItem(row, column, new QTableWidgetItem);
    ui->table->item(row, SensorColumn)->setForeground(sensorColour(sensor));
    for (const int column : {LastColumn, MinColumn, MaxColumn, MeanColumn})
        ui->table->item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    dirtyRows_.set(static_cast<std::size_t>(sensor - 1));
    fitTable();
}

void MonitorWindow::fitTable()
{
    // Every sensor's row in sight when the window allows, the rest for the chart.
    const QList<int> sizes = ui->splitter->sizes();
    const int shared = sizes.value(0) + sizes.value(1);
    if (shared <= 0)
        return;
    const QTableWidget& table = *ui->table;
    const int wanted = table.horizontalHeader()->height() + 2 * table.frameWidth() +
                       table.rowCount() * table.verticalHeader()->defaultSectionSize();
    const int height = std::min(wanted, shared * kMostTablePercent / 100);
    ui->splitter->setSizes({shared - height, height});
}

int MonitorWindow::rowOf(int sensor) const
{
    return static_cast<int>(rowSensors_.indexOf(sensor));
}

void MonitorWindow::updateDirtyRows()
{
    rowsTimer_.stop();
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        if (dirtyRows_.test(static_cast<std::size_t>(sensor - 1)))
            updateRow(sensor);
    }
    dirtyRows_.reset();
}

void MonitorWindow::updateRow(int sensor)
{
    const int row = rowOf(sensor);
    if (row < 0)
        return;
    const SensorStats::Sensor& stats = stats_.at(sensor);
    chart_->showSensor(sensor, stats.name);
    const bool live = !log_;
    const bool missing = live && stats.seen() &&
                         (inTrouble_ || (lastRound_.isValid() && stats.roundMs > 0 &&
                                         stats.roundMs < lastRound_.toMSecsSinceEpoch()));
    QString last;
    if (stats.celsius) {
        last = celsius(*stats.celsius);
    } else if (stats.seen()) {
        switch (stats.error.value_or(stats.reply.isEmpty() ? ReadError::Timeout : ReadError::NoValue)) {
        case ReadError::Timeout:
            last = tr("no reply");
            break;
        case ReadError::Garbled:
            last = tr("garbled");
            break;
        case ReadError::NoValue:
            last = tr("no value");
            break;
        case ReadError::PowerOn:
            last = tr("85 °C at power-on");
            break;
        case ReadError::Disconnected:
            last = tr("disconnected");
            break;
        }
    }
    const auto mean = stats.mean();
    const bool faint = missing || (stats.seen() && !stats.celsius);
    const std::array<QString, TimeColumn + 1> cells = {
        stats.name.isEmpty() ? QStringLiteral("S%1").arg(sensor)
                             : QStringLiteral("S%1 %2").arg(sensor).arg(stats.name),
        last,
        stats.reply.isEmpty() && stats.seen() ? tr("(no reply)") : printable(stats.reply),
        stats.values ? celsius(stats.min) : QString(),
        stats.values ? celsius(stats.max) : QString(),
        mean ? celsius(*mean) : QString(),
        !stats.seen() ? QString()
        : missing     ? tr("%1 — not answering").arg(clock(stats.ms))
                      : clock(stats.ms),
    };
    // Each change of a cell lays out the table's columns again: only what changed is set.
    for (int column = SensorColumn; column <= TimeColumn; ++column) {
        QTableWidgetItem* item = ui->table->item(row, column);
        const QString& text = cells.at(static_cast<std::size_t>(column));
        if (item->text() != text)
            item->setText(text);
        if (column == SensorColumn || item->font().italic() == faint)
            continue;
        QFont font = item->font();
        font.setItalic(faint);
        item->setFont(font);
        item->setForeground(faint ? palette().color(QPalette::Disabled, QPalette::Text)
                                  : palette().color(QPalette::Text));
    }
}

void MonitorWindow::updateStatus()
{
    QStringList parts;
    if (session_.isRunning()) {
        parts << tr("Reading %1 every %2 s").arg(port_.portName()).arg(ui->intervalSpin->value());
        parts << tr("last round %1").arg(clock(lastRound_));
        parts << (inTrouble_ ? tr("retrying by itself") : tr("next round %1").arg(clock(nextRound_)));
    } else if (log_) {
        const QString file = QDir::toNativeSeparators(log_->path());
        const qint64 readings = log_->parser().readings();
        if (logPercent_ >= 0 && !log_->isCaughtUp()) {
            parts << tr("Reading %1: %2 %").arg(file).arg(logPercent_);
        } else if (const auto first = store_.firstTime()) {
            parts << tr("%1: readings from %2 to %3, %4 in all, followed as it grows")
                         .arg(file, clock(*first), clock(*store_.lastTime()))
                         .arg(readings);
        } else {
            parts << tr("%1 holds no readings yet; they are shown as they are written").arg(file);
        }
        if (const QString skipped = log_->skippedLinesMessage(); !skipped.isEmpty())
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
    for (const int sensor : stats_.seen()) {
        if (const auto value = stats_.at(sensor).celsius)
            summary << tr("S%1 %2 °C").arg(sensor).arg(celsius(*value));
    }
    ui->chartView->setAccessibleDescription(summary.isEmpty() ? tr("No readings yet")
                                                              : summary.join(QStringLiteral(", ")));
}

} // namespace calimbra
