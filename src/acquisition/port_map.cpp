#include "acquisition/port_map.h"

#include <QSettings>

namespace bc {

CPortMap::CPortMap()
    : paths_{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1"),
             QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1"),
             QStringLiteral("/dev/ttyS0"),   QStringLiteral("/dev/ttyS1")}
{
}

QString CPortMap::devicePath(int slot) const
{
    if (slot < 1 || slot > kSlotCount)
        return {};
    return paths_[static_cast<std::size_t>(slot - 1)];
}

void CPortMap::setDevicePath(int slot, const QString& path)
{
    if (slot < 1 || slot > kSlotCount)
        return;
    paths_[static_cast<std::size_t>(slot - 1)] = path.trimmed();
}

QString CPortMap::slotName(int slot)
{
    return QStringLiteral("COM%1").arg(slot);
}

QString CPortMap::slotLabel(int slot) const
{
    const QString path = devicePath(slot);
    if (path.isEmpty())
        return slotName(slot);
    return QStringLiteral("%1 (%2)").arg(slotName(slot), path);
}

QString CPortMap::sectionName()
{
    return QStringLiteral("串口设备");
}

void CPortMap::load(QSettings& settings)
{
    settings.beginGroup(sectionName());
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const QString key = slotName(slot);
        if (settings.contains(key))
            setDevicePath(slot, settings.value(key).toString());
    }
    settings.endGroup();
}

void CPortMap::save(QSettings& settings) const
{
    settings.beginGroup(sectionName());
    for (int slot = 1; slot <= kSlotCount; ++slot)
        settings.setValue(slotName(slot), devicePath(slot));
    settings.endGroup();
}

void CPortMap::load()
{
    QSettings s;
    load(s);
}

void CPortMap::save() const
{
    QSettings s;
    save(s);
}

} // namespace bc
