#pragma once
// Copies an image row by row between memory of different pitches, never reading or
// writing more than a row of either side holds.

#include <cstddef>
#include <cstdint>
#include <cstring>

inline void CopyRows(const void* source, size_t sourcePitch, void* destination, size_t destinationPitch,
                     size_t rowBytes, size_t rows)
{
    const size_t bytes = rowBytes < sourcePitch ? (rowBytes < destinationPitch ? rowBytes : destinationPitch)
                                                : (sourcePitch < destinationPitch ? sourcePitch : destinationPitch);
    if (sourcePitch == destinationPitch && bytes == sourcePitch) {
        std::memcpy(destination, source, bytes * rows);
        return;
    }
    const uint8_t* from = static_cast<const uint8_t*>(source);
    uint8_t* to = static_cast<uint8_t*>(destination);
    for (size_t row = 0; row < rows; ++row)
        std::memcpy(to + row * destinationPitch, from + row * sourcePitch, bytes);
}
