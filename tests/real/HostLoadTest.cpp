// A host loading the plug-in on Wine's real Direct3D 9: the list, two renders on one
// device, RenderInfo and capabilities, and a complete release of Direct3D.

#include "HostWindow.h"
#include "LogCapture.h"
#include "PluginLibrary.h"

#include <d3d9.h>
#include <gtest/gtest.h>
#include <cwctype>
#include <iostream>

using namespace VeltraRender;

namespace {

// Holds the device's Direct3D object across Shutdown: its last Release answers 0
// only when the device and everything made on it are gone.
class Direct3DWitness {
public:
    explicit Direct3DWitness(IDirect3DDevice9* device) { device->GetDirect3D(&_direct3D); }
    ULONG ReleaseAndCount() { return _direct3D->Release(); }

private:
    IDirect3D9* _direct3D = nullptr;
};

bool IsDriverVersion(const wchar_t* text)
{
    int dots = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c == L'.')
            ++dots;
        else if (!std::iswdigit(*c))
            return false;
    }
    return dots == 3;
}

} // namespace

TEST(HostLoadTest, TwoRendersShareTheRealDeviceAndReleaseItCompletely)
{
    LogCapture log;
    PluginLibrary plugin;
    HostWindow window(320, 240);

    boost::shared_ptr<IRender> displaying = plugin.CreateRender();
    boost::shared_ptr<IRender> offscreen = plugin.CreateRender();
    RenderSettings settings = OffscreenSettings(320, 240);
    settings.window = window.Handle();
    ASSERT_TRUE(InitializeRender(displaying, settings)) << log.Dump();
    RenderSettings offscreenSettings = OffscreenSettings(128, 128);
    ASSERT_TRUE(InitializeRender(offscreen, offscreenSettings)) << log.Dump();

    IDirect3DDevice9* device = displaying->GetDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(offscreen->GetDevice(), device);
    EXPECT_TRUE(displaying->CheckRender());

    RenderInfo info;
    displaying->GetRenderInfo(&info);
    D3DCAPS9 caps;
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    std::wcout << L"adapter: " << info.description << L", vendor " << info.vendor << L", driver "
               << info.driverVersion << std::endl;
    std::cout << std::hex << "caps: PixelShaderVersion 0x" << caps.PixelShaderVersion << ", MaxVertexIndex 0x"
              << caps.MaxVertexIndex << ", PS20Caps 0x" << caps.PS20Caps.Caps << std::dec << ", MaxAnisotropy "
              << caps.MaxAnisotropy << ", shader level " << displaying->GetShaderLevel() << std::endl;
    EXPECT_STREQ(info.name, L"RenderDX9");
    EXPECT_GT(wcslen(info.description), 0u);
    EXPECT_TRUE(IsDriverVersion(info.driverVersion)) << info.driverVersion;
    EXPECT_FALSE(info.stereoAvailable) << "no NVIDIA driver here";
    // Wine reports an NVIDIA card with pixel shader 3.0: level 2.
    EXPECT_STREQ(info.vendor, L"NVidia");
    EXPECT_EQ(caps.PixelShaderVersion, 0xFFFF0300u);
    EXPECT_EQ(displaying->GetShaderLevel(), 2);

    HWND hidden = FindHiddenDeviceWindow();
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(log.Count(L" - CreateSwapChain width=320, height=240\n", 3), 1u);
    EXPECT_EQ(log.Count(L"DirectX Error"), 0u) << log.Dump();

    Direct3DWitness witness(device);
    EXPECT_TRUE(offscreen->Shutdown());
    offscreen.reset();
    EXPECT_TRUE(displaying->Shutdown());
    EXPECT_EQ(witness.ReleaseAndCount(), 0u) << "a Direct3D object outlived the last Shutdown";
    EXPECT_FALSE(IsWindow(hidden));

    // A second generation in the same process works again.
    displaying.reset();
    boost::shared_ptr<IRender> again = plugin.CreateRender();
    ASSERT_TRUE(InitializeRender(again, settings)) << log.Dump();
    Direct3DWitness secondWitness(again->GetDevice());
    EXPECT_TRUE(again->Shutdown());
    EXPECT_EQ(secondWitness.ReleaseAndCount(), 0u);
}

TEST(HostLoadTest, OddSizesAndStereoRequestsOnTheRealDevice)
{
    LogCapture log;
    PluginLibrary plugin;
    HostWindow window(200, 100);
    boost::shared_ptr<IRender> render = plugin.CreateRender();

    // Zero and negative sizes, and the pixel aspect of a fresh record (0): Initialize
    // answers true with one trace line saying what the projection does, the swap chain
    // is Direct3D's business, and everything is released again. Any non-zero byte asks
    // for stereo.
    struct Case {
        int width, height;
        double pixelAspect;
        const wchar_t* trace;
    };
    const Case cases[] = {{0, 0, 1.0, L"without the half-pixel shift"},
                          {-16, 100, 1.0, L"without the half-pixel shift"},
                          {200, -1, 1.0, L"without the half-pixel shift"},
                          {200, 100, 0.0, L"pixelAspect=0 gives no aspect: the projection takes 1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        SCOPED_TRACE(c.height);
        RenderSettings settings = OffscreenSettings(c.width, c.height);
        settings.pixelAspect = c.pixelAspect;
        settings.window = window.Handle();
        settings.enableStereo = 2;
        ASSERT_TRUE(InitializeRender(render, settings)) << log.Dump();
        EXPECT_EQ(log.Count(c.trace, 3), 1u) << log.Dump();
        EXPECT_EQ(log.Problems(), 0u) << log.Dump();
        Direct3DWitness witness(render->GetDevice());
        EXPECT_TRUE(render->Shutdown());
        EXPECT_EQ(witness.ReleaseAndCount(), 0u);
        log.Clear();
    }
    // No NVIDIA driver: the loader finds no library, and a stereo request stays mono.
    EXPECT_EQ(log.Count(L" - triggering stereo 3D"), 0u);
}

TEST(HostLoadTest, NvapiIsAbsentOnThisMachine)
{
    LogCapture log;
    PluginLibrary plugin;
    boost::shared_ptr<IRender> render = plugin.CreateRender();
    EXPECT_EQ(log.Count(L"NVidiaStereo::NVidiaStereo() - NvAPI_Initialize ERROR, status=-2\n", 24), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"NVidiaStereo::NVidiaStereo() - end (stereoAvailable=0, stereoEnabled=0)\n", 24), 1u);
}
