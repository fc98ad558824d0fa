// SPDX-License-Identifier: MIT
#include "BoardConfig.h"
#include "BoardSettings.h"
#include "Error.h"
#include "FileOutput.h"
#include "Outputs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace calimbra;

class ProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void parseErrors_data();
    void parseErrors();
    void savedProfilesReadBackAndKeepTheRest();
};

void ProfileTest::parseErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("where"); // the message's start: file, line and key

    const auto row = [](const char* name, const QByteArray& text, const char* where) {
        QTest::newRow(name) << text << QString::fromUtf8(where);
    };
    row("unknown board setting", "port = /dev/ttyUSB0\nspeed = 9600\n", "board.conf:2: speed: ");
    row("unknown sensor setting", "[sensor.1]\nlimit = 30\n", "board.conf:2: limit: ");
    row("a [board] section is not the form used", "[board]\nport = x\n", "board.conf:1: [board]: ");
    row("sensor 0", "[sensor.0]\n", "board.conf:1: [sensor.0]: ");
    row("sensor 10", "; nine at most\n[sensor.10]\nname = x\n", "board.conf:2: [sensor.10]: ");
    row("section twice", "[sensor.1]\nname = a\n[sensor.2]\n[sensor.1]\n", "board.conf:4: [sensor.1]: ");
    row("board key twice", "baud = 9600\nbaud = 19200\n", "board.conf:2: baud: ");
    row("sensor key twice", "[sensor.3]\nhigh = 30\nhigh = 31\n", "board.conf:3: high: ");
    row("neither setting, section nor comment", "port /dev/ttyUSB0\n", "board.conf:1: \"port");
    row("section without its bracket", "[sensor.1\n", "board.conf:1: ");
    row("text after a section", "[sensor.1] x\n", "board.conf:1: ");
    row("bad number", "[sensor.2]\nhigh = 3O\n", "board.conf:2: high: ");
    row("comma decimal", "[sensor.2]\noffset = 0,5\n", "board.conf:2: offset: ");
    row("infinite offset", "[sensor.2]\noffset = inf\n", "board.conf:2: offset: ");
    row("not a number", "[sensor.2]\nlow = nan\n", "board.conf:2: low: ");
    row("low above high, high last", "[sensor.1]\nlow = 25\nhigh = 20\n[sensor.2]\n", "board.conf:3: high: ");
    row("low above high, low last", "[sensor.1]\nhigh = 20\n\nlow = 25\n", "board.conf:4: low: ");
    row("negative hysteresis", "[sensor.1]\nhysteresis = -0.1\n", "board.conf:2: hysteresis: ");
    row("negative delay", "[sensor.1]\nfor = -1\n", "board.conf:2: for: ");
    row("lost after no round", "[sensor.1]\nlost_after = 0\n", "board.conf:2: lost_after: ");
    row("lost after part of a round", "[sensor.1]\nlost_after = 2.5\n", "board.conf:2: lost_after: ");
    row("fault values neither on nor off", "[sensor.1]\nfault_values = auto\n",
        "board.conf:2: fault_values: ");
    row("control character in a name", "[sensor.1]\nname = bell\x07here\n", "board.conf:2: name: ");
    row("tab in a quoted name", "[sensor.1]\nname = \"a\tb\"\n", "board.conf:2: name: ");
    row("quote never closed", "[sensor.1]\nname = \"Freezer\n", "board.conf:2: name: ");
    row("quoted words with a control character", "[sensor.1]\nname = \"a\" \x1B[2J\n",
        "board.conf:2: name: ");
    row("not UTF-8", "[sensor.1]\nname = caf\xE9\n", "board.conf:2: ");
    row("empty value", "port =\n", "board.conf:1: port: ");
    row("only a comment for a value", "baud = ; later\n", "board.conf:1: baud: ");
    row("# without a space before is not a comment", "baud = 96#00\n", "board.conf:1: baud: ");
    row("line numbers count CRLF lines and skip a BOM", "\xEF\xBB\xBFport = a\r\n\r\nbaud = x\r\n",
        "board.conf:3: baud: ");
    row("interval too short", "interval = 0.05\n", "board.conf:1: interval: ");
    row("interval too long", "interval = 86401\n", "board.conf:1: interval: ");
    row("sensor list beyond 9", "sensors = 1,8-10\n", "board.conf:1: sensors: ");
    row("unknown format", "format = xml\n", "board.conf:1: format: ");
    row("board name with a space", "board = kitchen 1\n", "board.conf:1: board: ");
    row("board name with a slash", "board = a/b\n", "board.conf:1: board: ");
    row("discovery neither yes nor no", "discovery = maybe\n", "board.conf:1: discovery: ");
    row("discovery prefix with a wildcard", "discovery_prefix = home/+/x\n",
        "board.conf:1: discovery_prefix: ");
    row("outbox limit zero", "outbox_limit = 0\n", "board.conf:1: outbox_limit: ");
    row("timeout not whole", "timeout = 1.5\n", "board.conf:1: timeout: ");
    row("alarm command of blanks", "on_alarm = \"  \"\n", "board.conf:1: on_alarm: ");
    row("board setting after a section", "[sensor.1]\nport = x\n", "board.conf:2: port: ");
    row("sensor setting before any section", "high = 30\n[sensor.1]\n", "board.conf:1: high: ");
    row("a comma is no thousands separator", "[sensor.1]\nhigh = 20,000\n", "board.conf:2: high: ");
    row("a comma is no decimal mark either", "interval = 2,5\n", "board.conf:1: interval: ");
    row("one sensor, two sections", "[sensor.1]\nname = a\n[sensor.01]\nname = b\n",
        "board.conf:3: [sensor.01]: ");
    row("a name too long for a label", "[sensor.1]\nname = " + QByteArray(65, 'x') + "\n",
        "board.conf:2: name: ");
    row("a name ending in a backslash", "[sensor.1]\nname = C:\\\n", "board.conf:2: name: ");
    row("a broker that is no broker", "mqtt = http://x\n", "board.conf:1: mqtt: ");
    row("metrics on no port", "metrics = 99999\n", "board.conf:1: metrics: ");
    row("metrics on no number", "metrics = abc\n", "board.conf:1: metrics: ");
    row("a wildcard for a discovery prefix", "discovery_prefix = +\n", "board.conf:1: discovery_prefix: ");
    row("a filter for a discovery prefix", "discovery_prefix = ha/#\n", "board.conf:1: discovery_prefix: ");
    row("a board name too long", "board = " + QByteArray(65, 'b') + "\n", "board.conf:1: board: ");
}

