// The one kind of COM object of the do-nothing Direct3D: a vtable pointer, a real
// reference count and, for buffers, textures and surfaces, the memory that Lock hands
// out. An object keeps a reference on its owner (a device on its Direct3D object, a
// surface on its texture) and releases it when it is freed.
#pragma once

#define CINTERFACE
#include <d3d9.h>

#include <cstddef>
#include <cstring>

namespace nulld3d9 {

struct NullObject {
    const void* lpVtbl = nullptr;
    LONG references = 1;
    NullObject* owner = nullptr;
    BYTE* memory = nullptr;  // what Lock maps; null for objects without contents
    bool ownsMemory = false;
    UINT width = 0, height = 0, pitch = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};

// A new object with one reference; `owner` (may be null) gains one.
NullObject* NewObject(const void* vtbl, NullObject* owner = nullptr);
// Gives the object `bytes` of zeroed memory of its own.
void Allocate(NullObject* object, size_t bytes);

HRESULT STDMETHODCALLTYPE QueryInterface(NullObject* self, REFIID, void** out);
ULONG STDMETHODCALLTYPE AddRef(NullObject* self);
ULONG STDMETHODCALLTYPE Release(NullObject* self);

// Every slot of a vtable starts as this: D3D_OK, no out-parameter touched. Win64 lets a
// function that takes nothing stand in for any method: the caller owns the arguments.
HRESULT STDMETHODCALLTYPE Nothing();

// Points every slot of `vtbl` at Nothing, then the three IUnknown slots at the real ones.
template <class Vtbl> void FillWithNothing(Vtbl& vtbl)
{
    static_assert(sizeof(Vtbl) % sizeof(void*) == 0, "a vtable is a row of function pointers");
    HRESULT(STDMETHODCALLTYPE * nothing)() = &Nothing;
    for (size_t offset = 0; offset < sizeof(Vtbl); offset += sizeof(void*))
        std::memcpy(reinterpret_cast<unsigned char*>(&vtbl) + offset, &nothing, sizeof nothing);
    vtbl.QueryInterface = reinterpret_cast<decltype(vtbl.QueryInterface)>(&QueryInterface);
    vtbl.AddRef = reinterpret_cast<decltype(vtbl.AddRef)>(&AddRef);
    vtbl.Release = reinterpret_cast<decltype(vtbl.Release)>(&Release);
}

// Places a hand-written method, written against NullObject*, in a slot.
template <class Slot, class Function> void Place(Slot& slot, Function function)
{
    slot = reinterpret_cast<Slot>(function);
}

template <class Interface> Interface* As(NullObject* object)
{
    return reinterpret_cast<Interface*>(object);
}

} // namespace nulld3d9
