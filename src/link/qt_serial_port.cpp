#include "link/qt_serial_port.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace qrt::link {

namespace {

// Why an open failed, in the words a technician can act on.
std::string openFailure(QSerialPort::SerialPortError error, int systemError,
                        const std::string& backendText) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return "No such device: check the port name and that the adapter is plugged in.";
        case QSerialPort::PermissionError:
            if (systemError == EACCES || systemError == EPERM) {
                return "Permission denied: the user must be in the group that owns the serial "
                       "ports (dialout; sudo adduser $USER dialout, then log in again).";
            }
            return "The port is in use by another program.";
        case QSerialPort::UnsupportedOperationError:
            return "Not a serial device.";
        default:
            return backendText;
    }
}

}  // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {}

QtSerialPort::~QtSerialPort() = default;

PortResult QtSerialPort::open(const std::string& path, Direction direction) {
    lost_ = false;
    port_->setPortName(QString::fromStdString(path));
    errno = 0;
    // Opened for reading, the backend reads the device from the event loop into a
    // buffer that only our reads empty: a port nothing reads would grow without
    // bound, and spin once its device hangs up.
    if (!port_->open(direction == Direction::ReadWrite ? QIODevice::ReadWrite
                                                       : QIODevice::WriteOnly)) {
        // The system error number is what the operator's diagnostics need; the
        // lock-file refusal of a port already in use may leave it at 0.
        const int systemError = errno;
        const auto errorCode = systemError != 0 ? static_cast<std::uint32_t>(systemError)
                                                : static_cast<std::uint32_t>(port_->error());
        return PortResult::failed(
            openFailure(port_->error(), systemError, port_->errorString().toStdString()),
            errorCode);
    }
    return PortResult::success();
}

PortResult QtSerialPort::configure(const LineSettings& settings) {
    const auto parity = settings.parity == 0 ? QSerialPort::NoParity : QSerialPort::EvenParity;
    const auto stopBits = settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    const bool applied =
        port_->setBaudRate(settings.baudRate) &&
        port_->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
        port_->setParity(parity) && port_->setStopBits(stopBits) &&
        port_->setFlowControl(QSerialPort::NoFlowControl);
    return applied ? PortResult::success() : PortResult::failed(port_->errorString().toStdString());
}

PortResult QtSerialPort::setTimeouts(std::chrono::milliseconds /*readTotal*/,
                                     std::chrono::milliseconds /*readInterByte*/,
                                     std::chrono::milliseconds writeTotal) {
    // Read time-outs are passed with every read; only the write bound is kept.
    writeTimeout_ = writeTotal;
    return PortResult::success();
}

PortResult QtSerialPort::close() {
    port_->close();
    return PortResult::success();
}

bool QtSerialPort::isOpen() const {
    return port_->isOpen();
}

std::size_t QtSerialPort::write(std::span<const std::uint8_t> bytes) {
    if (!port_->isOpen() || lost_) {
        return 0;
    }
    const qint64 written = port_->write(reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<qint64>(bytes.size()));
    if (written < 0) {
        noteError();
        return 0;
    }
    while (port_->bytesToWrite() > 0) {
        if (!port_->waitForBytesWritten(static_cast<int>(writeTimeout_.count()))) {
            noteError();
            return lost_ ? 0 : static_cast<std::size_t>(written);
        }
    }
    return static_cast<std::size_t>(written);
}

std::size_t QtSerialPort::read(std::span<std::uint8_t> into, std::chrono::milliseconds total,
                               std::chrono::milliseconds interByte) {
    if (!port_->isOpen() || into.empty()) {
        return 0;
    }
    std::size_t received = 0;
    auto take = [&] {
        const qint64 got = port_->read(reinterpret_cast<char*>(into.data() + received),
                                       static_cast<qint64>(into.size() - received));
        if (got > 0) {
            received += static_cast<std::size_t>(got);
        }
    };
    take();
    if (lost_) {
        return received;  // what arrived before the device went, from the backend's buffer
    }
    if (received == 0 && total.count() == 0) {
        // Without an event loop the port's buffer fills only while it is waited on: a
        // wait of no time takes what the driver holds.
        if (port_->waitForReadyRead(0)) {
            take();
        }
    } else if (received == 0) {
        if (!port_->waitForReadyRead(static_cast<int>(total.count()))) {
            noteError();
            return 0;
        }
        take();
    }
    while (received > 0 && received < into.size() && total.count() > 0 &&
           port_->waitForReadyRead(static_cast<int>(interByte.count()))) {
        take();
    }
    noteError();
    return received;
}

void QtSerialPort::setDtr(bool on) {
    port_->setDataTerminalReady(on);
}

void QtSerialPort::setRts(bool on) {
    port_->setRequestToSend(on);
}

void QtSerialPort::setBreak(bool on) {
    port_->setBreakEnabled(on);
}

void QtSerialPort::checkPresent() {
#ifdef Q_OS_UNIX
    if (!port_->isOpen() || lost_) {
        return;
    }
    // A hang-up shows in the poll events whatever is asked for; nothing is read.
    pollfd descriptor{static_cast<int>(port_->handle()), 0, 0};
    if (::poll(&descriptor, 1, 0) > 0 &&
        (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        lost_ = true;
    }
#endif
}

bool QtSerialPort::deviceLost() const {
    return lost_;
}

bool QtSerialPort::inputPending() const {
    return port_->isOpen() && port_->bytesAvailable() > 0;
}

void QtSerialPort::noteError() {
    switch (port_->error()) {
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::ResourceError:
            lost_ = true;
            break;
        default:
            break;
    }
    port_->clearError();
}

std::vector<std::string> availablePortNames() {
    std::vector<std::string> names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        names.push_back(info.portName().toStdString());
    }
    return names;
}

}  // namespace qrt::link
