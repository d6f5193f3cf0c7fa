// Render objects: the export list, process-wide set-up per generation, Shutdown and
// destruction rules, the thread check and bad Initialize input.

#include "RenderFixture.h"

#include "HostWindow.h"

#include <sklog_control.h>

#include <cstring>
#include <thread>

using namespace VeltraRender;

namespace {

bool RenderWindowClassRegistered()
{
    WNDCLASSW windowClass;
    return GetClassInfoW(GetModuleHandleW(nullptr), L"VeltraRender", &windowClass) != FALSE;
}

} // namespace

using RenderLifecycleTest = RenderFixture;

TEST_F(RenderLifecycleTest, ListAndProcessWideSetUpFollowTheRenders)
{
    const VeltraRenderData* list = plugin->List();
    EXPECT_STREQ(list[0].name, L"RenderDX9");
    EXPECT_NE(list[0].create, nullptr);
    EXPECT_EQ(list[1].name, nullptr);
    EXPECT_EQ(list[1].create, nullptr);
    // Loading alone starts nothing.
    EXPECT_EQ(sklog_OpenCount(), 0);
    EXPECT_FALSE(RenderWindowClassRegistered());

    boost::shared_ptr<IRender> first = NewRender();
    boost::shared_ptr<IRender> second = NewRender();
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(sklog_OpenCount(), 1) << "one Logger_Start per generation";
    EXPECT_TRUE(RenderWindowClassRegistered());
    EXPECT_NE(GetModuleHandleW(L"D3DCompiler_42.dll"), nullptr);
    EXPECT_EQ(log.Count(L"NVidiaStereo::NVidiaStereo() - start"), 1u) << "one stereo controller per generation";

    first.reset();
    EXPECT_EQ(sklog_OpenCount(), 1);
    EXPECT_TRUE(RenderWindowClassRegistered());
    second.reset();
    EXPECT_EQ(sklog_OpenCount(), 0);
    EXPECT_FALSE(RenderWindowClassRegistered());
    EXPECT_EQ(log.Count(L" - usecount is 0, doing full shutdown"), 1u);

    // A later generation sets everything up again.
    boost::shared_ptr<IRender> third = NewRender();
    EXPECT_EQ(sklog_OpenCount(), 1);
    EXPECT_TRUE(RenderWindowClassRegistered());
    third.reset();
    EXPECT_EQ(sklog_OpenCount(), 0);
}

TEST_F(RenderLifecycleTest, WithoutNvapiTheControllerReportsNoStereo)
{
    boost::shared_ptr<IRender> render = NewRender();
    EXPECT_EQ(log.Count(L"NVidiaStereo::NVidiaStereo() - NvAPI_Initialize ERROR, status=-2\n", 24), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"NVidiaStereo::NVidiaStereo() - end (stereoAvailable=0, stereoEnabled=0)\n", 24), 1u);
    RenderInfo info;
    render->GetRenderInfo(&info);
    EXPECT_FALSE(info.stereoAvailable);
    EXPECT_FALSE(info.stereoEnabled);
}

TEST_F(RenderLifecycleTest, TwoRendersShareOneDeviceThatTheLastShutdownReleases)
{
    boost::shared_ptr<IRender> first = NewInitializedRender();
    boost::shared_ptr<IRender> second = NewInitializedRender();
    EXPECT_EQ(d3d9double::CountCalls("IDirect3D9Ex::CreateDeviceEx"), 1u);
    EXPECT_NE(first->GetDevice(), nullptr);
    EXPECT_EQ(first->GetDevice(), second->GetDevice());

    // While the other render lives, Shutdown releases only this render's objects.
    EXPECT_TRUE(first->Shutdown());
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DDevice9"), 1);
    EXPECT_TRUE(first->Shutdown()) << "a second Shutdown answers true";
    first.reset();
    EXPECT_TRUE(second->Shutdown());
    EXPECT_EQ(d3d9double::LiveObjects(), 0);
    EXPECT_EQ(FindHiddenDeviceWindow(), nullptr);
    EXPECT_EQ(log.Count(L" - finished shutting down shared device"), 1u);
}

