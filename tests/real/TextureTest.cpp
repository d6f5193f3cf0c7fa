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
        {"a single pixel, padded", pfColor0, 1, 1, 1, 8, false},
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

TEST_F(RealTextureTest, TransfersScaleWithFilteringAndCarryTags)
{
    // Two texels, black and white, copied onto eight: filtered between the texel centres,
    // not picked. The host's tag goes with an upload and a read-back, not a GPU copy.
    const boost::shared_ptr<IResTextureGPU> pair = Texture({0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}, 2, 2);
    const boost::shared_ptr<IResTextureGPU> wide = CreateGpuTexture(*render, 8, 2);
    pair->SetTag(7);
    wide->SetTag(3);
    render->TransferResource(pair, wide);
    const Pixels row = ReadBack(wide, 8, 2);
    const int expected[8] = {0, 0, 32, 96, 159, 223, 255, 255};
    for (int x = 0; x < 8; ++x)
        EXPECT_NEAR(int(row[x] & 0xFF), expected[x], 8) << "pixel " << x;
    EXPECT_EQ(wide->GetTag(), 3u);
    const boost::shared_ptr<IResTextureCPU> readBack = CreateCpuTexture(*render, 2, 2);
    render->TransferResource(pair, readBack);
    EXPECT_EQ(readBack->GetTag(), 7u);
    readBack->SetTag(9);
    render->TransferResource(readBack, pair);
    EXPECT_EQ(pair->GetTag(), 9u);

    // Alpha-only images, one byte a texel, into CPU textures (given at creation or
    // written whole) and up to the GPU.
    const std::vector<uint8_t> alpha = Image(13, 5, 1, 0);
    const boost::shared_ptr<IResTextureCPU> given = CreateCpuTexture(*render, 13, 5, pfA8, alpha.data());
    const boost::shared_ptr<IResTextureCPU> written = CreateCpuTexture(*render, 13, 5, pfA8);
    render->SetResourceData(alpha.data(), written);
    const boost::shared_ptr<IResTextureGPU> uploaded = CreateGpuTexture(*render, 13, 5, pfA8);
    render->TransferResource(given, uploaded);
    EXPECT_EQ(ReadBytes(given, 13, 5, pfA8), alpha);
    EXPECT_EQ(ReadBytes(written, 13, 5, pfA8), alpha);
    EXPECT_EQ(ReadBytes(uploaded, 13, 5, pfA8), alpha);
}
