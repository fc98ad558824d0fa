// SPDX-License-Identifier: MIT
#include "AlarmHook.h"
#include "AlarmWatch.h"
#include "Celsius.h"
#include "Error.h"
#include "Profile.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace calimbra;

Q_DECLARE_METATYPE(calimbra::SensorProfile)

namespace {

SensorProfile limits(std::optional<double> low, std::optional<double> high, double hysteresis = 0.5,
                     double delaySeconds = 0)
{
    SensorProfile profile;
    profile.low = low;
    profile.high = high;
    profile.hysteresis = hysteresis;
    profile.delay = std::chrono::milliseconds{qRound64(delaySeconds * 1000)};
    return profile;
}

QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString eventText(const AlarmEvent& event, const QDateTime& start)
{
    return alarmKindName(event.kind) +
           (event.raised ? QStringLiteral(" raised") : QStringLiteral(" cleared")) +
           (event.celsius ? u' ' + number(*event.celsius) : QString()) + QStringLiteral(" @") +
           QString::number(start.secsTo(event.time));
}

bool writeScript(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + text) > 0 &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// What the hook script wrote: its arguments ("arg" in order) and its environment.
QMultiMap<QString, QString> hookRecord(const QString& path)
{
    QMultiMap<QString, QString> record;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return record;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            record.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return record;
}

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype state = text.lastIndexOf(')') + 2;
    return state < text.size() && (text[state] == 'Z' || text[state] == 'X');
}

} // namespace

class AlarmsTest : public QObject
{
    Q_OBJECT

private slots:
    void alarms_data();
    void alarms();
    void hookEnvironment();
    void hookSays_data();
    void hookSays();
    void aHookWithoutItsProgramIsRefusedAtOnce();
    void hookRunsEveryAlarmInTurn();
    void hookQueueOverflowIsSaid();
};

