// SPDX-License-Identifier: MIT
// Logging rounds as calimbra-cli log runs them (the same session, conversation and CSV writer, in
// this process), against the simulated board in another:
//   - a round over 9 sensors at 9600 baud, next to its floor: the wire time of 9 requests and 9
//     replies plus 9 quiet gaps;
//   - CPU per round, and resident memory from 1,000 to READINGS readings (the board unpaced).
//
//   bench_logging SIMBOARD [ROUNDS] [READINGS]

#include "BenchTable.h"
#include "ProcessStats.h"

#include "BoardConversation.h"
#include "ReadingLog.h"
#include "SamplingSession.h"
#include "TComPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <vector>

using namespace calimbra;
using namespace std::chrono;

namespace {

QString startBoard(QProcess& board, const QString& program, const QStringList& options)
{
    board.start(program, options);
    if (!board.waitForReadyRead(5000))
        qFatal("the simulated board did not start");
    return QString::fromLocal8Bit(board.readLine().trimmed());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString simboard = args.value(1);
    const int rounds = args.value(2, QStringLiteral("20")).toInt();
    const int readings = args.value(3, QStringLiteral("10000")).toInt();
    QTemporaryDir dir;

    {
        QProcess board;
        TComPort port;
        port.setPortName(startBoard(board, simboard, {"--sensors", "9", "--baud", "9600"}));
        BoardConversation conversation(port);
        SamplingSession session(conversation);
        session.setInterval(milliseconds{0}); // round after round
        session.setSensors({1, 2, 3, 4, 5, 6, 7, 8, 9});
        session.setRoundLimit(rounds + 1);
        LogFile log(dir.filePath(QStringLiteral("rounds.csv")), LogFormat::Csv);
        QObject::connect(&session, &SamplingSession::readingTaken, [&](const Reading& r) { log.append(r); });
        std::vector<double> seconds;
        std::vector<double> cpu;
        QElapsedTimer clock;
        double cpuAtStart = 0;
        int done = 0;
        QObject::connect(&session, &SamplingSession::roundStarted, [&] {
            clock.start();
            cpuAtStart = cpuSeconds();
        });
        QObject::connect(&session, &SamplingSession::roundFinished, [&](const QDateTime&, int count) {
            if (done++ > 0 && count == 9) { // the first round opens the port
                seconds.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
                cpu.push_back((cpuSeconds() - cpuAtStart) * 1000);
            }
        });
        QObject::connect(&session, &SamplingSession::troubleStarted,
                         [](const QString& message) { qFatal("%s", qPrintable(message)); });
        QObject::connect(&session, &SamplingSession::finished, &app, &QCoreApplication::quit);
        session.start();
        QCoreApplication::exec();

        // Ten bits a character: "&l=k" out, "Tk = +dd.dd °C" back, and the quiet gap after each reply.
        const double floor = 9 * ((4 + 14) * 10.0 / 9600 + duration<double>(TComPort::kQuietGap).count());
        bench::row("log round, 9 sensors, 9600 baud", "s", seconds);
        bench::row("  its floor: wire time of 9 requests and 9 replies + 9 quiet gaps", "s", {floor});
        std::vector<double> ratios;
        for (const double s : seconds)
            ratios.push_back(s / floor);
        bench::row("log round / floor", "x", ratios, "<= 1.15", bench::median(ratios) <= 1.15);
        bench::row("log round: CPU time", "ms", cpu);
        board.terminate();
        board.waitForFinished();
    }

    {
        QProcess board;
        TComPort port;
        port.setPortName(startBoard(board, simboard, {"--sensors", "9"}));
        BoardConversation conversation(port);
        SamplingSession session(conversation);
        session.setInterval(milliseconds{0});
        LogFile log(dir.filePath(QStringLiteral("many.csv")), LogFormat::Csv);
        int taken = 0;
        double rssAtThousand = 0;
        double rssAtEnd = 0;
        QObject::connect(&session, &SamplingSession::readingTaken, [&](const Reading& r) {
            log.append(r);
            if (++taken == 1000)
                rssAtThousand = static_cast<double>(memoryKiB("VmRSS:")) / 1024;
            if (taken == readings) {
                rssAtEnd = static_cast<double>(memoryKiB("VmRSS:")) / 1024;
                session.stop();
                QCoreApplication::quit();
            }
        });
        session.start();
        QCoreApplication::exec();
        bench::row(QStringLiteral("log: resident memory after %1 readings").arg(readings).toStdString(),
                   "MiB", {rssAtEnd});
        bench::row(QStringLiteral("log: resident memory growth from 1000 to %1 readings")
                       .arg(readings)
                       .toStdString(),
                   "MiB", {rssAtEnd - rssAtThousand}, "< 1", rssAtEnd - rssAtThousand < 1);
        board.terminate();
        board.waitForFinished();
    }
    return 0;
}
