// SPDX-License-Identifier: MIT
#include "FakeBoardLink.h"

#include "ComError.h"

#include <cstring>

using namespace std::chrono;

namespace {

// "T2 = +12.75 °C" for a request made 12.75 s into the run.
QByteArray stampedReply(int sensor, milliseconds asked)
{
    return "T" + QByteArray::number(sensor) + " = +" +
           QByteArray::number(static_cast<double>(asked.count()) / 1000, 'f', 2) + " \xB0" + "C";
}

} // namespace

FakeBoardLink::FakeBoardLink(VirtualClock& clock, BoardScript boardScript)
    : script(std::move(boardScript)), clock_(clock), report_(clock.deadline([this] {
          unreportedSince_.reset();
          if (!buffer_.isEmpty())
              emit arrived();
      }))
{}

FakeBoardLink::~FakeBoardLink() = default;

void FakeBoardLink::Open()
{
    if (script.openFailure)
        throw calimbra::ComError(*script.openFailure);
    open_ = true;
}

void FakeBoardLink::Close()
{
    open_ = false;
    buffer_.clear();
    report_->stop();
    unreportedSince_.reset();
}

void FakeBoardLink::ClearBuffer(bool input, bool)
{
    if (input) {
        buffer_.clear();
        line_.clear();
        report_->stop();
        unreportedSince_.reset();
    }
}

qint64 FakeBoardLink::InputCount()
{
    return open_ ? buffer_.size() : 0;
}

qint64 FakeBoardLink::Read(std::span<char> into)
{
    const auto count = std::min<qsizetype>(static_cast<qsizetype>(into.size()), buffer_.size());
    std::memcpy(into.data(), buffer_.constData(), static_cast<std::size_t>(count));
    buffer_.remove(0, count);
    // Read from: a port whose buffer was full takes what waited on the line again.
    stalled_ = false;
    if (!line_.isEmpty())
        deliver(QByteArray());
    return count;
}

qint64 FakeBoardLink::Write(QByteArrayView bytes)
{
    if (!open_)
        throw calimbra::ComError(QStringLiteral("not open"));
    const QByteArray request = bytes.toByteArray();
    requests << request;
    std::optional<QByteArray> reply;
    int delay = script.delay;
    if (request == "&i") {
        if (script.silentCountAfter != 0)
            reply = script.countReply;
        if (script.silentCountAfter > 0)
            --script.silentCountAfter;
        delay = script.delays.value(0, script.delay);
    } else if (request.startsWith("&l=")) {
        const int sensor = request.mid(3).toInt();
        if (script.replies.contains(sensor))
            reply = script.stamped ? stampedReply(sensor, clock_.elapsed()) : script.replies.value(sensor);
        delay = script.delays.value(sensor, script.delay);
    }
    if (reply) {
        std::erase_if(replies_, [](const auto& pending) { return !pending->isActive(); });
        replies_.push_back(clock_.deadline([this, bytes = *reply] { send(bytes); }));
        milliseconds due = clock_.elapsed() + milliseconds{delay};
        if (script.oneAtATime) {
            due = std::max(due, busyUntil_ + milliseconds{delay});
            busyUntil_ = due;
        }
        replies_.back()->start(due - clock_.elapsed());
    }
    return bytes.size();
}

void FakeBoardLink::send(const QByteArray& bytes)
{
    if (!open_) {
        lost_ += bytes.size();
        return;
    }
    deliver(bytes);
}

void FakeBoardLink::deliver(const QByteArray& bytes)
{
    line_ += bytes;
    if (stalled_)
        return;
    const qsizetype room = std::max<qsizetype>(0, kBufferLimit - buffer_.size());
    const qsizetype taken = std::min(room, line_.size());
    buffer_ += line_.left(taken);
    line_.remove(0, taken);
    stalled_ = buffer_.size() >= kBufferLimit;
    if (taken <= 0)
        return;
    if (script.quietGap <= 0) {
        emit arrived();
        return;
    }
    const milliseconds now = clock_.elapsed();
    if (!unreportedSince_)
        unreportedSince_ = now;
    const milliseconds longest = *unreportedSince_ + milliseconds{10 * script.quietGap};
    report_->start(std::min(now + milliseconds{script.quietGap}, longest) - now);
}

void FakeBoardLink::hangUp()
{
    Close();
    emit lineFailed(QStringLiteral("hung up"));
}
