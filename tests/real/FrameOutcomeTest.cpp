// What a host sees after the frame operations that mix its own objects with the
// plug-in's: its mesh after a default-quad draw, a uniform beside a float3x3, index
// buffers updated in part, uploads with the descriptor's default row length. Runs on
// the 9Ex device and on the plain device with 16-bit indices.

#include "RealFixture.h"

using namespace VeltraRender;

namespace {

// Positions in clip space, colour from a uniform.
const char* const ClipSpaceVertex = R"(
float4 main(float4 position : POSITION) : POSITION { return float4(position.xyz, 1); }
)";
const char* const UniformColourPixel = R"(
uniform float4 colour;
float4 main() : COLOR { return colour; }
)";

// A rectangle over the left half of the target and one over the right half.
const float LeftHalf[] = {-1, -1, 0.5f, 0, -1, 0.5f, 0, 1, 0.5f, -1, 1, 0.5f};
const float Both[] = {-1, -1, 0.5f, 0, -1, 0.5f, 0, 1, 0.5f, -1, 1, 0.5f,
                      0, -1, 0.5f, 1, -1, 0.5f, 1, 1, 0.5f, 0, 1, 0.5f};

ShaderValue Colour(float r, float g, float b, float a)
{
    const float rgba[] = {r, g, b, a};
    return ShaderValue::Floats(rgba, 4);
}

int Channel(uint32_t pixel, int shift)
{
    return static_cast<int>(pixel >> shift & 0xFF);
}

} // namespace

class RealFrameTest : public RealFixture {
protected:
    static const int width = 64, height = 48;

    void SetUp() override
    {
        RealFixture::SetUp();
        target = CreateGpuTexture(*render, width, height);
        render->TargetResource(target, 0);
        render->Clear(0);
    }

    // Ends the frame and reads it back.
    std::vector<uint32_t> Finish()
    {
        render->DeSelectResource(target, 0);
        return ReadBack(target, width, height);
    }

    boost::shared_ptr<IResShaderGPU> Solid(float r, float g, float b)
    {
        boost::shared_ptr<IResShaderGPU> shader = Shader(ClipSpaceVertex, UniformColourPixel);
        shader->SetPixelParameter("colour", Colour(r, g, b, 1));
        return shader;
    }

    boost::shared_ptr<IResTextureGPU> target;
};

TEST_F(RealFrameTest, DrawQuadLeavesTheHostsVertexBuffersBound)
{
    // The host's mesh covers the left half; the default quad, drawn in between, the
    // middle half. Drawn again after the quad, the host's mesh must still be its own.
    const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 4, LeftHalf);
    boost::shared_ptr<IResBufferGPU> indexBuffer = CreateBuffer(*render, bkIndices, 0, 6, indices);
    boost::shared_ptr<IResShaderGPU> green = Solid(0, 1, 0);
    boost::shared_ptr<IResShaderGPU> red = Solid(1, 0, 0);

    render->SelectResource(positions, 0);
    render->SelectResource(indexBuffer, 0);
    render->SelectResource(green, 0);
    render->DrawQuad();
    // The quad's index buffer is the current one after DrawQuad: the host selects its own again.
    render->SelectResource(indexBuffer, 0);
    render->SelectResource(red, 0);
    render->Draw();
    render->DeSelectResource(red, 0);
    render->DeSelectResource(positions, 0);
    const std::vector<uint32_t> pixels = Finish();

    const int row = height / 2;
    EXPECT_EQ(pixels[row * width + 2], 0xFFFF0000u) << "the host's mesh at the far left";
    EXPECT_EQ(pixels[row * width + 24], 0xFFFF0000u) << "the host's mesh over the quad";
    EXPECT_EQ(pixels[row * width + 40], 0xFF00FF00u) << "the quad right of the middle";
    EXPECT_EQ(pixels[row * width + 61], 0u) << "nothing at the far right";
}

TEST_F(RealFrameTest, Float3x3UniformLeavesTheNextUniformAlone)
{
    // Cg packs M into three registers and gives the next one to `After`; uniforms are
    // uploaded in name order, so `After` is written first and M second.
    const char* const pixel = R"(
uniform float3x3 M;
uniform float4 After;
float4 main() : COLOR { return float4(M[0][0], M[1][1], M[2][2], 0) + After; }
)";
    boost::shared_ptr<IResShaderGPU> shader = Shader(ClipSpaceVertex, pixel);
    const float matrix[9] = {0.25f, 0, 0, 0, 0.5f, 0, 0, 0, 0.75f};
    shader->SetPixelParameter("M", ShaderValue::Block(matrix, sizeof matrix));
    shader->SetPixelParameter("After", Colour(0.5f, 0.25f, 0, 1));
    const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 4, LeftHalf);
    boost::shared_ptr<IResBufferGPU> indexBuffer = CreateBuffer(*render, bkIndices, 0, 6, indices);

    render->SelectResource(positions, 0);
    render->SelectResource(indexBuffer, 0);
    render->SelectResource(shader, 0);
    render->Draw();
    render->DeSelectResource(shader, 0);
    render->DeSelectResource(positions, 0);
    const uint32_t drawn = Finish()[(height / 2) * width + 10];

    EXPECT_NEAR(Channel(drawn, 16), 191, 2) << std::hex << drawn;  // 0.25 + 0.5
    EXPECT_NEAR(Channel(drawn, 8), 191, 2) << std::hex << drawn;   // 0.5 + 0.25
    EXPECT_NEAR(Channel(drawn, 0), 191, 2) << std::hex << drawn;   // 0.75 + 0
    EXPECT_EQ(Channel(drawn, 24), 255) << std::hex << drawn;
}

