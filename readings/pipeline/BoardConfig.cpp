// SPDX-License-Identifier: MIT
#include "BoardConfig.h"

#include "Error.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr double kLongestDelay = 86400; // s

[[noreturn]] void fail(const QString& path, int line, const QString& key, const QString& what)
{
    throw Error(QStringLiteral("%1:%2: %3: %4").arg(path).arg(line).arg(key, what));
}

[[noreturn]] void fail(const QString& path, int line, const QString& what)
{
    throw Error(QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(what));
}

bool isComment(QChar c)
{
    return c == u';' || c == u'#';
}

// One line of the file as written, with what it says.
struct Line
{
    enum class Kind { Blank, Comment, Section, Entry };

    int number{};
    QString text; // without its line end
    Kind kind = Kind::Blank;
    QString section; // Section: what is inside the brackets
    QString indent;  // Entry: the blanks before the key
    QString key;
    QString value;   // unquoted, trimmed
    QString comment; // Entry: an inline comment with the blanks before it, to keep on rewriting
};

struct Document
{
    QList<Line> lines;
    bool crlf = false;
};

void parseValue(Line& line, QStringView rest, const QString& path)
{
    qsizetype at = 0;
    while (at < rest.size() && rest[at].isSpace())
        ++at;
    if (at < rest.size() && rest[at] == u'"') {
        QString value;
        bool closed = false;
        for (++at; at < rest.size(); ++at) {
            const QChar c = rest[at];
            if (c == u'"') {
                closed = true;
                ++at;
                break;
            }
            if (c == u'\\' && at + 1 < rest.size() && (rest[at + 1] == u'"' || rest[at + 1] == u'\\'))
                ++at;
            value += rest[at];
        }
        if (!closed)
            fail(path, line.number, line.key, tr("the value's opening quote is never closed."));
        const QStringView after = rest.mid(at);
        const QStringView afterTrimmed = after.trimmed();
        if (afterTrimmed.isEmpty() || (isComment(afterTrimmed.front()) && after.front().isSpace())) {
            line.value = value;
            line.comment = afterTrimmed.isEmpty() ? QString() : after.toString();
            return;
        }
        // Quotes that do not hold the whole value are part of it, as in a command's quoted words.
    }
    qsizetype end = rest.size();
    for (qsizetype i = 1; i < rest.size(); ++i) {
        if (isComment(rest[i]) && rest[i - 1].isSpace()) {
            end = i;
            break;
        }
    }
    line.value = rest.left(end).trimmed().toString();
    // Where the comment's blanks start, so that a rewritten value keeps its distance to it.
    qsizetype commentFrom = end;
    while (commentFrom > 0 && end < rest.size() && rest[commentFrom - 1].isSpace())
        --commentFrom;
    line.comment = end < rest.size() ? rest.mid(commentFrom).toString() : QString();
}

Line parseLine(int number, const QString& text, const QString& path)
{
    Line line;
    line.number = number;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return line;
    if (isComment(trimmed.front())) {
        line.kind = Line::Kind::Comment;
        return line;
    }
    if (trimmed.front() == u'[') {
        const qsizetype close = trimmed.indexOf(u']');
        if (close < 0)
            fail(path, number, tr("the section name \"%1\" has no closing ']'.").arg(printable(trimmed)));
        const QString after = trimmed.mid(close + 1).trimmed();
        if (!after.isEmpty() && !isComment(after.front()))
            fail(path, number, tr("text follows the section name \"%1\".").arg(printable(trimmed)));
        line.kind = Line::Kind::Section;
        line.section = trimmed.mid(1, close - 1).trimmed();
        return line;
    }
    const qsizetype equals = text.indexOf(u'=');
    const QString key = equals < 0 ? QString() : text.left(equals).trimmed();
    if (key.isEmpty())
        fail(path, number,
             tr("\"%1\" is neither a setting (key = value), a [section] nor a comment (; or #).")
                 .arg(printable(trimmed)));
    line.kind = Line::Kind::Entry;
    line.indent = text.left(text.indexOf(key));
    line.key = key;
    parseValue(line, QStringView(text).mid(equals + 1), path);
    return line;
}

