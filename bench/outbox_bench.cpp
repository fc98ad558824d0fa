// SPDX-License-Identifier: MIT
// The outbox with READINGS readings queued, as a broker away for a day leaves it:
//   - adds, each its own fsync'd transaction, per second (10 x 200 adds);
//   - bytes on disk per queued reading, while open (database, log and index) and closed;
//   - opening it full, and draining it as a reconnected publisher does (after + remove in batches
//     of BATCH), per second and in all;
//   - resident memory at 1,000 and at READINGS queued, and its peak while draining.
//
//   bench_outbox [READINGS] [BATCH]      (in $TMPDIR: put it on the disk to be judged)

#include "BenchTable.h"
#include "ProcessStats.h"
#include "QueuedReadings.h"

#include "Outbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <vector>

using namespace calimbra;

namespace {

// The add rate: samples of so many adds each.
constexpr int kRateSamples = 10;
constexpr int kRateChunk = 200;

qint64 bytesIn(const QString& folder)
{
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("outbox.db*")}, QDir::Files))
        bytes += file.size();
    return bytes;
}

double mib(qint64 kib)
{
    return static_cast<double>(kib) / 1024;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int readings = args.value(1, QStringLiteral("100000")).toInt();
    const int batch = args.value(2, QStringLiteral("500")).toInt();
    const std::string queued = QStringLiteral("%L1 queued").arg(readings).toStdString();
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("outbox"));

    {
        Outbox outbox(dir.filePath(QStringLiteral("adding")), kRateSamples * kRateChunk);
        std::vector<double> rates;
        for (int sample = 0; sample < kRateSamples; ++sample) {
            QElapsedTimer clock;
            clock.start();
            for (int n = 0; n < kRateChunk; ++n)
                outbox.add(bench::queuedReading(n));
            rates.push_back(kRateChunk / (static_cast<double>(clock.nsecsElapsed()) / 1e9));
        }
        bench::row("outbox: add, one fsync'd transaction each", "1/s", rates);
    }

    // Filled where an fsync costs nothing, as adds at the rate above would take long; the file is
    // the same wherever it was made, and is drained below on the disk under test.
    QTemporaryDir fillDir(QStringLiteral("/dev/shm/bench_outbox-XXXXXX"));
    const QString filled = fillDir.isValid() ? fillDir.filePath(QStringLiteral("outbox")) : folder;
    {
        Outbox outbox(filled, readings);
        double rssAtThousand = 0;
        for (int n = 0; n < readings; ++n) {
            outbox.add(bench::queuedReading(n));
            if (n + 1 == 1000)
                rssAtThousand = mib(memoryKiB("VmRSS:"));
        }
        const double rssAtEnd = mib(memoryKiB("VmRSS:"));
        const double perReading = static_cast<double>(bytesIn(filled)) / static_cast<double>(outbox.size());
        bench::row("outbox: bytes on disk per reading, " + queued + ", open (db, log, index)", "B",
                   {perReading}, "<= 100", perReading <= 100);
        bench::row("outbox: resident memory, 1,000 queued", "MiB", {rssAtThousand});
        bench::row("outbox: resident memory, " + queued, "MiB", {rssAtEnd});
        bench::row("outbox: resident memory growth from 1,000 to " + queued, "MiB",
                   {rssAtEnd - rssAtThousand}, "< 1", rssAtEnd - rssAtThousand < 1);
    }
    const double closedPerReading = static_cast<double>(bytesIn(filled)) / readings;
    bench::row("outbox: bytes on disk per reading, " + queued + ", closed (checkpointed)", "B",
               {closedPerReading}, "<= 100", closedPerReading <= 100);
    if (filled != folder) {
        QDir().mkpath(folder);
        if (!QFile::copy(filled + QStringLiteral("/outbox.db"), folder + QStringLiteral("/outbox.db")))
            qFatal("could not copy the filled outbox to %s", qPrintable(folder));
    }

    QElapsedTimer clock;
    clock.start();
    Outbox outbox(folder, readings);
    bench::row("outbox: open with " + queued, "ms", {static_cast<double>(clock.nsecsElapsed()) / 1e6});

    const double rssBefore = mib(memoryKiB("VmRSS:"));
    resetPeakMemory();
    std::vector<double> batchRates;
    QElapsedTimer all;
    all.start();
    for (;;) {
        clock.start();
        const QList<Outbox::Entry> entries = outbox.after(0, batch);
        if (entries.isEmpty())
            break;
        QList<qint64> ids;
        ids.reserve(entries.size());
        for (const Outbox::Entry& entry : entries)
            ids.append(entry.id);
        outbox.remove(ids);
        batchRates.push_back(static_cast<double>(entries.size()) /
                             (static_cast<double>(clock.nsecsElapsed()) / 1e9));
    }
    const double seconds = static_cast<double>(all.nsecsElapsed()) / 1e9;
    const double peakGrowth = mib(memoryKiB("VmHWM:")) - rssBefore;
    if (outbox.size() != 0)
        qFatal("%lld readings left after draining", static_cast<long long>(outbox.size()));

    const std::string batches = QStringLiteral("batches of %1").arg(batch).toStdString();
    bench::row("outbox: drain (after + remove), " + batches, "1/s", batchRates, ">= 10000",
               bench::median(batchRates) >= 10000);
    bench::row("outbox: drain " + queued + " in " + batches, "s", {seconds}, "< 10", seconds < 10);
    bench::row("outbox: resident memory growth at its peak while draining", "MiB", {peakGrowth}, "< 1",
               peakGrowth < 1);
    return 0;
}
