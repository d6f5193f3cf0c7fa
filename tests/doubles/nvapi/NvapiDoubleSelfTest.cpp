// The NVAPI double's own contract: what the stereo tests rely on it for.
#include "NvapiDouble.h"

#include <gtest/gtest.h>

namespace nd = nvapidouble;

namespace {

using Create = int32_t(IUnknown*, void**);
using Enabled = int32_t(uint8_t*);

class NvapiDouble : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(nd::Use(true));
        nd::Reset();
        module = LoadLibraryA("nvapi64.dll");  // as the plug-in finds it
        ASSERT_NE(module, nullptr);
        query = reinterpret_cast<void* (*)(uint32_t)>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "nvapi_QueryInterface")));
        ASSERT_NE(query, nullptr);
    }
    void TearDown() override
    {
        FreeLibrary(module);
        EXPECT_TRUE(nd::Use(false));  // nothing holds it any more
        EXPECT_EQ(LoadLibraryA("nvapi64.dll"), nullptr);
    }
    template <typename F>
    F* Get(uint32_t id) { return reinterpret_cast<F*>(query(id)); }

    HMODULE module = nullptr;
    void* (*query)(uint32_t) = nullptr;
};

TEST_F(NvapiDouble, StereoSessionByDefault)
{
    EXPECT_EQ(Get<int32_t()>(nd::kInitialize)(), 0);
    uint8_t enabled = 7;
    EXPECT_EQ(Get<Enabled>(nd::kIsStereoEnabled)(&enabled), 0);
    EXPECT_EQ(enabled, 1);
    auto create = Get<Create>(nd::kCreateHandle);
    auto destroy = Get<int32_t(void*)>(nd::kDestroyHandle);
    void *a = nullptr, *b = nullptr, *none = nullptr;
    const int live = nd::LiveHandles();
    EXPECT_EQ(create(reinterpret_cast<IUnknown*>(0x9e), &a), 0);
    EXPECT_EQ(create(reinterpret_cast<IUnknown*>(0x9e), &b), 0);
    EXPECT_EQ(create(nullptr, &none), -1);  // no 9Ex device
    EXPECT_TRUE(a && b && a != b && !none);
    EXPECT_EQ(nd::LiveHandles(), live + 2);
    EXPECT_EQ(Get<int32_t(void*, uint64_t, uint64_t)>(nd::kSetNotificationMessage)(a, 5, 6), 0);
    EXPECT_EQ(destroy(a), 0);
    EXPECT_EQ(destroy(a), -1);
    EXPECT_EQ(destroy(b), 0);
    EXPECT_EQ(nd::LiveHandles(), live);

    EXPECT_EQ(query(nd::kPreHook), nullptr);
    EXPECT_EQ(query(0xDEADBEEF), nullptr);
    EXPECT_EQ(nd::Queries().size(), 7u);
    EXPECT_EQ(nd::Queries().back(), 0xDEADBEEF);
    const std::vector<nd::Call> calls = nd::Calls();
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[2].out, reinterpret_cast<uintptr_t>(a));
    EXPECT_EQ(calls[5].args, (std::vector<uint64_t>{reinterpret_cast<uintptr_t>(a), 5, 6}));
    EXPECT_EQ(nd::CallsTo(nd::kDestroyHandle).at(1).status, -1);
}

TEST_F(NvapiDouble, ScriptsAndHooks)
{
    nd::Refuse(nd::kActivate);
    nd::SetStatus(nd::kCreateHandle, -3);
    nd::SetStereoEnabled(false);
    nd::OfferHooks(true, true);
    EXPECT_EQ(query(nd::kActivate), nullptr);
    void* handle = nullptr;
    EXPECT_EQ(Get<Create>(nd::kCreateHandle)(reinterpret_cast<IUnknown*>(8), &handle), -3);
    EXPECT_EQ(handle, nullptr);  // a failing call writes nothing
    uint8_t enabled = 1;
    EXPECT_EQ(Get<Enabled>(nd::kIsStereoEnabled)(&enabled), 0);
    EXPECT_EQ(enabled, 0);

    void* context = nullptr;
    Get<void(uint32_t, void**)>(nd::kPreHook)(nd::kSetActiveEye, &context);
    Get<void(uint32_t, void*, int32_t)>(nd::kPostHook)(nd::kSetActiveEye, context, -2);
    const std::vector<uint64_t> post{nd::kSetActiveEye, nd::kHookContext, uint64_t(-2)};
    EXPECT_EQ(nd::CallsTo(nd::kPostHook).at(0).args, post);

    nd::Reset();
    EXPECT_NE(query(nd::kActivate), nullptr);
    EXPECT_EQ(query(nd::kPostHook), nullptr);
    EXPECT_EQ(nd::Queries().size(), 2u);
    EXPECT_TRUE(nd::Calls().empty());
}

}  // namespace