void ProfileTest::parseErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, where);
    try {
        (void)parseBoardFile(text, QStringLiteral("board.conf"));
        QFAIL("accepted");
    } catch (const Error& error) {
        qDebug("%s", qPrintable(error.message()));
        QVERIFY2(error.message().startsWith(where), qPrintable(error.message()));
        // The rest says what is wrong, not just where.
        QVERIFY2(error.message().size() > where.size() + 10, qPrintable(error.message()));
    }
}

void ProfileTest::savedProfilesReadBackAndKeepTheRest()
{
    const QByteArray before = "; Kitchen board\n"
                              "port = /dev/ttyUSB0   ; the FTDI cable\n"
                              "interval = 30\n"
                              "output = logs/kitchen.csv\n"
                              "on_alarm = \"/usr/local/bin/page someone\" --urgent # at night too\n"
                              "\n"
                              "# the freezer\n"
                              "[sensor.3]\n"
                              "name = \"Freezer; door side\"   # as on the panel\n"
                              "offset = -0.25\n"
                              "high = -15\n"
                              "hysteresis = 0.5\n"
                              "for = 300\n"
                              "\n"
                              "; the garage, untouched\n"
                              "[sensor.5]\n"
                              "  name = Garage\n"
                              "low = 2\n"
                              "; end\n";
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("board.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(before), before.size());
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                QFileDevice::ReadOther));

    const BoardFile read = readBoardFile(path);
    QCOMPARE(read.settings.get(board_settings::kPort), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(read.settings.get(board_settings::kInterval), std::chrono::milliseconds{30000});
    QCOMPARE(read.settings.get(file_output::kOutput), folder.filePath(QStringLiteral("logs/kitchen.csv")));
    QCOMPARE(read.settings.get(board_settings::kOnAlarm),
             QStringLiteral("\"/usr/local/bin/page someone\" --urgent"));
    QCOMPARE(read.profiles.keys(), (QList<int>{3, 5}));
    const SensorProfile freezer = read.profiles[3];
    QCOMPARE(freezer.name, QStringLiteral("Freezer; door side"));
    QCOMPARE(freezer.offset, -0.25);
    QCOMPARE(freezer.high, -15.0);
    QCOMPARE(freezer.low, std::nullopt);
    QCOMPARE(freezer.delay, std::chrono::milliseconds{300000});
    QCOMPARE(read.profiles[5].name, QStringLiteral("Garage"));
    QCOMPARE(read.profiles[5].hysteresis, SensorProfile::kDefaultHysteresis);

    QMap<int, SensorProfile> profiles;
    profiles[3] = freezer;
    profiles[3].name = QStringLiteral("Freezer \"B\" \\ #2");
    profiles[3].offset = 0.125;
    profiles[3].high.reset();
    profiles[3].low = -30;
    SensorProfile cellar;
    cellar.name = QStringLiteral("Adega ¼");
    cellar.high = 18;
    cellar.hysteresis = 0;
    cellar.lostAfter = 5;
    cellar.faultValues = false;
    profiles[7] = cellar;
    saveSensorProfiles(path, profiles);

    const QByteArray expected = "; Kitchen board\n"
                                "port = /dev/ttyUSB0   ; the FTDI cable\n"
                                "interval = 30\n"
                                "output = logs/kitchen.csv\n"
                                "on_alarm = \"/usr/local/bin/page someone\" --urgent # at night too\n"
                                "\n"
                                "# the freezer\n"
                                "[sensor.3]\n"
                                "name = \"Freezer \\\"B\\\" \\\\ #2\"   # as on the panel\n"
                                "offset = 0.125\n"
                                "hysteresis = 0.5\n"
                                "for = 300\n"
                                "low = -30\n"
                                "\n"
                                "; the garage, untouched\n"
                                "[sensor.5]\n"
                                "  name = Garage\n"
                                "low = 2\n"
                                "; end\n"
                                "\n"
                                "[sensor.7]\n"
                                "name = Adega ¼\n"
                                "high = 18\n"
                                "hysteresis = 0\n"
                                "lost_after = 5\n"
                                "fault_values = off\n";
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    file.close();
    // Whoever could read the file before still can.
    QVERIFY(file.permissions() & QFileDevice::ReadOther);

    const BoardFile after = readBoardFile(path);
    QCOMPARE(after.profiles[3], profiles[3]);
    QCOMPARE(after.profiles[7], profiles[7]);
    QCOMPARE(after.profiles[5], read.profiles[5]);
    QCOMPARE(after.settings.get(board_settings::kPort), read.settings.get(board_settings::kPort));
    QCOMPARE(after.settings.get(board_settings::kOnAlarm), read.settings.get(board_settings::kOnAlarm));

    // Saving what is there changes nothing.
    saveSensorProfiles(path, after.profiles);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    file.close();

    // A profile that would not read back is refused and the file stays as it was.
    profiles[7].low = 20;
    QVERIFY_THROWS_EXCEPTION(Error, saveSensorProfiles(path, profiles));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
}

QTEST_GUILESS_MAIN(ProfileTest)
#include "tst_profile.moc"
