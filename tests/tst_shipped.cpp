// SPDX-License-Identifier: MIT
#include "BoardConfig.h"
#include "Error.h"
#include "support/BoardProcess.h"
#include "support/MosquittoBroker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace calimbra;

// What the package ships beside the programs, held against the programs themselves: the alerting
// rules and the Grafana dashboard against a live scrape of the service, the Home Assistant cards
// against its discovery, the README's prometheus.yml against promtool, and the broker's password
// as systemd hands it to the service's own user.

namespace {

constexpr int kToolMs = 30000;
constexpr int kServiceMs = 30000;

QString sourceFile(const QString& path)
{
    return QStringLiteral(CALIMBRA_SOURCE_DIR "/") + path;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("could not read %s: %s", qPrintable(path), qPrintable(file.errorString()));
    return file.readAll();
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// The README's fenced block whose first line is `first`, without its fences; empty when none.
QByteArray readmeBlock(const QByteArray& first)
{
    const QList<QByteArray> lines = contents(sourceFile(QStringLiteral("README.md"))).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i - 1].startsWith("```") || lines[i] != first)
            continue;
        QByteArray block;
        for (qsizetype j = i; j < lines.size() && !lines[j].startsWith("```"); ++j)
            block += lines[j] + '\n';
        return block;
    }
    return {};
}

// A port nobody listens on now, for the service's metrics.
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        qFatal("no free loopback port for the metrics");
    ::close(fd);
    return ntohs(address.sin_port);
}

struct ToolRun
{
    bool ok = false;
    QString output; // standard output and error together
};

ToolRun runTool(const QString& program, const QStringList& arguments, const QString& folder = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        tool.setWorkingDirectory(folder);
    tool.start(program, arguments);
    const bool finished = tool.waitForFinished(kToolMs);
    ToolRun run;
    run.output = QString::fromUtf8(tool.readAll());
    if (!finished)
        run.output += QStringLiteral("\n%1 did not finish: %2").arg(program, tool.errorString());
    run.ok = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return run;
}

// calimbra-cli log as a service, until SIGTERM.
class Service
{
public:
    explicit Service(const QStringList& arguments)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(CALIMBRA_CLI), arguments);
        if (!process_.waitForStarted())
            qFatal("calimbra-cli did not start: %s", qPrintable(process_.errorString()));
    }
    ~Service()
    {
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished();
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    [[nodiscard]] bool running() const { return process_.state() == QProcess::Running; }

private:
    QProcess process_;
};

// The families of an exposition, from its TYPE lines.
QSet<QString> families(const QByteArray& exposition)
{
    QSet<QString> names;
    for (const QByteArray& line : exposition.split('\n')) {
        if (line.startsWith("# TYPE "))
            names.insert(QString::fromLatin1(line.split(' ').value(2)));
    }
    return names;
}

// The service's series a text names: every word calimbra_...
QSet<QString> seriesNamed(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("\\bcalimbra_[a-z0-9_]*[a-z0-9]\\b"));
    QSet<QString> names;
    for (auto match = word.globalMatch(text); match.hasNext();)
        names.insert(match.next().captured());
    return names;
}

// Every PromQL expression of the dashboard's panels.
QStringList dashboardQueries(const QJsonObject& dashboard)
{
    QStringList queries;
    for (const QJsonValue panel : dashboard.value(QStringLiteral("panels")).toArray()) {
        for (const QJsonValue target : panel.toObject().value(QStringLiteral("targets")).toArray())
            queries << target.toObject().value(QStringLiteral("expr")).toString();
    }
    return queries;
}

// Where the dashboard names a data source other than its own variable: "panel 4 target B: {...}".
void foreignDataSources(const QJsonValue& value, const QString& where, QStringList* found)
{
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            foreignDataSources(array[i], where + QStringLiteral("[%1]").arg(i), found);
        return;
    }
    if (!value.isObject())
        return;
    const QJsonObject object = value.toObject();
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (entry.key() == QLatin1String("datasource") && entry->isObject()) {
            const QJsonObject source = entry->toObject();
            // Grafana's own annotations come with every dashboard.
            const bool own =
                source.value(QStringLiteral("uid")).toString() == QLatin1String("${datasource}") ||
                source.value(QStringLiteral("type")).toString() == QLatin1String("grafana");
            if (!own)
                *found << where + QStringLiteral(".datasource: ") +
                              QString::fromUtf8(QJsonDocument(source).toJson(QJsonDocument::Compact));
            continue;
        }
        if (entry.key() == QLatin1String("datasource") && entry->isString())
            *found << where + QStringLiteral(".datasource: \"%1\"").arg(entry->toString());
        foreignDataSources(entry.value(), where + u'.' + entry.key(), found);
    }
}

