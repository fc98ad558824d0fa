// SPDX-License-Identifier: MIT
#include "MonitorSettings.h"

#include "BoardSettings.h"
#include "MqttOutput.h"
#include "MqttUrl.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>

#include <array>

namespace calimbra {
namespace {

constexpr int kMonitorIdLength = 12;

QString newMonitorId()
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString id;
    for (int i = 0; i < kMonitorIdLength; ++i)
        id += QLatin1Char(
            kAlphabet[QRandomGenerator::system()->bounded(static_cast<int>(sizeof kAlphabet) - 1)]);
    return id;
}

} // namespace

MonitorSettings MonitorSettings::load()
{
    QSettings settings;
    MonitorSettings loaded;
    ComPortSettings& line = loaded.line;
    loaded.portRemembered = settings.contains(QStringLiteral("port/name"));
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
    loaded.intervalSeconds = settings.value(QStringLiteral("interval"), loaded.intervalSeconds).toInt();
    loaded.sensors = settings.value(QStringLiteral("sensors")).toString();
    loaded.brokerUrl = settings.value(QStringLiteral("broker/url")).toString();
    loaded.board = settings.value(QStringLiteral("broker/board")).toString();
    loaded.boardFile = settings.value(QStringLiteral("boardFile")).toString();
    loaded.broker = settings.value(QStringLiteral("source")).toString() == QLatin1String("broker");
    // The span is kept in seconds; earlier versions kept the position in the list.
    const std::array<int, 4> formerSpans = {10 * 60, 60 * 60, 24 * 60 * 60, 0};
    if (settings.contains(QStringLiteral("span")))
        loaded.spanSeconds = settings.value(QStringLiteral("span")).toInt();
    else if (const int former = settings.value(QStringLiteral("window"), 0).toInt();
             former >= 0 && former < 4)
        loaded.spanSeconds = formerSpans.at(static_cast<std::size_t>(former));
    loaded.lastFolder = settings
                            .value(QStringLiteral("lastFolder"),
                                   QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                            .toString();
    loaded.geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    loaded.monitorId = settings.value(QStringLiteral("broker/monitorId")).toString();
    if (loaded.monitorId.isEmpty()) {
        loaded.monitorId = newMonitorId();
        settings.setValue(QStringLiteral("broker/monitorId"), loaded.monitorId);
    }
    return loaded;
}

void MonitorSettings::take(const Settings& file)
{
    line.portName = file.value(board_settings::kPort, line.portName);
    line.baudRate = file.value(board_settings::kBaud, line.baudRate);
    if (const auto interval = file.get(board_settings::kInterval))
        intervalSeconds = static_cast<int>(std::max<qint64>(1, (interval->count() + 999) / 1000));
    if (const auto chosen = file.get(board_settings::kSensors)) {
        QStringList numbers;
        for (const int sensor : *chosen)
            numbers << QString::number(sensor);
        sensors = numbers.join(u',');
    }
    brokerUrl = file.value(mqtt_output::kMqtt, brokerUrl);
    board = file.value(board_settings::kBoard, board);
}

void MonitorSettings::save() const
{
    QSettings settings;
    settings.setValue(QStringLiteral("port/name"), line.portName);
    settings.setValue(QStringLiteral("port/baudRate"), line.baudRate);
    settings.setValue(QStringLiteral("port/dataBits"), line.dataBits);
    settings.setValue(QStringLiteral("port/parity"), line.parity);
    settings.setValue(QStringLiteral("port/stopBits"), line.stopBits);
    settings.setValue(QStringLiteral("port/flowControl"), line.flowControl);
    settings.setValue(QStringLiteral("interval"), intervalSeconds);
    settings.setValue(QStringLiteral("sensors"), sensors);
    settings.setValue(QStringLiteral("broker/url"), mqttUrlWithoutPassword(brokerUrl.trimmed()));
    settings.setValue(QStringLiteral("broker/board"), board);
    settings.setValue(QStringLiteral("broker/monitorId"), monitorId);
    settings.setValue(QStringLiteral("boardFile"), boardFile);
    settings.setValue(QStringLiteral("source"), broker ? QStringLiteral("broker") : QStringLiteral("serial"));
    settings.setValue(QStringLiteral("span"), spanSeconds);
    settings.remove(QStringLiteral("window"));
    settings.setValue(QStringLiteral("lastFolder"), lastFolder);
    settings.setValue(QStringLiteral("geometry"), geometry);
}

} // namespace calimbra
