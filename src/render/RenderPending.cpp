// Operations whose resource classes are not part of the plug-in yet: they refuse
// with ecFeatureNotSupported instead of pretending to work.

#include "RenderDX9.h"

#include <VeltraRender/VeltraException.h>

using namespace VeltraRender;

namespace {

[[noreturn]] void NotAvailable()
{
    throw Veltra::VeltraException{Veltra::ecFeatureNotSupported, 0};
}

} // namespace

void RenderDX9::StampStereoSignature(boost::shared_ptr<IResourceGPU>) { NotAvailable(); }
