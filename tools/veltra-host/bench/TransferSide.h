// The work of the transfer rows, on one side: the plug-in (PluginTransferSide) or plain
// Direct3D 9 (plain/PlainTransferSide). Each side has a texture that the host's image
// is uploaded into, and render targets that a draw samples that texture into: target
// 0, a small probe, which makes the uploaded pixels reach the GPU and shows that they
// did, and frames of the image's size, the read-backs' sources, each with the
// system-memory texture it is read back through. Both sides draw with the same Cg
// programs, geometry and point sampling, wait for the GPU after each draw, and copy
// rows with the same CopyRows.
//
// How fast Wine reads a render target back depends on where its memory and that of
// the texture it is read into happen to lie: two plain sides alike differ by 15 % in
// one process, the one whose frame and texture were made first being faster. So the
// frames are made in turns between the sides (AddFrame), the pairs go round them, and
// both sides copy into one buffer.
#pragma once

#include <cstdint>
#include <vector>

const int ProbeTarget = 0;

class TransferSide {
public:
    virtual ~TransferSide() = default;
    // Another frame of the image's size with its system-memory texture; its target number.
    virtual int AddFrame() = 0;
    // The host's image (rows of width * 4 bytes) into the texture.
    virtual void Upload(const void* pixels) = 0;
    // A draw that samples the texture into target `target`, waited for.
    virtual void Draw(int target) = 0;
    // The target's pixels copied into `pixels` (rows of its width * 4 bytes).
    // `lockAndCopy`, when given, receives the seconds from the lock to the unlock.
    virtual void ReadBack(int target, void* pixels, double* lockAndCopy = nullptr) = 0;
};

// The probe: one pixel for every block of 30 x 30 texels of a 1920 x 1080 image, at
// the block's middle.
const int ProbeBlock = 30;

// What both sides draw with: positions and texture coordinates of a quad over the
// whole target, and a pixel program that returns the texel it samples.
extern const char* const TransferPixelProgram;

// An A8R8G8B8 image whose blocks of ProbeBlock x ProbeBlock texels each have one
// colour, different for each `variant`: the probe reads each block's colour however
// its sample point rounds.
std::vector<uint32_t> BlockImage(int width, int height, int variant);

// The probe's pixels as a draw that samples `image` shows them.
std::vector<uint32_t> ProbeOf(const std::vector<uint32_t>& image, int width, int height);
