#include "PluginLibrary.h"

#include <gtest/gtest.h>
#include <cwchar>
#include <stdexcept>

PluginLibrary::PluginLibrary()
{
    _module = LoadLibraryW(L"VeltraRenderDirectX.dll");
    if (!_module)
        throw std::runtime_error("VeltraRenderDirectX.dll could not be loaded");
    _list = reinterpret_cast<const VeltraRender::VeltraRenderData*>(
        GetProcAddress(_module, VeltraRender::RenderListExportName));
    if (!_list)
        throw std::runtime_error("g_VeltraRenderList is not exported");
    for (const VeltraRender::VeltraRenderData* entry = _list; entry->name || entry->create; ++entry) {
        if (entry->name && std::wcscmp(entry->name, L"RenderDX9") == 0)
            _create = entry->create;
    }
    if (!_create)
        throw std::runtime_error("no RenderDX9 entry in g_VeltraRenderList");
}

PluginLibrary::~PluginLibrary()
{
    FreeLibrary(_module);
}

boost::shared_ptr<VeltraRender::IRender> PluginLibrary::CreateRender() const
{
    return _create();
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