void AlarmsTest::alarms_data()
{
    QTest::addColumn<SensorProfile>("profile");
    QTest::addColumn<QString>("restored"); // an alarm active at the last stop, by kind
    // Sensor 1's board values, 10 s apart unless "@seconds" says when; "-" no value; "|" a round ends.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("values"); // what each reading became; empty: not looked at

    QTest::newRow("ramp through high with noise at its edge: one raise, one clear")
        << limits({}, 30) << QString()
        << "29 29.6 29.9 30.1 29.8 30.2 30.4 30.6 30.3 29.9 29.7 30.1 29.6 29.4 29.6 29.9 30 29.8"
        << "high raised 30.1 @30, high cleared 29.4 @130" << QString();
    QTest::newRow("falling through low, the same way round")
        << limits(5, {}, 1) << QString() << "6 5.2 4.9 5.5 4.8 5.9 6 6.1 5.2 5"
        << "low raised 4.9 @20, low cleared 6.1 @70" << QString();
    QTest::newRow("no hysteresis: back at the limit is not below it")
        << limits({}, 30, 0) << QString() << "30 30.5 30 29.99 30"
        << "high raised 30.5 @10, high cleared 29.99 @30" << QString();
    QTest::newRow("delay: a dip to the band restarts it")
        << limits({}, 30, 0.5, 60) << QString() << "31@0 31@30 29.9@40 31@50 31@100 31@110 31@120"
        << "high raised 31 @110" << QString();
    QTest::newRow("delay runs through readings without a value")
        << limits({}, 30, 0.5, 20) << QString() << "31@0 -@10 31@20 -@30 -@40 29@50"
        << "high raised 31 @20, high cleared 29 @50" << QString();
    QTest::newRow("delay on low; a value back inside never raises")
        << limits(0, {}, 0.5, 30) << QString() << "-1@0 1@20 -1@25 -2@50 -3@55"
        << "low raised -3 @55" << QString();

    SensorProfile lostAfterThree;
    QTest::newRow("lost after three rounds without a value, cleared by the next")
        << lostAfterThree << QString() << "20 | - | - | -@30 | - | 21 | 21 |"
        << "lost raised @30, lost cleared 21 @50" << QString();
    SensorProfile lostAfterTwo;
    lostAfterTwo.lostAfter = 2;
    QTest::newRow("a value starts the count again") << lostAfterTwo << QString() << "20 | - | 20 | - | |@50"
                                                    << "lost raised @50" << QString();
    QTest::newRow("a sensor never read is not lost")
        << lostAfterTwo << QString() << "| | | |" << QString() << QString();

    SensorProfile high80 = limits({}, 80);
    QTest::newRow("85 at power-on is no value and raises nothing")
        << high80 << QString() << "85 20 85 21" << QString() << "power_on 20 power_on 21";
    QTest::newRow("a gradual rise to 85 is real") << limits({}, 84.9) << QString() << "83.5 84.2 85 85"
                                                  << "high raised 85 @20"
                                                  << "83.5 84.2 85 85";
    QTest::newRow("85 within the tolerance, and just outside it")
        << high80 << QString() << "20 85.0005 20 85.002"
        << "high raised 85.002 @30"
        << "20 power_on 20 85.002";
    SensorProfile offset = limits(-50, {});
    offset.offset = 1;
    offset.lostAfter = 1;
    QTest::newRow("-127 is a disconnected sensor: no value, lost, not low")
        << offset << QString() << "20 | -127 | 21 |"
        << "lost raised @10, lost cleared 22 @20"
        << "21 disconnected 22";
    QTest::newRow("judged on the board's value, before the offset")
        << offset << QString() << "84 84 20 84.5 85" << QString() << "85 85 21 85.5 86";
    SensorProfile faultsOff;
    faultsOff.faultValues = false;
    QTest::newRow("fault values off") << faultsOff << QString() << "85 -127 85" << QString() << "85 -127 85";

    const SensorProfile slowHigh = limits({}, 30, 0.5, 600);
    QTest::newRow("restored high still true: raised again without the delay")
        << slowHigh << "high"
        << "31 32"
        << "high raised 31 @0" << QString();
    QTest::newRow("restored high within the band is still raised")
        << slowHigh << "high"
        << "29.8 29.4"
        << "high raised 29.8 @0, high cleared 29.4 @10" << QString();
    QTest::newRow("restored high no longer true: cleared") << slowHigh << "high"
                                                           << "25 31"
                                                           << "high cleared 25 @0" << QString();
    QTest::newRow("restored high waits for a value") << slowHigh << "high"
                                                     << "- | 31"
                                                     << "high raised 31 @10" << QString();
    QTest::newRow("restored high without a limit now: cleared") << SensorProfile() << "high"
                                                                << "20"
                                                                << "high cleared 20 @0" << QString();
    QTest::newRow("restored low still true") << limits(5, {}) << "low"
                                             << "4"
                                             << "low raised 4 @0" << QString();
    QTest::newRow("restored lost still true: raised at the first round") << lostAfterThree << "lost"
                                                                         << "- | - |"
                                                                         << "lost raised @0" << QString();
    QTest::newRow("restored lost no longer true: cleared by a value") << lostAfterThree << "lost"
                                                                      << "20 |"
                                                                      << "lost cleared 20 @0" << QString();
}

