#pragma once
// What the five state classes share: the operations of IState and the frame of Select.
// A state sends to the device only the render or sampler states whose fields differ
// from the state of the same kind selected before it on the same unit.

#include "../resources/ErrorReporting.h"
#include "../resources/RenderAccess.h"
#include "../resources/ResourceCommon.h"

#include <d3d9.h>

// Derived supplies:
//   static bool SameSettings(const Settings& a, const Settings& b) - the comparison list
//   void Apply(const RenderAccess& render, const Settings* previous, uint32_t unit) - sends
//       the states whose fields differ from `previous` (all of them without one)
template <typename Interface, typename Settings, typename Derived>
class DX9State : public ResourceCommon<Interface, Settings> {
public:
    void Destroy() override { this->SetState(VeltraRender::rsDestroyed); }
    void TransferTo(boost::shared_ptr<VeltraRender::IResource>) override { Veltra::ThrowError(Veltra::ecInvalidOperation); }

    // New values reach the device at the next Select that finds a difference.
    void ReplaceSettings(const VeltraRender::ResourceHeader& settings) override
    {
        this->_settings = static_cast<const Settings&>(settings);
    }

    void SetSettings(boost::weak_ptr<VeltraRender::IRender> render, const VeltraRender::ResourceHeader& settings) override
    {
        this->_settings = static_cast<const Settings&>(settings);
        this->_settings.render = render;
    }

    void Select(boost::shared_ptr<VeltraRender::IState> previous, uint32_t hardwareUnit) override
    {
        const Derived* prior = dynamic_cast<const Derived*>(previous.get());
        if (prior == this)
            return;
        if (prior && Derived::SameSettings(prior->_settings, this->_settings))
            return;
        RenderAccess render(this->_settings.render);
        static_cast<Derived*>(this)->Apply(render, prior ? &prior->_settings : nullptr, hardwareUnit);
    }

protected:
    DX9State() = default;
    ~DX9State() { this->SetState(VeltraRender::rsDestroyed); }

    // A render state, sent and checked; a failure is logged and the next state follows.
    static void Send(IDirect3DDevice9* device, D3DRENDERSTATETYPE state, DWORD value, const wchar_t* callText)
    {
        Veltra::DXFailed(device->SetRenderState(state, value), callText);
    }
};

// True when `previous` is missing or differs from `current` in the given field.
template <typename Settings, typename Field>
bool Changed(const Settings* previous, const Settings& current, Field Settings::*field)
{
    return !previous || !(previous->*field == current.*field);
}
