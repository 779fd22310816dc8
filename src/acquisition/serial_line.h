#pragma once
// The serial line to the depth counter and compass.
//
// The line always runs at "9600,n,8,1". Received bytes go through the frame
// parser while reception is enabled and come out as one frameReceived signal
// per frame; while reception is disabled they are dropped together with any
// partial frame. Command bytes (the motor keys) are written in the order they
// are sent, on the thread that owns the line, so a stop byte can never
// overtake or lose its command byte.

#include "acquisition/serial_frame_parser.h"

#include <QObject>
#include <QString>

#include <cstdint>

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
    // and `report` is set, "打开串口失败!" is shown through the prompter.
    bool open(bool report = true);
    // Writes out pending command bytes (briefly) and closes. Reception off;
    // a lost device is no longer tried.
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
    // line is not open.
    bool sendCommand(uint8_t byte);

    // Bytes taken off the port since the line was made, dropped ones
    // included: lets a caller know the line has seen what a device sent.
    quint64 bytesReceived() const { return bytesReceived_; }

signals:
    void frameReceived(const bc::CounterFrame& frame);
    // The open line's device went away (unplugged, hung up): the line has
    // closed itself and tries the device again until it is back.
    void lost();
    // The lost device is back and the line open again.
    void reconnected();

private:
    void onReadyRead();
    // Opens the port with the line's settings; nothing else changes.
    bool openPort();

    QSerialPort* port_ = nullptr;
    QTimer* retry_ = nullptr;
    CSerialFrameParser parser_;
    QString devicePath_;
    int slot_ = 0;
    bool receptionEnabled_ = false;
    quint64 bytesReceived_ = 0;
};

} // namespace bc
