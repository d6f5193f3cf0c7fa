// The small queries of RenderDX9: they take no lock and read the shared state as it stands.

#include "RenderDX9.h"

#include "../plugin/ModuleState.h"

#include <boost/throw_exception.hpp>
#include <cstring>

using namespace VeltraRender;

void RenderDX9::GetRenderInfo(RenderInfo* info)
{
    if (info)
        std::memcpy(info, &g_renderInfo, sizeof(RenderInfo));
}

void RenderDX9::GetRenderSettings(RenderSettings* settings)
{
    if (settings)
        *settings = _settings;
}

IDirect3DDevice9* RenderDX9::GetDevice()
{
    return cg_pd3dDevice;
}

boost::shared_ptr<IResourceGPU> RenderDX9::GetResourceGPU(int32_t position)
{
    // A position outside the list answers like an emptied entry.
    if (position < 0 || static_cast<size_t>(position) >= _resourcesGPU.size())
        boost::throw_exception(boost::bad_weak_ptr());
    return boost::shared_ptr<IResourceGPU>(_resourcesGPU[position]);
}

bool RenderDX9::QueryFlag()
{
    return true;
}

int32_t RenderDX9::GetShaderLevel()
{
    return g_shaderLevel;
}

uint32_t RenderDX9::LimitMaxAnisotropy() const
{
    return g_maxAnisotropy;
}
