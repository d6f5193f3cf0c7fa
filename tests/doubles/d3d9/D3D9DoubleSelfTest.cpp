// The Direct3D 9 double's own contract: what the conformance tests rely on it for.
#include "D3D9Double.h"

#include <gtest/gtest.h>

namespace dd = d3d9double;

namespace {

class D3D9Double : public ::testing::Test {
protected:
    void SetUp() override
    {
        dd::Reset();
        ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d), S_OK);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 32;
        pp.Windowed = TRUE;
        ASSERT_EQ(d3d->CreateDeviceEx(0, D3DDEVTYPE_HAL, nullptr, 0x46, &pp, nullptr, &device), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(device->Release(), 0u);
        EXPECT_EQ(d3d->Release(), 0u);
        EXPECT_EQ(dd::LiveObjects(), 0);
    }
    IDirect3DTexture9* Texture(D3DPOOL pool = D3DPOOL_DEFAULT, HANDLE* memory = nullptr)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, pool, &texture, memory), 0);
        return texture;
    }
    IDirect3D9Ex* d3d = nullptr;
    IDirect3DDevice9Ex* device = nullptr;
};

TEST_F(D3D9Double, EntryPointsAndDeviceCreation)
{
    HMODULE double_ = nullptr;  // what the plug-in's LoadLibraryW(L"d3d9.dll") finds is this one
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&dd::Reset), &double_);
    EXPECT_EQ(LoadLibraryW(L"d3d9.dll"), double_);
    EXPECT_EQ(dd::DeviceBehaviorFlags(), 0x46u);
    EXPECT_EQ(dd::DevicePresentParameters()->BackBufferFormat, D3DFMT_X8R8G8B8);  // filled in

    dd::SetCreate9ReturnsNull(true);
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    IDirect3D9Ex* ex = reinterpret_cast<IDirect3D9Ex*>(1);
    dd::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
    EXPECT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &ex), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(ex, nullptr);

    dd::Reset();
    IDirect3D9* plain = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(plain, nullptr);
    void* out = nullptr;
    EXPECT_EQ(plain->QueryInterface(__uuidof(IDirect3D9Ex), &out), E_NOINTERFACE);
    EXPECT_EQ(plain->Release(), 0u);
    EXPECT_EQ(device->QueryInterface(__uuidof(IDirect3DDevice9), &out), S_OK);
    EXPECT_EQ(dd::RefCount(out), 2u);
    device->Release();
}

TEST_F(D3D9Double, ChildrenKeepTheirDeviceAlive)
{
    EXPECT_EQ(dd::RefCount(d3d), 2u);  // the device holds its IDirect3D9
    IDirect3DTexture9* texture = Texture();
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), S_OK);
    EXPECT_EQ(dd::RefCount(device), 2u);
    EXPECT_EQ(texture->Release(), 1u);  // the level surface still holds the texture
    EXPECT_EQ(dd::LiveObjects("IDirect3DTexture9"), 1);
    EXPECT_EQ(level->Release(), 0u);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), S_OK);  // the implicit back buffer
    EXPECT_EQ(dd::RefCount(device), 2u);
    EXPECT_EQ(device->SetRenderTarget(0, back), S_OK);
    back->Release();
    EXPECT_EQ(dd::RefCount(device), 1u);  // a bound render target counts for nobody
}

TEST_F(D3D9Double, ScriptsAnswerTheNumberedCalls)
{
    IDirect3DQuery9* query = nullptr;
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, nullptr), S_OK);  // the support probe
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, &query), S_OK);
    dd::SetResult("IDirect3DQuery9::GetData", S_FALSE, 2, 2);
    std::vector<HRESULT> answers;
    for (int i = 0; i < 4; ++i)
        answers.push_back(query->GetData(nullptr, 0, D3DGETDATA_FLUSH));
    EXPECT_EQ(answers, (std::vector<HRESULT>{S_OK, S_FALSE, S_FALSE, S_OK}));
    query->Release();

    dd::SetResult("IDirect3DDevice9::CreateTexture", E_OUTOFMEMORY, 1, 1);
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8, D3DPOOL_DEFAULT, &texture, nullptr),
        E_OUTOFMEMORY);
    EXPECT_EQ(texture, nullptr);  // and TearDown finds nothing created
}

TEST_F(D3D9Double, GenericMethodsRecordTheirArguments)
{
    dd::ClearCalls();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 7);  // the last three on the stack
    device->SetGPUThreadPriority(-7);
    const auto calls = dd::Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].method, "IDirect3DDevice9::SetRenderState");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{137, 0}));
    EXPECT_EQ(calls[0].object, device);
    EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{0, 0, 1, 0xFF00FF00, 0x3F800000, 7}));
    EXPECT_EQ(calls[2].method, "IDirect3DDevice9Ex::SetGPUThreadPriority");
    EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{0xFFFFFFF9}));
}

TEST_F(D3D9Double, PixelsMoveBetweenMemoryBackedSurfaces)
{
    uint32_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // the 9Ex "user memory" texture
    HANDLE memory = pixels;
    IDirect3DTexture9* source = Texture(D3DPOOL_SYSTEMMEM, &memory);
    IDirect3DTexture9* target = Texture();
    IDirect3DSurface9 *from = nullptr, *to = nullptr;
    source->GetSurfaceLevel(0, &from);
    target->GetSurfaceLevel(0, &to);
    const RECT rect{1, 0, 3, 2};
    const POINT at{2, 0};
    ASSERT_EQ(device->UpdateSurface(from, &rect, to, &at), S_OK);

    D3DLOCKED_RECT locked{};
    ASSERT_EQ(target->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);  // the same texels
    EXPECT_EQ(locked.Pitch, 16);
    const auto* texels = static_cast<const uint32_t*>(locked.pBits);
    EXPECT_EQ(
        std::vector<uint32_t>(texels, texels + 8), (std::vector<uint32_t>{0, 0, 2, 3, 0, 0, 6, 7}));
    from->Release();
    to->Release();
    source->Release();
    target->Release();
}

}  // namespace