Document splitLines(const QByteArray& bytes, const QString& path)
{
    Document document;
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    int number = 0;
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView raw = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        ++number;
        if (raw.endsWith('\r')) {
            raw.chop(1);
            if (number == 1)
                document.crlf = true;
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(raw);
        if (decoder.hasError())
            fail(path, number, tr("the line is not UTF-8 text; save the file as UTF-8."));
        document.lines << parseLine(number, text, path);
    }
    return document;
}

std::optional<int> sensorSection(const QString& section)
{
    static const QRegularExpression pattern(QStringLiteral("^sensor\\.([0-9]+)$"));
    const QRegularExpressionMatch match = pattern.match(section);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const int sensor = match.captured(1).toInt(&ok);
    return ok ? sensor : 0;
}

QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

// Reads the settings of one file, line by line; each setting checks its value where it stands.
class ConfigReader
{
public:
    explicit ConfigReader(const QString& path) : path_(path) {}

    BoardConfig read(const Document& document)
    {
        config_.path = path_;
        for (const Line& line : document.lines) {
            if (line.kind == Line::Kind::Section)
                startSection(line);
            else if (line.kind == Line::Kind::Entry)
                take(line);
        }
        endSection();
        return config_;
    }

private:
    [[noreturn]] void refuse(const Line& line, const QString& what) const
    {
        fail(path_, line.number, line.key, what);
    }

    // Runs a judge of the value, its refusal said at the line.
    template <typename Judge>
    auto judged(const Line& line, Judge judge) const
    {
        try {
            return judge(line.value);
        } catch (const SettingError& error) {
            refuse(line, error.message());
        }
    }

    double number(const Line& line, const QString& what) const
    {
        return judged(line, [&what](const QString& text) { return judge::number(text, what); });
    }

    void startSection(const Line& line)
    {
        endSection();
        const QString shown = u'[' + printable(line.section) + u']';
        const std::optional<int> sensor = sensorSection(line.section);
        if (!sensor)
            fail(path_, line.number, shown,
                 tr("unknown section; sensors have [sensor.1] to [sensor.9], and the board's settings "
                    "come before the first section."));
        if (*sensor < 1 || *sensor > board::kMaxSensors)
            fail(path_, line.number, shown, tr("sensors are numbered from 1 to %1.").arg(board::kMaxSensors));
        // [sensor.1] and [sensor.01] are one sensor: the second would silently replace the first.
        if (sensors_.contains(*sensor))
            fail(path_, line.number, shown,
                 tr("sensor %1 has a section already, at line %2; merge the two into one.")
                     .arg(*sensor)
                     .arg(sensors_.value(*sensor)));
        sensors_.insert(*sensor, line.number);
        sensor_ = *sensor;
        profile_ = SensorProfile();
        keys_.clear();
        lowLine_ = highLine_ = 0;
    }

    void endSection()
    {
        if (sensor_ == 0)
            return;
        if (profile_.low && profile_.high && *profile_.low > *profile_.high) {
            const bool highLast = highLine_ > lowLine_;
            fail(path_, highLast ? highLine_ : lowLine_,
                 highLast ? QStringLiteral("high") : QStringLiteral("low"),
                 tr("low (%1 °C) is above high (%2 °C); the low limit must be the lower one.")
                     .arg(numberText(*profile_.low), numberText(*profile_.high)));
        }
        config_.profiles.insert(sensor_, profile_);
        sensor_ = 0;
    }

    void take(const Line& line)
    {
        if (keys_.contains(line.key))
            refuse(line, tr("given twice; keep one."));
        keys_.insert(line.key);
        if (line.value.isEmpty() && !(sensor_ != 0 && line.key == QLatin1String("name")))
            refuse(line, tr("has no value; give one or remove the line."));
        const auto handler = sensorKeys().find(line.key);
        if (sensor_ == 0) {
            if (handler != sensorKeys().end())
                refuse(line, tr("a sensor's setting; put it in that sensor's [sensor.N] section."));
            // Judged once the tables of the parts that own them are at hand.
            config_.entries << BoardConfig::Entry{line.key, line.value, line.number, 0};
            return;
        }
        if (handler == sensorKeys().end()) {
            config_.entries << BoardConfig::Entry{line.key, line.value, line.number, sensor_};
            return;
        }
        handler->second(*this, line);
    }

