// SPDX-License-Identifier: MIT
// libFuzzer target for the receive step: arbitrary pending bytes behind an arbitrary reported
// count. Checks that the step never reaches past its 16-byte buffer (ASan cannot see that inside
// a struct) and that its outcome follows the reply rules.

#include "Cp1252.h"
#include "PortIo.h"
#include "Protocol.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace calimbra;

namespace {

[[noreturn]] void violated(const char* rule)
{
    std::fprintf(stderr, "receive step broke a rule: %s\n", rule);
    std::abort();
}

void require(bool holds, const char* rule)
{
    if (!holds)
        violated(rule);
}

// The buffer as the step sees it, with guard bytes right after it in the same object.
struct Guarded
{
    ReceiveBuffer buffer;
    std::array<unsigned char, 32> guard;
};
constexpr unsigned char kGuard = 0xA5;

class FuzzPort : public PortIo
{
public:
    FuzzPort(QByteArray pending, qint64 reported, const ReceiveBuffer& buffer)
        : pending_(std::move(pending)), reported_(reported), buffer_(buffer)
    {}

    void Open() override { violated("opened the port"); }
    void Close() override { violated("closed the port"); }
    void ClearBuffer(bool, bool) override { violated("cleared the port"); }
    qint64 Write(QByteArrayView) override { violated("wrote to the port"); }
    qint64 InputCount() override { return reported_; }
    qint64 Read(std::span<char> into) override
    {
        const char* begin = buffer_.data();
        require(into.data() >= begin && into.data() + into.size() <= begin + buffer_.size(),
                "read outside the 16-byte buffer");
        totalAsked_ += static_cast<qint64>(into.size());
        require(totalAsked_ <= reported_, "asked for more than InputCount reported");
        const auto count = std::min<qsizetype>(static_cast<qsizetype>(into.size()), pending_.size());
        std::memcpy(into.data(), pending_.constData(), static_cast<std::size_t>(count));
        pending_.remove(0, count);
        ++reads_;
        return count;
    }

    qint64 totalAsked() const { return totalAsked_; }
    int reads() const { return reads_; }

private:
    QByteArray pending_;
    qint64 reported_;
    const ReceiveBuffer& buffer_;
    qint64 totalAsked_ = 0;
    int reads_ = 0;
};

QString expectedText(const QByteArray& judged)
{
    const qsizetype zero = judged.indexOf('\0');
    return fromCp1252(zero < 0 ? judged : judged.left(zero));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Two bytes of reported count, then the bytes actually waiting (a driver may report more or
    // fewer than it then delivers).
    const qint64 reported = data[0] | (data[1] << 8);
    const QByteArray pending(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    Guarded guarded{};
    guarded.guard.fill(kGuard);
    FuzzPort port(pending, reported, guarded.buffer);
    const ReceiveOutcome outcome = receiveStep(port, guarded.buffer);
    require(
        std::all_of(guarded.guard.begin(), guarded.guard.end(), [](unsigned char b) { return b == kGuard; }),
        "wrote past the buffer");

    const auto byteAt = [&](qsizetype at) {
        return at < pending.size() ? static_cast<unsigned char>(pending[at]) : 0;
    };
    if (reported >= 7 && reported <= 12) {
        require(port.totalAsked() == reported && port.reads() == 1, "a sensor-count candidate is read whole");
        const bool isCount = byteAt(1) == 'N' && byteAt(2) == 0xB0;
        require(isCount == std::holds_alternative<SensorCountReply>(outcome),
                "sensor-count reply recognised");
        require(!std::holds_alternative<TemperatureReply>(outcome), "no temperature at sensor-count length");
        if (isCount) {
            const auto& reply = std::get<SensorCountReply>(outcome);
            require(reply.text == expectedText(pending.left(reported)), "sensor-count text");
            const unsigned char digit = byteAt(5);
            const bool counted = digit >= '1' && digit <= '9';
            require(reply.count.has_value() == counted, "count present only for a digit 1 to 9");
            require(!counted || *reply.count == digit - '0', "count value");
        }
    } else if (reported >= 14) {
        require(port.totalAsked() == reported, "everything pending is consumed");
        const bool isTemperature = byteAt(0) == 'T';
        require(isTemperature == std::holds_alternative<TemperatureReply>(outcome), "temperature recognised");
        if (isTemperature) {
            require(std::get<TemperatureReply>(outcome).text ==
                        expectedText(pending.left(std::min<qint64>(reported, 15))),
                    "temperature text");
            require(std::get<TemperatureReply>(outcome).text.size() <= 15, "at most 15 characters shown");
        }
    } else {
        require(port.reads() == 0, "13 or 6 and fewer bytes stay pending");
        require(std::holds_alternative<std::monostate>(outcome), "nothing from too few bytes");
    }
    return 0;
}
