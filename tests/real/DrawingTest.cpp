// Complete frames on the real stack, read back by pixels: clears, the default quad
// with a Cg shader sampling an uploaded texture, a host mesh, deferred clears, and
// frames presented into host windows.

#include "Pattern.h"
#include "PngFile.h"
#include "RealFixture.h"
#include "X11Capture.h"


using namespace VeltraRender;

using RealDrawingTest = RealFixture;

TEST_F(RealDrawingTest, DefaultQuadMapsEachTexelOntoItsPixel)
{
    const int width = 64, height = 48;
    const std::vector<uint8_t> image = PatternImage(width, height, width * 4);
    boost::shared_ptr<IResTextureGPU> source = CreateGpuTexture(*render, width, height, pfColor0, width * 4);
    render->SetResourceData(image.data(), source);
    boost::shared_ptr<IResTextureGPU> target = CreateGpuTexture(*render, width, height);
    boost::shared_ptr<IResShaderGPU> shader = Shader(QuadVertexShader, SamplingPixelShader);
    ASSERT_EQ(log.Count(L"Shader compiler error"), 0u) << log.Dump();

    render->TargetResource(target, 0);
    render->Clear(0);
    render->SelectResource(shader, 0);
    render->SelectResource(source, 0);
    render->DrawQuad();
    render->DeSelectResource(source, 0);
    render->DeSelectResource(shader, 0);
    render->DeSelectResource(target, 0);
    EXPECT_TRUE(render->Flush(true));

    const std::vector<uint32_t> pixels = ReadBack(target, width, height);
    int differences = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            differences += pixels[y * width + x] != PatternPixel(x, y);
    EXPECT_EQ(differences, 0) << "pixel (0,0) " << std::hex << pixels[0] << ", (63,47) " << pixels[width * height - 1];
}

TEST_F(RealDrawingTest, ClearsFollowTheTargetsColourFlagAndRunDeferred)
{
    const int width = 32, height = 16;
    const std::vector<uint8_t> image = PatternImage(width, height, width * 4);
    auto patterned = [&] {
        boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, width, height, pfColor0, width * 4);
        render->SetResourceData(image.data(), texture);
        return texture;
    };
    auto allEqual = [&](const boost::shared_ptr<IResTextureGPU>& texture, uint32_t colour) {
        for (uint32_t pixel : ReadBack(texture, width, height))
            if (pixel != colour)
                return false;
        return true;
    };
    auto isPattern = [&](const boost::shared_ptr<IResTextureGPU>& texture) {
        const std::vector<uint32_t> pixels = ReadBack(texture, width, height);
        for (int i = 0; i < width * height; ++i)
            if (pixels[i] != PatternPixel(i % width, i / width))
                return false;
        return true;
    };

    boost::shared_ptr<IResTextureGPU> cleared = patterned();
    render->TargetResource(cleared, 0);
    render->Clear(0x00);
    render->DeSelectResource(cleared, 0);
    EXPECT_TRUE(allEqual(cleared, 0x00000000u)) << "transparent black by default";

    boost::shared_ptr<IResTextureGPU> kept = patterned();
    kept->SetClearColorEnabled(false);
    render->TargetResource(kept, 0);
    render->Clear(0x00);
    render->DeSelectResource(kept, 0);
    EXPECT_TRUE(isPattern(kept)) << "colour clearing switched off on the target";

    // A deferred clear waits for the next target.
    boost::shared_ptr<IResTextureGPU> current = patterned();
    boost::shared_ptr<IResTextureGPU> next = patterned();
    render->TargetResource(current, 0);
    render->Clear(0x16);
    render->DeSelectResource(current, 0);
    EXPECT_TRUE(isPattern(current));
    render->TargetResource(next, 0);
    render->DeSelectResource(next, 0);
    EXPECT_TRUE(allEqual(next, 0x00000000u));

    // The debug clear colour of log level 22 (without 23), read at Initialize.
    log.SetLevels(L"293:0-5,22");
    RenderSettings settings = OffscreenSettings(64, 48);
    ASSERT_TRUE(InitializeRender(render, settings));
    EXPECT_EQ(direct3D->Release(), 0u) << "Initialize again made the only render's device anew";
    render->GetDevice()->GetDirect3D(&direct3D);
    SelectHostStates();
    boost::shared_ptr<IResTextureGPU> orange = patterned();
    render->TargetResource(orange, 0);
    render->Clear(0x06);
    render->DeSelectResource(orange, 0);
    EXPECT_TRUE(allEqual(orange, 0xFFFF6432u));
}

