// Textures on Wine's real Direct3D 9: known images uploaded, copied and read back
// pixel for pixel. The same program runs against the 9Ex device (real_tests) and the
// plain device (real_plain_tests).

#include "LogCapture.h"
#include "Pattern.h"
#include "PluginLibrary.h"
#include "Resources.h"

#include <d3d9.h>
#include <gtest/gtest.h>

using namespace VeltraRender;

namespace {

class RealTextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        render = plugin.CreateRender();
        RenderSettings settings = OffscreenSettings(64, 64);
        ASSERT_TRUE(InitializeRender(render, settings));
        IDirect3DDevice9Ex* extended = nullptr;
        if (SUCCEEDED(render->GetDevice()->QueryInterface(__uuidof(IDirect3DDevice9Ex), reinterpret_cast<void**>(&extended)))) {
            extended->Release();
            deviceKind = "9Ex";
        }
        // The program runs once per device kind; it is told which one it should get.
        char expected[16] = {};
        if (GetEnvironmentVariableA("VELTRA_EXPECTED_DEVICE", expected, sizeof expected))
            ASSERT_EQ(deviceKind, expected);
        render->GetDevice()->GetDirect3D(&direct3D);
        log.Clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(log.Count(L"DirectX Error"), expectedDirectXErrors) << log.Dump();
        EXPECT_TRUE(render->Shutdown());
        EXPECT_EQ(direct3D->Release(), 0u) << "nothing of Direct3D left";
    }

    boost::shared_ptr<IResTextureGPU> Gpu(int width, int height, uint32_t format = pfColor0, int rowBytes = 0)
    {
        return CreateGpuTexture(*render, width, height, format, rowBytes);
    }
    boost::shared_ptr<IResTextureCPU> Cpu(int width, int height, uint32_t format = pfColor0, const void* data = nullptr)
    {
        return CreateCpuTexture(*render, width, height, format, data);
    }
    // Reads a texture back through a CPU texture and compares it with the pattern.
    std::string ReadBackDifferences(const boost::shared_ptr<IResTextureGPU>& texture, int width, int height)
    {
        boost::shared_ptr<IResTextureCPU> readBack = Cpu(width, height);
        render->TransferResource(texture, readBack);
        const LockedMemory locked = render->LockResource(readBack);
        const std::string differences = PixelDifferences(locked, width, height, PatternPixel);
        render->UnlockResource(readBack);
        return differences;
    }

    LogCapture log;
    PluginLibrary plugin;
    boost::shared_ptr<IRender> render;
    IDirect3D9* direct3D = nullptr;
    std::string deviceKind = "plain";
    size_t expectedDirectXErrors = 0;
};

} // namespace

TEST_F(RealTextureTest, UploadedImagesReadBackPixelForPixel)
{
    const int width = 37, height = 23;
    // Rows exactly as wide as the texture (the 9Ex path builds on them directly) and
    // padded rows (copied row by row).
    for (int rowBytes : {width * 4, width * 4 + 12}) {
        SCOPED_TRACE(rowBytes);
        const std::vector<uint8_t> image = PatternImage(width, height, rowBytes);
        boost::shared_ptr<IResTextureGPU> texture = Gpu(width, height, pfColor0, rowBytes);
        render->SetResourceData(image.data(), texture);
        EXPECT_EQ(texture->GetState(), rsReady);
        EXPECT_EQ(ReadBackDifferences(texture, width, height), "") << deviceKind;
    }
}

TEST_F(RealTextureTest, CpuToGpuToCpuRoundTrip)
{
    const int width = 41, height = 17;
    const std::vector<uint8_t> image = PatternImage(width, height, width * 4);
    boost::shared_ptr<IResTextureCPU> source = Cpu(width, height, pfColor0, image.data());
    boost::shared_ptr<IResTextureGPU> texture = Gpu(width, height);
    source->SetTag(9);
    render->TransferResource(source, texture);
    EXPECT_EQ(texture->GetTag(), 9u) << "the tag travels with a CPU transfer";
    EXPECT_EQ(ReadBackDifferences(texture, width, height), "") << deviceKind;

    // Formats 4 and 5 keep two pixels in a texel: half as wide.
    boost::shared_ptr<IResTextureGPU> paired = Gpu(2 * width + 1, height, pfPaired5, width * 4);
    render->SetResourceData(image.data(), paired);
    EXPECT_EQ(ReadBackDifferences(paired, width, height), "") << "959 of 1919, here " << width;
}

