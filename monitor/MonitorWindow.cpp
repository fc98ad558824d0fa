// SPDX-License-Identifier: MIT
#include "MonitorWindow.h"

#include "ComSetupDialog.h"
#include "Error.h"
#include "ui_MonitorWindow.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QValueAxis>

#include <cmath>

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr std::array<qint64, 4> kWindowMs = {10 * 60 * 1000, 60 * 60 * 1000, 24 * 60 * 60 * 1000, 0};

// Nine colours told apart by most eyes, and in grey print.
const std::array<QColor, board::kMaxSensors> kColours = {
    QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c), QColor(0xff7f0e), QColor(0x9467bd),
    QColor(0x8c564b), QColor(0xe377c2), QColor(0x17becf), QColor(0x7f7f7f)};

QString clock(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("—");
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
    for (int row = 0; row < board::kMaxSensors; ++row) {
        for (int column = 0; column < ui->table->columnCount(); ++column)
            ui->table->setItem(row, column, new QTableWidgetItem);
        ui->table->item(row, 0)->setText(QStringLiteral("S%1").arg(row + 1));
        ui->table->item(row, 0)->setForeground(kColours.at(static_cast<std::size_t>(row)));
    }
    ui->table->resizeColumnsToContents();
    buildChart();
    fillPorts();

    replotTimer_.setSingleShot(true);
    connect(&replotTimer_, &QTimer::timeout, this, &MonitorWindow::replot);
    connect(ui->actionStart, &QAction::triggered, this, &MonitorWindow::startOrStop);
    connect(ui->actionSettings, &QAction::triggered, this, &MonitorWindow::showSettingsDialog);
    connect(ui->actionRecord, &QAction::triggered, this, &MonitorWindow::chooseRecordFile);
    connect(ui->actionExport, &QAction::triggered, this, &MonitorWindow::chooseExportFile);
    connect(ui->actionFollow, &QAction::triggered, this, &MonitorWindow::setFollowing);
    connect(ui->windowCombo, &QComboBox::currentIndexChanged, this, [this] { setFollowing(true); });

    connect(&session_, &SamplingSession::readingTaken, this, &MonitorWindow::addReading);
    connect(&session_, &SamplingSession::roundFinished, this, &MonitorWindow::onRoundFinished);
    connect(&session_, &SamplingSession::troubleStarted, this, &MonitorWindow::onTrouble);
    connect(&session_, &SamplingSession::resumed, this, &MonitorWindow::onResumed);
    connect(&session_, &SamplingSession::nextRoundAt, this, &MonitorWindow::onNextRound);
    connect(&session_, &SamplingSession::finished, this, [this] { setRunning(false); });

    loadSettings();
}

MonitorWindow::~MonitorWindow() = default;

void MonitorWindow::buildChart()
{
    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->setAlignment(Qt::AlignRight);
    timeAxis_ = new QDateTimeAxis(chart_);
    timeAxis_->setFormat(QStringLiteral("HH:mm"));
    timeAxis_->setTitleText(tr("Local time"));
    valueAxis_ = new QValueAxis(chart_);
    valueAxis_->setTitleText(tr("°C"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        auto* line = new QLineSeries(chart_);
        line->setName(QStringLiteral("S%1").arg(sensor));
        line->setColor(kColours.at(static_cast<std::size_t>(sensor - 1)));
        chart_->addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        lines_.at(static_cast<std::size_t>(sensor - 1)) << line;
        // The legend entry shows and hides the sensor's line; a struck-through entry is hidden.
        const auto markers = chart_->legend()->markers(line);
        for (QLegendMarker* marker : markers) {
            connect(marker, &QLegendMarker::clicked, this, [this, sensor, marker] {
                bool& hidden = hidden_.at(static_cast<std::size_t>(sensor - 1));
                hidden = !hidden;
                QFont font = marker->font();
                font.setStrikeOut(hidden);
                marker->setFont(font);
                for (QLineSeries* part : lines_.at(static_cast<std::size_t>(sensor - 1)))
                    part->setVisible(!hidden);
                marker->setVisible(true);
            });
        }
    }
    ui->chartView->setChart(chart_);
    // Dragging picks a stretch of time to look at; the view then stays there until followed again.
    ui->chartView->setRubberBand(QChartView::HorizontalRubberBand);
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, &MonitorWindow::onAxisChanged);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    settingRange_ = true;
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(now - kWindowMs[0]),
                        QDateTime::fromMSecsSinceEpoch(now));
    valueAxis_->setRange(15, 30);
    settingRange_ = false;
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
    ui->intervalSpin->setValue(settings.value(QStringLiteral("interval"), 10).toInt());
    ui->sensorsEdit->setText(settings.value(QStringLiteral("sensors")).toString());
    ui->windowCombo->setCurrentIndex(settings.value(QStringLiteral("window"), 0).toInt());
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
    settings.setValue(QStringLiteral("window"), ui->windowCombo->currentIndex());
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
            lastError_ = tr("Sensors are numbers from 1 to 9, e.g. 1,3,5-7, or empty for all active ones.");
            lastErrorTime_ = QDateTime::currentDateTime();
            updateStatus();
            return;
        }
        port_.Close();
        port_.setPortName(ui->portCombo->currentText().trimmed());
        store_.clear();
        stats_ = {};
        for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
            updateRow(sensor);
        session_.setInterval(seconds{ui->intervalSpin->value()});
        session_.setSensors(*sensors);
        session_.start();
        saveSettings();
    } else {
        session_.stop();
        port_.Close();
        nextRound_ = QDateTime();
    }
    ui->actionStart->setText(session_.isRunning() ? tr("&Stop") : tr("&Start"));
    for (QWidget* control : {static_cast<QWidget*>(ui->portCombo), static_cast<QWidget*>(ui->intervalSpin),
                             static_cast<QWidget*>(ui->sensorsEdit)})
        control->setEnabled(!session_.isRunning());
    ui->actionSettings->setEnabled(!session_.isRunning());
    updateStatus();
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
    } catch (const Error& error) {
        ui->actionRecord->setChecked(false);
        lastError_ = error.message();
        lastErrorTime_ = QDateTime::currentDateTime();
    }
    updateStatus();
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

