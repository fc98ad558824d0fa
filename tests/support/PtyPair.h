// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

// The board's end of a real pseudo-terminal; the code under test opens slavePath() as its serial port.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] QString slavePath() const { return slavePath_; }
    [[nodiscard]] int masterFd() const { return master_; }

    void write(QByteArrayView bytes) const;
    // Everything that arrives until the line has been quiet for `quiet`, or `limit` has passed.
    [[nodiscard]] QByteArray read(std::chrono::milliseconds quiet = std::chrono::milliseconds{100},
                                  std::chrono::milliseconds limit = std::chrono::milliseconds{3000}) const;
    // The other side goes away, as a board whose cable is pulled.
    void hangUp();

    // Reads in the background, at most `chunk` bytes every `pause`, as a slow board does, until
    // stopReading() returns all it read.
    void startReading(std::size_t chunk, std::chrono::milliseconds pause);
    [[nodiscard]] QByteArray stopReading();

private:
    std::thread reader_;
    std::atomic<bool> reading_ = false;
    QByteArray readInBackground_;
    int master_ = -1;
    int heldSlave_ = -1;
    QString slavePath_;
};
