// Each conformance test loads the plug-in afresh against reset doubles and captures its log.
// It ends with no Direct3D object, Cg program or context left, no hidden device window, and
// no severe or error record unaccounted for (a test that expects one checks it and clears).
#pragma once

#include "CgDouble.h"
#include "D3D9Double.h"
#include "HostWindow.h"
#include "LogCapture.h"
#include "PluginLibrary.h"
#include "Resources.h"

#include <memory>

class RenderFixture : public ::testing::Test {
protected:
    RenderFixture() { d3d9double::Reset(), cgdouble::Reset(); }

    void TearDown() override
    {
        EXPECT_EQ(log.Problems(), 0u) << log.Dump();
        EXPECT_EQ(d3d9double::LiveObjects().size(), 0u) << "Direct3D objects left referenced";
        EXPECT_EQ(cgdouble::LivePrograms() + cgdouble::LiveContexts(), 0) << "Cg programs or contexts left";
        EXPECT_EQ(FindHiddenDeviceWindow(), nullptr);
    }

    boost::shared_ptr<VeltraRender::IRender> Render(
        VeltraRender::RenderSettings settings = OffscreenSettings(), bool initialised = true)
    {
        boost::shared_ptr<VeltraRender::IRender> render = plugin->CreateRender();
        EXPECT_EQ(InitializeRender(render, settings), initialised) << log.Dump();
        return render;
    }

    // Shuts the render down and drops it: nothing of it may stay.
    void Finish(boost::shared_ptr<VeltraRender::IRender>& render)
    {
        EXPECT_TRUE(render->Shutdown());
        render.reset();
        EXPECT_EQ(d3d9double::LiveObjects().size(), 0u) << "Direct3D objects left referenced";
        EXPECT_EQ(FindHiddenDeviceWindow(), nullptr);
    }

    LogCapture log;
    std::unique_ptr<PluginLibrary> plugin = std::make_unique<PluginLibrary>();
};

const char* const PixelSource = "float4 main() : COLOR { return float4(1, 1, 1, 1); }";

inline boost::shared_ptr<VeltraRender::IResShaderGPU> CreateShader(
    VeltraRender::IRender& render, const char* vertex = "float4 main(float4 p : POSITION) : POSITION { return p; }")
{
    VeltraRender::ShaderSettings settings;
    settings.vertexShaderCode = vertex;
    settings.pixelShaderCode = PixelSource;
    return boost::dynamic_pointer_cast<VeltraRender::IResShaderGPU>(render.CreateResourceGPU(settings));
}
