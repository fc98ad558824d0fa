// SPDX-License-Identifier: MIT
#include "TComPort.h"

#include "ComError.h"
#include "OpenFailure.h"
#include "PortAdvice.h"
#include "PortName.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

#include <algorithm>
#include <thread>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

using namespace std::chrono;
using calimbra::ComError;

namespace {

// These leave the device unusable until it is opened again; on Linux a hang-up arrives as ReadError.
bool isLineFailure(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

} // namespace

TComPort::TComPort(QObject* parent) : calimbra::PortLink(parent)
{
    port_.setReadBufferSize(kReadBufferLimit);
    reportTimer_.setSingleShot(true);
    reportTimer_.setTimerType(Qt::PreciseTimer);
    connect(&reportTimer_, &QTimer::timeout, this, &TComPort::reportArrival);
    connect(&port_, &QSerialPort::readyRead, this, &TComPort::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &TComPort::onErrorOccurred);
}

TComPort::~TComPort() = default;

void TComPort::setSettings(const calimbra::ComPortSettings& settings)
{
    if (settings == settings_)
        return;
    const bool wasOpen = isOpen();
    Close();
    settings_ = settings;
    if (wasOpen)
        Open();
}

void TComPort::setPortName(const QString& name)
{
    change(&calimbra::ComPortSettings::portName, name);
}

void TComPort::setBaudRate(qint32 baudRate)
{
    change(&calimbra::ComPortSettings::baudRate, baudRate);
}

void TComPort::setDataBits(QSerialPort::DataBits dataBits)
{
    change(&calimbra::ComPortSettings::dataBits, dataBits);
}

void TComPort::setParity(QSerialPort::Parity parity)
{
    change(&calimbra::ComPortSettings::parity, parity);
}

void TComPort::setStopBits(QSerialPort::StopBits stopBits)
{
    change(&calimbra::ComPortSettings::stopBits, stopBits);
}

void TComPort::setFlowControl(QSerialPort::FlowControl flowControl)
{
    change(&calimbra::ComPortSettings::flowControl, flowControl);
}

QString TComPort::systemLocation() const
{
    return calimbra::systemLocation(settings_.portName);
}

QString TComPort::label() const
{
    const QString path = systemLocation();
    const QString name = calimbra::printablePortName(settings_.portName);
    return path == settings_.portName
               ? name
               : QStringLiteral("%1 (%2)").arg(name, calimbra::printablePortName(path));
}

void TComPort::Open()
{
    if (isOpen())
        return;
    calimbra::checkPortName(settings_.portName);
    const QString path = systemLocation();
    if (calimbra::lockNameTooLong(path))
        throw ComError(calimbra::lockNameTooLongMessage(settings_.portName, path));
    refuseLockedPort(path);
    port_.setPortName(path);
    port_.setBaudRate(settings_.baudRate);
    port_.setDataBits(settings_.dataBits);
    port_.setParity(settings_.parity);
    port_.setStopBits(settings_.stopBits);
    port_.setFlowControl(settings_.flowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString systemText = port_.errorString();
        port_.clearError();
        throw ComError(calimbra::openFailureMessage(settings_.portName, path, error, systemText,
                                                    calimbra::inspectDevice(path)));
    }
    // Qt locks the name it was given; a lock under the resolved name too lets an instance that
    // reaches the device through another symlink see that it is taken.
    const QStringList names = calimbra::lockFileNames(path);
    if (names.size() > 1 && !ownLock_.acquire(names.last())) {
        port_.close();
        refuseLockedPort(path);
        throw ComError(
            tr("Serial port %1 is in use by another program. Close it and try again.").arg(label()));
    }
    holdModemLinesLow();
    openedAt_.start();
    emit openChanged(true);
}

void TComPort::refuseLockedPort(const QString& path)
{
    if (const auto owner = calimbra::liveLockOwner(calimbra::lockFileNames(path))) {
        throw ComError(
            tr("Serial port %1 is in use by another program (%2, process %3). Close it and try again.")
                .arg(label(), owner->program)
                .arg(owner->pid));
    }
}

void TComPort::holdModemLinesLow()
{
#ifdef Q_OS_UNIX
    // Through ioctl rather than QSerialPort: a pseudo-terminal has no modem lines, and the
    // "Inappropriate ioctl for device" it answers must not count as a failure of the port.
    int lines = TIOCM_DTR;
    if (settings_.flowControl != QSerialPort::HardwareControl)
        lines |= TIOCM_RTS;
    ::ioctl(static_cast<int>(port_.handle()), TIOCMBIC, &lines);
#else
    port_.setDataTerminalReady(false);
    if (settings_.flowControl != QSerialPort::HardwareControl)
        port_.setRequestToSend(false);
#endif
}

void TComPort::Close()
{
    if (!isOpen())
        return;
    stopReporting();
    port_.close();
    port_.clearError();
    ownLock_.release();
    openedAt_.invalidate();
    emit openChanged(false);
}

void TComPort::requireOpen() const
{
    if (!isOpen())
        throw ComError(tr("Serial port %1 is not open.").arg(label()));
}

void TComPort::throwIfLineFailed()
{
    if (auto failure = std::exchange(operationFailure_, std::nullopt))
        throw ComError(*failure);
}

void TComPort::ClearBuffer(bool input, bool output)
{
    requireOpen();
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    // Write() returns only once the driver has sent everything, so output is left only by a write
    // that failed. Flushing nothing else matters: on a pseudo-terminal an output flush would also
    // throw away requests the other side has not read yet.
    if (output && (port_.bytesToWrite() > 0 || queuedOutput() > 0))
        directions |= QSerialPort::Output;
    if (!directions)
        return;
    const QScopedValueRollback inOperation(inOperation_, true);
    operationFailure_.reset();
    if (input)
        stopReporting();
    const bool cleared = port_.clear(directions);
    throwIfLineFailed();
    if (!cleared)
        throw ComError(
            tr("Could not clear the buffers of serial port %1: %2.").arg(label(), port_.errorString()));
}

qint64 TComPort::InputCount()
{
    return isOpen() ? port_.bytesAvailable() : 0;
}

qint64 TComPort::Read(std::span<char> into)
{
    requireOpen();
    const qint64 count = port_.read(into.data(), static_cast<qint64>(into.size()));
    if (count < 0)
        throw ComError(tr("Could not read from serial port %1: %2.").arg(label(), port_.errorString()));
    return count;
}

qint64 TComPort::Write(QByteArrayView bytes)
{
    requireOpen();
    const QScopedValueRollback inOperation(inOperation_, true);
    operationFailure_.reset();
    const auto started = steady_clock::now();
    const auto deadline = started + kWriteTimeout;
    const qint64 queuedBefore = port_.bytesToWrite() + queuedOutput();
    const qint64 accepted = port_.write(bytes.data(), bytes.size());
    throwIfLineFailed();
    if (accepted != bytes.size())
        throw ComError(tr("Could not write to serial port %1: %2.").arg(label(), port_.errorString()));

    // QSerialPort only queues what it is given; a close that follows at once would lose it.
    while (port_.bytesToWrite() > 0) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        const bool progressed = left.count() > 0 && port_.waitForBytesWritten(static_cast<int>(left.count()));
        throwIfLineFailed();
        if (!progressed && port_.bytesToWrite() > 0) {
            if (port_.error() != QSerialPort::TimeoutError && port_.error() != QSerialPort::NoError)
                throw ComError(
                    tr("Could not write to serial port %1: %2.").arg(label(), port_.errorString()));
            failWrite(started, bytes.size(), queuedBefore);
        }
    }
    if (!drainOutput(deadline))
        failWrite(started, bytes.size(), queuedBefore);
    throwIfLineFailed();
    return accepted;
}

