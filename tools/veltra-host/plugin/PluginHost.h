// The plug-in as a host loads it: VeltraRenderDirectX.dll by LoadLibrary, the
// exported render list by name, the "RenderDX9" entry's factory; and one initialised
// render, shut down before it is released and the library unloaded.
#pragma once

#include <VeltraRender/VeltraRender.h>

#include <windows.h>

#include <boost/shared_ptr.hpp>
#include <string>

class PluginHost {
public:
    // Throws HostFailure when the library, its list or the entry is missing.
    PluginHost();
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Creates and initialises the render; throws HostFailure when Initialize fails.
    VeltraRender::IRender& Start(HWND window, int width, int height);
    VeltraRender::IRender& Render() { return *_render; }
    // Shuts the render down and releases it (the destructor does it too).
    void Stop();

    // Another render of the plug-in, initialised for `window` (may be null) at the given
    // size; null when Initialize fails. The caller shuts it down.
    boost::shared_ptr<VeltraRender::IRender> NewRender(HWND window, int width, int height);

    std::string LibraryPath() const;

private:
    HMODULE _library = nullptr;
    VeltraRender::CreateRenderFunction _create = nullptr;
    boost::shared_ptr<VeltraRender::IRender> _render;
};

// A GPU buffer of `count` elements of `kind` (`components` floats each, for vertex
// buffers) made from `data`; null when the plug-in refuses it.
boost::shared_ptr<VeltraRender::IResBufferGPU> CreateBuffer(VeltraRender::IRender& render, uint32_t kind,
                                                            uint32_t components, int count, const void* data);

// Settings of a GPU or CPU texture (by `type`) of A8R8G8B8 pixels in rows without padding.
VeltraRender::TextureSettings ImageSettings(VeltraRender::ResourceType type, int width, int height);

// Wide text from the plug-in as UTF-8.
std::string TextOf(const wchar_t* text);