TEST_F(RealDrawingTest, HostMeshHitsThePixelsItCovers)
{
    // A rectangle over the left half of the target in clip space, its colour made of
    // a texture coordinate on each of two units and the normal.
    const char* const meshVertex = R"(
struct Input { float4 position : POSITION; float3 normal : NORMAL; float2 uv0 : TEXCOORD0; float2 uv1 : TEXCOORD1; };
struct Output { float4 position : POSITION; float4 color : COLOR0; };
Output main(Input input)
{
    Output output;
    output.position = float4(input.position.xyz, 1);
    output.color = float4(input.uv0.x, input.uv1.y, input.normal.z, 1);
    return output;
}
)";
    const char* const colourPixel = "float4 main(float4 color : COLOR0) : COLOR { return color; }";
    const float positions[] = {-1, -1, 0.5f, 0, -1, 0.5f, 0, 1, 0.5f, -1, 1, 0.5f};
    const float normals[] = {0, 0, 0.25f, 0, 0, 0.25f, 0, 0, 0.25f, 0, 0, 0.25f};
    const float firstUnit[] = {1, 0, 1, 0, 1, 0, 1, 0};
    const float secondUnit[] = {0, 0.5f, 0, 0.5f, 0, 0.5f, 0, 0.5f};
    const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    const int width = 64, height = 48;
    boost::shared_ptr<IResTextureGPU> target = CreateGpuTexture(*render, width, height);
    boost::shared_ptr<IResShaderGPU> shader = Shader(meshVertex, colourPixel);
    std::vector<boost::shared_ptr<IResBufferGPU>> buffers = {
        CreateBuffer(*render, bkTexCoordsSized, 2, 4, secondUnit), CreateBuffer(*render, bkNormals, 3, 4, normals),
        CreateBuffer(*render, bkTexCoordsSized, 2, 4, firstUnit), CreateBuffer(*render, bkPositions, 3, 4, positions)};
    const uint32_t units[] = {1, 0, 0, 0};
    boost::shared_ptr<IResBufferGPU> indexBuffer = CreateBuffer(*render, bkIndices, 0, 6, indices);

    render->TargetResource(target, 0);
    render->Clear(0);
    render->SelectResource(shader, 0);
    for (size_t i = 0; i < buffers.size(); ++i)
        render->SelectResource(buffers[i], units[i]);
    render->SelectResource(indexBuffer, 0);
    render->Draw();
    for (size_t i = 0; i < buffers.size(); ++i)
        render->DeSelectResource(buffers[i], units[i]);
    render->DeSelectResource(shader, 0);
    render->DeSelectResource(target, 0);

    const std::vector<uint32_t> pixels = ReadBack(target, width, height);
    for (int y = 2; y < height - 2; y += 3) {
        const uint32_t inside = pixels[y * width + 10];
        EXPECT_NEAR(static_cast<int>(inside >> 16 & 0xFF), 255, 2) << y;
        EXPECT_NEAR(static_cast<int>(inside >> 8 & 0xFF), 128, 2) << y;
        EXPECT_NEAR(static_cast<int>(inside & 0xFF), 64, 2) << y;
        EXPECT_EQ(pixels[y * width + 50], 0u) << "outside the mesh: the clear colour";
    }
}

TEST_F(RealDrawingTest, CompositedFrame)
{
    // A frame as the host composes one: a background texture on the default quad and a
    // mesh over part of it; written as a PNG for people to look at.
    const int width = 64, height = 48;
    const std::vector<uint8_t> image = PatternImage(width, height, width * 4);
    boost::shared_ptr<IResTextureGPU> background = CreateGpuTexture(*render, width, height, pfColor0, width * 4);
    render->SetResourceData(image.data(), background);
    boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*render, width, height);
    boost::shared_ptr<IResShaderGPU> sampling = Shader(QuadVertexShader, SamplingPixelShader);
    boost::shared_ptr<IResShaderGPU> tinted = Shader(QuadVertexShader, "float4 main() : COLOR { return float4(1, 0.5, 0, 1); }");

    render->TargetResource(frame, 0);
    render->Clear(0);
    render->SelectResource(sampling, 0);
    render->SelectResource(background, 0);
    render->DrawQuad();
    render->DeSelectResource(background, 0);
    render->SelectResource(tinted, 0);
    RasterSettings wireframe;
    wireframe.fillMode = fmWireframe;
    render->SelectState(render->CreateState(wireframe), 0);
    render->DrawQuad();
    SelectHostStates();
    render->DeSelectResource(tinted, 0);
    render->DeSelectResource(frame, 0);

    const std::vector<uint32_t> pixels = ReadBack(frame, width, height);
    EXPECT_EQ(pixels[20 * width + 20], PatternPixel(20, 20)) << "the background shows inside";
    EXPECT_TRUE(WritePng(BesideProgram("composited-frame.png"), pixels, width, height));
}


TEST_F(RealDrawingTest, DisplayBufferShowsTheFrameInTheWindow)
{
    // A frame twice the swap chain's size, red left and blue right: scaled down on the way.
    const int width = 128, height = 96;
    std::vector<uint32_t> halves(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            halves[y * width + x] = x < width / 2 ? 0xFFFF0000u : 0xFF0000FFu;
    boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*render, width, height, pfColor0, width * 4);
    render->SetResourceData(halves.data(), frame);

    auto showsFrame = [](const std::vector<uint32_t>& shown) {
        if (shown.empty())
            return false;
        for (int y = 4; y < 44; y += 5) {
            if (shown[y * 64 + 8] != 0xFFFF0000u || shown[y * 64 + 56] != 0xFF0000FFu)
                return false;
        }
        return true;
    };
    // Wine shows the very first Present of a new swap chain magnified (the top-left
    // quarter of the frame); from the second frame on the window shows what was
    // presented. A display shows many frames, and so does this test.
    for (int shown = 0; shown < 2; ++shown)
        EXPECT_TRUE(render->DisplayBuffer(frame, 0));
    render->Flush(true);
    EXPECT_TRUE(showsFrame(CaptureClientArea(window.Handle(), 64, 48))) << "the frame in the host window";

    // Output moves to another window; a null window takes no frames.
    HostWindow other(64, 48, L"Veltra second window");
    render->ChangeRenderWindow(other.Handle(), 0, 0, 0, 0);
    EXPECT_TRUE(render->DisplayBuffer(frame, 0));
    render->Flush(true);
    EXPECT_TRUE(showsFrame(CaptureClientArea(other.Handle(), 64, 48))) << "the frame in the new window";
    render->ChangeRenderWindow(nullptr, 0, 0, 0, 0);
    log.Clear();
    EXPECT_FALSE(render->DisplayBuffer(frame, 0));
    EXPECT_EQ(log.Count(L" - ignoring DisplayBuffer", 3), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"DisplayBuffer() - finish"), 0u) << "no frame was finished";
}
