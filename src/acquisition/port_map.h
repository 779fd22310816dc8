#pragma once
// The six serial slots of the settings, "COM1".."COM6", and the device each
// stands for. The table lives in the profile (section "串口设备", keys "COM1"
// .. "COM6"); a slot with an empty path stands for no device.

#include <QString>

#include <array>

class QSettings;

namespace bc {

class CPortMap {
public:
    static constexpr int kSlotCount = 6;

    // The default table: /dev/ttyUSB0, /dev/ttyUSB1, /dev/ttyACM0,
    // /dev/ttyACM1, /dev/ttyS0, /dev/ttyS1.
    CPortMap();

    // Slots are 1-based (1..6); any other slot has no device.
    QString devicePath(int slot) const;
    void setDevicePath(int slot, const QString& path);
    bool isMapped(int slot) const { return !devicePath(slot).isEmpty(); }

    // "COM3"
    static QString slotName(int slot);
    // What a port combo shows: "COM3 (/dev/ttyACM0)", or "COM3" unmapped.
    QString slotLabel(int slot) const;

    // Reads the table (missing keys keep the defaults) / writes it.
    void load(QSettings& settings);
    void save(QSettings& settings) const;
    // The same with the program's profile.
    void load();
    void save() const;

    static QString sectionName();

private:
    std::array<QString, kSlotCount> paths_;
};

} // namespace bc
