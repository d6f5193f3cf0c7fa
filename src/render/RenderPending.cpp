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

void RenderDX9::SelectResource(boost::shared_ptr<IResourceGPU>, uint32_t) { NotAvailable(); }
void RenderDX9::TargetResource(boost::shared_ptr<IResourceGPU>, uint32_t) { NotAvailable(); }
void RenderDX9::DeSelectResource(boost::shared_ptr<IResourceGPU>, uint32_t) { NotAvailable(); }
void RenderDX9::SelectState(boost::shared_ptr<IState>, int32_t) { NotAvailable(); }
void RenderDX9::Draw() { NotAvailable(); }
void RenderDX9::DrawQuad() { NotAvailable(); }
void RenderDX9::Clear(uint8_t) { NotAvailable(); }
bool RenderDX9::Flush(bool) { return false; }
bool RenderDX9::DisplayBuffer(boost::shared_ptr<IResourceGPU>, uint32_t) { return false; }
void RenderDX9::StampStereoSignature(boost::shared_ptr<IResourceGPU>) { NotAvailable(); }
