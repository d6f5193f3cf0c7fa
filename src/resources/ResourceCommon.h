#pragma once
// What every resource and state class shares: its settings record and the five
// header operations that open every table, plus the state guard and the release
// check of Direct3D objects.

#include <VeltraRender/IResource.h>
#include <VeltraRender/VeltraException.h>

#include "../host/Log.h"

#include <windows.h>
#include <initializer_list>

namespace Veltra {

[[noreturn]] inline void ThrowError(ErrorCode code)
{
    throw VeltraException{code, 0};
}

// Throws ecBadState unless the resource is in one of the allowed states.
inline void RequireState(VeltraRender::IResource& resource, std::initializer_list<VeltraRender::ResourceState> allowed)
{
    const VeltraRender::ResourceState state = resource.GetState();
    for (VeltraRender::ResourceState candidate : allowed) {
        if (state == candidate)
            return;
    }
    ThrowError(ecBadState);
}

// Releases a Direct3D object that this resource owns and forgets it. A reference
// left over beyond `expectedCount` (the object is held elsewhere) is logged, when
// level 1 is active, with `message`, which takes the owner's address (%X) and the
// count (%d). A texture's surface answers its texture's count, which the texture
// itself keeps at 1 while it holds the texture.
template <typename Interface>
void ReleaseOwned(Interface*& object, const void* owner, const wchar_t* message, ULONG expectedCount = 0)
{
    if (!object)
        return;
    const ULONG count = object->Release();
    object = nullptr;
    if (count > expectedCount && LogActive(LogError))
        LogAlways(LogError, message, LogAddress(owner), static_cast<int>(count));
}

// Releases a reference held for a while (a surface during a render-target binding)
// and forgets it; the count left is no concern of the holder's.
template <typename Interface>
void ReleaseHeld(Interface*& object)
{
    if (!object)
        return;
    object->Release();
    object = nullptr;
}

} // namespace Veltra

// Base of the concrete classes: Interface is the family's interface, Settings the
// class's own settings record (which begins with the ResourceHeader).
template <typename Interface, typename Settings>
class ResourceCommon : public Interface {
public:
    void GetSettings(VeltraRender::ResourceHeader& settings) override
    {
        static_cast<Settings&>(settings) = _settings;
    }
    VeltraRender::ResourceState GetState() override { return _settings.state; }
    void SetState(VeltraRender::ResourceState state) override { _settings.state = state; }
    VeltraRender::ResourceType GetType() override { return _settings.type; }
    bool GetFlag() override { return _settings.flag; }

protected:
    ResourceCommon() = default;
    ~ResourceCommon() = default;

    Settings _settings;
};
