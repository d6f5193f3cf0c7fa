// Object model shared by the two halves of the double: D3D9Double.cpp (lifetime, log,
// scripts, vtables, control API) and D3D9DoubleObjects.cpp (the hand-written methods).
#pragma once

#include "D3D9Double.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <array>
#include <vector>

namespace d3d9double::detail {

using Fn = void (*)();  // a vtable slot; every method is stored under this one type

struct Method {
    const char* name;
    const char* args;  // one letter per argument: d 32-bit, f float, p pointer or handle
};

enum class Type {
    D3D,
    Device,
    SwapChain,
    Texture,
    Surface,
    VertexBuffer,
    IndexBuffer,
    VertexShader,
    PixelShader,
    Declaration,
    Query
};

// One interface as the double implements it; the Ex variants are kinds of their own.
struct Kind {
    Type type;
    bool ex;
    std::string name;  // "IDirect3DDevice9", also for the Ex variant
    std::vector<const Method*> methods;  // per slot
    std::vector<std::string> names;  // per slot, "Interface::Method"
    std::vector<Fn> vtbl;
    std::vector<IID> iids;  // what QueryInterface answers besides IUnknown
};
const Kind& KindOf(Type type, bool ex);

// Every COM object of the double. `vtbl` must stay the first member: callers reach the
// methods through it. An object is freed when nobody refers to it any more: no public
// reference (`refs`) and no internal holder (`holds`: the container that owns it, a
// device binding). While refs > 0 it keeps a public reference on `parent`, as Direct3D's
// resources keep their device alive.
struct FakeObject {
    const Fn* vtbl = nullptr;
    const Kind* kind = nullptr;
    ULONG refs = 0;
    int holds = 0;
    FakeObject* parent = nullptr;
    std::vector<FakeObject*> owned;  // children created with this object, held by it
    void (*destroy)(FakeObject*) = nullptr;
    ~FakeObject();
};

// The double's one lock: every entry point, every control function holds it.
std::unique_lock<std::recursive_mutex> Lock();

void Register(FakeObject* object);
bool IsLive(const void* object, Type type);
ULONG Acquire(FakeObject* object);
ULONG Drop(FakeObject* object);
void Unhold(FakeObject* object);

// A new object of `type`. With owned = false it starts with one public reference; with
// owned = true it starts with none and is held by `parent` until the parent goes.
template <class T> T* Make(Type type, bool ex, FakeObject* parent, bool owned = false)
{
    T* object = new T();
    object->kind = &KindOf(type, ex);
    object->vtbl = object->kind->vtbl.data();
    object->parent = parent;
    object->destroy = [](FakeObject* o) { delete static_cast<T*>(o); };
    Register(object);
    if (owned) {
        object->holds = 1;
        parent->owned.push_back(object);
    } else {
        Acquire(object);
    }
    return object;
}

// Numbers and logs one call of `method` on `object`; a script for this call number
// replaces `natural` as the answer. Unscriptable calls (AddRef, Release) only log.
uint64_t Enter(const void* object, const std::string& method, std::vector<uint64_t> args,
    uint64_t natural, bool scriptable = true);
// Enter for a hand-written method, named by the bare method name within the object's kind.
HRESULT Answer(const FakeObject* self, const char* method, std::vector<uint64_t> args,
    HRESULT natural = D3D_OK);

template <class T> uint64_t ToArg(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<uintptr_t>(value);
    else
        return static_cast<uint32_t>(value);
}
template <class... T> std::vector<uint64_t> Args(T... values)
{
    return {ToArg(values)...};
}

// Settings the hand-written methods read; guarded by Lock().
struct Settings {
    D3DCAPS9 caps;
    D3DADAPTER_IDENTIFIER9 identifier;
    D3DDISPLAYMODE mode;
    std::vector<std::pair<D3DFORMAT, HRESULT>> depthStencil;
    bool create9ReturnsNull;
    HRESULT create9ExResult;
    bool haveDevice;
    D3DPRESENT_PARAMETERS lastPresent;
    DWORD lastFlags;
    // Shader constant registers, as the last SetVertex/PixelShaderConstantF left them.
    std::array<float, 4 * 256> vertexConstants;
    std::array<float, 4 * 256> pixelConstants;
    std::vector<std::vector<D3DVERTEXELEMENT9>> declarations;
};
Settings& Current();

// A hand-written method placed over the generic stub of `method` in the vtables of `type`
// (plain and Ex); with `everywhere`, in every kind that has the method.
struct Override {
    Type type;
    const char* method;
    Fn fn;
    bool everywhere = false;
};
std::vector<Override> HandWritten();

template <class F> Fn Slot(F function)
{
    return reinterpret_cast<Fn>(function);
}

}  // namespace d3d9double::detail
