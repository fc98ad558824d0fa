// SPDX-License-Identifier: MIT
// The monitor's window fed a day of readings in this process, one round of nine sensors a second:
// resident memory after a simulated minute and after 24 hours, and the time to take in a round and
// repaint the chart at the 24-hour mark.
//
//   bench_monitor [HOURS]

#include "BenchTable.h"
#include "ProcessStats.h"

#include "MonitorWindow.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <cmath>
#include <vector>

using namespace calimbra;

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true); // leave the user's remembered settings alone
    QApplication app(argc, argv);
    const double hours = QCoreApplication::arguments().value(1, QStringLiteral("24")).toDouble();
    const qint64 rounds = static_cast<qint64>(hours * 3600);

    MonitorWindow window;
    window.resize(900, 640);
    window.findChild<QComboBox*>(QStringLiteral("windowCombo"))->setCurrentIndex(2); // the last 24 hours
    window.show();
    QCoreApplication::processEvents();

    const QDateTime start = QDateTime::currentDateTime().addSecs(-rounds);
    Reading reading;
    const auto feedRound = [&](qint64 round) {
        reading.roundStart = start.addSecs(round);
        for (int sensor = 1; sensor <= 9; ++sensor) {
            reading.sensor = sensor;
            reading.time = reading.roundStart.addMSecs(sensor * 25);
            // The value is read from the reply, as the session does.
            reading.text =
                QStringLiteral("T%1 = +%2 \u00B0C")
                    .arg(sensor)
                    .arg(20 + sensor + 3 * std::sin(static_cast<double>(round) / 3000 + sensor), 0, 'f', 2);
            reading.celsius = temperatureValue(reading.text);
            window.addReading(reading);
        }
    };

    qint64 round = 0;
    for (; round < 60; ++round)
        feedRound(round);
    window.replot();
    QCoreApplication::processEvents();
    const double minuteMiB = static_cast<double>(memoryKiB("VmRSS:")) / 1024;

    QElapsedTimer feeding;
    feeding.start();
    for (; round < rounds - 20; ++round)
        feedRound(round);
    const double feedSeconds = static_cast<double>(feeding.elapsed()) / 1000;

    std::vector<double> frame;
    std::vector<double> taking;
    std::vector<double> drawing;
    auto* view = window.findChild<QChartView*>(QStringLiteral("chartView"));
    for (; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        feedRound(round);
        taking.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        window.replot();
        const qint64 replotted = clock.nsecsElapsed();
        view->viewport()->repaint();
        frame.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        drawing.push_back(static_cast<double>(clock.nsecsElapsed() - replotted) / 1e6);
    }
    QCoreApplication::processEvents();
    const double dayMiB = static_cast<double>(memoryKiB("VmRSS:")) / 1024;

    const std::string label = QStringLiteral("%1 h").arg(hours).toStdString();
    bench::row("monitor: resident memory after a simulated minute", "MiB", {minuteMiB});
    bench::row("monitor: resident memory after " + label + " at 1 s, 9 sensors", "MiB", {dayMiB});
    bench::row("monitor: memory ratio " + label + " / 1 min", "x", {dayMiB / minuteMiB}, "<= 1.5",
               dayMiB / minuteMiB <= 1.5);
    bench::row("monitor: a round taken in and the chart repainted, at " + label, "ms", frame, "<= 16",
               bench::median(frame) <= 16);
    bench::row("  of which taking the round in (store, statistics, record)", "ms", taking);
    bench::row("  of which painting the chart", "ms", drawing);
    bench::row("monitor: feeding " + label + " of rounds in process (table and store)", "s", {feedSeconds});
    return 0;
}
