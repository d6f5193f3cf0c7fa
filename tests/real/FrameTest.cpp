// Complete frames on the real device, read back by pixels: the default quad's texel
// mapping, clears, a host mesh beside the default quad, index buffers updated in part,
// and frames presented into host windows. Runs on the 9Ex device and on the plain
// device with 16-bit indices.

#include "RealFixture.h"
#include "X11Capture.h"

using RealFrameTest = RealFixture;

TEST_F(RealFrameTest, TheDefaultQuadPutsEachTexelOnItsPixel)
{
    const Pixels image = Pattern(Width, Height);
    boost::shared_ptr<IResTextureGPU> source = Texture(image, Width, Height);
    boost::shared_ptr<IResShaderGPU> shader = Shader(QuadVertexShader, SamplingPixel);
    EXPECT_TRUE(Frame([&] { Quad(shader, source); }) == image);
}

TEST_F(RealFrameTest, ClearsFollowTheTargetsColourFlagAndRunDeferred)
{
    const Pixels image = Pattern(Width, Height), black(Width * Height, 0);
    const struct {
        const char* name;
        bool clearColour;
        uint8_t mask;                  // Clear on the first target
        const Pixels& first, &second;  // then the first target, and a second one targeted next
    } cases[] = {
        {"colour", true, 0x00, black, image},
        {"colour switched off on the target", false, 0x06, image, image},
        {"deferred to the next target", true, 0x16, image, black},
        {"deferred with nothing but colour: no clear", true, 0x10, image, image},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boost::shared_ptr<IResTextureGPU> first = Texture(image, Width, Height), second = Texture(image, Width, Height);
        first->SetClearColorEnabled(c.clearColour);
        render->TargetResource(first, 0);
        render->Clear(c.mask);
        render->DeSelectResource(first, 0);
        render->TargetResource(second, 0);
        render->DeSelectResource(second, 0);
        EXPECT_TRUE(ReadBack(first, Width, Height) == c.first);
        EXPECT_TRUE(ReadBack(second, Width, Height) == c.second);
    }
}

TEST_F(RealFrameTest, AHostMeshKeepsItsBuffersAcrossTheDefaultQuadAndItsIndicesAcrossAPartialUpdate)
{
    // Eight vertices, two rectangles: the left and the right half of the target. The
    // indices draw the left one and nothing until their second half moves to the right one.
    // The default quad (the middle half, in green) is drawn while the mesh's buffers are
    // selected; the mesh, drawn after it in blue, must cover the whole width.
    const float halves[] = {-1, -1, 0.5f, 0, -1, 0.5f, 0, 1, 0.5f, -1, 1, 0.5f,   // left
                            0, -1, 0.5f, 1, -1, 0.5f, 1, 1, 0.5f, 0, 1, 0.5f};   // right
    const uint32_t leftOnly[] = {0, 1, 2, 0, 2, 3, 0, 0, 0, 0, 0, 0}, right[] = {4, 5, 6, 4, 6, 7};
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 8, halves);
    boost::shared_ptr<IResBufferGPU> indices = CreateBuffer(*render, bkIndices, 0, 12, leftOnly);
    indices->SetBufferData(right, sizeof right, 6 * 4);
    render->LockResource(indices);  // a lock that writes nothing changes nothing
    render->UnlockResource(indices);
    boost::shared_ptr<IResShaderGPU> green = Solid(0, 1, 0), blue = Solid(0, 0, 1);
    D3DINDEXBUFFER_DESC bound = {};
    const Pixels frame = Frame([&] {
        render->SelectResource(positions, 0);
        render->SelectResource(indices, 0);
        Quad(green);
        render->SelectResource(indices, 0);  // after DrawQuad the quad's indices are current
        render->SelectResource(blue, 0);
        render->Draw();
        IDirect3DIndexBuffer9* buffer = nullptr;
        if (device->GetIndices(&buffer) == D3D_OK && buffer) {
            buffer->GetDesc(&bound);
            buffer->Release();
        }
        render->DeSelectResource(blue, 0);
        render->DeSelectResource(positions, 0);
    });
    EXPECT_EQ(bound.Format, PlainDevice() ? D3DFMT_INDEX16 : D3DFMT_INDEX32) << "the device's index size";
    const uint32_t* row = &frame[Height / 2 * Width];
    EXPECT_EQ(Pixels({row[2], row[24], row[40], row[61]}), Pixels(4, 0xFF0000FF));
}

TEST_F(RealFrameTest, DisplayBufferShowsTheFrameInTheHostsWindow)
{
    // Red left and blue right, twice the window's size: scaled down on the way.
    Pixels halves(4 * Width * Height);
    for (size_t i = 0; i < halves.size(); ++i)
        halves[i] = i % (2 * Width) < Width ? 0xFFFF0000 : 0xFF0000FF;
    boost::shared_ptr<IResTextureGPU> frame = Texture(halves, 2 * Width, 2 * Height);
    // Wine shows the first Present of a new swap chain magnified; a display shows many
    // frames, and so does this test.
    EXPECT_TRUE(render->DisplayBuffer(frame, 0));
    EXPECT_TRUE(render->DisplayBuffer(frame, 0));
    EXPECT_TRUE(render->Flush(true));
    const Pixels shown = CaptureClientArea(window.Handle(), Width, Height);
    ASSERT_FALSE(shown.empty()) << "the display could not be read";
    for (int y = 4; y < Height - 4; y += 5)
        EXPECT_TRUE(shown[y * Width + 8] == 0xFFFF0000 && shown[y * Width + Width - 8] == 0xFF0000FF) << "row " << y;

    render->ChangeRenderWindow(nullptr, 0, 0, 0, 0);
    log.Clear();
    EXPECT_FALSE(render->DisplayBuffer(frame, 0));
    EXPECT_EQ(log.Count(L" - ignoring DisplayBuffer", 3), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"DisplayBuffer() - finish"), 0u) << "no frame was presented";
}