void TComPort::failWrite(steady_clock::time_point started, qint64 requestSize, qint64 queuedBefore)
{
    // The port must be unblocked for the next request, and the driver cannot drop only this
    // request's bytes: whatever still waits is discarded, and the message says whose it was.
    const qint64 waiting = port_.bytesToWrite() + queuedOutput();
    port_.clearError();
    port_.clear(QSerialPort::Output);
    const qint64 waited = duration_cast<milliseconds>(steady_clock::now() - started).count();
    const qint64 ownUnsent = std::min(waiting, requestSize);
    const qint64 earlierUnsent = std::min(queuedBefore, waiting - ownUnsent);
    QString message = ownUnsent >= requestSize
                          ? tr("Serial port %1 did not take the request in %2 ms; it was not sent.")
                                .arg(label())
                                .arg(waited)
                          : tr("Serial port %1 did not take the whole request in %2 ms; its last %3 of %4 "
                               "bytes were not sent.")
                                .arg(label())
                                .arg(waited)
                                .arg(ownUnsent)
                                .arg(requestSize);
    if (earlierUnsent > 0)
        message +=
            u' ' +
            tr("%1 bytes of earlier requests that were still waiting were discarded too.").arg(earlierUnsent);
    message += u' ' + tr("Check the flow control setting and the cable.");
    throw ComError(message);
}