void MonitorWindow::chooseExportFile()
{
    QString filter;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export the chart"), lastFolder_ + QStringLiteral("/calimbra-chart.png"),
        tr("PNG image (*.png);;SVG drawing (*.svg);;CSV readings (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    lastFolder_ = QFileInfo(path).absolutePath();
    exportTo(path);
}

void MonitorWindow::exportTo(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    bool saved = false;
    if (suffix == QLatin1String("csv")) {
        // What the chart shows: every reading in its time window, not the decimated lines.
        const qint64 from = timeAxis_->min().toMSecsSinceEpoch();
        const qint64 to = timeAxis_->max().toMSecsSinceEpoch();
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("time,sensor,celsius\n");
            for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
                for (const auto& point : store_.points(sensor)) {
                    if (point.ms < from || point.ms > to)
                        continue;
                    const QDateTime time = QDateTime::fromMSecsSinceEpoch(point.ms);
                    file.write(
                        time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toUtf8() +
                        ',' + QByteArray::number(sensor) + ',' +
                        QByteArray::number(point.celsius, 'g', QLocale::FloatingPointShortest) + '\n');
                }
            }
            saved = file.commit();
        }
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
        lastError_ = tr("Could not save %1.").arg(QDir::toNativeSeparators(path));
        lastErrorTime_ = QDateTime::currentDateTime();
    }
    updateStatus();
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
            lastError_ = error.message();
            lastErrorTime_ = reading.time;
        }
    }
    SensorStats& stats = stats_.at(static_cast<std::size_t>(reading.sensor - 1));
    stats.last = reading.celsius;
    stats.text = reading.text;
    stats.time = reading.time;
    stats.round = reading.roundStart;
    if (reading.celsius) {
        const double value = *reading.celsius;
        stats.min = stats.count == 0 ? value : std::min(stats.min, value);
        stats.max = stats.count == 0 ? value : std::max(stats.max, value);
        stats.sum += value;
        ++stats.count;
        store_.append(reading.sensor, reading.time.toMSecsSinceEpoch(), value);
    }
    updateRow(reading.sensor);
    scheduleReplot();
}

void MonitorWindow::onRoundFinished(const QDateTime& start)
{
    lastRound_ = start;
    ui->table->resizeColumnsToContents();
    // A sensor read before but not in this round has stopped answering; it is marked, not frozen.
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        updateRow(sensor);
    updateStatus();
}

void MonitorWindow::onTrouble(const QString& message, const QDateTime& when)
{
    inTrouble_ = true;
    lastError_ = message;
    lastErrorTime_ = when;
    store_.addBreak(when.toMSecsSinceEpoch());
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        updateRow(sensor);
    updateStatus();
    scheduleReplot();
}

void MonitorWindow::onResumed(const QDateTime&)
{
    inTrouble_ = false;
    updateStatus();
}

void MonitorWindow::onNextRound(const QDateTime& when)
{
    nextRound_ = when;
    updateStatus();
}

void MonitorWindow::updateRow(int sensor)
{
    const int row = sensor - 1;
    const SensorStats& stats = stats_.at(static_cast<std::size_t>(row));
    const bool answered = stats.time.isValid();
    const bool missing = answered && (inTrouble_ || (lastRound_.isValid() && stats.round < lastRound_));
    ui->table->item(row, 1)->setText(stats.last ? celsius(*stats.last) : QString());
    ui->table->item(row, 2)->setText(stats.text);
    ui->table->item(row, 3)->setText(stats.count ? celsius(stats.min) : QString());
    ui->table->item(row, 4)->setText(stats.count ? celsius(stats.max) : QString());
    ui->table->item(row, 5)->setText(stats.count ? celsius(stats.sum / static_cast<double>(stats.count))
                                                 : QString());
    ui->table->item(row, 6)->setText(!answered ? QString()
                                     : missing ? tr("%1 — not answering").arg(clock(stats.time))
                                               : clock(stats.time));
    for (int column = 1; column < ui->table->columnCount(); ++column) {
        QTableWidgetItem* item = ui->table->item(row, column);
        QFont font = item->font();
        font.setItalic(missing);
        item->setFont(font);
        item->setForeground(missing ? palette().color(QPalette::Disabled, QPalette::Text)
                                    : palette().color(QPalette::Text));
    }
}

