#pragma once
// Conversions from doubles that stay defined for every input.

#include <cmath>
#include <cstdint>
#include <limits>

// Truncation toward zero; NaN gives 0 and values beyond 32 bits saturate, where a plain
// conversion would be undefined.
inline int32_t TruncateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
