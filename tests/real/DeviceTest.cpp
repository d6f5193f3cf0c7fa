// The shared device on Wine's real Direct3D 9 as hosts see it: two renders on it, what
// the trace says (no size at Initialize included), what the queries answer, a last
// Shutdown while the host holds the device or its objects or from another thread, the
// render lock a draw holds, and the stereo signature stamped into render targets.

#include "RealFixture.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <thread>
#include <iterator>

using RealDeviceTest = RealFixture;

namespace {

// An index buffer of the host's own, which the render asks for its count while it draws.
// While `entered` is set, that call signals it and waits for `release`.
class HostIndexBuffer final : public IResourceGPU {
public:
    HANDLE entered = nullptr, release = nullptr;

    void GetSettings(ResourceHeader& settings) override
    {
        static_cast<BufferSettings&>(settings).kind = bkIndices;
        static_cast<BufferSettings&>(settings).count = 6;
        if (entered && SetEvent(entered))
            WaitForSingleObject(release, 10000);
    }
    ResourceState GetState() override { return rsReady; }
    void SetState(ResourceState) override {}
    ResourceType GetType() override { return rtBufferGPU; }
    bool GetFlag() override { return false; }
    void Destroy() override {}
    void TransferTo(boost::shared_ptr<IResource>) override {}
    void SetSettings(boost::weak_ptr<IRender>, const ResourceHeader&) override {}
    void Select(uint32_t) override {}
    void Target(uint32_t) override {}
    void DeSelect(uint32_t) override {}
};

} // namespace

TEST_F(RealDeviceTest, TwoRendersShareOneDeviceAndItsStates)
{
    boost::shared_ptr<IRender> other = plugin.CreateRender();
    RenderSettings settings = OffscreenSettings(128, 128);
    ASSERT_TRUE(InitializeRender(other, settings));
    EXPECT_EQ(other->GetDevice(), device);

    // After the other render turns blending on, this render's blending-off state,
    // selected again, must turn it off: states belong to the device.
    boost::shared_ptr<IState> opaque = render->CreateState(BlendSettings());
    BlendSettings keep;
    keep.enableBlending = true;
    keep.srcColorFactor = keep.srcAlphaFactor = bfZero;
    keep.dstColorFactor = keep.dstAlphaFactor = bfOne;
    boost::shared_ptr<IResShaderGPU> red = Solid(1, 0, 0), blue = Solid(0, 0, 1);
    EXPECT_EQ(Frame([&] {
                  render->SelectState(opaque, 0);
                  other->SelectState(other->CreateState(keep), 0);
                  render->SelectState(opaque, 0);
                  Quad(red);
              })[Height / 2 * Width + Width / 2],
              0xFFFF0000u);

    // The first Shutdown leaves the device to this render, which still draws on it; the
    // last one (the fixture's) leaves nothing.
    boost::shared_ptr<IResTextureGPU> leftOver = CreateGpuTexture(*other, 16, 16);
    EXPECT_TRUE(other->Shutdown());
    other.reset();
    leftOver.reset();
    EXPECT_EQ(Frame([&] { Quad(blue); })[Height / 2 * Width + Width / 2], 0xFF0000FFu);
}

