// Upload and read-back rates through the plug-in, of a 1920 x 1080 image, beside memcpy of the same bytes.
#include "Bench.h"

#include "HostErrors.h"
#include "PluginHost.h"
#include "Timing.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace VeltraRender;

TransferRates MeasureTransfers(int runs)
{
    TransferRates rates;
    const int width = rates.width, height = rates.height;
    const size_t row = size_t(width) * 4;
    PluginHost plugin;
    IRender& render = plugin.Start(nullptr, width, height);
    std::vector<uint8_t> image(row * height), copy(image.size());
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 31);
    {
        boost::shared_ptr<IResourceGPU> gpu = render.CreateResourceGPU(ImageSettings(rtTextureGPU, width, height));
        boost::shared_ptr<IResourceCPU> cpu = render.CreateResourceCPU(ImageSettings(rtTextureCPU, width, height));
        auto readInto = [&](std::vector<uint8_t>& out) {
            render.TransferResource(gpu, cpu);
            const LockedMemory locked = render.LockResource(cpu);
            for (int y = 0; y < height && locked.bits; ++y)
                std::memcpy(&out[y * row], static_cast<const uint8_t*>(locked.bits) + size_t(y) * locked.pitch, row);
            render.UnlockResource(cpu);
        };
        std::vector<double> upload, readBack, memoryCopy;
        for (int run = 0; run < runs; ++run) {
            double start = Now();
            render.SetResourceData(image.data(), gpu);
            upload.push_back(Now() - start);

            start = Now();
            readInto(copy);
            readBack.push_back(Now() - start);

            start = Now();
            std::memcpy(copy.data(), image.data(), image.size());
            memoryCopy.push_back(Now() - start);
        }
        std::fill(copy.begin(), copy.end(), 0);
        readInto(copy);
        if (copy != image)
            throw HostFailure("the image read back differs from the one uploaded");
        rates.uploadSeconds = Median(upload);
        rates.readBackSeconds = Median(readBack);
        rates.memcpySeconds = Median(memoryCopy);
    }
    plugin.Stop();
    return rates;
}
