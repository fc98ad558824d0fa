// SPDX-License-Identifier: MIT
#pragma once

#include "LogTime.h"
#include "Reading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace calimbra {

// One reading read back from a log. The texts point into the reader's buffer and hold only during
// the call that hands the record over.
struct LogRecord
{
    LogTime time;
    std::optional<LogTime> roundStart; // JSON Lines only
    int sensor = 0;
    std::optional<double> celsius;
    std::optional<ReadError> error;
    int decimals = 0;     // digits after the decimal mark of the value as written
    QByteArrayView reply; // UTF-8
    QByteArrayView name;  // UTF-8; empty when the log has none
    qint64 line = 0;      // from 1
};

[[nodiscard]] Reading toReading(const LogRecord& record);

// Reads the lines of a log written by calimbra-cli log or the monitor's record as its bytes come,
// whole lines only: a line still being written waits for its end. The first line that is not blank
// decides whether the bytes are a log at all. After it each line is judged on its own, so that a
// file two loggers appended to in different formats reads whole: a line beginning with '{' is a
// JSON object; a CSV header (time,sensor,celsius[,reply][,name][,error] in any order, separated by
// commas or by semicolons as spreadsheets with a decimal comma save it) sets the columns of the CSV
// lines after it; any other line is CSV in the columns last set (time,sensor,celsius,reply,name
// before any header). A value may have a decimal comma (quoted, in a semicolon file, or in a JSON
// string); an empty value or null is a reading without one. Lines ending in CRLF and a UTF-8 byte
// order mark read as if they were not there. Lines that are not readings are skipped and counted.
class LogParser
{
public:
    using Handler = std::function<void(const LogRecord&)>;
    enum class Verdict {
        Undecided, // no whole line yet
        Log,
        NotALog, // nothing more is read
    };

    explicit LogParser(Handler handler);

    void feed(QByteArrayView bytes);
    // Forgets everything read, as if nothing had been fed yet.
    void reset();

    [[nodiscard]] Verdict verdict() const { return verdict_; }
    [[nodiscard]] qint64 readings() const { return readings_; }
    [[nodiscard]] qint64 badLines() const { return badLines_; }
    [[nodiscard]] qint64 firstBadLine() const { return firstBadLine_; }
    // Bytes of a line whose end has not come yet.
    [[nodiscard]] qsizetype pendingBytes() const { return pending_.size(); }
    [[nodiscard]] bool sawCsv() const { return sawCsv_; }
    [[nodiscard]] bool sawJson() const { return sawJson_; }
    // The beginning of the line that made the verdict NotALog, printable.
    [[nodiscard]] QString rejectedLine() const { return rejectedLine_; }

    // One reading as a JSON object, read as a line of a JSON Lines log is (the service's MQTT
    // messages carry the same object, see readingJson()); nothing when it is not one. A `sensor`
    // given stands for one the object does not name. Nothing is counted.
    [[nodiscard]] std::optional<Reading> readingFromJson(QByteArrayView json, int sensor = 0);

    // Longer lines are no readings; their bytes are not kept while they last.
    static constexpr qsizetype kLongestLine = 64 * 1024;

private:
    static constexpr int kMaxColumns = 16;
    enum class Column { Other, Time, Sensor, Celsius, Reply, Name, Error, Round };

    void takeLine(QByteArrayView line);
    [[nodiscard]] std::optional<LogTime> parseTime(QByteArrayView text);
    [[nodiscard]] bool isHeader(QByteArrayView line);
    [[nodiscard]] bool parseCsv(QByteArrayView line, char separator, LogRecord& record);
    [[nodiscard]] bool parseJson(QByteArrayView line, LogRecord& record, bool sensorGiven = false);
    void countBad();

    Handler handler_;
    Verdict verdict_ = Verdict::Undecided;
    QByteArray pending_;
    bool skippingLongLine_ = false;
    qint64 line_ = 0;
    qint64 readings_ = 0;
    qint64 badLines_ = 0;
    qint64 firstBadLine_ = 0;
    bool sawCsv_ = false;
    bool sawJson_ = false;
    QString rejectedLine_;

    char separator_ = ',';
    bool separatorFromHeader_ = false;
    std::array<Column, kMaxColumns> columns_{};
    std::array<QByteArray, kMaxColumns> unquoted_; // quoted fields with doubled quotes, undone
    std::optional<qint64> lastMinute_;             // of the last time read by hand, and its text
    QByteArray lastMinuteText_;
    QByteArray jsonReply_;
    QByteArray jsonName_;
};

} // namespace calimbra
