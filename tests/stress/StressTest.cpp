// Four host threads drive the plug-in at once on the real stack, as its threading rules
// allow, and every frame they draw is read back and compared with what was drawn:
//
//   window     its own render, presenting each frame into a window of its own
//   offscreen  its own render, drawing into textures only
//   shared-1   the fixture's render, shared by both, presenting into each thread's
//   shared-2   own window through ChangeRenderWindow
//
// Binding state (target, shader, textures, pipeline states) belongs to the one shared
// device, so the host serialises each frame (bind, draw, unbind, and the shared render's
// presentation) with a lock of its own, as a host must; creation, destruction, uploads,
// read-backs, flushes and the own renders' presentation run beside the other threads'
// frames. A watchdog fails the run when a thread stands still. At the end the device's
// references are back at their baseline, but for the declaration of the one stream
// layout drawn, which the device keeps; the fixture checks the rest (the last Shutdown
// leaves nothing of Direct3D, no level-0/1 record).
//
// VELTRA_STRESS_FRAMES sets the frames of each thread (CI runs a short version),
// VELTRA_STRESS_SEED the seed of the images (1).

#include "RealFixture.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

namespace {

const int Width = 64, Height = 48;
std::mutex g_frameLock;         // one frame at a time on the shared device
std::mutex g_renderObjectLock;  // render objects are made and destroyed one at a time

struct HostThread {
    const char* name;
    int index;  // 0 and 1 have a render of their own, 2 and 3 share one; all but 1 present
    boost::shared_ptr<IRender> render;
    std::mt19937 random;
    std::atomic<long> frames{0};
    std::atomic<bool> done{false};
    std::string failure{};

    void Run(const PluginLibrary& plugin, long count)
    {
        HostWindow host(Width, Height);
        HWND window = index == 1 ? nullptr : host.Handle();
        if (index < 2) {
            std::lock_guard<std::mutex> lock(g_renderObjectLock);
            render = plugin.CreateRender();
            RenderSettings settings = OffscreenSettings(Width, Height);
            settings.window = window;
            failure = InitializeRender(render, settings) ? "" : "Initialize failed";
        }
        ShaderSettings sampling;
        sampling.vertexShaderCode = QuadVertexShader;
        sampling.pixelShaderCode = SamplingPixel;
        BlendSettings keep;  // blending that keeps the target as it is
        keep.enableBlending = true;
        keep.srcColorFactor = keep.srcAlphaFactor = bfZero;
        keep.dstColorFactor = keep.dstAlphaFactor = bfOne;
        boost::shared_ptr<IResTextureGPU> source, target;
        boost::shared_ptr<IResTextureCPU> readBack;
        boost::shared_ptr<IResourceGPU> shader;
        boost::shared_ptr<IState> states[4];  // raster, depth, blending off, keeping
        auto destroy = [&] {  // explicitly, as hosts do: the shared render holds the last target and shader it bound
            for (const auto& made : std::vector<boost::shared_ptr<IResource>>{source, target, readBack, shader})
                if (made)
                    render->DestroyResource(made);
        };
        for (long i = 0; i < count && failure.empty(); frames = ++i) {
            if (i % 16 == 0) {  // new objects; every other time the old ones are destroyed explicitly
                if (i % 32 == 0)
                    destroy();
                source = CreateGpuTexture(*render, Width, Height, pfColor0, Width * 4);
                target = CreateGpuTexture(*render, Width, Height);
                readBack = CreateCpuTexture(*render, Width, Height);
                shader = render->CreateResourceGPU(sampling);
                states[0] = render->CreateState(RasterSettings());
                states[1] = render->CreateState(DepthSettings());
                states[2] = render->CreateState(BlendSettings());
                states[3] = render->CreateState(keep);
            }
            Pixels image(Width * Height);
            for (uint32_t& pixel : image)
                pixel = static_cast<uint32_t>(random());
            const bool keepsTarget = random() % 4 == 0;
            render->SetResourceData(image.data(), source);
            {
                std::lock_guard<std::mutex> lock(g_frameLock);
                render->TargetResource(target, 0);
                render->Clear(i % 2 ? 0x00 : 0x06);
                for (int s : {0, 1, keepsTarget ? 3 : 2})
                    render->SelectState(states[s], 0);
                render->SelectResource(shader, 0);
                render->SelectResource(source, 0);
                render->DrawQuad();
                render->DeSelectResource(source, 0);
                render->DeSelectResource(shader, 0);
                render->DeSelectResource(target, 0);
                if (index >= 2)  // the shared render's window is binding state too
                    render->ChangeRenderWindow(window, 0, 0, 0, 0);
                if (index >= 2 && !render->DisplayBuffer(target, 0))
                    failure = "DisplayBuffer showed nothing";
            }
            if (index == 0 && !render->DisplayBuffer(target, 0))
                failure = "DisplayBuffer showed nothing";
            render->Flush(i % 4 == 0);
            render->TransferResource(target, readBack);
            const LockedMemory pixels = render->LockResource(readBack);
            const uint32_t* drawn = static_cast<const uint32_t*>(pixels.bits);
            int wrong = drawn ? 0 : -1;
            for (int p = 0; p < Width * Height && drawn; ++p)
                wrong += drawn[p / Width * pixels.pitch / 4 + p % Width] != (keepsTarget ? 0 : image[p]);
            render->UnlockResource(readBack);
            if (wrong)
                failure = "frame " + std::to_string(i) + ": " + std::to_string(wrong) + " pixels differ";
            HostWindow::PumpMessages();
        }
        destroy();
        if (index < 2) {
            std::lock_guard<std::mutex> lock(g_renderObjectLock);
            failure += render->Shutdown() ? "" : " Shutdown failed";
            render.reset();
        }
        done = true;
    }
};

} // namespace

