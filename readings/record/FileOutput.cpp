// SPDX-License-Identifier: MIT
#include "FileOutput.h"

#include "FileSink.h"
#include "Text.h"

namespace calimbra::file_output {
namespace {

LogFormat judgeFormat(const QString& text)
{
    if (text == QLatin1String("csv"))
        return LogFormat::Csv;
    if (text == QLatin1String("json"))
        return LogFormat::JsonLines;
    if (text == QLatin1String("influx"))
        return LogFormat::Influx;
    throw SettingError(tr("takes csv, json or influx."));
}

const SettingTable& settings()
{
    static const SettingTable table{{
        setting(kFormat, QStringLiteral("format"), tr("format"),
                tr("log: csv (time, sensor, celsius, reply, name, with a header in a new file), json (JSON "
                   "Lines) or influx (InfluxDB line protocol). Default csv."),
                judgeFormat),
        setting(
            kOutput, QStringLiteral("output"), tr("file"),
            tr("log: append to this file instead of writing to standard output."),
            [](const QString& text) { return judge::nonEmpty(text, tr("takes the path of a file.")); },
            Setting::Form::Path),
    }};
    return table;
}

std::unique_ptr<Sink> make(const Settings& given, const OutputContext&)
{
    const std::optional<QString> path = given.get(kOutput);
    if (!path)
        return nullptr;
    return std::make_unique<FileSink>(*path, given.value(kFormat, LogFormat::Csv));
}

} // namespace

const OutputKind& kind()
{
    static const OutputKind output{settings, make};
    return output;
}

} // namespace calimbra::file_output