    using Handler = std::function<void(ConfigReader&, const Line&)>;
    using Handlers = std::map<QString, Handler>;

    static const Handlers& sensorKeys()
    {
        static const Handlers handlers{
            {QStringLiteral("name"),
             [](ConfigReader& r, const Line& l) { r.profile_.name = r.judged(l, judgeSensorName); }},
            {QStringLiteral("offset"),
             [](ConfigReader& r, const Line& l) {
                 r.profile_.offset = r.number(l, tr("takes a number of degrees Celsius, like -0.25."));
             }},
            {QStringLiteral("low"),
             [](ConfigReader& r, const Line& l) {
                 r.profile_.low = r.number(l, tr("takes a number of degrees Celsius, like -18."));
                 r.lowLine_ = l.number;
             }},
            {QStringLiteral("high"),
             [](ConfigReader& r, const Line& l) {
                 r.profile_.high = r.number(l, tr("takes a number of degrees Celsius, like 30.5."));
                 r.highLine_ = l.number;
             }},
            {QStringLiteral("hysteresis"),
             [](ConfigReader& r, const Line& l) {
                 const QString what = tr("takes a number of degrees Celsius, 0 or more, like 0.5.");
                 const double value = r.number(l, what);
                 if (value < 0)
                     r.refuse(l, what);
                 r.profile_.hysteresis = value;
             }},
            {QStringLiteral("for"),
             [](ConfigReader& r, const Line& l) {
                 const QString what = tr("takes a number of seconds from 0 to 86400.");
                 const double seconds = r.number(l, what);
                 if (seconds < 0 || seconds > kLongestDelay)
                     r.refuse(l, what);
                 r.profile_.delay = milliseconds{qRound64(seconds * 1000)};
             }},
            {QStringLiteral("lost_after"),
             [](ConfigReader& r, const Line& l) {
                 r.profile_.lostAfter = r.judged(l, [](const QString& text) {
                     return judge::whole(text, 1, std::numeric_limits<int>::max(),
                                         tr("takes a whole number of rounds, 1 or more."));
                 });
             }},
            {QStringLiteral("fault_values"),
             [](ConfigReader& r, const Line& l) { r.profile_.faultValues = r.judged(l, judge::yesOrNo); }},
        };
        return handlers;
    }

    QString path_;
    BoardConfig config_;
    QMap<int, int> sensors_; // the sensors with a section, and its line
    QSet<QString> keys_;     // of the board or of the current section
    int sensor_ = 0;         // the current section's sensor; 0 before the first section
    SensorProfile profile_;
    int lowLine_ = 0;
    int highLine_ = 0;
};

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(tr("Could not read the configuration file %1: %2.").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(tr("Could not read the configuration file %1: %2.").arg(path, file.errorString()));
    return bytes;
}

QString quotedIfNeeded(const QString& text)
{
    const bool plain = !text.isEmpty() && text == text.trimmed() && !text.contains(u';') &&
                       !text.contains(u'#') && !text.contains(u'"') && !text.contains(u'\\');
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + quoted + u'"';
}

// The keys a sensor's section holds in the order they are added, with their text when the
// profile gives them one (a limit that is not set, an empty name: none).
QList<std::pair<QString, std::optional<QString>>> profileValues(const SensorProfile& profile)
{
    const auto given = [](bool present, const QString& text) {
        return present ? std::optional<QString>(text) : std::nullopt;
    };
    return {
        {QStringLiteral("name"), given(!profile.name.isEmpty(), quotedIfNeeded(profile.name))},
        {QStringLiteral("offset"), numberText(profile.offset)},
        {QStringLiteral("low"), given(profile.low.has_value(), numberText(profile.low.value_or(0)))},
        {QStringLiteral("high"), given(profile.high.has_value(), numberText(profile.high.value_or(0)))},
        {QStringLiteral("hysteresis"), numberText(profile.hysteresis)},
        {QStringLiteral("for"), numberText(static_cast<double>(profile.delay.count()) / 1000)},
        {QStringLiteral("lost_after"), QString::number(profile.lostAfter)},
        {QStringLiteral("fault_values"), profile.faultValues ? QStringLiteral("on") : QStringLiteral("off")},
    };
}

