// SPDX-License-Identifier: MIT
#include "support/BoardProcess.h"
#include "support/MosquittoBroker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// calimbra-cli log as a service: the simulated board, a real broker, a state folder of its own and
// a CSV record of every reading taken, to hold the broker's messages against.
class Service
{
public:
    Service(const BoardProcess& board, const MosquittoBroker& broker, const QString& folder)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(CALIMBRA_CLI),
                       {"--port", board.path(), "log", "--interval", "0.5", "--board", "t1", "--mqtt",
                        QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), "--outbox",
                        folder + "/state", "--output", folder + "/taken.csv"});
        process_.waitForStarted();
    }
    ~Service()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    void kill()
    {
        process_.kill();
        process_.waitForFinished();
    }
    int stop()
    {
        process_.terminate();
        process_.waitForFinished(10000);
        return process_.exitCode();
    }

private:
    QProcess process_;
};

// "<sensor> <time>" of every reading taken, from the CSV record, in the order taken.
QStringList taken(const QString& folder)
{
    QFile file(folder + "/taken.csv");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList readings;
    for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() > 2)
            readings << QString::fromUtf8(fields.at(1) + ' ' + fields.at(0));
    }
    return readings;
}

// The same of the readings the broker delivered.
QStringList delivered(MosquittoSubscriber& subscriber)
{
    QStringList readings;
    for (const QString& message : subscriber.messages()) {
        const qsizetype space = message.indexOf(u' ');
        const QString topic = message.left(space);
        if (!topic.startsWith(QLatin1String("calimbra/t1/sensor/")) || topic.count(u'/') != 3)
            continue;
        const QJsonObject json =
            QJsonDocument::fromJson(message.mid(space + 1).remove(QStringLiteral(" retained")).toUtf8())
                .object();
        readings << topic.section(u'/', 3) + u' ' + json.value(QStringLiteral("time")).toString();
    }
    return readings;
}

// Every reading of `expected` is among `got`, in the same order (repeats allowed).
bool arrivedInOrder(const QStringList& expected, const QStringList& got, QString* missing)
{
    qsizetype at = 0;
    for (const QString& reading : expected) {
        const qsizetype found = got.indexOf(reading, at);
        if (found < 0) {
            *missing = reading;
            return false;
        }
        at = found;
    }
    return true;
}

} // namespace

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void announcesItselfAndPublishesTheBoardsValues();
    void nothingIsLostWhileTheBrokerIsAway();
    void aBacklogSurvivesARestartOfTheService();
    void aDamagedOutboxIsMovedAsideAndTheLogGoesOn();
};

void ServiceTest::announcesItselfAndPublishesTheBoardsValues()
{
    MosquittoBroker broker;
    BoardProcess board({"--sensors", "2"});
    QTemporaryDir folder;
    MosquittoSubscriber status(broker, QStringLiteral("calimbra/t1/status"));
    Service service(board, broker, folder.path());
    QTRY_VERIFY_WITH_TIMEOUT(taken(folder.path()).size() >= 6, 10000);

    // A newcomer (Home Assistant starting) gets everything retained: the service, the sensors'
    // configurations and their last readings.
    MosquittoSubscriber newcomer(broker, QStringLiteral("#"));
    QVERIFY(newcomer.waitForMessages(5));
    const QStringList messages = newcomer.messages();
    QVERIFY2(messages.contains(QStringLiteral("calimbra/t1/status online retained")),
             qPrintable(messages.join('\n')));
    for (const int sensor : {1, 2}) {
        const QString configTopic = QStringLiteral("homeassistant/sensor/calimbra_t1_s%1/config").arg(sensor);
        const auto config = std::find_if(messages.begin(), messages.end(),
                                         [&](const QString& m) { return m.startsWith(configTopic + u' '); });
        QVERIFY2(config != messages.end(), qPrintable(configTopic));
        QVERIFY(config->endsWith(QLatin1String(" retained")));
        const QJsonObject json =
            QJsonDocument::fromJson(config->mid(configTopic.size() + 1).chopped(9).toUtf8()).object();
        QCOMPARE(json.value("unique_id").toString(), QStringLiteral("calimbra_t1_s%1").arg(sensor));
        QCOMPARE(json.value("device_class").toString(), QStringLiteral("temperature"));
        QCOMPARE(json.value("state_class").toString(), QStringLiteral("measurement"));
        QCOMPARE(json.value("unit_of_measurement").toString(), QStringLiteral("\u00B0C"));
        QCOMPARE(json.value("state_topic").toString(), QStringLiteral("calimbra/t1/sensor/%1").arg(sensor));
        QCOMPARE(json.value("availability_topic").toString(), QStringLiteral("calimbra/t1/status"));
        QVERIFY(json.value("expire_after").toInt() > 0);
        QCOMPARE(json.value("device").toObject().value("identifiers").toArray().first().toString(),
                 QStringLiteral("calimbra_t1"));

        const QString stateTopic = QStringLiteral("calimbra/t1/sensor/%1 ").arg(sensor);
        const auto state = std::find_if(messages.begin(), messages.end(),
                                        [&](const QString& m) { return m.startsWith(stateTopic); });
        QVERIFY(state != messages.end());
        const QJsonObject reading =
            QJsonDocument::fromJson(
                state->mid(stateTopic.size()).remove(QStringLiteral(" retained")).toUtf8())
                .object();
        // The board's own value: "T1 = +22.53 °C" gives 22.53.
        const QString reply = reading.value("reply").toString();
        QVERIFY2(reply.startsWith(QStringLiteral("T%1 = +").arg(sensor)), qPrintable(reply));
        QCOMPARE(reading.value("celsius").toDouble(), reply.section(u' ', 2, 2).toDouble());
    }

    // Killed without a goodbye, the broker says it for the service.
    service.kill();
    QTRY_VERIFY_WITH_TIMEOUT(status.messages().contains(QStringLiteral("calimbra/t1/status offline")), 10000);
}

