#pragma once
// The render's registry lists: weak references to what it created, in creation
// order. Entries are emptied, never erased, until the lists are compacted, so that
// positions stay stable.

#include <VeltraRender/IResource.h>

#include "../host/Log.h"

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <vector>

namespace Registry {

// The live object of the first entry holding `object`, or empty.
template <typename Element>
boost::shared_ptr<Element> FindLive(const std::vector<boost::weak_ptr<Element>>& list,
                                    const VeltraRender::IResource* object)
{
    for (const boost::weak_ptr<Element>& entry : list) {
        boost::shared_ptr<Element> live = entry.lock();
        if (live && static_cast<const VeltraRender::IResource*>(live.get()) == object)
            return live;
    }
    return boost::shared_ptr<Element>();
}

// Empties the first live entry holding `object`; true when there was one.
template <typename Element>
bool EmptyEntryOf(std::vector<boost::weak_ptr<Element>>& list, const VeltraRender::IResource* object)
{
    for (boost::weak_ptr<Element>& entry : list) {
        boost::shared_ptr<Element> live = entry.lock();
        if (live && static_cast<const VeltraRender::IResource*>(live.get()) == object) {
            entry.reset();
            return true;
        }
    }
    return false;
}

// Destroys every live object, then empties the list.
template <typename Element>
void DestroyLive(std::vector<boost::weak_ptr<Element>>& list, const void* render)
{
    for (boost::weak_ptr<Element>& entry : list) {
        boost::shared_ptr<Element> live = entry.lock();
        if (!live)
            continue;
        // One object refusing to go must not keep the others alive.
        try {
            live->Destroy();
        } catch (...) {
            Veltra::LogAlways(Veltra::LogError, L"RenderDX9(%X)::Shutdown() - ERROR: exception while destroying a resource\n",
                              Veltra::LogAddress(render));
        }
    }
    list.clear();
}

// Drops dead and emptied entries; later entries move down.
template <typename Element>
void Compact(std::vector<boost::weak_ptr<Element>>& list)
{
    std::vector<boost::weak_ptr<Element>> live;
    for (const boost::weak_ptr<Element>& entry : list) {
        if (!entry.expired())
            live.push_back(entry);
    }
    list.swap(live);
}

} // namespace Registry
