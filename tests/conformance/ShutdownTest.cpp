// The last Shutdown: a device the host still holds, and a Shutdown on another thread.
#include "RenderFixture.h"

#include <thread>

using namespace VeltraRender;
using ShutdownTest = RenderFixture;

TEST_F(ShutdownTest, ADeviceHeldElsewhereIsNotReleased)
{
    boost::shared_ptr<IRender> render = Render();
    render->GetDevice()->AddRef();
    EXPECT_FALSE(render->Shutdown());
    EXPECT_EQ(log.Count(L"Device not released, Use Count still 2", 2), 1u) << log.Dump();
    EXPECT_EQ(d3d9double::LiveObjects("IDirect3DDevice9").size(), 1u);
    EXPECT_NE(FindHiddenDeviceWindow(), nullptr);
    render->GetDevice()->Release();
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
    // The other thread cannot destroy the hidden window: it stays, and a message to it after
    // the plug-in is gone must not run the plug-in's code.
    render.reset();
    plugin.reset();
    const HWND left = FindHiddenDeviceWindow();
    ASSERT_NE(left, nullptr);
    SendMessageW(left, WM_NULL, 0, 0);
    HostWindow::PumpMessages();
    EXPECT_TRUE(IsWindow(left));
    // The next device made on this thread takes it away.
    plugin = std::make_unique<PluginLibrary>();
    render = Render();
    EXPECT_FALSE(IsWindow(left));
    Finish(render);
}
