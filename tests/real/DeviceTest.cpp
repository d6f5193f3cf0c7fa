// The shared device on Wine's real Direct3D 9 as hosts see it: two renders on it, no
// size at Initialize, a last Shutdown while the host holds the device or from another
// thread, and the stereo signature stamped into render targets.

#include "RealFixture.h"

#include <algorithm>
#include <thread>

using RealDeviceTest = RealFixture;

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

TEST_F(RealDeviceTest, NoSizeOrAspectInitializesWithATraceLine)
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
    // state reads one level-2 record that says so, the first time only.
    Reinitialize(OffscreenSettings(Width, Height), false);
    boost::shared_ptr<IResShaderGPU> green = Solid(0, 1, 0, QuadVertexShader);
    for (int frame = 0; frame < 2; ++frame)
        EXPECT_EQ(Frame([&] { Quad(green); })[Height / 2 * Width + Width / 2], 0u);
    EXPECT_EQ(log.Count(L"no raster state selected", 2), 1u) << log.Dump();
    render->SelectState(render->CreateState(RasterSettings()), 0);
    EXPECT_EQ(Frame([&] { Quad(green); })[Height / 2 * Width + Width / 2], 0xFF00FF00u);
    EXPECT_EQ(log.Count(L"no raster state selected"), 1u);
}
