// The render's registry: the default quad, stable positions, DestroyResource in both
// forms, compaction, Shutdown of what is live, and refused creation codes.

#include "RenderFixture.h"
#include "Resources.h"

#include <cstring>

using namespace VeltraRender;

namespace {

template <typename T>
std::vector<T> ContentsOf(IRender& render, const boost::shared_ptr<IResourceGPU>& buffer, size_t count)
{
    const T* bits = static_cast<const T*>(render.LockResource(buffer).bits);
    std::vector<T> contents(bits, bits + count);
    render.UnlockResource(buffer);
    return contents;
}

} // namespace

using RegistryTest = RenderFixture;

TEST_F(RegistryTest, DefaultQuadTakesTheFirstThreePositions)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    const uint32_t kinds[] = {bkPositions, bkIndices, bkNormals};
    const int32_t counts[] = {4, 6, 4};
    for (int32_t position = 0; position < 3; ++position) {
        boost::shared_ptr<IResourceGPU> buffer = render->GetResourceGPU(position);
        ASSERT_EQ(buffer->GetType(), rtBufferGPU);
        const BufferSettings settings = SettingsOf(*buffer);
        EXPECT_EQ(settings.kind, kinds[position]);
        EXPECT_EQ(settings.count, counts[position]);
        EXPECT_EQ(buffer->GetState(), rsReady);
        EXPECT_FALSE(settings.render.expired()) << "configured by this render";
    }
    EXPECT_EQ(ContentsOf<float>(*render, render->GetResourceGPU(0), 12),
              (std::vector<float>{-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0}));
    EXPECT_EQ(ContentsOf<uint32_t>(*render, render->GetResourceGPU(1), 6), (std::vector<uint32_t>{0, 2, 3, 0, 1, 2}));
    EXPECT_EQ(ContentsOf<float>(*render, render->GetResourceGPU(2), 12),
              (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}));
    EXPECT_THROW(render->GetResourceGPU(3), boost::bad_weak_ptr);
    EXPECT_THROW(render->GetResourceGPU(-1), boost::bad_weak_ptr);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(RegistryTest, PositionsStayUntilCompaction)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IResBufferGPU> third = CreateBuffer(*render, bkPositions, 3, 4);
    boost::shared_ptr<IResBufferGPU> fourth = CreateBuffer(*render, bkNormals, 3, 4);
    boost::shared_ptr<IResBufferGPU> fifth = CreateBuffer(*render, bkIndices, 0, 3);
    EXPECT_EQ(render->GetResourceGPU(4), fourth);

    render->DestroyResource(fourth);
    EXPECT_EQ(fourth->GetState(), rsDestroyed);
    EXPECT_THROW(render->GetResourceGPU(4), boost::bad_weak_ptr);
    EXPECT_EQ(render->GetResourceGPU(5), fifth) << "later entries keep their place";
    render->DestroyResource(fourth);  // again: Destroy runs again, no entry changes
    EXPECT_EQ(render->GetResourceGPU(5), fifth);

    // The plain-pointer form finds the entry by identity; an unknown object is ignored.
    boost::shared_ptr<IRender> other = NewInitializedRender();
    boost::shared_ptr<IResBufferGPU> foreign = CreateBuffer(*other, bkPositions, 3, 4);
    render->DestroyResource(foreign.get());
    EXPECT_EQ(foreign->GetState(), rsCreated);
    render->DestroyResource(static_cast<IResource*>(third.get()));
    EXPECT_EQ(third->GetState(), rsDestroyed);
    EXPECT_THROW(render->GetResourceGPU(3), boost::bad_weak_ptr);

    // A dropped object's entry expires; compaction removes emptied and expired entries.
    CreateBuffer(*render, bkPositions, 3, 4).reset();
    render->ReleaseExtraMemory();
    EXPECT_EQ(render->GetResourceGPU(3), fifth);
    EXPECT_THROW(render->GetResourceGPU(4), boost::bad_weak_ptr);

    // Refused creations list nothing.
    ResourceHeader cpuTexture;
    cpuTexture.type = rtTextureCPU;
    EXPECT_VELTRA_ERROR(render->CreateResourceGPU(cpuTexture), Veltra::ecInvalidParameter);
    EXPECT_THROW(render->GetResourceGPU(4), boost::bad_weak_ptr);

    // Shutdown destroys what is still live, whoever holds it.
    other.reset();
    EXPECT_TRUE(render->Shutdown());
    EXPECT_EQ(fifth->GetState(), rsDestroyed);
}

TEST_F(RegistryTest, EachSlotRefusesWhatItDoesNotServe)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    for (uint32_t code : {1u, 4u, 8u, 9u, 99u}) {
        ResourceHeader settings;
        settings.type = static_cast<ResourceType>(code);
        EXPECT_VELTRA_ERROR(render->CreateResourceGPU(settings), Veltra::ecInvalidParameter);
    }
    for (uint32_t code : {0u, 2u, 3u, 9u, 99u}) {
        ResourceHeader settings;
        settings.type = static_cast<ResourceType>(code);
        EXPECT_VELTRA_ERROR(render->CreateState(settings), Veltra::ecInvalidParameter);
    }
    for (uint32_t code : {2u, 3u, 8u, 99u}) {
        ResourceHeader settings;
        settings.type = static_cast<ResourceType>(code);
        EXPECT_VELTRA_ERROR(render->CreateResourceCPU(settings), Veltra::ecInvalidParameter);
    }
    boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkPositions, 3, 4);
    EXPECT_VELTRA_ERROR(render->CreateResourceCPU(boost::shared_ptr<IResource>(buffer)), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->CreateResourceCPU(boost::shared_ptr<IResource>()), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->LockResource(boost::shared_ptr<IResource>()), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->UnlockResource(boost::shared_ptr<IResource>()), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->TransferResource(boost::shared_ptr<IResource>(), buffer), Veltra::ecInvalidParameter);
    EXPECT_VELTRA_ERROR(render->TransferResource(buffer, buffer), Veltra::ecInvalidOperation);
    const float data[12] = {};
    render->SetResourceData(data, boost::shared_ptr<IResource>());  // ignored
    render->DestroyResource(boost::shared_ptr<IResource>());
    render->DestroyResource(static_cast<IResource*>(nullptr));
    EXPECT_EQ(buffer->GetState(), rsCreated);

    // A lost device takes no data and reports nothing.
    d3d9double::SetResult("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICELOST);
    d3d9double::ClearCalls();
    render->SetResourceData(data, buffer);
    EXPECT_EQ(d3d9double::CountCalls("IDirect3DVertexBuffer9::Lock"), 0u);
    EXPECT_EQ(buffer->GetState(), rsCreated);
    d3d9double::SetResult("IDirect3DDevice9::TestCooperativeLevel", D3D_OK);
    EXPECT_TRUE(render->Shutdown());
}
