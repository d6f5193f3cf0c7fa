// The plug-in's own CPU cost per draw, per upload and per read-back. The parent starts
// `veltra-host bench-cpu`, a child process in which the plug-in's Direct3D is the
// do-nothing device in null-device/ (see NullDeviceBinding.h): what is left on the
// clock is the plug-in's own work and the call overhead, which the frame and transfer
// rows can be held against.
#include "bench/Bench.h"

#include "bench/NullDeviceBinding.h"
#include "commands/Commands.h"
#include "common/ChildProcess.h"
#include "common/HostErrors.h"
#include "common/Statistics.h"
#include "common/Timing.h"
#include "plugin/PluginHost.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace VeltraRender;

namespace {

const char* const NullAdapterName = "Null Direct3D device";
const int ImageWidth = 1920, ImageHeight = 1080;

// Nanoseconds per call of `work`, in `batches` batches of `calls` after a warm-up.
template <class Work> std::vector<double> PerCall(int batches, int calls, Work work)
{
    for (int i = 0; i < calls / 10 + 1; ++i)
        work();  // warm caches and allocators
    std::vector<double> nanoseconds;
    for (int batch = 0; batch < batches; ++batch) {
        const double start = Now();
        for (int i = 0; i < calls; ++i)
            work();
        nanoseconds.push_back((Now() - start) * 1e9 / calls);
    }
    return nanoseconds;
}

BenchRow CostRow(const nlohmann::json& result, const char* kind, const char* key, const std::string& label)
{
    BenchRow row;
    row.kind = kind;
    row.label = label;
    row.scale = 1e9;
    row.unit = "ns";
    for (const double nanoseconds : result.at(key))
        row.plugin.push_back(nanoseconds / 1e9);
    row.details = {{"batches", result.at("batches")}, {"adapter", result.at("adapter")}};
    return row;
}

// The plug-in, with its d3d9.dll import bound to the do-nothing device.
std::unique_ptr<PluginHost> LoadOnNullDevice()
{
    NullDeviceBinding binding;
    return std::make_unique<PluginHost>();
}

} // namespace

std::vector<BenchRow> MeasureCpuCost(const BenchSettings& settings)
{
    if (settings.progress)
        settings.progress->Show("bench: the plug-in's CPU cost per draw, on a do-nothing Direct3D");
    wchar_t program[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH * 4);
    const ChildResult child = RunChild(L"\"" + std::wstring(program) + L"\" bench-cpu", false);
    const size_t start = child.output.find('{');
    if (child.exitCode != 0 || start == std::string::npos)
        throw HostFailure("the CPU-cost child process failed (exit code " + std::to_string(child.exitCode) +
                          "): " + child.output);
    const nlohmann::json result = nlohmann::json::parse(child.output.substr(start));
    return {CostRow(result, "cpu-draw", "drawNanoseconds", "plug-in's CPU time: SelectResource x2 + Draw + DeSelectResource x2"),
            CostRow(result, "cpu-upload", "uploadNanoseconds", "plug-in's CPU time: SetResourceData of 1920 x 1080"),
            CostRow(result, "cpu-read-back", "readBackNanoseconds",
                    "plug-in's CPU time: TransferResource + LockResource + UnlockResource")};
}

int RunBenchCpu(const Options& options)
{
    const std::unique_ptr<PluginHost> plugin = LoadOnNullDevice();
    IRender& render = plugin->Start(nullptr, 64, 64);
    RenderInfo info = {};
    render.GetRenderInfo(&info);
    const std::string adapter = TextOf(info.description);
    if (adapter.find(NullAdapterName) == std::string::npos)
        throw HostFailure("the plug-in did not bind to the do-nothing Direct3D in null-device/ (adapter: " + adapter +
                          ")");

    const float positions[] = {-0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f, 0.0f, 0.5f, 0.5f};
    const uint32_t indices[] = {0, 1, 2};
    const std::vector<uint32_t> image(size_t(ImageWidth) * ImageHeight);
    nlohmann::json result = {{"batches", options.batches}, {"iterations", options.iterations}, {"adapter", adapter}};
    {
        boost::shared_ptr<IResBufferGPU> vertices = CreateBuffer(render, bkPositions, 3, 3, positions);
        boost::shared_ptr<IResBufferGPU> triangle = CreateBuffer(render, bkIndices, 1, 3, indices);
        result["drawNanoseconds"] = PerCall(options.batches, options.iterations, [&] {
            render.SelectResource(vertices, 0);
            render.SelectResource(triangle, 0);
            render.Draw();
            render.DeSelectResource(vertices, 0);
            render.DeSelectResource(triangle, 0);
        });
        boost::shared_ptr<IResourceGPU> gpu = render.CreateResourceGPU(ImageSettings(rtTextureGPU, ImageWidth, ImageHeight));
        boost::shared_ptr<IResourceCPU> cpu = render.CreateResourceCPU(ImageSettings(rtTextureCPU, ImageWidth, ImageHeight));
        const int transfers = std::max(1, options.iterations / 10);
        result["uploadNanoseconds"] =
            PerCall(options.batches, transfers, [&] { render.SetResourceData(image.data(), gpu); });
        result["readBackNanoseconds"] = PerCall(options.batches, transfers, [&] {
            render.TransferResource(gpu, cpu);
            render.LockResource(cpu);
            render.UnlockResource(cpu);
        });
    }
    plugin->Stop();
    std::printf("%s\n", result.dump().c_str());
    return ExitDone;
}