void AlarmsTest::alarms()
{
    QFETCH(SensorProfile, profile);
    QFETCH(QString, restored);
    QFETCH(QString, steps);
    QFETCH(QString, events);
    QFETCH(QString, values);

    const QDateTime start(QDate(2024, 3, 31), QTime(1, 59), Qt::OffsetFromUTC, 3600);
    BoardProfile boardProfile({{1, profile}});
    AlarmWatch watch;
    watch.setProfiles({{1, profile}});
    if (!restored.isEmpty()) {
        // Through the state file, as from one run to the next.
        QTemporaryDir folder;
        AlarmEvent was;
        was.sensor = 1;
        was.kind = *alarmKindFromName(restored);
        was.raised = true;
        was.time = start.addDays(-1);
        saveAlarmState(folder.path(), {was});
        watch.restore(loadAlarmState(folder.path()));
        QCOMPARE(watch.activeAlarms().size(), 1);
    }
    QStringList seen;
    connect(&watch, &AlarmWatch::alarmChanged, this,
            [&](const AlarmEvent& event) { seen << eventText(event, start); });

    QStringList became;
    qint64 at = -10;
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = step.split(u'@');
        const bool timed = parts.size() == 2;
        if (parts.first() == QLatin1String("|")) {
            watch.roundFinished(start.addSecs(timed ? parts.last().toLongLong() : qMax<qint64>(at, 0)));
            continue;
        }
        at = timed ? parts.last().toLongLong() : at + 10;
        Reading reading;
        reading.time = start.addSecs(at);
        reading.monotonicMs = 5'000'000 + at * 1000;
        reading.sensor = 1;
        if (parts.first() == QLatin1String("-")) {
            reading.error = ReadError::Timeout;
        } else {
            bool ok = false;
            reading.celsius = parts.first().toDouble(&ok);
            reading.decimals = decimalsOf(parts.first());
            QVERIFY(ok);
        }
        boardProfile.apply(reading);
        became << (reading.celsius ? number(*reading.celsius) : readErrorName(reading.error.value()));
        watch.take(reading);
    }
    QCOMPARE(seen.join(QStringLiteral(", ")), events);
    if (!values.isEmpty())
        QCOMPARE(became.join(u' '), values);
}

void AlarmsTest::hookEnvironment()
{
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/calimbra hook XXXXXX"));
    QVERIFY(folder.isValid());
    const QString script = folder.filePath(QStringLiteral("on alarm.sh"));
    QVERIFY(writeScript(script,
                        "out=\"$1.$CALIMBRA_STATE\"; shift\n"
                        "{ for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done; env; } > \"$out.part\"\n"
                        "mv \"$out.part\" \"$out\"\n"));
    qputenv("CALIMBRA_TEST_INHERITED", "kept");
    const QString out = folder.filePath(QStringLiteral("env"));
    // Words a shell would expand or split must reach the program as they are.
    AlarmHook hook(QStringLiteral("\"%1\" \"%2\" \"a;b $HOME\" * `id`").arg(script, out),
                   QStringLiteral("kitchen-1"));
    QSignalSpy idle(&hook, &AlarmHook::idle);
    QSignalSpy said(&hook, &AlarmHook::said);

    AlarmEvent raised;
    raised.time = QDateTime(QDate(2024, 7, 1), QTime(12, 0, 5), Qt::OffsetFromUTC, -10800);
    raised.sensor = 4;
    raised.name = QStringLiteral("Câmara fria");
    raised.kind = AlarmKind::Low;
    raised.raised = true;
    raised.celsius = -3.25;
    AlarmEvent cleared = raised;
    cleared.kind = AlarmKind::Lost;
    cleared.raised = false;
    cleared.celsius.reset();
    hook.run(raised);
    hook.run(cleared);
    // One sensor's commands run one after another.
    QCOMPARE(hook.runningCount(), 1);
    QCOMPARE(hook.waitingCount(), 1);
    QVERIFY(idle.wait(20000));
    QCOMPARE(said.count(), 0);

    const QMultiMap<QString, QString> first = hookRecord(out + QStringLiteral(".raised"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_BOARD")), QStringLiteral("kitchen-1"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_SENSOR")), QStringLiteral("4"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_NAME")), QStringLiteral("Câmara fria"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_ALARM")), QStringLiteral("low"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_STATE")), QStringLiteral("raised"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_CELSIUS")), QStringLiteral("-3.25"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_TIME")), QStringLiteral("2024-07-01T12:00:05.000-03:00"));
    QCOMPARE(first.value(QStringLiteral("CALIMBRA_TEST_INHERITED")), QStringLiteral("kept"));
    QCOMPARE(first.values(QStringLiteral("arg")),
             (QStringList{QStringLiteral("`id`"), QStringLiteral("*"), QStringLiteral("a;b $HOME")}));

    const QMultiMap<QString, QString> second = hookRecord(out + QStringLiteral(".cleared"));
    QCOMPARE(second.value(QStringLiteral("CALIMBRA_ALARM")), QStringLiteral("lost"));
    QCOMPARE(second.value(QStringLiteral("CALIMBRA_STATE")), QStringLiteral("cleared"));
    QVERIFY(second.contains(QStringLiteral("CALIMBRA_CELSIUS")));
    QCOMPARE(second.value(QStringLiteral("CALIMBRA_CELSIUS")), QString());
}

