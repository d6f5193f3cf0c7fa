#include "RenderTargetChain.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Link {
    IDirect3DSurface9* surface;
    IDirect3DSurface9** saved;
};

// A texture may be destroyed on any thread (where the host drops it last).
std::mutex s_mutex;
std::vector<Link> s_links;

} // namespace

namespace RenderTargetChain {

void Join(IDirect3DSurface9* surface, IDirect3DSurface9*& saved)
{
    if (!surface)
        return;
    std::lock_guard<std::mutex> lock(s_mutex);
    s_links.push_back({surface, &saved});
}

void Leave(IDirect3DSurface9* surface)
{
    if (!surface)
        return;
    std::lock_guard<std::mutex> lock(s_mutex);
    s_links.erase(std::remove_if(s_links.begin(), s_links.end(), [&](const Link& link) { return link.surface == surface; }),
                  s_links.end());
}

void HandOver(IDirect3DSurface9* surface, IDirect3DSurface9*& saved)
{
    if (!surface)
        return;
    std::lock_guard<std::mutex> lock(s_mutex);
    for (Link& link : s_links) {
        if (*link.saved == surface) {
            surface->Release();
            *link.saved = saved;
            saved = nullptr;
            return;
        }
    }
}

} // namespace RenderTargetChain
