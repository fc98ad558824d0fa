// SPDX-License-Identifier: MIT
#pragma once

#include "PortLink.h"
#include "VirtualClock.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QMap>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

// What a board does, for a test: its sensor-count reply, each sensor's reply (none: silent), and
// how long it takes to answer.
struct BoardScript
{
    QByteArray countReply = QByteArray("SN\xB0 =3 sens");
    QMap<int, QByteArray> replies; // by sensor; a sensor left out is silent
    QMap<int, int> delays;         // ms, by sensor; 0 for the count request
    int delay = 50;                // ms, for any other
    // As a board that works through its requests in turn: each reply its delay after the one
    // before it went out, rather than after its own request.
    bool oneAtATime = false;
    // Each temperature reply carries as its value the second its request came, so that a stale
    // reply (an answer to an earlier request) shows.
    bool stamped = false;
    // As the real port: an arrival is reported once the line has been quiet this long (0: at once),
    // or a little later than that while it never goes quiet.
    int quietGap = 0;
    std::optional<QString> openFailure; // the port cannot be opened
    int silentCountAfter = -1;          // count requests answered before the board falls silent
};
Q_DECLARE_METATYPE(BoardScript)

// A port to a scripted board on a virtual clock. Bytes the board sends land in the port's buffer
// and are announced as an arrival, as the real port does after its quiet gap. Like Qt's serial
// port, once its buffer has filled it takes nothing more from the line until it is read from:
// clearing the buffer does not start it again.
class FakeBoardLink : public calimbra::PortLink
{
public:
    static constexpr qsizetype kBufferLimit = 64 * 1024;

    FakeBoardLink(VirtualClock& clock, BoardScript script);
    ~FakeBoardLink() override;

    void Open() override;
    void Close() override;
    void ClearBuffer(bool input, bool output) override;
    qint64 InputCount() override;
    qint64 Read(std::span<char> into) override;
    qint64 Write(QByteArrayView bytes) override;

    // The line sends these bytes now (noise, a reply from nowhere).
    void send(const QByteArray& bytes);
    // The cable is pulled: the port closes and says so; the board answers again once reopened.
    void hangUp();

    BoardScript script;
    QByteArrayList requests;
    [[nodiscard]] qsizetype buffered() const { return buffer_.size(); }
    [[nodiscard]] qint64 bytesLost() const { return lost_; }

private:
    void deliver(const QByteArray& bytes);

    VirtualClock& clock_;
    bool open_ = false;
    bool stalled_ = false;
    QByteArray buffer_;
    QByteArray line_; // sent by the board, not yet taken by the port
    qint64 lost_ = 0;
    std::chrono::milliseconds busyUntil_{0}; // with oneAtATime: when the last reply queued goes out
    std::vector<std::unique_ptr<calimbra::Deadline>> replies_;
    std::unique_ptr<calimbra::Deadline> report_;
    std::optional<std::chrono::milliseconds> unreportedSince_;
};
