// Stereo against the NVAPI double (found only by the tests here, through the DLL
// search path), with the Direct3D double: the controller's flags, the stereo handle,
// activation, the eyes, the call hooks, and the loader's lazy resolution.

#include "RenderFixture.h"
#include "Resources.h"

#include "HostWindow.h"
#include "NvapiDouble.h"

#include "../../src/stereo/NvApiLoader.h"

#include <algorithm>

using namespace VeltraRender;
namespace nd = nvapidouble;

namespace {

class StereoTest : public RenderFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(nd::Use(true));
        nd::Reset();
        nd::ClearCalls();
    }
    void TearDown() override
    {
        EXPECT_TRUE(nd::Use(false)) << "the plug-in let go of NVAPI with its last render";
        RenderFixture::TearDown();
    }

    boost::shared_ptr<IRender> WindowRender(const HostWindow& window, bool stereo)
    {
        boost::shared_ptr<IRender> render = NewRender();
        RenderSettings settings = OffscreenSettings(32, 32);
        settings.window = window.Handle();
        settings.enableStereo = stereo;
        EXPECT_TRUE(InitializeRender(render, settings)) << log.Dump();
        return render;
    }

    static std::vector<uint64_t> EyesSet()
    {
        std::vector<uint64_t> eyes;
        for (const nd::Call& call : nd::CallsTo(nd::kSetActiveEye))
            eyes.push_back(call.args[1]);
        return eyes;
    }

    HostWindow window{32, 32};
};

} // namespace

TEST_F(StereoTest, ControllerFlagsFollowTheDriver)
{
    struct Case {
        const char* name;
        void (*script)();
        bool available, enabled;
        const wchar_t* error;
    };
    const Case cases[] = {
        {"enabled", [] {}, true, true, nullptr},
        {"disabled in the driver", [] { nd::SetStereoEnabled(false); }, true, false, nullptr},
        {"direct mode refused", [] { nd::SetStatus(nd::kSetDriverMode, -1); }, false, false,
         L"NVidiaStereo::NVidiaStereo() - NvAPI_Stereo_SetDriverMode ERROR, status=-1\n"},
        {"initialisation refused", [] { nd::SetStatus(nd::kInitialize, -5); }, false, false,
         L"NVidiaStereo::NVidiaStereo() - NvAPI_Initialize ERROR, status=-1\n"},
        {"no enabled query", [] { nd::Refuse(nd::kIsStereoEnabled); }, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nd::Reset();
        nd::ClearCalls();
        log.Clear();
        c.script();
        boost::shared_ptr<IRender> render = WindowRender(window, true);
        RenderInfo info;
        render->GetRenderInfo(&info);
        EXPECT_EQ(info.stereoAvailable, c.available);
        EXPECT_EQ(info.stereoEnabled, c.enabled);
        EXPECT_EQ(info.stereoReady, c.enabled);
        EXPECT_EQ(log.Count(L"NVidiaStereo::NVidiaStereo() - end (stereoAvailable=" + std::to_wstring(c.available) +
                                L", stereoEnabled=" + std::to_wstring(c.enabled) + L")\n", 24),
                  1u) << log.Dump();
        if (c.error)
            EXPECT_EQ(log.Count(c.error, 24), 1u);
        const bool initialised = std::string(c.name) != "initialisation refused";
        EXPECT_EQ(nd::CallsTo(nd::kDriverConfiguration).size(), initialised ? 1u : 0u) << "with 0, whatever came before";
        EXPECT_EQ(log.Count(L" - triggering stereo 3D\n", 3), c.enabled ? 1u : 0u) << "only usable stereo is used";
        EXPECT_TRUE(render->Shutdown());
        render.reset();
        EXPECT_EQ(nd::CallsTo(nd::kUnload).size(), initialised ? 1u : 0u) << "the last render stops NVAPI";
    }
}

TEST_F(StereoTest, HandleActivationAndDestruction)
{
    boost::shared_ptr<IRender> first = WindowRender(window, true);
    const std::vector<nd::Call> created = nd::CallsTo(nd::kCreateHandle);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].args[0], reinterpret_cast<uintptr_t>(first->GetDevice())) << "the 9Ex device";
    const uint64_t handle = created[0].out;
    const std::vector<nd::Call> notification = nd::CallsTo(nd::kSetNotificationMessage);
    ASSERT_EQ(notification.size(), 1u);
    EXPECT_EQ(notification[0].args[0], handle);
    EXPECT_EQ(notification[0].args[1], reinterpret_cast<uintptr_t>(FindHiddenDeviceWindow()));
    EXPECT_EQ(notification[0].args[2], 3000u);
    HostWindow otherWindow(32, 32);
    boost::shared_ptr<IRender> second = WindowRender(otherWindow, true);
    const std::vector<nd::Call> activations = nd::CallsTo(nd::kActivate);
    ASSERT_EQ(activations.size(), 1u) << "once per controller";
    EXPECT_EQ(activations[0].args[0], handle);

    EXPECT_TRUE(second->Shutdown());
    second.reset();
    EXPECT_TRUE(nd::CallsTo(nd::kDestroyHandle).empty());
    EXPECT_TRUE(first->Shutdown());
    ASSERT_EQ(nd::CallsTo(nd::kDestroyHandle).size(), 1u) << "the last Shutdown destroys the handle";
    EXPECT_EQ(nd::CallsTo(nd::kDestroyHandle)[0].args[0], handle);
    EXPECT_EQ(nd::LiveHandles(), 0);
    first.reset();

    // A refused notification destroys the new handle again; the plain device gets none.
    nd::Reset();
    nd::SetStatus(nd::kSetNotificationMessage, -2);
    boost::shared_ptr<IRender> refused = WindowRender(window, true);
    EXPECT_EQ(log.Count(L"NVidiaStereo::CreateHandle() - ERROR, status=-2\n", 24), 1u);
    EXPECT_EQ(nd::LiveHandles(), 0);
    refused.reset();
    nd::Reset();
    nd::ClearCalls();
    d3d9double::SetCreate9ExResult(D3DERR_NOTAVAILABLE);
    boost::shared_ptr<IRender> plain = WindowRender(window, true);
    ASSERT_EQ(nd::CallsTo(nd::kCreateHandle).size(), 1u);
    EXPECT_EQ(nd::CallsTo(nd::kCreateHandle)[0].args[0], 0u) << "no 9Ex device: NVAPI refuses";
    EXPECT_TRUE(nd::CallsTo(nd::kSetNotificationMessage).empty());
    EXPECT_EQ(nd::LiveHandles(), 0);
}

