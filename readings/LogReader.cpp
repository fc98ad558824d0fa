// SPDX-License-Identifier: MIT
#include "LogReader.h"

#include "BoardProtocol.h"
#include "Text.h"

#include <QDir>

#include <charconv>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace calimbra {
namespace {

constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";
constexpr qint64 kMsPerDay = 24LL * 60 * 60 * 1000;
constexpr int kLongestNumber = 64;
constexpr qsizetype kShownLine = 80;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays.at(static_cast<std::size_t>(month - 1));
}

// Reads "2024-05-06T10:00:00.025+02:00" in two parts, the minute and the rest, so that a log's run
// of lines in the same minute reads its date and hour once.
class TimeReader
{
public:
    static constexpr qsizetype kMinuteLength = 16; // "2024-05-06T10:00"

    explicit TimeReader(QByteArrayView text) : at_(text.data()), end_(text.data() + text.size()) {}

    // The local time of the minute, in milliseconds since the epoch as if it were UTC.
    std::optional<qint64> minute()
    {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
        if (!number(4, year) || !expect('-') || !number(2, month) || !expect('-') || !number(2, day))
            return std::nullopt;
        if (at_ == end_ || (*at_ != 'T' && *at_ != ' '))
            return std::nullopt;
        ++at_;
        if (!number(2, hour) || !expect(':') || !number(2, minute))
            return std::nullopt;
        if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59)
            return std::nullopt;
        return daysFromCivil(year, month, day) * kMsPerDay + (hour * 60LL + minute) * 60'000;
    }

    // Seconds, their fraction and the offset, up to the end of the text.
    std::optional<LogTime> rest(qint64 localMinute)
    {
        int second = 0;
        if (at_ != end_ && *at_ == ':' && (++at_, !number(2, second)))
            return std::nullopt;
        int ms = 0;
        if (at_ != end_ && (*at_ == '.' || *at_ == ',')) {
            ++at_;
            int digits = 0;
            for (; at_ != end_ && isDigit(*at_); ++at_, ++digits) {
                if (digits < 3)
                    ms = ms * 10 + (*at_ - '0');
            }
            if (digits == 0)
                return std::nullopt;
            for (; digits < 3; ++digits)
                ms *= 10;
        }
        if (at_ == end_)
            return std::nullopt;
        int offset = 0;
        if (*at_ == 'Z') {
            ++at_;
        } else if (*at_ == '+' || *at_ == '-') {
            const int sign = *at_++ == '-' ? -1 : 1;
            int offsetHours = 0;
            int offsetMinutes = 0;
            if (!number(2, offsetHours))
                return std::nullopt;
            if (at_ != end_) {
                expect(':');
                if (!number(2, offsetMinutes))
                    return std::nullopt;
            }
            if (offsetHours > 23 || offsetMinutes > 59)
                return std::nullopt;
            offset = sign * (offsetHours * 3600 + offsetMinutes * 60);
        } else {
            return std::nullopt;
        }
        if (at_ != end_ || second > 59)
            return std::nullopt;
        return LogTime{localMinute + second * 1000LL + ms - offset * 1000LL, offset};
    }

private:
    bool number(int digits, int& out)
    {
        if (end_ - at_ < digits)
            return false;
        out = 0;
        for (int i = 0; i < digits; ++i) {
            if (!isDigit(at_[i]))
                return false;
            out = out * 10 + (at_[i] - '0');
        }
        at_ += digits;
        return true;
    }
    bool expect(char c)
    {
        if (at_ == end_ || *at_ != c)
            return false;
        ++at_;
        return true;
    }

    const char* at_;
    const char* end_;
};

// Any form QDateTime reads, for the times the hand reader leaves alone (those without an offset).
std::optional<LogTime> parseTimeByQt(QByteArrayView text)
{
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return LogTime{time.toMSecsSinceEpoch(), time.offsetFromUtc()};
}

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

std::optional<ReadError> readErrorNamed(QByteArrayView name)
{
    static constexpr std::array kErrors = {ReadError::Timeout, ReadError::Garbled, ReadError::NoValue,
                                           ReadError::PowerOn, ReadError::Disconnected};
    name = trimmed(name);
    for (const ReadError error : kErrors) {
        if (readErrorName(error).toLatin1() == name)
            return error;
    }
    return std::nullopt;
}