void AlarmsTest::hookSays_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: a program taken away once the hook has it
    QTest::addColumn<QString>("message");

    // What it started goes too: the sleep is the command's child, not the command.
    QTest::newRow("runs past the time limit") << QByteArray("sleep 30 &\necho $! > \"$1\"\nwait\n")
                                              << QStringLiteral("ran longer than 1 s and was killed");
    QTest::newRow("fails") << QByteArray("exit 3\n") << QStringLiteral("failed with exit status 3");
    QTest::newRow("cannot start") << QByteArray() << QStringLiteral("could not start");
}

void AlarmsTest::aHookWithoutItsProgramIsRefusedAtOnce()
{
    // Not at the first alarm, hours later and unattended.
    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("hook"));
    QVERIFY_THROWS_EXCEPTION(Error, AlarmHook(program, QStringLiteral("b")));
    QVERIFY(writeScript(program, "exit 0\n"));
    QVERIFY(QFile::setPermissions(program, QFileDevice::ReadOwner));
    QVERIFY_THROWS_EXCEPTION(Error, AlarmHook(program, QStringLiteral("b")));
    QVERIFY_THROWS_EXCEPTION(Error,
                             AlarmHook(QStringLiteral("no-such-program-of-calimbra"), QStringLiteral("b")));
    AlarmHook fromPath(QStringLiteral("true --quietly"), QStringLiteral("b"));
}

void AlarmsTest::hookSays()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, message);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString program = folder.filePath(QStringLiteral("hook"));
    if (!script.isEmpty())
        QVERIFY(writeScript(program, script));
    const QString pidFile = folder.filePath(QStringLiteral("child.pid"));
    if (script.isEmpty())
        QVERIFY(writeScript(program, "exit 0\n"));
    AlarmHook hook(QStringLiteral("\"%1\" \"%2\"").arg(program, pidFile), QStringLiteral("b"));
    if (script.isEmpty())
        QVERIFY(QFile::remove(program));
    QCOMPARE(hook.timeLimit(), std::chrono::milliseconds{30000});
    hook.setTimeLimit(std::chrono::milliseconds{1000});
    QSignalSpy idle(&hook, &AlarmHook::idle);
    QSignalSpy said(&hook, &AlarmHook::said);
    AlarmEvent event;
    event.sensor = 2;
    event.kind = AlarmKind::High;
    event.raised = true;
    hook.run(event);
    QVERIFY(idle.count() == 1 || idle.wait(20000));
    QCOMPARE(said.count(), 1);
    const QString text = said.first().first().toString();
    QVERIFY2(text.contains(message), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("sensor 2, high raised")), qPrintable(text));

    QFile pid(pidFile);
    if (pid.open(QIODevice::ReadOnly)) {
        const qint64 child = pid.readAll().trimmed().toLongLong();
        QVERIFY(child > 0);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(child), 5000);
    }
}

