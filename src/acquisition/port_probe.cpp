#include "acquisition/port_probe.h"

#include "acquisition/serial_line.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QCursor>
#include <QGuiApplication>
#include <QSerialPort>
#include <QThread>

#include <memory>

namespace bc {

namespace {

std::atomic<bool> g_depthCounterFound{false};
std::atomic<bool> g_compassFound{false};
std::atomic<int> g_probeBaud[2] = {3, 3};

// Reads whatever arrives until `ms` have passed.
void collect(QSerialPort& port, QByteArray& into, int ms)
{
    QDeadlineTimer deadline(ms);
    into += port.readAll();
    while (!deadline.hasExpired()) {
        const qint64 left = deadline.remainingTime();
        if (port.waitForReadyRead(static_cast<int>(left > 0 ? left : 0))) {
            into += port.readAll();
        } else if (port.error() != QSerialPort::TimeoutError &&
                   port.error() != QSerialPort::NoError) {
            break;
        }
    }
    into += port.readAll();
}

bool writeByte(QSerialPort& port, char byte)
{
    if (port.write(&byte, 1) != 1)
        return false;
    port.waitForBytesWritten(50);
    return true;
}

} // namespace

bool probeReplyAccepted(ProbeDevice device, const QByteArray& reply)
{
    if (device == ProbeDevice::DepthCounter) {
        return reply.size() == 2 && static_cast<uint8_t>(reply[0]) == 0xAA &&
               static_cast<uint8_t>(reply[1]) == 0xAA;
    }
    if (reply.size() < 3)
        return false;
    const auto third = static_cast<uint8_t>(reply[reply.size() - 3]);
    return third == 0x80 || third == 0x81;
}

std::atomic<bool>& depthCounterFound()
{
    return g_depthCounterFound;
}

std::atomic<bool>& compassFound()
{
    return g_compassFound;
}

std::atomic<int>& probeBaudEntry(ProbeDevice device)
{
    return g_probeBaud[device == ProbeDevice::Compass ? 1 : 0];
}

CPortProbe::CPortProbe(CPortMap map, ProbeTiming timing) : map_(std::move(map)), timing_(timing)
{
}

std::optional<QByteArray> CPortProbe::query(const QString& devicePath, int baud) const
{
    QSerialPort port;
    port.setPortName(devicePath);
    if (!port.open(QIODevice::ReadWrite))
        return std::nullopt;
    if (!port.setBaudRate(baud) || !port.setDataBits(QSerialPort::Data8) ||
        !port.setParity(QSerialPort::NoParity) || !port.setStopBits(QSerialPort::OneStop) ||
        !port.setFlowControl(QSerialPort::NoFlowControl)) {
        port.close();
        return std::nullopt;
    }
    // Whatever came in before the query (a late answer to an earlier search,
    // frames of a running device) is no answer to it.
    port.clear(QSerialPort::Input);
    QByteArray reply;
    if (writeByte(port, 'v')) {
        collect(port, reply, timing_.afterQueryMs);
        if (writeByte(port, 'w'))
            collect(port, reply, timing_.replyMs);
    }
    port.close();
    return reply;
}

int CPortProbe::search(ProbeDevice device)
{
    std::atomic<bool>& found =
        device == ProbeDevice::DepthCounter ? depthCounterFound() : compassFound();
    int baud = baudRateForEntry(probeBaudEntry(device).load());
    if (baud < 0)
        baud = kLineBaud;
    for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot) {
        if (!map_.isMapped(slot))
            continue;
        ++slotsTried_;
        const auto reply = query(map_.devicePath(slot), baud);
        if (reply && probeReplyAccepted(device, *reply)) {
            found = true;
            return slot;
        }
    }
    found = false;
    return 0;
}

int CPortProbe::result() const
{
    return (depthCounterFound() ? 1 : 0) + (compassFound() ? 2 : 0);
}

int CPortProbe::probeDevices(ProbePorts& ports)
{
    slotsTried_ = 0;
    if (depthCounterFound() && compassFound())
        return 3;
    depthCounterFound() = false;
    compassFound() = false;
    // A device that answers nowhere (unplugged) leaves its configured port.
    if (const int slot = search(ProbeDevice::DepthCounter))
        ports.depthPort = slot;
    if (const int slot = search(ProbeDevice::Compass))
        ports.compassPort = slot;
    return result();
}

int CPortProbe::probeOne(ProbeDevice device, int& port)
{
    slotsTried_ = 0;
    const bool found = device == ProbeDevice::DepthCounter ? depthCounterFound() : compassFound();
    if (!found) {
        if (const int slot = search(device))
            port = slot;
    }
    return result();
}

int CPortProbe::probeDepthCounter(ProbePorts& ports)
{
    return probeOne(ProbeDevice::DepthCounter, ports.depthPort);
}

int CPortProbe::probeCompass(ProbePorts& ports)
{
    return probeOne(ProbeDevice::Compass, ports.compassPort);
}

int runProbeOffUiThread(const std::function<int()>& work, CSerialLine* mainLine)
{
    const bool lineWasOpen = mainLine && mainLine->isOpen();
    const bool receptionWasOn = lineWasOpen && mainLine->receptionEnabled();
    if (lineWasOpen)
        mainLine->close();

    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    int result = 0;
    std::unique_ptr<QThread> worker(QThread::create([&result, &work] { result = work(); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    if (!worker->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    QGuiApplication::restoreOverrideCursor();

    if (lineWasOpen && mainLine->open(false))
        mainLine->setReceptionEnabled(receptionWasOn);
    return result;
}

} // namespace bc