TEST_F(RealDeviceTest, QueriesAnswerTheSettingsTheAdapterAndTheObjectsMade)
{
    RenderSettings settings;
    render->GetRenderSettings(&settings);
    EXPECT_TRUE(settings.window == window.Handle() && settings.width == Width && settings.height == Height);
    IDirect3D9* direct3D = nullptr;
    D3DADAPTER_IDENTIFIER9 adapter = {};
    device->GetDirect3D(&direct3D);
    direct3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &adapter);
    direct3D->Release();
    // The description cut to 64 characters, the driver version in four parts.
    wchar_t expected[2][RenderInfoTextLength] = {};
    _snwprintf(expected[0], RenderInfoTextLength - 1, L"%.64hs", adapter.Description);
    const LARGE_INTEGER driver = adapter.DriverVersion;
    _snwprintf(expected[1], RenderInfoTextLength - 1, L"%d.%d.%d.%d", HIWORD(driver.HighPart), LOWORD(driver.HighPart),
               HIWORD(driver.LowPart), LOWORD(driver.LowPart));
    RenderInfo info;
    render->GetRenderInfo(&info);
    EXPECT_EQ(std::wstring(info.name) + L"|" + info.reserved2 + L"|" + info.vendor, L"RenderDX9||NVidia")
        << "Wine's adapter is NVIDIA's";
    EXPECT_EQ(std::wstring(info.description) + L"|" + info.driverVersion, std::wstring(expected[0]) + L"|" + expected[1]);
    render->GetRenderInfo(nullptr);
    render->GetRenderSettings(nullptr);
    EXPECT_TRUE(render->QueryFlag() && render->CheckRender() && render->Flush(false));
    EXPECT_EQ(render->GetShaderLevel(), 2) << "Wine's pixel shader 3.0";
    IDirect3DSwapChain9* chain = nullptr;  // the device's own: one large back buffer, depth with stencil
    D3DPRESENT_PARAMETERS made = {};
    device->GetSwapChain(0, &chain);
    chain->GetPresentParameters(&made);
    chain->Release();
    EXPECT_TRUE(made.BackBufferWidth == 4096 && made.BackBufferHeight == 3072 && made.BackBufferCount == 1 &&
                made.EnableAutoDepthStencil && made.AutoDepthStencilFormat == D3DFMT_D24S8);

    // GPU objects by position, in the order made; destroyed ones are dropped by ReleaseExtraMemory.
    const boost::shared_ptr<IResTextureGPU> first = CreateGpuTexture(*render, 8, 8), second = CreateGpuTexture(*render, 8, 8);
    EXPECT_EQ(render->GetResourceGPU(first->GetIndex()), first);
    EXPECT_EQ(second->GetIndex(), first->GetIndex() + 1);
    render->DestroyResource(first.get());
    EXPECT_EQ(first->GetState(), rsDestroyed);
    EXPECT_THROW(render->GetResourceGPU(first->GetIndex()), boost::bad_weak_ptr);
    render->ReleaseExtraMemory();
    EXPECT_EQ(render->GetResourceGPU(first->GetIndex()), second) << "moved into the dropped entry's place";
    EXPECT_THROW(render->GetResourceGPU(second->GetIndex()), boost::bad_weak_ptr);
}

TEST_F(RealDeviceTest, TheTraceTellsWhatTheRendersDid)
{
    // Without a width there is no half-pixel shift; a fresh record's pixel aspect (0) is taken as 1.
    for (int width : {0, 200}) {
        RenderSettings settings = OffscreenSettings(width, 100);
        settings.pixelAspect = 0;
        settings.window = window.Handle();
        log.Clear();
        Reinitialize(settings);
        EXPECT_EQ(log.Count(width ? L"pixelAspect=0 gives no aspect" : L"without the half-pixel shift", 3), 1u);
    }

    // Levels 3 (the render) and 5 (textures) as a host reads them: the shared device made
    // again above, and a second render's life beside the first.
    {
        boost::shared_ptr<IRender> other = plugin.CreateRender();
        RenderSettings settings = OffscreenSettings(32, 16);
        settings.window = window.Handle();
        ASSERT_TRUE(InitializeRender(other, settings));
        const boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*other, 32, 16, pfColor0, 32 * 4),
                                                target = CreateGpuTexture(*other, 32, 16);
        const boost::shared_ptr<IResTextureCPU> cpu = CreateCpuTexture(*other, 32, 16);
        other->SetResourceData(Pattern(32, 16).data(), texture);
        other->SelectResource(texture, 1);
        other->DeSelectResource(texture, 1);
        other->TargetResource(target, 0);
        other->DeSelectResource(target, 0);
        other->TransferResource(texture, target);
        other->LockResource(cpu);
        other->UnlockResource(cpu);
        other->DisplayBuffer(target, 0);
        other->DestroyResource(texture);
        other->ReleaseExtraMemory();
        EXPECT_TRUE(other->Shutdown());
    }
    const std::pair<const wchar_t*, unsigned> lines[] = {{L"::RenderDX9 - start\n", 3}, {L"::RenderDX9 - end\n", 3},
        {L"::Initialize() - start\n", 3}, {L" - CreateSwapChain width=32, height=16\n", 3},
        {L" - ChangeRenderWindow displayWnd=", 3}, {L"::Initialize(width=32, height=16, pixelAspect=1, window=", 3},
        {L"::DX9ResTextureGPU()\n", 5}, {L"::SetSettings()\n", 5}, {L"::SetTextureData()\n", 5}, {L"::Select(1)\n", 5},
        {L"::DeSelect(1)\n", 5}, {L"::Target(0)\n", 5}, {L"::DeSelect(0) (target)\n", 5},
        {L"::TransferTo() - copying GPU to GPU (fromSurface=", 5}, {L"::Lock() - texOb=", 5}, {L" - ok, memPtr=", 5},
        {L"::Unlock() - texOb=", 5}, {L" - ok\n", 5}, {L"::DisplayBuffer() - start\n", 3}, {L" - Present\n", 3},
        {L"::DisplayBuffer() - finish\n", 3}, {L"::Destroy()\n", 5}, {L"::~DX9ResTextureGPU()\n", 5},
        {L"::ReleaseExtraMemory() - start\n", 3}, {L"::ReleaseExtraMemory() - end\n", 3}, {L"::Shutdown() - start\n", 3},
        {L"::Shutdown() - end\n", 3}, {L"::~RenderDX9 - started\n", 3}, {L"::~RenderDX9 - end\n", 3},
        {L" - shutting down shared device\n", 3}, {L" - finished shutting down shared device\n", 3},
        {L"- Creating shared device\n", 3}, {L"- Finished Creating shared device\n", 3}};
    for (const auto& [text, level] : lines)
        EXPECT_GE(log.Count(text, level), 1u) << std::string(text, text + std::wcslen(text));
}