void MonitorWindow::updateStatus()
{
    QStringList parts;
    parts << (session_.isRunning()
                  ? tr("Reading %1 every %2 s").arg(port_.portName()).arg(ui->intervalSpin->value())
                  : tr("Stopped"));
    parts << tr("last round %1").arg(clock(lastRound_));
    if (session_.isRunning())
        parts << tr("next round %1").arg(clock(nextRound_));
    if (record_)
        parts << tr("recording to %1").arg(QDir::toNativeSeparators(record_->path()));
    if (!lastError_.isEmpty())
        parts << tr("last error at %1: %2").arg(clock(lastErrorTime_), lastError_);
    ui->statusLabel->setText(parts.join(QStringLiteral(" · ")));

    QStringList summary;
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        const auto& stats = stats_.at(static_cast<std::size_t>(sensor - 1));
        if (stats.last)
            summary << tr("S%1 %2 °C").arg(sensor).arg(celsius(*stats.last));
    }
    ui->chartView->setAccessibleDescription(summary.isEmpty() ? tr("No readings yet")
                                                              : summary.join(QStringLiteral(", ")));
}

void MonitorWindow::scheduleReplot()
{
    // A round's readings arrive within milliseconds of each other: one redraw serves them all.
    if (!replotTimer_.isActive())
        replotTimer_.start(50);
}

void MonitorWindow::setFollowing(bool following)
{
    following_ = following;
    ui->actionFollow->setChecked(following);
    replot();
}

void MonitorWindow::onAxisChanged()
{
    if (settingRange_)
        return;
    // The operator zoomed or scrolled: stay there, drawn afresh at this scale.
    following_ = false;
    ui->actionFollow->setChecked(false);
    replot();
}

void MonitorWindow::replot()
{
    // Two points (lowest and highest) for every two pixels: as sharp as a line can show, and half
    // the points for the chart to lay out.
    const int columns = std::max(100, static_cast<int>(chart_->plotArea().width()) / 2);
    qint64 from = timeAxis_->min().toMSecsSinceEpoch();
    qint64 to = timeAxis_->max().toMSecsSinceEpoch();
    if (following_) {
        const qint64 window =
            kWindowMs.at(static_cast<std::size_t>(std::max(0, ui->windowCombo->currentIndex())));
        const qint64 present = std::max(QDateTime::currentMSecsSinceEpoch(), store_.lastTime().value_or(0));
        if (window > 0) {
            // The view moves a column at a time, not at every round: moving the axis makes the
            // chart lay out every line again.
            const qint64 step = std::max<qint64>(1000, window / columns);
            to = (present / step + 1) * step;
            from = to - window;
        } else {
            to = present;
            from = store_.firstTime().value_or(to - kWindowMs[0]);
        }
        if (to - from < 60'000)
            from = to - 60'000;
    }
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        auto& parts = lines_.at(static_cast<std::size_t>(sensor - 1));
        const QList<QList<QPointF>> runs = store_.decimated(sensor, from, to, columns);
        while (parts.size() < runs.size()) {
            auto* line = new QLineSeries(chart_);
            line->setColor(parts.first()->color());
            chart_->addSeries(line);
            line->attachAxis(timeAxis_);
            line->attachAxis(valueAxis_);
            for (QLegendMarker* marker : chart_->legend()->markers(line))
                marker->setVisible(false);
            parts << line;
        }
        for (qsizetype i = 0; i < parts.size(); ++i) {
            parts[i]->replace(i < runs.size() ? runs[i] : QList<QPointF>());
            parts[i]->setVisible(!hidden_.at(static_cast<std::size_t>(sensor - 1)));
        }
        for (const auto& run : runs) {
            for (const QPointF& point : run) {
                if (point.x() >= static_cast<double>(from) && point.x() <= static_cast<double>(to)) {
                    low = std::min(low, point.y());
                    high = std::max(high, point.y());
                }
            }
        }
    }
    settingRange_ = true;
    timeAxis_->setFormat(to - from > 24 * 60 * 60 * 1000 ? QStringLiteral("dd/MM HH:mm")
                         : to - from > 30 * 60 * 1000    ? QStringLiteral("HH:mm")
                                                         : QStringLiteral("HH:mm:ss"));
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    if (low <= high) {
        const double margin = std::max(0.5, (high - low) * 0.1);
        valueAxis_->setRange(std::floor(low - margin), std::ceil(high + margin));
    }
    settingRange_ = false;
}

} // namespace calimbra
