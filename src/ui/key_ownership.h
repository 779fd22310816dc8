#pragma once
// Windows that own the plus and minus keys (the analysis and 3D windows) set
// this dynamic property to true; while one is active the program's key
// routing does not hand those keys to the form. Its widgets still get them.

namespace bc {

inline constexpr const char* kOwnsDepthKeysProperty = "bcOwnsDepthKeys";

} // namespace bc
