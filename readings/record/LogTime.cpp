// SPDX-License-Identifier: MIT
#include "LogTime.h"

#include "Ascii.h"

#include <QDateTime>
#include <QString>

#include <array>

namespace calimbra {
namespace {

using ascii::isDigit;

constexpr qint64 kMsPerDay = 24LL * 60 * 60 * 1000;

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

} // namespace

std::optional<qint64> LogTimeReader::minute()
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

std::optional<LogTime> LogTimeReader::rest(qint64 localMinute)
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

bool LogTimeReader::number(int digits, int& out)
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

bool LogTimeReader::expect(char c)
{
    if (at_ == end_ || *at_ != c)
        return false;
    ++at_;
    return true;
}

std::optional<LogTime> parseLogTime(QByteArrayView text)
{
    LogTimeReader reader(text);
    const auto minute = reader.minute();
    return minute ? reader.rest(*minute) : std::nullopt;
}

std::optional<LogTime> parseTimeByQt(QByteArrayView text)
{
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return LogTime{time.toMSecsSinceEpoch(), time.offsetFromUtc()};
}

} // namespace calimbra
