// Creation of the shared device: the 9Ex path and its fallbacks, the depth/stencil
// format chain, values read from the capabilities, and the adapter description.

#include "RenderFixture.h"

#include "HostWindow.h"

#include "../../src/render/Projection.h"

#include <cmath>
#include <cstring>

using namespace VeltraRender;

namespace {

// Initialises one offscreen render, runs `check`, and shuts everything down again.
template <typename Check>
void WithInitializedRender(PluginLibrary& plugin, bool expectedResult, Check check)
{
    boost::shared_ptr<IRender> render = plugin.CreateRender();
    RenderSettings settings = OffscreenSettings();
    EXPECT_EQ(InitializeRender(render, settings), expectedResult);
    check(render);
    EXPECT_TRUE(render->Shutdown());
}

} // namespace

using SharedDeviceTest = RenderFixture;

TEST_F(SharedDeviceTest, ExtendedDeviceOnAHiddenWindow)
{
    WithInitializedRender(*plugin, true, [&](const boost::shared_ptr<IRender>& render) {
        const std::vector<d3d9double::Call> create = d3d9double::CallsTo("IDirect3D9Ex::CreateDeviceEx");
        ASSERT_EQ(create.size(), 1u);
        EXPECT_EQ(create[0].args[0], static_cast<uint64_t>(D3DADAPTER_DEFAULT));
        EXPECT_EQ(create[0].args[1], static_cast<uint64_t>(D3DDEVTYPE_HAL));
        EXPECT_EQ(create[0].args[2], 0u) << "no focus window";
        EXPECT_EQ(create[0].args[3], 0x46u);
        EXPECT_EQ(d3d9double::CountCalls("IDirect3D9::CreateDevice"), 0u);

        HWND hidden = FindHiddenDeviceWindow();
        ASSERT_NE(hidden, nullptr);
        EXPECT_FALSE(IsWindowVisible(hidden));
        RECT frame;
        GetWindowRect(hidden, &frame);
        EXPECT_EQ(frame.right - frame.left, 1280);
        EXPECT_EQ(frame.bottom - frame.top, 720);

        const D3DPRESENT_PARAMETERS* pp = d3d9double::DevicePresentParameters();
        ASSERT_NE(pp, nullptr);
        EXPECT_EQ(pp->BackBufferWidth, 4096u);
        EXPECT_EQ(pp->BackBufferHeight, 3072u);
        EXPECT_EQ(pp->BackBufferFormat, D3DFMT_X8R8G8B8);
        EXPECT_EQ(pp->BackBufferCount, 1u);
        EXPECT_EQ(pp->MultiSampleType, D3DMULTISAMPLE_NONE);
        EXPECT_EQ(pp->SwapEffect, D3DSWAPEFFECT_DISCARD);
        EXPECT_EQ(pp->hDeviceWindow, hidden);
        EXPECT_TRUE(pp->Windowed);
        EXPECT_TRUE(pp->EnableAutoDepthStencil);
        EXPECT_EQ(pp->AutoDepthStencilFormat, D3DFMT_D24S8);
        EXPECT_EQ(pp->PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);

        const std::vector<d3d9double::Call> priority = d3d9double::CallsTo("IDirect3DDevice9Ex::SetGPUThreadPriority");
        ASSERT_EQ(priority.size(), 1u);
        EXPECT_EQ(priority[0].args[0], 7u);
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DQuery9"), 1) << "event query";
        const std::vector<d3d9double::Call> states = d3d9double::CallsTo("IDirect3DDevice9::SetRenderState");
        ASSERT_EQ(states.size(), 1u);
        EXPECT_EQ(states[0].args, (std::vector<uint64_t>{D3DRS_LIGHTING, FALSE}));
        EXPECT_EQ(render->GetShaderLevel(), 2);
        EXPECT_TRUE(render->CheckRender());
    });
    EXPECT_EQ(FindHiddenDeviceWindow(), nullptr);
}

