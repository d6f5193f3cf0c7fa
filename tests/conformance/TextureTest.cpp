// GPU and CPU textures against the Direct3D double: the creation calls per format and
// path, the state tables, the upload paths, release checks, and wrong-kind transfers.

#include "RenderFixture.h"
#include "Resources.h"

#include <cstring>

using namespace VeltraRender;

using TextureTest = RenderFixture;

TEST_F(TextureTest, CreationArgumentsPerFormat)
{
    struct Case {
        uint32_t format;
        int width;
        uint64_t texels, usage, d3dFormat;
    };
    const Case cases[] = {
        {pfColor0, 33, 33, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8}, {pfColor2, 33, 33, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8},
        {pfA8, 33, 33, D3DUSAGE_DYNAMIC, D3DFMT_A8},                {pfPaired4, 1920, 960, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8},
        {pfPaired5, 1919, 959, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8}, {pfDefault, 33, 33, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8},
        {99, 33, 33, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8},
    };
    boost::shared_ptr<IRender> render = NewInitializedRender();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        d3d9double::ClearCalls();
        boost::shared_ptr<IResTextureGPU> gpu = CreateGpuTexture(*render, c.width, 7, c.format);
        boost::shared_ptr<IResTextureCPU> cpu = CreateCpuTexture(*render, c.width, 7, c.format);
        const std::vector<d3d9double::Call> creates = d3d9double::CallsTo("IDirect3DDevice9::CreateTexture");
        ASSERT_EQ(creates.size(), 2u);
        const std::vector<uint64_t> common = {c.texels, 7, 1};
        EXPECT_EQ(std::vector<uint64_t>(creates[0].args.begin(), creates[0].args.begin() + 3), common);
        EXPECT_EQ(creates[0].args[3], c.usage);
        EXPECT_EQ(creates[0].args[4], c.d3dFormat);
        EXPECT_EQ(creates[0].args[5], static_cast<uint64_t>(D3DPOOL_DEFAULT));
        EXPECT_EQ(creates[0].args[7], 0u) << "no shared handle";
        EXPECT_EQ(std::vector<uint64_t>(creates[1].args.begin(), creates[1].args.begin() + 3), common);
        EXPECT_EQ(creates[1].args[3], static_cast<uint64_t>(D3DUSAGE_DYNAMIC));
        EXPECT_EQ(creates[1].args[4], c.d3dFormat);
        EXPECT_EQ(creates[1].args[5], static_cast<uint64_t>(D3DPOOL_SYSTEMMEM));
        TextureSettings settings;
        gpu->GetSettings(settings);
        EXPECT_EQ(settings.type, rtTextureGPU);
        EXPECT_EQ(gpu->GetState(), rsReady);
        cpu->GetSettings(settings);
        EXPECT_EQ(settings.type, rtTextureCPU);
        EXPECT_EQ(cpu->GetState(), rsCreated) << "a CPU texture keeps the record's state";
    }
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(TextureTest, GpuSelectAndTargetCounting)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, 16, 16);
    IDirect3DDevice9* device = render->GetDevice();
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);

    texture->Select(0);
    texture->Select(1);
    EXPECT_VELTRA_ERROR(texture->Target(0), Veltra::ecBadState);
    texture->DeSelect(1);
    EXPECT_EQ(texture->GetState(), rsSelected);
    texture->DeSelect(0);
    EXPECT_EQ(texture->GetState(), rsReady);
    const std::vector<d3d9double::Call> unbinds = d3d9double::CallsTo("IDirect3DDevice9::SetTexture");
    ASSERT_EQ(unbinds.size(), 4u);
    EXPECT_EQ(unbinds[2].args, (std::vector<uint64_t>{1, 0}));

    texture->Target(0);
    texture->Target(0);
    EXPECT_VELTRA_ERROR(texture->Select(0), Veltra::ecBadState);
    texture->DeSelect(0);
    EXPECT_EQ(texture->GetState(), rsTargeted) << "nested targets need a DeSelect each";
    texture->DeSelect(0);
    EXPECT_EQ(texture->GetState(), rsReady);
    IDirect3DSurface9* restored = nullptr;
    device->GetRenderTarget(0, &restored);
    EXPECT_EQ(restored, backBuffer) << "the render target before the first Target";
    restored->Release();

    d3d9double::ClearCalls();
    log.Clear();
    texture->DeSelect(0);  // ready: nothing happens
    EXPECT_TRUE(d3d9double::Calls().empty());
    EXPECT_TRUE(log.Records().empty());

    // Destroying a targeted texture restores the saved render target first.
    boost::shared_ptr<IResTextureGPU> target = CreateGpuTexture(*render, 16, 16);
    target->Target(0);
    render->DestroyResource(target);
    device->GetRenderTarget(0, &restored);
    EXPECT_EQ(restored, backBuffer);
    restored->Release();
    backBuffer->Release();

    // Uploads end in rsReady from any state; the counts keep theirs.
    d3d9double::ClearCalls();
    texture->Target(0);
    EXPECT_TRUE(texture->SetTextureData(nullptr));
    EXPECT_EQ(texture->GetState(), rsReady);
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::CreateTexture"), 0u) << "no data: nothing uploaded";

    EXPECT_EQ(texture->IncrementCount(), 1u);
    EXPECT_EQ(texture->IncrementCount(), 2u);
    EXPECT_EQ(texture->DecrementCount(), 1u);
    EXPECT_EQ(texture->DecrementCount(), 0u);
    EXPECT_EQ(texture->DecrementCount(), 0u);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(TextureTest, UploadPathsOfTheTwoDeviceKinds)
{
    const int width = 5, height = 3;
    std::vector<uint32_t> pixels(width * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x010203);
    struct Case {
        bool extendedDevice;
        int rowBytes;
        bool userMemory;  // the 9Ex path: a system-memory texture on the caller's pixels
    };
    for (const Case& c : {Case{true, width * 4, true}, Case{true, width * 4 + 4, false}, Case{false, width * 4, false}}) {
        SCOPED_TRACE(c.extendedDevice * 1000 + c.rowBytes);
        d3d9double::Reset();
        if (!c.extendedDevice)
            d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
        boost::shared_ptr<IRender> render = NewInitializedRender();
        std::vector<uint8_t> image(c.rowBytes * height);
        for (int y = 0; y < height; ++y)
            std::memcpy(&image[y * c.rowBytes], &pixels[y * width], width * 4);
        boost::shared_ptr<IResTextureGPU> texture = CreateGpuTexture(*render, width, height, pfColor0, c.rowBytes);
        d3d9double::ClearCalls();
        render->SetResourceData(image.data(), texture);
        const std::vector<d3d9double::Call> creates = d3d9double::CallsTo("IDirect3DDevice9::CreateTexture");
        ASSERT_EQ(creates.size(), 1u);
        EXPECT_EQ(creates[0].args[3], c.userMemory ? 0u : static_cast<uint64_t>(D3DUSAGE_DYNAMIC));
        EXPECT_EQ(creates[0].args[5], static_cast<uint64_t>(D3DPOOL_SYSTEMMEM));
        EXPECT_EQ(creates[0].args[7] != 0, c.userMemory);
        EXPECT_EQ(d3d9double::CountCalls("IDirect3DTexture9::LockRect"), c.userMemory ? 0u : 1u);
        EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::UpdateSurface"), 1u);
        EXPECT_EQ(d3d9double::LiveObjects("IDirect3DTexture9"), 1) << "the temporary texture is released";

        boost::shared_ptr<IResTextureCPU> readBack = CreateCpuTexture(*render, width, height);
        render->TransferResource(texture, readBack);
        const LockedMemory locked = render->LockResource(readBack);
        ASSERT_NE(locked.bits, nullptr);
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(std::memcmp(static_cast<const uint8_t*>(locked.bits) + y * locked.pitch, &pixels[y * width], width * 4), 0) << y;
        render->UnlockResource(readBack);
        EXPECT_TRUE(render->Shutdown());
    }
}

