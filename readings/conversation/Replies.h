// SPDX-License-Identifier: MIT
#pragma once

#include "Reading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace calimbra {

// How a logger reads the board's replies. The panel judges a reply by its length and a few fixed
// bytes of a 15-byte buffer; a logger takes all that arrived up to the line's quiet gap, so that no
// reply is cut or mistaken for noise by its length, and checks which sensor a reply names.

// A board's reply is 11 to 15 bytes; anything up to this is kept whole, the rest of a longer piece
// (up to where the next reply begins) is read and dropped, and what was kept counts as garbled.
inline constexpr qsizetype kLongestReply = 256;

// Whether a reply begins at the first of these bytes (up to three are looked at).
[[nodiscard]] bool beginsReply(QByteArrayView bytes);

// What arrived at once, split where a reply begins: a temperature reply ("T" and a digit, the
// sensor asked, or "T =") or a sensor-count reply ("N" and the degree sign at its bytes 1 and 2), so that a
// late reply and the one awaited arriving together are told apart, and a reply after noise is found.
[[nodiscard]] QList<QByteArray> splitReplies(QByteArrayView bytes);

// splitReplies as the bytes are read, for a burst of any size: each piece is handed over once the
// next begins (or at finish), with at most kLongestReply of its bytes and whether it was longer.
class ReplySplitter
{
public:
    template <typename Take>
    void feed(QByteArrayView bytes, Take&& take)
    {
        for (const char byte : bytes) {
            held_.append(byte);
            if (held_.size() == kLookahead)
                step(take);
        }
    }

    // The bytes held back for a look ahead, and the last piece.
    template <typename Take>
    void finish(Take&& take)
    {
        while (!held_.isEmpty())
            step(take);
        if (!piece_.isEmpty() || cut_)
            take(std::exchange(piece_, {}), std::exchange(cut_, false));
    }

private:
    static constexpr qsizetype kLookahead = 3;

    template <typename Take>
    void step(Take& take)
    {
        if (beginsReply(held_) && (!piece_.isEmpty() || cut_))
            take(std::exchange(piece_, {}), std::exchange(cut_, false));
        if (piece_.size() < kLongestReply)
            piece_.append(held_.front());
        else
            cut_ = true;
        held_.remove(0, 1);
    }

    QByteArray piece_;
    bool cut_ = false;
    QByteArray held_;
};

// A temperature reply: "T" and the digit of the sensor it answers, or "T = " naming none (taken as
// the awaited sensor's, as the board's firmware may send). A "T" before anything else is noise (a
// run of them most of all), never the reply awaited.
[[nodiscard]] bool isTemperatureReply(QByteArrayView reply);

// The sensor a temperature reply names: "T3 = ..." names 3; what is no temperature reply, none.
[[nodiscard]] std::optional<int> namedSensor(QByteArrayView reply);

struct TemperatureAnswer
{
    int sensor{};
    QString text;                   // the reply; control bytes escaped when garbled
    std::optional<double> celsius;  // absent when the reply carries no number or is garbled
    int decimals{};                 // digits after the decimal mark of that number
    std::optional<ReadError> error; // Garbled, NoValue, or none
};

// A temperature reply read for `sensor`: its text and value. A reply with bytes after a zero byte,
// or one cut at kLongestReply (`cut`), is garbled: no value, its text shown escaped. Zero bytes at the
// end are the firmware's string end and are dropped.
[[nodiscard]] TemperatureAnswer judgeTemperature(int sensor, QByteArrayView reply, bool cut = false);
// The reading an answer is, before its time and profile are given to it.
[[nodiscard]] Reading readingOf(const TemperatureAnswer& answer);

struct CountAnswer
{
    QString text;
    std::optional<int> count; // 0 to 9; absent when the number after "=" is missing or out of range
};

// What to say of a sensor-count reply without a count, and of one counting no sensor.
[[nodiscard]] QString noCountMessage(const CountAnswer& answer);
[[nodiscard]] QString noSensorsMessage(const CountAnswer& answer);

// A sensor-count reply ("SN° =4 sens"): the whole number after the first "=". Nothing when the
// bytes are not such a reply at all (no "=", or a temperature reply).
[[nodiscard]] std::optional<CountAnswer> judgeCount(QByteArrayView reply);

} // namespace calimbra
