// Textures on the real device, by pixels: images of every format and row layout go up
// and come back unchanged, on the 9Ex device and on the plain one.

#include "RealFixture.h"

#include <cstring>

using RealTextureTest = RealFixture;

namespace {

// `texelsWide` x `height` texels of `texelBytes` from the pattern, rows of `rowBytes`
// (0: packed) padded with 0xEE; the image ends with its last texel, as a region cropped
// out of a larger frame does.
std::vector<uint8_t> Image(int texelsWide, int height, int texelBytes, int rowBytes)
{
    const int pitch = rowBytes ? rowBytes : texelsWide * texelBytes;
    std::vector<uint8_t> image(static_cast<size_t>(pitch) * (height - 1) + texelsWide * texelBytes, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < texelsWide; ++x) {
            const uint32_t texel = texelBytes == 1 ? (x * 7 + y * 13) & 0xFF : PatternPixel(x, y);
            std::memcpy(&image[static_cast<size_t>(y) * pitch + x * texelBytes], &texel, texelBytes);
        }
    return image;
}

// A host's image at the very end of its readable memory: a read past its last byte faults.
class AtEndOfMemory {
public:
    explicit AtEndOfMemory(const std::vector<uint8_t>& image)
    {
        const size_t pages = (image.size() + 4095) / 4096 * 4096;
        _region = static_cast<uint8_t*>(VirtualAlloc(nullptr, pages + 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(_region + pages, 4096, PAGE_NOACCESS, &old);
        _data = _region + pages - image.size();
        std::memcpy(_data, image.data(), image.size());
    }
    ~AtEndOfMemory() { VirtualFree(_region, 0, MEM_RELEASE); }
    AtEndOfMemory(const AtEndOfMemory&) = delete;
    AtEndOfMemory& operator=(const AtEndOfMemory&) = delete;
    const uint8_t* Data() const { return _data; }

private:
    uint8_t* _region = nullptr;
    uint8_t* _data = nullptr;
};

} // namespace

TEST_F(RealTextureTest, ImagesComeBackAsTheyWentUp)
{
    const struct {
        const char* name;
        uint32_t format;
        int width, texels, height, rowBytes;  // width in pixels, in texels of the texture
        bool fromCpuTexture;  // else uploaded with SetResourceData
    } cases[] = {
        {"packed rows", pfColor0, 37, 37, 23, 37 * 4, false},
        {"padded rows", pfColor1, 37, 37, 23, 37 * 4 + 12, false},
        {"rowBytes 0: packed rows", pfDefault, 13, 13, 5, 0, false},
        {"two pixels a texel", pfPaired5, 83, 41, 17, 41 * 4, false},
        {"two pixels a texel, padded", pfPaired4, 82, 41, 17, 41 * 4 + 8, false},
        {"alpha only", pfA8, 37, 37, 9, 37, false},
        {"alpha only, padded", pfA8, 37, 37, 9, 40, false},
        {"alpha only, 5 x 4 cropped from rows of 16", pfA8, 5, 5, 4, 16, false},
        {"from a CPU texture", pfColor2, 41, 41, 17, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int texelBytes = c.format == pfA8 ? 1 : 4;
        const AtEndOfMemory image(Image(c.texels, c.height, texelBytes, c.rowBytes));
        const auto texture = CreateGpuTexture(*render, c.width, c.height, c.format, c.rowBytes);
        if (c.fromCpuTexture)
            render->TransferResource(CreateCpuTexture(*render, c.width, c.height, c.format, image.Data()), texture);
        else
            render->SetResourceData(image.Data(), texture);
        EXPECT_TRUE(ReadBytes(texture, c.texels, c.height, c.format == pfA8 ? pfA8 : pfColor0) ==
                    Image(c.texels, c.height, texelBytes, 0));
    }
}

TEST_F(RealTextureTest, CpuTexturesTakeWholeImagesAtAnOffsetOrNotAtAll)
{
    // Without a size, SetTextureData copies the image row by row from `offset` on; one
    // row down, the last row would pass the texture: nothing is copied, one error record.
    const int width = 13, height = 5;
    const Pixels image = Pattern(width, height);
    boost::shared_ptr<IResTextureCPU> texture = CreateCpuTexture(*render, width, height);
    const LockedMemory locked = render->LockResource(texture);
    ASSERT_NE(locked.bits, nullptr);
    std::memset(locked.bits, 0x11, static_cast<size_t>(locked.pitch) * height);
    render->UnlockResource(texture);
    texture->SetTextureData(image.data(), 0, locked.pitch);
    EXPECT_EQ(log.Count(L"does not fit", 1), 1u) << log.Dump();
    EXPECT_EQ(ReadBack(texture, width, height), Pixels(width * height, 0x11111111u));
    texture->SetTextureData(image.data(), 0, 0);
    EXPECT_EQ(ReadBack(texture, width, height), image);
    expectedProblems = 1;

    // A CPU copy of a GPU texture starts from the pixels the host gave that texture, in
    // rows of the host's rowBytes.
    const int rowBytes = width * 4 + 12;
    const AtEndOfMemory padded(Image(width, height, 4, rowBytes));
    const boost::shared_ptr<IResource> gpu =
        render->CreateResourceGPU(TextureOf(rtTextureGPU, width, height, pfColor0, rowBytes, padded.Data()));
    EXPECT_EQ(ReadBytes(render->CreateResourceCPU(gpu), width, height), Image(width, height, 4, 0));
}
