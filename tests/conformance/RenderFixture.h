#pragma once
// Each conformance test loads the plug-in afresh against a reset Direct3D double,
// captures the log, and ends with every Direct3D object of the double released.

#include "CgDouble.h"
#include "D3D9Double.h"
#include "LogCapture.h"
#include "PluginLibrary.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>

// The one Direct3D object of this interface that appeared while `create` ran.
template <typename Create>
IUnknown* CreatedBy(const char* interfaceName, Create create)
{
    const std::vector<IUnknown*> before = d3d9double::LiveObjectsOf(interfaceName);
    create();
    std::vector<IUnknown*> added;
    for (IUnknown* object : d3d9double::LiveObjectsOf(interfaceName))
        if (std::find(before.begin(), before.end(), object) == before.end())
            added.push_back(object);
    EXPECT_EQ(added.size(), 1u) << interfaceName;
    return added.empty() ? nullptr : added[0];
}

class RenderFixture : public ::testing::Test {
protected:
    RenderFixture()
    {
        d3d9double::Reset();
        cgdouble::Reset();
    }

    void TearDown() override
    {
        EXPECT_EQ(d3d9double::LiveObjects(), 0) << "Direct3D objects left referenced";
        EXPECT_EQ(cgdouble::LivePrograms(), 0) << "Cg programs left alive";
        EXPECT_EQ(cgdouble::LiveContexts(), 0) << "Cg context left alive";
    }

    boost::shared_ptr<VeltraRender::IRender> NewRender() { return plugin->CreateRender(); }

    // A created and initialised offscreen render.
    boost::shared_ptr<VeltraRender::IRender> NewInitializedRender(int width = 64, int height = 64)
    {
        boost::shared_ptr<VeltraRender::IRender> render = NewRender();
        VeltraRender::RenderSettings settings = OffscreenSettings(width, height);
        EXPECT_TRUE(InitializeRender(render, settings)) << log.Dump();
        return render;
    }

    LogCapture log;
    std::unique_ptr<PluginLibrary> plugin = std::make_unique<PluginLibrary>();
};
