// The shared device: the 9Ex path and each fallback, the depth/stencil chain, the shader
// level it gets from its capabilities, and what CheckRender says of a lost or broken one.
#include "RenderFixture.h"

using namespace VeltraRender;
using DeviceCreationTest = RenderFixture;

TEST_F(DeviceCreationTest, ExtendedDeviceAndEachFallback)
{
    struct Failure { const char* method; HRESULT result; unsigned count; };
    struct Case { const char* name; std::vector<Failure> failures; bool made, extended; DWORD processing; size_t errors; };
    const DWORD hardware = D3DCREATE_HARDWARE_VERTEXPROCESSING, software = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    const Failure no9Ex = {"Direct3DCreate9Ex", D3DERR_NOTAVAILABLE, UINT_MAX};
    const Case cases[] = {{"9Ex", {}, true, true, hardware, 0}, {"no 9Ex", {no9Ex}, true, false, hardware, 0},
        {"9Ex device refused", {{"IDirect3D9::CreateDeviceEx", E_FAIL, UINT_MAX}}, true, false, hardware, 0},
        {"hardware vertex processing refused", {no9Ex, {"IDirect3D9::CreateDevice", E_FAIL, 1}}, true, false, software, 0},
        {"no device", {no9Ex, {"IDirect3D9::CreateDevice", E_FAIL, UINT_MAX}}, false, false, 0, 1},
        {"no Direct3D", {no9Ex, {"Direct3DCreate9", E_FAIL, UINT_MAX}}, false, false, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d3d9double::Reset();
        for (const Failure& failure : c.failures)
            d3d9double::Fail(failure.method, failure.result, failure.count);
        RenderSettings settings = OffscreenSettings();
        boost::shared_ptr<IRender> render = Render(settings, c.made);
        const DWORD flags = c.made ? d3d9double::Current().flags : D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
        EXPECT_TRUE(flags & D3DCREATE_MULTITHREADED) << "the device is thread-safe";
        EXPECT_TRUE(flags & D3DCREATE_FPU_PRESERVE) << "the host's floating-point precision stays";
        EXPECT_EQ(flags & (hardware | software), c.processing);
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DDevice9Ex").size(), c.extended ? 1u : 0u);
        EXPECT_EQ(render->GetDevice() != nullptr, c.made);
        EXPECT_EQ(log.Problems(), c.errors) << log.Dump();
        if (!c.made) {  // the next Initialize starts over rather than joining a device that is not there
            d3d9double::Reset();
            log.Clear();
            EXPECT_TRUE(InitializeRender(render, settings));
            EXPECT_EQ(log.Count(L"no shared device after a failed creation", 1), 1u) << log.Dump();
        }
        Finish(render);
        log.Clear();
    }
}

TEST_F(DeviceCreationTest, DepthStencilFormatChain)
{
    // With the first n formats refused the device gets the next: those with stencil first, then
    // depth alone, then none (one error record). Not asked for, there is none whatever is refused.
    const D3DFORMAT chain[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D15S1, D3DFMT_D32, D3DFMT_D16, D3DFMT_UNKNOWN};
    for (size_t refused = 0; refused <= 6; ++refused) {  // 6: D24S8 refused, and no depth buffer asked for
        SCOPED_TRACE(refused);
        d3d9double::Reset();
        for (size_t i = 0; i < (refused == 6 ? 1 : refused); ++i)
            d3d9double::Current().depthStencil.emplace_back(chain[i], D3DERR_NOTAVAILABLE);
        RenderSettings settings = OffscreenSettings();
        settings.enableDepthBuffer = refused < 6;
        boost::shared_ptr<IRender> render = Render(settings);
        const D3DPRESENT_PARAMETERS& pp = d3d9double::Current().present;
        EXPECT_EQ(pp.EnableAutoDepthStencil ? pp.AutoDepthStencilFormat : D3DFMT_UNKNOWN, chain[std::min<size_t>(refused, 5)]);
        EXPECT_EQ(log.Problems(), refused == 5 ? 1u : 0u) << log.Dump();
        Finish(render);
        log.Clear();
    }
}

TEST_F(DeviceCreationTest, ShaderLevelFromCapabilitiesAndShadersThatRunThere)
{
    struct Case { UINT major, minor; DWORD ps20Caps; int level; };  // level -1: the device is refused
    const Case cases[] = {{3, 0, 0x1F, 2}, {2, 0, 0x1F, 1}, {2, 0, 0x1E, 0}, {2, 0, 0x0F, 0}, {1, 4, 0x1F, -1}};
    EXPECT_EQ(plugin->CreateRender()->GetShaderLevel(), 0) << "before any device: the lowest level";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.major * 100 + c.ps20Caps);
        d3d9double::Reset();
        d3d9double::Current().caps.PixelShaderVersion = D3DPS_VERSION(c.major, c.minor);
        d3d9double::Current().caps.VertexShaderVersion = D3DVS_VERSION(c.major, c.minor);
        d3d9double::Current().caps.PS20Caps.Caps = c.ps20Caps;
        boost::shared_ptr<IRender> render = Render(OffscreenSettings(), c.level >= 0);
        EXPECT_EQ(log.Count(L"GPU does not support vs_2_0 or better", 2), c.level < 0 ? 1u : 0u);
        if (c.level >= 0) {
            EXPECT_EQ(render->GetShaderLevel(), c.level);
            EXPECT_EQ(CreateShader(*render)->GetState(), rsReady);  // the device refuses shaders above its version
            EXPECT_EQ(log.Count(L"using 'error' shader"), 0u) << "the profiles of the level run on the device";
        }
        Finish(render);  // even a refused device goes with the last render
    }
}

TEST_F(DeviceCreationTest, CheckRenderAnswersAndReportsAtTheLevelsHostsFilterOn)
{
    // Lost and not reset are warnings (level 2), a broken driver is severe (level 0); while
    // the device cannot draw, a buffer keeps its data.
    struct Case { HRESULT result; bool answer; unsigned level; const wchar_t* text; };
    const Case cases[] = {{D3D_OK, true, 0, nullptr}, {E_FAIL, true, 0, nullptr},
        {D3DERR_DEVICELOST, false, 2, L"RenderDX9::CheckRender() - device is currently lost!\n"},
        {D3DERR_DEVICENOTRESET, false, 2, L"RenderDX9::CheckRender() - device is in not-reset state!\n"},
        {D3DERR_DRIVERINTERNALERROR, false, 0, L"RenderDX9::CheckRender() - internal driver error!\n"}};
    boost::shared_ptr<IRender> render = Render();
    const uint32_t zeros[3] = {}, ones[3] = {1, 1, 1};
    const boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkIndices, 0, 3, zeros);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        log.Clear();
        d3d9double::Fail("IDirect3DDevice9::TestCooperativeLevel", c.result, 2);  // CheckRender, SetResourceData
        EXPECT_EQ(render->CheckRender(), c.answer);
        render->SetResourceData(ones, buffer);
        EXPECT_EQ(static_cast<const uint32_t*>(render->LockResource(buffer).bits)[2], c.answer ? 1u : 0u);
        render->UnlockResource(buffer);
        buffer->SetBufferData(zeros, sizeof zeros, 0);
        EXPECT_EQ(log.Records().size(), c.text ? 4u : 0u) << log.Dump();
        EXPECT_EQ(c.text ? log.Count(c.text, c.level) : 0u, c.text ? 2u : 0u) << "and once more each at level 3";
    }
    log.Clear();
    Finish(render);
}