TEST_F(StereoTest, EyesOfAStereoRenderAndOfAMonoRenderBesideIt)
{
    boost::shared_ptr<IRender> stereo = WindowRender(window, true);
    HostWindow monoWindow(32, 32);
    boost::shared_ptr<IRender> mono = WindowRender(monoWindow, false);
    boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*stereo, 32, 32);
    const uint64_t handle = nd::CallsTo(nd::kCreateHandle)[0].out;

    struct Case {
        uint32_t eye;
        std::vector<uint64_t> nvapiEyes;
        size_t presents;
        const wchar_t* line;
    };
    const Case cases[] = {{0, {3}, 1, L" - mono\n"}, {1, {2}, 0, L" - left eye\n"}, {2, {1}, 1, L" - right eye\n"}, {7, {}, 0, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.eye);
        nd::ClearCalls();
        d3d9double::ClearCalls();
        log.Clear();
        EXPECT_TRUE(stereo->DisplayBuffer(frame, c.eye));
        EXPECT_EQ(EyesSet(), c.nvapiEyes);
        EXPECT_EQ(d3d9double::CountCalls("IDirect3DSwapChain9::Present"), c.presents);
        EXPECT_EQ(d3d9double::CountCalls("IDirect3DDevice9::StretchRect"), 1u) << "each eye is copied";
        if (c.line)
            EXPECT_EQ(log.Count(c.line, 3), 1u);
        for (const nd::Call& call : nd::CallsTo(nd::kSetActiveEye))
            EXPECT_EQ(call.args[0], handle);
    }

    // A mono render in a process where stereo is active says mono before every frame.
    for (uint32_t eye : {0u, 1u, 5u}) {
        nd::ClearCalls();
        d3d9double::ClearCalls();
        EXPECT_TRUE(mono->DisplayBuffer(frame, eye));
        EXPECT_EQ(EyesSet(), std::vector<uint64_t>{3});
        EXPECT_EQ(d3d9double::CountCalls("IDirect3DSwapChain9::Present"), 1u);
    }

    // A refused eye is logged and the frame goes on.
    nd::SetStatus(nd::kSetActiveEye, -5);
    log.Clear();
    EXPECT_TRUE(stereo->DisplayBuffer(frame, 2));
    EXPECT_EQ(log.Count(L" - ERROR in NnAPI_Stereo_SetActiveEye call, status=-5", 3), 1u);
    frame.reset();
    mono.reset();
    EXPECT_TRUE(stereo->Shutdown());
}

