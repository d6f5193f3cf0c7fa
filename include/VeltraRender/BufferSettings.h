#pragma once
// Settings of a vertex or index buffer. The caller always writes 32-bit values:
// floats for vertex attributes, unsigned 32-bit indices.

#include "ResourceHeader.h"

#include <cstdint>

namespace VeltraRender {

enum BufferKind : uint32_t {
    bkIndices = 0,            // triangle-list indices
    bkPositions = 1,
    bkNormals = 2,
    bkTexCoords = 3,          // texture coordinates whose FVF code always declares four components
    bkTexCoordsSized = 4,     // texture coordinates whose FVF code follows `components`
};

struct BufferSettings : ResourceHeader {
    BufferSettings() { type = rtBufferGPU; }

    uint32_t kind = bkPositions;
    wchar_t name[65] = {};       // kept and copied, never interpreted
    uint32_t components = 3;     // 32-bit values per element, 0 to 4 (0 counts as 1)
    int32_t count = 0;           // elements: vertices or indices
    uint32_t elementBytes = 0;   // filled in by the buffer when 0
    const void* data = nullptr;  // optional initial contents, `count` elements; not owned
};

} // namespace VeltraRender
