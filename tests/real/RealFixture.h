#pragma once
// The one fixture of the real-stack tests: the plug-in loaded as a host loads it and a
// render on Wine's Direct3D 9 (9Ex in real_tests, the plain device with 16-bit indices
// in real_plain_tests) with a host window and the raster and depth states a host
// selects before drawing. Every test ends as a host relies on: no level-0 or level-1
// record beyond those it provokes, and a last Shutdown that succeeds and leaves nothing
// of Direct3D alive.

#include "HostWindow.h"
#include "LogCapture.h"
#include "PluginLibrary.h"
#include "Resources.h"

#include <d3d9.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace VeltraRender;
using Pixels = std::vector<uint32_t>;

// The default quad through the render's projection, which puts texel (x, y) of a
// target-sized texture on pixel (x, y).
extern const char* const QuadVertexShader;
extern const char* const UniformColourPixel;  // the uniform `colour`
extern const char* const SamplingPixel;       // texel (x, y) of `image` on pixel (x, y) under the default quad
extern const char* const ClipSpaceVertex;     // positions taken as clip-space coordinates

// Pixel (x, y) of the test image: eight saturated colours, two alpha values.
uint32_t PatternPixel(int x, int y);
Pixels Pattern(int width, int height);
ShaderValue Rgba(float red, float green, float blue, float alpha = 1);

class RealFixture : public ::testing::Test {
protected:
    static const int Width = 64, Height = 48;

    void SetUp() override;
    void TearDown() override;

    static bool PlainDevice();
    // Shuts the render down, checks that nothing of Direct3D is left, initialises it again
    // on a new device, with the host's states selected or with the device's defaults.
    void Reinitialize(RenderSettings settings, bool selectHostStates = true);
    void SelectHostStates();
    boost::shared_ptr<IResShaderGPU> Shader(const std::string& vertex, const std::string& pixel);
    // One colour wherever `vertex` puts the vertices.
    boost::shared_ptr<IResShaderGPU> Solid(float red, float green, float blue, const char* vertex = ClipSpaceVertex);
    boost::shared_ptr<IResTextureGPU> Texture(const Pixels& pixels, int width, int height);
    // The default quad through `shader`, sampling `source` on unit 0 when there is one.
    void Quad(const boost::shared_ptr<IResShaderGPU>& shader, const boost::shared_ptr<IResTextureGPU>& source = {});
    // A frame into a new target of the window's size: cleared, drawn by `draw`, read back.
    Pixels Frame(const std::function<void()>& draw);
    // Texels, rows without padding: of a CPU texture, or of a GPU one through a CPU texture of `format`.
    std::vector<uint8_t> ReadBytes(const boost::shared_ptr<IResource>& texture, int texelsWide, int height,
                                   uint32_t format = pfColor0);
    Pixels ReadBack(const boost::shared_ptr<IResource>& texture, int width, int height);

    LogCapture log;
    PluginLibrary plugin;
    HostWindow window{Width, Height};
    boost::shared_ptr<IRender> render;
    IDirect3DDevice9* device = nullptr;
    size_t expectedProblems = 0;  // level-0 and level-1 records the test provokes on purpose

private:
    void ShutDown();
    IDirect3D9* _direct3D = nullptr;  // held across the last Shutdown, which must release everything else
};
