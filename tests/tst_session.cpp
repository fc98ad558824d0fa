// SPDX-License-Identifier: MIT
#include "support/FakeBoardLink.h"
#include "support/VirtualClock.h"

#include "SamplingSession.h"

#include <QTest>

using namespace calimbra;
using namespace std::chrono;

namespace {

// Something that happens to the line at a moment of the run.
struct LineEvent
{
    int atMs = 0;
    enum Kind { HangUp, Noise, Unplug, Plug } kind = HangUp;
    QByteArray bytes;
};
using LineEvents = QList<LineEvent>;

const QByteArray kDegrees("\xB0"
                          "C");

QByteArray reply(int sensor, const char* value)
{
    return "T" + QByteArray::number(sensor) + " = " + value + ' ' + kDegrees;
}

QMap<int, QByteArray> threeSensors()
{
    return {{1, reply(1, "+21.50")}, {2, reply(2, "+22.00")}, {3, reply(3, "+23.25")}};
}

// The session's signals as one line of words: R<ms> a round starts, s<n>=<value or error> a
// reading, E<n> a round ends with n sensors answered, T trouble begins, U readings resume, N a notice,
// F the session finished.
class Transcript : public QObject
{
public:
    Transcript(SamplingSession& session, const VirtualClock& clock)
    {
        connect(&session, &SamplingSession::roundStarted, this, [this, &clock](const QDateTime&) {
            words << QStringLiteral("R%1").arg(clock.elapsed().count());
        });
        connect(&session, &SamplingSession::readingTaken, this, [this](const Reading& reading) {
            words << QStringLiteral("s%1=%2")
                         .arg(reading.sensor)
                         .arg(reading.celsius ? QString::number(*reading.celsius)
                                              : readErrorName(*reading.error));
        });
        connect(&session, &SamplingSession::roundFinished, this,
                [this](const QDateTime&, int answered) { words << QStringLiteral("E%1").arg(answered); });
        connect(&session, &SamplingSession::troubleStarted, this, [this] { words << QStringLiteral("T"); });
        connect(&session, &SamplingSession::resumed, this, [this] { words << QStringLiteral("U"); });
        connect(&session, &SamplingSession::notice, this, [this] { words << QStringLiteral("N"); });
        connect(&session, &SamplingSession::finished, this, [this] { words << QStringLiteral("F"); });
    }

    QStringList words;
};

} // namespace

Q_DECLARE_METATYPE(LineEvents)

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void rounds_data();
    void rounds();
    void noiseIsConsumedWhetherAwaitedOrNot();
};

