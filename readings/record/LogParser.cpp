// SPDX-License-Identifier: MIT
#include "LogParser.h"

#include "Ascii.h"
#include "BoardProtocol.h"
#include "JsonScanner.h"
#include "Text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace calimbra {
namespace {

using ascii::isDigit;
using ascii::trimmed;

constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kLongestNumber = 64;
constexpr qsizetype kShownLine = 80;

// A number with a decimal point or comma; empty is a reading without a value (the outer optional
// says whether the text is a number at all).
std::optional<std::optional<double>> parseCelsius(QByteArrayView text)
{
    text = trimmed(text);
    if (text.isEmpty())
        return std::optional<double>();
    if (text.front() == '+')
        text = text.sliced(1);
    if (text.isEmpty() || text.size() > kLongestNumber)
        return std::nullopt;
    std::array<char, kLongestNumber> copy{};
    const char* begin = text.data();
    if (text.contains(',')) {
        for (qsizetype i = 0; i < text.size(); ++i)
            copy.at(static_cast<std::size_t>(i)) = text[i] == ',' ? '.' : text[i];
        begin = copy.data();
    }
    const char* end = begin + text.size();
    double value = 0;
    const auto [at, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || at != end || !std::isfinite(value))
        return std::nullopt;
    return std::optional<double>(value);
}

int decimalsWritten(QByteArrayView number)
{
    qsizetype mark = number.indexOf('.');
    if (mark < 0)
        mark = number.indexOf(',');
    int digits = 0;
    for (qsizetype at = mark + 1; mark >= 0 && at < number.size() && isDigit(number[at]); ++at)
        ++digits;
    return digits;
}

std::optional<int> parseSensor(QByteArrayView text)
{
    text = trimmed(text);
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int sensor = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        sensor = sensor * 10 + (c - '0');
    }
    if (sensor < 1 || sensor > board::kMaxSensors)
        return std::nullopt;
    return sensor;
}

} // namespace

Reading toReading(const LogRecord& record)
{
    Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(record.time.ms, Qt::OffsetFromUTC, record.time.utcOffset);
    if (record.roundStart) {
        reading.roundStart = QDateTime::fromMSecsSinceEpoch(record.roundStart->ms, Qt::OffsetFromUTC,
                                                            record.roundStart->utcOffset);
    }
    reading.sensor = record.sensor;
    reading.name = QString::fromUtf8(record.name);
    reading.text = QString::fromUtf8(record.reply);
    reading.celsius = record.celsius;
    reading.decimals = record.decimals;
    reading.error = record.error;
    return reading;
}

LogParser::LogParser(Handler handler) : handler_(std::move(handler))
{
    reset();
}

void LogParser::reset()
{
    verdict_ = Verdict::Undecided;
    pending_.clear();
    skippingLongLine_ = false;
    line_ = readings_ = badLines_ = firstBadLine_ = 0;
    sawCsv_ = sawJson_ = false;
    rejectedLine_.clear();
    separator_ = ',';
    separatorFromHeader_ = false;
    lastMinute_.reset();
    columns_.fill(Column::Other);
    columns_[0] = Column::Time;
    columns_[1] = Column::Sensor;
    columns_[2] = Column::Celsius;
    columns_[3] = Column::Reply;
    columns_[4] = Column::Name;
}

void LogParser::feed(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && verdict_ != Verdict::NotALog) {
        const auto* newline = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
        if (!newline) {
            if (!skippingLongLine_ && pending_.size() + bytes.size() > kLongestLine) {
                skippingLongLine_ = true;
                pending_.clear();
            }
            if (!skippingLongLine_)
                pending_.append(bytes);
            return;
        }
        const QByteArrayView line(bytes.data(), newline - bytes.data());
        bytes = bytes.sliced(line.size() + 1);
        if (skippingLongLine_ || pending_.size() + line.size() > kLongestLine) {
            skippingLongLine_ = false;
            pending_.clear();
            ++line_;
            if (verdict_ == Verdict::Undecided) {
                verdict_ = Verdict::NotALog;
                rejectedLine_ = printable(QString::fromUtf8(line.first(std::min(line.size(), kShownLine)))) +
                                QStringLiteral("…");
                return;
            }
            countBad();
            continue;
        }
        if (pending_.isEmpty()) {
            takeLine(line);
            continue;
        }
        pending_.append(line);
        const QByteArray whole = std::exchange(pending_, QByteArray());
        takeLine(whole);
    }
}

void LogParser::countBad()
{
    if (badLines_++ == 0)
        firstBadLine_ = line_;
}

