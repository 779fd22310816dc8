#include "acquisition/serial_line.h"

#include "acquisition/port_map.h"
#include "platform/prompter.h"

#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace bc {

namespace {
constexpr int kBaudTable[kBaudEntryCount] = {1200, 2400, 4800, 9600, 19200, 38400, 115200};
constexpr int kCloseDrainMs = 100;
constexpr int kRetryMs = 1000;
} // namespace

int baudRateForEntry(int entry)
{
    if (entry < 0 || entry >= kBaudEntryCount)
        return -1;
    return kBaudTable[entry];
}

QString baudText(int entry)
{
    const int baud = baudRateForEntry(entry);
    return baud < 0 ? QString() : QString::number(baud);
}

QString lineSettingsText(int baud)
{
    return QStringLiteral("%1,n,8,1").arg(baud);
}

QString lineOkText()
{
    return QStringLiteral("--通讯成功");
}

QString lineMissingText()
{
    return QStringLiteral("深度控制口和电子罗盘口不存在或被其它程序占用");
}

QString lineLostText()
{
    return QStringLiteral("深度控制口和电子罗盘口连接中断,等待重新连接");
}

QString lineMissingStatusSuffix()
{
    return QStringLiteral("--") + lineMissingText();
}

CSerialLine::CSerialLine(QObject* parent)
    : QObject(parent), port_(new QSerialPort(this)), retry_(new QTimer(this))
{
    connect(port_, &QSerialPort::readyRead, this, &CSerialLine::onReadyRead);
    connect(port_, &QSerialPort::bytesWritten, this, [this] { trimOutgoing(); });
    // A device that went away (a USB adapter pulled out, the other end hung
    // up) leaves a dead port behind that reports a failed read over and over:
    // it is closed so that the next open finds the device again.
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError)
            return;
        // Closed once the port has finished reporting, unless reopened since.
        QMetaObject::invokeMethod(
            this,
            [this, e] {
                if (!port_->isOpen() || port_->error() != e)
                    return;
                // Reception keeps its state for when the device is back.
                parser_.reset();
                keepUnwrittenStops();
                port_->close();
                port_->clearError();
                lost_ = true;
                retry_->start();
                emit lost();
            },
            Qt::QueuedConnection);
    });
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, [this] {
        if (!openPort())
            return;
        retry_->stop();
        lost_ = false;
        parser_.reset();
        emit reconnected();
    });
}

void CSerialLine::setRetryPeriod(int ms)
{
    retry_->setInterval(ms);
}

bool CSerialLine::isRetrying() const
{
    return retry_->isActive();
}

CSerialLine::~CSerialLine()
{
    close();
}

void CSerialLine::configure(int slot, const CPortMap& map)
{
    configureDevice(map.devicePath(slot));
    slot_ = slot;
}

void CSerialLine::configureDevice(const QString& devicePath)
{
    close();
    devicePath_ = devicePath;
    slot_ = 0;
    port_->setPortName(devicePath);
    port_->setBaudRate(kLineBaud);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->setReadBufferSize(0);
}

bool CSerialLine::open(bool report)
{
    if (port_->isOpen())
        return true;
    setReceptionEnabled(false);
    if (!openPort()) {
        // A device that went away is still waited for: the line was told to
        // come back by itself, and stops may wait to be written.
        if (lost_)
            retry_->start();
        if (report)
            messageBox(QStringLiteral("打开串口失败!"), QString(), MB_OK);
        return false;
    }
    retry_->stop();
    lost_ = false;
    setReceptionEnabled(true);
    return true;
}

bool CSerialLine::openPort()
{
    bool ok = !devicePath_.isEmpty() && port_->open(QIODevice::ReadWrite);
    if (ok) {
        // Settings applied again on the open device: a pseudo terminal or a
        // USB adapter may come up at another speed.
        ok = port_->setBaudRate(kLineBaud) && port_->setDataBits(QSerialPort::Data8) &&
             port_->setParity(QSerialPort::NoParity) &&
             port_->setStopBits(QSerialPort::OneStop) &&
             port_->setFlowControl(QSerialPort::NoFlowControl);
        if (!ok)
            port_->close();
    }
    port_->clearError();
    if (ok && !unsentStops_.isEmpty()) {
        // What was stopped while the line was down stops now, first.
        const QByteArray stops = std::exchange(unsentStops_, QByteArray());
        for (const char c : stops)
            writeByte(static_cast<uint8_t>(c), true);
        trimOutgoing();
    }
    return ok;
}

void CSerialLine::close()
{
    retry_->stop();
    setReceptionEnabled(false);
    if (!port_->isOpen())
        return;
    if (port_->bytesToWrite() > 0)
        port_->waitForBytesWritten(kCloseDrainMs);
    keepUnwrittenStops();
    port_->close();
    port_->clearError();
}

bool CSerialLine::isOpen() const
{
    return port_->isOpen();
}

void CSerialLine::setReceptionEnabled(bool enabled)
{
    receptionEnabled_ = enabled;
    parser_.reset();
}

bool CSerialLine::writeByte(uint8_t byte, bool stop)
{
    if (!port_->isOpen())
        return false;
    const char c = static_cast<char>(byte);
    if (port_->write(&c, 1) != 1)
        return false;
    outgoing_.push_back({byte, stop});
    port_->flush();
    trimOutgoing();
    return true;
}

void CSerialLine::trimOutgoing()
{
    const auto unwritten = static_cast<std::size_t>(std::max<qint64>(port_->bytesToWrite(), 0));
    while (outgoing_.size() > unwritten)
        outgoing_.pop_front();
}

void CSerialLine::keepStop(uint8_t byte)
{
    const char c = static_cast<char>(byte);
    if (!unsentStops_.contains(c))
        unsentStops_.append(c);
}

void CSerialLine::keepUnwrittenStops()
{
    if (port_->isOpen())
        trimOutgoing();
    for (const Outgoing& o : outgoing_) {
        if (o.stop)
            keepStop(o.byte);
    }
    outgoing_.clear();
}

bool CSerialLine::sendCommand(uint8_t byte)
{
    return writeByte(byte, false);
}

bool CSerialLine::sendStop(uint8_t byte)
{
    if (!writeByte(byte, true)) {
        keepStop(byte);
        return false;
    }
    return outgoing_.empty();
}

void CSerialLine::onReadyRead()
{
    const QByteArray bytes = port_->readAll();
    bytesReceived_ += static_cast<quint64>(bytes.size());
    if (!receptionEnabled_) {
        parser_.reset();
        return;
    }
    const auto frames = parser_.feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    for (const CounterFrame& f : frames) {
        if (!receptionEnabled_)
            break; // a handler switched reception off
        emit frameReceived(f);
    }
}

} // namespace bc