void SessionTest::rounds_data()
{
    QTest::addColumn<BoardScript>("board");
    QTest::addColumn<QList<int>>("sensors"); // empty: as many as the board counts
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<LineEvents>("events");
    QTest::addColumn<int>("runMs");
    QTest::addColumn<QString>("transcript");

    BoardScript healthy;
    healthy.replies = threeSensors();
    QTest::newRow("rounds of every counted sensor")
        << healthy << QList<int>{} << 10000 << LineEvents{} << 15000
        << "R0 s1=21.5 s2=22 s3=23.25 E3 R10000 s1=21.5 s2=22 s3=23.25 E3";

    BoardScript slow = healthy;
    slow.delay = 1000;
    QTest::newRow("rounds timed from their starts, not their ends")
        << slow << QList<int>{} << 10000 << LineEvents{} << 25000
        << "R0 s1=21.5 s2=22 s3=23.25 E3 R10000 s1=21.5 s2=22 s3=23.25 E3 R20000 s1=21.5 s2=22 s3=23.25 E3";

    BoardScript silentTwo = healthy;
    silentTwo.replies.remove(2);
    QTest::newRow("a silent sensor gives no value and the round goes on")
        << silentTwo << QList<int>{} << 10000 << LineEvents{} << 5000 << "R0 s1=21.5 s2=timeout s3=23.25 E2";

    BoardScript late = healthy;
    late.delays[1] = 2600; // past the 2 s time-out, while sensor 2 is awaited
    late.delays[2] = 800;
    QTest::newRow("a late reply is never the next sensor's")
        << late << QList<int>{1, 2} << 10000 << LineEvents{} << 5000 << "R0 s1=timeout N s2=22 E1";

    BoardScript wrongSensor = healthy;
    wrongSensor.replies[1] = reply(2, "+77.77");
    QTest::newRow("a reply naming another sensor is dropped")
        << wrongSensor << QList<int>{1, 3} << 10000 << LineEvents{} << 5000 << "R0 N s1=timeout s3=23.25 E1";

    BoardScript oddReplies;
    oddReplies.countReply = "SN\xB0 =4 sens";
    oddReplies.replies = {{1, "T1 = 23.5 C"},
                          {2, "T2 =         -55 " + kDegrees},
                          {3, QByteArray("T3 = +2\0"
                                         "3.56 \xB0"
                                         "C",
                                         15)},
                          {4, "T4 = sem sensor"}};
    QTest::newRow("short, long, garbled and valueless replies")
        << oddReplies << QList<int>{} << 10000 << LineEvents{} << 5000
        << "R0 s1=23.5 s2=-55 s3=garbled s4=no_value E4";

    BoardScript unnamed = healthy;
    unnamed.replies[2] = "T = +22.25 " + kDegrees;
    unnamed.replies[3] = "T=-1.5 " + kDegrees;
    QTest::newRow("a reply naming no sensor is the awaited one's")
        << unnamed << QList<int>{} << 10000 << LineEvents{} << 5000 << "R0 s1=21.5 s2=22.25 s3=-1.5 E3";

    BoardScript noSensors;
    noSensors.countReply = "SN\xB0 =0 sens";
    QTest::newRow("a count of zero: nothing to read, said once, no trouble")
        << noSensors << QList<int>{} << 10000 << LineEvents{} << 15000 << "R0 N E0 R10000 E0";

    BoardScript twelve = healthy;
    twelve.countReply = "SN\xB0 =12 sens";
    QTest::newRow("a count outside 0..9 is no count: trouble, never a made-up count")
        << twelve << QList<int>{} << 60000 << LineEvents{} << 3500 << "R0 T E0 R1050 E0 R3100 E0";

    BoardScript missing = healthy;
    missing.openFailure = QStringLiteral("Serial port COM9 was not found.");
    QTest::newRow("back-off 1, 2, 4 ... 30 s while the port is missing, said once")
        << missing << QList<int>{} << 60000 << LineEvents{} << 125000
        << "R0 T E0 R1000 E0 R3000 E0 R7000 E0 R15000 E0 R31000 E0 R61000 E0 R91000 E0 R121000 E0";
    QTest::newRow("back-off never waits longer than the interval")
        << missing << QList<int>{} << 5000 << LineEvents{} << 20000
        << "R0 T E0 R1000 E0 R3000 E0 R7000 E0 R12000 E0 R17000 E0";

    BoardScript allSilent;
    allSilent.replies.clear();
    QTest::newRow("nothing answered in a round: trouble and back-off")
        << allSilent << QList<int>{1, 2} << 60000 << LineEvents{} << 8000
        << "R0 s1=timeout s2=timeout T E0 R5000 s1=timeout";

    QTest::newRow("a hang-up ends the round; readings resume once it is back")
        << healthy << QList<int>{} << 10000 << LineEvents{{120, LineEvent::HangUp, {}}} << 15000
        << "R0 s1=21.5 T s2=line_lost s3=line_lost E1 R1120 s1=21.5 s2=22 s3=23.25 U E3 R11120 s1=21.5 s2=22 "
           "s3=23.25 E3";

    QTest::newRow("unplugged between rounds and back: one trouble, one resumption")
        << healthy << QList<int>{} << 10000
        << LineEvents{{5000, LineEvent::Unplug, {}}, {13500, LineEvent::Plug, {}}} << 25000
        << "R0 s1=21.5 s2=22 s3=23.25 E3 R10000 T s1=port_unavailable s2=port_unavailable "
           "s3=port_unavailable E0 "
           "R11000 E0 R13000 E0 R17000 s1=21.5 s2=22 s3=23.25 U E3";

    // An outage is in the record where it was, a line per sensor no more often than the interval.
    QTest::newRow("missing from the start: the chosen sensors' outage, at the interval")
        << missing << QList<int>{1, 2} << 5000 << LineEvents{} << 13000
        << "R0 T s1=port_unavailable s2=port_unavailable E0 R1000 E0 R3000 E0 R7000 s1=port_unavailable "
           "s2=port_unavailable E0 R12000 s1=port_unavailable s2=port_unavailable E0";
    BoardScript countGoesSilent = healthy;
    countGoesSilent.silentCountAfter = 1;
    QTest::newRow("the board stops answering: the last round's sensors, no reply")
        << countGoesSilent << QList<int>{} << 10000 << LineEvents{} << 16000
        << "R0 s1=21.5 s2=22 s3=23.25 E3 R10000 T s1=no_reply s2=no_reply s3=no_reply E0 R13000 E0";

    // 256 KiB of "T" over 4 s: a run of them is no reply, so the requests keep to the board's pace
    // and every value after the flood answers the request just made (its value is the second the
    // request was made), not one asked for during the flood.
    BoardScript oneAtATime = healthy;
    oneAtATime.delay = 750;
    oneAtATime.oneAtATime = true;
    oneAtATime.stamped = true;
    oneAtATime.quietGap = 25;
    LineEvents flood;
    for (int ms = 4000; ms < 8000; ms += 16)
        flood << LineEvent{ms, LineEvent::Noise, QByteArray(1024, 'T')};
    QTest::newRow("a flood of T, then healthy replies: fresh values again within a round")
        << oneAtATime << QList<int>{1, 2, 3} << 1000 << flood << 14100
        << "R0 s1=0 s2=0.78 s3=1.55 E3 R2325 s1=2.33 s2=3.1 s3=garbled E3 R4762 s1=garbled s2=garbled "
           "s3=garbled E3 R7066 s1=garbled s2=7.83 s3=8.61 E3 R9384 s1=9.38 s2=10.16 s3=10.93 E3 "
           "R11709 s1=11.71 s2=12.48 s3=13.26 E3 R14034";

    // The port stops taking bytes from the line once its buffer is full, and only a read starts it
    // again: a request sent meanwhile (here, after a time-out) must not leave it deaf for good.
    BoardScript silentOne = healthy;
    silentOne.replies.remove(1);
    silentOne.quietGap = 25;
    QTest::newRow("a full port when a time-out asks the next sensor: that sensor is heard")
        << silentOne << QList<int>{1, 2} << 10000
        << LineEvents{{1990, LineEvent::Noise, QByteArray(FakeBoardLink::kBufferLimit + 1024, 'x')}} << 15000
        << "R0 s1=timeout s2=22 E1 R10000 s1=timeout s2=22 E1";
}