TEST_F(RenderLifecycleTest, ShutdownRefusesWhileTheDeviceIsHeldElsewhere)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    IDirect3DDevice9* device = render->GetDevice();
    device->AddRef();
    EXPECT_FALSE(render->Shutdown());
    EXPECT_EQ(log.Count(L"::Shutdown() - ERROR: Device not released, Use Count still 2 - returning false\n", 2), 1u)
        << log.Dump();
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DQuery9"), 0) << "the event query goes before the probe";
    EXPECT_NE(FindHiddenDeviceWindow(), nullptr);

    device->Release();
    EXPECT_TRUE(render->Shutdown()) << "the host may try again later";
    EXPECT_EQ(d3d9double::LiveObjects(), 0);
    EXPECT_EQ(FindHiddenDeviceWindow(), nullptr);
}

TEST_F(RenderLifecycleTest, ShutdownFromAnotherThreadIsLoggedAndAllowed)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    const DWORD creator = GetCurrentThreadId();
    bool result = false;
    DWORD other = 0;
    std::thread([&] {
        other = GetCurrentThreadId();
        result = render->Shutdown();
    }).join();
    EXPECT_TRUE(result);
    const std::wstring expected = L"::Shutdown() - ERROR: Shutting down on different thread than created on - may leak "
                                  L"resources (createID=" +
                                  std::to_wstring(creator) + L" currentID=" + std::to_wstring(other) + L"!)\n";
    EXPECT_EQ(log.Count(expected, 1), 1u) << log.Dump();
    EXPECT_EQ(d3d9double::LiveObjects(), 0);
}

TEST_F(RenderLifecycleTest, RepeatedInitializeAndDestructionWithoutShutdown)
{
    boost::shared_ptr<IRender> render = NewRender();
    log.Clear();
    EXPECT_TRUE(render->Shutdown()) << "never initialised";
    EXPECT_TRUE(log.Records().empty()) << log.Dump();

    // Initialize on an initialised, only render shuts it down and makes the device anew.
    RenderSettings settings = OffscreenSettings();
    EXPECT_TRUE(InitializeRender(render, settings));
    EXPECT_TRUE(InitializeRender(render, settings));
    EXPECT_EQ(d3d9double::CountCalls("IDirect3D9Ex::CreateDeviceEx"), 2u);
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DDevice9"), 1);

    // Destruction shuts an initialised render down and says so.
    render.reset();
    EXPECT_EQ(log.Count(L"Render was not Shutdown before destruction\n", 2), 1u);
    EXPECT_EQ(d3d9double::LiveObjects(), 0);
}

TEST_F(RenderLifecycleTest, BadInitializeInputNeitherCrashesNorFails)
{
    boost::shared_ptr<IRender> render = NewRender();
    RenderSettings settings = OffscreenSettings(640, 0);
    settings.window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFF1234));  // not a window
    EXPECT_TRUE(InitializeRender(render, settings));
    EXPECT_EQ(log.Count(L"is not a window", 1), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L"without the half-pixel shift", 3), 1u) << "one line for the unusable size";
    RenderSettings back;
    render->GetRenderSettings(&back);
    EXPECT_EQ(back.width, 640);
    EXPECT_EQ(back.height, 0);
    EXPECT_TRUE(render->Shutdown());

    settings = OffscreenSettings(-5, 480);
    log.Clear();
    EXPECT_TRUE(InitializeRender(render, settings));
    EXPECT_EQ(log.Count(L"without the half-pixel shift", 3), 1u);
    EXPECT_TRUE(render->Shutdown());
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(RenderLifecycleTest, SettingsRoundTripWithTheirReservedBytes)
{
    boost::shared_ptr<IRender> render = NewRender();
    RenderSettings fresh;
    render->GetRenderSettings(&fresh);
    EXPECT_EQ(fresh.window, nullptr);
    EXPECT_EQ(fresh.width, 0);
    EXPECT_TRUE(fresh.enableDepthBuffer);
    EXPECT_FALSE(fresh.enableStereo);

    RenderSettings settings = OffscreenSettings(320, 200);
    settings.reserved1[3] = 0xAB;
    settings.reserved2[6] = 0xCD;
    EXPECT_TRUE(InitializeRender(render, settings));
    RenderSettings back;
    render->GetRenderSettings(&back);
    EXPECT_EQ(std::memcmp(&back, &settings, sizeof settings), 0);
    EXPECT_TRUE(render->QueryFlag());
    EXPECT_TRUE(render->Shutdown());
}
