// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace calimbra {

// A moment as the logs write it: milliseconds since the epoch and the UTC offset it was written with.
struct LogTime
{
    qint64 ms = 0;
    int utcOffset = 0; // seconds east of UTC
};

// The fixed ISO 8601 form the logs write, "2024-05-06T10:00:00.025+02:00" (also Z, ±HHMM, no fraction,
// a space for the T), read by hand: a log holds millions of them. Nothing for any other form,
// including a time without an offset, which only the time zone database can place.
[[nodiscard]] std::optional<LogTime> parseLogTime(QByteArrayView text);

// Reads such a time in two parts, the minute and the rest, so that a log's run of lines in the same
// minute reads its date and hour once.
class LogTimeReader
{
public:
    static constexpr qsizetype kMinuteLength = 16; // "2024-05-06T10:00"

    explicit LogTimeReader(QByteArrayView text) : at_(text.data()), end_(text.data() + text.size()) {}

    // The local time of the minute, in milliseconds since the epoch as if it were UTC.
    [[nodiscard]] std::optional<qint64> minute();
    // Seconds, their fraction and the offset, up to the end of the text.
    [[nodiscard]] std::optional<LogTime> rest(qint64 localMinute);

private:
    bool number(int digits, int& out);
    bool expect(char c);

    const char* at_;
    const char* end_;
};

// A time in any form QDateTime reads, for those the hand reader leaves alone (without an offset).
[[nodiscard]] std::optional<LogTime> parseTimeByQt(QByteArrayView text);

} // namespace calimbra
