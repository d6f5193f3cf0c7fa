#pragma once
// The fixture of the real-stack drawing tests: a render on Wine's Direct3D 9 with a
// host window, the raster and depth states a host sets before drawing, shaders from
// source, read-back of textures, and a check that Direct3D is released at the end.

#include "HostWindow.h"
#include "LogCapture.h"
#include "PluginLibrary.h"
#include "QuadShader.h"
#include "Resources.h"

#include <d3d9.h>
#include <gtest/gtest.h>
#include <cstring>
#include <vector>

using namespace VeltraRender;

const char* const SamplingPixelShader = R"(
uniform sampler2D image;
float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv); }
)";

class RealFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        render = plugin.CreateRender();
        RenderSettings settings = OffscreenSettings(64, 48);
        settings.window = window.Handle();
        ASSERT_TRUE(InitializeRender(render, settings));
        device = render->GetDevice();
        device->GetDirect3D(&direct3D);
        SelectHostStates();
        log.Clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(log.Problems(), 0u) << "no level-0 or level-1 record in a clean run:\n" << log.Dump();
        EXPECT_TRUE(render->Shutdown());
        EXPECT_EQ(direct3D->Release(), 0u) << "nothing of Direct3D left";
    }

    // What a host selects before it draws: no culling (the default quad faces away
    // from Direct3D's default cull mode) and no depth test.
    void SelectHostStates()
    {
        render->SelectState(render->CreateState(RasterSettings()), 0);
        render->SelectState(render->CreateState(DepthSettings()), 0);
    }

    boost::shared_ptr<IResShaderGPU> Shader(const char* vertex, const char* pixel)
    {
        ShaderSettings settings;
        settings.vertexShaderCode = vertex;
        settings.pixelShaderCode = pixel;
        return boost::dynamic_pointer_cast<IResShaderGPU>(render->CreateResourceGPU(settings));
    }

    // Reads a texture back and answers its pixel at (x, y).
    std::vector<uint32_t> ReadBack(const boost::shared_ptr<IResTextureGPU>& texture, int width, int height)
    {
        boost::shared_ptr<IResTextureCPU> readBack = CreateCpuTexture(*render, width, height);
        render->TransferResource(texture, readBack);
        const LockedMemory locked = render->LockResource(readBack);
        std::vector<uint32_t> pixels(width * height);
        for (int y = 0; y < height; ++y)
            std::memcpy(&pixels[y * width], static_cast<const uint8_t*>(locked.bits) + y * locked.pitch, width * 4);
        render->UnlockResource(readBack);
        return pixels;
    }

    LogCapture log;
    PluginLibrary plugin;
    HostWindow window{64, 48};
    boost::shared_ptr<IRender> render;
    IDirect3DDevice9* device = nullptr;
    IDirect3D9* direct3D = nullptr;
};

