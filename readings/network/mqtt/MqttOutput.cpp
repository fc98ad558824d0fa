// SPDX-License-Identifier: MIT
#include "MqttOutput.h"

#include "BoardConfig.h"
#include "MqttClient.h"
#include "MqttSink.h"
#include "MqttUrl.h"
#include "Outbox.h"
#include "SamplingSession.h"
#include "Text.h"
#include "Topics.h"

using namespace std::chrono;

namespace calimbra::mqtt_output {
namespace {

constexpr qint64 kDefaultOutboxLimit = 1'000'000;
constexpr qint64 kMostOutboxLimit = 1'000'000'000;

QString judgeUrl(const QString& text)
{
    try {
        static_cast<void>(MqttUrl::parse(text));
    } catch (const Error& error) {
        throw SettingError(error.message());
    }
    return text;
}

const SettingTable& settings()
{
    const auto path = [](const QString& text) {
        return judge::nonEmpty(text, tr("takes the path of a file."));
    };
    static const SettingTable table{{
        setting(kMqtt, QStringLiteral("mqtt"), tr("url"),
                tr("log: publish to this MQTT broker, mqtt://[user[:password]@]host[:port] or mqtts://... "
                   "for TLS."),
                judgeUrl),
        setting(kPasswordFile, QString(), QString(), QString(), path, Setting::Form::Path),
        setting(kCaFile, QString(), QString(), QString(), path, Setting::Form::Path),
        [] {
            Setting discovery =
                setting(kDiscovery, QStringLiteral("no-discovery"), QString(),
                        tr("log: do not announce the sensors to Home Assistant."), judge::yesOrNo);
            discovery.form = Setting::Form::Flag;
            discovery.flagValue = false;
            return discovery;
        }(),
        setting(kDiscoveryPrefix, QStringLiteral("discovery-prefix"), tr("prefix"),
                tr("log: Home Assistant's discovery prefix (default homeassistant)."), judgeDiscoveryPrefix),
        setting(
            kOutbox, QStringLiteral("outbox"), tr("folder"),
            tr("log: the folder of the readings waiting for the broker (default $STATE_DIRECTORY, or "
               "~/.local/state/calimbra/BOARD)."),
            [](const QString& text) { return judge::nonEmpty(text, tr("takes the path of a folder.")); },
            Setting::Form::Path),
        setting(kOutboxLimit, QStringLiteral("outbox-limit"), tr("readings"),
                tr("log: readings kept while the broker is away; beyond it the oldest are dropped (default "
                   "1000000)."),
                [](const QString& text) {
                    return judge::whole64(
                        text, 1, kMostOutboxLimit,
                        tr("takes a whole number of readings from 1 to %1.").arg(kMostOutboxLimit));
                }),
    }};
    return table;
}

std::unique_ptr<Sink> make(const Settings& given, const OutputContext& context)
{
    const std::optional<QString> text = given.get(kMqtt);
    if (!text)
        return nullptr;
    MqttClient::Settings client;
    MqttSink::Options mqtt;
    try {
        const MqttUrl url = MqttUrl::parse(*text);
        mqtt.brokerText = url.display();
        client = MqttClient::Settings::fromUrl(url);
        if (const auto passwordFile = given.get(kPasswordFile))
            client.password = readPasswordFile(*passwordFile);
        else if (client.password.isEmpty())
            client.password = credentialPassword().value_or(QString());
    } catch (const Error& error) {
        throw SettingError(error.message());
    }
    client.caFile = given.value(kCaFile, QString());
    client.clientId = QStringLiteral("calimbra-") + context.board;
    mqtt.board = context.board;
    mqtt.discovery = given.value(kDiscovery, true);
    mqtt.discoveryPrefix = given.value(kDiscoveryPrefix, QString(Topics::kDefaultDiscoveryPrefix));
    mqtt.version = context.version;
    // Unavailable in Home Assistant after three rounds missed, and the longest back-off on top.
    mqtt.expireAfter =
        duration_cast<seconds>(context.interval * 3 + SamplingSession::kLongestRetry) + seconds{1};
    // The broker says "offline" for the service when it dies without a goodbye.
    MqttClient::Will will;
    will.topic = Topics::status(context.board);
    will.payload = QByteArrayLiteral("offline");
    client.will = will;
    std::unique_ptr<Outbox> outbox;
    try {
        outbox = std::make_unique<Outbox>(given.value(kOutbox, context.stateFolder),
                                          given.value(kOutboxLimit, kDefaultOutboxLimit));
    } catch (const Error& error) {
        throw Error(
            tr("%1 The outbox keeps the readings bound for the broker; give it a folder of its own that "
               "this user may write with --outbox.")
                .arg(error.message()));
    }
    auto sink = std::make_unique<MqttSink>(mqtt, std::move(outbox), std::make_unique<MqttClient>(client));
    for (auto profile = context.profiles.cbegin(); profile != context.profiles.cend(); ++profile)
        sink->setSensorProfile(profile.key(), *profile);
    return sink;
}

} // namespace

QString judgeDiscoveryPrefix(const QString& text)
{
    if (const std::optional<QString> problem = discoveryPrefixProblem(text))
        throw SettingError(*problem);
    return text;
}

const OutputKind& kind()
{
    static const OutputKind output{settings, make};
    return output;
}

} // namespace calimbra::mqtt_output