void appendUtf8(QByteArray& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The flat JSON objects the logs write, read without building a document: a value is handed over as
// the text it is written with, strings without their quotes and escapes undone only when they have
// any.
class JsonScanner
{
public:
    enum class Kind { String, Number, Null, Other };
    struct Value
    {
        Kind kind = Kind::Other;
        QByteArrayView text;
        bool escaped = false;
    };

    explicit JsonScanner(QByteArrayView line) : at_(line.data()), end_(line.data() + line.size()) {}

    bool expect(char c)
    {
        skipSpace();
        if (at_ == end_ || *at_ != c)
            return false;
        ++at_;
        return true;
    }
    bool peek(char c)
    {
        skipSpace();
        return at_ != end_ && *at_ == c;
    }
    bool atEnd()
    {
        skipSpace();
        return at_ == end_;
    }

    bool string(Value& value)
    {
        skipSpace();
        if (at_ == end_ || *at_ != '"')
            return false;
        const char* begin = ++at_;
        bool escaped = false;
        while (at_ != end_ && *at_ != '"') {
            if (static_cast<unsigned char>(*at_) < 0x20)
                return false;
            if (*at_ == '\\') {
                escaped = true;
                if (++at_ == end_)
                    return false;
            }
            ++at_;
        }
        if (at_ == end_)
            return false;
        value = {Kind::String, QByteArrayView(begin, at_ - begin), escaped};
        ++at_;
        return true;
    }

    bool value(Value& value)
    {
        skipSpace();
        if (at_ == end_)
            return false;
        if (*at_ == '"')
            return string(value);
        if (*at_ == '{' || *at_ == '[')
            return skipNested(value);
        const char* begin = at_;
        while (at_ != end_ && *at_ != ',' && *at_ != '}' && *at_ != ']' && !isSpace(*at_))
            ++at_;
        const QByteArrayView word(begin, at_ - begin);
        if (word.isEmpty())
            return false;
        if (word == "null")
            value = {Kind::Null, word, false};
        else if (word == "true" || word == "false")
            value = {Kind::Other, word, false};
        else if (isDigit(word.front()) || word.front() == '-')
            value = {Kind::Number, word, false};
        else
            return false;
        return true;
    }

    // The text of a string value with its escapes undone.
    static bool unescape(QByteArrayView text, QByteArray& out)
    {
        out.clear();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != '\\') {
                out += text[i];
                continue;
            }
            if (++i == text.size())
                return false;
            switch (text[i]) {
            case '"':
            case '\\':
            case '/':
                out += text[i];
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                const auto unit = hex4(text, i + 1);
                if (!unit)
                    return false;
                i += 4;
                char32_t code = *unit;
                if (code >= 0xD800 && code < 0xDC00 && i + 6 < text.size() && text[i + 1] == '\\' &&
                    text[i + 2] == 'u') {
                    const auto low = hex4(text, i + 3);
                    if (low && *low >= 0xDC00 && *low < 0xE000) {
                        code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                        i += 6;
                    }
                }
                if (code >= 0xD800 && code < 0xE000)
                    code = 0xFFFD;
                appendUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return true;
    }

private:
    void skipSpace()
    {
        while (at_ != end_ && (isSpace(*at_) || *at_ == '\r'))
            ++at_;
    }

    static std::optional<char32_t> hex4(QByteArrayView text, qsizetype from)
    {
        if (from + 4 > text.size())
            return std::nullopt;
        char32_t code = 0;
        for (qsizetype i = from; i < from + 4; ++i) {
            const char c = text[i];
            const int digit = isDigit(c)             ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return std::nullopt;
            code = code * 16 + static_cast<char32_t>(digit);
        }
        return code;
    }

    bool skipNested(Value& value)
    {
        const char* begin = at_;
        int depth = 0;
        while (at_ != end_) {
            const char c = *at_;
            if (c == '"') {
                Value ignored;
                if (!string(ignored))
                    return false;
                continue;
            }
            ++at_;
            if (c == '{' || c == '[')
                ++depth;
            else if ((c == '}' || c == ']') && --depth == 0)
                break;
        }
        if (depth != 0)
            return false;
        value = {Kind::Other, QByteArrayView(begin, at_ - begin), false};
        return true;
    }

    const char* at_;
    const char* end_;
};

} // namespace

