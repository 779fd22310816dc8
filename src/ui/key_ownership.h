#pragma once
// Windows that handle the plus and minus keys themselves (the analysis and 3D
// windows) set this dynamic property to true; the program's key routing then
// leaves those keys to them while they are active.

namespace bc {

inline constexpr const char* kOwnsDepthKeysProperty = "bcOwnsDepthKeys";

} // namespace bc
