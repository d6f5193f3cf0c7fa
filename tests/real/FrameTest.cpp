// Complete frames on the real device, read back by pixels: the default quad's texel
// mapping, clears, a host mesh beside the default quad, index buffers updated in part,
// and frames presented into host windows. Runs on the 9Ex device and on the plain
// device with 16-bit indices.

#include "RealFixture.h"
#include "X11Capture.h"

#include <algorithm>

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
        int mask;                      // Clear on the first target (-1: none asked)
        const Pixels& first, &second;  // then the first target, and a second one targeted next
    } cases[] = {
        {"a fresh render, no clear asked", true, -1, image, image},
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
        if (c.mask >= 0)
            render->Clear(static_cast<uint8_t>(c.mask));
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

TEST_F(RealFrameTest, WhatTheHostSelectedLastStaysBoundWhenAnEarlierObjectGoesAway)
{
    // The host selects a new shader, image or target over the old one without
    // deselecting the old one, then lets the old one go: drops its last reference
    // (before or after the new one is selected) or destroys it. The new one draws, and
    // a destroyed image is sampled nowhere.
    enum Kind { ShaderKind, TextureKind, TargetKind };
    enum LetGo { DropBefore, DropAfter, Destroy };
    const uint32_t red = 0xFFFF0000, green = 0xFF00FF00, unbound = 0xFF000000;  // an empty unit samples black
    const struct {
        const char* name;
        Kind kind;
        LetGo letGo;
        uint32_t unit;
        bool successor;
    } cases[] = {
        {"shader dropped, the render holding it until its successor", ShaderKind, DropBefore, 0, true},
        {"shader destroyed", ShaderKind, Destroy, 0, true},
        {"texture dropped", TextureKind, DropAfter, 0, true},
        {"texture on unit 2 destroyed", TextureKind, Destroy, 2, true},
        {"texture on unit 2 destroyed, nothing in its place", TextureKind, Destroy, 2, false},
        {"target dropped, the render holding it until its successor", TargetKind, DropBefore, 0, true},
        {"target destroyed", TargetKind, Destroy, 0, true},
    };
    IDirect3DSurface9* original = nullptr;
    device->GetRenderTarget(0, &original);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sampling = "sampler2D image : TEXUNIT" + std::to_string(c.unit) +
                                     "; float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv); }";
        boost::shared_ptr<IResourceGPU> old, next;
        boost::shared_ptr<IResTextureGPU> drawnInto;  // where the quad lands
        if (c.kind == ShaderKind) {
            old = Solid(1, 0, 0, QuadVertexShader), next = Solid(0, 1, 0, QuadVertexShader);
        } else if (c.kind == TextureKind) {
            old = Texture(Pixels(Width * Height, red), Width, Height);
            next = Texture(Pixels(Width * Height, green), Width, Height);
        } else {
            old = CreateGpuTexture(*render, Width, Height);
            next = drawnInto = CreateGpuTexture(*render, Width, Height);
        }
        auto bind = [&](const boost::shared_ptr<IResourceGPU>& object) {
            if (c.kind == TargetKind)
                render->TargetResource(object, 0);
            else
                render->SelectResource(object, c.unit);
        };
        if (c.kind != TargetKind) {
            drawnInto = CreateGpuTexture(*render, Width, Height);
            render->TargetResource(drawnInto, 0);
        }
        bind(old);
        if (c.letGo == DropBefore)
            old.reset();
        if (c.successor)
            bind(next);
        if (c.letGo == Destroy)
            render->DestroyResource(old);
        old.reset();
        if (c.kind == ShaderKind)
            render->DrawQuad();
        else
            Quad(c.kind == TextureKind ? Shader(QuadVertexShader, sampling) : Solid(0, 1, 0, QuadVertexShader));
        if (c.kind != TargetKind)
            render->DeSelectResource(next, c.unit);
        render->DeSelectResource(drawnInto, 0);
        EXPECT_EQ(ReadBack(drawnInto, Width, Height)[Height / 2 * Width + Width / 2], c.successor ? green : unbound);
        IDirect3DSurface9* current = nullptr;
        device->GetRenderTarget(0, &current);
        EXPECT_EQ(current, original) << "the render target in force before the first target";
        current->Release();
    }
    original->Release();

    // A uniform set on the shader the successor replaced waits for that shader's next
    // Select: the successor's registers keep their values.
    boost::shared_ptr<IResShaderGPU> first = Solid(1, 0, 0, QuadVertexShader), second = Solid(0, 1, 0, QuadVertexShader);
    EXPECT_EQ(Frame([&] {
                  render->SelectResource(first, 0);
                  render->SelectResource(second, 0);
                  first->SetPixelParameter("colour", Rgba(0, 0, 1));
                  render->DrawQuad();
                  render->DeSelectResource(second, 0);
              })[Height / 2 * Width + Width / 2],
              green);
}

TEST_F(RealFrameTest, AShaderDestroyedWhileCurrentTakesNoProjection)
{
    // The default quad after the host destroyed the shader it had selected, however the
    // shader went: drawn without a word (nothing uploaded into a destroyed program), and
    // the next shader draws it whole.
    boost::shared_ptr<IResShaderGPU> green = Solid(0, 1, 0, QuadVertexShader);
    for (bool throughTheRender : {true, false}) {
        SCOPED_TRACE(throughTheRender ? "destroyed through the render" : "destroyed by the shader itself");
        boost::shared_ptr<IResShaderGPU> red = Solid(1, 0, 0, QuadVertexShader);
        log.Clear();
        const Pixels frame = Frame([&] {
            render->SelectResource(red, 0);
            if (throughTheRender)
                render->DestroyResource(red);
            else
                red->Destroy();
            render->DrawQuad();
            Quad(green);
        });
        EXPECT_EQ(std::count(frame.begin(), frame.end(), 0xFF00FF00u), ptrdiff_t(frame.size()));
        EXPECT_EQ(log.Count(L"Error"), 0u) << log.Dump();
    }
}
