// Vertex and index buffers against the Direct3D double: sizes and formats on 16-bit
// and 32-bit devices, the index conversion, the state machine, and destruction.

#include "RenderFixture.h"
#include "Resources.h"

#include <cstring>

using namespace VeltraRender;

namespace {

template <typename T>
std::vector<T> IndexContents(IUnknown* object)
{
    IDirect3DIndexBuffer9* buffer = static_cast<IDirect3DIndexBuffer9*>(object);
    D3DINDEXBUFFER_DESC description;
    buffer->GetDesc(&description);
    void* bits = nullptr;
    buffer->Lock(0, 0, &bits, 0);
    std::vector<T> contents(static_cast<const T*>(bits), static_cast<const T*>(bits) + description.Size / sizeof(T));
    buffer->Unlock();
    return contents;
}

} // namespace

using BufferTest = RenderFixture;

TEST_F(BufferTest, IndexBuffersOnSixteenAndThirtyTwoBitDevices)
{
    const uint32_t indices[] = {0, 1, 2, 70000, 65535, 3, 65536};
    for (DWORD maxVertexIndex : {0x10000u, 0x10001u}) {
        SCOPED_TRACE(maxVertexIndex);
        d3d9double::Reset();
        d3d9double::Caps().MaxVertexIndex = maxVertexIndex;
        // The 16-bit choice lasts as long as the library stays loaded.
        plugin.reset();
        plugin = std::make_unique<PluginLibrary>();
        const bool narrow = maxVertexIndex == 0x10000;
        boost::shared_ptr<IRender> render = NewInitializedRender();
        boost::shared_ptr<IResBufferGPU> buffer;
        IUnknown* object = CreatedBy("IDirect3DIndexBuffer9", [&] { buffer = CreateBuffer(*render, bkIndices, 0, 7, indices); });
        const std::vector<d3d9double::Call> creates = d3d9double::CallsTo("IDirect3DDevice9::CreateIndexBuffer");
        ASSERT_EQ(creates.size(), 2u) << "the default quad's and ours";
        EXPECT_EQ(creates[1].args[0], narrow ? 14u : 28u);
        EXPECT_EQ(creates[1].args[1], static_cast<uint64_t>(D3DUSAGE_WRITEONLY));
        EXPECT_EQ(creates[1].args[2], static_cast<uint64_t>(narrow ? D3DFMT_INDEX16 : D3DFMT_INDEX32));
        EXPECT_EQ(creates[1].args[3], static_cast<uint64_t>(D3DPOOL_DEFAULT));
        if (narrow) {
            EXPECT_EQ(IndexContents<uint16_t>(object), (std::vector<uint16_t>{0, 1, 2, 4464, 65535, 3, 0}))
                << "low halves, unchecked";
        } else {
            EXPECT_EQ(IndexContents<uint32_t>(object), std::vector<uint32_t>(indices, indices + 7));
        }
        // The caller always writes 32-bit indices: a partial update through the staging memory.
        const uint32_t update[] = {9, 10};
        buffer->SetBufferData(update, sizeof update, 8);
        if (narrow)
            EXPECT_EQ(IndexContents<uint16_t>(object)[2], 9u);
        else
            EXPECT_EQ(IndexContents<uint32_t>(object)[2], 9u);
        LockedMemory locked = render->LockResource(buffer);
        EXPECT_EQ(locked.pitch, 4u);
        EXPECT_NE(locked.bits, nullptr);
        render->UnlockResource(buffer);
        EXPECT_TRUE(render->Shutdown());
    }
}

