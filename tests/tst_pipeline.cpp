// SPDX-License-Identifier: MIT
#include "support/FakeBoardLink.h"
#include "support/VirtualClock.h"

#include "Celsius.h"
#include "Pipeline.h"
#include "SamplingSession.h"
#include "Sink.h"

#include <QTest>

#include <stdexcept>

using namespace calimbra;
using namespace std::chrono;

namespace {

// A sink that writes down what it was given: "s1=22.17 Boiler", "s2=timeout", "high s1 on",
// "down", "up".
class NotingSink : public Sink
{
public:
    [[nodiscard]] QString description() const override { return QStringLiteral("the noting sink"); }
    void take(const Reading& reading) override
    {
        if (throwing)
            throw std::runtime_error("its disk is on fire");
        QString word =
            QStringLiteral("s%1=%2")
                .arg(reading.sensor)
                .arg(reading.celsius ? celsiusString(*reading.celsius) : readErrorName(*reading.error));
        if (!reading.name.isEmpty())
            word += u' ' + reading.name;
        noted << word;
    }
    void alarmChanged(const AlarmEvent& event) override
    {
        noted << QStringLiteral("%1 s%2 %3")
                     .arg(alarmKindName(event.kind))
                     .arg(event.sensor)
                     .arg(event.raised ? QStringLiteral("on") : QStringLiteral("off"));
    }
    void boardAvailable(bool available) override
    {
        noted << (available ? QStringLiteral("up") : QStringLiteral("down"));
    }

    bool throwing = false;
    QStringList noted;
};

// "22.47" a reading of sensor 1 with its decimals; "-" none (a time-out); "s2:21.5" another sensor's;
// "round" a round's end; "lost" and "back" the board going and coming; "alarm s1 high on" one
// raised where the readings were watched.
void feed(Pipeline& pipeline, const QStringList& steps)
{
    const QDateTime start =
        QDateTime::fromString(QStringLiteral("2026-12-08T10:00:00.000+01:00"), Qt::ISODateWithMs);
    int second = 0;
    QDateTime roundStart = start;
    for (const QString& step : steps) {
        const QStringList words = step.split(u' ');
        const QDateTime now = start.addSecs(second);
        if (step == QLatin1String("round")) {
            pipeline.roundFinished(roundStart, 1);
            roundStart = now;
        } else if (step == QLatin1String("lost")) {
            pipeline.boardLost(QStringLiteral("pulled"), now);
        } else if (step == QLatin1String("back")) {
            pipeline.boardBack(now, start);
        } else if (words.first() == QLatin1String("alarm")) {
            AlarmEvent event;
            event.time = now;
            event.sensor = words[1].mid(1).toInt();
            event.kind = *alarmKindFromName(words[2]);
            event.raised = words[3] == QLatin1String("on");
            pipeline.alarmFromSource(event);
        } else {
            Reading reading;
            reading.time = now;
            reading.monotonicMs = second * 1000LL;
            reading.roundStart = roundStart;
            reading.sensor = 1;
            QString value = words.first();
            if (value.startsWith(u's')) {
                reading.sensor = value.mid(1, 1).toInt();
                value = value.mid(3);
            }
            if (value == u'-') {
                reading.error = ReadError::Timeout;
            } else {
                reading.celsius = value.toDouble();
                reading.decimals = decimalsOf(value);
                reading.text = QStringLiteral("T%1 = +%2 \u00B0C").arg(reading.sensor).arg(value);
            }
            reading.name = words.mid(1).join(u' ');
            pipeline.take(reading);
        }
        ++second;
    }
}

SensorProfile boiler()
{
    SensorProfile profile;
    profile.name = QStringLiteral("Boiler");
    profile.offset = -0.30;
    profile.high = 30;
    profile.hysteresis = 1;
    profile.lostAfter = 2;
    return profile;
}

} // namespace

Q_DECLARE_METATYPE(Pipeline::Source)

class PipelineTest : public QObject
{
    Q_OBJECT

private slots:
    void readingsGoTheSameWayWhateverTheirSource_data();
    void readingsGoTheSameWayWhateverTheirSource();
    void aSinkThatThrowsIsSaidOnceAndTheOthersGoOn();
    void anOutageReachesEverySinkAsReadingsSayingWhy();
    void alarmsStillActiveFromTheLastRunAreShownToEverySink();
};

