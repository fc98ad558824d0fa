// SPDX-License-Identifier: MIT
#include "PtyPair.h"

#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

using namespace std::chrono;

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        qFatal("cannot create a pseudo-terminal: %s", strerror(errno));
    char name[256];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        qFatal("ptsname_r failed");
    slavePath_ = QString::fromLocal8Bit(name);
    // Held open, raw, so that the line stays up between the port's opens, as a cabled board does.
    heldSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(heldSlave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(heldSlave_, TCSANOW, &raw);
}

PtyPair::~PtyPair()
{
    hangUp();
}

void PtyPair::write(QByteArrayView bytes) const
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(master_, data, static_cast<size_t>(left));
        if (written > 0) {
            data += written;
            left -= written;
        } else if (errno == EAGAIN || errno == EINTR) {
            pollfd writable{master_, POLLOUT, 0};
            ::poll(&writable, 1, 100);
        } else {
            return;
        }
    }
}

QByteArray PtyPair::read(milliseconds quiet, milliseconds limit) const
{
    QByteArray received;
    const auto end = steady_clock::now() + limit;
    while (steady_clock::now() < end) {
        const auto wait = std::min(quiet, duration_cast<milliseconds>(end - steady_clock::now()));
        pollfd readable{master_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(wait.count())) <= 0)
            break;
        char chunk[4096];
        const ssize_t count = ::read(master_, chunk, sizeof chunk);
        if (count <= 0)
            break;
        received.append(chunk, count);
    }
    return received;
}

void PtyPair::startReading(std::size_t chunk, milliseconds pause)
{
    reading_ = true;
    reader_ = std::thread([this, chunk, pause] {
        QByteArray buffer(static_cast<qsizetype>(chunk), Qt::Uninitialized);
        while (reading_) {
            pollfd readable{master_, POLLIN, 0};
            if (::poll(&readable, 1, 20) > 0) {
                const ssize_t count = ::read(master_, buffer.data(), chunk);
                if (count > 0)
                    readInBackground_.append(buffer.constData(), count);
            }
            std::this_thread::sleep_for(pause);
        }
    });
}

QByteArray PtyPair::stopReading()
{
    reading_ = false;
    if (reader_.joinable())
        reader_.join();
    return std::exchange(readInBackground_, {}) + read(milliseconds{50});
}

void PtyPair::hangUp()
{
    reading_ = false;
    if (reader_.joinable())
        reader_.join();
    if (heldSlave_ >= 0)
        ::close(heldSlave_);
    if (master_ >= 0)
        ::close(master_);
    heldSlave_ = master_ = -1;
}
