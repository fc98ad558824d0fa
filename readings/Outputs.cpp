// SPDX-License-Identifier: MIT
#include "Outputs.h"

#include "BoardSettings.h"
#include "FileOutput.h"
#include "MetricsOutput.h"
#include "MqttOutput.h"

namespace calimbra {

const QList<const OutputKind*>& outputKinds()
{
    static const QList<const OutputKind*> kinds{&file_output::kind(), &mqtt_output::kind(),
                                                &metrics_output::kind()};
    return kinds;
}

QList<const SettingTable*> settingTables()
{
    QList<const SettingTable*> tables{&board_settings::table()};
    for (const OutputKind* kind : outputKinds())
        tables << &kind->settings();
    return tables;
}

namespace {

BoardFile judged(const BoardConfig& config)
{
    return BoardFile{config.judge(settingTables()), config.profiles};
}

} // namespace

BoardFile readBoardFile(const QString& path)
{
    return judged(readBoardConfig(path));
}

BoardFile parseBoardFile(const QByteArray& text, const QString& path)
{
    return judged(parseBoardConfig(text, path));
}

} // namespace calimbra
