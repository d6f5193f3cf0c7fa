// Upload and read-back of a 1920 x 1080 image through the plug-in, against the same
// work as plain Direct3D 9Ex calls on the benchmark's own device (TransferSide.h). An
// upload is timed until a draw that samples the texture has finished, as a host's
// frame uses what it uploads; a read-back starts from a target that a draw has just
// rendered. After every pair both sides' pixels are checked against the image that the
// pair uploaded: the probe drawn from the texture, and the whole frame read back. So
// neither side's figure can come from work that never reached the GPU. Beside them:
// memcpy of the same bytes, and plain Direct3D 9 uploading through one system-memory
// texture kept for every upload, timed and checked the same way.
#include "bench/Bench.h"

#include "bench/PluginTransferSide.h"
#include "bench/plain/PlainDirect3D.h"
#include "bench/plain/PlainTransferSide.h"
#include "common/HostErrors.h"
#include "common/Statistics.h"
#include "common/Timing.h"
#include "plugin/PluginHost.h"

#include <cstring>
#include <vector>

using namespace VeltraRender;

namespace {

const int Width = 1920, Height = 1080;
const int ProbeWidth = Width / ProbeBlock, ProbeHeight = Height / ProbeBlock;
const int Frames = 8;  // frame targets a side, taken in turn by the pairs
const char* const PluginName = "the plug-in";
const char* const PlainName = "plain Direct3D 9";

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

size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    size_t count = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        count += a[i] != b[i];
    return count + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

// Throws HostFailure when `transfers`' probe does not show `image`.
void CheckProbe(int pair, const char* side, TransferSide& transfers, const std::vector<uint32_t>& image)
{
    std::vector<uint32_t> probe(size_t(ProbeWidth) * ProbeHeight);
    transfers.ReadBack(ProbeTarget, probe.data());
    if (const size_t wrong = Differing(probe, ProbeOf(image, Width, Height)))
        throw HostFailure("bench: pair " + std::to_string(pair + 1) + ", " + side + ": " + std::to_string(wrong) + " of " +
                          std::to_string(probe.size()) +
                          " pixels of the probe drawn from the uploaded texture differ from the image uploaded");
}

// Throws HostFailure when `frame`, as a read-back copied it, is not `image`.
void CheckFrame(int pair, const char* side, const std::vector<uint32_t>& frame, const std::vector<uint32_t>& image)
{
    if (const size_t wrong = Differing(frame, image))
        throw HostFailure("bench: pair " + std::to_string(pair + 1) + ", " + side + ": " + std::to_string(wrong) +
                          " pixels of the frame read back differ from the image drawn into it");
}

} // namespace

