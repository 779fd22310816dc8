#pragma once
// A profile whose six serial slots lead to device paths that do not exist, so
// the station starts without a counter whatever this machine has attached.

#include "acquisition/port_map.h"
#include "support/temp_settings.h"

namespace bc::test {

// Saves the map into the profile and returns it, for a test that then puts a
// device of its own on one slot.
inline CPortMap mapSerialSlotsNowhere(TempSettings& profile)
{
    CPortMap map;
    for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot)
        map.setDevicePath(slot, profile.dir() + QStringLiteral("/no-tty%1").arg(slot));
    map.save(profile.settings());
    return map;
}

} // namespace bc::test
