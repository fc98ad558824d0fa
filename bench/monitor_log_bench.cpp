// SPDX-License-Identifier: MIT
// The monitor reading back a week-long log, one round of nine sensors a second (5.4 million lines of
// CSV, generated here): the time to open it and the memory it takes, a redraw while panning over it,
// an export of a day of it, and what reading the times by hand saves over QDateTime.
//
//   bench_monitor_log [DAYS]

#include "BenchTable.h"
#include "ProcessStats.h"

#include "LogReader.h"
#include "MonitorWindow.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <vector>

using namespace calimbra;

namespace {

constexpr int kSensors = 9;

// Lines as calimbra-cli log writes them, at a UTC offset of -03:00.
qint64 writeLog(const QString& path, qint64 rounds, qint64 startMs)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write("time,sensor,celsius,reply\n");
    QByteArray chunk;
    char line[128];
    qint64 lines = 0;
    for (qint64 round = 0; round < rounds; ++round) {
        const QDateTime time =
            QDateTime::fromMSecsSinceEpoch(startMs + round * 1000, Qt::OffsetFromUTC, -3 * 3600);
        const QByteArray stamp = time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
        for (int sensor = 1; sensor <= kSensors; ++sensor) {
            const double celsius =
                std::round((20 + sensor + 3 * std::sin(static_cast<double>(round) / 3000 + sensor)) * 100) /
                100;
            const int length =
                std::snprintf(line, sizeof line,
                              "%s.%03d-03:00,%d,%.2f,T%d = +%05.2f \xC2\xB0"
                              "C\n",
                              stamp.constData(), sensor * 25, sensor, celsius, sensor, celsius);
            chunk.append(line, length);
            ++lines;
        }
        if (chunk.size() > (4 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return lines;
}

} // namespace

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true); // leave the user's remembered settings alone
    QApplication app(argc, argv);
    const double days = QCoreApplication::arguments().value(1, QStringLiteral("7")).toDouble();
    const auto rounds = static_cast<qint64>(days * 24 * 3600);
    const std::string label = QStringLiteral("%1 days").arg(days).toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("week.csv"));
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch() - rounds * 1000;
    const qint64 lines = writeLog(path, rounds, startMs);
    const double fileMiB = static_cast<double>(QFile(path).size()) / (1 << 20);

    // Parsing alone, the file read in the reader's slices.
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        qint64 readings = 0;
        LogParser parser([&](const LogRecord&) { ++readings; });
        QByteArray buffer(LogReader::kSlice, Qt::Uninitialized);
        QElapsedTimer clock;
        clock.start();
        for (qint64 read; (read = file.read(buffer.data(), buffer.size())) > 0;)
            parser.feed(QByteArrayView(buffer.constData(), read));
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        bench::row("log: parsing " + label + " of CSV (" + std::to_string(static_cast<int>(fileMiB)) +
                       " MiB), file read included",
                   "s", {seconds});
        bench::row("log: parsing, per line", "ns", {seconds * 1e9 / static_cast<double>(readings)});
    }
    // Times read by hand against QDateTime::fromString.
    {
        std::vector<QByteArray> times;
        for (int i = 0; i < 200'000; ++i) {
            times.push_back(QDateTime::fromMSecsSinceEpoch(startMs + i * 1037LL, Qt::OffsetFromUTC, -3 * 3600)
                                .toString(Qt::ISODateWithMs)
                                .toLatin1());
        }
        qint64 sum = 0;
        QElapsedTimer clock;
        clock.start();
        for (const QByteArray& time : times)
            sum += parseLogTime(time)->ms;
        const double hand = static_cast<double>(clock.nsecsElapsed()) / static_cast<double>(times.size());
        clock.restart();
        for (const QByteArray& time : times)
            sum -= QDateTime::fromString(QString::fromLatin1(time), Qt::ISODateWithMs).toMSecsSinceEpoch();
        const double qt = static_cast<double>(clock.nsecsElapsed()) / static_cast<double>(times.size());
        if (sum != 0)
            std::fprintf(stderr, "The times read by hand differ from QDateTime's.\n");
        bench::row("log: a time read by hand", "ns", {hand});
        bench::row("log: a time read by QDateTime::fromString", "ns", {qt});
    }

    MonitorWindow window;
    window.resize(1010, 700);
    window.show();
    QCoreApplication::processEvents();
    const double emptyMiB = static_cast<double>(memoryKiB("VmRSS:")) / 1024;
    resetPeakMemory();

    bool caughtUp = false;
    QObject::connect(&window, &MonitorWindow::logCaughtUp, [&] { caughtUp = true; });
    const double cpuBefore = cpuSeconds();
    QElapsedTimer opening;
    opening.start();
    window.openLog(path);
    while (!caughtUp && window.log())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    const double openSeconds = static_cast<double>(opening.nsecsElapsed()) / 1e9;
    const double openCpuSeconds = cpuSeconds() - cpuBefore;
    const double residentMiB = static_cast<double>(memoryKiB("VmRSS:")) / 1024;
    const double peakMiB = static_cast<double>(memoryKiB("VmHWM:")) / 1024;
    const auto stored = static_cast<qint64>(window.store().size());

    bench::row("monitor: opening a log of " + label + " (" + std::to_string(lines) + " lines), shown", "s",
               {openSeconds}, "<= 3", stored == lines && openSeconds <= 3);
    bench::row("  of which processor time (the machine's other work left out)", "s", {openCpuSeconds});
    bench::row("monitor: resident memory with it open (" + std::to_string(static_cast<int>(emptyMiB)) +
                   " MiB before)",
               "MiB", {residentMiB}, "<= 300", residentMiB <= 300);
    bench::row("monitor: peak resident memory while opening it", "MiB", {peakMiB}, "<= 300", peakMiB <= 300);

    // Panning: the chart is moved a step at a time, 30 to the right and back, and drawn at once.
    auto* view = window.findChild<QChartView*>(QStringLiteral("chartView"));
    TemperatureChart& chart = window.chart();
    const auto pan = [&](qint64 from, qint64 width, double step, const std::string& what) {
        chart.showRange(from, from + width);
        QCoreApplication::processEvents();
        std::vector<double> frames;
        std::vector<double> decimating;
        for (int i = 0; i < 60; ++i) {
            QElapsedTimer clock;
            clock.start();
            chart.pan(i < 30 ? step : -step);
            decimating.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            view->viewport()->repaint();
            frames.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        bench::row("monitor: a step of panning with " + what + " in view, redrawn", "ms", frames, "<= 16",
                   bench::median(frames) <= 16);
        bench::row("  of which decimating and laying out the lines", "ms", decimating);
    };
    const qint64 logMs = rounds * 1000;
    pan(startMs - logMs / 10, logMs, 0.01, label + " (all of it)");
    pan(startMs, 24 * 3600 * 1000, 0.05, "a day");

    // Exporting the day shown, as the log writes it.
    {
        QElapsedTimer clock;
        clock.start();
        window.exportTo(dir.filePath(QStringLiteral("day.csv")));
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        bench::row("monitor: exporting a day shown (" +
                       std::to_string(QFile(dir.filePath("day.csv")).size() >> 20) + " MiB of CSV)",
                   "s", {seconds});
    }
    return 0;
}