TEST_F(SharedDeviceTest, FallsBackToThePlainDeviceAndSoftwareVertexProcessing)
{
    struct Case {
        const char* name;
        void (*script)();
        std::vector<uint64_t> plainBehaviours;  // flags of each IDirect3D9::CreateDevice call
        bool created;
    };
    const Case cases[] = {
        {"no 9Ex", [] { d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE); }, {0x46}, true},
        {"9Ex device refused", [] { d3d9double::SetResult("IDirect3D9Ex::CreateDeviceEx", E_FAIL); }, {0x46}, true},
        {"hardware vertex processing refused",
         [] {
             d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
             d3d9double::SetResult("IDirect3D9::CreateDevice", D3DERR_INVALIDCALL, 1, 1);
         },
         {0x46, 0x26},
         true},
        {"no device at all",
         [] {
             d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
             d3d9double::SetResult("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE);
         },
         {0x46, 0x26},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d3d9double::Reset();
        log.Clear();
        c.script();
        boost::shared_ptr<IRender> render = NewRender();
        RenderSettings settings = OffscreenSettings();
        EXPECT_EQ(InitializeRender(render, settings), c.created);
        std::vector<uint64_t> behaviours;
        for (const d3d9double::Call& call : d3d9double::CallsTo("IDirect3D9::CreateDevice"))
            behaviours.push_back(call.args[3]);
        EXPECT_EQ(behaviours, c.plainBehaviours);
        EXPECT_EQ(log.Count(L"Failed to create D3D Device!\n", 1), c.created ? 0u : 1u);
        if (!c.created) {
            // The next Initialize starts over instead of joining a device that is not there.
            d3d9double::Reset();
            EXPECT_TRUE(InitializeRender(render, settings));
            EXPECT_EQ(log.Count(L"no shared device after a failed creation", 1), 1u);
        }
        EXPECT_TRUE(render->Shutdown());
        render.reset();
        EXPECT_EQ(d3d9double::LiveObjects(), 0);
        EXPECT_EQ(FindHiddenDeviceWindow(), nullptr);
    }
}

TEST_F(SharedDeviceTest, NoDirect3DAtAllFailsSilently)
{
    d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
    d3d9double::SetCreate9ReturnsNull(true);
    boost::shared_ptr<IRender> render = NewRender();
    RenderSettings settings = OffscreenSettings();
    log.Clear();
    EXPECT_FALSE(InitializeRender(render, settings));
    EXPECT_EQ(log.Count(L"Failed to create D3D Device!"), 0u);
    EXPECT_EQ(render->GetDevice(), nullptr);
    EXPECT_FALSE(render->CheckRender());
}

TEST_F(SharedDeviceTest, DepthStencilFormatChain)
{
    struct Case {
        const char* name;
        std::vector<std::pair<D3DFORMAT, HRESULT>> answers;
        bool failExtendedDevice;
        bool enableDepthBuffer;
        D3DFORMAT format;
        BOOL autoDepthStencil;
        std::vector<const wchar_t*> messages;  // each expected this many times as listed
    };
    const HRESULT refused = D3DERR_NOTAVAILABLE;
    const wchar_t* tryingOthers = L"Device does not support D24S8 depth/stencil format, trying other formats\n";
    const Case cases[] = {
        {"D24S8 accepted", {}, false, true, D3DFMT_D24S8, TRUE, {}},
        {"D24S8 refused for another reason", {{D3DFMT_D24S8, E_FAIL}}, false, true, D3DFMT_D24S8, TRUE, {}},
        {"first fallback", {{D3DFMT_D24S8, refused}}, false, true, D3DFMT_D24X4S4, TRUE,
         {tryingOthers, L"Using D24X4S4 depth/stencil format\n"}},
        {"third fallback", {{D3DFMT_D24S8, refused}, {D3DFMT_D24X4S4, refused}, {D3DFMT_D15S1, E_FAIL}}, false, true,
         D3DFMT_D32, TRUE, {tryingOthers, L"Using D32 depth/stencil format (no stencil buffer available)\n"}},
        {"none", {{D3DFMT_D24S8, refused}, {D3DFMT_D24X4S4, refused}, {D3DFMT_D15S1, refused}, {D3DFMT_D32, refused},
                  {D3DFMT_D16, refused}},
         false, true, D3DFMT_D24S8, FALSE, {tryingOthers, L"Device does not support any standard depth buffer formats!\n"}},
        {"twice when the 9Ex device fails", {{D3DFMT_D24S8, refused}}, true, true, D3DFMT_D24X4S4, TRUE,
         {tryingOthers, tryingOthers, L"Using D24X4S4 depth/stencil format\n", L"Using D24X4S4 depth/stencil format\n"}},
        {"no depth buffer asked", {{D3DFMT_D24S8, refused}}, false, false, D3DFMT_D24X4S4, FALSE,
         {tryingOthers, L"Using D24X4S4 depth/stencil format\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d3d9double::Reset();
        log.Clear();
        for (const auto& answer : c.answers)
            d3d9double::SetDepthStencilMatch(answer.first, answer.second);
        if (c.failExtendedDevice)
            d3d9double::SetResult("IDirect3D9Ex::CreateDeviceEx", E_FAIL);
        boost::shared_ptr<IRender> render = NewRender();
        RenderSettings settings = OffscreenSettings();
        settings.enableDepthBuffer = c.enableDepthBuffer;
        ASSERT_TRUE(InitializeRender(render, settings));
        const D3DPRESENT_PARAMETERS* pp = d3d9double::DevicePresentParameters();
        ASSERT_NE(pp, nullptr);
        EXPECT_EQ(pp->AutoDepthStencilFormat, c.format);
        EXPECT_EQ(pp->EnableAutoDepthStencil, c.autoDepthStencil);
        size_t warnings = 0;
        for (const LogRecord& record : log.Records())
            warnings += record.text.find(L"depth") != std::wstring::npos ? 1 : 0;
        EXPECT_EQ(warnings, c.messages.size()) << log.Dump();
        for (const wchar_t* message : c.messages)
            EXPECT_GE(log.Count(message), 1u) << message;
        EXPECT_TRUE(render->Shutdown());
    }
}

TEST_F(SharedDeviceTest, ShaderLevelFromCapabilities)
{
    struct Case {
        DWORD pixelShaderVersion;
        DWORD ps20Caps;
        int level;  // -1: refused
    };
    const Case cases[] = {
        {0xFFFF0300, 0x1F, 2}, {0xFFFF0200, 0x1F, 1}, {0xFFFF0200, 0x1E, 0}, {0xFFFF0200, 0x0F, 0},
        {0xFFFF0201, 0x00, 2}, {0xFFFF0104, 0x1F, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixelShaderVersion);
        SCOPED_TRACE(c.ps20Caps);
        d3d9double::Reset();
        log.Clear();
        d3d9double::Caps().PixelShaderVersion = c.pixelShaderVersion;
        d3d9double::Caps().PS20Caps.Caps = c.ps20Caps;
        boost::shared_ptr<IRender> render = NewRender();
        RenderSettings settings = OffscreenSettings();
        EXPECT_EQ(InitializeRender(render, settings), c.level >= 0);
        if (c.level < 0) {
            EXPECT_EQ(log.Count(L"Failed: GPU does not support vs_2_0 or better!\n", 2), 1u);
            // The refused device stays; the next Initialize joins it without the checks.
            EXPECT_EQ(d3d9double::LiveObjects("IDirect3DDevice9"), 1);
            EXPECT_TRUE(InitializeRender(render, settings));
            EXPECT_EQ(d3d9double::CountCalls("IDirect3D9Ex::CreateDeviceEx"), 1u);
        } else {
            EXPECT_EQ(render->GetShaderLevel(), c.level);
        }
        EXPECT_TRUE(render->Shutdown());
        render.reset();
        EXPECT_EQ(d3d9double::LiveObjects(), 0);
    }
}

TEST_F(SharedDeviceTest, PresentIntervalFromLogLevels)
{
    const std::pair<const wchar_t*, DWORD> cases[] = {
        {L"293:0-5", D3DPRESENT_INTERVAL_IMMEDIATE},
        {L"293:0-5,20", D3DPRESENT_INTERVAL_ONE},
        {L"293:0-5,20,21", D3DPRESENT_INTERVAL_IMMEDIATE},
        {L"293:0-5,21", D3DPRESENT_INTERVAL_IMMEDIATE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first, c.first + wcslen(c.first)));
        d3d9double::Reset();
        log.SetLevels(c.first);
        WithInitializedRender(*plugin, true, [&](const boost::shared_ptr<IRender>&) {
            ASSERT_NE(d3d9double::DevicePresentParameters(), nullptr);
            EXPECT_EQ(d3d9double::DevicePresentParameters()->PresentationInterval, c.second);
        });
    }
}

TEST_F(SharedDeviceTest, CheckRenderMapsTheCooperativeLevel)
{
    struct Case {
        HRESULT result;
        bool canRender;
        const wchar_t* message;
        unsigned int level;
    };
    const Case cases[] = {
        {S_OK, true, nullptr, 0},
        {D3DERR_DEVICELOST, false, L"RenderDX9::CheckRender() - device is currently lost!\n", 2},
        {D3DERR_DEVICENOTRESET, false, L"RenderDX9::CheckRender() - device is in not-reset state!\n", 2},
        {D3DERR_DRIVERINTERNALERROR, false, L"RenderDX9::CheckRender() - internal driver error!\n", 0},
        {E_FAIL, true, nullptr, 0},
    };
    WithInitializedRender(*plugin, true, [&](const boost::shared_ptr<IRender>& render) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.result);
            d3d9double::SetResult("IDirect3DDevice9::TestCooperativeLevel", c.result);
            log.Clear();
            EXPECT_EQ(render->CheckRender(), c.canRender);
            if (c.message) {
                EXPECT_EQ(log.Count(c.message, c.level), 1u);
                EXPECT_EQ(log.Count(c.message, 3), 1u) << "repeated in the trace";
            } else {
                EXPECT_TRUE(log.Records().empty()) << log.Dump();
            }
        }
    });
}

