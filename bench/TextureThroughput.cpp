// Upload and read-back throughput of a 1920 x 1080 image through the plug-in, as a
// host sees it: SetResourceData into a GPU texture, TransferResource into a CPU
// texture and LockResource. Prints the median of several runs in MB/s, beside memcpy
// of the same bytes.
//
//   scripts/wine-run build/dist/texture-throughput.exe [runs]

#include <VeltraRender/VeltraRender.h>

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

using namespace VeltraRender;

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

CreateRenderFunction FindRenderDX9(HMODULE plugin)
{
    const VeltraRenderData* list =
        reinterpret_cast<const VeltraRenderData*>(GetProcAddress(plugin, RenderListExportName));
    for (; list && (list->name || list->create); ++list)
        if (list->name && std::wcscmp(list->name, L"RenderDX9") == 0)
            return list->create;
    return nullptr;
}

TextureSettings Image(ResourceType type, int width, int height)
{
    TextureSettings settings;
    settings.type = type;
    settings.image.pixelWidth = width;
    settings.image.pixelHeight = height;
    settings.image.pixelFormat = pfColor0;
    settings.image.rowBytes = width * 4;
    return settings;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    const int width = 1920, height = 1080;
    const double megabytes = width * height * 4 / 1e6;

    HMODULE plugin = LoadLibraryW(L"VeltraRenderDirectX.dll");
    CreateRenderFunction create = plugin ? FindRenderDX9(plugin) : nullptr;
    if (!create) {
        std::fprintf(stderr, "VeltraRenderDirectX.dll or its RenderDX9 entry not found\n");
        return 2;
    }
    {
        boost::shared_ptr<IRender> render = create();
        RenderSettings settings;
        settings.width = width;
        settings.height = height;
        settings.pixelAspect = 1.0;
        if (!render->Initialize(render, settings)) {
            std::fprintf(stderr, "Initialize failed\n");
            return 2;
        }
        std::vector<uint8_t> image(static_cast<size_t>(width) * height * 4);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 31);
        std::vector<uint8_t> copy(image.size());
        boost::shared_ptr<IResourceGPU> gpu = render->CreateResourceGPU(Image(rtTextureGPU, width, height));
        boost::shared_ptr<IResourceCPU> cpu = render->CreateResourceCPU(Image(rtTextureCPU, width, height));

        std::vector<double> upload, readBack, memoryCopy;
        for (int run = 0; run < runs; ++run) {
            double start = Now();
            render->SetResourceData(image.data(), gpu);
            upload.push_back(Now() - start);

            start = Now();
            render->TransferResource(gpu, cpu);
            const LockedMemory locked = render->LockResource(cpu);
            for (int y = 0; y < height; ++y)
                std::memcpy(&copy[static_cast<size_t>(y) * width * 4], static_cast<const uint8_t*>(locked.bits) + y * locked.pitch, width * 4);
            render->UnlockResource(cpu);
            readBack.push_back(Now() - start);

            start = Now();
            std::memcpy(copy.data(), image.data(), image.size());
            memoryCopy.push_back(Now() - start);
        }
        if (copy != image) {
            std::fprintf(stderr, "the image read back differs from the one uploaded\n");
            return 1;
        }
        std::printf("1920 x 1080 A8R8G8B8, %.1f MB, median of %d runs\n", megabytes, runs);
        std::printf("  upload (SetResourceData):                     %8.1f MB/s  (%.2f ms)\n", megabytes / Median(upload), 1e3 * Median(upload));
        std::printf("  read-back (TransferResource + Lock + copy):   %8.1f MB/s  (%.2f ms)\n", megabytes / Median(readBack), 1e3 * Median(readBack));
        std::printf("  memcpy of the same bytes:                     %8.1f MB/s  (%.2f ms)\n", megabytes / Median(memoryCopy), 1e3 * Median(memoryCopy));
        render->Shutdown();
    }
    FreeLibrary(plugin);
    return 0;
}
