// Buffers on Wine's real Direct3D 9: the default quad, every kind created, filled
// through SetResourceData and through Lock/Unlock, read back, destroyed, and the
// device's reference count back at its baseline.

#include "LogCapture.h"
#include "PluginLibrary.h"
#include "Resources.h"

#include <d3d9.h>
#include <gtest/gtest.h>
#include <cstring>

using namespace VeltraRender;

namespace {

// References the device holds: every live resource adds one.
ULONG DeviceReferences(IDirect3DDevice9* device)
{
    device->AddRef();
    return device->Release();
}

template <typename T>
std::vector<T> ReadBack(IRender& render, const boost::shared_ptr<IResourceGPU>& buffer, size_t count)
{
    const T* bits = static_cast<const T*>(render.LockResource(buffer).bits);
    EXPECT_NE(bits, nullptr);
    std::vector<T> contents = bits ? std::vector<T>(bits, bits + count) : std::vector<T>();
    render.UnlockResource(buffer);
    return contents;
}

} // namespace

TEST(RealBufferTest, EveryKindIsMadeFilledReadAndReleased)
{
    LogCapture log;
    PluginLibrary plugin;
    boost::shared_ptr<IRender> render = plugin.CreateRender();
    RenderSettings settings = OffscreenSettings(64, 64);
    ASSERT_TRUE(InitializeRender(render, settings));
    IDirect3DDevice9* device = render->GetDevice();
    IDirect3D9* direct3D = nullptr;
    device->GetDirect3D(&direct3D);

    // The default quad lives on the device.
    EXPECT_EQ(SettingsOf(*render->GetResourceGPU(0)).kind, static_cast<uint32_t>(bkPositions));
    EXPECT_EQ(ReadBack<uint32_t>(*render, render->GetResourceGPU(1), 6), (std::vector<uint32_t>{0, 2, 3, 0, 1, 2}));
    EXPECT_EQ(ReadBack<float>(*render, render->GetResourceGPU(2), 3), (std::vector<float>{0, 0, 1}));

    const ULONG baseline = DeviceReferences(device);
    const float values[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const uint32_t indices[6] = {3, 2, 1, 0, 2, 3};
    struct Case {
        uint32_t kind, components;
        const void* data;
        size_t bytes;
    };
    const Case cases[] = {
        {bkPositions, 3, values, 48}, {bkNormals, 3, values, 48},      {bkTexCoords, 2, values, 32},
        {bkTexCoordsSized, 4, values, 64}, {bkIndices, 0, indices, 24},
    };
    std::vector<boost::shared_ptr<IResBufferGPU>> buffers;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, c.kind, c.components, c.kind == bkIndices ? 6 : 4);
        render->SetResourceData(c.data, buffer);
        EXPECT_EQ(std::memcmp(ReadBack<uint8_t>(*render, buffer, c.bytes).data(), c.data, c.bytes), 0);
        // Rewrite through the locked memory: the reversed bytes read back.
        LockedMemory locked = render->LockResource(buffer);
        ASSERT_NE(locked.bits, nullptr);
        uint8_t* bytes = static_cast<uint8_t*>(locked.bits);
        for (size_t i = 0; i < c.bytes; ++i)
            bytes[i] = static_cast<uint8_t>(c.bytes - i);
        render->UnlockResource(buffer);
        const std::vector<uint8_t> back = ReadBack<uint8_t>(*render, buffer, c.bytes);
        EXPECT_EQ(back.front(), c.bytes);
        EXPECT_EQ(back.back(), 1u);
        buffers.push_back(buffer);
    }
    EXPECT_EQ(DeviceReferences(device), baseline + buffers.size()) << "each buffer is a resource of the device";
    for (const boost::shared_ptr<IResBufferGPU>& buffer : buffers)
        render->DestroyResource(buffer);
    EXPECT_EQ(DeviceReferences(device), baseline) << "every buffer released";
    EXPECT_EQ(log.Count(L"DirectX Error"), 0u) << log.Dump();

    EXPECT_TRUE(render->Shutdown());
    EXPECT_EQ(direct3D->Release(), 0u) << "nothing of Direct3D left";
}
