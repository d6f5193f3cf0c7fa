#pragma once
// The fields that open every settings record (buffers, shaders, textures, states),
// the type and life-cycle codes kept in them, and the record that Lock fills.

#include <boost/weak_ptr.hpp>
#include <cstdint>

namespace VeltraRender {

class IRender;

enum ResourceType : uint32_t {
    rtTextureGPU = 0,
    rtTextureCPU = 1,
    rtBufferGPU = 2,
    rtShaderGPU = 3,
    rtStateRaster = 4,
    rtStateDepth = 5,
    rtStateStencil = 6,
    rtStateBlend = 7,
    rtStateTexture = 8,
};

enum ResourceState : uint32_t {
    rsCreated = 0,       // constructed; Direct3D objects may not exist yet
    rsReady = 1,         // idle and usable
    rsLocked = 2,        // memory mapped for the caller
    rsTransferring = 3,  // a texture copy or upload is running
    rsSelected = 4,      // bound to the pipeline
    rsTargeted = 5,      // bound as render target
    rsDestroyed = 6,     // Destroy has run
};

struct ResourceHeader {
    ResourceType type = rtTextureGPU;
    uint32_t reserved1 = 0;
    ResourceState state = rsCreated;
    uint32_t reserved2 = 0;
    bool flag = false;                  // the host's; returned by GetFlag, never interpreted
    boost::weak_ptr<IRender> render;    // the render that configured the object
};

// What Lock hands out: bytes per element (buffers) or per row (textures), and
// the mapped memory, null when nothing is mapped.
struct LockedMemory {
    uint32_t pitch = 0;
    void* bits = nullptr;
};

static_assert(sizeof(ResourceType) == 4 && sizeof(ResourceState) == 4, "enumerations are 32-bit");

} // namespace VeltraRender
