#include "RealFixture.h"

#include <cstring>

const char* const QuadVertexShader =
    "uniform float4x4 ModelViewProjection;\n"
    "void main(float4 position : POSITION, out float4 clip : POSITION, out float2 uv : TEXCOORD0)\n"
    "{ clip = mul(position, ModelViewProjection); uv = float2(position.x + 0.5, 0.5 - position.y); }";
const char* const UniformColourPixel = "uniform float4 colour; float4 main() : COLOR { return colour; }";
const char* const SamplingPixel =
    "uniform sampler2D image; float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv); }";
const char* const ClipSpaceVertex = "float4 main(float4 p : POSITION) : POSITION { return float4(p.xyz, 1); }";

uint32_t PatternPixel(int x, int y)
{
    static const uint32_t colours[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF, 0};
    return ((x + y) % 2 ? 0xFF000000u : 0x7F000000u) | colours[(x + 3 * y) % 8];
}

Pixels Pattern(int width, int height)
{
    Pixels pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = PatternPixel(static_cast<int>(i % width), static_cast<int>(i / width));
    return pixels;
}

ShaderValue Rgba(float red, float green, float blue, float alpha)
{
    const float values[4] = {red, green, blue, alpha};
    return ShaderValue::Floats(values, 4);
}

bool RealFixture::PlainDevice()
{
    return GetEnvironmentVariableA("VELTRA_PLAIN_DEVICE", nullptr, 0) != 0;  // set by real_plain_tests' entry
}

void RealFixture::SetUp()
{
    render = plugin.CreateRender();
    RenderSettings settings = OffscreenSettings(Width, Height);
    settings.window = window.Handle();
    ASSERT_TRUE(InitializeRender(render, settings)) << log.Dump();
    device = render->GetDevice();
    device->GetDirect3D(&_direct3D);
    IDirect3DDevice9Ex* extended = nullptr;
    device->QueryInterface(__uuidof(IDirect3DDevice9Ex), reinterpret_cast<void**>(&extended));
    EXPECT_EQ(extended == nullptr, PlainDevice()) << "the device kind this program runs on";
    if (extended)
        extended->Release();
    SelectHostStates();
    EXPECT_EQ(log.Problems(), 0u) << log.Dump();
    log.Clear();
}

void RealFixture::TearDown()
{
    EXPECT_EQ(log.Problems(), expectedProblems) << "level-0 and level-1 records:\n" << log.Dump();
    if (_direct3D)
        ShutDown();
}

// The last Shutdown: nothing of Direct3D may outlive it.
void RealFixture::ShutDown()
{
    EXPECT_TRUE(render->Shutdown());
    EXPECT_EQ(_direct3D->Release(), 0u) << "a Direct3D object outlived the last Shutdown";
    _direct3D = nullptr;
}

void RealFixture::Reinitialize(RenderSettings settings, bool selectHostStates)
{
    ShutDown();
    ASSERT_TRUE(InitializeRender(render, settings)) << log.Dump();
    device = render->GetDevice();
    device->GetDirect3D(&_direct3D);
    if (selectHostStates)
        SelectHostStates();
}

// No culling (the default quad faces away from Direct3D's default cull mode), no depth test.
void RealFixture::SelectHostStates()
{
    render->SelectState(render->CreateState(RasterSettings()), 0);
    render->SelectState(render->CreateState(DepthSettings()), 0);
}

boost::shared_ptr<IResShaderGPU> RealFixture::Shader(const std::string& vertex, const std::string& pixel)
{
    ShaderSettings settings;
    settings.vertexShaderCode = vertex;
    settings.pixelShaderCode = pixel;
    return boost::dynamic_pointer_cast<IResShaderGPU>(render->CreateResourceGPU(settings));
}

boost::shared_ptr<IResShaderGPU> RealFixture::Solid(float red, float green, float blue, const char* vertex)
{
    boost::shared_ptr<IResShaderGPU> shader = Shader(vertex, UniformColourPixel);
    shader->SetPixelParameter("colour", Rgba(red, green, blue));
    return shader;
}

boost::shared_ptr<IResTextureGPU> RealFixture::Texture(const Pixels& pixels, int width, int height)
{
    boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, width, height, pfColor0, width * 4);
    render->SetResourceData(pixels.data(), texture);
    return texture;
}

void RealFixture::Quad(const boost::shared_ptr<IResShaderGPU>& shader, const boost::shared_ptr<IResTextureGPU>& source)
{
    render->SelectResource(shader, 0);
    if (source)
        render->SelectResource(source, 0);
    render->DrawQuad();
    if (source)
        render->DeSelectResource(source, 0);
    render->DeSelectResource(shader, 0);
}

Pixels RealFixture::Frame(const std::function<void()>& draw)
{
    boost::shared_ptr<IResTextureGPU> target = CreateGpuTexture(*render, Width, Height);
    render->TargetResource(target, 0);
    render->Clear(0);
    draw();
    render->DeSelectResource(target, 0);
    return ReadBack(target, Width, Height);
}

std::vector<uint8_t> RealFixture::ReadBytes(const boost::shared_ptr<IResource>& texture, int texelsWide, int height,
                                            uint32_t format)
{
    const size_t rowBytes = static_cast<size_t>(texelsWide) * (format == pfA8 ? 1 : 4);
    boost::shared_ptr<IResTextureCPU> readBack = boost::dynamic_pointer_cast<IResTextureCPU>(texture);
    if (!readBack) {
        readBack = CreateCpuTexture(*render, texelsWide, height, format);
        render->TransferResource(texture, readBack);
    }
    const LockedMemory locked = render->LockResource(readBack);
    std::vector<uint8_t> bytes(locked.bits ? rowBytes * height : 0);
    for (size_t y = 0; y < bytes.size() / rowBytes; ++y)
        std::memcpy(&bytes[y * rowBytes], static_cast<const uint8_t*>(locked.bits) + y * locked.pitch, rowBytes);
    render->UnlockResource(readBack);
    return bytes;
}

Pixels RealFixture::ReadBack(const boost::shared_ptr<IResource>& texture, int width, int height)
{
    const std::vector<uint8_t> bytes = ReadBytes(texture, width, height);
    Pixels pixels(bytes.size() / 4);
    std::memcpy(pixels.data(), bytes.data(), bytes.size());
    return pixels;
}