// The entity ids a Home Assistant card names, comments left out.
QSet<QString> cardEntities(const QByteArray& card)
{
    static const QRegularExpression id(QStringLiteral("\\b(?:sensor|binary_sensor)\\.[a-z0-9_]+\\b"));
    QSet<QString> ids;
    for (const QByteArray& line : card.split('\n')) {
        if (line.trimmed().startsWith('#'))
            continue;
        for (auto match = id.globalMatch(QString::fromUtf8(line)); match.hasNext();)
            ids.insert(match.next().captured());
    }
    return ids;
}

// The entity ids Home Assistant gives what discovery announced: "homeassistant/<component>/<id>/config".
QSet<QString> discoveredEntities(const QStringList& messages)
{
    QSet<QString> ids;
    for (const QString& message : messages) {
        const qsizetype space = message.indexOf(u' ');
        const QStringList topic = message.left(space).split(u'/');
        const QJsonObject config =
            QJsonDocument::fromJson(message.mid(space + 1).remove(QStringLiteral(" retained")).toUtf8())
                .object();
        if (topic.size() != 4 || topic.last() != QLatin1String("config") || config.isEmpty())
            continue;
        const QString chosen = config.value(QStringLiteral("default_entity_id")).toString();
        ids.insert(!chosen.isEmpty()
                       ? chosen
                       : topic[1] + u'.' + config.value(QStringLiteral("object_id")).toString().toLower());
    }
    return ids;
}

QString sorted(const QSet<QString>& names)
{
    QStringList list(names.begin(), names.end());
    list.sort();
    return list.join(QStringLiteral(", "));
}

bool chownTo(const QString& path, const passwd* user)
{
    return ::chown(QFile::encodeName(path).constData(), user->pw_uid, user->pw_gid) == 0;
}

} // namespace

class ShippedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void onlySeriesTheServiceExportsAreNamed_data();
    void onlySeriesTheServiceExportsAreNamed();
    void dashboardImportsAsItIs();
    void dashboardQueriesAreValidPromQL();
    void readmePrometheusConfigLoadsTheShippedRules();
    void homeAssistantCardsNameDiscoveredEntities_data();
    void homeAssistantCardsNameDiscoveredEntities();
    void credentialPassword_data();
    void credentialPassword();
    void theServiceUserReadsItsCredential();

private:
    QByteArray scrape();

    std::unique_ptr<MosquittoBroker> broker_;
    std::unique_ptr<BoardProcess> metricsBoard_;
    std::unique_ptr<BoardProcess> exampleBoard_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<Service> metricsService_;
    std::unique_ptr<Service> exampleService_;
    quint16 metricsPort_ = 0;
    QByteArray exposition_;
};

// Two services on one broker: "t1" with limits its readings are beyond at once, so that every
// family is in the scrape, alarms too; "boiler" as the package's example board file sets it.
void ShippedTest::initTestCase()
{
    broker_ = std::make_unique<MosquittoBroker>();
    metricsBoard_ = std::make_unique<BoardProcess>(QStringList{"--sensors", "2"});
    exampleBoard_ = std::make_unique<BoardProcess>(QStringList{"--sensors", "2"});
    folder_ = std::make_unique<QTemporaryDir>();
    const QString config = folder_->filePath(QStringLiteral("t1.conf"));
    QVERIFY(write(config,
                  "[sensor.1]\nname = Flow\nhigh = 0\n\n[sensor.2]\nname = Return\nlow = 60\nhigh = 90\n"));
    const QString broker = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker_->port());
    metricsPort_ = freePort();
    metricsService_ = std::make_unique<Service>(QStringList{
        "--config", config, "--port", metricsBoard_->path(), "log", "--interval", "0.5", "--board", "t1",
        "--mqtt", broker, "--metrics", QStringLiteral("127.0.0.1:%1").arg(metricsPort_), "--outbox",
        folder_->filePath(QStringLiteral("t1"))});
    exampleService_ = std::make_unique<Service>(
        QStringList{"--config", sourceFile(QStringLiteral("packaging/board.conf")), "--port",
                    exampleBoard_->path(), "log", "--board", "boiler", "--mqtt", broker, "--outbox",
                    folder_->filePath(QStringLiteral("boiler"))});

    const QSet<QString> conditional{"calimbra_temperature_celsius", "calimbra_alarm_active",
                                    "calimbra_outbox_readings", "calimbra_mqtt_connected"};
    QTRY_VERIFY2_WITH_TIMEOUT(families(exposition_ = scrape()).contains(conditional),
                              exposition_.isEmpty() ? "no scrape" : exposition_.constData(), kServiceMs);
}