TEST_F(SharedDeviceTest, RenderInfoDescribesTheAdapter)
{
    struct Case {
        DWORD vendorId;
        const wchar_t* vendor;
    };
    // One library load: the record is process-wide and an unknown vendor keeps the last name.
    const Case cases[] = {{0x10DE, L"NVidia"}, {0x1002, L"AMD"}, {0x1022, L"AMD"}, {0x8086, L"Intel"}, {0x5143, L"Intel"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vendorId);
        d3d9double::AdapterIdentifier().VendorId = c.vendorId;
        boost::shared_ptr<IRender> render = NewRender();
        RenderInfo info;
        render->GetRenderInfo(&info);
        EXPECT_STREQ(info.vendor, c.vendor);
    }

    D3DADAPTER_IDENTIFIER9& identifier = d3d9double::AdapterIdentifier();
    std::memset(identifier.Description, 'x', sizeof identifier.Description);  // no terminator at all
    identifier.DriverVersion.HighPart = 0x0008000F;
    identifier.DriverVersion.LowPart = 0x000C0D8E;
    boost::shared_ptr<IRender> render = NewRender();
    RenderInfo info;
    std::memset(&info, 0xEE, sizeof info);
    render->GetRenderInfo(&info);
    EXPECT_STREQ(info.name, L"RenderDX9");
    EXPECT_EQ(std::wstring(info.description), std::wstring(64, L'x'));
    EXPECT_STREQ(info.driverVersion, L"8.15.12.3470");
    EXPECT_STREQ(info.reserved2, L"");
    EXPECT_EQ(info.reserved1[0], 0) << "never written";
    EXPECT_EQ(info.reserved3[0], 0);
    EXPECT_FALSE(info.stereoReady);
}

