#include "PluginLibrary.h"

#include <cwchar>
#include <stdexcept>

PluginLibrary::PluginLibrary()
{
    _module = LoadLibraryW(L"VeltraRenderDirectX.dll");
    if (!_module)
        throw std::runtime_error("VeltraRenderDirectX.dll could not be loaded");
    _list = reinterpret_cast<const VeltraRender::VeltraRenderData*>(
        GetProcAddress(_module, VeltraRender::RenderListExportName));
    for (const VeltraRender::VeltraRenderData* entry = _list; entry && (entry->name || entry->create); ++entry)
        if (entry->name && std::wcscmp(entry->name, L"RenderDX9") == 0)
            _create = entry->create;
    if (!_create)
        throw std::runtime_error("g_VeltraRenderList has no RenderDX9 entry");
}

bool InitializeRender(const boost::shared_ptr<VeltraRender::IRender>& render, VeltraRender::RenderSettings& settings)
{
    return render->Initialize(boost::weak_ptr<VeltraRender::IRender>(render), settings);
}

VeltraRender::RenderSettings OffscreenSettings(int width, int height)
{
    VeltraRender::RenderSettings settings;
    settings.width = width;
    settings.height = height;
    settings.pixelAspect = 1.0;
    return settings;
}
