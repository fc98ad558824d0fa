#include "TComPort.h"

#include "ComError.h"
#include "ComSetupDialog.h"
#include "OpenFailure.h"
#include "PortName.h"

#include <QCoreApplication>

#include <algorithm>
#include <thread>

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

// Marks a call in progress: a line failure raised inside it is thrown by the call itself
// instead of being reported a second time through lineFailed.
class TComPort::Operation
{
public:
    explicit Operation(TComPort& port) : port_(port)
    {
        if (port_.operationDepth_++ == 0)
            port_.operationFailure_.reset();
    }
    ~Operation() { --port_.operationDepth_; }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    void throwIfFailed() const
    {
        if (port_.operationFailure_)
            throw ComError(*port_.operationFailure_);
    }

private:
    TComPort& port_;
};

TComPort::TComPort(QObject* parent) : QObject(parent)
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
    holdModemLinesLow();
    emit openChanged(true);
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
    emit openChanged(false);
}

void TComPort::requireOpen() const
{
    if (!isOpen())
        throw ComError(tr("Serial port %1 is not open.").arg(label()));
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
    Operation operation(*this);
    if (input)
        stopReporting();
    const bool cleared = port_.clear(directions);
    operation.throwIfFailed();
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
    Operation operation(*this);
    const auto deadline = steady_clock::now() + kWriteTimeout + 2 * bytes.size() * characterTime();
    const qint64 accepted = port_.write(bytes.data(), bytes.size());
    operation.throwIfFailed();
    if (accepted != bytes.size())
        throw ComError(tr("Could not write to serial port %1: %2.").arg(label(), port_.errorString()));

    // QSerialPort only queues what it is given; a close that follows at once would lose it.
    while (port_.bytesToWrite() > 0) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        const bool progressed = left.count() > 0 && port_.waitForBytesWritten(static_cast<int>(left.count()));
        operation.throwIfFailed();
        if (!progressed && port_.bytesToWrite() > 0) {
            if (port_.error() != QSerialPort::TimeoutError && port_.error() != QSerialPort::NoError)
                throw ComError(
                    tr("Could not write to serial port %1: %2.").arg(label(), port_.errorString()));
            port_.clearError();
            port_.clear(QSerialPort::Output);
            throw ComError(tr("Serial port %1 did not take the request within %2 ms; nothing more was sent. "
                              "Check the flow control setting and the cable.")
                               .arg(label())
                               .arg(kWriteTimeout.count()));
        }
    }
    drainOutput(deadline);
    operation.throwIfFailed();
    return accepted;
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

void TComPort::drainOutput(steady_clock::time_point deadline)
{
    // Wait until the driver has sent the bytes, so that closing or reconfiguring the port next
    // cannot cut them off; bounded, since flow control may hold them back indefinitely.
    for (int queued = queuedOutput(); queued > 0; queued = queuedOutput()) {
        if (steady_clock::now() >= deadline) {
            port_.clear(QSerialPort::Output);
            throw ComError(tr("Serial port %1 did not send %2 queued bytes in time; they were discarded. "
                              "Check the flow control setting and the cable.")
                               .arg(label())
                               .arg(queued));
        }
        std::this_thread::sleep_for(std::max<microseconds>(characterTime(), microseconds{200}));
    }
}

void TComPort::ShowSetupDialog(QWidget* parent)
{
    calimbra::ComSetupDialog dialog(settings_, parent);
    if (dialog.exec() == QDialog::Accepted)
        setSettings(dialog.settings());
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
    if (waited >= longest) {
        reportArrival();
        return;
    }
    const auto wait = std::min(gap, longest - waited);
    reportTimer_.start(duration_cast<milliseconds>(wait + microseconds{999}));
}

void TComPort::reportArrival()
{
    stopReporting();
    const qint64 count = InputCount();
    if (count > 0)
        emit RxChar(this, static_cast<int>(std::min<qint64>(count, std::numeric_limits<int>::max())));
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
    const QString message = tr("The connection on serial port %1 was lost (%2). The port has been closed; "
                               "check the cable or adapter, then send the request again.")
                                .arg(label(), port_.errorString());
    // Closing at once ends the flood of errors Qt raises while a hung-up device stays open.
    Close();
    if (operationDepth_ > 0) {
        operationFailure_ = message;
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, message] { emit lineFailed(message); }, Qt::QueuedConnection);
}