using StressTest = RealFixture;

TEST_F(StressTest, FourHostThreadsDrawAtOnce)
{
    const char *framesSetting = std::getenv("VELTRA_STRESS_FRAMES"), *seedSetting = std::getenv("VELTRA_STRESS_SEED");
    const long frames = framesSetting ? std::atol(framesSetting) : 500, stallSeconds = 30;
    const unsigned seed = seedSetting ? static_cast<unsigned>(std::atol(seedSetting)) : 1;
    std::printf("4 host threads, %ld frames each, seed %u, watchdog after %ld s without progress\n", frames, seed,
                stallSeconds);
    log.SetLevels(L"293:0-1");
    HostThread hosts[4] = {{"window", 0, nullptr, std::mt19937(seed)},
                           {"offscreen", 1, nullptr, std::mt19937(seed + 1)},
                           {"shared-1", 2, render, std::mt19937(seed + 2)},
                           {"shared-2", 3, render, std::mt19937(seed + 3)}};
    device->AddRef();
    const ULONG baseline = device->Release();
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    std::vector<std::thread> threads;
    for (HostThread& host : hosts)
        threads.emplace_back([&host, this, frames] { host.Run(plugin, frames); });

    // The watchdog: waits for the threads, handling the messages of the fixture's window,
    // and ends the program when a thread has not drawn a frame for `stallSeconds`.
    long seen[4] = {-1, -1, -1, -1};
    double since[4] = {};
    for (bool running = true; running; Sleep(20)) {
        HostWindow::PumpMessages();
        running = false;
        for (int t = 0; t < 4; ++t) {
            running = running || !hosts[t].done;
            if (hosts[t].frames != seen[t] || hosts[t].done) {
                seen[t] = hosts[t].frames;
                since[t] = seconds();
            } else if (seconds() - since[t] > stallSeconds) {
                for (const HostThread& host : hosts)
                    std::printf("FAILED: no progress for %ld s; %s at frame %ld%s\n", stallSeconds, host.name,
                                host.frames.load(), host.done ? ", done" : "");
                std::fflush(stdout);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    }
    long total = 0;
    for (size_t t = 0; t < threads.size(); ++t) {
        threads[t].join();
        std::printf("%-9s %5ld frames drawn and read back\n", hosts[t].name, hosts[t].frames.load());
        total += hosts[t].frames;
        EXPECT_EQ(hosts[t].failure, "") << hosts[t].name;
    }
    std::printf("%ld frames in %.2f s, %.0f frames/s\n", total, seconds(), total / seconds());
    device->AddRef();
    // The device keeps the vertex declaration of each stream layout drawn, with a
    // reference on itself, for its whole life: the threads draw one layout, the quad's.
    EXPECT_EQ(device->Release(), baseline + 1) << "the device's references after the threads";
}