void LogParser::takeLine(QByteArrayView line)
{
    ++line_;
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith(kByteOrderMark))
        line = line.sliced(kByteOrderMark.size());
    if (trimmed(line).isEmpty())
        return;

    LogRecord record;
    record.line = line_;
    bool read = false;
    if (line.front() == '{') {
        read = parseJson(line, record);
        sawJson_ = sawJson_ || read;
    } else if (!isDigit(line.front()) && isHeader(line)) {
        if (verdict_ == Verdict::Undecided)
            verdict_ = Verdict::Log;
        return;
    } else {
        read = parseCsv(line, separator_, record);
        // Without a header the first data line shows which separator the file uses.
        const char other = separator_ == ',' ? ';' : ',';
        if (!read && !separatorFromHeader_ && line.contains(other)) {
            record = LogRecord{};
            record.line = line_;
            read = parseCsv(line, other, record);
            if (read)
                separator_ = other;
        }
        sawCsv_ = sawCsv_ || read;
    }
    if (verdict_ == Verdict::Undecided) {
        if (!read || line.contains('\0')) {
            verdict_ = Verdict::NotALog;
            const QByteArrayView shown = line.first(std::min(line.size(), kShownLine));
            rejectedLine_ = printable(QString::fromUtf8(shown)) +
                            (shown.size() < line.size() ? QStringLiteral("…") : QString());
            return;
        }
        verdict_ = Verdict::Log;
    }
    if (!read) {
        countBad();
        return;
    }
    ++readings_;
    handler_(record);
}

std::optional<LogTime> LogParser::parseTime(QByteArrayView text)
{
    constexpr qsizetype kMinute = LogTimeReader::kMinuteLength;
    if (lastMinute_ && text.size() > kMinute && QByteArrayView(lastMinuteText_) == text.first(kMinute)) {
        LogTimeReader reader(text.sliced(kMinute));
        if (const auto time = reader.rest(*lastMinute_))
            return time;
    }
    LogTimeReader reader(text);
    if (const auto minute = reader.minute()) {
        if (const auto time = reader.rest(*minute)) {
            lastMinute_ = minute;
            lastMinuteText_ = text.first(kMinute).toByteArray();
            return time;
        }
    }
    return parseTimeByQt(text);
}

bool LogParser::isHeader(QByteArrayView line)
{
    const char separator = line.contains(';') && !line.contains(',') ? ';' : ',';
    std::array<Column, kMaxColumns> columns{};
    columns.fill(Column::Other);
    int index = 0;
    bool time = false;
    bool sensor = false;
    bool celsius = false;
    for (qsizetype from = 0; from <= line.size(); ++index) {
        if (index == kMaxColumns)
            return false;
        qsizetype to = line.indexOf(separator, from);
        if (to < 0)
            to = line.size();
        QByteArrayView name = trimmed(line.sliced(from, to - from));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.sliced(1, name.size() - 2);
        static const std::array<std::pair<QByteArrayView, Column>, 7> kNames = {{
            {"time", Column::Time},
            {"sensor", Column::Sensor},
            {"celsius", Column::Celsius},
            {"reply", Column::Reply},
            {"name", Column::Name},
            {"error", Column::Error},
            {"round", Column::Round},
        }};
        const QByteArray lower = name.toByteArray().toLower();
        for (const auto& [known, column] : kNames) {
            if (lower == known)
                columns.at(static_cast<std::size_t>(index)) = column;
        }
        time = time || columns.at(static_cast<std::size_t>(index)) == Column::Time;
        sensor = sensor || columns.at(static_cast<std::size_t>(index)) == Column::Sensor;
        celsius = celsius || columns.at(static_cast<std::size_t>(index)) == Column::Celsius;
        from = to + 1;
    }
    if (!time || !sensor || !celsius)
        return false;
    columns_ = columns;
    separator_ = separator;
    separatorFromHeader_ = true;
    return true;
}