std::vector<BenchRow> MeasureTransfers(const BenchSettings& settings)
{
    BenchRow upload = TransferRow("upload", "upload 1920 x 1080 and a draw sampling it", RatioKind::Rate);
    BenchRow readBack = TransferRow("read-back", "read-back 1920 x 1080 of a frame just drawn", RatioKind::Rate);
    BenchRow memoryCopy = TransferRow("memcpy", "memcpy of the same bytes", RatioKind::None);
    // Not the plug-in's method: an upload without a texture made per upload.
    BenchRow keptUpload = TransferRow("upload-kept", "upload and a draw sampling it, plain Direct3D 9 through one "
                                      "kept system-memory texture", RatioKind::None);

    // Images 0 and 1 alternate from pair to pair; the kept texture uploads image 2. An
    // upload that did not arrive leaves an image that the check does not expect.
    const std::vector<uint32_t> images[3] = {BlockImage(Width, Height, 0), BlockImage(Width, Height, 1),
                                             BlockImage(Width, Height, 2)};
    // Both sides' read-backs copy into the one buffer, checked after each: where the
    // copy's destination lies costs it as much as where its source does.
    std::vector<uint32_t> frame(images[0].size()), scratch(images[0].size());

    PluginHost plugin;
    IRender& render = plugin.Start(nullptr, Width, Height);
    PlainDirect3D direct3D;
    int pairs = 0;
    {
        PluginTransferSide viaPlugin(render, Width, Height);
        PlainTransferSide plain(direct3D, render.GetShaderLevel(), Width, Height);
        // In turns, so that neither side's frames are all made before the other's:
        // plug-in, plain, plain, plug-in, plug-in, plain...
        for (int frame = 0; frame < Frames; ++frame) {
            TransferSide& first = frame % 2 ? static_cast<TransferSide&>(plain) : viaPlugin;
            TransferSide& second = frame % 2 ? static_cast<TransferSide&>(viaPlugin) : plain;
            first.AddFrame();
            second.AddFrame();
        }
        const auto uploadAndDraw = [](TransferSide& side, const std::vector<uint32_t>& image) {
            return Timed([&] {
                side.Upload(image.data());
                side.Draw(ProbeTarget);
            });
        };
        // The read-backs record their second half, from the lock to the unlock, apart.
        std::vector<double> pluginLockAndCopy, plainLockAndCopy, unused;
        const auto drawAndReadBack = [&](TransferSide& side, const char* name, std::vector<double>& lockAndCopy) {
            const int target = 1 + pairs % Frames;
            side.Draw(target);
            lockAndCopy.push_back(0);
            const double seconds = Timed([&] { side.ReadBack(target, frame.data(), &lockAndCopy.back()); });
            CheckFrame(pairs, name, frame, images[pairs % 2]);
            return seconds;
        };
        const auto keptUploadAndDraw = [&] {
            return Timed([&] {
                plain.UploadThroughKeptTexture(images[2].data());
                plain.Draw(ProbeTarget);
            });
        };
        // Warm-up: first uploads, draws and read-backs make the driver's own buffers.
        for (; pairs < Frames; ++pairs) {
            for (TransferSide* side : {static_cast<TransferSide*>(&viaPlugin), static_cast<TransferSide*>(&plain)}) {
                uploadAndDraw(*side, images[pairs % 2]);
                drawAndReadBack(*side, "warm-up", unused);
            }
            keptUploadAndDraw();
        }
        pairs = 0;
        plain.CreationSeconds().clear();
        Interleaved(settings, "transfers", [&](bool pluginFirst) {
            const std::vector<uint32_t>& image = images[pairs % 2];
            if (pluginFirst) {
                upload.plugin.push_back(uploadAndDraw(viaPlugin, image));
                upload.plain.push_back(uploadAndDraw(plain, image));
                readBack.plugin.push_back(drawAndReadBack(viaPlugin, PluginName, pluginLockAndCopy));
                readBack.plain.push_back(drawAndReadBack(plain, PlainName, plainLockAndCopy));
            } else {
                upload.plain.push_back(uploadAndDraw(plain, image));
                upload.plugin.push_back(uploadAndDraw(viaPlugin, image));
                readBack.plain.push_back(drawAndReadBack(plain, PlainName, plainLockAndCopy));
                readBack.plugin.push_back(drawAndReadBack(viaPlugin, PluginName, pluginLockAndCopy));
            }
            CheckProbe(pairs, PluginName, viaPlugin, image);
            CheckProbe(pairs, PlainName, plain, image);
            memoryCopy.plugin.push_back(Timed([&] { std::memcpy(scratch.data(), image.data(), image.size() * 4); }));
            keptUpload.plugin.push_back(keptUploadAndDraw());
            CheckProbe(pairs, "plain Direct3D 9 through the kept texture", plain, images[2]);
            ++pairs;
        });
        upload.details["plainCreateTextureMilliseconds"] = 1e3 * StatisticsOf(plain.CreationSeconds()).median;
        readBack.details["pluginLockAndCopyMilliseconds"] = 1e3 * StatisticsOf(pluginLockAndCopy).median;
        readBack.details["plainLockAndCopyMilliseconds"] = 1e3 * StatisticsOf(plainLockAndCopy).median;
    }
    plugin.Stop();
    const std::string checked = "pixels checked after each of " + std::to_string(pairs) +
                                " pairs, on both sides: the " + std::to_string(ProbeWidth) + " x " +
                                std::to_string(ProbeHeight) + " probe drawn from the uploaded texture and the whole "
                                "frame read back, against the image uploaded";
    upload.details["checked"] = readBack.details["checked"] = checked;
    return {upload, readBack, memoryCopy, keptUpload};
}