TEST_F(RealDeviceTest, TheLastShutdownDestroysEveryObjectTheHostStillHolds)
{
    // One object of every kind, the host's references kept, most of them bound.
    const float corners[12] = {};
    const uint32_t indices[6] = {};
    const boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, 16, 16), target = CreateGpuTexture(*render, 16, 16);
    std::vector<boost::shared_ptr<IResource>> held = {texture, target, CreateBuffer(*render, bkPositions, 3, 4, corners),
        CreateBuffer(*render, bkIndices, 0, 6, indices),
        Solid(1, 0, 0), CreateCpuTexture(*render, 8, 8), render->CreateResourceCPU(texture)};
    const BlendSettings blend;
    const DepthSettings depth;
    const RasterSettings raster;
    const StencilSettings stencil;
    const SamplerSettings sampler;
    for (const ResourceHeader* settings : std::initializer_list<const ResourceHeader*>{&blend, &depth, &raster, &stencil, &sampler})
        render->SelectState(boost::dynamic_pointer_cast<IState>(held.emplace_back(render->CreateState(*settings))), 0);
    for (size_t bound : {0, 2, 3, 4})  // the texture, the buffers and the shader
        render->SelectResource(boost::dynamic_pointer_cast<IResourceGPU>(held[bound]), 1);
    render->TargetResource(target, 0);
    RenderSettings settings = OffscreenSettings(Width, Height);
    settings.window = window.Handle();
    Reinitialize(settings);  // a Shutdown that answers true and leaves nothing of Direct3D
    for (const boost::shared_ptr<IResource>& object : held)
        EXPECT_EQ(object->GetState(), rsDestroyed) << "type " << object->GetType();
}

TEST_F(RealDeviceTest, ADrawHoldsBindingClearingAndDisplayOnOtherThreadsOff)
{
    // The render asks the host's index buffer for its count while it draws with it under
    // the render lock; the buffer keeps the lock held while another host thread binds,
    // clears or displays.
    const float corners[12] = {};
    const boost::shared_ptr<HostIndexBuffer> indices = boost::make_shared<HostIndexBuffer>();
    const boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, 16, 16), target = CreateGpuTexture(*render, 16, 16);
    const boost::shared_ptr<IState> blend = render->CreateState(BlendSettings());
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"SelectResource", [&] { render->SelectResource(texture, 1); }},
        {"DeSelectResource", [&] { render->DeSelectResource(texture, 1); }},
        {"TargetResource", [&] { render->TargetResource(target, 0); }},
        {"Clear", [&] { render->Clear(0x06); }},
        {"DeSelectResource of the target", [&] { render->DeSelectResource(target, 0); }},
        {"SelectState", [&] { render->SelectState(blend, 0); }},
        {"DrawQuad", [&] { render->DrawQuad(); }},
        {"DisplayBuffer", [&] { render->DisplayBuffer(target, 0); }},
        {"ChangeRenderWindow", [&] { render->ChangeRenderWindow(nullptr, 0, 0, 0, 0); }},
    };
    render->DrawQuad();  // leaves the quad's indices on the device for the host's buffer to draw with
    render->SelectResource(CreateBuffer(*render, bkPositions, 3, 4, corners), 0);
    HANDLE events[4];  // the draw asked the buffer, the draw may go on, the next operation, it finished
    for (HANDLE& event : events)
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<size_t> done{0};
    std::thread other([&] {
        for (int present = 0; present < 2; ++present)  // a thread's first presents take Wine longer than the wait below
            render->DisplayBuffer(target, 0);
        for (const auto& operation : operations) {
            WaitForSingleObject(events[2], 10000);
            operation.second();
            ++done;
            SetEvent(events[3]);
        }
    });
    for (size_t i = 0; i < std::size(operations); ++i) {
        SCOPED_TRACE(operations[i].first);
        render->SelectResource(indices, 0);
        indices->entered = events[0];
        indices->release = events[1];
        std::thread draw([&] { render->Draw(); });
        EXPECT_EQ(WaitForSingleObject(events[0], 10000), WAIT_OBJECT_0) << "the draw asked the host's buffer";
        SetEvent(events[2]);
        Sleep(100);
        EXPECT_EQ(done, i) << "ran while the draw held the render lock";
        SetEvent(events[1]);
        draw.join();
        indices->entered = nullptr;
        EXPECT_EQ(WaitForSingleObject(events[3], 10000), WAIT_OBJECT_0);
    }
    other.join();
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST_F(RealDeviceTest, TheLastShutdownRefusesWhileTheHostHoldsTheDevice)
{
    device->AddRef();
    EXPECT_FALSE(render->Shutdown());
    EXPECT_EQ(log.Count(L"Device not released, Use Count still 2", 2), 1u) << log.Dump();
    EXPECT_EQ(device->Release(), 1u);
    // The host tries again once it has let go: the fixture's Shutdown.
}

