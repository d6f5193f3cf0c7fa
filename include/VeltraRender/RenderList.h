#pragma once
// The plug-in's only export: g_VeltraRenderList, an array of render back-ends
// ended by an entry whose two fields are null. The host loads the library,
// resolves the array by name and calls the factory of the entry it wants.

#include "IRender.h"

#include <boost/shared_ptr.hpp>

namespace VeltraRender {

typedef boost::shared_ptr<IRender> (*CreateRenderFunction)();

struct VeltraRenderData {
    const wchar_t* name;
    CreateRenderFunction create;
};

// Name under which a host resolves the list with GetProcAddress.
const char* const RenderListExportName = "g_VeltraRenderList";

} // namespace VeltraRender