std::optional<LogTime> parseLogTime(QByteArrayView text)
{
    TimeReader reader(text);
    const auto minute = reader.minute();
    return minute ? reader.rest(*minute) : std::nullopt;
}

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
    constexpr qsizetype kMinute = TimeReader::kMinuteLength;
    if (lastMinute_ && text.size() > kMinute && QByteArrayView(lastMinuteText_) == text.first(kMinute)) {
        TimeReader reader(text.sliced(kMinute));
        if (const auto time = reader.rest(*lastMinute_))
            return time;
    }
    TimeReader reader(text);
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
            record.error = readErrorNamed(field);
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

bool LogParser::parseJson(QByteArrayView line, LogRecord& record)
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
            record.error = readErrorNamed(value.text);
        }
        if (!scanner.expect(','))
            break;
    }
    return scanner.expect('}') && scanner.atEnd() && time && sensor;
}

LogReader::LogReader(const QString& path, LogParser::Handler handler, QObject* parent)
    : QObject(parent), path_(path), parser_(std::move(handler))
{
    sliceTimer_.setSingleShot(true);
    sliceTimer_.setInterval(0);
    connect(&sliceTimer_, &QTimer::timeout, this, &LogReader::readSlice);
    pollTimer_.setInterval(kPollInterval);
    connect(&pollTimer_, &QTimer::timeout, this, &LogReader::look);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LogReader::look);
}

LogReader::~LogReader() = default;

void LogReader::start()
{
    stopped_ = false;
    if (!reopen())
        return;
    sliceTimer_.start();
    pollTimer_.start();
}

bool LogReader::reopen()
{
    file_.close();
    file_.setFileName(path_);
    offset_ = 0;
    caughtUp_ = false;
    parser_.reset();
    if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(tr("Could not open the log %1: %2.").arg(QDir::toNativeSeparators(path_), file_.errorString()));
        return false;
    }
    struct stat status = {};
    if (::fstat(file_.handle(), &status) != 0 || !S_ISREG(status.st_mode)) {
        fail(tr("%1 is not a file that a log can be read from.").arg(QDir::toNativeSeparators(path_)));
        return false;
    }
    inode_ = status.st_ino;
    if (!watcher_.files().contains(path_))
        watcher_.addPath(path_);
    return true;
}

void LogReader::readSlice()
{
    if (stopped_)
        return;
    buffer_.resize(kSlice);
    const qint64 read = file_.read(buffer_.data(), kSlice);
    if (read < 0) {
        fail(tr("Could not read the log %1: %2.").arg(QDir::toNativeSeparators(path_), file_.errorString()));
        return;
    }
    offset_ += read;
    parser_.feed(QByteArrayView(buffer_.constData(), read));
    if (parser_.verdict() == LogParser::Verdict::NotALog) {
        fail(tr("%1 is not a Calimbra log: its line “%2” is neither the CSV header time,sensor,celsius,reply "
                "nor a reading in CSV or JSON Lines. Open a file written by calimbra-cli log or by the "
                "monitor's record.")
                 .arg(QDir::toNativeSeparators(path_), parser_.rejectedLine()));
        return;
    }
    emit progress(offset_, std::max(offset_, file_.size()));
    if (read == kSlice) {
        sliceTimer_.start();
        return;
    }
    caughtUp_ = true;
    emit caughtUp();
}

void LogReader::look()
{
    if (stopped_)
        return;
    // A file replaced by a rename is no longer watched under its name.
    if (!watcher_.files().contains(path_) && QFile::exists(path_))
        watcher_.addPath(path_);
    struct stat status = {};
    if (::stat(QFile::encodeName(path_).constData(), &status) != 0)
        return; // gone for now: what was read stays, and it is looked for again
    if (status.st_ino != inode_ || status.st_size < offset_) {
        if (reopen()) {
            emit restarted();
            sliceTimer_.start();
        }
        return;
    }
    if (status.st_size > offset_ && !sliceTimer_.isActive()) {
        caughtUp_ = false;
        sliceTimer_.start();
    }
}

void LogReader::fail(const QString& message)
{
    stopped_ = true;
    sliceTimer_.stop();
    pollTimer_.stop();
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    file_.close();
    emit failed(message);
}

QString LogReader::skippedLinesMessage() const
{
    const qint64 bad = parser_.badLines();
    if (bad == 0)
        return {};
    return tr("Lines of %1 that are not readings were skipped, %2 in all; the first is line %3.")
        .arg(QDir::toNativeSeparators(path_))
        .arg(bad)
        .arg(parser_.firstBadLine());
}

} // namespace calimbra