void ShippedTest::cleanupTestCase()
{
    exampleService_.reset();
    metricsService_.reset();
    broker_.reset();
}

QByteArray ShippedTest::scrape()
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    std::unique_ptr<QNetworkReply> reply(
        manager.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort_)))));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000) ||
        reply->error() != QNetworkReply::NoError)
        return {};
    return reply->readAll();
}

void ShippedTest::onlySeriesTheServiceExportsAreNamed_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("Prometheus rules") << QStringLiteral("packaging/prometheus/calimbra.rules.yml");
    QTest::newRow("Grafana dashboard") << QStringLiteral("packaging/grafana/calimbra-dashboard.json");
    QTest::newRow("manual") << QStringLiteral("man/calimbra-cli.1.scd");
}

void ShippedTest::onlySeriesTheServiceExportsAreNamed()
{
    QFETCH(QString, path);
    const QSet<QString> named = seriesNamed(QString::fromUtf8(contents(sourceFile(path))));
    QVERIFY2(!named.isEmpty(), qPrintable(path + QStringLiteral(" names no series")));
    const QSet<QString> missing = named - families(exposition_);
    QVERIFY2(
        missing.isEmpty(),
        qPrintable(
            QStringLiteral("%1 names series the service does not export: %2").arg(path, sorted(missing))));
}

void ShippedTest::dashboardImportsAsItIs()
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        contents(sourceFile(QStringLiteral("packaging/grafana/calimbra-dashboard.json"))), &error);
    QVERIFY2(document.isObject(),
             qPrintable(QStringLiteral("at %1: %2").arg(error.offset).arg(error.errorString())));
    const QJsonObject dashboard = document.object();
    // Data sources as objects with a uid, and panels' field configuration: Grafana 9 and later.
    QVERIFY(dashboard.value(QStringLiteral("schemaVersion")).toInt() >= 36);

    // A data source's uid is the importer's own: one from another Grafana leaves panels empty.
    QStringList foreign;
    foreignDataSources(dashboard, QStringLiteral("dashboard"), &foreign);
    QVERIFY2(foreign.isEmpty(), qPrintable(foreign.join(u'\n')));

    QSet<QString> variables;
    for (const QJsonValue variable :
         dashboard.value(QStringLiteral("templating")).toObject().value(QStringLiteral("list")).toArray())
        variables.insert(variable.toObject().value(QStringLiteral("name")).toString());
    static const QRegularExpression reference(QStringLiteral("\\$\\{?([A-Za-z_][A-Za-z0-9_]*)"));
    QSet<QString> undefined;
    QSet<int> ids;
    for (const QJsonValue value : dashboard.value(QStringLiteral("panels")).toArray()) {
        const QJsonObject panel = value.toObject();
        const int id = panel.value(QStringLiteral("id")).toInt();
        QVERIFY2(id > 0 && !ids.contains(id),
                 qPrintable(QStringLiteral("panel id %1 missing or twice").arg(id)));
        ids.insert(id);
        const QString text = QString::fromUtf8(QJsonDocument(panel).toJson(QJsonDocument::Compact));
        for (auto match = reference.globalMatch(text); match.hasNext();) {
            const QString name = match.next().captured(1);
            if (!name.startsWith(QLatin1String("__")) && !variables.contains(name))
                undefined.insert(name);
        }
    }
    QVERIFY2(undefined.isEmpty(), qPrintable(QStringLiteral("undefined variables: ") + sorted(undefined)));
}

