// SPDX-License-Identifier: MIT
// The panel's window in this process, the simulated board in another, both on CLOCK_MONOTONIC:
// request latency (click to the request's last byte read by the board), reply latency (the board's
// last reply byte to the reply shown), and a flood of random bytes while the window runs.
//
//   bench_window SIMBOARD REPETITIONS

#include "BenchTable.h"
#include "ProcessStats.h"

#include "CalimbraUnit1.h"
#include "ErrorHandler.h"
#include "Fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <ctime>

namespace {

double now()
{
    timespec time{};
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

struct LogEntry
{
    double at = 0;
    QString kind;
};

// The simulated board, with its log read as it grows.
class Board
{
public:
    Board(const QString& program, const QStringList& options)
    {
        process_.start(program,
                       QStringList{QStringLiteral("--log"), dir_.filePath(QStringLiteral("log"))} + options);
        if (!process_.waitForReadyRead(5000))
            qFatal("the simulated board did not start");
        path_ = QString::fromLocal8Bit(process_.readLine().trimmed());
    }
    ~Board()
    {
        process_.terminate();
        process_.waitForFinished(3000);
    }

    [[nodiscard]] QString path() const { return path_; }
    void signal(int number) const { ::kill(static_cast<pid_t>(process_.processId()), number); }

    // The next entry of `kind` logged after the previous call, waiting for it while the window runs;
    // the log is looked at every `pollMs`, which only sets how long the wait lasts, not what it measures.
    LogEntry next(const QString& kind, int timeoutMs = 5000, int pollMs = 1)
    {
        const double deadline = now() + timeoutMs / 1000.0;
        while (now() < deadline) {
            QFile log(dir_.filePath(QStringLiteral("log")));
            if (log.open(QIODevice::ReadOnly) && log.seek(offset_)) {
                while (!log.atEnd()) {
                    const QByteArray line = log.readLine();
                    if (!line.endsWith('\n'))
                        break; // still being written
                    offset_ += line.size();
                    const QList<QByteArray> words = line.split(' ');
                    if (words.size() >= 2 && QString::fromLatin1(words[1]) == kind)
                        return {words[0].toDouble(), kind};
                }
            }
            QTest::qWait(pollMs);
        }
        QFile log(dir_.filePath(QStringLiteral("log")));
        log.open(QIODevice::ReadOnly);
        qFatal("the board logged no %s; its log:\n%s", qPrintable(kind), log.readAll().constData());
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString path_;
    qint64 offset_ = 0;
};

template <typename T>
T* control(TForm1& form, const char* name)
{
    auto* found = form.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void requestLatency(TForm1& form, const QString& simboard, int repetitions)
{
    Board board(simboard, {});
    form.usePort(board.path());
    const std::pair<const char*, const char*> buttons[] = {{"Liga_LED", "LED command (Liga)"},
                                                           {"RX_Info", "information request"},
                                                           {"Button2", "measurement request"}};
    for (const auto& [name, label] : buttons) {
        auto* button = control<QAbstractButton>(form, name);
        const QString kind = QString::fromLatin1(name) == QLatin1String("Liga_LED") ? QStringLiteral("led")
                             : QString::fromLatin1(name) == QLatin1String("RX_Info")
                                 ? QStringLiteral("information")
                                 : QStringLiteral("measurement");
        std::vector<double> latency;
        for (int i = 0; i < repetitions; ++i) {
            const double clicked = now();
            button->click();
            latency.push_back((board.next(kind).at - clicked) * 1000);
            QTest::qWait(30); // any reply is shown before the next request
        }
        bench::row(std::string("request latency, click to board: ") + label, "ms", latency, "<= 2",
                   bench::median(latency) <= 2);
    }
}

void replyLatency(TForm1& form, const QString& simboard, int repetitions, const char* label,
                  const QStringList& options)
{
    Board board(simboard, options);
    form.usePort(board.path());
    auto* shown = control<QLineEdit>(form, "Edit1");
    double shownAt = 0;
    const auto connection = QObject::connect(shown, &QLineEdit::textChanged, shown, [&](const QString& text) {
        if (!text.isEmpty())
            shownAt = now();
    });
    std::vector<double> afterLastByte, afterRequest, wire;
    for (int i = 0; i < repetitions; ++i) {
        shown->clear();
        shownAt = 0;
        control<QAbstractButton>(form, "Button2")->click();
        const LogEntry request = board.next(QStringLiteral("measurement"));
        const LogEntry sent = board.next(QStringLiteral("sent"));
        const double deadline = now() + 2;
        while (shownAt == 0 && now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (shownAt == 0)
            qFatal("the reply was not shown");
        afterLastByte.push_back((shownAt - sent.at) * 1000);
        afterRequest.push_back((shownAt - request.at) * 1000);
        wire.push_back((sent.at - request.at) * 1000);
        QTest::qWait(20);
    }
    QObject::disconnect(connection);
    bench::row(std::string("reply shown after its last byte, ") + label, "ms", afterLastByte,
               "<= 30 (gap 25 + 5)", bench::median(afterLastByte) <= 30);
    // On the wire: 14 bytes at 9600 baud are 14.6 ms; pieces add the adapter's gaps.
    const double onWire = bench::median(wire);
    char goal[64];
    std::snprintf(goal, sizeof goal, "<= %.1f (wire %.1f + gap 25 + 5)", onWire + 30, onWire);
    bench::row(std::string("reply shown after the request, ") + label, "ms", afterRequest, goal,
               bench::median(afterRequest) <= onWire + 30);
}

void flood(TForm1& form, const QString& simboard, int runs)
{
    Board board(simboard, {QStringLiteral("--flood"), QStringLiteral("1048576")});
    form.usePort(board.path());
    control<QAbstractButton>(form, "RX_Info")->click(); // the port stays open
    board.next(QStringLiteral("sent"));
    QTest::qWait(200);

    std::vector<double> ticks;
    QObject::connect(control<QTimer>(form, "Timer1"), &QTimer::timeout, &form,
                     [&] { ticks.push_back(now()); });
    std::vector<double> growth, lateness, cpu, seconds, idleCpu;
    for (int run = 0; run < runs; ++run) {
        const double idleBefore = cpuSeconds();
        QTest::qWait(2200);
        idleCpu.push_back((cpuSeconds() - idleBefore) * 1000);
        QTest::qWait(1100); // a tick before the flood, to measure the next interval from
        ticks.erase(ticks.begin(), ticks.end() - std::min<std::ptrdiff_t>(1, std::ssize(ticks)));
        const qint64 before = memoryKiB("VmRSS:");
        resetPeakMemory();
        const double cpuBefore = cpuSeconds();
        const double started = now();
        board.signal(SIGUSR2);
        const LogEntry done = board.next(QStringLiteral("flood"), 60000, 50);
        QTest::qWait(1100); // the tick after
        seconds.push_back(done.at - started);
        cpu.push_back((cpuSeconds() - cpuBefore) * 1000);
        growth.push_back(static_cast<double>(memoryKiB("VmHWM:") - before) / 1024);
        double worst = 0;
        for (std::size_t i = 1; i < ticks.size(); ++i)
            worst = std::max(worst, (ticks[i] - ticks[i - 1] - 1.0) * 1000);
        lateness.push_back(worst);
    }
    bench::row("flood of 1 MiB: time for the board to send it", "s", seconds);
    bench::row("flood of 1 MiB: panel CPU time (with 2.2 s idle)", "ms", cpu);
    bench::row("flood of 1 MiB: panel CPU time while idle 2.2 s, for comparison", "ms", idleCpu);
    bench::row("flood of 1 MiB: peak resident memory growth", "MiB", growth, "< 1",
               bench::median(growth) < 1);
    bench::row("flood of 1 MiB: worst lateness of the clock tick", "ms", lateness, "< 100",
               bench::median(lateness) < 100);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        qFatal("usage: bench_window SIMBOARD REPETITIONS");
    const QString simboard = QString::fromLocal8Bit(argv[1]);
    const int repetitions = std::atoi(argv[2]);
    calimbra::installFontSubstitutes();
    calimbra::ErrorHandler::instance().setShowsMessageBox(false);
    QObject::connect(
        &calimbra::ErrorHandler::instance(), &calimbra::ErrorHandler::errorShown,
        [](const QString& message) { qFatal("error during the benchmark: %s", qPrintable(message)); });

    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        qFatal("the window was not shown");

    requestLatency(form, simboard, repetitions);
    replyLatency(form, simboard, repetitions / 4, "whole, 9600 baud",
                 {QStringLiteral("--baud"), QStringLiteral("9600")});
    replyLatency(form, simboard, repetitions / 4, "split 4+4+4+2, 16 ms gaps, 9600 baud",
                 {QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--chunk"),
                  QStringLiteral("4"), QStringLiteral("--gap"), QStringLiteral("16")});
    flood(form, simboard, 5);
    return 0;
}