int TComPort::queuedOutput() const
{
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(static_cast<int>(port_.handle()), TIOCOUTQ, &queued) == 0)
        return queued;
#endif
    return 0;
}

bool TComPort::drainOutput(steady_clock::time_point deadline)
{
    // Wait until the driver has sent the bytes, so that closing or reconfiguring the port next
    // cannot cut them off; bounded, since flow control may hold them back indefinitely.
    while (queuedOutput() > 0) {
        if (steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::max<microseconds>(characterTime(), microseconds{200}));
    }
    return true;
}

microseconds TComPort::characterTime() const
{
    const int stopBits = settings_.stopBits == QSerialPort::OneStop ? 1 : 2;
    const int parityBits = settings_.parity == QSerialPort::NoParity ? 0 : 1;
    const int bits = 1 + static_cast<int>(settings_.dataBits) + parityBits + stopBits;
    const qint64 baud = std::max<qint64>(settings_.baudRate, 1);
    return microseconds{bits * 1'000'000LL / baud};
}

void TComPort::onReadyRead()
{
    // Three characters of silence at slow speeds are longer than the fixed gap.
    const auto gap = std::max<microseconds>(kQuietGap, 3 * characterTime());
    const auto longest = std::max<microseconds>(kLongestReportDelay, 20 * characterTime());
    if (!unreportedSince_.isValid())
        unreportedSince_.start();
    const auto waited = duration_cast<microseconds>(nanoseconds{unreportedSince_.nsecsElapsed()});
    // Always through the timer, so that the report reaches the window from the event loop and
    // never from inside a port call that let readyRead through (waitForBytesWritten does).
    const auto wait = waited >= longest ? microseconds{0} : std::min(gap, longest - waited);
    reportTimer_.start(duration_cast<milliseconds>(wait + microseconds{999}));
}

void TComPort::reportArrival()
{
    stopReporting();
    const qint64 count = InputCount();
    if (count <= 0)
        return;
    emit RxChar(this, static_cast<int>(std::min<qint64>(count, std::numeric_limits<int>::max())));
    emit arrived();
}

void TComPort::stopReporting()
{
    reportTimer_.stop();
    unreportedSince_.invalidate();
}

void TComPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (!isLineFailure(error) || !isOpen())
        return;
    // Qt's text for a hang-up is whatever errno last held (often our own modem-line ioctl), so the
    // cause is named here: a read that ends the file is a device that hung up or went away.
    const bool justOpened = openedAt_.isValid() && openedAt_.elapsed() < kFreshOpen.count();
    QString message;
    if (justOpened) {
        message = tr("Serial port %1 failed right after it was opened. Another program (a terminal such as "
                     "screen or minicom) may be using it, or the device was disconnected; close that program "
                     "or check the cable.")
                      .arg(label());
    } else if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) {
        message = tr("The device on serial port %1 hung up or was disconnected. The port has been closed; "
                     "check the cable or adapter.")
                      .arg(label());
    } else {
        message = tr("The connection on serial port %1 was lost (%2). The port has been closed; check the "
                     "cable or adapter.")
                      .arg(label(), port_.errorString());
    }
    message = calimbra::withAdvice(message, calimbra::portAdvice().tryAgain);
    // Closing at once ends the flood of errors Qt raises while a hung-up device stays open.
    Close();
    if (inOperation_) {
        operationFailure_ = message;
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, message] { emit lineFailed(message); }, Qt::QueuedConnection);
}