TEST_F(RealFrameTest, PartialIndexUpdatesKeepTheOtherIndices)
{
    // Eight vertices, two rectangles; the index buffer first draws the left one twice,
    // then its second triangle pair is rewritten to point at the right one.
    const uint32_t leftTwice[] = {0, 1, 2, 0, 2, 3, 0, 1, 2, 0, 2, 3};
    const uint32_t right[] = {4, 5, 6, 4, 6, 7};
    boost::shared_ptr<IResBufferGPU> positions = CreateBuffer(*render, bkPositions, 3, 8, Both);
    boost::shared_ptr<IResBufferGPU> indexBuffer = CreateBuffer(*render, bkIndices, 0, 12, leftTwice);
    indexBuffer->SetBufferData(right, sizeof right, 6 * 4);
    // A lock that writes nothing changes nothing either.
    render->LockResource(indexBuffer);
    render->UnlockResource(indexBuffer);
    boost::shared_ptr<IResShaderGPU> blue = Solid(0, 0, 1);

    render->SelectResource(positions, 0);
    render->SelectResource(indexBuffer, 0);
    render->SelectResource(blue, 0);
    render->Draw();
    // The plain test device addresses only 16-bit indices: the buffer converts.
    IDirect3DIndexBuffer9* bound = nullptr;
    D3DINDEXBUFFER_DESC description = {};
    ASSERT_EQ(device->GetIndices(&bound), D3D_OK);
    bound->GetDesc(&description);
    bound->Release();
    char kind[16] = {};
    GetEnvironmentVariableA("VELTRA_EXPECTED_DEVICE", kind, sizeof kind);
    EXPECT_EQ(description.Format, std::string(kind) == "plain" ? D3DFMT_INDEX16 : D3DFMT_INDEX32);
    render->DeSelectResource(blue, 0);
    render->DeSelectResource(positions, 0);
    render->DeSelectResource(indexBuffer, 0);
    const std::vector<uint32_t> pixels = Finish();

    for (int x : {2, 20, 44, 61})
        EXPECT_EQ(pixels[(height / 2) * width + x], 0xFF0000FFu) << "x " << x;
}

TEST_F(RealFrameTest, UploadsTakePackedRowsWhenRowBytesIsZero)
{
    // A fresh descriptor's rowBytes is 0: the host's rows are taken as packed.
    const int w = 13, h = 5;
    std::vector<uint32_t> image(w * h);
    for (int i = 0; i < w * h; ++i)
        image[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x030507);
    boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, w, h, pfColor0, 0);
    render->SetResourceData(image.data(), texture);
    EXPECT_EQ(ReadBack(texture, w, h), image);

    // A CPU texture's SetTextureData of the whole image (size 0) starts at `offset`;
    // one row down, the last row would pass the texture: nothing is copied.
    boost::shared_ptr<IResTextureCPU> cpu = CreateCpuTexture(*render, w, h);
    auto firstRow = [&] {
        const LockedMemory locked = render->LockResource(cpu);
        const std::vector<uint32_t> row(static_cast<const uint32_t*>(locked.bits), static_cast<const uint32_t*>(locked.bits) + w);
        render->UnlockResource(cpu);
        return row;
    };
    const LockedMemory locked = render->LockResource(cpu);
    const uint32_t pitch = locked.pitch;
    std::memset(locked.bits, 0x11, static_cast<size_t>(pitch) * h);
    render->UnlockResource(cpu);
    cpu->SetTextureData(image.data(), 0, pitch);
    EXPECT_EQ(log.Count(L"does not fit", 1), 1u) << log.Dump();
    EXPECT_EQ(firstRow(), std::vector<uint32_t>(w, 0x11111111u));
    log.Clear();
    cpu->SetTextureData(image.data(), 0, 0);
    EXPECT_EQ(firstRow(), std::vector<uint32_t>(image.begin(), image.begin() + w));
}