bool LogParser::parseCsv(QByteArrayView line, char separator, LogRecord& record)
{
    std::array<QByteArrayView, kMaxColumns> fields;
    int count = 0;
    const char* at = line.data();
    const char* const end = at + line.size();
    for (;;) {
        if (count == kMaxColumns)
            return false;
        const auto field = static_cast<std::size_t>(count);
        if (at != end && *at == '"') {
            const char* begin = ++at;
            bool doubled = false;
            for (;;) {
                const auto* quote = static_cast<const char*>(std::memchr(at, '"', end - at));
                if (!quote)
                    return false;
                if (quote + 1 != end && quote[1] == '"') {
                    doubled = true;
                    at = quote + 2;
                    continue;
                }
                if (doubled) {
                    QByteArray& unquoted = unquoted_.at(field);
                    unquoted = QByteArray(begin, quote - begin).replace("\"\"", "\"");
                    fields.at(field) = unquoted;
                } else {
                    fields.at(field) = QByteArrayView(begin, quote - begin);
                }
                at = quote + 1;
                break;
            }
            ++count;
            if (at == end)
                break;
            if (*at != separator)
                return false;
            ++at;
            continue;
        }
        const auto* next = static_cast<const char*>(std::memchr(at, separator, end - at));
        fields.at(field) = QByteArrayView(at, (next ? next : end) - at);
        ++count;
        if (!next)
            break;
        at = next + 1;
    }

    bool time = false;
    bool sensor = false;
    bool celsius = false;
    for (int i = 0; i < count; ++i) {
        const QByteArrayView field = fields.at(static_cast<std::size_t>(i));
        switch (columns_.at(static_cast<std::size_t>(i))) {
        case Column::Time: {
            const auto parsed = parseTime(field);
            if (!parsed)
                return false;
            record.time = *parsed;
            time = true;
            break;
        }
        case Column::Sensor: {
            const auto parsed = parseSensor(field);
            if (!parsed)
                return false;
            record.sensor = *parsed;
            sensor = true;
            break;
        }
        case Column::Celsius: {
            const auto parsed = parseCelsius(field);
            if (!parsed)
                return false;
            record.celsius = *parsed;
            record.decimals = decimalsWritten(field);
            celsius = true;
            break;
        }
        case Column::Reply:
            record.reply = field;
            break;
        case Column::Name:
            record.name = field;
            break;
        case Column::Error:
            record.error = readErrorFromName(field);
            break;
        case Column::Round:
            if (!trimmed(field).isEmpty())
                record.roundStart = parseTime(field);
            break;
        case Column::Other:
            break;
        }
    }
    return time && sensor && celsius;
}

std::optional<Reading> LogParser::readingFromJson(QByteArrayView json, int sensor)
{
    LogRecord record;
    record.sensor = sensor;
    if (json.isEmpty() || !parseJson(json, record, sensor != 0))
        return std::nullopt;
    return toReading(record);
}

bool LogParser::parseJson(QByteArrayView line, LogRecord& record, bool sensorGiven)
{
    JsonScanner scanner(line);
    if (!scanner.expect('{'))
        return false;
    bool time = false;
    bool sensor = false;
    QByteArray key;
    while (!scanner.peek('}')) {
        JsonScanner::Value name;
        JsonScanner::Value value;
        if (!scanner.string(name) || !scanner.expect(':') || !scanner.value(value))
            return false;
        QByteArrayView field = name.text;
        if (name.escaped) {
            if (!JsonScanner::unescape(name.text, key))
                return false;
            field = key;
        }
        const bool isString = value.kind == JsonScanner::Kind::String;
        const auto text = [&](QByteArray& buffer) -> std::optional<QByteArrayView> {
            if (!value.escaped)
                return value.text;
            if (!JsonScanner::unescape(value.text, buffer))
                return std::nullopt;
            return QByteArrayView(buffer);
        };
        if (field == "time") {
            const auto parsed = isString ? parseTime(value.text) : std::nullopt;
            if (!parsed)
                return false;
            record.time = *parsed;
            time = true;
        } else if (field == "round") {
            if (isString)
                record.roundStart = parseTime(value.text);
        } else if (field == "sensor") {
            const auto parsed =
                value.kind == JsonScanner::Kind::Null ? std::nullopt : parseSensor(value.text);
            if (!parsed)
                return false;
            record.sensor = *parsed;
            sensor = true;
        } else if (field == "celsius") {
            if (value.kind == JsonScanner::Kind::Null) {
                record.celsius.reset();
            } else {
                if (value.kind != JsonScanner::Kind::Number && !isString)
                    return false;
                const auto parsed = parseCelsius(value.text);
                if (!parsed)
                    return false;
                record.celsius = *parsed;
                record.decimals = decimalsWritten(value.text);
            }
        } else if (field == "reply" && isString) {
            const auto reply = text(jsonReply_);
            if (!reply)
                return false;
            record.reply = *reply;
        } else if (field == "name" && isString) {
            const auto named = text(jsonName_);
            if (!named)
                return false;
            record.name = *named;
        } else if (field == "error" && isString) {
            record.error = readErrorFromName(value.text);
        }
        if (!scanner.expect(','))
            break;
    }
    return scanner.expect('}') && scanner.atEnd() && time && (sensor || sensorGiven);
}

} // namespace calimbra
