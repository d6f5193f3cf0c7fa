#pragma once
// The render targets that targeted textures saved, to be put back when each is
// deselected. A texture targeted while another is still the target saves that one's
// surface; when the earlier texture is destroyed first, the later one must put back
// what the earlier one had saved, not the surface of a texture that is gone.

#include <d3d9.h>

namespace RenderTargetChain {

// A texture targeted: its render surface, and its member that holds what it saved.
void Join(IDirect3DSurface9* surface, IDirect3DSurface9*& saved);
// The texture is no longer targeted (deselected, destroyed or targeted afresh).
void Leave(IDirect3DSurface9* surface);
// A targeted texture is destroyed while a texture targeted after it holds its surface as
// the one to put back: that texture takes `saved` over (with its reference) in place of
// `surface`, whose reference it lets go.
void HandOver(IDirect3DSurface9* surface, IDirect3DSurface9*& saved);

} // namespace RenderTargetChain
