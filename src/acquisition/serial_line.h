#pragma once
// The serial line to the depth counter and compass.
//
// The line always runs at "9600,n,8,1". Received bytes go through the frame
// parser while reception is enabled and come out as one frameReceived signal
// per frame; while reception is disabled they are dropped together with any
// partial frame. Command bytes (the motor keys) are written in the order they
// are sent, on the thread that owns the line, so a stop byte can never
// overtake or lose its command byte. A stop byte that cannot be written (the
// line is down, or its device went away before the byte left) is kept and
// written first, before any other byte, as soon as the line is open again.

#include "acquisition/serial_frame_parser.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>

class QSerialPort;
class QTimer;

namespace bc {

class CPortMap;

// Baud entries are 0-based: 0..6 are 1200, 2400, 4800, 9600, 19200, 38400,
// 115200. Entries outside the table give -1.
constexpr int kBaudEntryCount = 7;
int baudRateForEntry(int entry);
// The combo texts "1200" .. "115200".
QString baudText(int entry);
// "%ld,n,8,1"
QString lineSettingsText(int baud);

constexpr int kLineBaud = 9600;

// Status texts of the line.
QString lineOkText();      // "--通讯成功"
QString lineMissingText(); // "深度控制口和电子罗盘口不存在或被其它程序占用"
QString lineMissingStatusSuffix(); // with the leading dashes, after "预览"/"录制"
QString lineLostText();    // "深度控制口和电子罗盘口连接中断,等待重新连接"

class CSerialLine : public QObject {
    Q_OBJECT
public:
    explicit CSerialLine(QObject* parent = nullptr);
    ~CSerialLine() override;

    // Closes the line and selects slot `slot` (1..6) of `map` at 9600,n,8,1.
    // Reception is off until the next open.
    void configure(int slot, const CPortMap& map);
    // The same with a device path directly.
    void configureDevice(const QString& devicePath);

    // Opens the configured device. Succeeds at once when already open. On a
    // successful open reception is enabled. When the port is missing or taken
    // and `report` is set, "打开串口失败!" is shown through the prompter; a
    // line whose device went away (and has not opened since) then goes on
    // trying the configured device.
    bool open(bool report = true);
    // Writes out pending command bytes (briefly) and closes. Reception off;
    // a lost device is no longer tried until the next open.
    void close();

    // A line whose device went away is tried again every period (1000 ms)
    // until it opens, with its reception state as it was set meanwhile.
    void setRetryPeriod(int ms);
    bool isRetrying() const;
    bool isOpen() const;

    int slot() const { return slot_; }
    QString devicePath() const { return devicePath_; }

    // Received bytes are parsed only while enabled; switching either way
    // drops any partial frame.
    void setReceptionEnabled(bool enabled);
    bool receptionEnabled() const { return receptionEnabled_; }

    // Queues one command byte; bytes go out in order. Returns false when the
    // line is not open (the byte is dropped: a start is never sent late).
    bool sendCommand(uint8_t byte);
    // A stop byte: written like a command byte, but one the line cannot
    // write now is kept (once) and written when the line opens again, before
    // anything else. Returns whether it went out now.
    bool sendStop(uint8_t byte);
    // Stop bytes kept for the line's return, in the order they were sent.
    QByteArray unsentStops() const { return unsentStops_; }

    // Bytes taken off the port since the line was made, dropped ones
    // included: lets a caller know the line has seen what a device sent.
    quint64 bytesReceived() const { return bytesReceived_; }

signals:
    void frameReceived(const bc::CounterFrame& frame);
    // The open line's device went away (unplugged, hung up): the line has
    // closed itself and tries the device again until it is back.
    void lost();
    // The lost device is back and the line open again (with reception as
    // it was set meanwhile).
    void reconnected();

private:
    void onReadyRead();
    // Opens the port with the line's settings and writes the kept stops.
    bool openPort();
    // Hands one byte to the port; false when the port is closed.
    bool writeByte(uint8_t byte, bool stop);
    // Forgets the bytes the port has handed to the device.
    void trimOutgoing();
    // Before the port closes: its stops still unwritten are kept.
    void keepUnwrittenStops();
    void keepStop(uint8_t byte);

    QSerialPort* port_ = nullptr;
    QTimer* retry_ = nullptr;
    CSerialFrameParser parser_;
    QString devicePath_;
    int slot_ = 0;
    bool receptionEnabled_ = false;
    bool lost_ = false; // the device went away and the line has not opened since
    quint64 bytesReceived_ = 0;
    struct Outgoing {
        uint8_t byte;
        bool stop;
    };
    // The last bytes handed to the port, as many as it has not yet written.
    std::deque<Outgoing> outgoing_;
    QByteArray unsentStops_;
};

} // namespace bc