TEST_F(BufferTest, VertexBufferSizesFormatsAndElements)
{
    struct Case {
        uint32_t kind, components;
        uint64_t size, fvf;
    };
    const Case cases[] = {
        {bkPositions, 3, 48, D3DFVF_XYZ},
        {bkNormals, 3, 48, D3DFVF_NORMAL},
        {bkTexCoords, 2, 32, 0x20100},  // four components declared whatever `components` says
        {bkTexCoordsSized, 1, 16, 0x30100},
        {bkTexCoordsSized, 2, 32, 0x100},
        {bkTexCoordsSized, 3, 48, 0x10100},
        {bkTexCoordsSized, 4, 64, 0x20100},
        {bkTexCoordsSized, 0, 16, 0},
        {bkTexCoordsSized, 7, 16, 0},
    };
    boost::shared_ptr<IRender> render = NewInitializedRender();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind * 10 + c.components);
        d3d9double::ClearCalls();
        boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, c.kind, c.components, 4);
        const std::vector<d3d9double::Call> creates = d3d9double::CallsTo("IDirect3DDevice9::CreateVertexBuffer");
        ASSERT_EQ(creates.size(), 1u);
        EXPECT_EQ(creates[0].args[0], c.size);
        EXPECT_EQ(creates[0].args[1], static_cast<uint64_t>(D3DUSAGE_WRITEONLY));
        EXPECT_EQ(creates[0].args[2], c.fvf);
        EXPECT_EQ(SettingsOf(*buffer).elementBytes, c.size / 4) << "filled in when 0";
        EXPECT_EQ(buffer->GetState(), rsCreated) << "no initial data";
        LockedMemory locked;
        buffer->Lock(locked);
        EXPECT_EQ(locked.pitch, c.size / 4);
        buffer->Unlock();
    }
    BufferSettings given = BufferOf(bkNormals, 3, 4);
    given.elementBytes = 7;
    EXPECT_EQ(SettingsOf(*render->CreateResourceGPU(given)).elementBytes, 7u) << "a given value stays";
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(BufferTest, StateMachineRefusesBeforeChangingAnything)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkPositions, 3, 4);
    LockedMemory locked;
    EXPECT_VELTRA_ERROR(buffer->Select(0), Veltra::ecBadState);
    EXPECT_VELTRA_ERROR(buffer->Unlock(), Veltra::ecBadState);
    EXPECT_EQ(buffer->GetState(), rsCreated);

    buffer->Lock(locked);
    ASSERT_NE(locked.bits, nullptr);
    EXPECT_EQ(buffer->GetState(), rsLocked);
    EXPECT_VELTRA_ERROR(buffer->Lock(locked), Veltra::ecBadState);
    std::memset(locked.bits, 0xAA, 48);
    buffer->Unlock();
    EXPECT_EQ(buffer->GetState(), rsReady);

    // A partial write lands at its offset and leaves the rest.
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    buffer->SetBufferData(bytes, 8, 4);
    const uint8_t* contents = static_cast<const uint8_t*>(render->LockResource(buffer).bits);
    EXPECT_EQ(contents[3], 0xAA);
    EXPECT_EQ(std::memcmp(contents + 4, bytes, 8), 0);
    EXPECT_EQ(contents[12], 0xAA);
    render->UnlockResource(buffer);

    buffer->Select(0);
    buffer->Select(1);
    EXPECT_VELTRA_ERROR(buffer->Lock(locked), Veltra::ecBadState);
    EXPECT_VELTRA_ERROR(buffer->SetBufferData(bytes, 8, 0), Veltra::ecBadState);
    buffer->DeSelect(0);
    EXPECT_EQ(buffer->GetState(), rsSelected) << "selections nest";
    buffer->DeSelect(0);
    EXPECT_EQ(buffer->GetState(), rsReady);
    EXPECT_VELTRA_ERROR(buffer->DeSelect(0), Veltra::ecBadState);

    EXPECT_VELTRA_ERROR(buffer->Target(0), Veltra::ecInvalidOperation);
    boost::shared_ptr<IResBufferGPU> other = CreateBuffer(*render, bkNormals, 3, 4);
    EXPECT_VELTRA_ERROR(buffer->TransferTo(other), Veltra::ecInvalidOperation);
    EXPECT_EQ(other.use_count(), 1) << "the destination copy is released on the way out";

    buffer->Select(0);
    log.Clear();
    buffer->Destroy();
    EXPECT_EQ(buffer->GetState(), rsDestroyed);
    buffer->Destroy();
    EXPECT_EQ(buffer->GetState(), rsDestroyed);
    EXPECT_EQ(buffer->GetType(), rtBufferGPU);
    EXPECT_TRUE(log.Records().empty()) << log.Dump();
    EXPECT_VELTRA_ERROR(buffer->Lock(locked), Veltra::ecBadState);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(BufferTest, DestructionReleasesOnlyWhileTheRenderLives)
{
    boost::shared_ptr<IRender> render = NewRender();
    // The host's reference to the render, handed to Initialize, can die before the render.
    boost::shared_ptr<IRender> hostReference(render.get(), [](IRender*) {});
    RenderSettings settings = OffscreenSettings();
    ASSERT_TRUE(render->Initialize(hostReference, settings));
    const int quadBuffers = d3d9double::LiveObjects("IDirect3DVertexBuffer9");

    // Dropped with its render alive: released.
    CreateBuffer(*render, bkPositions, 3, 4).reset();
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexBuffer9"), quadBuffers);

    // Held elsewhere at Destroy: one "Not Released" line, forgotten all the same.
    boost::shared_ptr<IResBufferGPU> held;
    IUnknown* object = CreatedBy("IDirect3DVertexBuffer9", [&] { held = CreateBuffer(*render, bkNormals, 3, 4); });
    object->AddRef();
    render->DestroyResource(held);
    EXPECT_EQ(log.Count(L"::Destroy() - Buffer Not Released, RefCount = 1\n", 1), 1u) << log.Dump();
    EXPECT_EQ(object->Release(), 0u);

    // Render gone: configuring throws before anything is made or listed, and a dropped
    // buffer leaves its Direct3D buffer alone.
    boost::shared_ptr<IResBufferGPU> orphan = CreateBuffer(*render, bkPositions, 3, 4);
    hostReference.reset();
    d3d9double::ClearCalls();
    EXPECT_THROW(CreateBuffer(*render, bkPositions, 3, 4), boost::bad_weak_ptr);
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::CreateVertexBuffer"), 0u);
    orphan.reset();
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DVertexBuffer9"), quadBuffers + 1);
    EXPECT_FALSE(render->Shutdown()) << "the orphan's buffer still holds the device";
    for (IUnknown* leaked : d3d9double::LiveObjectsOf("IDirect3DVertexBuffer9"))
        leaked->Release();
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(BufferTest, BadSettingsNeitherCrashNorWriteOutside)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    const float data[8] = {};
    struct Case {
        uint32_t kind, components;
        int32_t count;
    };
    for (const Case& c : {Case{bkPositions, 3, 0}, Case{bkPositions, 3, -5}, Case{bkIndices, 0, -1},
                          Case{9, 3, 4}, Case{bkPositions, 7, 2}}) {
        SCOPED_TRACE(c.kind * 100 + c.components * 10 + c.count);
        boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, c.kind, c.components, c.count, data);
        EXPECT_EQ(buffer->GetState(), rsReady);
        render->SetResourceData(data, buffer);
        LockedMemory locked = render->LockResource(buffer);
        render->UnlockResource(buffer);
        if (c.kind == 9)
            EXPECT_EQ(locked.bits, nullptr) << "no Direct3D buffer to map";
        render->DestroyResource(buffer);
    }
    boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkPositions, 3, 2);
    log.Clear();
    render->SetResourceData(nullptr, buffer);
    EXPECT_EQ(log.Count(L"SetBufferData() - no data: nothing copied", 1), 1u);
    buffer->SetBufferData(data, 16, 16);
    EXPECT_EQ(log.Count(L"SetBufferData() - 16 bytes at offset 16 do not fit in 24 bytes", 1), 1u) << log.Dump();
    EXPECT_EQ(buffer->GetState(), rsReady);
    EXPECT_TRUE(render->Shutdown());
}