TEST_F(StereoTest, HooksWrapEachCallAndFunctionsResolveOncePerLoad)
{
    struct Case {
        bool pre, post;
    };
    for (const Case& c : {Case{true, true}, Case{true, false}, Case{false, true}}) {
        SCOPED_TRACE(c.pre * 2 + c.post);
        nd::Reset();
        nd::OfferHooks(c.pre, c.post);
        nd::ClearCalls();
        boost::shared_ptr<IRender> render = WindowRender(window, true);
        boost::shared_ptr<IResTextureGPU> frame = CreateGpuTexture(*render, 32, 32);
        for (int i = 0; i < 3; ++i)
            render->DisplayBuffer(frame, 2);
        const std::vector<nd::Call> calls = nd::Calls();
        const bool wrapped = c.post;  // a pre hook without its partner is dropped
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].id == nd::kSetActiveEye && wrapped) {
                ASSERT_LT(i + 1, calls.size());
                EXPECT_EQ(calls[i + 1].id, nd::kPostHook);
                EXPECT_EQ(calls[i + 1].args[0], nd::kSetActiveEye);
                EXPECT_EQ(calls[i + 1].args[1], c.pre ? nd::kHookContext : 0u) << "the context of the pre hook";
                if (c.pre)
                    EXPECT_EQ(calls[i - 1].id, nd::kPreHook);
            }
        }
        const size_t hookCalls = std::count_if(calls.begin(), calls.end(), [](const nd::Call& call) {
            return call.id == nd::kPreHook || call.id == nd::kPostHook;
        });
        EXPECT_EQ(hookCalls > 0, wrapped);
        const std::vector<uint32_t> queries = nd::Queries();
        EXPECT_EQ(std::count(queries.begin(), queries.end(), nd::kSetActiveEye), 1) << "asked once per load";
        frame.reset();
        render.reset();
    }
}

TEST_F(StereoTest, LoaderStatusesBeforeAndAfterItsLibrary)
{
    // The loader compiled into this program, with its own state.
    EXPECT_EQ(NvApi::Call(NvApi::IdStereoActivate, static_cast<void*>(nullptr)), NvApi::StatusNoImplementation);
    EXPECT_TRUE(nd::Queries().empty()) << "nothing asked before the start";
    EXPECT_EQ(NvApi::Stop(), NvApi::StatusNotInitialized);
    ASSERT_EQ(NvApi::Start(), NvApi::StatusOk);
    EXPECT_EQ(NvApi::Call(NvApi::IdStereoSetDriverMode, 2u), 0);
    EXPECT_EQ(NvApi::Call(NvApi::IdStereoSetDriverMode, 2u), 0);
    nd::SetStatus(nd::kUnload, -1);
    EXPECT_EQ(NvApi::Stop(), NvApi::StatusError) << "refused: everything is kept";
    EXPECT_EQ(NvApi::Call(NvApi::IdStereoSetDriverMode, 2u), 0);
    nd::SetStatus(nd::kUnload, 0);
    EXPECT_EQ(NvApi::Stop(), NvApi::StatusOk);
    EXPECT_EQ(NvApi::Call(NvApi::IdStereoSetDriverMode, 2u), NvApi::StatusNoImplementation);
    ASSERT_EQ(NvApi::Start(), NvApi::StatusOk);
    EXPECT_EQ(NvApi::Call(NvApi::IdStereoSetDriverMode, 2u), 0);
    const std::vector<uint32_t> queries = nd::Queries();
    EXPECT_EQ(std::count(queries.begin(), queries.end(), nd::kSetDriverMode), 2) << "once per load, again after a new start";
    EXPECT_EQ(NvApi::Stop(), NvApi::StatusOk);
    ASSERT_TRUE(nd::Use(false));
    EXPECT_EQ(NvApi::Start(), NvApi::StatusLibraryNotFound);
    ASSERT_TRUE(nd::Use(true));
}