void PipelineTest::readingsGoTheSameWayWhateverTheirSource_data()
{
    QTest::addColumn<Pipeline::Source>("source");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("noted");

    using S = Pipeline::Source;
    QTest::newRow("the board's own: named, calibrated to its decimals, watched")
        << S::Board << QStringList{"22.47", "31.00", "31.01", "round", "28.50"}
        << QStringList{"s1=22.17 Boiler", "high s1 on",    "s1=30.7 Boiler", "s1=30.71 Boiler", "up",
                       "high s1 off",     "s1=28.2 Boiler"};
    QTest::newRow("a service's through a broker: not calibrated again, its alarms as it said them")
        << S::Service
        << QStringList{"22.17 Boiler flow", "30.70", "alarm s1 high on", "round", "-", "round", "-"}
        << QStringList{
               "s1=22.17 Boiler flow", "s1=30.7 Boiler", "high s1 on", "up", "s1=timeout Boiler", "up",
               "s1=timeout Boiler"};
    QTest::newRow("a log's: not calibrated again, watched by its own times and rounds")
        << S::Log << QStringList{"30.70", "s2:20", "30.80", "s2:20", "-", "s2:20", "-", "s2:20", "29.0"}
        << QStringList{"high s1 on",  "s1=30.7 Boiler",    "s2=20", "s1=30.8 Boiler",
                       "s2=20",       "s1=timeout Boiler", "s2=20", "s1=timeout Boiler",
                       "s2=20",       "lost s1 on",    // two rounds without a value, seen as the next begins
                       "lost s1 off", "s1=29 Boiler"}; // within the hysteresis: still high
    QTest::newRow("a board back from an outage: its first 85 is a power-on, not a reading")
        << S::Board << QStringList{"84.50", "85.00", "lost", "back", "85.00", "85.00"}
        << QStringList{"high s1 on", "s1=84.2 Boiler",     "s1=84.7 Boiler", "down",
                       "up",         "s1=power_on Boiler", "s1=84.7 Boiler"};
}

void PipelineTest::readingsGoTheSameWayWhateverTheirSource()
{
    QFETCH(Pipeline::Source, source);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, noted);

    Pipeline pipeline;
    pipeline.setSource(source);
    pipeline.setProfiles({{1, boiler()}});
    NotingSink sink;
    pipeline.addSink(&sink);
    feed(pipeline, steps);
    QCOMPARE(sink.noted, noted);
}

void PipelineTest::aSinkThatThrowsIsSaidOnceAndTheOthersGoOn()
{
    Pipeline pipeline;
    NotingSink broken;
    NotingSink file;
    pipeline.addSink(&broken);
    pipeline.addSink(&file);
    QStringList said;
    connect(&pipeline, &Pipeline::said, this, [&said](const QString& message) { said << message; });
    broken.throwing = true;
    feed(pipeline, {"21.5", "21.6", "21.7"});
    QCOMPARE(file.noted, (QStringList{"s1=21.5", "s1=21.6", "s1=21.7"}));
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().contains(QLatin1String("its disk is on fire")), qPrintable(said.first()));
    QVERIFY(broken.isFailing());
}

void PipelineTest::anOutageReachesEverySinkAsReadingsSayingWhy()
{
    // The board's readings through the session: the record shows the outage where it was.
    VirtualClock clock;
    BoardScript board;
    board.countReply = QByteArray("SN\xB0 =2 sens");
    board.replies = {{1, QByteArray("T1 = +21.50 \xB0"
                                    "C")},
                     {2, QByteArray("T2 = +22.47 \xB0"
                                    "C")}};
    FakeBoardLink link(clock, board);
    BoardConversation conversation(link, clock);
    SamplingSession session(conversation, clock);
    session.setInterval(seconds{10});
    Pipeline pipeline;
    pipeline.setProfiles({{2, boiler()}});
    pipeline.attach(session);
    NotingSink sink;
    pipeline.addSink(&sink);
    session.start();
    clock.advance(seconds{5});
    link.script.openFailure = QStringLiteral("unplugged");
    link.hangUp();
    clock.advance(seconds{10});
    // A line per sensor for the round that could not be taken, none for its retries within the
    // interval, and the lost alarms as the rounds go by without values.
    QCOMPARE(sink.noted, (QStringList{"s1=21.5", "s2=22.17 Boiler", "up", "down", "s1=port_unavailable",
                                      "s2=port_unavailable Boiler", "lost s2 on", "lost s1 on"}));
}

void PipelineTest::alarmsStillActiveFromTheLastRunAreShownToEverySink()
{
    Pipeline pipeline;
    pipeline.setProfiles({{1, boiler()}});
    AlarmEvent high;
    high.sensor = 1;
    high.kind = AlarmKind::High;
    high.raised = true;
    pipeline.restoreAlarms({high});
    NotingSink sink;
    pipeline.addSink(&sink);
    QCOMPARE(sink.noted, QStringList{"high s1 on"});
    // Raised again only if still true: here it is not, and every sink hears it cleared.
    feed(pipeline, {"25.00"});
    QCOMPARE(sink.noted, (QStringList{"high s1 on", "high s1 off", "s1=24.7 Boiler"}));
}

QTEST_GUILESS_MAIN(PipelineTest)
#include "tst_pipeline.moc"
