#include "common/RowCopy.h"

#include <cstdint>
#include <cstring>

void CopyRows(void* to, size_t toPitch, const void* from, size_t fromPitch, size_t rowBytes, size_t rows)
{
    uint8_t* target = static_cast<uint8_t*>(to);
    const uint8_t* source = static_cast<const uint8_t*>(from);
    for (size_t row = 0; row < rows; ++row)
        std::memcpy(target + row * toPitch, source + row * fromPitch, rowBytes);
}
