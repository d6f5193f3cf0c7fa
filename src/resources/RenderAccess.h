#pragma once
// The one way a resource reaches the shared device: through the render that
// configured it, held alive for the duration of one operation.

#include <VeltraRender/IRender.h>
#include <VeltraRender/VeltraException.h>

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

class RenderAccess {
public:
    // Throws boost::bad_weak_ptr when the render no longer exists.
    explicit RenderAccess(const boost::weak_ptr<VeltraRender::IRender>& render) : _render(render) {}

    // The shared device; a render without one (never initialised, or its device
    // released) cannot serve a device operation: ecInvalidOperation.
    IDirect3DDevice9* Device() const
    {
        IDirect3DDevice9* device = _render->GetDevice();
        if (!device)
            throw Veltra::VeltraException{Veltra::ecInvalidOperation, 0};
        return device;
    }
    VeltraRender::IRender& Render() const { return *_render; }

private:
    boost::shared_ptr<VeltraRender::IRender> _render;
};
