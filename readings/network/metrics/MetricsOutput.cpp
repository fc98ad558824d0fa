// SPDX-License-Identifier: MIT
#include "MetricsOutput.h"

#include "MetricsServer.h"
#include "MetricsSink.h"
#include "Text.h"

namespace calimbra::metrics_output {
namespace {

QString judgeAddress(const QString& text)
{
    try {
        static_cast<void>(MetricsServer::parseAddress(text));
    } catch (const Error& error) {
        throw SettingError(error.message());
    }
    return text;
}

const SettingTable& settings()
{
    static const SettingTable table{{
        setting(kMetrics, QStringLiteral("metrics"), tr("[host:]port"),
                tr("log: serve Prometheus metrics at http://HOST:PORT/metrics (default host 127.0.0.1)."),
                judgeAddress),
    }};
    return table;
}

std::unique_ptr<Sink> make(const Settings& given, const OutputContext& context)
{
    const std::optional<QString> address = given.get(kMetrics);
    if (!address)
        return nullptr;
    auto sink = std::make_unique<MetricsSink>(context.board, context.version);
    // The server reads the sink: it goes with it, first.
    auto* server = new MetricsServer(*sink, sink.get());
    server->listen(*address);
    return sink;
}

} // namespace

const OutputKind& kind()
{
    static const OutputKind output{settings, make};
    return output;
}

} // namespace calimbra::metrics_output