// promtool judges each query as the expression of a recording rule, Grafana's variables replaced.
void ShippedTest::dashboardQueriesAreValidPromQL()
{
    const QJsonObject dashboard =
        QJsonDocument::fromJson(
            contents(sourceFile(QStringLiteral("packaging/grafana/calimbra-dashboard.json"))))
            .object();
    const QStringList queries = dashboardQueries(dashboard);
    QVERIFY(!queries.isEmpty());
    static const QRegularExpression duration(QStringLiteral("\\$__(rate_interval|interval|range)\\b"));
    static const QRegularExpression variable(QStringLiteral("\\$\\{?[A-Za-z_][A-Za-z0-9_]*\\}?"));
    QByteArray rules = "groups:\n  - name: dashboard\n    rules:\n";
    for (qsizetype i = 0; i < queries.size(); ++i) {
        QVERIFY2(!queries[i].isEmpty(), "a panel's target has no expression");
        QString expr = queries[i];
        expr.replace(duration, QStringLiteral("5m")).replace(variable, QStringLiteral("boiler"));
        // A JSON string is a YAML double-quoted scalar.
        const QByteArray quoted =
            QJsonDocument(QJsonArray{expr}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
        rules +=
            "      - record: dashboard_query_" + QByteArray::number(i) + "\n        expr: " + quoted + '\n';
    }
    QTemporaryDir folder;
    QVERIFY(write(folder.filePath(QStringLiteral("queries.yml")), rules));
    const ToolRun check =
        runTool(QStringLiteral("promtool"), {"check", "rules", "queries.yml"}, folder.path());
    QVERIFY2(check.ok, qPrintable(check.output + QString::fromUtf8(rules)));
}

void ShippedTest::readmePrometheusConfigLoadsTheShippedRules()
{
    const QByteArray config = readmeBlock("# prometheus.yml");
    QVERIFY2(!config.isEmpty(), "the README has no ```yaml block starting \"# prometheus.yml\"");
    QTemporaryDir folder;
    QVERIFY(write(folder.filePath(QStringLiteral("prometheus.yml")), config));
    QVERIFY(QFile::copy(sourceFile(QStringLiteral("packaging/prometheus/calimbra.rules.yml")),
                        folder.filePath(QStringLiteral("calimbra.rules.yml"))));
    const ToolRun check =
        runTool(QStringLiteral("promtool"), {"check", "config", "prometheus.yml"}, folder.path());
    QVERIFY2(check.ok, qPrintable(check.output));
    // Without rule_files promtool is as happy, and the rules are never loaded.
    QVERIFY2(check.output.contains(QLatin1String("calimbra.rules.yml")) &&
                 check.output.contains(QLatin1String("rules found")),
             qPrintable(check.output));
}

void ShippedTest::homeAssistantCardsNameDiscoveredEntities_data()
{
    QTest::addColumn<QByteArray>("card");
    QTest::newRow("shipped") << contents(
        sourceFile(QStringLiteral("packaging/homeassistant/calimbra-card.yaml")));
    QTest::newRow("README") << readmeBlock("type: vertical-stack");
}

void ShippedTest::homeAssistantCardsNameDiscoveredEntities()
{
    QFETCH(QByteArray, card);
    const QSet<QString> named = cardEntities(card);
    QVERIFY2(!named.isEmpty(), "the card names no entity");
    MosquittoSubscriber discovery(*broker_, QStringLiteral("homeassistant/#"));
    QSet<QString> missing;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (missing = named - discoveredEntities(discovery.messages())).isEmpty(),
        qPrintable(QStringLiteral("not announced by the example board's service: %1; announced: %2")
                       .arg(sorted(missing), sorted(discoveredEntities(discovery.messages())))),
        kServiceMs);
}

void ShippedTest::credentialPassword_data()
{
    QTest::addColumn<bool>("underSystemd"); // CREDENTIALS_DIRECTORY set
    QTest::addColumn<QString>("name");      // of the credential; a name ending in '/' is a folder
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("password"); // null when there is none
    QTest::addColumn<QString>("error");    // part of the Error's message, when one is expected

    const QString none;
    QTest::newRow("not under systemd") << false << "mqtt_password" << QByteArray("s3cret\n") << none << none;
    QTest::newRow("other credentials only") << true << "api_token" << QByteArray("s3cret\n") << none << none;
    QTest::newRow("its first line") << true << "mqtt_password"
                                    << QByteArray("horse battery staple\nsecond line\n")
                                    << "horse battery staple" << none;
    QTest::newRow("Windows line end")
        << true << "mqtt_password" << QByteArray("s3cret\r\n") << "s3cret" << none;
    QTest::newRow("no line end") << true << "mqtt_password" << QByteArray("s3cret") << "s3cret" << none;
    QTest::newRow("UTF-8") << true << "mqtt_password" << QByteArray("s\xC3\xA9nha\n")
                           << QString::fromUtf8("s\xC3\xA9nha") << none;
    QTest::newRow("empty") << true << "mqtt_password" << QByteArray() << none << "no password";
    QTest::newRow("empty first line")
        << true << "mqtt_password" << QByteArray("\ns3cret\n") << none << "no password";
    QTest::newRow("a folder") << true << "mqtt_password/" << QByteArray() << none << "Could not read";
}

