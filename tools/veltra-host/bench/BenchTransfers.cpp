// Upload and read-back of a 1920 x 1080 image through the plug-in, against the same
// transfers as plain Direct3D 9Ex calls on the benchmark's own device (PlainTransfers.h),
// with memcpy of the same bytes beside them. Both read-backs are checked against the
// uploaded image after the samples.
#include "bench/Bench.h"

#include "bench/plain/PlainDirect3D.h"
#include "bench/plain/PlainTransfers.h"
#include "common/ComReference.h"
#include "common/HostErrors.h"
#include "common/Statistics.h"
#include "common/Timing.h"
#include "plugin/PluginHost.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace VeltraRender;

namespace {

const int Width = 1920, Height = 1080;

template <class Work> double Timed(Work work)
{
    const double start = Now();
    work();
    return Now() - start;
}

BenchRow TransferRow(const std::string& kind, const std::string& label, RatioKind ratio)
{
    BenchRow row;
    row.kind = kind;
    row.label = label;
    row.ratio = ratio;
    row.goal = ratio == RatioKind::Rate ? 0.95 : 0;
    row.bytes = double(Width) * Height * 4;
    row.details = {{"width", Width}, {"height", Height}};
    return row;
}

} // namespace

std::vector<BenchRow> MeasureTransfers(const BenchSettings& settings)
{
    BenchRow upload = TransferRow("upload", "upload 1920 x 1080", RatioKind::Rate);
    BenchRow readBack = TransferRow("read-back", "read-back 1920 x 1080", RatioKind::Rate);
    BenchRow memoryCopy = TransferRow("memcpy", "memcpy of the same bytes", RatioKind::None);
    // Not the plug-in's method: an upload without a texture made per upload, and the
    // read-back after it, which makes sure the pixels arrived.
    BenchRow stagedRoundTrip = TransferRow("round-trip-staged", "upload + read-back, plain Direct3D 9 through one "
                                           "reused system-memory texture", RatioKind::None);

    const size_t row = size_t(Width) * 4;
    std::vector<uint8_t> image(row * Height), copy(image.size());
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 31);

    PluginHost plugin;
    IRender& render = plugin.Start(nullptr, Width, Height);
    PlainDirect3D direct3D;
    IDirect3DDevice9Ex* device = direct3D.Device();
    {
        boost::shared_ptr<IResourceGPU> gpu = render.CreateResourceGPU(ImageSettings(rtTextureGPU, Width, Height));
        boost::shared_ptr<IResourceCPU> cpu = render.CreateResourceCPU(ImageSettings(rtTextureCPU, Width, Height));
        ComReference<IDirect3DTexture9> plainTarget(CreatePlainTexture(device, Width, Height, false));
        ComReference<IDirect3DTexture9> plainReadBackTexture(CreatePlainTexture(device, Width, Height, true));
        ComReference<IDirect3DTexture9> staging(CreatePlainTexture(device, Width, Height, true));

        const auto pluginUpload = [&] { render.SetResourceData(image.data(), gpu); };
        const auto plainUpload = [&] { UploadOverHostMemory(device, image.data(), Width, Height, plainTarget.Get()); };
        // The read-backs record their second half, from the lock to the unlock, apart.
        std::vector<double> pluginLockAndCopy, plainLockAndCopy;
        const auto pluginReadBack = [&] {
            render.TransferResource(gpu, cpu);
            const double start = Now();
            const LockedMemory locked = render.LockResource(cpu);
            for (int y = 0; y < Height && locked.bits; ++y)
                std::memcpy(&copy[y * row], static_cast<const uint8_t*>(locked.bits) + size_t(y) * locked.pitch, row);
            render.UnlockResource(cpu);
            pluginLockAndCopy.push_back(Now() - start);
        };
        const auto stagedUpload = [&] {
            UploadThroughStaging(device, image.data(), Width, Height, staging.Get(), plainTarget.Get());
        };
        const auto plainReadBack = [&] {
            plainLockAndCopy.push_back(0);
            ReadRenderTarget(device, plainTarget.Get(), plainReadBackTexture.Get(), copy.data(), Width, Height,
                             &plainLockAndCopy.back());
        };
        // Warm-up: first uploads and read-backs make the driver's own buffers.
        for (int i = 0; i < 2; ++i) {
            pluginUpload();
            plainUpload();
            pluginReadBack();
            plainReadBack();
        }
        pluginLockAndCopy.clear();
        plainLockAndCopy.clear();
        Interleaved(settings, "transfers", [&](bool pluginFirst) {
            if (pluginFirst) {
                upload.plugin.push_back(Timed(pluginUpload));
                upload.plain.push_back(Timed(plainUpload));
                readBack.plugin.push_back(Timed(pluginReadBack));
                readBack.plain.push_back(Timed(plainReadBack));
            } else {
                upload.plain.push_back(Timed(plainUpload));
                upload.plugin.push_back(Timed(pluginUpload));
                readBack.plain.push_back(Timed(plainReadBack));
                readBack.plugin.push_back(Timed(pluginReadBack));
            }
            memoryCopy.plugin.push_back(Timed([&] { std::memcpy(copy.data(), image.data(), image.size()); }));
            stagedRoundTrip.plugin.push_back(Timed([&] { stagedUpload(); plainReadBack(); }));
        });

        readBack.details["pluginLockAndCopyMilliseconds"] = 1e3 * StatisticsOf(pluginLockAndCopy).median;
        readBack.details["plainLockAndCopyMilliseconds"] = 1e3 * StatisticsOf(plainLockAndCopy).median;
        const auto readsBackTheImage = [&](const auto& read) {
            std::fill(copy.begin(), copy.end(), 0);
            read();
            return copy == image;
        };
        if (!readsBackTheImage(pluginReadBack) || !readsBackTheImage(plainReadBack))
            throw HostFailure("bench: the image read back differs from the one uploaded");
        std::vector<uint8_t> inverted(image.size());
        std::transform(image.begin(), image.end(), inverted.begin(), [](uint8_t byte) { return uint8_t(~byte); });
        UploadThroughStaging(device, inverted.data(), Width, Height, staging.Get(), plainTarget.Get());
        plainReadBack();
        if (copy != inverted)
            throw HostFailure("bench: the image read back after the staged upload differs from the one uploaded");
    }
    plugin.Stop();
    return {upload, readBack, memoryCopy, stagedRoundTrip};
}
