// first-frame: the smallest complete host of the VeltraRenderDirectX plug-in.
//
// It loads the plug-in as the editor does, initialises a render that presents into a
// window, uploads an image, compiles a Cg shader, selects its pipeline states, draws
// the default quad into a GPU texture, reads the frame back through a CPU texture,
// checks every pixel, writes the frame to first-frame.bmp, presents it and shuts down.
// Exit code 0 when the frame holds what was drawn, 1 otherwise.
#include <VeltraRender/VeltraRender.h>

#include <boost/pointer_cast.hpp>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace VR = VeltraRender;

namespace {

const int Width = 256, Height = 256;
const float Tint[4] = {1.0f, 0.5f, 0.25f, 1.0f};  // red, green, blue, alpha

// DrawQuad uploads the render's projection as ModelViewProjection; with these texture
// coordinates texel (x, y) of a frame-sized texture lands on pixel (x, y).
const char* const VertexProgram = R"(
uniform float4x4 ModelViewProjection;
struct Output { float4 position : POSITION; float2 uv : TEXCOORD0; };
Output main(float4 position : POSITION)
{
    Output output;
    output.position = mul(position, ModelViewProjection);
    output.uv = float2(position.x + 0.5, 0.5 - position.y);
    return output;
}
)";

// The image, tinted. The sampler is the program's first, so it reads texture unit 0.
const char* const PixelProgram = R"(
uniform sampler2D image;
uniform float4 tint;
float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv) * tint; }
)";

// The image: A8R8G8B8, red across, green down, blue in a square in the middle.
uint32_t ImagePixel(int x, int y)
{
    const bool square = x >= Width / 4 && x < Width * 3 / 4 && y >= Height / 4 && y < Height * 3 / 4;
    return 0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8 | (square ? 0xFFu : 0u);
}

// What the shader makes of it: each channel times the tint, within rounding.
bool Drawn(uint32_t pixel, int x, int y)
{
    const uint32_t source = ImagePixel(x, y);
    const float tint[4] = {Tint[3], Tint[0], Tint[1], Tint[2]};  // A, R, G, B from the top byte down
    for (int channel = 0; channel < 4; ++channel) {
        const int shift = 24 - 8 * channel;
        const float expected = float(source >> shift & 0xFF) * tint[channel];
        if (std::abs(float(pixel >> shift & 0xFF) - expected) > 1.0f)
            return false;
    }
    return true;
}

VR::TextureSettings ImageSettings(VR::ResourceType type)
{
    VR::TextureSettings settings;
    settings.type = type;  // rtTextureGPU or rtTextureCPU
    settings.image.pixelWidth = Width;
    settings.image.pixelHeight = Height;
    settings.image.pixelFormat = VR::pfColor0;  // A8R8G8B8
    settings.image.rowBytes = Width * 4;        // the host's rows: no padding
    return settings;
}

// The frame as a 32-bit top-down BMP file.
bool WriteBmp(const char* path, const VR::LockedMemory& frame)
{
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = Width;
    info.biHeight = -Height;  // rows top to bottom
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + Width * Height * 4;
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    std::fwrite(&header, sizeof header, 1, file);
    std::fwrite(&info, sizeof info, 1, file);
    for (int y = 0; y < Height; ++y)
        std::fwrite(static_cast<const char*>(frame.bits) + size_t(y) * frame.pitch, 4, Width, file);
    return std::fclose(file) == 0;
}