TEST_F(RealTextureTest, ScaledCopyBetweenGpuTextures)
{
    // A smooth ramp, halved by StretchRect with linear filtering.
    const int size = 64;
    std::vector<uint32_t> ramp(size * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            ramp[y * size + x] = 0xFF000000u | (x * 4u) << 16 | (y * 4u) << 8;
    boost::shared_ptr<IResTextureGPU> source = Gpu(size, size, pfColor0, size * 4);
    boost::shared_ptr<IResTextureGPU> half = Gpu(size / 2, size / 2);
    render->SetResourceData(ramp.data(), source);
    source->SetTag(11);
    half->SetTag(3);
    render->TransferResource(source, half);
    EXPECT_EQ(half->GetTag(), 3u) << "no tag on a GPU copy";

    boost::shared_ptr<IResTextureCPU> readBack = Cpu(size / 2, size / 2);
    render->TransferResource(half, readBack);
    EXPECT_EQ(readBack->GetTag(), 3u) << "the tag travels with a GPU to CPU transfer";
    const LockedMemory locked = render->LockResource(readBack);
    ASSERT_NE(locked.bits, nullptr);
    // Away from the edges, pixel i covers source texels 2i and 2i+1: their mean.
    for (int y = 4; y < size / 2 - 4; y += 5)
        for (int x = 4; x < size / 2 - 4; x += 3) {
            const uint32_t pixel = *reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.bits) + y * locked.pitch + x * 4);
            EXPECT_NEAR(static_cast<int>(pixel >> 16 & 0xFF), 8 * x + 2, 6) << x << "," << y;
            EXPECT_NEAR(static_cast<int>(pixel >> 8 & 0xFF), 8 * y + 2, 6) << x << "," << y;
        }
    render->UnlockResource(readBack);
}

TEST_F(RealTextureTest, AlphaOnlyTexturesUploadRowByRow)
{
    const int width = 37, height = 9;
    std::vector<uint8_t> alpha(width * height);
    for (size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<uint8_t>(i * 7);
    boost::shared_ptr<IResTextureGPU> texture = Gpu(width, height, pfA8, width);
    render->SetResourceData(alpha.data(), texture);
    boost::shared_ptr<IResTextureCPU> readBack = Cpu(width, height, pfA8);
    render->TransferResource(texture, readBack);
    const LockedMemory locked = render->LockResource(readBack);
    ASSERT_NE(locked.bits, nullptr);
    int differences = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            differences += static_cast<const uint8_t*>(locked.bits)[y * locked.pitch + x] != alpha[y * width + x];
    EXPECT_EQ(differences, 0) << "pitch " << locked.pitch;
    render->UnlockResource(readBack);
}

TEST_F(RealTextureTest, TargetAndDeSelectRestoreTheRenderTarget)
{
    IDirect3DDevice9* device = render->GetDevice();
    IDirect3DSurface9* before = nullptr;
    device->GetRenderTarget(0, &before);
    boost::shared_ptr<IResTextureGPU> texture = Gpu(32, 32);
    texture->Target(0);
    IDirect3DSurface9* during = nullptr;
    device->GetRenderTarget(0, &during);
    IDirect3DSurface9* level = texture->GetDeviceInterface();
    EXPECT_EQ(during, level);
    texture->DeSelect(0);
    IDirect3DSurface9* after = nullptr;
    device->GetRenderTarget(0, &after);
    EXPECT_EQ(after, before);
    for (IDirect3DSurface9* surface : {before, during, level, after})
        surface->Release();
    EXPECT_EQ(texture->GetState(), rsReady);
}

TEST_F(RealTextureTest, TooLargeForTheDevice)
{
    EXPECT_VELTRA_ERROR(Gpu(100000, 100000), Veltra::ecOutOfMemory);
    EXPECT_EQ(log.Count(L"DirectX Error: ", 1), 1u);
    EXPECT_EQ(log.Count(L"in device->CreateTexture(_settings.image.GetInternalPixelWidth()"), 1u);
    expectedDirectXErrors = 1;
    EXPECT_THROW(render->GetResourceGPU(3), boost::bad_weak_ptr) << "nothing listed";
}
