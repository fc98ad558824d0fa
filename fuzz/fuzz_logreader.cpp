// SPDX-License-Identifier: MIT
// libFuzzer target for reading a log back: any file content, fed in two pieces split where the
// input says, as a file growing while it is read arrives. The monitor opens files from anywhere;
// whatever they hold may cost a skipped line, never a crash or a reading read past the buffer.
// The same bytes are also judged as a board's replies, as a logger's conversation reads them.

#include "LogReader.h"
#include "Replies.h"

#include <QByteArrayView>

#include <cstdint>
#include <cstdlib>

using namespace calimbra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    const qsizetype split = std::min<qsizetype>(data[0] * 4, bytes.size());

    qint64 records = 0;
    LogParser parser([&records](const LogRecord& record) {
        // Every record handed over becomes a reading without reaching outside what was fed.
        const Reading reading = toReading(record);
        if (reading.sensor < 1 || reading.sensor > 9)
            std::abort();
        ++records;
    });
    parser.feed(bytes.first(split));
    parser.feed(bytes.sliced(split));
    if (parser.readings() != records || parser.pendingBytes() > LogParser::kLongestLine)
        std::abort();

    for (const QByteArray& reply : splitReplies(bytes)) {
        const TemperatureAnswer answer =
            judgeTemperature(namedSensor(reply).value_or(1), reply, reply.size() >= kLongestReply);
        if (answer.celsius && answer.error)
            std::abort();
        if (const auto count = judgeCount(reply);
            count && count->count && (*count->count < 0 || *count->count > 9))
            std::abort();
    }
    return 0;
}
