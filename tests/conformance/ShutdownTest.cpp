// The last Shutdown: a device the host still holds, and a Shutdown on another thread.
#include "RenderFixture.h"

#include <thread>

using namespace VeltraRender;
using ShutdownTest = RenderFixture;

TEST_F(ShutdownTest, ADeviceHeldElsewhereIsNotReleased)
{
    boost::shared_ptr<IRender> render = Render();
    IDirect3DDevice9* device = render->GetDevice();
    device->AddRef();
    EXPECT_FALSE(render->Shutdown());
    EXPECT_EQ(log.Count(L"Device not released, Use Count still 2", 2), 1u) << log.Dump();
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DDevice9").size(), 1u);
    EXPECT_NE(FindHiddenDeviceWindow(), nullptr);
    device->Release();
    EXPECT_TRUE(render->Shutdown()) << "the host may try again";
}

TEST_F(ShutdownTest, AShutdownOnAnotherThreadIsReportedAndReleasesTheDevice)
{
    boost::shared_ptr<IRender> render = Render();
    DWORD other = 0;
    bool done = false;
    std::thread([&] { other = GetCurrentThreadId(), done = render->Shutdown(); }).join();
    EXPECT_TRUE(done);
    const std::wstring ids = L"createID=" + std::to_wstring(GetCurrentThreadId()) + L" currentID=" + std::to_wstring(other);
    EXPECT_EQ(log.Count(ids, 1), 1u) << log.Dump();
    EXPECT_EQ(d3d9double::LiveObjects().size(), 0u);
    log.Clear();
    // The hidden window outlives such a Shutdown (see the disabled test below); its own thread
    // destroys it here so that the tests after this one start without it.
    DestroyWindow(FindHiddenDeviceWindow());
}

// Fails: the other thread cannot destroy the hidden window, which stays with its window
// procedure in the plug-in; once the host unloads the plug-in, any message to the window
// (a broadcast, say) runs unmapped code and the host crashes.
TEST_F(ShutdownTest, DISABLED_AShutdownOnAnotherThreadLeavesNoWindowBehind)
{
    boost::shared_ptr<IRender> render = Render();
    std::thread([&] { render->Shutdown(); }).join();
    render.reset();
    log.Clear();
    HWND leaked = FindHiddenDeviceWindow();
    EXPECT_EQ(leaked, nullptr);
    DestroyWindow(leaked);
}