// One frame through the render. Every resource is released when this returns.
bool DrawFirstFrame(VR::IRender& render)
{
    // States. The device starts culling and depth testing: the default quad needs neither.
    render.SelectState(render.CreateState(VR::RasterSettings()), 0);   // no culling, solid
    render.SelectState(render.CreateState(VR::DepthSettings()), 0);    // no depth test or write
    render.SelectState(render.CreateState(VR::BlendSettings()), 0);    // no blending
    render.SelectState(render.CreateState(VR::SamplerSettings()), 0);  // unit 0: point, clamp

    // Upload an image into a GPU texture.
    std::vector<uint32_t> pixels(size_t(Width) * Height);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            pixels[size_t(y) * Width + x] = ImagePixel(x, y);
    auto image = boost::dynamic_pointer_cast<VR::IResTextureGPU>(render.CreateResourceGPU(ImageSettings(VR::rtTextureGPU)));
    render.SetResourceData(pixels.data(), image);

    // Compile the shader (a program that does not compile falls back to the plug-in's
    // error programs; VELTRA_LOG=293:0-2 shows Cg's messages).
    VR::ShaderSettings programs;
    programs.vertexShaderCode = VertexProgram;
    programs.pixelShaderCode = PixelProgram;
    auto shader = boost::dynamic_pointer_cast<VR::IResShaderGPU>(render.CreateResourceGPU(programs));
    shader->SetPixelParameter("tint", VR::ShaderValue::Floats(Tint, 4));

    // Draw into a frame-sized GPU texture.
    auto frame = boost::dynamic_pointer_cast<VR::IResTextureGPU>(render.CreateResourceGPU(ImageSettings(VR::rtTextureGPU)));
    render.TargetResource(frame, 0);
    render.Clear(0);  // colour only: transparent black
    render.SelectResource(shader, 0);
    render.SelectResource(image, 0);  // texture unit 0
    render.DrawQuad();
    render.DeSelectResource(image, 0);
    render.DeSelectResource(shader, 0);
    render.DeSelectResource(frame, 0);  // the previous render target is back

    // Read it back through a CPU texture and check every pixel.
    auto readBack = render.CreateResourceCPU(ImageSettings(VR::rtTextureCPU));
    render.TransferResource(frame, readBack);
    const VR::LockedMemory locked = render.LockResource(readBack);
    int wrong = 0;
    for (int y = 0; y < Height && locked.bits; ++y)
        for (int x = 0; x < Width; ++x)
            wrong += !Drawn(static_cast<const uint32_t*>(locked.bits)[size_t(y) * locked.pitch / 4 + x], x, y);
    const bool written = locked.bits && WriteBmp("first-frame.bmp", locked);
    render.UnlockResource(readBack);

    // Present the frame into the window, and wait until the GPU is done.
    const bool presented = render.DisplayBuffer(frame, 0);  // eye 0: mono
    render.Flush(true);

    std::printf("first frame: %d x %d, %d of %d pixels as drawn, %s, %s\n", Width, Height,
                locked.bits ? Width * Height - wrong : 0, Width * Height,
                written ? "written to first-frame.bmp" : "NOT written", presented ? "presented" : "NOT presented");
    return locked.bits && wrong == 0 && written && presented;
}

// The factory of the render named `name` in the plug-in's list, or null.
VR::CreateRenderFunction FindRender(HMODULE plugin, const wchar_t* name)
{
    auto list = reinterpret_cast<const VR::VeltraRenderData*>(GetProcAddress(plugin, VR::RenderListExportName));
    for (; list && (list->name || list->create); ++list)
        if (list->name && std::wcscmp(list->name, name) == 0)
            return list->create;
    return nullptr;
}

} // namespace

int main()
{
    HMODULE plugin = LoadLibraryW(L"VeltraRenderDirectX.dll");
    if (!plugin) {
        std::fprintf(stderr, "first-frame: VeltraRenderDirectX.dll not loaded (error %lu)\n", GetLastError());
        return 1;
    }
    const VR::CreateRenderFunction create = FindRender(plugin, L"RenderDX9");
    if (!create) {
        std::fprintf(stderr, "first-frame: the plug-in has no RenderDX9\n");
        return 1;
    }
    HWND window = CreateWindowExW(0, L"STATIC", L"first frame", WS_POPUP | WS_VISIBLE, 0, 0, Width, Height, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    bool drawn = false;
    try {
        boost::shared_ptr<VR::IRender> render = create();
        VR::RenderSettings settings;
        settings.window = window;  // DisplayBuffer presents here
        settings.width = Width;
        settings.height = Height;
        settings.pixelAspect = 1.0;
        // The render keeps a weak reference to itself, to hand to its resources.
        if (render->Initialize(render, settings)) {
            drawn = DrawFirstFrame(*render);
            render->Shutdown();  // the last render releases the shared device
        } else {
            std::fprintf(stderr, "first-frame: Initialize failed (no Direct3D 9 device)\n");
        }
    } catch (const Veltra::VeltraException& error) {
        std::fprintf(stderr, "first-frame: the plug-in threw error code %u\n", unsigned(error.code));
    }
    DestroyWindow(window);
    FreeLibrary(plugin);
    return drawn ? 0 : 1;
}