void AlarmsTest::hookRunsEveryAlarmInTurn()
{
    // Nine sensors pulled at once raise nine alarms in one round, and clear them in the next: more
    // than may run at once, so some wait their turn; none is skipped.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString script = folder.filePath(QStringLiteral("hook"));
    const QString out = folder.filePath(QStringLiteral("ran"));
    QVERIFY(writeScript(script, "echo \"start $CALIMBRA_SENSOR $CALIMBRA_STATE\" >> \"$1\"\n"
                                "sleep 0.2\n"
                                "echo \"end $CALIMBRA_SENSOR $CALIMBRA_STATE\" >> \"$1\"\n"));
    AlarmHook hook(QStringLiteral("\"%1\" \"%2\"").arg(script, out), QStringLiteral("b"));
    QSignalSpy idle(&hook, &AlarmHook::idle);
    QSignalSpy said(&hook, &AlarmHook::said);
    AlarmEvent event;
    event.kind = AlarmKind::Lost;
    for (const bool raised : {true, false}) {
        for (int sensor = 1; sensor <= 9; ++sensor) {
            event.sensor = sensor;
            event.raised = raised;
            hook.run(event);
        }
    }
    QCOMPARE(hook.runningCount(), AlarmHook::kMaxRunning);
    QVERIFY(idle.wait(60000));
    QCOMPARE(said.count(), 0);

    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 36);
    // Never more at once than the limit; each sensor's raise done before its clear begins.
    int running = 0;
    QMap<int, QStringList> bySensor;
    for (const QString& line : lines) {
        const QStringList words = line.split(u' ');
        running += words[0] == u"start" ? 1 : -1;
        QVERIFY2(running <= AlarmHook::kMaxRunning, qPrintable(lines.join(u'|')));
        bySensor[words[1].toInt()] << words[0] + u' ' + words[2];
    }
    QCOMPARE(bySensor.size(), 9);
    for (const QStringList& steps : std::as_const(bySensor))
        QCOMPARE(steps, (QStringList{QStringLiteral("start raised"), QStringLiteral("end raised"),
                                     QStringLiteral("start cleared"), QStringLiteral("end cleared")}));
}

void AlarmsTest::hookQueueOverflowIsSaid()
{
    // Commands that do not end fill the queue: beyond it an alarm's command is dropped, said when it
    // begins and what it cost once there is room again; then every alarm runs again.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString script = folder.filePath(QStringLiteral("hook"));
    const QString release = folder.filePath(QStringLiteral("release"));
    QVERIFY(writeScript(script, "while [ ! -e \"$1\" ]; do sleep 0.05; done\n"));
    AlarmHook hook(QStringLiteral("\"%1\" \"%2\"").arg(script, release), QStringLiteral("b"));
    QSignalSpy idle(&hook, &AlarmHook::idle);
    QSignalSpy said(&hook, &AlarmHook::said);
    AlarmEvent event;
    event.kind = AlarmKind::High;
    event.raised = true;
    const int fitting = AlarmHook::kMaxRunning + AlarmHook::kMaxWaiting;
    for (int n = 1; n <= fitting + 3; ++n) {
        event.sensor = n;
        hook.run(event);
    }
    QCOMPARE(hook.runningCount(), AlarmHook::kMaxRunning);
    QCOMPARE(hook.waitingCount(), AlarmHook::kMaxWaiting);
    QCOMPARE(said.count(), 1);
    const QString first = said.first().first().toString();
    QVERIFY2(first.contains(QStringLiteral("sensor %1, high raised").arg(fitting + 1)) &&
                 first.contains(QStringLiteral("256")),
             qPrintable(first));

    QFile released(release);
    QVERIFY(released.open(QIODevice::WriteOnly));
    QVERIFY(idle.wait(120000));
    QCOMPARE(said.count(), 2);
    const QString last = said.last().first().toString();
    QVERIFY2(last.contains(QStringLiteral("3 alarms")) &&
                 last.contains(QStringLiteral("sensor %1, high raised").arg(fitting + 3)),
             qPrintable(last));
}

QTEST_GUILESS_MAIN(AlarmsTest)
#include "tst_alarms.moc"
