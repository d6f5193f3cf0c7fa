// Stereo against the NVAPI double (found only by these tests, through the DLL search path):
// what the driver says decides what the render uses, the stereo handle's life, and the eye
// of each frame.
#include "RenderFixture.h"

#include "NvapiDouble.h"

#include <algorithm>
#include <cwchar>

using namespace VeltraRender;
namespace nv = nvapidouble;

namespace {

class StereoTest : public RenderFixture {
protected:
    void SetUp() override { ASSERT_TRUE(nv::Use(true)), nv::Double().Reset(); }
    void TearDown() override
    {
        EXPECT_TRUE(nv::Use(false)) << "the plug-in lets go of NVAPI with its last render";
        RenderFixture::TearDown();
    }

    boost::shared_ptr<IRender> WindowRender(const HostWindow& window, bool stereo)
    {
        RenderSettings settings = OffscreenSettings(32, 32);
        settings.window = window.Handle();
        settings.enableStereo = stereo;
        return Render(settings);
    }

    static std::vector<uint64_t> EyesSet()  // 1 right, 2 left, 3 mono
    {
        std::vector<uint64_t> eyes;
        for (const nv::Call& call : nv::CallsTo(nv::kSetActiveEye))
            eyes.push_back(call.args[1]);
        return eyes;
    }

    HostWindow window{32, 32}, otherWindow{32, 32};
};

}  // namespace

TEST_F(StereoTest, WhatTheDriverSaysDecidesWhetherStereoIsUsed)
{
    struct Case { const char* name; uint32_t refused; bool enabledInDriver, available, enabled; };
    const Case cases[] = {{"enabled", 0, true, true, true}, {"disabled in the driver", 0, false, true, false},
        {"direct mode refused", nv::kSetDriverMode, true, false, false},
        {"initialisation refused", nv::kInitialize, true, false, false},
        {"no enabled query", nv::kIsStereoEnabled, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nv::Double().Reset();
        nv::Double().statuses[c.refused] = -3;
        nv::Double().stereoEnabled = c.enabledInDriver;
        boost::shared_ptr<IRender> render = WindowRender(window, true);
        RenderInfo info;
        render->GetRenderInfo(&info);
        EXPECT_EQ(info.stereoAvailable, c.available);
        EXPECT_EQ(info.stereoEnabled, c.enabled);
        EXPECT_EQ(info.stereoReady, c.enabled);
        render->DisplayBuffer(CreateGpuTexture(*render, 32, 32), 2);
        EXPECT_EQ(EyesSet(), c.enabled ? std::vector<uint64_t>{1} : std::vector<uint64_t>{}) << "only usable stereo";
        Finish(render);
        EXPECT_EQ(nv::CallsTo(nv::kUnload).size(), c.refused == nv::kInitialize ? 0u : 1u) << "stopped with the last render";
    }
}

TEST_F(StereoTest, TheHandleBelongsToThe9ExDeviceUntilTheLastShutdown)
{
    boost::shared_ptr<IRender> first = WindowRender(window, true), second = WindowRender(otherWindow, true);
    const std::vector<nv::Call> created = nv::CallsTo(nv::kCreateHandle), told = nv::CallsTo(nv::kSetNotificationMessage);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].args[0], reinterpret_cast<uintptr_t>(first->GetDevice()));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].args[0], created[0].out);
    EXPECT_EQ(told[0].args[1], uint64_t(FindHiddenDeviceWindow())) << "the driver's messages go to the hidden window";
    EXPECT_EQ(nv::CallsTo(nv::kActivate).size(), 1u) << "activated once for every render";
    EXPECT_TRUE(second->Shutdown());
    second.reset();
    EXPECT_EQ(nv::Double().liveHandles.size(), 1u);
    EXPECT_TRUE(first->Shutdown());
    EXPECT_EQ(nv::Double().liveHandles.size(), 0u) << "the last Shutdown destroys the handle";
    first.reset();
    nv::Double().Reset();  // a handle whose notification is refused is destroyed again
    nv::Double().statuses[nv::kSetNotificationMessage] = -2;
    WindowRender(window, true).reset();
    EXPECT_EQ(nv::CallsTo(nv::kCreateHandle).size(), 1u);
    EXPECT_EQ(nv::Double().liveHandles.size(), 0u);
}

TEST_F(StereoTest, EachFrameTellsTheDriverItsEye)
{
    boost::shared_ptr<IRender> stereo = WindowRender(window, true), mono = WindowRender(otherWindow, false);
    boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*stereo, 32, 32);
    // left waits for right; the trace (level 3) names the eye a frame went to
    struct Case { IRender* render; uint32_t eye; std::vector<uint64_t> driverEyes; long presents; const wchar_t* trace; };
    const Case cases[] = {{stereo.get(), 0, {3}, 1, L" - mono\n"}, {stereo.get(), 1, {2}, 0, L" - left eye\n"},
        {stereo.get(), 2, {1}, 1, L" - right eye\n"}, {stereo.get(), 7, {}, 0, nullptr}, {mono.get(), 0, {3}, 1, L" - mono\n"},
        {mono.get(), 1, {3}, 1, L" - mono\n"}, {mono.get(), 5, {3}, 1, L" - mono\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.eye + (c.render == mono.get() ? 100 : 0));
        nv::Double().Reset();
        d3d9double::ClearCalls();
        log.Clear();
        EXPECT_TRUE(c.render->DisplayBuffer(frame, c.eye));
        EXPECT_EQ(EyesSet(), c.driverEyes);
        for (const wchar_t* word : {L" - mono\n", L" - left eye\n", L" - right eye\n"})
            EXPECT_EQ(log.Count(word, 3), c.trace && std::wcscmp(word, c.trace) == 0 ? 1u : 0u) << log.Dump();
        const std::vector<d3d9double::Call> calls = d3d9double::Calls();
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                      [](const d3d9double::Call& call) { return call.method == "IDirect3DSwapChain9::Present"; }),
            c.presents);
    }
    frame.reset();
    mono.reset();
    EXPECT_TRUE(stereo->Shutdown());
}