TEST_F(TextureTest, CpuTexturesLocksTransfersAndWrongKinds)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResTextureGPU> gpu = CreateGpuTexture(*render, 8, 8);
    boost::shared_ptr<IResTextureCPU> cpu;
    IUnknown* held = CreatedBy("IDirect3DTexture9", [&] { cpu = CreateCpuTexture(*render, 8, 8); });
    boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkPositions, 3, 4);

    LockedMemory locked = render->LockResource(cpu);
    EXPECT_EQ(locked.pitch, 32u);
    EXPECT_VELTRA_ERROR(render->TransferResource(cpu, gpu), Veltra::ecBadState);
    EXPECT_EQ(cpu->GetState(), rsLocked);
    EXPECT_EQ(gpu->GetState(), rsReady);
    render->UnlockResource(cpu);
    gpu->Select(0);
    EXPECT_VELTRA_ERROR(render->TransferResource(cpu, gpu), Veltra::ecBadState);  // a selected destination
    gpu->DeSelect(0);

    boost::shared_ptr<IResTextureCPU> otherCpu = CreateCpuTexture(*render, 8, 8);
    EXPECT_VELTRA_ERROR(render->TransferResource(cpu, otherCpu), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->TransferResource(cpu, buffer), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->TransferResource(gpu, buffer), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->TransferResource(gpu, boost::shared_ptr<IResource>()), Veltra::ecInvalidParameter);

    // Whole-image and partial writes, bounded by the locked memory.
    std::vector<uint8_t> bytes(8 * 8 * 4, 0x5A);
    render->SetResourceData(bytes.data(), cpu);
    EXPECT_EQ(cpu->GetState(), rsReady);
    cpu->SetTextureData(bytes.data(), 100, 200);
    log.Clear();
    cpu->SetTextureData(bytes.data(), 100, 200 + 160);
    EXPECT_EQ(log.Count(L"SetTextureData() - 100 bytes at offset 360 do not fit in 256 bytes", 1), 1u) << log.Dump();
    cpu->SetTextureData(nullptr, 0, 0);
    EXPECT_EQ(log.Count(L"SetTextureData() - no data: nothing copied", 1), 1u);

    // An extra reference on the Direct3D texture: one "Not Released" line, at most once.
    held->AddRef();
    log.Clear();
    render->DestroyResource(cpu);
    render->DestroyResource(cpu);
    EXPECT_EQ(log.Count(L"DX9ResTextureCPU(", 1) + log.Count(L"DX9ResTextureGPU(", 1), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"::Destroy() - Texture Not Released, RefCount = 1\n", 1), 1u);
    held->Release();
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(TextureTest, CopyOfAGpuTextureWhoseTextureCannotBeMade)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResTextureGPU> gpu = CreateGpuTexture(*render, 8, 8);
    gpu->SetTag(42);
    d3d9double::SetNextResults("IDirect3DDevice9::CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    boost::shared_ptr<IResourceCPU> copy = render->CreateResourceCPU(boost::shared_ptr<IResource>(gpu));
    boost::shared_ptr<IResTextureCPU> cpu = boost::dynamic_pointer_cast<IResTextureCPU>(copy);
    TextureSettings settings;
    cpu->GetSettings(settings);
    EXPECT_EQ(settings.type, rtTextureCPU);
    EXPECT_EQ(settings.image.pixelWidth, 8);
    EXPECT_EQ(cpu->GetState(), rsReady) << "the GPU texture's state came with its settings";
    log.Clear();
    const LockedMemory locked = cpu->Lock();
    EXPECT_EQ(locked.pitch, 0u);
    EXPECT_EQ(locked.bits, nullptr);
    EXPECT_EQ(cpu->GetState(), rsLocked);
    cpu->Unlock();
    EXPECT_EQ(cpu->GetState(), rsReady);
    EXPECT_TRUE(log.Records().empty()) << log.Dump();
    render->TransferResource(cpu, gpu);  // nothing to copy, both end ready
    EXPECT_EQ(gpu->GetTag(), 42u);
    EXPECT_EQ(gpu->GetState(), rsReady);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(TextureTest, IndexIsThePositionInTheRegistry)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResTextureGPU> first = CreateGpuTexture(*render, 4, 4);
    boost::shared_ptr<IResTextureGPU> second = CreateGpuTexture(*render, 4, 4);
    EXPECT_EQ(first->GetIndex(), 3) << "after the default quad";
    EXPECT_EQ(second->GetIndex(), 4);
    render->DestroyResource(first);
    boost::shared_ptr<IResTextureGPU> third = CreateGpuTexture(*render, 4, 4);
    EXPECT_EQ(third->GetIndex(), 5) << "an emptied entry keeps its place";
    render->ReleaseExtraMemory();
    boost::shared_ptr<IResTextureGPU> fourth = CreateGpuTexture(*render, 4, 4);
    EXPECT_EQ(fourth->GetIndex(), 5) << "continues from the compacted count";
    EXPECT_EQ(render->GetResourceGPU(fourth->GetIndex()), fourth);

    // Bad sizes: the Direct3D error line, then ecOutOfMemory; nothing listed.
    for (const auto& size : {std::make_pair(0, 4), std::make_pair(-3, 4), std::make_pair(4, -1)}) {
        log.Clear();
        EXPECT_VELTRA_ERROR(CreateGpuTexture(*render, size.first, size.second), Veltra::ecOutOfMemory);
        EXPECT_EQ(log.Count(L"DirectX Error: "), 1u);
        EXPECT_VELTRA_ERROR(CreateCpuTexture(*render, size.first, size.second), Veltra::ecOutOfMemory);
    }
    EXPECT_THROW(render->GetResourceGPU(6), boost::bad_weak_ptr);
    EXPECT_TRUE(render->Shutdown());
}