void ServiceTest::nothingIsLostWhileTheBrokerIsAway()
{
    MosquittoBroker broker;
    BoardProcess board({"--sensors", "2"});
    QTemporaryDir folder;
    Service service(board, broker, folder.path());
    QTRY_VERIFY_WITH_TIMEOUT(taken(folder.path()).size() >= 4, 10000);

    broker.stop();
    const qsizetype before = taken(folder.path()).size();
    QTest::qWait(20000);
    const QStringList meanwhile = taken(folder.path()).mid(before);
    QVERIFY(meanwhile.size() >= 60);
    broker.start();
    MosquittoSubscriber subscriber(broker, QStringLiteral("calimbra/t1/sensor/+"));
    QString missing;
    QTRY_VERIFY_WITH_TIMEOUT(arrivedInOrder(meanwhile, delivered(subscriber), &missing), 60000);
    QCOMPARE(service.stop(), 0);
}

void ServiceTest::aBacklogSurvivesARestartOfTheService()
{
    MosquittoBroker broker;
    broker.stop();
    BoardProcess board({"--sensors", "2"});
    QTemporaryDir folder;
    auto first = std::make_unique<Service>(board, broker, folder.path());
    QTRY_VERIFY_WITH_TIMEOUT(taken(folder.path()).size() >= 10, 10000);
    first->kill(); // with its backlog on disk
    const QStringList backlog = taken(folder.path());

    broker.start();
    MosquittoSubscriber subscriber(broker, QStringLiteral("calimbra/t1/sensor/+"));
    Service second(board, broker, folder.path());
    QString missing;
    QTRY_VERIFY2_WITH_TIMEOUT(arrivedInOrder(backlog, delivered(subscriber), &missing), qPrintable(missing),
                              30000);
    QCOMPARE(second.stop(), 0);
}

void ServiceTest::aDamagedOutboxIsMovedAsideAndTheLogGoesOn()
{
    // Under Restart=on-failure a damaged outbox that stopped the service would be a loop that records
    // nothing: it is moved aside, said, and every output goes on.
    MosquittoBroker broker;
    BoardProcess board({"--sensors", "2"});
    QTemporaryDir folder;
    const QString state = folder.filePath(QStringLiteral("state"));
    QVERIFY(QDir().mkpath(state));
    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    QFile damaged(state + QStringLiteral("/outbox.db"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    QCOMPARE(damaged.write(random), random.size());
    damaged.close();

    QProcess service;
    service.start(QStringLiteral(CALIMBRA_CLI),
                  {"--port", board.path(), "log", "--interval", "0.2", "--count", "3", "--board", "t1",
                   "--mqtt", QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), "--outbox", state,
                   "--output", folder.filePath(QStringLiteral("taken.csv"))});
    QVERIFY(service.waitForFinished(30000));
    const QString said = QString::fromLocal8Bit(service.readAllStandardError());
    QCOMPARE(service.exitCode(), 0);
    QCOMPARE(taken(folder.path()).size(), 6);
    QCOMPARE(said.count(QStringLiteral("was damaged")), 1);
    QCOMPARE(QDir(state).entryList({QStringLiteral("outbox.db.damaged-*")}, QDir::Files).size(), 1);
}

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