TEST_F(RealDeviceTest, ShutdownFromAnotherThreadIsReportedAndReleasesEverything)
{
    bool result = false;
    std::thread([&] { result = render->Shutdown(); }).join();
    EXPECT_TRUE(result);
    EXPECT_EQ(log.Count(L"Shutting down on different thread than created on", 1), 1u) << log.Dump();
    log.Clear();
    // The host's message loop runs, then the host starts again on its own thread, where
    // the first device's drawing context was left: the new device renders. (Under Wine
    // this freed that context twice once the window it drew on had gone.)
    HostWindow::PumpMessages();
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        Reinitialize(OffscreenSettings(Width, Height));
        const Pixels pixels = Frame([&] { Quad(Solid(0, 1, 0, QuadVertexShader)); });
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF00FF00u), ptrdiff_t(pixels.size()));
    }
}

TEST_F(RealDeviceTest, TheStereoSignatureLandsInTheLastRowOfEachTarget)
{
    // "NV3D", width, height, bits per pixel, flags: the size of the first target stamped.
    const uint32_t background = 0xFF336699;
    const Pixels header = {0x4433564E, 1920, 1080, 32, 7};
    for (int width : {1920, 1280}) {
        const int height = width * 9 / 16;
        SCOPED_TRACE(width);
        boost::shared_ptr<IResTextureGPU> target = Texture(Pixels(size_t(width) * height, background), width, height);
        render->StampStereoSignature(target);
        const Pixels pixels = ReadBack(target, width, height);
        const auto lastRow = pixels.begin() + size_t(height - 1) * width;
        EXPECT_EQ(Pixels(lastRow, lastRow + 5), header);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), background), ptrdiff_t(pixels.size() - 5)) << "the rest";
    }
}


TEST_F(RealDeviceTest, AFirstQuadWithoutARasterStateSaysWhyItDrawsNothing)
{
    // Direct3D's default culling hides the default quad: a host that selected no raster
    // state reads one level-2 record that says so, the first time only. A raster state of
    // the host's own that culls the quad is the host's choice: no record.
    Reinitialize(OffscreenSettings(Width, Height), false);
    RasterSettings cullsTheQuad;
    cullsTheQuad.cullFace = cfFront;
    render->SelectState(render->CreateState(cullsTheQuad), 0);
    EXPECT_EQ(Frame([&] { Quad(Solid(0, 1, 0, QuadVertexShader)); })[Height / 2 * Width + Width / 2], 0u);
    EXPECT_EQ(log.Count(L"no raster state selected"), 0u) << log.Dump();
    Reinitialize(OffscreenSettings(Width, Height), false);
    boost::shared_ptr<IResShaderGPU> green = Solid(0, 1, 0, QuadVertexShader);
    for (int frame = 0; frame < 2; ++frame)
        EXPECT_EQ(Frame([&] { Quad(green); })[Height / 2 * Width + Width / 2], 0u);
    EXPECT_EQ(log.Count(L"no raster state selected", 2), 1u) << log.Dump();
    render->SelectState(render->CreateState(RasterSettings()), 0);
    EXPECT_EQ(Frame([&] { Quad(green); })[Height / 2 * Width + Width / 2], 0xFF00FF00u);
    EXPECT_EQ(log.Count(L"no raster state selected"), 1u);
}
