#include "VertexDeclarations.h"

#include "../plugin/ModuleState.h"
#include "../resources/ErrorReporting.h"

#include <cstring>

namespace {

struct CachedDeclaration {
    std::vector<D3DVERTEXELEMENT9> elements;
    IDirect3DVertexDeclaration9* declaration;
};

// A host draws with a handful of stream layouts: a list searched in order serves.
std::vector<CachedDeclaration> s_declarations;

bool SameElements(const std::vector<D3DVERTEXELEMENT9>& a, const std::vector<D3DVERTEXELEMENT9>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(D3DVERTEXELEMENT9)) == 0;
}

} // namespace

namespace VertexDeclarations {

IDirect3DVertexDeclaration9* Find(const std::vector<D3DVERTEXELEMENT9>& elements)
{
    for (const CachedDeclaration& cached : s_declarations) {
        if (SameElements(cached.elements, elements))
            return cached.declaration;
    }
    IDirect3DVertexDeclaration9* vertexDeclaration = nullptr;
    Veltra::DXFailed(cg_pd3dDevice->CreateVertexDeclaration(elements.data(), &vertexDeclaration),
                     L"cg_pd3dDevice->CreateVertexDeclaration(&_currentVertexElements[0], &vertexDeclaration)");
    if (vertexDeclaration)
        s_declarations.push_back(CachedDeclaration{elements, vertexDeclaration});
    return vertexDeclaration;
}

void ReleaseAll()
{
    skcore::COSAutoLock renderLock(s_renderLock);
    for (CachedDeclaration& cached : s_declarations)
        cached.declaration->Release();
    s_declarations.clear();
}

} // namespace VertexDeclarations