// Whether a key left out would read back as the same value.
bool isDefault(const QString& key, const SensorProfile& profile)
{
    const SensorProfile defaults;
    if (key == QLatin1String("offset"))
        return profile.offset == defaults.offset;
    if (key == QLatin1String("hysteresis"))
        return profile.hysteresis == defaults.hysteresis;
    if (key == QLatin1String("for"))
        return profile.delay == defaults.delay;
    if (key == QLatin1String("lost_after"))
        return profile.lostAfter == defaults.lostAfter;
    if (key == QLatin1String("fault_values"))
        return profile.faultValues == defaults.faultValues;
    return false;
}

QStringList sectionLines(int sensor, const SensorProfile& profile, const Document& document, qsizetype from,
                         qsizetype to)
{
    const auto values = profileValues(profile);
    QStringList out;
    QSet<QString> written;
    qsizetype insertAt = 0; // after the header or the section's last setting
    for (qsizetype i = from; i < to; ++i) {
        const Line& line = document.lines[i];
        if (line.kind == Line::Kind::Section) {
            out << line.text;
            insertAt = out.size();
            continue;
        }
        const auto known = std::find_if(values.begin(), values.end(),
                                        [&](const auto& value) { return value.first == line.key; });
        if (line.kind != Line::Kind::Entry || known == values.end()) {
            out << line.text;
            if (line.kind == Line::Kind::Entry)
                insertAt = out.size();
            continue;
        }
        written.insert(line.key);
        if (!known->second)
            continue;
        out << line.indent + line.key + QStringLiteral(" = ") + *known->second + line.comment;
        insertAt = out.size();
    }
    if (from == to) {
        out << QStringLiteral("[sensor.%1]").arg(sensor);
        insertAt = out.size();
    }
    QStringList added;
    for (const auto& [key, text] : values) {
        if (!written.contains(key) && text && !isDefault(key, profile))
            added << key + QStringLiteral(" = ") + *text;
    }
    for (qsizetype i = 0; i < added.size(); ++i)
        out.insert(insertAt + i, added[i]);
    return out;
}

} // namespace

QString judgeSensorName(const QString& text)
{
    if (hasControlCharacter(text))
        throw SettingError(tr("holds a control character; a name is one line of printable text."));
    if (text.size() > SensorProfile::kLongestName)
        throw SettingError(tr("is %1 characters long; a name has at most %2.")
                               .arg(text.size())
                               .arg(SensorProfile::kLongestName));
    if (text.endsWith(u'\\'))
        throw SettingError(tr("ends in a backslash, which InfluxDB's line protocol cannot carry in a tag; "
                              "remove it."));
    return text;
}

Settings BoardConfig::judge(const QList<const SettingTable*>& tables) const
{
    const QDir folder = QFileInfo(path).absoluteDir();
    Settings settings;
    for (const Entry& entry : entries) {
        const Setting* known = nullptr;
        for (const SettingTable* table : tables) {
            for (const Setting& candidate : table->settings) {
                if (candidate.inFile && candidate.name == entry.key)
                    known = &candidate;
            }
        }
        if (entry.sensor != 0) {
            fail(path, entry.line, entry.key,
                 known ? tr("a setting of the board; put it before the first section.")
                       : tr("unknown setting for a sensor."));
        }
        if (!known)
            fail(path, entry.line, entry.key, tr("unknown setting for the board."));
        const QString value = known->form == Setting::Form::Path ? folder.filePath(entry.value) : entry.value;
        try {
            settings.setJudged(entry.key, known->judge(value));
        } catch (const SettingError& error) {
            fail(path, entry.line, entry.key, error.message());
        }
    }
    return settings;
}