TEST(ProjectionTest, QuadCornersLandOnTheTargetShiftedByHalfAPixel)
{
    const int sizes[][2] = {{1920, 1080}, {64, 64}, {1, 1}, {720, 576}};
    const double aspects[] = {1.0, 1.0925, 0.5};
    for (const auto& size : sizes) {
        for (double pixelAspect : aspects) {
            const QuadProjection projection = ComputeQuadProjection(size[0], size[1], pixelAspect);
            EXPECT_TRUE(projection.shifted && !projection.aspectReplaced);
            for (double cx : {-0.5, 0.5}) {
                for (double cy : {-0.5, 0.5}) {
                    const float(*m)[4] = projection.matrix.m;
                    const double x = cx * m[0][0] + cy * m[1][0] + m[3][0];
                    const double y = cx * m[0][1] + cy * m[1][1] + m[3][1];
                    const double w = cx * m[0][3] + cy * m[1][3] + m[3][3];
                    EXPECT_NEAR(x / w, 2 * cx - 0.5 / size[0], 1e-5);
                    EXPECT_NEAR(y / w, 2 * cy + 0.5 / size[1], 1e-5);
                }
            }
        }
    }
    // No usable size or aspect: finite values, the quad still covers the target.
    for (const auto& bad : {std::make_pair(640, 0), std::make_pair(0, 0), std::make_pair(-3, 480)}) {
        const QuadProjection projection = ComputeQuadProjection(bad.first, bad.second, 1.0);
        EXPECT_FALSE(projection.shifted);
        for (const auto& row : projection.matrix.m)
            for (float value : row)
                EXPECT_TRUE(std::isfinite(value));
        EXPECT_NEAR(0.5 * projection.matrix.m[0][0] / projection.matrix.m[3][3], 1.0, 1e-5);
    }
    EXPECT_TRUE(ComputeQuadProjection(640, 480, 0.0).aspectReplaced);
}
