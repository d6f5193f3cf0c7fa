// Stereo on the real stack: the stereo signature stamped into render targets, read
// back by pixels; and, with no NVIDIA driver on this machine, a render that asks for
// stereo presenting in mono.

#include "RealFixture.h"
#include "X11Capture.h"

using RealStereoTest = RealFixture;

TEST_F(RealStereoTest, SignatureLandsInTheLastRowOfEachTarget)
{
    const uint32_t background = 0xFF336699;
    const int sizes[][2] = {{1920, 1080}, {1280, 720}};
    for (const auto& size : sizes) {
        const int width = size[0], height = size[1];
        SCOPED_TRACE(width);
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, background);
        boost::shared_ptr<IResTextureGPU> target = CreateGpuTexture(*render, width, height, pfColor0, width * 4);
        render->SetResourceData(pixels.data(), target);
        render->StampStereoSignature(target);
        const std::vector<uint32_t> back = ReadBack(target, width, height);
        const uint32_t* lastRow = &back[static_cast<size_t>(height - 1) * width];
        // The header keeps the size of the first target it was made for.
        EXPECT_EQ(std::vector<uint32_t>(lastRow, lastRow + 5), (std::vector<uint32_t>{0x4433564E, 1920, 1080, 32, 7}));
        EXPECT_EQ(lastRow[5], background) << "the rest of the row is untouched";
        EXPECT_EQ(lastRow[width - 1], background);
        EXPECT_EQ(back[static_cast<size_t>(height - 2) * width], background) << "and so is the row above";
    }
}

TEST_F(RealStereoTest, WithoutADriverAStereoRequestPresentsInMono)
{
    RenderSettings settings = OffscreenSettings(64, 48);
    settings.window = window.Handle();
    settings.enableStereo = true;
    ASSERT_TRUE(InitializeRender(render, settings));
    EXPECT_EQ(direct3D->Release(), 0u);
    render->GetDevice()->GetDirect3D(&direct3D);
    SelectHostStates();

    std::vector<uint32_t> green(64 * 48, 0xFF00FF00);
    boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*render, 64, 48, pfColor0, 64 * 4);
    render->SetResourceData(green.data(), frame);
    // Eye 1 is the left half of a stereo pair: a stereo render would wait for eye 2.
    for (int shown = 0; shown < 2; ++shown)
        EXPECT_TRUE(render->DisplayBuffer(frame, 1));
    render->Flush(true);
    const std::vector<uint32_t> shown = CaptureClientArea(window.Handle(), 64, 48);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[20 * 64 + 30], 0xFF00FF00u) << "presented: the render is mono";
    EXPECT_EQ(log.Count(L" - triggering stereo 3D"), 0u);
    EXPECT_EQ(log.Count(L" - left eye"), 0u);
}
