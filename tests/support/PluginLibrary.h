#pragma once
// Loads VeltraRenderDirectX.dll the way a host does: LoadLibrary, the exported render
// list by name, the factory of the "RenderDX9" entry. Unloading in the destructor
// resets everything module-wide, so each test starts from a fresh load.

#include <VeltraRender/VeltraRender.h>

#include <windows.h>
#include <boost/shared_ptr.hpp>

class PluginLibrary {
public:
    PluginLibrary();
    ~PluginLibrary() { FreeLibrary(_module); }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    HMODULE Module() const { return _module; }
    const VeltraRender::VeltraRenderData* List() const { return _list; }
    // A new render from the "RenderDX9" entry of the list.
    boost::shared_ptr<VeltraRender::IRender> CreateRender() const { return _create(); }

private:
    HMODULE _module = nullptr;
    const VeltraRender::VeltraRenderData* _list = nullptr;
    VeltraRender::CreateRenderFunction _create = nullptr;
};

// Initialises a render with these settings, handing it the weak self-reference a host passes.
bool InitializeRender(const boost::shared_ptr<VeltraRender::IRender>& render, VeltraRender::RenderSettings& settings);

// Settings of a render that draws into textures only: no window.
VeltraRender::RenderSettings OffscreenSettings(int width = 64, int height = 64);
