// The NVIDIA stereo image signature: a five-pixel header in the last row of a render
// target that tells the driver how to show a side-by-side stereo image.

#include "../render/RenderDX9.h"

#include "../host/Log.h"
#include "../plugin/ModuleState.h"
#include "../resources/ComReference.h"
#include "../resources/DX9ResTextureGPU.h"

#include <cstring>

using namespace Veltra;
using namespace VeltraRender;

namespace {

const int SignaturePixels = 5;

// The header's words: the signature (the bytes "NV3D"), width, height, bits per
// pixel and the flags.
void WriteSignature(void* pixels, UINT width, UINT height)
{
    uint32_t words[SignaturePixels];
    std::memcpy(&words[0], "NV3D", 4);
    words[1] = width;
    words[2] = height;
    words[3] = 32;
    words[4] = 0x1 | 0x2 | 0x4;
    std::memcpy(pixels, words, sizeof words);
}

} // namespace

void RenderDX9::StampStereoSignature(boost::shared_ptr<IResourceGPU> target)
{
    const boost::shared_ptr<DX9ResTextureGPU> texture = boost::dynamic_pointer_cast<DX9ResTextureGPU>(target);
    ComReference<IDirect3DSurface9> targetSurface(texture && cg_pd3dDevice ? texture->GetDeviceInterface() : nullptr);
    if (!targetSurface) {
        LogAlways(LogError, L"RenderDX9(%X)::StampStereoSignature() - no created GPU texture or no device: nothing stamped\n",
                  LogAddress(this));
        return;
    }
    D3DSURFACE_DESC description = {};
    targetSurface->GetDesc(&description);

    // Made once per render; the header keeps the size of the first target.
    if (!_stereoSignatureTexture) {
        ComReference<IDirect3DTexture9> temporary;
        cg_pd3dDevice->CreateTexture(SignaturePixels, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, temporary.Receive(), NULL);
        cg_pd3dDevice->CreateTexture(SignaturePixels, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &_stereoSignatureTexture, NULL);
        D3DLOCKED_RECT locked;
        if (temporary && SUCCEEDED(temporary->LockRect(0, &locked, NULL, 0))) {
            WriteSignature(locked.pBits, description.Width, description.Height);
            temporary->UnlockRect(0);
        }
        if (temporary && _stereoSignatureTexture)
            cg_pd3dDevice->UpdateTexture(temporary.Get(), _stereoSignatureTexture);
    }
    if (!_stereoSignatureTexture)
        return;
    ComReference<IDirect3DSurface9> signature;
    _stereoSignatureTexture->GetSurfaceLevel(0, signature.Receive());
    const RECT source = {0, 0, SignaturePixels, 1};
    const RECT lastRow = {0, static_cast<LONG>(description.Height) - 1, SignaturePixels, static_cast<LONG>(description.Height)};
    if (signature)
        cg_pd3dDevice->StretchRect(signature.Get(), &source, targetSurface.Get(), &lastRow, D3DTEXF_POINT);
}
