// Lifetime of the do-nothing Direct3D's objects.
#include "NullObject.h"

#include <new>

namespace nulld3d9 {

NullObject* NewObject(const void* vtbl, NullObject* owner)
{
    NullObject* object = new (std::nothrow) NullObject();
    if (!object)
        return nullptr;
    object->lpVtbl = vtbl;
    object->owner = owner;
    if (owner)
        AddRef(owner);
    return object;
}

void Allocate(NullObject* object, size_t bytes)
{
    object->memory = new (std::nothrow) BYTE[bytes ? bytes : 1]();
    object->ownsMemory = object->memory != nullptr;
}

HRESULT STDMETHODCALLTYPE QueryInterface(NullObject* self, REFIID, void** out)
{
    if (!out)
        return E_POINTER;
    AddRef(self);
    *out = self;
    return S_OK;
}

ULONG STDMETHODCALLTYPE AddRef(NullObject* self)
{
    return static_cast<ULONG>(InterlockedIncrement(&self->references));
}

ULONG STDMETHODCALLTYPE Release(NullObject* self)
{
    const LONG count = InterlockedDecrement(&self->references);
    if (count == 0) {
        NullObject* owner = self->owner;
        if (self->ownsMemory)
            delete[] self->memory;
        delete self;
        if (owner)
            Release(owner);
    }
    return static_cast<ULONG>(count < 0 ? 0 : count);
}

HRESULT STDMETHODCALLTYPE Nothing()
{
    return D3D_OK;
}

} // namespace nulld3d9
