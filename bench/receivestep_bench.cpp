// SPDX-License-Identifier: MIT
// The receive step alone, on a port double that serves the same pending bytes every time.
#include "BenchTable.h"

#include "PortIo.h"
#include "Protocol.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

using namespace calimbra;

namespace {

class RepeatingPort : public PortIo
{
public:
    explicit RepeatingPort(QByteArray pending) : pending_(std::move(pending)) {}
    void Open() override {}
    void Close() override {}
    void ClearBuffer(bool, bool) override {}
    qint64 InputCount() override { return pending_.size(); }
    qint64 Read(std::span<char> into) override
    {
        const auto count =
            std::min<qsizetype>(static_cast<qsizetype>(into.size()), pending_.size() - offset_);
        std::memcpy(into.data(), pending_.constData() + offset_, static_cast<std::size_t>(count));
        offset_ = (offset_ + count) % pending_.size();
        return count;
    }
    qint64 Write(QByteArrayView bytes) override { return bytes.size(); }

private:
    QByteArray pending_;
    qsizetype offset_ = 0;
};

void stepOver(benchmark::State& state, const QByteArray& pending)
{
    RepeatingPort port(pending);
    for (auto _ : state)
        benchmark::DoNotOptimize(calimbra::receiveStep(port));
}

// Prints each benchmark's repetitions as one table row.
class TableReporter : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
        }
    }
    void Finalize() override
    {
        for (const auto& [name, values] : times_)
            bench::row("receive step: " + name, "ns", values, "< 1000", bench::median(values) < 1000);
    }

private:
    std::map<std::string, std::vector<double>> times_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("nothing (6 bytes stay pending)", stepOver, QByteArray("SN\xB0 =3"));
    benchmark::RegisterBenchmark("sensor-count reply", stepOver, QByteArray("SN\xB0 =4 sens"));
    benchmark::RegisterBenchmark("dropped sensor-count candidate", stepOver, QByteArray("xx\xB0 =4 sens"));
    benchmark::RegisterBenchmark("temperature reply", stepOver,
                                 QByteArray("T3 = +23.56 \xB0"
                                            "C"));
    benchmark::RegisterBenchmark("64 bytes of noise", stepOver, QByteArray(64, 'z'));
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
