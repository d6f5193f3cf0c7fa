#pragma once
// The vertex declarations of the shared device, kept by their element list for the
// life of the device: a draw finds the declaration of its streams here instead of
// making and releasing one every time. Find runs under s_renderLock.

#include <d3d9.h>
#include <vector>

namespace VertexDeclarations {

// The declaration of `elements` (ended by D3DDECL_END), made on first use; the cache
// keeps the reference. Null when Direct3D refuses it: the failure is logged, nothing
// is kept, and the next draw of these elements asks Direct3D again.
IDirect3DVertexDeclaration9* Find(const std::vector<D3DVERTEXELEMENT9>& elements);

// Releases every declaration. A declaration holds a reference on its device, so this
// runs before the device's own release checks whether anything else still holds it.
void ReleaseAll();

} // namespace VertexDeclarations