void SessionTest::rounds()
{
    QFETCH(BoardScript, board);
    QFETCH(QList<int>, sensors);
    QFETCH(int, intervalMs);
    QFETCH(LineEvents, events);
    QFETCH(int, runMs);
    QFETCH(QString, transcript);

    VirtualClock clock;
    FakeBoardLink link(clock, board);
    BoardConversation conversation(link, clock);
    SamplingSession session(conversation, clock);
    session.setInterval(milliseconds{intervalMs});
    session.setSensors(sensors);
    Transcript said(session, clock);
    session.start();

    int at = 0;
    for (const LineEvent& event : events) {
        clock.advance(milliseconds{event.atMs - at});
        at = event.atMs;
        switch (event.kind) {
        case LineEvent::HangUp:
            link.hangUp();
            break;
        case LineEvent::Noise:
            link.send(event.bytes);
            break;
        case LineEvent::Unplug:
            link.script.openFailure = QStringLiteral("unplugged");
            link.hangUp();
            break;
        case LineEvent::Plug:
            link.script.openFailure.reset();
            break;
        }
    }
    clock.advance(milliseconds{runMs - at});
    QCOMPARE(said.words.join(u' '), transcript);
}

void SessionTest::noiseIsConsumedWhetherAwaitedOrNot()
{
    BoardScript board;
    board.replies = threeSensors();
    VirtualClock clock;
    FakeBoardLink link(clock, board);
    BoardConversation conversation(link, clock);
    SamplingSession session(conversation, clock);
    session.setInterval(milliseconds{10000});
    Transcript said(session, clock);
    session.start();
    clock.advance(milliseconds{5000});
    // 96 KiB of line noise between rounds: more than the port holds before it stops reading.
    QByteArray noise(96 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) % 251);
    link.send(noise);
    QCOMPARE(link.buffered(), 0);
    clock.advance(milliseconds{10000});
    QCOMPARE(said.words.join(u' '),
             QStringLiteral("R0 s1=21.5 s2=22 s3=23.25 E3 R10000 s1=21.5 s2=22 s3=23.25 E3"));
}

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
