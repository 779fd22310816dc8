#pragma once
// Conversions and sums held to the int range, for coordinates and sizes that
// come from files.

#include <cmath>
#include <cstdint>
#include <limits>

namespace bc {

// Float to int conversion toward zero, as the drawing and attitude rules
// require. Values beyond the int range saturate and NaN gives 0, so hostile
// coordinates from a file cannot make the conversion undefined.
inline int truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// a + b held to the int range: page sums and margins of damaged records
// must not overflow.
inline int satAdd(int64_t a, int64_t b)
{
    const int64_t v = a + b;
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

} // namespace bc