void ShippedTest::credentialPassword()
{
    QFETCH(bool, underSystemd);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, password);
    QFETCH(QString, error);

    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    if (name.endsWith(u'/')) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QVERIFY(write(path, content));
        // As systemd leaves it, which readPasswordFile's refusal of a file others can read accepts.
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    }
    const QByteArray before = qgetenv("CREDENTIALS_DIRECTORY");
    if (underSystemd)
        qputenv("CREDENTIALS_DIRECTORY", QFile::encodeName(folder.path()));
    else
        qunsetenv("CREDENTIALS_DIRECTORY");
    std::optional<QString> got;
    QString thrown;
    try {
        got = calimbra::credentialPassword();
    } catch (const Error& e) {
        thrown = e.message();
    }
    if (before.isNull())
        qunsetenv("CREDENTIALS_DIRECTORY");
    else
        qputenv("CREDENTIALS_DIRECTORY", before);

    if (!error.isEmpty()) {
        QVERIFY2(thrown.contains(error), qPrintable(thrown));
        // What to do, and where the file is.
        QVERIFY2(thrown.contains(QLatin1String("LoadCredential=")) &&
                     thrown.contains(folder.filePath(QStringLiteral("mqtt_password"))),
                 qPrintable(thrown));
        return;
    }
    QVERIFY2(thrown.isEmpty(), qPrintable(thrown));
    QCOMPARE(got.has_value(), !password.isNull());
    if (got)
        QCOMPARE(*got, password);
}

// As systemd runs the unit: a user of its own (here nobody) with no other group, the password in
// a 0400 file of that user's in a folder only that user may enter, and a broker that lets no
// client in without it.
void ShippedTest::theServiceUserReadsItsCredential()
{
    if (::geteuid() != 0)
        QSKIP("Running calimbra-cli as another user (nobody), as systemd's DynamicUser does, needs root.");
    const passwd* nobody = ::getpwnam("nobody");
    QVERIFY2(nobody, "no user nobody");
    MosquittoBroker::Options options;
    options.user = QStringLiteral("calimbra");
    options.password = QStringLiteral("horse battery staple");
    MosquittoBroker broker(options);
    BoardProcess board({"--sensors", "1"});
    // The simulated board's terminal is root's; a real port is the group dialout's.
    QVERIFY(QFile::setPermissions(board.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadOther | QFileDevice::WriteOther));

    QTemporaryDir folder;
    QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ExeOther));
    const QString credentials = folder.filePath(QStringLiteral("credentials"));
    const QString credential = credentials + QStringLiteral("/mqtt_password");
    const QString state = folder.filePath(QStringLiteral("state"));
    QVERIFY(QDir().mkpath(credentials) && QDir().mkpath(state));
    QVERIFY(write(credential, options.password.toUtf8() + '\n'));
    QVERIFY(chownTo(credential, nobody) && chownTo(credentials, nobody) && chownTo(state, nobody));
    QVERIFY(QFile::setPermissions(credential, QFileDevice::ReadOwner));
    QVERIFY(QFile::setPermissions(credentials, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    // setpriv runs the program itself (runuser would stay its parent), so SIGTERM reaches it.
    QProcess service;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), credentials);
    service.setProcessEnvironment(environment);
    service.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                   QStringLiteral("--regid=%1").arg(nobody->pw_gid), "--clear-groups", "--",
                   QStringLiteral(CALIMBRA_CLI), "--port", board.path(), "log", "--interval", "0.5",
                   "--board", "cred", "--mqtt",
                   QStringLiteral("mqtt://calimbra@127.0.0.1:%1").arg(broker.port()), "--outbox", state});
    QVERIFY(service.waitForStarted());

    QProcess subscriber;
    subscriber.start(QStringLiteral("mosquitto_sub"),
                     {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-u", options.user, "-P",
                      options.password, "-t", "calimbra/cred/sensor/1", "-C", "1", "-W", "30"});
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.state() == QProcess::NotRunning, 40000);
    const QByteArray received = subscriber.readAllStandardOutput();
    service.terminate();
    QVERIFY(service.waitForFinished(10000));
    const QByteArray said = service.readAllStandardError();
    QVERIFY2(received.contains("\"celsius\""), said.constData());
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);

    // It did run as that user: what it wrote is nobody's.
    const QFileInfoList written = QDir(state).entryInfoList(QDir::Files);
    QVERIFY(!written.isEmpty());
    for (const QFileInfo& file : written)
        QCOMPARE(file.ownerId(), nobody->pw_uid);
}

QTEST_GUILESS_MAIN(ShippedTest)
#include "tst_shipped.moc"