BoardConfig parseBoardConfig(const QByteArray& text, const QString& path)
{
    return ConfigReader(path).read(splitLines(text, path));
}

BoardConfig readBoardConfig(const QString& path)
{
    return parseBoardConfig(readWhole(path), path);
}

void saveSensorProfiles(const QString& path, const QMap<int, SensorProfile>& profiles)
{
    const QByteArray before = QFileInfo::exists(path) ? readWhole(path) : QByteArray();
    const Document document = splitLines(before, path);

    QStringList out;
    QSet<int> done;
    qsizetype at = 0;
    while (at < document.lines.size()) {
        qsizetype end = at + 1;
        while (end < document.lines.size() && document.lines[end].kind != Line::Kind::Section)
            ++end;
        const Line& first = document.lines[at];
        const std::optional<int> sensor =
            first.kind == Line::Kind::Section ? sensorSection(first.section) : std::nullopt;
        if (sensor && profiles.contains(*sensor) && !done.contains(*sensor)) {
            out << sectionLines(*sensor, profiles[*sensor], document, at, end);
            done.insert(*sensor);
        } else {
            for (qsizetype i = at; i < end; ++i)
                out << document.lines[i].text;
        }
        at = end;
    }
    for (auto profile = profiles.cbegin(); profile != profiles.cend(); ++profile) {
        if (done.contains(profile.key()))
            continue;
        if (!out.isEmpty() && !out.last().trimmed().isEmpty())
            out << QString();
        out << sectionLines(profile.key(), profile.value(), document, 0, 0);
    }

    const QString lineEnd = document.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    const QByteArray after = (out.join(lineEnd) + lineEnd).toUtf8();
    try {
        const BoardConfig check = parseBoardConfig(after, path);
        for (auto profile = profiles.cbegin(); profile != profiles.cend(); ++profile) {
            if (check.profiles.value(profile.key()) != profile.value())
                throw Error(tr("sensor %1's profile would not read back as it is.").arg(profile.key()));
        }
    } catch (const Error& error) {
        throw Error(tr("Did not save the sensors' profiles in %1: %2").arg(path, error.message()));
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(after) != after.size() || !file.commit())
        throw Error(tr("Could not save the sensors' profiles in %1: %2. The file is as it was.")
                        .arg(path, file.errorString()));
}

QString readPasswordFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(tr("Could not read the password file %1: %2.").arg(path, file.errorString()));
    if (file.permissions() & QFileDevice::ReadOther)
        throw Error(tr("The password file %1 can be read by every user of this computer. Make it private "
                       "with chmod 600 %1, owned by the user the program runs as.")
                        .arg(path));
    QByteArray line = file.readLine();
    if (file.error() != QFileDevice::NoError)
        throw Error(tr("Could not read the password file %1: %2.").arg(path, file.errorString()));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw Error(tr("The password file %1 has no password on its first line.").arg(path));
    return QString::fromUtf8(line);
}

std::optional<QString> credentialPassword()
{
    const QString folder = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (folder.isEmpty())
        return std::nullopt;
    const QString path = QDir(folder).filePath(QStringLiteral("mqtt_password"));
    if (!QFileInfo::exists(path))
        return std::nullopt;
    // No check of the file's mode: systemd makes it 0400, in a folder only the service's user may
    // enter, whoever owns the file it was loaded from.
    QFile file(path);
    const QString advice = tr("Check the LoadCredential=mqtt_password:FILE line of the service's unit.");
    if (!file.open(QIODevice::ReadOnly))
        throw Error(tr("Could not read the broker's password from systemd's credential %1: %2. %3")
                        .arg(path, file.errorString(), advice));
    QByteArray line = file.readLine();
    if (file.error() != QFileDevice::NoError)
        throw Error(tr("Could not read the broker's password from systemd's credential %1: %2. %3")
                        .arg(path, file.errorString(), advice));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw Error(tr("systemd's credential %1 has no password on its first line. %2").arg(path, advice));
    return QString::fromUtf8(line);
}

} // namespace calimbra
